// The stock list while a change to it is built, shared by the import of price
// files and the update from the data service: the list's days, a copy of the
// list reshaped onto new days, the scaling of stored closes by a split
// ratio, and the one save at the end that writes the list, the calendar,
// code.txt and adjust.log together.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/state.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

// A change that cannot be made; the message says why (Japanese). Nothing
// was changed when it is thrown.
struct ListRefused {
  std::string message;
};

inline constexpr const char* kAdjustLog = "tavrine/adjust.log";
// A stock's cell on a day it has no price, as a loaded list holds it.
inline constexpr const char* kBlankCell = " ";

// Stored closes of one stock multiplied by num/den because newer prices
// showed a split (or a consolidation) that they did not carry: days from ..
// through.
struct ListAdjustment {
  std::string code;
  std::string file;  // where the ratio came from, as messages and adjust.log name it
  long long num = 1, den = 1;
  int from = 0, through = 0;  // DaysFromCivil
  // A factor that is no ratio of small whole numbers (a rights issue's
  // 0.9437...), as decimal text; empty when num/den says it.
  std::string factor;
  // 分割, 併合, 株主割当 or 調整; empty: 分割 or 併合 from num/den.
  std::string kind;

  // "1/2", or the factor.
  std::string RatioText() const;
  std::string Kind() const;
};

// The list's day rows 1 .. n, newest first. A date that does not read or is
// out of order throws ListRefused: placing prices by date needs them.
std::vector<int> ListDays(const WorkTable& list);

// A name fit for a heading: control characters as blanks, trimmed, cut to 80
// bytes as the list's tools measure them.
std::string CleanName(const std::string& name);
// "" when the list file can hold every character of the name; otherwise the
// reason, naming the first character it cannot hold (it would be saved as '?').
std::string NameRefusal(const std::string& name);

// The list being built: its table and its days (rows 1 .. n).
struct WorkingList {
  std::unique_ptr<WorkTable> table;
  std::vector<int> days;
  std::vector<int> cut;  // days of a list longer than kLastDayRow rows left behind
};

// The list's days once new ones are taken: the newer days on top (the oldest
// rows past kLastDayRow then drop off), then the list's own, then older days
// while the list has fewer than kLastDayRow rows. Without a list, the newest
// kLastDayRow days.
struct Axis {
  std::vector<int> days;
  int top = 0;   // new rows above the list's first
  int kept = 0;  // list rows kept, below them
};

// The axis for the list's days and the given days (newest first).
Axis NewAxis(const std::vector<int>& list, const std::vector<int>& given);

// Rebuilds the table on the new days: rows 1 .. top new, then the kept list
// rows, then new rows below. On new rows the date is written and every stock
// is blank. The scratch column 199 is no list column and stays as it is.
void Reshape(WorkingList& w, const Axis& a);

// The stock list file as it is on disk, read as the start-up reads it and
// cleaned of quoted blanks; a table without rows when there is no file.
// Throws FileError.
WorkTable StockListOnDisk();
// The headings of the stocks the list file holds past the list proper
// (columns 198 and 199), which a change that places stocks cannot keep.
std::vector<std::string> StocksPastList(const WorkTable& disk);
// The refusal of such a change while the file holds them, naming them and
// the way out; "" when it holds none.
std::string StocksPastListRefusal(const WorkTable& disk);

// The stock list a change starts from: the one in memory, or the file when
// the memory holds no days (the start-up could not load it), so a list on
// disk is never overwritten unread. A list file holding stocks past the list
// proper is refused (StocksPastListRefusal). Throws ListRefused.
WorkingList BaseList(const State& ws);

// A ratio of prices across a split or a consolidation: a 1:2 split halves
// the price (1/2), a 2:1 consolidation doubles it (2/1).
struct Ratio {
  long long num = 1, den = 1;
  bool one() const { return num == den; }
};

std::string RatioText(Ratio r);

// "WHO: 分割調整: 1/2, 2026/12/01 以前", the note a change leaves when it
// scaled a stock's stored closes by r up to through (a ratio above one is a
// consolidation, 併合調整); with a kind and a ratio's text, "WHO:
// 株主割当調整: 0.9437, 2026/12/01 以前".
std::string AdjustmentNote(const std::string& who, Ratio r, int through);
std::string AdjustmentNote(const std::string& who, const std::string& kind,
                           const std::string& ratio, int through);

// Inside a stock's range a day without a close takes the close of the day
// before it (the row below), so the series has no gap that would stop the
// extraction. Rows last down to the one after the stock's newest close are
// taken oldest first, each blank one from the row below once that holds a
// close, so a run of blank days takes the close before them; row last + 1 is
// only read. get(r) is row r's text, set(r, text) writes it. Returns how many
// rows were filled.
template <class Get, class Set>
int FillGaps(int last, const Get& get, const Set& set) {
  int newest = 1;
  while (newest <= last && IsBlank(get(newest))) ++newest;
  int filled = 0;
  for (int r = last; r > newest; --r)
    if (IsBlank(get(r)) && !IsBlank(get(r + 1))) {
      set(r, get(r + 1));
      ++filled;
    }
  return filled;
}

// The text of a stored close (text, value v) times r, in the list's form;
// throws ListRefused, starting with `shown`, when the result is no close the
// list can hold.
std::string Scaled(const std::string& text, long double v, Ratio r, int day,
                   const std::string& shown);

// What the one save at the end of a change reports.
struct ListSave {
  bool saved = false;               // the list file was written
  std::vector<std::string> errors;  // Japanese, one per file that failed
};

// Writes the change: the list as it was is backed up (action names the
// backup), the working list is saved (a failure leaves tables and files as
// they were and returns saved false), then it becomes ws.StockList, the
// current stock keeps its column, DateTable takes the list's dates and is
// saved as hizuke.csv, code.txt is rewritten where RootPath("listwerk/kabuka")
// exists, each adjustment is appended to adjust.log (the log written whole
// through a temporary file) and tavrine.ini records that this program keeps
// its list. Failures after the list are reported
// in errors.
ListSave SaveWorkingList(State& ws, const WorkingList& w, const std::string& action,
                         const std::vector<ListAdjustment>& adjustments);

}  // namespace tavrine
