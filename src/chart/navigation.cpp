#include "chart/navigation.h"

#include "app/workspace.h"

namespace tavrine {

void Navigation::Button61Click() {}
void Navigation::Button62Click() {}
void Navigation::Button63Click() {}
void Navigation::Button25Click() {}
void Navigation::Button26Click() {}
void Navigation::Edit2KeyPress(int ) {}
void Navigation::Label1Click() {}
void Navigation::Edit2DblClick() {}
void Navigation::chart1MouseDown(const std::vector<std::pair<std::string, int>>& ) {}

}  // namespace tavrine
