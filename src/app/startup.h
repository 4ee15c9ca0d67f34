// Start-up and stock-list loading: the chain that brings the program from launch to the first drawn chart.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Startup {
 public:
  explicit Startup(Workspace& ws) : ws_(ws) {}

  void Button52Click();
  void Button102Click();
  void Button5Click();
  void LoadStockList();
  void Button53Click();
  void Button54Click();
  void Button123Click();

  // The mode Button123Click decides: full when StockList[1,4] holds
  // something and either both sibling tools are installed or the list is
  // kept by importing price files (tavrine.ini); stand-alone otherwise.
  bool FullMode() const;

  // The start values of the control cells that do not depend on the list:
  // window start, counters, rule, direction, cache slot, chart span, flags.
  // Also used by the rule scan before each stock.
  void WriteStartValues();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
