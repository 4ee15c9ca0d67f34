#include "web/service_prices.h"

#include <map>
#include <set>
#include <utility>

namespace tavrine {

namespace {

bool Same(const StoredBar& a, const StoredBar& b) {
  return a.open == b.open && a.high == b.high && a.low == b.low && a.close == b.close &&
         a.volume == b.volume && a.turnover == b.turnover && a.stopHigh == b.stopHigh &&
         a.stopLow == b.stopLow && a.adjFactor == b.adjFactor && a.exRT == b.exRT &&
         a.adjVolume == b.adjVolume;
}

}  // namespace

std::vector<StoredBar> ServiceBars(const std::vector<JQuantsBar>& bars) {
  std::map<std::pair<std::string, int>, StoredBar> byKey;
  std::set<std::pair<std::string, int>> twofold;
  for (const JQuantsBar& b : bars) {
    if (!b.close) continue;
    StoredBar s;
    s.code = b.code.size() == 5 && b.code[4] == '0' ? b.code.substr(0, 4) : b.code;
    s.day = b.day;
    s.open = b.open, s.high = b.high, s.low = b.low, s.close = b.close;
    s.volume = b.volume, s.turnover = b.turnover;
    s.stopHigh = b.stopHigh, s.stopLow = b.stopLow;
    s.adjFactor = b.adjFactor;
    s.exRT = b.exRT;
    s.adjVolume = b.adjVolume;
    s.source = PriceSource::Service;
    std::pair<std::string, int> key{s.code, s.day};
    const auto [it, fresh] = byKey.emplace(key, s);
    if (!fresh && !Same(it->second, s)) twofold.insert(std::move(key));
  }
  std::vector<StoredBar> out;
  out.reserve(byKey.size());
  for (auto& kv : byKey)
    if (!twofold.count(kv.first)) out.push_back(std::move(kv.second));
  return out;
}

}  // namespace tavrine
