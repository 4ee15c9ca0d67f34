#include "series/series.h"

#include <algorithm>

#include "series/series_math.h"
#include "store/calc_columns.h"
#include "store/codec.h"
#include "store/control_cells.h"
#include "store/decimal_form.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

using series_math::RoundRatio;

namespace {

// The price scale, read from its control cell when a formula first needs it,
// so that a bad cell stops the pass at that formula and not before.
class LazyPriceScale {
 public:
  explicit LazyPriceScale(const WorkTable& st) : st_(st) {}
  long double operator()() {
    if (!read_) {
      scale_ = st_.getInt(ctl::PriceScale);
      read_ = true;
    }
    return static_cast<long double>(scale_);
  }

 private:
  const WorkTable& st_;
  long long scale_ = 0;
  bool read_ = false;
};

// Rows 1 .. kLastRow hold the days; the control cells lie below them.
constexpr int kLastRow = stocklist::kLastDayRow;

const char* const kHeadings[] = {nullptr,
                                 nullptr,
                                 "5日移動平均",
                                 "25日移動平均",
                                 "75日移動平均",
                                 "200日移動平均",
                                 "1000日移動平均",
                                 "S1",
                                 "S2",
                                 "S3",
                                 "S4",
                                 "S5/11",
                                 "S1補助",
                                 "S5",
                                 "14",
                                 "15",
                                 "16",
                                 "0軸",
                                 "行"};

}  // namespace

int FirstPriceRow(const WorkTable& list, int k) {
  int blanks = 0;
  for (int r = 1; r <= 20; ++r)
    if (list.isBlank(k, r)) ++blanks;
  if (blanks < 20) return blanks + 1;
  // A stock whose newest 20 days or more are blank (no longer traded, or an
  // old download): its series starts at its newest price.
  int r = 21;
  while (r <= stocklist::kLastDayRow && list.isBlank(k, r)) ++r;
  return r;
}

int OldestPriceRow(const WorkTable& list, int k, int rowsConsidered) {
  int r = rowsConsidered;
  while (r >= 1 && list.isBlank(k, r)) --r;
  return r;
}

int LastDataRowOf(const WorkTable& list, int k, int n, Judging judging) {
  // Judged honestly, the history reaches its oldest price however many of
  // its newest days are blank, so that a new day never moves its oldest end.
  if (judging == Judging::Honest) return OldestPriceRow(list, k, n);
  int e = 0, s = 0;
  for (int r = 2; r <= n; ++r) {
    if (list.isEmpty(k, r))
      ++e;
    else if (list.textIs(k, r, " "))
      ++s;
  }
  return n - e - s;
}

bool ReadYen(const WorkTable& list, int k, int first, int last, std::vector<long long>& yen) {
  yen.assign(static_cast<std::size_t>(last) + 1, 0);
  for (int r = first; r <= last; ++r) {
    // A price is its whole yen: an integer as it is, any other number
    // rounded from the value its text reads as.
    long long y = 0;
    if (!list.tryInt(k, r, y)) {
      long double v = 0;
      if (!list.tryFloat(k, r, v)) return false;
      y = Round(v);
    }
    if (y < INT32_MIN || y > INT32_MAX) return false;
    yen[static_cast<std::size_t>(r)] = y;
  }
  return true;
}

bool ReadStockCloses(const WorkTable& list, int k, int rowsConsidered,
                     std::vector<long long>& close, int& first, int& last) {
  first = FirstPriceRow(list, k);
  last = OldestPriceRow(list, k, rowsConsidered);
  if (last < first || last > stocklist::kLastDayRow) return false;
  return ReadYen(list, k, first, last, close);
}

// ---------------------------------------------------------------------------
// Integers of the close and 5-day average columns.

void Series::resetCache() {
  for (auto& col : cache_) {
    col.value.assign(kIntRows, 0);
    col.state.assign(kIntRows, 0);
  }
  cacheValid_ = true;
  cacheStamp_ = ws_.CalcTable.version();
}

void Series::syncCache() {
  if (!cacheValid_ || cacheStamp_ != ws_.CalcTable.version()) resetCache();
}

void Series::stampCache() { cacheStamp_ = ws_.CalcTable.version(); }

void Series::startPass(int& F, int& L) {
  syncCache();
  F = ws_.SeriesTable.getInt(ctl::FirstDataRow);
  L = ws_.SeriesTable.getInt(ctl::LastDataRow);
}

void Series::putInt(Slot slot, int r, long long v) {
  if (r < 0 || r >= kIntRows) return;
  auto& col = cache_[slot];
  if (v >= INT32_MIN && v <= INT32_MAX) {
    col.value[r] = static_cast<int>(v);
    col.state[r] = 1;
  } else {
    col.state[r] = 2;  // written, but no strict integer read accepts it
  }
}

int Series::readInt(Slot slot, int r) {
  const int column = slot == kClose ? 1 : 2;
  if (r >= 0 && r < kIntRows) {
    auto& col = cache_[slot];
    if (col.state[r] == 1) return col.value[r];
    if (col.state[r] == 0) {
      long long v = 0;
      if (ws_.CalcTable.tryInt(column, r, v)) {
        col.value[r] = static_cast<int>(v);
        col.state[r] = 1;
        return static_cast<int>(v);
      }
      col.state[r] = 2;
    }
  }
  // Not an integer (or outside the kept rows): the strict read raises the
  // conversion error that names the cell's text.
  return StrToInt(ws_.CalcTable.cell(column, r));
}

// ---------------------------------------------------------------------------
// Extraction.

void Series::Button22Click() {
  auto& calc = ws_.CalcTable;
  SuspendRedraw redraw(calc);
  calc.clearRows(1, kLastRow);
}

void Series::Button10Click() {
  auto& st = ws_.SeriesTable;
  SuspendRedraw redraw(st);
  st.clearRows(1, kLastRow);
}

void Series::Button11Click() {
  auto& st = ws_.SeriesTable;
  const int n = st.getInt(ctl::RowsConsidered);
  const int k = st.getInt(ctl::StockColumn);
  st.setInt(ctl::LastDataRow, LastDataRowOf(ws_.StockList, k, n, ws_.judging));
}

// The conversion error of a close that is no number, naming where the user
// finds it: the list file's line, or the day of the collected series.
std::string Series::UnreadableClose(int k, int r, const std::string& v) const {
  const std::string shown = "「" + DisplayText(v) + "」";
  if (k == stocklist::kScratchColumn)
    return "収集した株価の" + IntToStr(r) + "日目の終値" + shown + "を数値として読めません";
  return std::string(kStockListFile) + " の" + IntToStr(r + 1) +
         "行目: " + DisplayText(ws_.StockList.cell(k, 0)) + " の終値" + shown +
         "を数値として読めません";
}

int Series::Extract() {
  auto& st = ws_.SeriesTable;
  auto& calc = ws_.CalcTable;
  auto& list = ws_.StockList;
  SuspendRedraw redraw(calc, list, st);

  const int k = st.getInt(ctl::StockColumn);
  Button22Click();
  Button11Click();
  Button10Click();
  resetCache();

  int L = st.getInt(ctl::LastDataRow);
  if (k == stocklist::kScratchColumn) {
    // The scratch column's five oldest rows are not part of the series.
    L -= 5;
    st.setInt(ctl::LastDataRow, L);
  }

  const int F = FirstPriceRow(list, k);
  st.setInt(ctl::FirstDataRow, F);

  calc.set(calc::kDate, 0, list.cell(0, 0));
  calc.set(calc::kClose, 0, list.cell(k, 0));
  for (int c = 2; c <= 18; ++c) calc.set(c, 0, kHeadings[c]);
  for (int c = 20; c <= 41; ++c) calc.set(c, 0, std::to_string(c));

  std::vector<long long> yen;
  if (pricesReadable(k, F, L, yen))
    extractAtOnce(F, L, yen);
  else
    extractInOrder(k, F, L);
  stampCache();
  return L;
}

// Steps of the extraction one after another, as each reads and writes; used
// when some price cell would raise the conversion error, so that the tables
// hold exactly what was written before it.
void Series::extractInOrder(int k, int F, int L) {
  auto& st = ws_.SeriesTable;
  auto& calc = ws_.CalcTable;
  auto& list = ws_.StockList;
  const auto source = [&st](int dates) { return ctl::DateSource.is(st, dates); };
  if (source(ctl::dates::kCalendar) || source(ctl::dates::kPortfolio)) {
    for (int r = 1; r <= kLastRow; ++r) calc.set(calc::kDate, r, ws_.DateTable.cell(0, r));
  } else if (source(ctl::dates::kList)) {
    for (int r = 1; r <= kLastRow; ++r) calc.set(calc::kDate, r, list.cell(0, r));
  } else if (source(ctl::dates::kCandidates)) {
    for (int r = 1; r <= 751; ++r) calc.set(calc::kDate, r, ws_.CandidateTable.cell(r, 0));
  }

  // Closes rounded to whole yen; a bad cell raises the conversion error here.
  for (int r = F; r <= L; ++r) {
    const std::string& v = list.cell(k, r);
    if (v.empty()) {
      calc.set(calc::kClose, r, "");
      continue;
    }
    long long yen = 0;
    if (!TryRoundPrice(v, yen)) {
      long double f = 0;
      if (!TryStrToFloat(v, f)) throw ConversionError(UnreadableClose(k, r, v));
      yen = Round(f);
    }
    calc.setInt(calc::kClose, r, yen);
    putInt(kClose, r, yen);
  }

  for (int r = 1; r <= kLastRow; ++r) {
    calc.set(calc::kZeroLine, r, "0");
    calc.setInt(calc::kRowNumber, r, r);
  }

  // Price scale: the 25 rows after the first data row.
  auto close = [this](int r) { return closeAt(r); };
  const long long P = series_math::PriceScale(close, F);
  st.setInt(ctl::PriceScale, P);

  series_math::FiveDayAndS1(
      close, F, L, P,
      [&](int r, long long ma5) {
        calc.setInt(calc::kMA5, r, ma5);
        putInt(kMa5, r, ma5);
      },
      [&](int r, long long s1) { calc.setInt(calc::kS1, r + 2, s1); });
}

// True when every price F..L reads as a number whose whole yen a strict
// integer read accepts, and the price scale's rows lie inside F..L: then no
// step of the extraction can fail. The rounded prices are left in yen.
bool Series::pricesReadable(int k, int F, int L, std::vector<long long>& yen) {
  if (F + 25 > L || L >= kIntRows) return false;
  return ReadYen(ws_.StockList, k, F, L, yen);
}

// The same results as extractInOrder, computed first and then written.
void Series::extractAtOnce(int F, int L, const std::vector<long long>& yen) {
  auto& st = ws_.SeriesTable;
  auto& calc = ws_.CalcTable;
  for (int r = F; r <= L; ++r) putInt(kClose, r, yen[r]);

  auto close = [&yen](int r) { return yen[static_cast<std::size_t>(r)]; };
  const long long P = series_math::PriceScale(close, F);
  st.setInt(ctl::PriceScale, P);

  const std::size_t n = static_cast<std::size_t>(L) + 3;
  std::vector<long long> ma5(n, 0), s1(n, 0);
  series_math::FiveDayAndS1(
      close, F, L, P,
      [&](int r, long long m) {
        ma5[r] = m;
        putInt(kMa5, r, m);
      },
      [&](int r, long long s) { s1[r + 2] = s; });

  // Written a column at a time, down the rows.
  const auto source = [&st](int dates) { return ctl::DateSource.is(st, dates); };
  const bool fromList = source(ctl::dates::kList);
  if (source(ctl::dates::kCalendar) || source(ctl::dates::kPortfolio) || fromList) {
    const WorkTable& dates = fromList ? ws_.StockList : ws_.DateTable;
    for (int r = 1; r <= kLastRow; ++r) calc.copyCell(dates, 0, r, calc::kDate, r);
  } else if (source(ctl::dates::kCandidates)) {
    for (int r = 1; r <= 751; ++r) calc.copyCell(ws_.CandidateTable, r, 0, calc::kDate, r);
  }
  for (int r = F; r <= L; ++r) calc.setInt(calc::kClose, r, yen[r]);
  for (int r = F; r <= L - 7; ++r) calc.setInt(calc::kMA5, r, ma5[r]);
  for (int r = F + 2; r <= L - 5; ++r) calc.setInt(calc::kS1, r, s1[r]);
  for (int r = 1; r <= kLastRow; ++r) {
    calc.setInt(calc::kZeroLine, r, 0);
    calc.setInt(calc::kRowNumber, r, r);
  }
}

// ---------------------------------------------------------------------------
// Averages and trend lines.

std::vector<long long> Series::movingAverage(int w, int col, int F, int L) {
  auto& calc = ws_.CalcTable;
  std::vector<long long> avg(static_cast<std::size_t>(std::max(L, 0)) + 1, 0);
  series_math::MovingAverage([this](int r) { return closeAt(r); }, F, L, w,
                             [&](int r, long long v) {
                               avg[static_cast<std::size_t>(r)] = v;
                               calc.setInt(col, r, v);
                             });
  return avg;
}

void Series::trendLine(const std::vector<long long>& a, int g, long double f, int s, int pairCol,
                       int F, int E, long long P) {
  auto& calc = ws_.CalcTable;
  series_math::TrendLine(a, g, f, F, E, P, [&](int r, long long v) {
    if (pairCol >= 0) calc.setInt(pairCol, r, v);
    calc.setInt(s, r + g, v);
  });
}

// Moving average of width w into column col, then its trend line of lag g
// and factor f into column s (and pairCol) down to row L - lastOffset.
void Series::averagePass(const series_math::TrendTerms& terms, int col, int s, int pairCol) {
  const int w = terms.width, g = terms.lag, lastOffset = terms.lastOffset;
  const long double f = terms.factor;
  auto& st = ws_.SeriesTable;
  SuspendRedraw redraw(ws_.CalcTable);
  int F = 0, L = 0;
  startPass(F, L);
  const auto avg = movingAverage(w, col, F, L);
  if (L - lastOffset >= F)
    trendLine(avg, g, f, s, pairCol, F, L - lastOffset, st.getInt(ctl::PriceScale));
  stampCache();
}

// S2 stops one row before its average would allow.
void Series::Button31Click() { averagePass(series_math::kS2Terms, calc::kMA25, calc::kS2, -1); }

void Series::Button28Click() {
  averagePass(series_math::kS3Terms, calc::kMA75, calc::kS3, calc::kS3AtNewer);
}

void Series::Pass200() {
  averagePass(series_math::kS4Terms, calc::kMA200, calc::kS4, calc::kS4AtNewer);
}

void Series::Button29Click() {
  auto& calc = ws_.CalcTable;
  SuspendRedraw redraw(calc);
  int F = 0, L = 0;
  startPass(F, L);
  LazyPriceScale price(ws_.SeriesTable);
  if (L >= 1000) {
    const auto ma1000 = movingAverage(1000, calc::kMA1000, F, L);
    for (int r = F; r <= L - 1499; ++r) {
      const long double a = static_cast<long double>(ma1000[r]);
      const long double b = static_cast<long double>(ma1000[r + 500]);
      calc.setInt(calc::kS5, r + 500, RoundRatio(price() * 2.5L * (a - b), a));
    }
  }
  // Deviation of the close from the 5-day average.
  for (int r = F; r <= L - 10; ++r) {
    const long long c = closeAt(r);
    const long long m = readInt(kMa5, r);
    calc.setInt(calc::kCloseDeviation, r,
                RoundRatio(static_cast<long double>(c - m) * (4.0L * price()),
                           static_cast<long double>(m)));
  }
  stampCache();
}

// ---------------------------------------------------------------------------
// Stochastics.

void Series::Button84Click() {
  auto& st = ws_.SeriesTable;
  auto& calc = ws_.CalcTable;
  SuspendRedraw redraw(calc);
  int F = 0, L = 0;
  startPass(F, L);
  if (L < F) {
    stampCache();
    return;
  }
  int P = 0;
  if (!closesReadable(F, L) || !TryStrictInt(st.cell(ctl::PriceScale), P)) {
    stochasticsInOrder(F, L);
    stampCache();
    return;
  }

  // No read can fail: every column of a row is written as the sweep makes it.
  struct Sink {
    WorkTable& calc;
    DecimalValue upper, lower;  // the same on every row
    void extremes(int r, int h, int l) {
      calc.copyCell(calc, calc::kClose, l, calc::kLow, r);
      calc.copyCell(calc, calc::kClose, h, calc::kHigh, r);
    }
    void fast65(int r, const DecimalValue& v) { calc.setDecimal(calc::kFast65, r, v); }
    void slow65(int r, const DecimalValue& v, int sign) {
      calc.setDecimal(calc::kSlow65, r, v);
      calc.setInt(calc::kST, r, sign > 0 ? 2 : sign < 0 ? -2 : 0);
    }
    void fast9(int r, const DecimalValue& v) { calc.setDecimal(calc::kFast9, r, v); }
    void slow9(int r, const DecimalValue& v) {
      calc.setDecimal(calc::kSlow9, r, v);
      calc.setDecimal(calc::kGuide80, r, upper);
      calc.setDecimal(calc::kGuide20, r, lower);
    }
  };
  const long double price = P;
  Sink sink{calc, ToDecimalValue(price * 0.4L), ToDecimalValue(price * 0.1L)};
  series_math::Stochastics(cache_[kClose].value.data(), F, L, price, true, true, sink);
  stampCache();
}

bool Series::closesReadable(int F, int L) {
  if (L >= kIntRows) return false;
  auto& col = cache_[kClose];
  for (int r = F; r <= L; ++r) {
    if (col.state[r] == 0) {
      long long v = 0;
      if (ws_.CalcTable.tryInt(calc::kClose, r, v)) {
        col.value[r] = static_cast<int>(v);
        col.state[r] = 1;
      } else {
        col.state[r] = 2;
      }
    }
    if (col.state[r] != 1) return false;
  }
  return true;
}

// Columns 32..40 with every read at its natural point, so that a bad close
// stops the pass with the cells before it written.
void Series::stochasticsInOrder(int F, int L) {
  auto& st = ws_.SeriesTable;
  auto& calc = ws_.CalcTable;
  LazyPriceScale price(st);

  const std::size_t rows = static_cast<std::size_t>(L) + 1;
  std::vector<long long> hi(rows, 0), lo(rows, 0);
  std::vector<long double> fast(rows, 0), slow(rows, 0);
  std::vector<long long> cl(rows, 0);

  // Closes F .. to are read in row order, so the first bad cell is met
  // where a row-by-row scan meets it.
  int checked = F - 1;
  auto need = [&](int to) {
    while (checked < to) {
      ++checked;
      cl[checked] = closeAt(checked);
    }
  };

  auto extremes = [&](int width) {
    for (int r = F; r <= L - (width - 1); ++r) {
      need(r + width - 1);
      int hiRow = r, loRow = r;
      for (int j = r + 1; j < r + width; ++j) {
        if (cl[j] > cl[hiRow]) hiRow = j;
        if (cl[j] < cl[loRow]) loRow = j;
      }
      hi[r] = cl[hiRow];
      lo[r] = cl[loRow];
      calc.set(calc::kHigh, r, calc.cell(calc::kClose, hiRow));
      calc.set(calc::kLow, r, calc.cell(calc::kClose, loRow));
    }
  };

  // Fast line over `span` rows: P x 0.5 x (sum of close - low) / (sum of high - low),
  // kept as a double.
  auto fastLine = [&](int last, int span, int col) {
    for (int r = F; r <= last; ++r) {
      long long num = 0, den = 0;
      for (int j = r; j < r + span; ++j) {
        num += cl[j] - lo[j];
        den += hi[j] - lo[j];
      }
      if (den == 0) den = 1;
      const double v = static_cast<double>(price() * 0.5L * static_cast<long double>(num) /
                                           static_cast<long double>(den));
      calc.set(col, r, DecimalText(v, fast[r]));
    }
  };

  // 9 days.
  extremes(9);
  fastLine(L - 10, 3, calc::kFast9);
  for (int r = F; r <= L - 12; ++r) {
    const double v = static_cast<double>((fast[r] + fast[r + 1] + fast[r + 2]) / 3.0L);
    long double back;
    calc.set(calc::kSlow9, r, DecimalText(v, back));
  }
  if (L - 12 >= F) {
    long double back;
    const std::string upper = DecimalText(price() * 0.4L, back);
    const std::string lower = DecimalText(price() * 0.1L, back);
    for (int r = F; r <= L - 12; ++r) {
      calc.set(calc::kGuide80, r, upper);
      calc.set(calc::kGuide20, r, lower);
    }
  }

  // 65 days; the extremes overwrite the 9-day ones in rows F .. L-64.
  extremes(65);
  fastLine(L - 79, 15, calc::kFast65);
  for (int r = F; r <= L - 94; ++r) {
    double sum = 0;
    for (int j = r; j < r + 15; ++j) sum += fast[j];
    calc.set(calc::kSlow65, r, DecimalText(static_cast<long double>(sum) / 15.0L, slow[r]));
  }
  for (int r = F; r <= L - 94; ++r)
    calc.set(calc::kST, r, fast[r] > slow[r] ? "2" : fast[r] < slow[r] ? "-2" : "0");
}

// ---------------------------------------------------------------------------
// Zero fills and the chart window.

void Series::Button9Click() {
  auto& calc = ws_.CalcTable;
  SuspendRedraw redraw(calc);
  for (int c = 1; c <= 31; ++c) calc.fillEmpty(c, 1, kLastRow, 0);
}

void Series::Button21Click() {
  auto& st = ws_.SeriesTable;
  auto& calc = ws_.CalcTable;
  SuspendRedraw redraw(calc, st);
  WaitCursor wait(ws_.platform);
  const int M = st.getInt(ctl::LastDataRow) - 1;
  st.copyRowFrom(calc, 0, 0);
  const int W = st.getInt(ctl::WindowStart);
  // The window never reaches the control rows below the last day row.
  const int last = std::min(M - W, kLastRow);
  st.copyRowsFrom(calc, 1 + W, 1, last);
  st.setInt(ctl::PricedRows, M - W);
}

void Series::Button24Click() {
  auto& st = ws_.SeriesTable;
  const int L = st.getInt(ctl::LastDataRow);
  int z = 0, b = 0;
  for (int r = 2; r <= L; ++r) {
    if (st.textIs(calc::kClose, r, "0"))
      ++z;
    else if (st.isBlank(calc::kClose, r))
      ++b;
  }
  st.setInt(ctl::PricedRows, L - z - b);
}

void Series::Button12Click() {
  auto& st = ws_.SeriesTable;
  SuspendRedraw redraw(st);
  for (int c = 1; c <= 41; ++c) st.fillBlankWide(c, 1, kLastRow, 0);
  const int F = st.getInt(ctl::FirstDataRow);
  for (int c = 1; c <= 29; ++c)
    for (int r = 1; r <= F - 1; ++r) st.set(c, r, "");
}

}  // namespace tavrine
