// Pages of the data service's daily bars as they arrive: a page is read
// whole or refused as a whole (JQuantsError), never half; every record read
// has a code the list or the store can hold, an adjusted close that is a
// finite decimal and prices that are no negatives; the records kept for the price store are traded
// ones.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "web/jquants_client.h"
#include "web/service_prices.h"

using namespace tavrine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  std::vector<JQuantsBar> bars;
  try {
    bars = ParseBarsPage(page);
  } catch (const JQuantsError&) {
    return 0;
  }
  for (const JQuantsBar& b : bars) {
    FUZZ_CHECK(b.code.size() == 4 || b.code.size() == 5);
    for (const auto& v : {b.open, b.high, b.low, b.close, b.volume, b.turnover, b.adjVolume})
      FUZZ_CHECK(!v || (*v >= 0 && std::isfinite(*v)));
    FUZZ_CHECK(b.adjClose.empty() ||
               b.adjClose.find_first_not_of("0123456789.E+-") == std::string::npos);
  }
  for (const StoredBar& s : ServiceBars(bars)) {
    FUZZ_CHECK(!s.code.empty());
    FUZZ_CHECK(s.close.has_value());
  }
  return 0;
}
