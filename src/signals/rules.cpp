#include "signals/rules.h"

#include "app/workspace.h"

namespace tavrine {

void Rules::Button37Click(const std::string& ) {}
void Rules::Label5Click() {}
void Rules::Button47Click() {}
void Rules::Button78Click() {}
void Rules::LongTermG() {}
void Rules::LongTermKairi() {}
void Rules::ShortTermG() {}
void Rules::ShortTermKairi() {}

}  // namespace tavrine
