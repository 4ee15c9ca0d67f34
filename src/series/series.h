// Extraction of the current stock into CalcTable, the chart window in SeriesTable, and the
// indicator passes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "series/series_math.h"
#include "store/state.h"

namespace tavrine {

// The first data row of StockList column k: one more than the blank cells
// among rows 1..20 (wherever they lie), or, when all of those are blank, the
// row of the stock's newest price.
int FirstPriceRow(const WorkTable& list, int k);

// The row of the oldest price among rows 1 .. rowsConsidered of StockList
// column k; 0 when there is none.
int OldestPriceRow(const WorkTable& list, int k, int rowsConsidered);

// ctl::LastDataRow as the extraction sets it for StockList column k: judged
// honestly the row of the oldest price; with hindsight rowsConsidered less
// the empty and " " cells of rows 2 .. rowsConsidered.
int LastDataRowOf(const WorkTable& list, int k, int rowsConsidered, Judging judging);

// Whole yen of the prices in rows first .. last of StockList column k, by
// row, as the extraction rounds them; false when one is empty, not a number,
// or past a 32-bit integer (the extraction then goes row by row).
bool ReadYen(const WorkTable& list, int k, int first, int last, std::vector<long long>& yen);

// One stock's closes as the honest extraction reads them from its StockList
// column k: the first data row as FirstPriceRow gives it, the last is the
// row of the oldest price, and every close between is
// rounded to whole yen (close[r] for rows first .. last). False when a cell
// between them is not a price or the last row lies before the first.
bool ReadStockCloses(const WorkTable& list, int k, int rowsConsidered,
                     std::vector<long long>& close, int& first, int& last);

class Series {
 public:
  explicit Series(State& ws) : ws_(ws) {}

  // The extraction of Button3Click up to S1: the stock of the current
  // column into CalcTable, its first and last data rows, the price scale.
  // Returns the last data row. (The indicator passes and the long-term rule
  // columns that Button3Click runs after it are chained in chain/.)
  int Extract();
  // Hidden; run by Extract: empties CalcTable rows 1 .. kLastDayRow.
  void Button22Click();
  // Hidden; run by Extract and the re-window (Chains::Button20Click): empties SeriesTable
  // rows 1 .. kLastDayRow.
  void Button10Click();
  // Hidden; run by Extract: ctl::LastDataRow := ctl::RowsConsidered less the empty and blank cells
  // of the current stock's StockList column (ctl::StockColumn).
  void Button11Click();
  // Hidden; run by the selection chain after the extraction: "0" into every empty CalcTable cell of
  // columns 1..31.
  void Button9Click();
  // Hidden; the window copy (selection chain, re-window): headings and the CalcTable rows after
  // ctl::WindowStart into SeriesTable from row 1; ctl::PricedRows := ctl::LastDataRow - 1 - window
  // start.
  void Button21Click();
  // Hidden; run by the selection chain after the window copy: ctl::PricedRows := ctl::LastDataRow
  // less the "0" and blank closes of SeriesTable column 1.
  void Button24Click();
  // Hidden; window zero fill (selection chain, re-window): "0" into blank SeriesTable cells of
  // columns 1..41, then columns 1..29 emptied in rows 1 .. ctl::FirstDataRow - 1.
  void Button12Click();
  // Hidden; run by the extraction (Chains::Button3Click) with 25+ data rows: the 25-day average
  // into CalcTable column 3 and its trend line S2 into column 8.
  void Button31Click();
  // Hidden; run by the extraction with 75+ data rows: the 75-day average into CalcTable column 4
  // and its trend line S3 into columns 9 and 14.
  void Button28Click();
  // The 200-day average and its trend line S4, the series part of Button30Click.
  void Pass200();
  // Hidden; last step of the extraction: with 1000+ rows the 1000-day average (CalcTable column 6)
  // and its trend line S5 (13); always the close's deviation from the 5-day average, S1補助 (12).
  void Button29Click();
  // Hidden; run by the extraction right after Extract: the stochastics into CalcTable
  // columns 32..40 (high/low, 9-day fast/slow and guide lines 34..37, 65-day fast/slow 38..39, ST
  // signal 40).
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
  // Starts a pass over the stock's data: brings the cache up to date and
  // reads the data's first and last CalcTable rows.
  void startPass(int& F, int& L);
  void putInt(Slot slot, int r, long long v);
  int readInt(Slot slot, int r);
  int closeAt(int r) { return readInt(kClose, r); }

  // Extraction steps from the dates to S1 (see series.cpp).
  void extractInOrder(int k, int F, int L);
  std::string UnreadableClose(int k, int r, const std::string& v) const;
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
  void trendLine(const std::vector<long long>& a, int g, long double f, int s, int pairCol, int F,
                 int E, long long P);
  // Both for one term: the average into column col, then its trend line
  // into column s (and pairCol) down to L - lastOffset.
  void averagePass(const series_math::TrendTerms& terms, int col, int s, int pairCol);

  State& ws_;
  IntColumn cache_[2];
  bool cacheValid_ = false;
  std::uint64_t cacheStamp_ = 0;
};

}  // namespace tavrine
