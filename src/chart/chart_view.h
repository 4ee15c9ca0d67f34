// The chart in its three terms: term draw, redraw and its three steps, width toggle.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {


class ChartView {
 public:
  explicit ChartView(State& ws) : ws_(ws) {}

  void DrawChartClick(const std::string& sender);
  void Button8Click();
  void Button14Click();
  void Button15Click();
  void Button23Click();
  void Button118Click();

  // The "売買" toggle: shows or hides the trade markers.
  void Button130Click();

  // Days of the term a control's tag chooses: 1 short, 2 long, else middle.
  static int SpanForTag(int tag);

  // Places the trade markers on the rows just shown; called after the price
  // line is filled. Wired by the chains above the chart (the markers come
  // from the backtest).
  std::function<void()> onPriceLine;

 private:
  // SeriesTable column 11, the fifth lower line, from column 12 or 13.
  void PrepareFifthLine();
  // Row the price and lower lines start at.
  int FirstDrawnRow() const;
  // Points per line and row step for the plotted day count in [3,4862].
  void Sampling(int& n, int& step) const;

  State& ws_;
};

}  // namespace tavrine
