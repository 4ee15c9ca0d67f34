#include "signals/overlays.h"

#include "app/workspace.h"

namespace tavrine {

void Overlays::Button79Click() {}
void Overlays::Button13Click() {}
void Overlays::Button82Click() {}
void Overlays::Button80Click() {}
void Overlays::Button85Click() {}
void Overlays::Button81Click() {}
void Overlays::Button33Click() {}
void Overlays::Button103Click() {}
void Overlays::StringGrid5MouseUp(int, int ) {}
void Overlays::Button19Click() {}

}  // namespace tavrine
