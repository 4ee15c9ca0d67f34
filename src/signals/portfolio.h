// The portfolio backtest (資金管理検証): the honest trades of one rule over
// many stocks replayed with one shared capital and at most N positions at a
// time. Pure: the caller gives each stock's days, prices and orders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "signals/money.h"

namespace tavrine::portfolio {

// One trade of a stock as orders: the first day (DaysFromCivil) its entry
// may fill on, the day after the signal, and the same for its exit (none:
// still open on the newest day).
struct Order {
  int entryFrom = 0;
  std::optional<int> exitFrom;
};

struct Stock {
  std::string code;
  std::vector<money::MoneyDay> days;  // oldest first
  // 売買代金 on each of days (same length, or empty): none for a day without
  // a volume.
  std::vector<std::optional<long double>> turnover;
  std::vector<Order> orders;  // oldest first, one after another
};

enum class Priority : std::uint8_t { Turnover, Code };

struct Options {
  long long capital = 3000000;
  int positions = 5;     // at most this many held at once
  bool entryBuy = true;  // false: every trade sells first
  Priority priority = Priority::Turnover;
  CostModel costs;  // commission, slippage, tax, borrow and the fill; its capital is not read
};

struct Trade {
  int stock = 0;  // index into the given stocks
  int entryDay = 0;
  std::optional<int> exitDay;  // none: open on the last day
  long long shares = 0;
  long double entryPrice = 0, exitPrice = 0;  // after slippage; exit: last close when open
  long long cost = 0;                         // both fees and borrow (so far when open)
  long double pnl = 0;                        // after cost, before tax
};

struct EquityDay {
  int day = 0;
  long double value = 0;  // cash plus positions at the close, after the tax of the day
  long double hold = 0;   // the equal-weight buy-and-hold
  bool held = false;      // a position was open at the close
};

struct Result {
  std::vector<Trade> trades;  // in entry order
  std::vector<EquityDay> equity;
  long long costs = 0;  // every fee and borrow paid or due
  long long tax = 0;
  int skipped = 0;  // entries left out for want of a slot or of cash
};

// Every day of any stock, oldest first. Each day, exits fill first, then
// the entries whose day has come, best priority first; an entry that finds
// no free slot or money for one lot is dropped with its exit. An entry
// gets min(cash, the previous day's equity / slots). A buy waits out a day
// at the upper limit, a sell one at the lower limit, as does a stock
// without that day; an entry still waiting when its exit's day comes is
// dropped.
Result Run(const std::vector<Stock>& stocks, const Options& options);

}  // namespace tavrine::portfolio
