// The memo panel, its file, and printing the chart.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class MemoPanel {
 public:
  explicit MemoPanel(Workspace& ws) : ws_(ws) {}

  void Button36Click();
  void Button18Click();
  void Button58Click();
  void Button59Click();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
