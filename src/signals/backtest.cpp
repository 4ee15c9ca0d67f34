#include "signals/backtest.h"

#include <algorithm>
#include <cmath>

#include "signals/stats_block.h"
#include "signals/walk.h"
#include "store/control_cells.h"
#include "store/state.h"
#include "store/text.h"

namespace tavrine {

namespace {

using namespace stats;

// Columns of the trade list moved by the filter.
constexpr int kListCols[] = {kEntryDate, kExitDate, kEntryClose, kExitClose, kRatio};

// Empties columns firstCol .. lastCol of rows firstRow .. lastRow, touching
// only the cells that hold something (most of the block is empty), column by
// column as the table keeps them.
void ClearBlock(WorkTable& t, int firstCol, int lastCol, int firstRow, int lastRow) {
  for (int c = firstCol; c <= lastCol; ++c)
    for (int r = firstRow; r <= lastRow; ++r)
      if (!t.isEmpty(c, r)) t.set(c, r, "");
}

}  // namespace

void Backtest::ClearStats() {
  SuspendRedraw layout(ws_.StatsTable);
  WaitCursor wait(ws_.platform);
  ClearBlock(ws_.StatsTable, 0, 42, 1, kLastRow);
}

void Backtest::ClearStaging() {
  SuspendRedraw layout(ws_.StatsTable);
  WaitCursor wait(ws_.platform);
  ClearBlock(ws_.StatsTable, 1, 15, kFirstStagingRow, kLastRow);
}

void Backtest::WriteHeaders() {
  WorkTable& t = ws_.StatsTable;
  SuspendRedraw layout(t);
  for (int r = 1; r <= kLastRow; ++r) t.setInt(0, r, r);
  static const char* const kRangeCaptions[] = {"-0.95",     "0.95-1.00", "1.00-1.05", "1.05-1.10",
                                               "1.10-1.15", "1.15-1.20", "1.20-"};
  for (int i = 0; i < stats::kRanges; ++i) t.set(kFirstRange + i, 0, kRangeCaptions[i]);
  for (const auto& [cell, caption] : kCaptions) t.set(cell, caption);
}

// The newest kMaxListed trades fit in the staging rows and the row above them.
static_assert(StagingRow(Backtest::kMaxListed) == kFirstStagingRow - 1);

const WorkTable& Backtest::walked() const { return source_ ? *source_ : ws_.CalcTable; }

// One walk over the rule's window, oldest day first. A trade k (k = 1 the
// oldest) stands in staging row StagingRow(k) while that is a staging row;
// when the history closes 1000 trades or more, the staging area is
// rewritten at the end with the newest 1000, so that no staging write ever
// lands in the list rows or the header row.
void Backtest::Walk(const BacktestOptions& options) {
  WorkTable& st = ws_.SeriesTable;
  const WorkTable& calc = walked();
  const bool entryBuy = options.entryBuy();
  WorkTable& t = ws_.StatsTable;
  SuspendRedraw layout(t);

  static const char* const kBuyHeader[] = {"No.",    "買い日", "売り日",   "所要日数",
                                           "買い値", "売り値", "売値/買値"};
  static const char* const kSellHeader[] = {"No.",    "売り日", "買い日",   "所要日数",
                                            "売り値", "買い値", "売値/買値"};
  for (int c = 0; c <= 6; ++c) t.set(c, 0, entryBuy ? kBuyHeader[c] : kSellHeader[c]);

  const int rule = st.getInt(ctl::RuleNumber);
  // Judged honestly, every row from the oldest data row to the day before the
  // newest holds its decision (a row without a value holds none), and each
  // decision is carried out at the close of the next trading day, one row
  // newer; the newest day's decision waits for a day still to come.
  int start = 0, end = 0;
  if (options.honest()) {
    start = last_ > 0 ? last_ : st.getInt(ctl::LastDataRow);
    end = (first_ > 0 ? first_ : st.getInt(ctl::FirstDataRow)) + 1;
  } else {
    walk::HindsightWindow(rule, st.getInt(ctl::PricedRows), start, end);
  }

  // Flat is 0 for entry-buy and 1 for entry-sell.
  const int flat = entryBuy ? 0 : 1;
  st.setInt(ctl::PositionFlag, flat);
  st.setInt(ctl::TradesOpened, 0);
  st.setInt(ctl::TradesClosed, 0);

  walk::Steps steps;
  walk::WalkSignals(walk::ReadColumn(calc, rule, std::max(start, 0)), start, end, options, steps);
  std::vector<walk::Trade>& trades = closed_;
  trades.clear();
  openEntryRow_ = 0;
  auto date = [&calc](int x) { return calc.cell(0, x); };
  auto close = [&calc](int x) { return calc.cell(1, x); };
  walk::ReplaySteps(
      steps, close,
      [&](int k, const walk::Trade& open) {
        if (IsStaged(k)) {
          t.set(kEntryDate, StagingRow(k), date(open.entryRow));
          t.set(kEntryClose, StagingRow(k), close(open.entryRow));
        }
        openEntryRow_ = open.entryRow;
        st.setInt(ctl::PositionFlag, 1 - flat);
        st.setInt(ctl::TradesOpened, k);
      },
      [&](int k, const walk::Trade& closed) {
        if (IsStaged(k)) {
          t.set(kExitDate, StagingRow(k), date(closed.exitRow));
          t.set(kExitClose, StagingRow(k), close(closed.exitRow));
          t.set(kRatio, StagingRow(k), walk::RatioText(closed, options));
        }
        trades.push_back(closed);
        openEntryRow_ = 0;
        st.setInt(ctl::PositionFlag, flat);
        st.setInt(ctl::TradesClosed, k);
      });
  // A cell the strict read refuses stops the walk with its conversion error.
  if (steps.badRow != 0) calc.getInt(rule, steps.badRow);

  const int exits = static_cast<int>(trades.size());
  if (exits >= kMaxListed) {
    for (int j = 1; j <= kMaxListed; ++j) {
      const walk::Trade& tr = trades[static_cast<std::size_t>(exits - kMaxListed + j - 1)];
      const int row = StagingRow(j);
      t.set(kEntryDate, row, date(tr.entryRow));
      t.set(kExitDate, row, date(tr.exitRow));
      t.set(kEntryClose, row, close(tr.entryRow));
      t.set(kExitClose, row, close(tr.exitRow));
      t.set(kRatio, row, walk::RatioText(tr, options));
    }
  }
}

void Backtest::Button41Click() {
  BacktestOptions o = options();
  o.entry = EntrySide::Buy;
  Walk(o);
}
void Backtest::Button48Click() {
  BacktestOptions o = options();
  o.entry = EntrySide::Sell;
  Walk(o);
}

int Backtest::ListedTrades() const {
  return std::min(ws_.SeriesTable.getInt(ctl::TradesClosed), kMaxListed);
}

void Backtest::FilterAndOrder() {
  WorkTable& t = ws_.StatsTable;
  SuspendRedraw layout(t);
  const int total = ws_.SeriesTable.getInt(ctl::TradesClosed);
  const int n = ListedTrades();

  const std::string text = ws_.form.text("MaskEdit1");
  const long double minimum = text == "0.00" ? 0.0L : StrToFloat(text);
  if (minimum == 0) ws_.form.setText("MaskEdit1", "0.00");

  // Newest trade first into rows 1 .. n; a trade below the minimum leaves an
  // empty ratio cell.
  for (int i = 1; i <= n; ++i) {
    const int src = StagingRow(n - i + 1);
    if (minimum != 0 && minimum > StrToFloat(t.cell(kRatio, src))) {
      t.set(kRatio, i, "");
    } else {
      for (int c : kListCols) t.set(c, i, t.cell(c, src));
    }
  }
  // Close the gaps.
  int dropped = 0;
  for (int i = 1; i <= n; ++i) {
    if (t.cell(kRatio, i).empty()) {
      ++dropped;
    } else if (dropped > 0) {
      for (int c : kListCols) t.set(c, i - dropped, t.cell(c, i));
    }
  }
  const int kept = n - dropped;
  for (int r = kept + 1; r <= kept + n; ++r)
    for (int c : kListCols) t.set(c, r, "");

  for (int r = 1; r <= kept; ++r) {
    const std::string& from = t.cell(kEntryDate, r);
    const std::string& to = t.cell(kExitDate, r);
    if (IsBlank(from) || IsBlank(to)) continue;
    t.set(kHeldDays, r, walk::HeldDaysText(from, to));
  }

  if (total > kMaxListed) t.set(stats::kTruncatedNote, Backtest::kTruncatedNote);
}

std::vector<ListedTrade> Backtest::ListClosed(const BacktestOptions& options) {
  WorkTable& t = ws_.StatsTable;
  const WorkTable& calc = walked();
  SuspendRedraw layout(t);
  const int total = static_cast<int>(closed_.size());
  const int n = std::min(total, kMaxListed);
  ws_.form.setText("MaskEdit1", "0.00");

  // Row i holds trade total - i + 1 (1 = the oldest), as the staging rows
  // FilterAndOrder moves up would.
  std::vector<ListedTrade> listed(static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i) {
    const walk::Trade& tr = closed_[static_cast<std::size_t>(total - i)];
    ListedTrade& row = listed[static_cast<std::size_t>(i - 1)];
    row = {calc.cell(0, tr.entryRow), calc.cell(0, tr.exitRow), {},
           calc.cell(1, tr.entryRow), calc.cell(1, tr.exitRow), walk::RatioText(tr, options)};
    t.set(kEntryDate, i, row.entryDate);
    t.set(kExitDate, i, row.exitDate);
    t.set(kEntryClose, i, row.entryClose);
    t.set(kExitClose, i, row.exitClose);
    t.set(kRatio, i, row.ratio);
  }
  ClearBlock(t, kEntryDate, kRatio, n + 1, 2 * n);
  for (int r = 1; r <= n; ++r) {
    ListedTrade& row = listed[static_cast<std::size_t>(r - 1)];
    if (IsBlank(row.entryDate) || IsBlank(row.exitDate)) {
      row.heldDays = t.cell(kHeldDays, r);  // left as it was
      continue;
    }
    row.heldDays = walk::HeldDaysText(row.entryDate, row.exitDate);
    t.set(kHeldDays, r, row.heldDays);
  }

  if (total > kMaxListed) t.set(stats::kTruncatedNote, Backtest::kTruncatedNote);
  return listed;
}

void Backtest::RatioStats() { RatioStats(ReadListedTrades(ws_.StatsTable, ListedTrades())); }

std::string Backtest::RatioStats(const std::vector<ListedTrade>& listed) {
  WorkTable& t = ws_.StatsTable;
  SuspendRedraw layout(t);
  for (int c = kFirstRange; c < kFirstRange + kRanges; ++c) {
    t.setInt(c, kRangeAverageRow, 0);
    t.setInt(c, kRangeCountRow, 0);
  }
  t.setInt(kOverallAverage, 0);
  t.setInt(kAnnualRate, 0);

  const walk::RatioSummary sum = walk::SummariseRatios(
      listed, [&t](int range, int count) { t.setInt(kFirstRange + range, kRangeCountRow, count); });
  for (int i = 0; i < kRanges; ++i)
    if (sum.counts[i] != 0) t.set(kFirstRange + i, kRangeAverageRow, sum.rangeAverage(i));
  const std::string overall = sum.overallAverage();
  if (sum.countAll != 0) {
    t.set(kOverallAverage, overall);
    t.set(kTrades, ws_.SeriesTable.cell(ctl::TradesClosed));
  }
  return overall;
}

void Backtest::DayStats() {
  DayStats(ReadListedTrades(ws_.StatsTable, ListedTrades()), ws_.StatsTable.cell(kOverallAverage));
}

void Backtest::DayStats(const std::vector<ListedTrade>& listed, const std::string& overallAverage) {
  WorkTable& t = ws_.StatsTable;
  SuspendRedraw layout(t);
  t.set(kMostFrequentCaption, "");
  t.set(kMostFrequentDays, "");
  t.set(kHistogramDays, kHistogramOffset, "所要日数");
  t.set(kHistogramCounts, kHistogramOffset, "回数");

  const int n = static_cast<int>(listed.size());
  // Histogram rows 7 .. 1999: holding times of 1 .. 1993 days. Longer (or
  // impossible) holding times have no row; they still count in the average.
  for (const ListedTrade& trade : listed) {
    const std::string& days = trade.heldDays;
    if (days.empty()) continue;
    const long long d = Trunc(StrToFloat(days));
    if (d < 1 || d > kMaxHistogramDays) continue;
    const int row = static_cast<int>(d) + kHistogramOffset;
    t.setInt(kHistogramDays, row, d);
    t.setInt(kHistogramCounts, row,
             t.isEmpty(kHistogramCounts, row) ? 1 : t.getInt(kHistogramCounts, row) + 1);
  }

  if (t.textIs(kCondition.col, kCondition.row, "S1")) {
    t.set(kMostFrequentCaption, "最頻日数");
    int best = 0;
    const int lastRow = std::min(n, kMaxHistogramDays) + kHistogramOffset;
    for (int row = kHistogramOffset + 1; row <= lastRow; ++row) {
      if (t.isEmpty(kHistogramCounts, row)) continue;
      const int c = t.getInt(kHistogramCounts, row);
      if (c > best) {
        best = c;
        t.set(kMostFrequentDays, t.cell(kHistogramDays, row));
      }
    }
  }

  const walk::DaySummary days = walk::SummariseDays(
      listed, overallAverage, [&t](const std::string& average) { t.set(kAverageDays, average); });
  if (days.spanned) {
    t.set(kPerYear, days.perYear);
    t.set(kAnnualRate, days.annualRate);
  }
}

void Backtest::RunChain() {
  // Should a step below stop with an error, no figures or markers of the
  // previous list stay behind.
  figures_ = BacktestFigures{};
  FillTradeMarkers();
  WriteHeaders();
  const BacktestOptions o = options();
  Walk(o);
  // Without a minimum ratio the list is the newest closed trades, taken as
  // the walk made them; the statistics and figures read them from there.
  const std::string minimum = ws_.form.text("MaskEdit1");
  const bool unfiltered = minimum == "0.00" || StrToFloat(minimum) == 0;
  std::vector<ListedTrade> listed;
  if (unfiltered)
    listed = ListClosed(o);
  else
    FilterAndOrder();
  ClearStaging();
  if (unfiltered) {
    const std::string overall = RatioStats(listed);
    DayStats(listed, overall);
  }
  const int n = static_cast<int>(listed.size());
  if (unfiltered && ListedTradeCount(ws_.StatsTable) == n)
    figures_ = ComputeFigures(listed);
  else
    figures_ = ComputeFigures(ws_.StatsTable);
  FillTradeMarkers();
}

void Backtest::RunChainOn(const WorkTable& rows, int first, int last) {
  struct Restore {
    Backtest& b;
    ~Restore() {
      b.source_ = nullptr;
      b.first_ = b.last_ = 0;
    }
  } restore{*this};
  source_ = &rows;
  first_ = first;
  last_ = last;
  RunChain();
}

void Backtest::FillTradeMarkers() {
  ChartModel& chart = ws_.chart;
  const ShownRows& shown = chart.shownRows();
  buys_.clear();
  sells_.clear();
  if (figures_.trades > 0 && shown.table != ShownRows::None) {
    const WorkTable& rows = shown.table == ShownRows::Calc ? ws_.CalcTable : ws_.SeriesTable;
    TradeMarkers(ws_.StatsTable, rows, shown.first, shown.last, buys_, sells_);
  }
  chart.clear(ChartModel::buys);
  chart.clear(ChartModel::sells);
  for (const MarkerPoint& p : buys_) chart.add(ChartModel::buys, p.x, p.y, p.label);
  for (const MarkerPoint& p : sells_) chart.add(ChartModel::sells, p.x, p.y, p.label);
}

void Backtest::Button51Click() {
  WaitCursor wait(ws_.platform);
  SuspendRedraw layout(ws_.CalcTable);
  ClearStats();
  ws_.SeriesTable.set(ctl::RuleNumber, "7");
  ws_.StatsTable.set(ctl::Condition, "S1");
  ws_.form.setText("Button81", "S");
  RunChain();
}

void Backtest::MaskEdit1Change() { ws_.form.setEditMask("MaskEdit1", "9.99"); }

std::string Backtest::condition() const { return ws_.StatsTable.cell(ctl::Condition); }

bool Backtest::entryBuy() const { return ws_.SeriesTable.cell(ctl::EntryDirection) == "1"; }

BacktestOptions Backtest::options() const {
  BacktestOptions o;
  o.judging = ws_.judging;
  o.entry = entryBuy() ? EntrySide::Buy : EntrySide::Sell;
  return o;
}

}  // namespace tavrine
