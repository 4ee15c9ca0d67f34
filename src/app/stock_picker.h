// The stock button and the code box Edit1 as the installation mode makes them: in full mode the
// stock button shows or hides the stock picker Panel4; stand-alone ('銘柄収集') it collects the
// code typed into Edit1, which a double click empties and '銘柄コ-ド' keeps in memo.txt.
#pragma once

#include "store/state.h"

namespace tavrine {

class Collection;

class StockPickerPanel {
 public:
  StockPickerPanel(State& ws, Collection& collection) : ws_(ws), collection_(collection) {}

  // '銘柄ボタン' (Button17): shows or hides the stock picker Panel4 (ctl::PickerShown, Edit5,
  // Panel7, StringGrid7), ctl::ManualEntryShown emptied; stand-alone ('銘柄収集') collects Edit1's
  // code.
  void Button17Click();
  // Double-click on Edit1: empties it in stand-alone mode (Button17 '銘柄収集').
  void Edit1DblClick();
  // Double-click on '銘柄コ-ド' (Label2): Edit1's text into memo.txt, the code a stand-alone start
  // collects.
  void Label2DblClick();

 private:
  State& ws_;
  Collection& collection_;
};

}  // namespace tavrine
