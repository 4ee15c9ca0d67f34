// The data service's daily bars as the price store keeps them.
#pragma once

#include <vector>

#include "store/price_store.h"
#include "web/jquants_client.h"

namespace tavrine {

// One stored day a record with a traded close, under the list's
// four-character code ("72030" -> "7203"; other issues keep their own
// code). A record without a close (no trade) adds nothing; a record sent
// twice counts once, and a code and day sent with two different records
// is left out, since neither can be trusted.
std::vector<StoredBar> ServiceBars(const std::vector<JQuantsBar>& bars);

}  // namespace tavrine
