// The trade walk and its statistics on numbers. A rule's column is read into
// a SignalColumn once; WalkSignals decides on which rows a trade opens and
// closes; the trades' texts, the listed trades and the statistics follow
// from those rows. The rule buttons (Backtest::RunChain) write what this
// gives into StatsTable; the rule scan and the tests take it as it is.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "signals/backtest_options.h"
#include "signals/figures.h"
#include "signals/stats_block.h"
#include "store/text.h"

namespace tavrine {

class WorkTable;

namespace walk {

// A rule column as the walk reads it: an integer, a blank cell (empty or
// one space) or any other text, which a strict integer read refuses.
enum class Cell : std::uint8_t { Number, Blank, Bad };
struct SignalColumn {
  std::vector<int> value;  // by row
  std::vector<Cell> kind;  // by row
  void assign(int rows, Cell k) {
    value.assign(static_cast<std::size_t>(rows) + 1, 0);
    kind.assign(static_cast<std::size_t>(rows) + 1, k);
  }
  void set(int r, long long v) {
    value[static_cast<std::size_t>(r)] = static_cast<int>(v);
    kind[static_cast<std::size_t>(r)] = Cell::Number;
  }
};
// Rows 1 .. lastRow of a table column.
SignalColumn ReadColumn(const WorkTable& t, int column, int lastRow);

// Oldest and newest row walked with hindsight for a rule (its CalcTable
// column), from the number of priced rows v.
void HindsightWindow(int rule, int v, int& start, int& end);

// A trade opens or closes at the close of `row`.
struct Step {
  int row;
  bool opens;
};
struct Steps {
  std::vector<Step> steps;
  int badRow = 0;  // the row whose cell stopped the walk (a strict read refuses it), 0 none
};
// One walk over rows start down to end. With hindsight a decision is carried
// out on its own row and every cell must be an integer; judged honestly a
// blank cell holds no decision and a decision is carried out one row newer.
// Entry-buy opens on a positive signal and closes on a negative one;
// entry-sell opens on a negative one and closes on one that is not.
void WalkSignals(const SignalColumn& signal, int start, int end, const BacktestOptions& options,
                 Steps& out);

// A trade by the rows it opens and closes at, with its closes in whole yen
// as a strict integer read gives them. The prices are read when the trade
// closes (an open trade has none yet); the texts a table shows are made from
// the rows where a cell is written.
struct Trade {
  int entryRow = 0, exitRow = 0;
  int entryPrice = 0, exitPrice = 0;
};
// 売値/買値 of a closed trade: sell price over buy price in both directions,
// in extended precision.
long double TradeRatio(const Trade& t, const BacktestOptions& options);
// That ratio as the list shows it (five bytes of its general form).
std::string RatioText(const Trade& t, const BacktestOptions& options);

// The steps' trades in order: onOpen(k, trade) when trade k opens (its entry
// row only), onClose(k, trade) when it closes. close(row) gives a row's close
// text; a close a strict integer read refuses stops the replay with its
// conversion error when its trade closes, the entry's close read first.
template <class Close, class OnOpen, class OnClose>
void ReplaySteps(const Steps& s, Close&& close, OnOpen&& onOpen, OnClose&& onClose) {
  Trade open;
  int entries = 0, exits = 0;
  for (const Step& step : s.steps) {
    if (step.opens) {
      open = Trade{step.row, 0, 0, 0};
      onOpen(++entries, open);
    } else {
      open.exitRow = step.row;
      open.entryPrice = StrToInt(close(open.entryRow));
      open.exitPrice = StrToInt(close(open.exitRow));
      onClose(++exits, open);
    }
  }
}

// The holding days between two listed dates as the list shows them; "" when
// either is blank.
std::string HeldDaysText(const std::string& from, const std::string& to);

// The ratio ranges and the overall average of the listed trades: each ratio
// read (StrToFloat) in list order, onCount(range, count) after each trade a
// range counts.
struct RatioSummary {
  long double sums[stats::kRanges] = {};
  int counts[stats::kRanges] = {};
  long double sumAll = 0;
  int countAll = 0;
  std::string rangeAverage(int i) const;  // the range's average as the block shows it
  std::string overallAverage() const;     // "0" when no trade counts
};
RatioSummary SummariseRatios(const std::vector<ListedTrade>& listed,
                             const std::function<void(int, int)>& onCount = {});

// Average holding days, trades per year and the annual rate of the listed
// trades (newest first), from the overall average as the block shows it;
// onAverage(text) as soon as the average is known.
struct DaySummary {
  std::string averageDays;  // "" unless the newest exit and the oldest entry are dated
  bool spanned = false;     // those dates lie apart, so there is a yearly rate
  std::string perYear, annualRate;
};
DaySummary SummariseDays(const std::vector<ListedTrade>& listed, const std::string& overallAverage,
                         const std::function<void(const std::string&)>& onAverage = {});

// One rule's backtest without tables, as a rule button with no minimum
// ratio leaves it: the trades closed, the listed ones, the statistics as the
// block shows them and the figures. For steps without a bad row (the rule
// button stops with the conversion error on one).
struct RuleResult {
  int closed = 0;
  std::vector<ListedTrade> listed;
  stats::Summary summary;
  BacktestFigures figures;
};
RuleResult RunRule(const Steps& steps, const BacktestOptions& options,
                   const std::function<std::string(int)>& date,
                   const std::function<std::string(int)>& close);

// The listed trades of the closed ones (oldest first): the newest
// kMaxListed, newest first, with their texts from date(row) and close(row)
// and their holding days.
std::vector<ListedTrade> ListTrades(const std::vector<Trade>& closed,
                                    const BacktestOptions& options,
                                    const std::function<std::string(int)>& date,
                                    const std::function<std::string(int)>& close);

}  // namespace walk
}  // namespace tavrine
