// Figures of a finished backtest read from the trade list the chain leaves in
// StatsTable (rows 1..m, newest first), and the chart's trade markers. Pure
// reads of the tables: nothing is written, nothing is drawn.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class WorkTable;

// One closed trade on the equity curve, in time order.
struct EquityPoint {
  std::string exitDate;  // the exit date text as listed
  double equity;         // capital after this trade, starting from 1
  double drawdown;       // 1 - equity / highest equity so far (0 at a new high)
  // Buying at the oldest entry and holding: this exit close over the oldest
  // entry close. None when that close is not above 0 or this one is no
  // number.
  std::optional<double> hold;
};

// std::nullopt is "no value" (shown as "-"). With no closed trade every
// figure but the trade count has no value, the wins included.
struct BacktestFigures {
  int trades = 0;                          // m: listed closed trades
  std::optional<int> wins;                 // trades with a ratio above 1
  std::optional<double> winRate;           // wins / trades
  std::optional<double> equity;            // product of all ratios
  std::optional<double> maxDrawdown;       // largest fall from a previous high, as a fraction
  std::optional<double> profitFactor;      // gains over losses; none when no trade lost
  std::optional<int> longestLosingStreak;  // most consecutive trades with a ratio below 1
  std::optional<double> exposure;  // days held over the calendar days covered; none for 0 days
  std::optional<double>
      buyAndHold;  // newest exit close over the oldest entry close; none for a 0 close
  std::vector<EquityPoint> curve;  // one point a trade, oldest first
  // The day the curve starts at 1: the oldest entry date, else the first
  // exit date; none when neither is a date.
  std::optional<int> startDay;
};

// The two distributions the statistics block holds beside the trade list.
struct Distributions {
  struct Range {
    std::string caption;  // "0.95-1.00" as the block labels it
    double count;         // trades in the range, 0 for a blank cell
  };
  std::vector<Range> ranges;  // the seven ratio ranges, lowest first
  // Holding days with the trades held that long, shortest first; days
  // below 1 and cells that hold no number are left out.
  std::vector<std::pair<int, double>> heldDays;
};
Distributions ReadDistributions(const WorkTable& stats);

// The holding days in at most maxBars bars: one a day when they fit, else
// ranges of a round width (2, 5, 10, 20, 50, 100, 200, then 500 days).
struct DayBin {
  int from;      // first day of the bar
  int to;        // last day of the bar (from for a bar of one day)
  double count;  // trades held from .. to days
};
std::vector<DayBin> BinHeldDays(const std::vector<std::pair<int, double>>& heldDays, int maxBars);

// Listed closed trades: consecutive rows from 1 with a non-blank ratio
// (column 6), at most Backtest::kMaxListed.
int ListedTradeCount(const WorkTable& stats);

// One row of the trade list, as its cells hold it.
struct ListedTrade {
  std::string entryDate, exitDate, heldDays, entryClose, exitClose, ratio;
};
// Rows 1 .. n of the trade list, newest first.
std::vector<ListedTrade> ReadListedTrades(const WorkTable& stats, int n);

// A ratio, close, holding-days or date text that the figures need and that
// is not a number or date raises ConversionError, as every other handler
// does on a bad cell.
BacktestFigures ComputeFigures(const std::vector<ListedTrade>& listed);
// The figures of the listed trades of a statistics table.
BacktestFigures ComputeFigures(const WorkTable& stats);

// The 15-digit general form of a figure, "-" without a value.
std::string FigureText(const std::optional<double>& v);
std::string FigureText(const std::optional<int>& v);

// One "key=value" of a figures line, the value as FigureText writes it.
struct FigureField {
  FigureField(const char* k, const std::optional<double>& v) : key(k), text(FigureText(v)) {}
  FigureField(const char* k, const std::optional<int>& v) : key(k), text(FigureText(v)) {}
  FigureField(const char* k, double v) : FigureField(k, std::optional<double>(v)) {}
  FigureField(const char* k, int v) : FigureField(k, std::optional<int>(v)) {}
  const char* key;
  std::string text;
};
// The fields as "key=value", one blank between.
std::string FigureFields(std::initializer_list<FigureField> fields);

// A figure as the tables and the CSV show it: rounded half up to `decimals`
// places from its 15-digit decimal form (so binary noise never decides a
// tie: 0.0318080000000001 is 0.032), "-" without a value.
std::string RoundedText(const std::optional<double>& v, int decimals);
// A fraction as a percentage with one decimal, rounded the same way:
// 0.0318080000000001 is "3.2%", 0.57 is "57.0%"; "-" without a value.
std::string PercentText(const std::optional<double>& fraction);

// "figures trades=M wins=W equity=E maxdd=D pf=P streak=S exposure=X hold=H"
std::string FiguresLine(const BacktestFigures& f);

// Captions of the extra scan columns and their texts for one backtest, in
// the same order: max drawdown, profit factor, longest losing streak,
// exposure, buy and hold. The texts are the shown forms, as the backtest
// view shows the same figures: percentages for the drawdown and the
// exposure, two decimals for the profit factor, three for buy and hold.
const std::vector<std::string>& FigureHeadings();  // 最大DD, PF, 最長連敗, 保有率, 買持
std::vector<std::string> FigureCells(const BacktestFigures& f);
// The same figures as numbers (none without a value), for ordering rows.
std::vector<std::optional<double>> FigureNumbers(const BacktestFigures& f);

// A trade marker on the chart: x is the SeriesTable row, y that row's close,
// label that row's date text (the same label the chart's own points carry).
struct MarkerPoint {
  double x;
  double y;
  std::string label;
};

// Markers of the listed trades on the rows the chart shows (firstRow ..
// lastRow of the series, either order, inclusive): buys at each trade's
// entry day (column 1), sells at its exit day (column 2), oldest trade
// first. Days are matched as whole days, so "2024/1/5" finds "2024/01/05".
// A trade day that is not a row of the window, a row whose close is blank
// or "0", and a date that does not parse give no marker. buys and sells are
// replaced.
void TradeMarkers(const WorkTable& stats, const WorkTable& series, int firstRow, int lastRow,
                  std::vector<MarkerPoint>& buys, std::vector<MarkerPoint>& sells);

}  // namespace tavrine
