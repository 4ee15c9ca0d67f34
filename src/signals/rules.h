// The ten trading rules: rule buttons, entry direction, the rule panel and the explanation.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Rules {
 public:
  explicit Rules(Workspace& ws) : ws_(ws) {}

  void Button37Click(const std::string& sender);
  void Label5Click();
  void Button47Click();
  void Button78Click();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
