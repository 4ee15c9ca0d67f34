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
  ManualEntry(State& ws, Navigation& navigation, ChartView& chartView) : ws_(ws), navigation_(navigation), chartView_(chartView) {}

  void Button34Click();
  void Edit6KeyPress(int key);
  void Edit6Change();
  void Button35Click();

  // The newest deviation point of the overlays (Button103Click), wired by the
  // chains above the chart.
  std::function<void()> onNewestDeviation;

 private:
  State& ws_;
  Navigation& navigation_;
  ChartView& chartView_;
};

}  // namespace tavrine
