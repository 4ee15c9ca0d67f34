#include "series/series.h"

#include "app/workspace.h"

namespace tavrine {

void Series::Button3Click() {}
void Series::Button22Click() {}
void Series::Button10Click() {}
void Series::Button11Click() {}
void Series::Button9Click() {}
void Series::Button21Click() {}
void Series::Button24Click() {}
void Series::Button12Click() {}
void Series::Button20Click() {}
void Series::Button31Click() {}
void Series::Button28Click() {}
void Series::Button30Click() {}
void Series::Button29Click() {}
void Series::Button84Click() {}

}  // namespace tavrine
