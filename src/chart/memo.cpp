#include "chart/memo.h"

#include "app/workspace.h"

namespace tavrine {

void MemoPanel::Button36Click() {}
void MemoPanel::Button18Click() {}
void MemoPanel::Button58Click() {}
void MemoPanel::Button59Click() {}

}  // namespace tavrine
