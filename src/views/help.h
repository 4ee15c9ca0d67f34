// The help window: browser face with the manual pages, text face with an explanation.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {


class Help {
 public:
  explicit Help(State& ws) : ws_(ws) {}

  void Button88Click();
  void Button2Click();
  void Button1Click();
  void ShowText(const std::string& text);

 private:
  State& ws_;
};

}  // namespace tavrine
