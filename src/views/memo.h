// The memo panel Panel7 over the chart's lower left corner: the user's notes, kept in Fname.txt
// in the data folder, loaded at start-up, saved on request, shown or hidden.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {

class MemoPanel {
 public:
  explicit MemoPanel(State& ws) : ws_(ws) {}

  // Hidden; by the start-up (Button5Click): loads Fname.txt into the memo Memo3 (empty without the
  // file).
  void Button36Click();
  // '保　　存' (Button18) on the memo panel: writes Memo3 to Fname.txt.
  void Button18Click();
  // 'メモ' (Button58): shows or hides the memo panel Panel7; ctl::MemoShown follows.
  void Button58Click();

 private:
  State& ws_;
};

}  // namespace tavrine
