// The memo panel, its file, and printing the chart.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {


class MemoPanel {
 public:
  explicit MemoPanel(State& ws) : ws_(ws) {}

  void Button36Click();
  void Button18Click();
  void Button58Click();
  void Button59Click();

 private:
  State& ws_;
};

}  // namespace tavrine
