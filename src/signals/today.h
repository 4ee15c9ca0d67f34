// Today's signals: every stock of the list judged honestly (signals/honest.h)
// on its newest priced day, whatever way of judging the window uses.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "signals/rules.h"
#include "store/calc_columns.h"

namespace tavrine {

class WorkTable;

// The rules in the order the signal list gives them (tag order), as
// CalcTable columns.
inline constexpr std::array<int, kRuleCount> kTodayRuleColumns = [] {
  std::array<int, kRuleCount> c{};
  for (int tag = 0; tag < kRuleCount; ++tag) c[static_cast<std::size_t>(tag)] = kRules[tag].number;
  return c;
}();

struct TodaySignal {
  bool known = false;  // the rule has a value on the newest priced day
  long long sign = 0;  // -1, 0 or 1 on that day
  bool isNew = false;  // the sign differs from the priced day before
};

struct TodayRow {
  int column = 0;                               // StockList column
  std::string heading;                          // the stock's heading
  std::string date;                             // the newest priced day ("" when unreadable)
  long long close = 0;                          // its close in whole yen
  std::array<TodaySignal, kRuleCount> rules{};  // in kTodayRuleColumns order
};

// Every stock column 1..197 with a heading, in column order, for the long-
// or short-term rule set. A stock whose closes cannot be read has no known
// signal. The list is only read.
std::vector<TodayRow> TodaySignals(const WorkTable& stockList, bool longTerm);

// The fields of a row, one a rule, as the driver's signal list gives them: per rule
// "+", "-" or "0" with "*" appended when new today, "." when unknown.
std::array<std::string, kRuleCount> TodayFields(const TodayRow& row);

}  // namespace tavrine
