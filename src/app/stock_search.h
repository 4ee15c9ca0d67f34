// Finding a stock by what the user remembers of it: a code prefix ("72") or
// any part of its name ("トヨ", "電機"), over the headings of the stock list.
// Text is folded before it is compared, so full-width and half-width forms,
// hiragana and katakana and upper and lower case letters match alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/work_table.h"

namespace tavrine {

// One stock a search proposes: its column and its heading's code and name as
// the list holds them (the code is what the look-up by code compares).
struct StockMatch {
  int column = 0;
  std::string code;
  std::string name;
};

// The text in the form searches compare: full-width ASCII and the full-width
// space become ASCII, half-width katakana become full-width (a following
// voiced or semi-voiced mark joins its kana: ｶﾞ is ガ), hiragana become
// katakana, A-Z become a-z. Everything else is kept.
std::string FoldForSearch(std::string_view utf8);

// The stocks of the list proper (columns 1..197 with a heading) whose code
// starts with the query, whose name contains it, or whose whole heading
// starts with it, in column order. A query that is blank after folding
// proposes nothing.
std::vector<StockMatch> FindStocks(const WorkTable& stockList, std::string_view query);

}  // namespace tavrine
