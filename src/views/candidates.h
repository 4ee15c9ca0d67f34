// Candidate list and portfolio views of the sibling tools.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {

class Collection;


class Candidates {
 public:
  Candidates(State& ws, Collection& collection) : ws_(ws), collection_(collection) {}

  void Button110Click();
  void Button111Click();
  void Button87Click();
  void Button120Click();
  void StringGrid7MouseUp(int c, int r);

 private:
  // Scratch column := the candidate row r (prices from column 2 on).
  void fillScratchFromRow(int r);
  // Shows the scratch column, or says the history is too short.
  void showScratchOrComplain();
  // The panels after a candidate is shown: the picker and collection panels
  // close, the heading and memo show, Edit1 holds the candidate's code.
  void showCandidate();

  State& ws_;
  Collection& collection_;
};

}  // namespace tavrine
