// Candidate list and portfolio views of the sibling tools.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Candidates {
 public:
  explicit Candidates(Workspace& ws) : ws_(ws) {}

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

  Workspace& ws_;
};

}  // namespace tavrine
