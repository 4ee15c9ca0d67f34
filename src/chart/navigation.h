// Date navigation, the day view and picking a date on the chart.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {


class Navigation {
 public:
  explicit Navigation(State& ws) : ws_(ws) {}

  void Button61Click();
  void Button62Click();
  void Button63Click();
  void Button25Click();
  void Button26Click();
  void Edit2KeyPress(int key);
  void Label1Click();
  void Edit2DblClick();
  void chart1MouseDown(const std::vector<std::pair<std::string, int>>& hits);

  // The chart lines a press on the chart tests, in the order tested (a later
  // line wins): the window hit-tests these and no others.
  static const std::vector<int>& PickableLines();

  // The re-window chain (Button20Click), wired by the chains above the chart.
  std::function<void()> onRewindow;
  // Places the trade markers on the day view's rows; called after its price
  // line is filled. Wired by the chains above the chart.
  std::function<void()> onPriceLine;

  // How many times navigation has handed the window to the re-window chain.
  int rewindowCount() const { return rewindows_; }

 private:
  // One search of the date box through CalcTable column 0.
  void JumpPass();
  // The re-window chain at the current window start.
  void Rewindow();

  State& ws_;
  int jumpPasses_ = 0;  // passes of the running jump
  int rewindows_ = 0;
};

}  // namespace tavrine
