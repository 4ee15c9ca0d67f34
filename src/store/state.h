// The state one run of the program shares between its handlers: the nine
// work tables, the Form, the chart model and the platform. Every subsystem
// reads and writes through it; none holds a series of its own between
// actions.
#pragma once

#include <string>
#include <vector>

#include "store/chart_model.h"
#include "store/form.h"
#include "store/platform.h"
#include "store/stock_list.h"
#include "store/work_table.h"

namespace tavrine {

// How the rules judge a day. Hindsight is the original computation, whose
// centred trend lines and price scale read closes after the day they judge;
// Honest reads none (signals/honest.h) and trades at the next day's close.
enum class Judging { Hindsight, Honest };

class State {
 public:
  explicit State(Platform& p) : platform(p) {}
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  Platform& platform;

  // The nine work tables.
  WorkTable StockList{"StockList", 200, 5000};                  // StringGrid1
  WorkTable SeriesTable{"SeriesTable", 42, 4865};               // StringGrid2
  WorkTable CalcTable{"CalcTable", 42, 4865};                   // StringGrid3
  WorkTable StatsTable{"StatsTable", 15, 2000};                 // StringGrid4
  WorkTable StockPicker{"StockPicker", 7, 21};                  // StringGrid5
  WorkTable WebRows{"WebRows", 7, stocklist::kLastDayRow};      // StringGrid6
  WorkTable CandidateTable{"CandidateTable", 5, 5};             // StringGrid7
  WorkTable DateTable{"DateTable", 2, stocklist::kLastDayRow};  // StringGrid8
  WorkTable CacheTable{"CacheTable", 21, 4865};                 // StringGrid9

  Form form;
  ChartModel chart;

  // The way of judging of the rule columns and the backtest.
  Judging judging = Judging::Hindsight;
  // The installation mode the start-up decided (Startup::Button123Click); an
  // import that takes a stock makes it full. Stand-alone collects a typed
  // code instead of charting it. Button17 and BitBtn1 show it in their
  // captions, which nothing reads back.
  bool standAlone = false;

  // A table by its name (StockList ...) or component (StringGrid1 ...);
  // nullptr when there is none.
  WorkTable* table(const std::string& name);
  std::vector<WorkTable*> tables();

  // The collection panel's status line (StatusBar1) and the splash window's
  // progress line (LabelProg), shown through the platform.
  void setStatus(const std::string& text);
  void setProgress(const std::string& text);
};

}  // namespace tavrine
