// The chart in its three terms: term draw, redraw and its three steps, width toggle, the trade
// markers' toggle and printing.
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

  // '長期'/'中期'/'短期' (Button2, DrawChart, Button4; also start-up and code selection):
  // ctl::ChartSpan from the sender's tag (4800/800/300), fifth line (SeriesTable column 11)
  // refilled, redraw (Button8Click).
  void DrawChartClick(const std::string& sender);
  // Hidden; the redraw most handlers end with: heading (ctl::Heading) into Edit5, price lines
  // (Button14Click), then the lower lines (Button15Click) when ctl::ChartLayout is "1".
  void Button8Click();
  // Hidden; by Button8Click: ctl::PlottedDays (fewer under '巾'), ctl::ThinnedPoints, zero axis
  // (Button23Click), Edit6/Edit2/ctl::DateInView from the first drawn row, then the close and
  // average lines of the chart.
  void Button14Click();
  // Hidden; by Button8Click and Button13Click: the chart's lower lines S1..S5 and jiku from the
  // SeriesTable columns ctl::OscillatorState picks (7.., 25.., 34.. or 36..).
  void Button15Click();
  // Hidden; by Button14Click: the chart's zero-axis line (Series1) from SeriesTable column 17; jiku
  // cleared.
  void Button23Click();
  // '巾'/'狭' (Button118): toggles the caption; under '巾' the redraw plots only the priced rows
  // (ctl::PricedRows) when they are fewer than the span.
  void Button118Click();

  // The "売買" toggle: shows or hides the trade markers.
  void Button130Click();
  // '印刷' (Button59): hides the memo panel Panel7 and prints the chart; a failure shows as a
  // message.
  void Button59Click();

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
