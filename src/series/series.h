// Extraction of the current stock into CalcTable, the chart window in SeriesTable, and the indicator passes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Series {
 public:
  explicit Series(Workspace& ws) : ws_(ws) {}

  void Button3Click();
  void Button22Click();
  void Button10Click();
  void Button11Click();
  void Button9Click();
  void Button21Click();
  void Button24Click();
  void Button12Click();
  void Button20Click();
  void Button31Click();
  void Button28Click();
  void Button30Click();
  void Button29Click();
  void Button84Click();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
