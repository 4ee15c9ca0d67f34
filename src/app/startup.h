// Start-up and stock-list loading: the chain that brings the program from launch to the first drawn
// chart.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Startup {
 public:
  explicit Startup(Workspace& ws) : ws_(ws) {}

  // Fired once by the window as it is created (and by scripts): window set-up (Button102Click),
  // then the start-up proper (Button5Click).
  void Button52Click();
  // Hidden; by Button52Click: the main window TForm1 sized, maximised and enabled.
  void Button102Click();
  // Hidden; the start-up, by Button52Click: stock list, calendar, start values, memo, mode; then
  // the stock of column 4 charted (selection chain, picker, '中期' draw, S1 run), or stand-alone
  // collects the remembered code. In a data folder with neither a list nor a calendar (a first
  // start) it ends quietly after the first progress text; a missing list is the file error only
  // where a calendar shows there was one.
  void Button5Click();
  // By Button5Click: デ-タ一覧.csv into StockList (200 columns), progress in the splash window.
  void LoadStockList();
  // Hidden; by Button5Click: the quoted-blank cells of StockList emptied (ClearQuotedBlanks).
  void Button53Click();
  // Hidden; by Button5Click: the stock picker StockPicker filled with the StockList headings, six a
  // row.
  void Button54Click();
  // Hidden; by Button5Click: stand-alone mode when StockList[1,4] is empty or
  // pullbox.exe/listwerk.exe is missing: Button17 '銘柄収集', BitBtn1 'tavrineⅠ'.
  void Button123Click();

  // The mode Button123Click decides: full when StockList[1,4] holds
  // something and either both sibling tools are installed or the list is
  // kept by importing price files (tavrine.ini); stand-alone otherwise.
  bool FullMode() const;

  // The start values of the control cells that do not depend on the list:
  // window start, counters, rule, direction, cache slot, chart span, flags.
  // Also used by the rule scan before each stock.
  void WriteStartValues();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
