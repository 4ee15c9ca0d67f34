// Adding collected stocks to the stock list, saving it and the code list; the mode-dependent entry buttons.
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

  void Button104Click();
  void Button105Click();
  void Button107Click();
  void Button109Click();
  void BitBtn1Click();
  void Button17Click();
  void Edit1DblClick();
  void Label2DblClick();

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
