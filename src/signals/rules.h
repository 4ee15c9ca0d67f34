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

  // Term-dependent rule columns. The long-term pass of the 200-day average
  // runs LongTermG (G4, G6, G5, G3, G7), the long deviation overlay, then
  // LongTermKairi; the term switch runs the short-term ones.
  void LongTermG();
  void LongTermKairi();
  void ShortTermG();
  void ShortTermKairi();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
