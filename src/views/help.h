// The help window: browser face with the manual pages, text face with an explanation.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Help {
 public:
  explicit Help(Workspace& ws) : ws_(ws) {}

  void Button88Click();
  void Button2Click();
  void Button1Click();
  void ShowText(const std::string& text);

 private:
  Workspace& ws_;
};

}  // namespace tavrine
