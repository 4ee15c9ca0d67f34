#include "signals/backtest.h"

#include "app/workspace.h"

namespace tavrine {

void Backtest::Button51Click() {}
void Backtest::Button41Click() {}
void Backtest::Button48Click() {}
void Backtest::MaskEdit1Change() {}

}  // namespace tavrine
