// Trade simulation over the history and its statistics in StatsTable.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Backtest {
 public:
  explicit Backtest(Workspace& ws) : ws_(ws) {}

  void Button51Click();
  void Button41Click();
  void Button48Click();
  void MaskEdit1Change();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
