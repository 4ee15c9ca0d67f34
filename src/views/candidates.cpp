#include "views/candidates.h"

#include "store/control_cells.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/stock_list.h"
#include "store/table_file.h"
#include "store/text.h"
#include "web/collection.h"

namespace tavrine {

namespace {
constexpr int kScratch = stocklist::kScratchColumn;
constexpr const char* kTooFew = "収集データが不足しています。\r銘柄コードも確認して下さい。";
}  // namespace

void Candidates::fillScratchFromRow(int r) {
  auto& list = ws_.StockList;
  for (int k = 1; k <= stocklist::kLastDayRow; ++k) list.set(kScratch, k, "");
  for (int k = 1; k <= 750; ++k) list.set(kScratch, k, ws_.CandidateTable.cell(k + 1, r));
  list.set(kScratch, 0, ws_.CandidateTable.cell(0, r));
}

void Candidates::showScratchOrComplain() {
  // A blank value in series row 25 means too short a history to chart.
  if (!IsBlank(ws_.StockList.cell(kScratch, 25)))
    collection_.Button94Click();
  else
    ws_.platform.message(kTooFew);
}

void Candidates::showCandidate() {
  ws_.form.setVisible("Panel4", false);
  ws_.form.setVisible("Panel14", false);
  ws_.form.setText("Edit1", LeftBytes(ws_.StockList.cell(kScratch, 0), 4));
  ws_.form.setVisible("Edit5", true);
  ws_.form.setVisible("Panel7", true);
  // A viewed candidate is not a collected stock: nothing to add.
  ws_.form.setVisible("Button104", false);
}

void Candidates::Button110Click() {
  ws_.form.setVisible("StringGrid7", true);
  Button111Click();
  ctl::DateSource.set(ws_.SeriesTable, ctl::dates::kCandidates);
  fillScratchFromRow(1);
  showScratchOrComplain();
  showCandidate();
  ws_.form.setText("Edit18", ws_.form.text("Edit1"));
}

void Candidates::Button111Click() {
  WaitCursor wait(ws_.platform);
  SuspendRedraw redraw(ws_.CandidateTable);
  // The file is read whole before the table changes, so a missing list
  // leaves the table as it was.
  ws_.CandidateTable.setColCount(751);
  LoadTableFile(ws_.CandidateTable, RootPath("pickrow/pickrow.csv"), 751);
}

void Candidates::Button87Click() {
  ws_.form.setVisible("StringGrid7", true);
  Button120Click();
  ctl::DateSource.set(ws_.SeriesTable, ctl::dates::kPortfolio);
}

void Candidates::Button120Click() {
  WaitCursor wait(ws_.platform);
  SuspendRedraw redraw(ws_.CandidateTable);
  ws_.CandidateTable.setColCount(13);
  LoadTableFile(ws_.CandidateTable, RootPath("tavrine/tallysel.csv"), 13);
}

void Candidates::StringGrid7MouseUp(int j, int r) {
  WaitCursor wait(ws_.platform);
  auto& t = ws_.CandidateTable;
  if (j < 0 || r < 0 || IsBlank(t.cell(j, r))) return;
  if (ctl::DateSource.is(ws_.SeriesTable, ctl::dates::kCandidates)) {
    // The heading row holds dates, not prices: a click there shows nothing.
    if (r == 0) return;
    ws_.form.setText("Edit1", LeftBytes(t.cell(0, r), 4));
    fillScratchFromRow(r);
    showScratchOrComplain();
    showCandidate();
    ws_.form.setText("Edit18", LeftBytes(t.cell(0, r), 4));
    return;
  }

  if (ctl::DateSource.is(ws_.SeriesTable, ctl::dates::kPortfolio)) {
    if (j == 0) return;
    if (r != 0) {
      ws_.form.setText("Edit18", LeftBytes(t.cell(j, r), 4));
      // The collection sets its own date source; the portfolio view keeps "3".
      struct Restore {
        WorkTable& st;
        ~Restore() { ctl::DateSource.set(st, ctl::dates::kPortfolio); }
      } restore{ws_.SeriesTable};
      collection_.Button89Click();
      return;
    }
    if (j == 11 || j == 12) {
      ws_.platform.message(t.cell(0, 1) + "日のpickrowデータとの組み合わせによるデータです。");
      return;
    }
    // The title cell reads "TITLE yyyy/mm/dd": the date starts four bytes
    // before the first "/".
    const std::string& s = t.cell(0, 0);
    const auto slash = s.find('/');
    const long q =
        slash == std::string::npos ? 0 : static_cast<long>(ByteLength(s.substr(0, slash))) + 1;
    const std::string date = MidBytes(s, static_cast<std::size_t>(q - 4 < 1 ? 1 : q - 4), 10);
    const std::string title =
        q - 5 > 0 ? LeftBytes(s, static_cast<std::size_t>(q - 5)) : std::string();
    ws_.platform.message(date + "日の" + title + "のデータです。");
  }
}

}  // namespace tavrine
