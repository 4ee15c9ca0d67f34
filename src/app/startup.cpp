#include "app/startup.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/workspace.h"
#include "list/calendar_file.h"
#include "list/placement.h"
#include "store/codec.h"
#include "store/control_cells.h"
#include "store/paths.h"
#include "store/stock_list.h"
#include "store/stock_list_file.h"
#include "store/table_file.h"
#include "store/text.h"

namespace tavrine {

namespace {
constexpr const char* kNoStockMessage =
    "デ-"
    "タ一覧に銘柄の株価がありません。\r「取込」で株価ファイルを取り込むか、株価収集で銘柄を追加して"
    "下さい。";

// Nothing at all at the path: no file, folder or link. A missing file is
// noted for the save guard as FileExists notes it.
bool Absent(const std::string& path) {
  if (FileExists(path)) return false;
  std::error_code ec;
  return !std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// The stock shown first: column 4, as the sibling tools' lists have it. A
// list kept by importing price files may hold fewer stocks; then its first.
int FirstStockShown(const WorkTable& list) {
  if (!IsBlankWide(list.cell(4, 0)) || !ImportMaintainsList()) return 4;
  for (int c = 1; c <= 3; ++c)
    if (!IsBlankWide(list.cell(c, 0))) return c;
  return 4;
}
}  // namespace

void Startup::Button52Click() {
  Button102Click();
  Button5Click();
}

void Startup::Button102Click() {
  // Width 1020, height 733, centred, then maximised; the window applies it.
  ws_.form.setGeometry("TForm1", 1020, 733, true);
  ws_.form.setEnabled("TForm1", true);
}

void Startup::LoadStockList() {
  SuspendRedraw redraw(ws_.StockList);
  WaitCursor wait(ws_.platform);
  ws_.setProgress("データ読込中...");
  // The lines of the file's bytes; each field is decoded as it is stored. A
  // file the list could not be saved back into as it stands is refused
  // before anything of it is taken.
  const std::string bytes = ReadBytes(HomePath(kStockListFile));
  ws_.setProgress("データ変換中...");
  const StockListReading reading =
      ReadStockList(ws_.StockList, bytes, kStockListFile, [this](int a, int n) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "データ変換中(%d％)...",
                      static_cast<int>(Trunc(a * 100.0L / n)));
        ws_.setProgress(buf);
      });
  if (reading.headingAtCommas)
    ws_.platform.message(std::string(kStockListFile) +
                         " の1行目 (見出し) は銘柄名の空白が引用符で囲まれていないため、"
                         "コンマだけで区切って読みました。次の保存で正しい形に直ります。");
}

void Startup::Button53Click() { ClearQuotedBlanks(ws_.StockList); }

void Startup::Button54Click() {
  auto& list = ws_.StockList;
  int blanks = 0;
  for (int c = 1; c <= 200; ++c)
    if (IsBlank(list.cell(c, 0))) ++blanks;
  const int n = 200 - blanks;
  const int rows = static_cast<int>(Trunc(n / 6.0L + 1.9L));
  ws_.StockPicker.setRowCount(rows);
  for (int b = 0; b <= rows; ++b)
    for (int c = 1; c <= 6; ++c) ws_.StockPicker.set(c, b + 1, list.cell(c + 6 * b, 0));
}

bool Startup::FullMode() const {
  if (ws_.StockList.cell(1, 4).empty()) return false;
  return (FileExists(RootPath("pullbox/pullbox.exe")) &&
          FileExists(RootPath("listwerk/listwerk.exe"))) ||
         ImportMaintainsList();
}

void Startup::Button123Click() {
  ws_.standAlone = !FullMode();
  if (ws_.standAlone) {
    ws_.form.setText("Button17", "銘柄収集");
    ws_.form.setText("BitBtn1", "tavrineⅠ");
  }
}

void Startup::WriteStartValues() {
  ctl::WriteStart<ctl::WindowStart, ctl::PositionFlag, ctl::TradesOpened, ctl::TradesClosed,
                  ctl::RuleNumber, ctl::EntryDirection, ctl::CacheSlot, ctl::ChartLayout,
                  ctl::PickerShown, ctl::ChartSpan, ctl::StockFound, ctl::MemoShown,
                  ctl::OscillatorState>(ws_.SeriesTable);
  ctl::WriteStart<ctl::CacheColumnFound>(ws_.CacheTable);
  ctl::WriteStart<ctl::Condition>(ws_.StatsTable);
}

void Startup::Button5Click() {
  auto& st = ws_.SeriesTable;
  auto& list = ws_.StockList;
  SuspendRedraw redraw(list, st);
  WaitCursor wait(ws_.platform);

  ws_.setProgress("データ読込中...");
  // A first start: the data folder holds neither a list nor a calendar, so
  // nothing is missing and there is nothing to load; the window shows its
  // guide. A list gone from a folder that has a calendar is still the load's
  // file error.
  if (Absent(HomePath(kStockListFile)) && Absent(RootPath(calendar::kFile))) return;
  LoadStockList();
  ws_.setProgress("データ調整中...");
  Button53Click();
  ctl::RowsConsidered.writeStart(st);
  const int first = FirstStockShown(list);
  ctl::Heading.set(st, list.cell(first, 0));
  ctl::StockColumn.set(st, first);
  ws_.form.setText("Edit1", LeftBytes(list.cell(first, 0), 4));
  ws_.form.setText("Edit6", list.cell(first, 1));
  ctl::DateSource.writeStart(st);
  ws_.calendar.Button112Click();
  WriteStartValues();
  ctl::DateInView.set(st, list.cell(0, 1));
  ws_.form.setText("Edit2", list.cell(0, 1));
  ws_.setProgress("データ計算中...");
  ws_.memo.Button36Click();
  Button123Click();

  // An empty, heading-only or unreadable-as-text list has nothing to chart
  // or to collect for: say so once and leave an empty, usable window.
  if (!HoldsAStock(list)) {
    ws_.platform.message(kNoStockMessage);
    return;
  }

  if (ws_.standAlone) {
    // Stand-alone: collect the remembered code instead of drawing a chart.
    // A first start has no remembered code yet: nothing to collect then.
    const std::string remembered = HomePath("memo.txt");
    ws_.form.setLines("Memo1",
                      FileExists(remembered) ? ReadLines(remembered) : std::vector<std::string>{});
    ws_.form.setText("Edit1", ws_.form.text("Memo1"));
    ws_.picker.Button17Click();
    return;
  }

  ws_.chains.SelectionChain({.resetTerm = true, .progress = true});
  ws_.form.setText("Button118", "狭");
  Button54Click();
  ws_.setProgress("描画中");
  ws_.chartView.DrawChartClick("TForm1");
  ws_.rules.Button37Click("TForm1");
}

}  // namespace tavrine
