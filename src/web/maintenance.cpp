#include "web/maintenance.h"

#include "app/workspace.h"

namespace tavrine {

void Maintenance::Button104Click() {}
void Maintenance::Button105Click() {}
void Maintenance::Button107Click() {}
void Maintenance::Button109Click() {}
void Maintenance::BitBtn1Click() {}
void Maintenance::Button17Click() {}
void Maintenance::Edit1DblClick() {}
void Maintenance::Label2DblClick() {}

}  // namespace tavrine
