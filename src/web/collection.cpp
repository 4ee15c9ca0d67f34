#include "web/collection.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "chain/chains.h"
#include "chart/chart_view.h"
#include "signals/backtest.h"
#include "signals/overlays.h"
#include "store/codec.h"
#include "store/control_cells.h"
#include "store/paths.h"
#include "store/stock_list.h"
#include "store/table_file.h"
#include "store/text.h"
#include "web/quote_page.h"

namespace tavrine {

namespace {
constexpr const char* kRireki = "tavrine/rireki.txt";
constexpr const char* kZenncode = "tavrine/zenncode.txt";
constexpr int kScratch = stocklist::kScratchColumn;

// Sets a flag for the length of a scope.
struct Flag {
  bool& f;
  explicit Flag(bool& flag) : f(flag) { f = true; }
  ~Flag() { f = false; }
};
}  // namespace

std::vector<std::string>& Collection::rawRow(int r) {
  if (static_cast<std::size_t>(r) >= raw_.size()) raw_.resize(static_cast<std::size_t>(r) + 1);
  return raw_[static_cast<std::size_t>(r)];
}

void Collection::publishRow(int r) {
  std::vector<std::string> cells;
  for (const auto& piece : rawRow(r)) cells.push_back(EucJpToUtf8(piece));
  ws_.WebRows.setRowCells(r, cells);
}

void Collection::setScratchReady(bool ready) {
  armed_.reset();
  if (!ready) return;
  Collected c;
  c.code = ws_.form.text("Edit18");
  c.lastRow = ctl::LastDataRow.get(ws_.SeriesTable);
  const int kept = std::min(std::max(c.lastRow, 0), stocklist::kLastDayRow);
  c.rows.reserve(static_cast<std::size_t>(kept) + 1);
  for (int r = 0; r <= kept; ++r) c.rows.push_back(ws_.StockList.cell(kScratch, r));
  armed_ = std::move(c);
}

void Collection::Button89Click() {
  // The window stays live while pages arrive; a second press of 実行 (or
  // Enter) must not start a run over the one in progress.
  if (running_) return;
  // Any new run, refused or failed ones too, ends what the last one armed:
  // its look-ups rewrite the scratch column at once.
  armed_.reset();
  Flag guard(running_);
  WaitCursor wait(ws_.platform);
  auto& list = ws_.StockList;
  auto& st = ws_.SeriesTable;
  auto& form = ws_.form;

  const std::string K = form.text("Edit18");
  const std::string head = LeftBytes(K, 4);
  if (head == "0200" || head == "0201" || head == "0100" || head == "0101") return;

  Button97Click();
  if (K.empty() || ByteLength(K) != 4 || list.cell(kScratch, 0).empty()) {
    ws_.platform.message("銘柄コードを入れ直して下さい。");
    return;
  }

  form.setText("Edit1", K);
  rowDays_.clear();
  st.set(1, 1, "0");
  ctl::DateSource.set(st, ctl::dates::kCalendar);
  for (int r = 1; r <= stocklist::kLastDayRow; ++r) list.set(kScratch, r, "");
  st.set(1, 0, list.cell(kScratch, 0));

  // The slot counter as it was: a run that ends without being cached gives
  // its slot back, so the ring only counts stored series.
  const std::string slotBefore = st.cell(ctl::CacheSlot);
  Button116Click();

  if (!ctl::CacheColumnFound.is(ws_.CacheTable, 0)) {
    const int k = ctl::CacheColumnFound.get(ws_.CacheTable);
    for (int r = 0; r <= quote::kCachedRows; ++r) list.set(kScratch, r, ws_.CacheTable.cell(k, r));
  } else {
    try {
      fetchPages(K);
    } catch (...) {
      st.set(ctl::CacheSlot, slotBefore);
      throw;
    }
    // Every page before the second-to-last fetched one must have delivered
    // its 50 rows.
    const int L = ctl::LastPage.get(st);
    for (int r = 1; r <= quote::kRowsPerPage * (L - 1); ++r)
      if (list.cell(kScratch, r).empty()) list.set(kScratch, 0, "0");
    if (list.cell(kScratch, 0) == "0") {
      // Interrupted: not cached, so asking again fetches anew.
      st.set(ctl::CacheSlot, slotBefore);
    } else {
      placeByDate();
      const int p = ctl::CacheSlot.get(st);
      for (int r = 0; r <= quote::kCachedRows; ++r)
        ws_.CacheTable.set(p + 1, r, list.cell(kScratch, r));
    }
  }

  if (list.cell(kScratch, 0) == "0") {
    ws_.platform.message("サイトへの接続が中断されました。再度、実行して下さい。");
    return;
  }
  ClearQuotedBlanks(list);  // the quoted-blank clean-up of Button53Click
  if (list.cell(kScratch, 25).empty()) {
    ws_.platform.message("収集データが不足しています。\r銘柄コードも確認して下さい。");
    return;
  }
  Button94Click();
  form.setVisible("Panel4", false);
  form.setVisible("Panel14", false);
  form.setVisible("Edit5", true);
  form.setVisible("Panel7", true);
  form.setVisible("Button104", true);
  setScratchReady(true);
}

void Collection::fetchPages(const std::string& code) {
  auto& st = ws_.SeriesTable;
  auto& form = ws_.form;
  for (int n = 0; n <= quote::kLastPage; ++n) {
    // An empty first value means the site ran out of rows.
    if (st.cell(1, 1).empty()) continue;
    char buf[64];
    std::snprintf(buf, sizeof buf, "WEBよりデータ収集中(%d％)...",
                  static_cast<int>(Trunc(n * 100.0L / quote::kLastPage)));
    ws_.setProgress(buf);
    const std::string body = http_.Get(QuoteHost(), quote::CollectionPath(n, code, Today()));
    ctl::LastPage.set(st, n);
    WriteBytes(RootPath(kRireki), quote::KeptWindow(body));
    Button91Click();
    Button92Click();
    Button93Click();
    Button95Click();
    Button96Click();
    form.setText("Edit1", LeftBytes(form.text("Edit1"), 4) + "-" + IntToStr(n));
  }
  form.setText("Edit1", LeftBytes(form.text("Edit1"), 4));
}

void Collection::placeByDate() {
  auto& list = ws_.StockList;
  const auto& cal = ws_.DateTable;
  std::map<int, int> rowOfDay;
  const int calRows = std::min(cal.rowCount() - 1, stocklist::kLastDayRow);
  for (int r = calRows; r >= 1; --r) {
    int day = 0;
    if (TryParseDate(cal.cell(0, r), day)) rowOfDay[day] = r;  // the newest row wins
  }
  std::vector<std::string> placed(static_cast<std::size_t>(stocklist::kLastDayRow) + 1);
  const int fetched = std::min(static_cast<int>(rowDays_.size()) - 1, stocklist::kLastDayRow);
  for (int r = 1; r <= fetched; ++r) {
    const auto it = rowOfDay.find(rowDays_[static_cast<std::size_t>(r)]);
    if (it == rowOfDay.end()) continue;
    auto& slot = placed[static_cast<std::size_t>(it->second)];
    if (slot.empty()) slot = list.cell(kScratch, r);  // a repeated day keeps its newest row
  }
  for (int r = 1; r <= stocklist::kLastDayRow; ++r)
    list.set(kScratch, r, placed[static_cast<std::size_t>(r)]);
}

void Collection::Button90Click() {
  ws_.form.setVisible("Panel4", false);
  ws_.form.setVisible("Panel14", false);
  ws_.form.setVisible("StringGrid7", false);
}

void Collection::Edit18KeyPress(int key) {
  if (key == 13) Button89Click();
}

void Collection::Edit18DblClick() { ws_.form.setText("Edit18", ""); }

void Collection::Button97Click() {
  auto& web = ws_.WebRows;
  auto& list = ws_.StockList;
  const auto lines = ReadLines(RootPath(kZenncode));
  web.setColCount(5);
  raw_.clear();  // WebRows now holds file lines, not page rows
  const int count = static_cast<int>(lines.size());
  for (int i = 0; i < count; ++i) {
    std::string line = lines[static_cast<std::size_t>(i)];
    std::replace(line.begin(), line.end(), '\t', ',');
    web.clearRow(i);
    web.set(0, i, line);
  }
  rawRowsUsed_ = std::max(rawRowsUsed_, count);
  const std::string K = ws_.form.text("Edit18");
  list.set(kScratch, 0, "");
  for (int r = 1; r < count; ++r)
    if (LeftBytes(web.cell(0, r), 4) == K) list.set(kScratch, 0, web.cell(0, r));
  if (list.cell(kScratch, 0).empty() && !K.empty()) list.set(kScratch, 0, LeftBytes(K, 4));
}

void Collection::Button116Click() {
  auto& cache = ws_.CacheTable;
  auto& st = ws_.SeriesTable;
  if (cache.cell(1, 0).empty()) return;
  const std::string K = ws_.form.text("Edit18");
  int found = 0;
  for (int j = 1; j <= quote::kCacheSlots; ++j)
    if (LeftBytes(cache.cell(j, 0), 4) == K) found = j;
  cache.set(0, 0, IntToStr(found));
  if (found == 0) {
    const int p = ctl::CacheSlot.get(st);
    int q = p + 1;
    if (q >= quote::kCacheSlots) {
      ws_.platform.message("簡易収集の一時保存銘柄数は20銘柄までです。\r先データに上書きします。");
      q = p - (quote::kCacheSlots - 1);
    }
    ctl::CacheSlot.set(st, q);
  }
}

void Collection::Button91Click() {
  auto& web = ws_.WebRows;
  const auto lines = SplitLines(ReadBytes(RootPath(kRireki)));
  web.setColCount(50);
  const int filled = std::min(static_cast<int>(lines.size()), 4859);
  for (int i = 0; i < filled; ++i) {
    auto pieces = quote::SplitPageLine(lines[static_cast<std::size_t>(i)]);
    if (static_cast<int>(pieces.size()) > web.colCount())
      web.setColCount(static_cast<int>(pieces.size()));
    for (auto& p : pieces)
      if (p.empty()) p = " ";
    rawRow(i + 1) = std::move(pieces);
    publishRow(i + 1);
  }
  // Rows a longer earlier page (or the code list) left behind would
  // otherwise be read as rows of this page.
  for (int r = filled + 1; r <= rawRowsUsed_; ++r) rawRow(r).clear();
  web.clearRows(filled + 1, rawRowsUsed_);
  rawRowsUsed_ = filled;
}

void Collection::Button92Click() {
  auto& web = ws_.WebRows;
  pageDays_.assign(quote::kRowsPerPage + 1, -1);
  for (int r = 1; r <= quote::kRowsPerPage; ++r) {
    auto& row = rawRow(r);
    if (row.size() < 2) row.resize(2);
    const std::string text = row[1];
    int day = -1;
    if (!quote::RowDay(text, day)) day = -1;
    pageDays_[static_cast<std::size_t>(r)] = day;
    row[0] = quote::DateHead(text);
    row[1] = quote::ExtractValue(text);
    web.set(0, r, EucJpToUtf8(row[0]));
    web.set(1, r, EucJpToUtf8(row[1]));
  }
  static const char* const kHeadings[] = {"",     "始値",   "高値",      "安値",
                                          "終値", "出来高", "調整後終値"};
  for (int c = 1; c <= 7; ++c) web.set(c, 0, kHeadings[c - 1]);
}

void Collection::Button93Click() {
  const int n = ctl::LastPage.get(ws_.SeriesTable);
  for (int r = 1; r <= quote::kRowsPerPage; ++r) {
    const std::string v = ws_.WebRows.cell(1, r);
    const int at = n * quote::kRowsPerPage + r;
    ws_.StockList.set(kScratch, at, v);
    ws_.SeriesTable.set(1, r, v);
    if (at < 1) continue;
    const std::size_t i = static_cast<std::size_t>(at);
    if (rowDays_.size() <= i) rowDays_.resize(i + 1, -1);
    const std::size_t p = static_cast<std::size_t>(r);
    rowDays_[i] = p < pageDays_.size() ? pageDays_[p] : -1;
  }
}

void Collection::Button95Click() {
  auto& list = ws_.StockList;
  const int n = ctl::LastPage.get(ws_.SeriesTable);
  // The clean-up reaches well past the page (to row (n + 50) x 50), so a
  // page cut short never leaves a comma behind in the rows it covered.
  const int last = (n + 50) * quote::kRowsPerPage;
  for (int r = 1; r <= last; ++r) {
    const std::string& v = list.cell(kScratch, r);
    if (v.find(',') != std::string::npos) list.set(kScratch, r, quote::RemoveCommas(v, 4));
  }
}

void Collection::Button96Click() {
  for (int r = 1; r <= 10; ++r) {
    const auto& row = rawRow(r);
    ws_.SeriesTable.set(0, r, quote::ProgressLabel(row.empty() ? std::string() : row[0]));
  }
}

void Collection::Button94Click() {
  WaitCursor wait(ws_.platform);
  auto& form = ws_.form;
  auto& list = ws_.StockList;
  auto& st = ws_.SeriesTable;
  const std::string code = form.text("Edit18");
  form.setText("Edit1", code);
  if (code == "998405") {
    form.setText("Edit1", "トピックス");
    list.set(kScratch, 0, "0100 トピックス");
  } else if (code == "998407") {
    form.setText("Edit1", "日経ダウ");
    list.set(kScratch, 0, "0101 日経ダウ");
  }
  st.setInt(ctl::StockColumn, kScratch);
  ctl::Heading.set(st, list.cell(kScratch, 0));
  form.setText("Edit2", list.cell(0, 1));
  ctl::WindowStart.set(st, 0);
  ctl::StockFound.set(st, true);
  chains_.SelectionChain({});
  overlays_.Button33Click();
  chartView_.Button8Click();
  backtest_.Button51Click();
}

}  // namespace tavrine
