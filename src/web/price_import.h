// Importing daily-price files into the stock list. Each file's closes become
// one stock's column, placed as the stock-list update places a collected
// stock (code order, in place for a code already there, 197 stocks at most)
// on the list's own trading days. The list, the calendar hizuke.csv and the
// list editor's code.txt are written once, after the last file.
#pragma once

#include <string>
#include <vector>

#include "store/state.h"

namespace tavrine {

// One file to import. A code or name given here overrides the file's own
// (taken from the file name and the title line); a file that names no code
// needs one given.
struct ImportFile {
  std::string path;
  std::string code;
  std::string name;
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
  int dropped = 0;  // oldest list days pushed past 4860 rows by newer ones
  std::vector<ImportRefusal> refused;
  std::vector<std::string> errors;  // saves that failed
  std::string lastCode;             // code of the last stock taken, empty when none
  bool busy = false;                // refused as a whole: a handler waits for a page

  bool imported() const { return added + updated > 0; }
  // "取込完了: 追加 1銘柄、更新 0銘柄、補完 3日、除外 2日", or that nothing was taken.
  std::string Headline() const;
  // The headline, then one line per refused file and per failed save (CR-separated).
  std::string Text() const;
};

class PriceImport {
 public:
  explicit PriceImport(State& ws) : ws_(ws) {}

  // Imports the files in order. A refused file changes nothing; the others
  // still go in. When at least one was taken: the list is saved (a failed
  // save leaves tables and files as they were and takes nothing), then
  // DateTable takes the list's dates and is saved as hizuke.csv, code.txt is
  // rewritten where RootPath("listwerk/kabuka") exists, and tavrine.ini
  // records that the list is kept by importing.
  ImportSummary Run(const std::vector<ImportFile>& files);

 private:
  State& ws_;
};

}  // namespace tavrine
