// Lower-line overlays, term modes and the selection from StockPicker.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Overlays {
 public:
  explicit Overlays(Workspace& ws) : ws_(ws) {}

  void Button79Click();
  void Button13Click();
  void Button82Click();
  void Button80Click();
  void Button85Click();
  void Button81Click();
  void Button33Click();
  void Button103Click();
  void StringGrid5MouseUp(int c, int r);
  void Button19Click();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
