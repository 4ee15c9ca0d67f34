#include "web/maintenance.h"

#include <algorithm>
#include <filesystem>
#include <span>

#include "list/list_edit.h"
#include "list/list_work.h"
#include "list/placement.h"
#include "store/codec.h"
#include "store/control_cells.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/stock_list.h"
#include "store/table_file.h"
#include "web/collection.h"

namespace tavrine {

namespace {
constexpr int kScratch = stocklist::kScratchColumn;

void EmptyColumn(WorkTable& t, int c) {
  for (int r = 0; r <= stocklist::kLastDayRow; ++r) t.set(c, r, "");
}
}  // namespace

void Maintenance::Button104Click() {
  WaitCursor wait(ws_.platform);
  auto& list = ws_.StockList;
  auto& st = ws_.SeriesTable;
  const std::string k = ws_.form.text("Edit18");

  // Only the series a successful collection armed, under the code it was
  // collected for, is stored: a second press, a press after a refused or
  // failed run, or a press with a changed code would otherwise empty or
  // overwrite a stored column with another stock's prices.
  if (collection_.running()) return;
  const Collection::Collected* got = collection_.collected();
  if (!got || got->code != k || IsBlankWide(got->heading()) || LeftBytes(got->heading(), 4) != k) {
    ws_.platform.message(
        "追加更新する収集データがありません。\r簡易収集を実行してから押して下さい。");
    return;
  }

  // Until the list file is written, any failure (a heading that is no code,
  // a read-only folder, a full disk) puts the list back as it was, and the
  // series stays armed for another press once the cause is mended.
  const WorkTable before = list;
  SuspendRedraw redraw(list, st);
  try {
    if (!Place(*got, k)) return;
    Button105Click();
  } catch (const CodeListError&) {
    collection_.setScratchReady(false);  // the list itself is saved
    throw;
  } catch (...) {
    list = before;
    throw;
  }
  collection_.setScratchReady(false);
  Button109Click();
}

bool Maintenance::Place(const Collection::Collected& got, const std::string& k) {
  auto& list = ws_.StockList;
  const int R = std::min(got.lastRow, static_cast<int>(got.rows.size()) - 1);
  const int L = LastStockColumn(list);
  ws_.SeriesTable.set(ctl::LastStockColumn, IntToStr(L));
  if (L == kLastStockColumn) {
    ws_.platform.message(ListFullMessage());
    return false;
  }
  // The collected series comes through the scratch column, where a list
  // file may keep a stock of its own: such a list is refused, not shortened.
  if (const std::string refusal = StocksPastListRefusal(StockListOnDisk()); !refusal.empty()) {
    ws_.platform.message(refusal);
    return false;
  }
  if (const std::string refusal = NameRefusal(got.heading()); !refusal.empty()) {
    ws_.platform.message(refusal);
    return false;
  }
  PlaceStockColumn(
      list, k,
      std::span<const std::string>(got.rows.data(), static_cast<std::size_t>(std::max(R + 1, 0))));
  EmptyColumn(list, kScratch);
  return true;
}

void Maintenance::Button105Click() {
  WaitCursor wait(ws_.platform);
  BackUpStockList("add");
  SaveTableFile(ws_.StockList, HomePath(kStockListFile));
  Button107Click();
  ws_.platform.message("デ－タ一覧保存完了しました");
}

void Maintenance::Button107Click() {
  const auto& list = ws_.StockList;
  if (list.cell(1, 0).empty()) return;
  const int last = StrToInt(ws_.SeriesTable.cell(ctl::LastStockColumn)) + 1;
  WriteCodeList(CodeText(list, last));
}

void Maintenance::Button109Click() {
  const auto& list = ws_.StockList;
  WriteCodeList(CodeText(list, LastStockColumn(list)));
  ws_.platform.message("デ－タ一覧に合わせ収集銘柄変更しました");
}

void Maintenance::WriteCodeList(const std::string& text) {
  // A list kept by importing price files needs no collection tool: without
  // its folder there is no code list to keep.
  if (!std::filesystem::is_directory(RootPath(kCodeListFolder)) && ImportMaintainsList()) return;
  try {
    WriteText(RootPath(kCodeListFile), text);
  } catch (const FileError& e) {
    // Called once the list file is written: say that the list is safe and
    // only the code list is not.
    throw CodeListError(
        std::string(
            "デ－タ一覧は保存しましたが、収集銘柄一覧 code.txt を保存できませんでした。\r") +
        e.what());
  }
}

void Maintenance::BitBtn1Click() {
  auto& form = ws_.form;
  if (form.text("BitBtn1") == "tavrineⅠ") {
    ws_.platform.message(
        "pullbox.exe、listwerk.exe、デ-タ一覧 "
        "をインストールすると\rよく見る銘柄の登録、速い立上げやpickrow,"
        "tallyとの関連付けができます。");
    return;
  }
  form.setVisible("Edit5", false);
  if (form.visible("Panel14")) {
    form.setVisible("Panel14", false);
    form.setVisible("StringGrid7", false);
  } else {
    form.setVisible("Panel14", true);
    form.setVisible("Panel4", true);
    if (!ws_.CandidateTable.cell(2, 2).empty()) form.setVisible("StringGrid7", true);
    // A panel just opened has no connection to report: the last page's
    // "切断しました" would read as a fault.
    form.setText("StatusBar1", "");
    // The list editor is named only where it is installed; else the
    // program's own 削除 is.
    form.setText(
        "Label21",
        FileExists(RootPath("listwerk/listwerk.exe"))
            ? "未登録銘柄の株価履歴を簡易収集します。\r日付がずれることがあります。\r一覧編集に"
              "はタヴリン用株価一覧編集"
              "\rソフト（フリー）を御利用下さい。"
            : "未登録銘柄の株価履歴を簡易収集します。\r日付がずれることがあります。\r一覧からの"
              "削除は銘柄ボタンを右クリックし\r「デ-タ一覧から削除」で行えます。");
  }
}

}  // namespace tavrine
