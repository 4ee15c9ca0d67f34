// Stock selection by the code typed into Edit1.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Selection {
 public:
  explicit Selection(Workspace& ws) : ws_(ws) {}

  void Edit1KeyPress(int key);
  void Edit1Change();
  void Button6Click();
  void Button7Click(const std::string& sender);

 private:
  Workspace& ws_;
};

}  // namespace tavrine
