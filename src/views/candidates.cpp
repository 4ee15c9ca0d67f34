#include "views/candidates.h"

#include "app/workspace.h"

namespace tavrine {

void Candidates::Button110Click() {}
void Candidates::Button111Click() {}
void Candidates::Button87Click() {}
void Candidates::Button120Click() {}
void Candidates::StringGrid7MouseUp(int, int ) {}

}  // namespace tavrine
