// The trading-day calendar, refreshed from the quote site at start-up.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "web/http_client.h"

namespace tavrine {

class Workspace;

class Calendar {
 public:
  explicit Calendar(Workspace& ws) : ws_(ws), http_(ws) {}

  void Button112Click();
  void Button113Click();
  void Button117Click();

 private:
  // Load, probe the last 81 days, merge; throws what the steps throw.
  void Probe();

  Workspace& ws_;
  HttpClient http_;
};

}  // namespace tavrine
