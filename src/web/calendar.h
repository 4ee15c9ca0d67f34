// The trading-day calendar, refreshed from the quote site at start-up.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Calendar {
 public:
  explicit Calendar(Workspace& ws) : ws_(ws) {}

  void Button112Click();
  void Button113Click();
  void Button117Click();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
