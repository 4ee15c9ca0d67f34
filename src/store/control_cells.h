// The control cells: fixed cells below the last series row of SeriesTable
// (rows 4862 .. 4864; row 4861 holds nothing), plus one cell each of
// StatsTable and CacheTable, through which the handlers pass state to each
// other. Each stays a text cell of its table; these names say which, and
// their type how it is read and written:
//   ctl::StockFound.on(st), ctl::WindowStart.get(st), ctl::Heading.set(st, h).
// A cell's start value, where it has one, is declared with it; the start-up
// writes them (Startup::Button5Click and WriteStartValues) and the writers
// named below change them afterwards. Every typed cell is also a CellRef, so
// the table's CellRef overloads read and write it as well.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/stock_list.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine::ctl {

// A flag: "1" when on, its off text ("0", or "" for a cell emptied when
// off) otherwise. Any text but "1" reads as off.
struct FlagCell : CellRef {
  std::optional<bool> start = std::nullopt;
  std::string_view offText = "0";

  bool on(const WorkTable& t) const { return t.textIs(col, row, "1"); }
  // on, with an empty cell read as whenEmpty.
  bool on(const WorkTable& t, bool whenEmpty) const {
    return t.isEmpty(col, row) ? whenEmpty : on(t);
  }
  void set(WorkTable& t, bool v) const { t.set(col, row, v ? std::string_view("1") : offText); }
  void writeStart(WorkTable& t) const { set(t, *start); }
};

// A whole number. get is StrToInt of the text and raises on any other text;
// is compares the text with the number's text and never raises.
struct IntCell : CellRef {
  std::optional<long long> start = std::nullopt;

  int get(const WorkTable& t) const { return t.getInt(col, row); }
  bool is(const WorkTable& t, long long v) const { return t.textIs(col, row, IntToStr(v)); }
  void set(WorkTable& t, long long v) const { t.setInt(col, row, v); }
  void writeStart(WorkTable& t) const { set(t, *start); }
};

// A text: a caption, a heading or a date.
struct TextCell : CellRef {
  std::optional<std::string_view> start = std::nullopt;

  std::string get(const WorkTable& t) const { return t.cell(col, row); }
  bool is(const WorkTable& t, std::string_view v) const { return t.textIs(col, row, v); }
  void set(WorkTable& t, std::string_view v) const { t.set(col, row, v); }
  void writeStart(WorkTable& t) const { set(t, *start); }
};

// Writes the start values of the cells named, in order, into t. Naming a
// cell that has no start value does not compile.
template <const auto&... Cells>
void WriteStart(WorkTable& t) {
  static_assert((Cells.start.has_value() && ...), "a cell without a start value");
  (Cells.writeStart(t), ...);
}

// Where CalcTable column 0 takes its dates from (DateSource).
namespace dates {
inline constexpr int kCalendar = 0;    // DateTable (collection)
inline constexpr int kList = 1;        // StockList
inline constexpr int kCandidates = 2;  // CandidateTable row 0 (candidate view)
inline constexpr int kPortfolio = 3;   // DateTable, while the portfolio view is shown
}  // namespace dates

// --- SeriesTable row 4862 ---
// Last data row: the oldest CalcTable row counted as data of the current
// stock (extraction Button11Click/Series::Extract; the scratch column loses
// its 5 oldest rows).
inline constexpr IntCell LastDataRow{{1, 4862}};
// Rows of the chart window that hold a real price (Button21Click, Button24Click).
inline constexpr IntCell PricedRows{{2, 4862}};
// Days the chart plots: the span, or fewer under "巾" (Button14Click).
inline constexpr IntCell PlottedDays{{3, 4862}};
// StockList column of the current stock, 1..199 (start-up, Button27Click, Button94Click).
inline constexpr IntCell StockColumn{{4, 4862}};
// "1" while the stock button shows the picker Panel4 (Button17Click, picker click).
inline constexpr FlagCell PickerShown{{5, 4862}, false};
// Position flag of the trade walk (Backtest::Walk).
inline constexpr IntCell PositionFlag{{6, 4862}, 0};
// Rule number: the CalcTable column of the chosen rule (rule buttons, Button51Click).
inline constexpr IntCell RuleNumber{{7, 4862}, 7};
// Oscillator selector state "0", "1", "3", "4" (Button81Click, deviation and term buttons).
inline constexpr IntCell OscillatorState{{12, 4862}, 0};
// Last stock column of StockList, found before a stock is added (Button104Click).
inline constexpr IntCell LastStockColumn{{16, 4862}};
// Date source of CalcTable column 0: "0"/"3" DateTable, "1" StockList,
// "2" CandidateTable row 0 (start-up, collection, candidate and portfolio views, picker).
inline constexpr IntCell DateSource{{17, 4862}, dates::kList};
// New trading days found by the calendar probe (Calendar::Probe).
inline constexpr IntCell NewTradingDays{{18, 4862}};

// --- SeriesTable row 4863 ---
// Chart layout flag; "1" lets the oscillator selector choose the lower lines (start-up).
inline constexpr FlagCell ChartLayout{{1, 4863}, true};
// First data row: the first CalcTable row holding a price (extraction).
inline constexpr IntCell FirstDataRow{{2, 4863}};
// Chart span in days "300", "800", "4800" (DrawChartClick).
inline constexpr IntCell ChartSpan{{3, 4863}, 800};
// Window start: CalcTable rows skipped before SeriesTable row 1 (selection,
// navigation, picker, collection show step).
inline constexpr IntCell WindowStart{{4, 4863}, 0};
// Price scale P: the rounded average close of the 25 rows after the first data row (extraction).
inline constexpr IntCell PriceScale{{5, 4863}};
// Trades opened by the walk (Backtest::Walk).
inline constexpr IntCell TradesOpened{{6, 4863}, 0};
// Entry direction "1" buy, "0" sell (Button47Click).
inline constexpr FlagCell EntryDirection{{7, 4863}, true};
// "1" while the memo panel Panel7 is shown (Button58Click).
inline constexpr FlagCell MemoShown{{9, 4863}, true};
// Date in view, compared by the overlays to know when to recompute (term draw, navigation).
inline constexpr TextCell DateInView{{10, 4863}};
// Rule label "S1" .. "ST" (rule buttons, picker).
inline constexpr TextCell RuleLabel{{12, 4863}};
// "1" after a price was added by hand, empty once undone (Button34Click, Button35Click,
// Button17Click).
inline constexpr FlagCell ManualEntryShown{{16, 4863}, {}, ""};
// Last used slot 0..19 of the quick-collection cache (Button116Click).
inline constexpr IntCell CacheSlot{{17, 4863}, 0};

// --- SeriesTable row 4864 ---
// StockList rows the series code considers, "4860" (start-up).
inline constexpr IntCell RowsConsidered{{1, 4864}, stocklist::kLastDayRow};
// Stock-found flag of the last code look-up (Button27Click, Button94Click).
inline constexpr FlagCell StockFound{{3, 4864}, true};
// Heading of the current stock (start-up, look-up, picker, collection show step).
inline constexpr TextCell Heading{{4, 4864}};
// Thinned chart points minus 1, over 2000 plotted days (Button14Click).
inline constexpr IntCell ThinnedPoints{{5, 4864}};
// Trades closed by the walk (Backtest::Walk).
inline constexpr IntCell TradesClosed{{6, 4864}, 0};
// Term mode "0"/"1": which set the next term switch computes (Button79Click, overlays).
inline constexpr IntCell TermMode{{11, 4864}};
// Last quote page fetched, 0..76 (Collection::fetchPages).
inline constexpr IntCell LastPage{{14, 4864}};
// "1" when the rows were shifted for a price added by hand (Button34Click, navigation).
inline constexpr FlagCell ManualPriceEntered{{16, 4864}};

// --- Other tables ---
// StatsTable: condition label of the backtest (rule buttons, Button47Click, Button51Click).
inline constexpr TextCell Condition{{13, 3}, "S1"};
// CacheTable: cache column found for the code being collected, "0" for none (Button116Click).
inline constexpr IntCell CacheColumnFound{{0, 0}, 0};

}  // namespace tavrine::ctl
