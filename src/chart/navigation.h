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

  // '次日' (Button61): moves ctl::WindowStart Edit10 days newer (never past the newest day) and
  // redraws the day view (Button63Click).
  void Button61Click();
  // '前日' (Button62): moves ctl::WindowStart Edit10 days older and redraws the day view
  // (Button63Click).
  void Button62Click();
  // Hidden; the day view, by Button61Click/Button62Click: chart cleared, 300 days from CalcTable
  // after ctl::WindowStart (lower lines by ctl::OscillatorState, Button81 "S/O" unless 0);
  // Edit2/Edit6 date, close.
  void Button63Click();
  // '過去日' (Button25; Enter in Edit2): finds Edit2's date in CalcTable column 0 (else the next
  // trading day, through Button26Click), sets ctl::WindowStart, ctl::DateInView and Edit2, then
  // re-windows.
  void Button25Click();
  // Hidden; second pass of the Button25Click jump: searches again for the trading day now in Edit2,
  // or re-windows where the window stands.
  void Button26Click();
  // Enter in the date box Edit2: runs Button25Click.
  void Edit2KeyPress(int key);
  // Click on '基準日' (Label1; also Button35Click): back to the newest day (ctl::WindowStart "0",
  // Edit2 and ctl::DateInView the newest date, ctl::ManualPriceEntered "0"), then re-windows.
  void Label1Click();
  // Double-click on Edit2: puts the date of SeriesTable row 1, the window's newest day, into it.
  void Edit2DblClick();
  // A press on the chart (chart1): the date of the point hit on a pickable line goes into Edit2.
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
