// The list of today's new signals as the window's "本日の信号" shows it and
// saves it: one row per stock and rule whose sign turned to + or - on the
// stock's newest priced day, judged honestly (signals/today.h).
#pragma once

#include <string>
#include <vector>

#include "signals/today.h"

namespace tavrine {

struct TodayListRow {
  int column = 0;          // StockList column
  std::string code;        // first four characters of the heading
  std::string name;        // the rest of the heading, leading blanks dropped
  int tag = 0;             // the rule button's tag (0 .. kRuleCount - 1)
  bool shortTerm = false;  // judged with the short-term set (G3 .. ST only)
  std::string rule;        // "S1", "G3長", "ST短": as the statistics name the condition
  bool buy = false;        // the new sign is +; false: it is -
  std::string date;        // the newest priced day
  long long close = 0;     // its close in whole yen
};

// The rows of the two rule sets' signals: S1 .. S3 once (they do not depend
// on the term set; taken from the long-term rows), G3 .. ST for the long-
// and the short-term set. Only signals new today whose sign is + or -; a
// change to 0 is no signal to act on. In the list's first order.
std::vector<TodayListRow> TodayListRows(const std::vector<TodayRow>& longTerm,
                                        const std::vector<TodayRow>& shortTerm);

// The list's columns, in the order of TodayColumnHeadings().
enum TodayColumn { kTodayCode, kTodayName, kTodayRule, kTodaySide, kTodayDate, kTodayClose };
const std::vector<std::string>& TodayColumnHeadings();
// Cells of one row, in the order of TodayColumnHeadings().
std::vector<std::string> TodayRowCells(const TodayListRow& row);

// The one order of the list, for the window's column sort and the CSV:
// stable by one column (the close as a number, the rule by its tag and then
// long before short, texts as texts), then code, rule and term ascending.
void SortTodayRows(std::vector<TodayListRow>& rows, int column, bool descending);
// The first order: by code, then rule.
inline void SortTodayRows(std::vector<TodayListRow>& rows) {
  SortTodayRows(rows, kTodayCode, false);
}

// The heading line, then one line per row in the order given.
std::vector<std::string> TodayCsvLines(const std::vector<TodayListRow>& rows);
// Writes those lines as every file of the program is written (Shift-JIS).
void SaveTodayCsv(const std::vector<TodayListRow>& rows, const std::string& path);

}  // namespace tavrine
