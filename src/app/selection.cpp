#include "app/selection.h"

#include "app/workspace.h"
#include "store/control_cells.h"
#include "store/text.h"

namespace tavrine {

namespace {

constexpr const char* kEmptyCodeMessage = "銘柄コ-ドを入れ直して下さい!";
constexpr const char* kUnknownCodeMessage = "銘柄コ-ドを入れ直して下さい!*";

}  // namespace

void Selection::Edit1KeyPress(int key) {
  if (key != 13) return;
  // Codes with a letter (130A) are listed in capitals; one typed in lower
  // case, in full-width characters or with blanks around it means the same
  // stock.
  std::string plain = HalfWidth(ws_.form.text("Edit1"));
  const auto first = plain.find_first_not_of(' ');
  plain = first == std::string::npos ? ""
                                     : plain.substr(first, plain.find_last_not_of(' ') - first + 1);
  const std::string code = StockCodeForm(plain);
  if (!code.empty() && code != ws_.form.text("Edit1")) ws_.form.setText("Edit1", code);
  if (!ws_.standAlone) {
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
  ws_.chains.Button27Click();
  if (st.getInt(ctl::StockFound) == 1) {
    ws_.form.setVisible("Panel4", false);
    ws_.form.setText("Edit2", ws_.StockList.cell(0, 1));
    ctl::WindowStart.set(st, 0);
    ws_.chains.SelectionChain({});
    ws_.chartView.DrawChartClick(sender);
    ws_.rules.Button37Click(sender);
  } else {
    ws_.form.setText("Edit1", "");
    ws_.platform.message(kUnknownCodeMessage);
  }
}

}  // namespace tavrine
