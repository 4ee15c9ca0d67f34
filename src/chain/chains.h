// The handler chains that cross subsystems, in one place: the extraction
// with its indicator passes and long-term rule columns (Button3Click), the
// re-window (Button20Click), the code look-up (Button27Click), the named
// selection chain every way of making a stock current runs, and the stock
// picker's selection (StringGrid5MouseUp, Button19Click). The subsystems
// below call only their own handlers and those of the layers beneath them;
// where one needs a chain from here it gets a hook wired by this class.
#pragma once

#include <string>

#include "store/state.h"

namespace tavrine {

class Series;
class ChartView;
class Navigation;
class ManualEntry;
class Rules;
class Backtest;
class Overlays;

// The variants of the selection chain that really differ.
struct SelectionChainOptions {
  // After the extraction the term mode goes back to "0" and the deviation
  // button to "S2": the start-up, the stock picker and the rule scan start
  // the stock's lower lines afresh. A selection by code and the collection's
  // show step keep the term mode the extraction's long pass leaves ("1").
  bool resetTerm = false;
  // The start-up's splash progress texts between the steps.
  bool progress = false;
};

class Chains {
 public:
  Chains(State& ws, Series& series, ChartView& chartView, Navigation& navigation,
         ManualEntry& manualEntry, Rules& rules, Backtest& backtest, Overlays& overlays);

  // Extraction of the current stock column into CalcTable (Series::Extract),
  // then the stochastics, the 25-, 75- and 200-day passes as far as the
  // series reaches (the 200-day pass with the long-term rule columns,
  // Overlays::Button30Click), then S5 and the close deviation.
  void Button3Click();
  // Re-window at the current window start: clear SeriesTable rows, window
  // copy, zero fill, trend-line zeros, redraw.
  void Button20Click();
  // Judged honestly, after a price added by hand: the series the window
  // shows (the days added by hand above the stored days) judged afresh, the
  // lower lines of the added days, and the backtest over it.
  void ManualDayJudged();
  // Looks Edit1 up among the stock headings: stock-found flag
  // SeriesTable[3,4864], stock column [4,4862] and heading [4,4864].
  void Button27Click();

  // Extraction (Button3Click), zero fill (Button9Click), window copy
  // (Button21Click), priced rows (Button24Click), window zero fill
  // (Button12Click). What follows (redraw, rule) is the caller's.
  void SelectionChain(const SelectionChainOptions& options);

  // A click in the stock picker: the heading's code into Edit1, then
  // Button19Click; the picker closes.
  void StringGrid5MouseUp(int c, int r);
  // The picker's selection: look-up, date mode "1", selection chain with the
  // term reset, trend-line zeros, fifth line, redraw, S1 default run.
  void Button19Click();

 private:
  State& ws_;
  Series& series_;
  ChartView& chartView_;
  Rules& rules_;
  Backtest& backtest_;
  Overlays& overlays_;
};

}  // namespace tavrine
