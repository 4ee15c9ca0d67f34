// The control cells: fixed cells below the last series row of SeriesTable
// (rows 4862 .. 4864; row 4861 holds nothing), plus one cell each of
// StatsTable and CacheTable, through which the handlers pass state to each
// other. Each stays a text cell of its table; these names only say which.
// Read and write them with the table's CellRef overloads:
//   st.getInt(ctl::WindowStart), st.set(ctl::DateSource, "1").
// The start-up writes the start values (Startup::Button5Click and
// WriteStartValues); the writers named below change them afterwards.
#pragma once

#include "store/work_table.h"

namespace tavrine::ctl {

// --- SeriesTable row 4862 ---
// Last data row: the oldest CalcTable row counted as data of the current
// stock (extraction Button11Click/Series::Extract; the scratch column loses
// its 5 oldest rows).
inline constexpr CellRef LastDataRow{1, 4862};
// Rows of the chart window that hold a real price (Button21Click, Button24Click).
inline constexpr CellRef PricedRows{2, 4862};
// Days the chart plots: the span, or fewer under "巾" (Button14Click).
inline constexpr CellRef PlottedDays{3, 4862};
// StockList column of the current stock, 1..199 (start-up, Button27Click, Button94Click).
inline constexpr CellRef StockColumn{4, 4862};
// "1" while the stock button shows the picker Panel4 (Button17Click, picker click).
inline constexpr CellRef PickerShown{5, 4862};
// Position flag of the trade walk (Backtest::Walk).
inline constexpr CellRef PositionFlag{6, 4862};
// Rule number: the CalcTable column of the chosen rule (rule buttons, Button51Click).
inline constexpr CellRef RuleNumber{7, 4862};
// Oscillator selector state "0", "1", "3", "4" (Button81Click, deviation and term buttons).
inline constexpr CellRef OscillatorState{12, 4862};
// Last stock column of StockList, found before a stock is added (Button104Click).
inline constexpr CellRef LastStockColumn{16, 4862};
// Date source of CalcTable column 0: "0"/"3" DateTable, "1" StockList,
// "2" CandidateTable row 0 (start-up, collection, candidate and portfolio views, picker).
inline constexpr CellRef DateSource{17, 4862};
// New trading days found by the calendar probe (Calendar::Probe).
inline constexpr CellRef NewTradingDays{18, 4862};

// --- SeriesTable row 4863 ---
// Chart layout flag; "1" lets the oscillator selector choose the lower lines (start-up).
inline constexpr CellRef ChartLayout{1, 4863};
// First data row: the first CalcTable row holding a price (extraction).
inline constexpr CellRef FirstDataRow{2, 4863};
// Chart span in days "300", "800", "4800" (DrawChartClick).
inline constexpr CellRef ChartSpan{3, 4863};
// Window start: CalcTable rows skipped before SeriesTable row 1 (selection,
// navigation, picker, collection show step).
inline constexpr CellRef WindowStart{4, 4863};
// Price scale P: the rounded average close of the 25 rows after the first data row (extraction).
inline constexpr CellRef PriceScale{5, 4863};
// Trades opened by the walk (Backtest::Walk).
inline constexpr CellRef TradesOpened{6, 4863};
// Entry direction "1" buy, "0" sell (Button47Click).
inline constexpr CellRef EntryDirection{7, 4863};
// "1" while the memo panel Panel7 is shown (Button58Click).
inline constexpr CellRef MemoShown{9, 4863};
// Date in view, compared by the overlays to know when to recompute (term draw, navigation).
inline constexpr CellRef DateInView{10, 4863};
// Rule label "S1" .. "ST" (rule buttons, picker).
inline constexpr CellRef RuleLabel{12, 4863};
// "1" after a price was added by hand, empty once undone (Button34Click, Button35Click,
// Button17Click).
inline constexpr CellRef ManualEntryShown{16, 4863};
// Last used slot 0..19 of the quick-collection cache (Button116Click).
inline constexpr CellRef CacheSlot{17, 4863};

// --- SeriesTable row 4864 ---
// StockList rows the series code considers, "4860" (start-up).
inline constexpr CellRef RowsConsidered{1, 4864};
// Stock-found flag of the last code look-up (Button27Click, Button94Click).
inline constexpr CellRef StockFound{3, 4864};
// Heading of the current stock (start-up, look-up, picker, collection show step).
inline constexpr CellRef Heading{4, 4864};
// Thinned chart points minus 1, over 2000 plotted days (Button14Click).
inline constexpr CellRef ThinnedPoints{5, 4864};
// Trades closed by the walk (Backtest::Walk).
inline constexpr CellRef TradesClosed{6, 4864};
// Term mode "0"/"1": which set the next term switch computes (Button79Click, overlays).
inline constexpr CellRef TermMode{11, 4864};
// Last quote page fetched, 0..76 (Collection::fetchPages).
inline constexpr CellRef LastPage{14, 4864};
// "1" when the rows were shifted for a price added by hand (Button34Click, navigation).
inline constexpr CellRef ManualPriceEntered{16, 4864};

// --- Other tables ---
// StatsTable: condition label of the backtest (rule buttons, Button47Click, Button51Click).
inline constexpr CellRef Condition{13, 3};
// CacheTable: cache column found for the code being collected, "0" for none (Button116Click).
inline constexpr CellRef CacheColumnFound{0, 0};

}  // namespace tavrine::ctl
