// The chart in its three terms: term draw, redraw and its three steps, width toggle.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class ChartView {
 public:
  explicit ChartView(Workspace& ws) : ws_(ws) {}

  void DrawChartClick(const std::string& sender);
  void Button8Click();
  void Button14Click();
  void Button15Click();
  void Button23Click();
  void Button118Click();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
