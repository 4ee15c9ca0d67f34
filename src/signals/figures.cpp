#include "signals/figures.h"

#include <algorithm>
#include <unordered_map>

#include "signals/backtest.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

namespace {

// Columns of the trade list.
constexpr int kEntryDate = 1;
constexpr int kExitDate = 2;
constexpr int kHeldDays = 3;
constexpr int kEntryClose = 4;
constexpr int kExitClose = 5;
constexpr int kRatio = 6;

// Columns of the chart's series.
constexpr int kSeriesDate = 0;
constexpr int kSeriesClose = 1;

double Number(const WorkTable& t, int c, int r) { return static_cast<double>(t.getFloat(c, r)); }

}  // namespace

int ListedTradeCount(const WorkTable& stats) {
  int m = 0;
  while (m < Backtest::kMaxListed && !IsBlank(stats.cell(kRatio, m + 1))) ++m;
  return m;
}

BacktestFigures ComputeFigures(const WorkTable& stats) {
  BacktestFigures f;
  const int m = ListedTradeCount(stats);
  f.trades = m;
  // No closed trade: no figure at all, not even a zero drawdown or wins, so
  // that an empty list never reads like a flat or losing strategy.
  if (m == 0) return f;

  f.curve.reserve(static_cast<std::size_t>(m));
  double equity = 1, peak = 1, maxDrawdown = 0;
  double gains = 0, losses = 0, heldDays = 0;
  int wins = 0, run = 0, longestRun = 0;
  bool lost = false;
  // Oldest trade (row m) first: the curve, the peak and the runs follow time.
  for (int r = m; r >= 1; --r) {
    const double ratio = Number(stats, kRatio, r);
    equity *= ratio;
    peak = std::max(peak, equity);
    const double drawdown = 1 - equity / peak;
    maxDrawdown = std::max(maxDrawdown, drawdown);
    if (ratio > 1) {
      ++wins;
      gains += ratio - 1;
      run = 0;
    } else if (ratio < 1) {
      lost = true;
      losses += 1 - ratio;
      longestRun = std::max(longestRun, ++run);
    } else {
      run = 0;  // an even trade ends a losing run
    }
    heldDays += Number(stats, kHeldDays, r);
    f.curve.push_back({stats.cell(kExitDate, r), equity, drawdown});
  }

  f.wins = wins;
  f.winRate = static_cast<double>(wins) / m;
  f.equity = equity;
  f.maxDrawdown = maxDrawdown;
  if (lost) f.profitFactor = gains / losses;
  f.longestLosingStreak = longestRun;

  // Calendar days from the oldest entry to the newest exit. Dates that do not
  // advance leave no span to share out.
  const int span = StrToDate(stats.cell(kExitDate, 1)) - StrToDate(stats.cell(kEntryDate, m));
  if (span != 0) f.exposure = heldDays / span;

  // A zero entry close (only possible as a short's buy-back side) has no
  // quotient.
  const double firstClose = Number(stats, kEntryClose, m);
  const double lastClose = Number(stats, kExitClose, 1);
  if (firstClose != 0) f.buyAndHold = lastClose / firstClose;
  return f;
}

std::string FigureText(const std::optional<double>& v) {
  return v ? FloatToStr(static_cast<long double>(*v)) : std::string("-");
}

std::string FigureText(const std::optional<int>& v) { return v ? IntToStr(*v) : std::string("-"); }

std::string FiguresLine(const BacktestFigures& f) {
  std::string s = "figures trades=" + IntToStr(f.trades);
  s += " wins=" + FigureText(f.wins);
  s += " equity=" + FigureText(f.equity);
  s += " maxdd=" + FigureText(f.maxDrawdown);
  s += " pf=" + FigureText(f.profitFactor);
  s += " streak=" + FigureText(f.longestLosingStreak);
  s += " exposure=" + FigureText(f.exposure);
  s += " hold=" + FigureText(f.buyAndHold);
  return s;
}

const std::vector<std::string>& FigureHeadings() {
  static const std::vector<std::string> kHeadings{"最大DD", "PF", "最長連敗", "保有率", "買持"};
  return kHeadings;
}

std::vector<std::string> FigureCells(const BacktestFigures& f) {
  return {FigureText(f.maxDrawdown), FigureText(f.profitFactor), FigureText(f.longestLosingStreak),
          FigureText(f.exposure), FigureText(f.buyAndHold)};
}

void TradeMarkers(const WorkTable& stats, const WorkTable& series, int firstRow, int lastRow,
                  std::vector<MarkerPoint>& buys, std::vector<MarkerPoint>& sells) {
  buys.clear();
  sells.clear();
  const int lo = std::max(1, std::min(firstRow, lastRow));
  const int hi = std::min(std::max(firstRow, lastRow), series.rowCount() - 1);
  if (lo > hi) return;

  // Day -> row of the shown rows that have a close. One pass over the rows,
  // then one look-up a trade date: never rows x trades.
  std::unordered_map<int, int> rowOfDay;
  rowOfDay.reserve(static_cast<std::size_t>(hi - lo + 1));
  for (int r = lo; r <= hi; ++r) {
    const std::string& close = series.cell(kSeriesClose, r);
    if (IsBlank(close) || close == "0") continue;
    int day = 0;
    if (!TryParseDate(series.cell(kSeriesDate, r), day)) continue;
    rowOfDay.emplace(day, r);  // a repeated day keeps its first row
  }
  if (rowOfDay.empty()) return;

  const int m = ListedTradeCount(stats);
  auto mark = [&](const std::string& date, std::vector<MarkerPoint>& out) {
    int day = 0;
    if (!TryParseDate(date, day)) return;
    const auto it = rowOfDay.find(day);
    if (it == rowOfDay.end()) return;
    const int r = it->second;
    out.push_back({static_cast<double>(r), Number(series, kSeriesClose, r), series.cell(kSeriesDate, r)});
  };
  for (int r = m; r >= 1; --r) {
    mark(stats.cell(kEntryDate, r), buys);
    mark(stats.cell(kExitDate, r), sells);
  }
}

}  // namespace tavrine
