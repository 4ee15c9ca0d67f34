// A closing price added by hand as the newest day of the chart.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class ManualEntry {
 public:
  explicit ManualEntry(Workspace& ws) : ws_(ws) {}

  void Button34Click();
  void Edit6KeyPress(int key);
  void Edit6Change();
  void Button35Click();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
