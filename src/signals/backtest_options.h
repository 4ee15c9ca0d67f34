// How one backtest judges and trades: the way of judging, the entry
// direction and what a fill costs. The rule buttons take it from the window
// (Backtest::options()), the rule scan from ScanOptions; the walk, the trade
// replay and RunRule read only this.
#pragma once

#include <cstdint>

#include "store/state.h"

namespace tavrine {

// 入買 opens on a buy and closes on a sell; 入売 the other way round.
enum class EntrySide : std::uint8_t { Buy, Sell };

// What a fill costs, in yen: a commission per fill and a slippage per share
// and fill. Both are 0 and nothing takes them off a trade yet; a trade's
// result (walk::TradeRatio) is where they would be taken off.
struct CostModel {
  long double commission = 0;
  long double slippage = 0;
  bool operator==(const CostModel&) const = default;
};

struct BacktestOptions {
  Judging judging = Judging::Hindsight;
  EntrySide entry = EntrySide::Buy;
  CostModel cost;

  bool honest() const { return judging == Judging::Honest; }
  bool entryBuy() const { return entry == EntrySide::Buy; }
  bool operator==(const BacktestOptions&) const = default;
};

}  // namespace tavrine
