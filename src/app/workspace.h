// Everything one run of the program holds: the work tables, the Form, the
// chart model, the platform and the handlers of every subsystem. Control
// events are dispatched here by component name.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/form.h"
#include "app/platform.h"
#include "app/selection.h"
#include "app/startup.h"
#include "chart/chart_model.h"
#include "chart/chart_view.h"
#include "chart/manual_entry.h"
#include "chart/memo.h"
#include "chart/navigation.h"
#include "series/series.h"
#include "signals/backtest.h"
#include "signals/overlays.h"
#include "signals/rules.h"
#include "store/work_table.h"
#include "views/candidates.h"
#include "views/help.h"
#include "web/calendar.h"
#include "web/collection.h"
#include "web/maintenance.h"

namespace tavrine {

// A user action on a control, as the window or the script driver sees it.
struct Event {
  enum Kind { Click, DblClick, KeyPress, Change, MouseUp, MouseDown };
  Kind kind = Click;
  int key = 0;            // KeyPress: character code
  int col = -1, row = -1; // MouseUp over a grid: the cell, -1 -1 for none
  std::vector<std::pair<std::string, int>> hits;  // MouseDown on the chart
};

class Workspace {
 public:
  explicit Workspace(Platform& platform);
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  Platform& platform;

  // The nine work tables.
  WorkTable StockList{"StockList", 200, 5000};        // StringGrid1
  WorkTable SeriesTable{"SeriesTable", 42, 4865};     // StringGrid2
  WorkTable CalcTable{"CalcTable", 42, 4865};         // StringGrid3
  WorkTable StatsTable{"StatsTable", 15, 2000};       // StringGrid4
  WorkTable StockPicker{"StockPicker", 7, 21};        // StringGrid5
  WorkTable WebRows{"WebRows", 7, 4860};              // StringGrid6
  WorkTable CandidateTable{"CandidateTable", 5, 5};   // StringGrid7
  WorkTable DateTable{"DateTable", 2, 4860};          // StringGrid8
  WorkTable CacheTable{"CacheTable", 21, 4865};       // StringGrid9

  Form form;
  ChartModel chart;

  Startup startup{*this};
  Selection selection{*this};
  Series series{*this};
  ChartView chartView{*this};
  Navigation navigation{*this};
  ManualEntry manualEntry{*this};
  MemoPanel memo{*this};
  Rules rules{*this};
  Backtest backtest{*this};
  Overlays overlays{*this};
  Collection collection{*this};
  Calendar calendar{*this};
  Maintenance maintenance{*this};
  Candidates candidates{*this};
  Help help{*this};

  // A table by its name (StockList ...) or component (StringGrid1 ...);
  // nullptr when there is none.
  WorkTable* table(const std::string& name);
  std::vector<WorkTable*> tables();

  // Runs the handler wired to a control event. Conversion and file errors end
  // the chain here and are shown through the platform. Returns false when the
  // control has no handler for the event (nothing happens then).
  bool dispatch(const std::string& control, const Event& ev);
  // True while a dispatched handler runs.
  bool busy() const { return depth_ > 0; }

  // Text of a box changed as typing would change it: the text is set and the
  // change event runs.
  void typeText(const std::string& control, const std::string& text);

  // The collection panel's status line.
  void setStatus(const std::string& text);
  // The splash window's progress line.
  void setProgress(const std::string& text);

 private:
  using Handler = std::function<void(const std::string& sender, const Event& ev)>;
  void wire();
  void on(const std::string& control, Event::Kind kind, Handler h);

  std::map<std::pair<std::string, int>, Handler> handlers_;
  int depth_ = 0;
};

// Runs a handler body and reports its conversion or file error the standard way.
void RunGuarded(Platform& platform, const std::function<void()>& body);

}  // namespace tavrine
