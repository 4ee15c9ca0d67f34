#include "views/help.h"

#include "app/workspace.h"

namespace tavrine {

void Help::Button88Click() {}
void Help::Button2Click() {}
void Help::Button1Click() {}
void Help::ShowText(const std::string& ) {}

}  // namespace tavrine
