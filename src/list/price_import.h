// Importing daily-price files into the stock list. Each file's closes become
// one stock's column, placed as the stock-list update places a collected
// stock (code order, in place for a code already there, 197 stocks at most)
// on the list's own trading days. The list, the calendar hizuke.csv and the
// list editor's code.txt are written once, after the last file.
//
// A file for a stock already in the list must agree with the closes stored
// on the days both hold. They agree when, from the oldest such day on, the
// file is the stored closes times one split ratio (1/2, 1/3, 2/3, 2, ...,
// within the rounding of both texts) and, from some day on, equal to them:
// the file carries a split the stored days do not. The stored days up to
// the last of the first part are then multiplied by the ratio, the summary
// says so and adjust.log records it. Any other difference refuses the file,
// naming the first day that differs. Without common days, a step at the
// seam that matches a split ratio within 2 % is only noted.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "list/list_work.h"
#include "store/state.h"

namespace tavrine {

struct PriceFile;

// One file to import. A code or name given here overrides the file's own
// (taken from the file name and the title line: StockName in price_file.h);
// a file that names no code needs one given, and so does one whose file
// name and title line name two different codes. A name given for a stock
// already in the list renames it; a file's own name names a new stock only.
struct ImportFile {
  std::string path;
  std::string code;
  std::string name;
  // Rows already read (a stock fetched from the data service) taken in place
  // of reading path, which then only names them in messages.
  std::shared_ptr<const PriceFile> rows;
};

// Stored closes of one stock multiplied by num/den because a file showed a
// split (or a consolidation) that they did not carry (list/list_work.h).
using ImportAdjustment = ListAdjustment;

// Days the summary names: how many, and which, as a range when there are
// more than a few.
struct ImportDays {
  int count = 0;
  int oldest = 0, newest = 0;  // DaysFromCivil; 0 while count is 0
  std::vector<int> days;       // each day while there are at most kNamed, oldest first

  static constexpr int kNamed = 3;
  void add(int day);
  // "2003/12/20", "2003/12/19、2003/12/20" or "1984/01/04〜1984/12/27".
  std::string Text() const;
};

// The days of one file that have no row in the list, by why.
struct ImportLeftOut {
  std::string file;        // the file's name as messages show it
  ImportDays pastLimit;    // older than the oldest of the list's kLastDayRow days
  ImportDays offCalendar;  // within the list's days, but not one of them
};

struct ImportRefusal {
  std::string path;
  std::string message;  // Japanese, names the file and, when one is at fault, the line
};

struct ImportSummary {
  int added = 0;    // stocks new to the list
  int updated = 0;  // stocks already in it
  int filled = 0;   // list days inside a stock's range given the previous day's close
  int leftOut = 0;  // imported days that have no row in the list
  int dropped = 0;  // oldest list days pushed past kLastDayRow rows by newer ones
  std::vector<ImportLeftOut> leftOutDays;  // which days were left out, per file
  ImportDays droppedDays;                  // which list days were dropped
  std::vector<ImportRefusal> refused;
  std::vector<ImportAdjustment> adjustments;  // each also a line of notes
  std::vector<std::string> notes;   // adjustments, renamed headings, seams that look like splits
  std::vector<std::string> errors;  // saves that failed
  std::string lastCode;             // code of the last stock taken, empty when none
  bool busy = false;                // refused as a whole: a handler waits for a page
  bool cancelled = false;           // stopped by the progress hook: nothing was written

  bool imported() const { return added + updated > 0; }
  // "取込完了: 追加 1銘柄、更新 0銘柄、補完 3日、除外 2日", or that nothing was taken.
  std::string Headline() const;
  // The headline, then what was dropped and left out (the days, and why),
  // then the notes (CR-separated): what the message box shows.
  std::string Message() const;
  // The message, then one line per refused file and per failed save (CR-separated).
  std::string Text() const;
};

// What a run asks of the program that started it; both may be empty.
struct ImportHooks {
  // Asked, with the file's name, for a file that names no code or whose file
  // name and title line name two. The answer is the code, optionally followed
  // by a blank and the stock's name ("6758 ソニー"); both count as given, a
  // name given beside the file's own (ImportFile::name) aside. An empty
  // answer leaves the file out, named in the summary.
  std::function<std::string(const std::string& shownName)> askCode;
  // Before each file: (files done, files in all, the file's name). False
  // stops the run: nothing is written and the summary says so.
  std::function<bool(int done, int total, const std::string& shownName)> progress;
};

class PriceImport {
 public:
  explicit PriceImport(State& ws) : ws_(ws) {}

  // Imports the files in order. A refused file changes nothing; the others
  // still go in. When at least one was taken: the list is saved (a failed
  // save leaves tables and files as they were and takes nothing), then
  // DateTable takes the list's dates and is saved as hizuke.csv, code.txt is
  // rewritten where RootPath("listwerk/kabuka") exists, tavrine.ini
  // records that the list is kept by importing, and each adjustment of
  // stored closes is appended to RootPath("tavrine/adjust.log").
  ImportSummary Run(const std::vector<ImportFile>& files, const ImportHooks& hooks = {});

 private:
  State& ws_;
};

}  // namespace tavrine
