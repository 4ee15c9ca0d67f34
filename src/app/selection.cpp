#include "app/selection.h"

#include "app/workspace.h"

namespace tavrine {

void Selection::Edit1KeyPress(int ) {}
void Selection::Edit1Change() {}
void Selection::Button6Click() {}
void Selection::Button7Click(const std::string& ) {}
void Selection::Button27Click() {}

}  // namespace tavrine
