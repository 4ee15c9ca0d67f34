// The trading-day calendar, refreshed from the quote site at start-up.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "web/http_client.h"

#include "store/state.h"

namespace tavrine {


class Calendar {
 public:
  explicit Calendar(State& ws) : ws_(ws), http_(ws.platform, [&ws](const std::string& t) { ws.setStatus(t); }) {}

  void Button112Click();
  void Button113Click();
  void Button117Click();

 private:
  // Load, probe the last 81 days, merge; throws what the steps throw.
  void Probe();

  State& ws_;
  HttpClient http_;
};

}  // namespace tavrine
