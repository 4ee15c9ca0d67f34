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

  // '候補閲覧' (Button110): candidate list shown (StringGrid7, Button111Click), ctl::DateSource
  // "2", row 1 into StockList column 199 and charted (Collection::Button94Click);
  // Panel4/Panel14/Button104 hidden, Edit1/Edit18.
  void Button110Click();
  // Hidden; by Button110Click: pickrow/pickrow.csv into CandidateTable (751 columns).
  void Button111Click();
  // 'ｔａｌｌｙ閲覧' (Button87): the tally list shown (StringGrid7, Button120Click),
  // ctl::DateSource "3".
  void Button87Click();
  // Hidden; by Button87Click: tavrine/tallysel.csv into CandidateTable (13 columns).
  void Button120Click();
  // A click in the candidate grid StringGrid7: candidates ("2") chart the row as Button110Click
  // does; tally
  // ("3") collects the clicked code (Collection::Button89Click), title cells give a message.
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
