// How one backtest judges and trades: the way of judging, the entry
// direction and what a fill costs. The rule buttons take it from the window
// (Backtest::options()), the rule scan from ScanOptions; the walk, the trade
// replay and RunRule read only this.
#pragma once

#include <cstdint>

#include "signals/money.h"
#include "store/state.h"

namespace tavrine {

// 入買 opens on a buy and closes on a sell; 入売 the other way round.
enum class EntrySide : std::uint8_t { Buy, Sell };

struct BacktestOptions {
  Judging judging = Judging::Hindsight;
  EntrySide entry = EntrySide::Buy;
  CostModel cost;  // money of 実売買; not set, trades are judged by their ratios alone

  bool honest() const { return judging == Judging::Honest; }
  bool entryBuy() const { return entry == EntrySide::Buy; }
  bool operator==(const BacktestOptions&) const = default;
};

}  // namespace tavrine
