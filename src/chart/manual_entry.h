// A closing price added by hand as the newest day of the chart.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {

class Navigation;
class ChartView;

class ManualEntry {
 public:
  ManualEntry(State& ws, Navigation& navigation, ChartView& chartView)
      : ws_(ws), navigation_(navigation), chartView_(chartView) {}

  // '追加' (Button34; Enter in Edit6): today with Edit6's close as SeriesTable row 1 (rows shifted
  // down when row 1 holds a price), its averages and trend-line points, ctl::ManualEntryShown, then
  // redraw.
  void Button34Click();
  // Enter in the price box Edit6: runs Button34Click.
  void Edit6KeyPress(int key);
  // Typing in Edit6: from then on the box takes digits only.
  void Edit6Change();
  // '戻る' (Button35): drops the price added by hand: newest day again (Label1Click),
  // ctl::ManualEntryShown emptied, Edit6 refilled from SeriesTable[1,2] when empty.
  void Button35Click();

  // The newest deviation point of the overlays (Button103Click), wired by the
  // chains above the chart.
  std::function<void()> onNewestDeviation;
  // Judged honestly, the rule columns, the lower lines of the new day and
  // the backtest of the series with the day added by hand, wired by the
  // chains above the chart; run before the redraw.
  std::function<void()> onNewDay;

 private:
  State& ws_;
  Navigation& navigation_;
  ChartView& chartView_;
};

}  // namespace tavrine
