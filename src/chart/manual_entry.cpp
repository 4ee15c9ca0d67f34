#include "chart/manual_entry.h"

#include "app/workspace.h"

namespace tavrine {

void ManualEntry::Button34Click() {}
void ManualEntry::Edit6KeyPress(int ) {}
void ManualEntry::Edit6Change() {}
void ManualEntry::Button35Click() {}

}  // namespace tavrine
