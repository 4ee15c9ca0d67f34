// Rule scan: every stock of the stock list judged by every one of the ten
// rules, with the same arithmetic as the main window's extraction, rule
// columns and backtest chain, computed on numbers (or, for a stock whose
// prices need it, on a private copy of the work tables), so the main window
// is never touched. Runs on worker threads.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "signals/backtest_options.h"
#include "signals/figures.h"
#include "signals/rule_columns.h"
#include "signals/walk.h"

namespace tavrine {

class WorkTable;

struct ScanRow {
  int column = 0;          // StockList column of the stock
  std::string code;        // first four characters of the heading
  std::string name;        // the rest of the heading, leading blanks dropped
  int tag = 0;             // the rule button's tag (0 .. 9)
  std::string rule;        // the rule button's caption: "S1" .. "ST"
  int trades = 0;          // closed trades (StatsTable's 全頻度)
  std::string average;     // overall average ratio as the statistics show it ("" when none)
  std::string perYear;     // trades per year as shown ("" when none)
  std::string annualRate;  // annual rate as shown ("0" when no trade)
  std::string winShare;  // share of listed trades with a ratio above 1, "62.5%" form ("" when none)
  std::string averageDays;    // average holding days as shown ("" when none)
  BacktestFigures figures{};  // the backtest's figures, without the equity curve
};

struct ScanOptions {
  bool shortTerm = false;  // false: the long-term rule set, true: the short-term set
  // The way of judging every stock, the entry direction and the costs.
  BacktestOptions backtest;
  int threads = 2;
  // Rows with fewer closed trades than this are ranked below every row that
  // has this many: a rule that traded twice with luck is not the best one.
  int minTrades = 5;
  // Set from another thread to stop; the scan returns what it finished.
  const std::atomic<bool>* cancel = nullptr;
  // Called from worker threads after each stock: (stocks done, stocks in all).
  std::function<void(int, int)> progress;
};

// Scans the stock columns 1..197 of the list that hold a stock. The list is
// only read and must not change while the scan runs: a caller that keeps editing its own list
// passes a copy. Each stock gets the control cells and captions of a fresh start-up (the long-term
// "乖離" in its 75-day mode), the extraction, and for the short term one
// press of the term switch; then every rule button (kRules). Rows come in the
// window's first order (SortScanRows with options.minTrades). A stock
// whose series cannot be computed (too short, a bad cell) is left out; a
// cancelled scan returns the stocks it finished, none in part. Blocks until
// the workers are done.
std::vector<ScanRow> RunScan(const WorkTable& stockList, const ScanOptions& options);

// The scan table's columns, in the order of ScanColumnHeadings(); from
// kScanTrades on they hold numbers.
enum ScanColumn {
  kScanCode,
  kScanName,
  kScanRule,
  kScanTrades,
  kScanAverage,
  kScanPerYear,
  kScanAnnualRate,
  kScanWinShare,
  kScanAverageDays,
  // The figures, in the order of FigureHeadings().
  kScanMaxDrawdown,
  kScanProfitFactor,
  kScanLosingStreak,
  kScanExposure,
  kScanBuyAndHold
};
bool ScanColumnIsNumeric(int column);
// The one order of scan rows, used by the scan, the window's column sort,
// the driver and the CSV: stable by one column (numbers as numbers with an
// empty value below every number, a figure by its value rather than its
// rounded text, the rule by its tag, texts as texts), then code, tag and
// stock column ascending.
void SortScanRows(std::vector<ScanRow>& rows, int column, bool descending);
// The scan's first order: rows of at least minTrades closed trades by
// annual rate descending, then the rows of fewer trades in the same order.
void SortScanRows(std::vector<ScanRow>& rows, int minTrades = 5);

// Makes a scan row current in the main window as the user would: the code
// typed into Edit1 and Enter, then the rule button of the tag. For a
// short-term row of a term-dependent rule (G3 .. ST) the term button "長" is
// pressed until it reads "短" first (twice after a selection, whose long pass
// leaves term mode "1"), so the window shows the figures the row was scanned
// with. Stops when the stock is not found or a handler reports an error;
// nothing happens while a handler waits for a page. True when the rule ran.
class Workspace;
bool PickScanRow(Workspace& ws, const std::string& code, int tag, bool shortTerm);

// One stock on the scan's numeric path: its closes in whole yen by row
// (rows first .. last, newest first) and the rule columns of the scan's term
// set and way of judging.
struct ScanSeries {
  std::vector<long long> yen;
  int first = 0, last = 0;
  rule_columns::RuleSet columns;
  int priced = 0;  // ctl::PricedRows with hindsight; 0 judged honestly
};
// False when the stock's prices are not all plain whole-yen cells or are
// fewer than the price scale reads: the scan then takes the window path.
// onlyTag >= 0, judged honestly: only that rule's column is made (the
// others are left as they were), for a caller that walks one rule.
bool ReadScanSeries(const WorkTable& list, int k, const ScanOptions& o, ScanSeries& out,
                    int onlyTag = -1);
// The walk of the rule of `tag` as its rule button walks it (out.badRow set
// where the button would stop).
void WalkScanRule(const ScanSeries& series, int tag, const BacktestOptions& options,
                  walk::Steps& out);

// Helpers of the scan, also used by its tests and the driver.
// The stock columns a scan visits: 1..197 whose heading is not blank.
std::vector<int> ScanColumns(const WorkTable& stockList);
// The name part of a heading: what follows the four-byte code, leading
// blanks (also full-width ones) dropped.
std::string ScanNameOf(const std::string& heading);
// wins / listed as a percentage with one decimal, rounded half up ("62.5%"
// for 5 of 8, "6.3%" for 1 of 16), as PercentText shows a fraction; "" when
// nothing is listed.
std::string WinShareText(int wins, int listed);

// The headings of the scan table, in column order.
const std::vector<std::string>& ScanColumnHeadings();
// The text of one scan cell as the window, the CSV and the driver show it,
// one form a column: the statistics with three places (全利率平均), one
// (年平均頻度), two (年利率) and none (平均日数), rounded half up from the
// statistics block's texts (a statistic cut too short for the places keeps
// the digits it has: "18.7"); the win share and the figures in the forms of
// the backtest view (percentages with one decimal and "%", the profit factor
// with two decimals, buy and hold with three), "-" for a figure without a
// value.
std::string ScanCellText(const ScanRow& row, int column);
// Cells of one scan row, in the order of ScanColumnHeadings().
std::vector<std::string> ScanRowCells(const ScanRow& row);

// Writes a heading line, then one line per row in the order given, each
// cell as ScanCellText gives it.
void SaveScanCsv(const std::vector<ScanRow>& rows, const std::string& path);

}  // namespace tavrine
