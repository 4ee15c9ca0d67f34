// A stock's bars as the chart and the driver show them: the list's closes
// with the price store's open, high, low and volume where the store agrees
// with the list, by day, week or month.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/price_store.h"

namespace tavrine {

class WorkTable;

// One of the list's closes of the stock: its day and the cell's text.
struct ListClose {
  int day = 0;
  std::string close;
};

// The list's closes in one stock column, in the list's row order: the rows
// whose day is a date and whose close reads as a number above zero.
std::vector<ListClose> ListClosesOf(const WorkTable& list, int column);

// A bar on the list's basis. The close is the list's cell text; the others
// are empty where the store gives nothing the list can trust.
struct PriceBar {
  int day = 0;  // the bar's last trading day
  std::optional<double> open, high, low, volume;
  std::string close;
  // The day ended at its upper (UL) or lower (LL) limit, where the stored
  // close is the list's; daily bars only.
  bool stopHigh = false, stopLow = false;
};

// The candle rule: a stored day's candle counts only where its close,
// brought to the list's basis by the product of the split factors of the
// stored days after it, is the list's close of the day within 0.05 yen.
bool CandleCounts(double storedClose, double laterFactors, double listClose);

// One bar a list day, oldest first. A stored price is brought to the list's
// basis by the product of the split factors of the stored days after it, up
// to the list's newest day. The stored day's open, high, low and
// volume (volume divided by the same factors, as the service adjusts it)
// are taken only where the candle rule holds; elsewhere the day is its close
// alone. Prices are rounded to 0.1 yen, volumes to whole shares.
std::vector<PriceBar> DailyBars(const std::vector<StoredBar>& stored,
                                const std::vector<ListClose>& list);

// Monday-to-Friday weeks, or calendar months, of daily bars (oldest
// first), each dated by its last trading day: the first day's open, the
// highest high, the lowest low, the last close, the summed volume. A bar
// with a day of the close alone has no open, high and low; one with a day
// without a volume has no volume.
std::vector<PriceBar> WeeklyBars(const std::vector<PriceBar>& daily);
std::vector<PriceBar> MonthlyBars(const std::vector<PriceBar>& daily);

}  // namespace tavrine
