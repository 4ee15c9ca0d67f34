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
  explicit Calendar(State& ws)
      : ws_(ws), http_(ws.platform, [&ws](const std::string& t) { ws.setStatus(t); }) {}

  // Hidden; by the start-up (Button5Click): refreshes DateTable: load (Button113Click), probe the
  // quote site for new trading days, merge (Button117Click); a failure only shows in the status
  // line.
  void Button112Click();
  // Hidden; by Button112Click: tavrine/hizuke.csv into DateTable, whose column 0 takes the
  // StockList dates instead when the list's newest date is newer.
  void Button113Click();
  // Hidden; by Button112Click: DateTable column 0 shifted down by ctl::NewTradingDays with the new
  // days (column 1) on top; hizuke.csv saved when more than 5 were found.
  void Button117Click();

 private:
  // Load, probe the last 81 days, merge; throws what the steps throw.
  void Probe();

  State& ws_;
  HttpClient http_;
};

}  // namespace tavrine
