// Today's signals: every stock of the list judged honestly (signals/honest.h)
// on its newest priced day, whatever way of judging the window uses.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "store/calc_columns.h"

namespace tavrine {

class WorkTable;

// The ten rules in the order the signal list gives them, as CalcTable
// columns: S1 S2 S3 G3 G4 G5 G6 G7 乖離 ST.
inline constexpr std::array<int, 10> kTodayRuleColumns = {
    calc::kS1, calc::kS2, calc::kS3, calc::kG3,    calc::kG4,
    calc::kG5, calc::kG6, calc::kG7, calc::kKairi, calc::kST};

struct TodaySignal {
  bool known = false;  // the rule has a value on the newest priced day
  long long sign = 0;  // -1, 0 or 1 on that day
  bool isNew = false;  // the sign differs from the priced day before
};

struct TodayRow {
  int column = 0;                       // StockList column
  std::string heading;                  // the stock's heading
  std::string date;                     // the newest priced day ("" when unreadable)
  long long close = 0;                  // its close in whole yen
  std::array<TodaySignal, 10> rules{};  // in kTodayRuleColumns order
};

// Every stock column 1..197 with a heading, in column order, for the long-
// or short-term rule set. A stock whose closes cannot be read has no known
// signal. The list is only read.
std::vector<TodayRow> TodaySignals(const WorkTable& stockList, bool longTerm);

// The ten fields of a row as the driver's signal list gives them: per rule
// "+", "-" or "0" with "*" appended when new today, "." when unknown.
std::array<std::string, 10> TodayFields(const TodayRow& row);

}  // namespace tavrine
