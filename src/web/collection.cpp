#include "web/collection.h"

#include "app/workspace.h"

namespace tavrine {

void Collection::Button89Click() {}
void Collection::Button90Click() {}
void Collection::Edit18KeyPress(int ) {}
void Collection::Edit18DblClick() {}
void Collection::Button97Click() {}
void Collection::Button116Click() {}
void Collection::Button91Click() {}
void Collection::Button92Click() {}
void Collection::Button93Click() {}
void Collection::Button95Click() {}
void Collection::Button96Click() {}
void Collection::Button94Click() {}

}  // namespace tavrine
