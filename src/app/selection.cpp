#include "app/selection.h"

#include <algorithm>

#include "app/workspace.h"
#include "store/text.h"

namespace tavrine {

namespace {

constexpr const char* kFullModeCaption = "銘柄ボタン";
constexpr const char* kEmptyCodeMessage = "銘柄コ-ドを入れ直して下さい!";
constexpr const char* kUnknownCodeMessage = "銘柄コ-ドを入れ直して下さい!*";

// The code of a heading is its first four bytes. When the fourth byte is the
// first half of a double-byte character, those four bytes are not a whole
// text and no typed code can equal them.
bool CodeMatches(const std::string& code, const std::string& heading) {
  const std::string cut = LeftBytes(heading, 4);
  if (ByteLength(cut) != std::min<std::size_t>(4, ByteLength(heading))) return false;
  return cut == code;
}

}  // namespace

void Selection::Edit1KeyPress(int key) {
  if (key != 13) return;
  if (ws_.form.text("Button17") == kFullModeCaption) {
    Button6Click();
  } else {
    // Stand-alone: the code goes to the web collection.
    ws_.form.setText("Edit18", ws_.form.text("Edit1"));
    ws_.collection.Button89Click();
  }
}

void Selection::Edit1Change() {}

void Selection::Button6Click() {
  WaitCursor wait(ws_.platform);
  if (!ws_.form.text("Edit1").empty())
    Button7Click("Edit1");
  else
    ws_.platform.message(kEmptyCodeMessage);
}

void Selection::Button7Click(const std::string& sender) {
  auto& st = ws_.SeriesTable;
  SuspendRedraw redraw(ws_.StockPicker);
  WaitCursor wait(ws_.platform);
  Button27Click();
  if (st.getInt(3, 4864) == 1) {
    ws_.form.setVisible("Panel4", false);
    ws_.form.setText("Edit2", ws_.StockList.cell(0, 1));
    st.set(4, 4863, "0");
    ws_.series.Button3Click();
    ws_.series.Button9Click();
    ws_.series.Button21Click();
    ws_.series.Button24Click();
    ws_.series.Button12Click();
    ws_.chartView.DrawChartClick(sender);
    ws_.rules.Button37Click(sender);
  } else {
    ws_.form.setText("Edit1", "");
    ws_.platform.message(kUnknownCodeMessage);
  }
}

void Selection::Button27Click() {
  auto& st = ws_.SeriesTable;
  st.set(3, 4864, "0");
  const std::string code = ws_.form.text("Edit1");
  // Every column is compared: with a code given twice the last column wins.
  for (int c = 1; c <= 200; ++c) {
    const std::string& heading = ws_.StockList.cell(c, 0);
    if (CodeMatches(code, heading)) {
      st.setInt(4, 4862, c);
      st.set(3, 4864, "1");
      st.set(4, 4864, heading);
    }
  }
}

}  // namespace tavrine
