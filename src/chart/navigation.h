// Date navigation, the day view and picking a date on the chart.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Navigation {
 public:
  explicit Navigation(Workspace& ws) : ws_(ws) {}

  void Button61Click();
  void Button62Click();
  void Button63Click();
  void Button25Click();
  void Button26Click();
  void Edit2KeyPress(int key);
  void Label1Click();
  void Edit2DblClick();
  void chart1MouseDown(const std::vector<std::pair<std::string, int>>& hits);

 private:
  Workspace& ws_;
};

}  // namespace tavrine
