// What the chart draws beside the chart model's lines: the charted stock's
// daily bars (open, high, low, volume where the price store agrees with the
// list) and the unit the lower lines are read in.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "store/price_bars.h"

namespace tavrine {
class Workspace;
}

namespace tavrine::gui {

struct ChartExtras {
  std::vector<PriceBar> bars;  // the charted stock's daily bars, oldest first
  // The lower lines' value of 100 % while they are stochastics, else 0
  // (they are then read in their own units).
  double percentOf = 0;
};

// Reads the extras of the stock on the chart; the stored bars are read again
// only when the stock, its list closes or the price store changed.
class ChartBarsSource {
 public:
  explicit ChartBarsSource(const Workspace& ws) : ws_(ws) {}
  ChartExtras operator()();

 private:
  const Workspace& ws_;
  std::string key_;
  std::vector<PriceBar> bars_;
};

}  // namespace tavrine::gui
