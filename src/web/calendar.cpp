#include "web/calendar.h"

#include "app/workspace.h"

namespace tavrine {

void Calendar::Button112Click() {}
void Calendar::Button113Click() {}
void Calendar::Button117Click() {}

}  // namespace tavrine
