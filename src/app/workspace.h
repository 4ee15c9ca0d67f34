// Everything one run of the program holds: the work tables, the Form, the
// chart model, the platform and the handlers of every subsystem. Control
// events are dispatched here by component name.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/selection.h"
#include "app/startup.h"
#include "app/stock_money.h"
#include "app/stock_picker.h"
#include "chain/chains.h"
#include "chart/chart_view.h"
#include "chart/manual_entry.h"
#include "chart/navigation.h"
#include "series/series.h"
#include "signals/backtest.h"
#include "signals/overlays.h"
#include "signals/rules.h"
#include "store/form.h"
#include "store/platform.h"
#include "store/state.h"
#include "store/work_table.h"
#include "views/candidates.h"
#include "views/help.h"
#include "views/memo.h"
#include "web/calendar.h"
#include "web/collection.h"
#include "web/maintenance.h"

namespace tavrine {

// A user action on a control, as the window or the script driver sees it.
struct Event {
  enum Kind { Click, DblClick, KeyPress, Change, MouseUp, MouseDown };
  Kind kind = Click;
  int key = 0;                                    // KeyPress: character code
  int col = -1, row = -1;                         // MouseUp over a grid: the cell, -1 -1 for none
  std::vector<std::pair<std::string, int>> hits;  // MouseDown on the chart
};

// The status line's note for an action refused while a handler waits for a
// page.
inline constexpr const char* kBusyStatus = "株価の受信中です。終わってから操作して下さい。";

class Workspace : public State {
 public:
  explicit Workspace(Platform& platform);
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // The subsystems, lowest layer first; each gets the state and the
  // subsystems below it that it calls.
  Series series{*this};
  ChartView chartView{*this};
  Navigation navigation{*this};
  ManualEntry manualEntry{*this, navigation, chartView};
  Backtest backtest{*this};
  Rules rules{*this, backtest};
  Overlays overlays{*this, series, rules, backtest, chartView};
  Chains chains{*this, series, chartView, navigation, manualEntry, rules, backtest, overlays};
  Collection collection{*this, chains, overlays, chartView, backtest};
  Calendar calendar{*this};
  Maintenance maintenance{*this, collection};
  MemoPanel memo{*this};
  Candidates candidates{*this, collection};
  Help help{*this};
  Startup startup{*this};
  Selection selection{*this};
  StockPickerPanel picker{*this, collection};

  // The per-stock cost model of 実売買 (the driver's costs); not set, the
  // backtest has no money.
  CostModel costModel;
  // The current stock's days for its money, kept between rule presses.
  StockDaysCache stockDays;

  // Runs the handler wired to a control event. Conversion and file errors end
  // the chain here and are shown through the platform. Returns false when the
  // control has no handler for the event (nothing happens then).
  bool dispatch(const std::string& control, const Event& ev);
  // True while a dispatched handler runs.
  bool busy() const { return depth_ > 0; }
  // busy(), with the status line's note: a whole run (import, update, a
  // list edit) is refused then and reads nothing.
  bool refusedBusy();
  // The same for a run with a summary: its busy flag says it was refused.
  template <class Summary>
  bool refusedBusy(Summary& s) {
    s.busy = refusedBusy();
    return s.busy;
  }
  // Sees every event dispatched, before its handler (if any) runs; the
  // window's tests watch the events a step sends through it.
  std::function<void(const std::string& control, const Event& ev)> onDispatch;
  // Errors reported by dispatched handlers so far.
  int errorCount() const { return errors_; }

  // Text of a box changed as typing would change it: the text is set and the
  // change event runs.
  void typeText(const std::string& control, const std::string& text);

  // Charts the stock of code as typing it into Edit1 and pressing Enter
  // does (stand-alone, Enter collects it instead). True when no error was
  // reported and Edit1 still holds the code: the list held it.
  bool selectCode(const std::string& code);
  // True while there is nothing to chart: no stock in the list and no price
  // line on the chart (a first start).
  bool nothingToChart() const;

  // Switches the way of judging. A stock on the chart is judged anew as the
  // user left it: selected again by its code, the short-term set when it was
  // current, and the chosen rule run again. Nothing else happens while a
  // handler waits for a page.
  void setJudging(Judging j);

 private:
  using Handler = std::function<void(const std::string& sender, const Event& ev)>;
  void wire();
  void on(const std::string& control, Event::Kind kind, Handler h);

  std::map<std::pair<std::string, int>, Handler> handlers_;
  int depth_ = 0;
  int errors_ = 0;
};

// Runs a handler body and reports its conversion or file error the standard
// way; true when it reported one.
bool RunGuarded(Platform& platform, const std::function<void()>& body);

}  // namespace tavrine
