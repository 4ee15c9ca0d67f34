// Adding collected stocks to the stock list, saving it and the code list; the mode-dependent entry buttons.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Maintenance {
 public:
  explicit Maintenance(Workspace& ws) : ws_(ws) {}

  void Button104Click();
  void Button105Click();
  void Button107Click();
  void Button109Click();
  void BitBtn1Click();
  void Button17Click();
  void Edit1DblClick();
  void Label2DblClick();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
