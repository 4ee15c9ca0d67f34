// Adding a collected stock to the stock list, saving it and the code list; the collection panel's
// button '株価収集' (BitBtn1).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/text.h"
#include "web/collection.h"

#include "store/state.h"

namespace tavrine {

class Collection;

// The stock list was saved but the code list of the collection tool was not.
struct CodeListError : FileError {
  using FileError::FileError;
};

class Maintenance {
 public:
  Maintenance(State& ws, Collection& collection) : ws_(ws), collection_(collection) {}

  // '銘柄追加更新' (Button104, shown after a collection): the armed series into StockList in code
  // order (ctl::LastStockColumn), column 199 emptied, list and code.txt saved (Button105Click,
  // Button109Click).
  void Button104Click();
  // Hidden; by Button104Click: StockList saved to デ-タ一覧.csv, then code.txt (Button107Click),
  // message.
  void Button105Click();
  // Hidden; by Button105Click: listwerk/kabuka/code.txt from the codes of columns 1 ..
  // ctl::LastStockColumn+1.
  void Button107Click();
  // Hidden; by Button104Click: code.txt again from every stock column of the list, with a message.
  void Button109Click();
  // '株価収集' (BitBtn1): opens the collection panel Panel14 with Panel4 (StringGrid7 too with a
  // candidate list) or closes Panel14 and StringGrid7; Edit5 hidden; stand-alone ('tavrineⅠ') only
  // a message.
  void BitBtn1Click();

 private:
  // Steps of Button104Click that place the collected series in the list and
  // empty the scratch column; false when the list is full (nothing changed).
  bool Place(const Collection::Collected& got, const std::string& k);
  // Writes code.txt; a failure is a CodeListError.
  void WriteCodeList(const std::string& text);

  State& ws_;
  Collection& collection_;
};

}  // namespace tavrine
