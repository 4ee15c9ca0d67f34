// Extraction of the current stock into CalcTable, the chart window in SeriesTable, and the indicator passes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {


class Series {
 public:
  explicit Series(State& ws) : ws_(ws) {}

  // The extraction of Button3Click up to S1: the stock of the current
  // column into CalcTable, its first and last data rows, the price scale.
  // Returns the last data row. (The indicator passes and the long-term rule
  // columns that Button3Click runs after it are chained in chain/.)
  int Extract();
  void Button22Click();
  void Button10Click();
  void Button11Click();
  void Button9Click();
  void Button21Click();
  void Button24Click();
  void Button12Click();
  void Button31Click();
  void Button28Click();
  // The 200-day average and its trend line S4, the series part of Button30Click.
  void Pass200();
  void Button29Click();
  void Button84Click();

 private:
  // Integers of CalcTable columns 1 (close) and 2 (5-day average) as the
  // passes read them. Filled from what the extraction writes and, for cells
  // not yet seen, parsed on first use. Dropped whenever CalcTable changed
  // behind the series code's back (its version moved since the last stamp).
  enum Slot { kClose = 0, kMa5 = 1 };
  static constexpr int kIntRows = 4870;
  struct IntColumn {
    std::vector<int> value;
    std::vector<std::uint8_t> state;  // 0 not read yet, 1 integer, 2 not an integer
  };
  void syncCache();
  void resetCache();
  void stampCache();
  void putInt(Slot slot, int r, long long v);
  int readInt(Slot slot, int r);
  int closeAt(int r) { return readInt(kClose, r); }

  // Extraction steps from the dates to S1 (see series.cpp).
  void extractInOrder(int k, int F, int L);
  bool pricesReadable(int k, int F, int L, std::vector<long long>& yen);
  void extractAtOnce(int F, int L, const std::vector<long long>& yen);
  // Stochastics columns 32..40 read and written in their natural order.
  void stochasticsInOrder(int F, int L);
  // True when closes F..L all read as integers (no read can fail).
  bool closesReadable(int F, int L);

  // Moving average of width w of the closes into column col, rows F .. L-(w-1);
  // returns the averages by row (index r) for the trend line that follows.
  std::vector<long long> movingAverage(int w, int col, int F, int L);
  // Trend line of average a with lag g and factor f into column s (and the
  // copy at the newer row into column pairCol when pairCol >= 0), rows F .. E.
  void trendLine(const std::vector<long long>& a, int g, long double f, int s, int pairCol, int F, int E, long long P);
  // Both for one term: the average, then its trend line down to L - lastOffset.
  void averagePass(int w, int col, int g, long double f, int s, int pairCol, int lastOffset);

  State& ws_;
  IntColumn cache_[2];
  bool cacheValid_ = false;
  std::uint64_t cacheStamp_ = 0;
};

}  // namespace tavrine
