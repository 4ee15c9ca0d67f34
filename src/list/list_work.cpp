#include "list/list_work.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "list/calendar_file.h"
#include "list/list_edit.h"
#include "list/placement.h"
#include "list/price_file.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/control_cells.h"
#include "store/decimal_form.h"
#include "store/paths.h"
#include "store/save_guard.h"
#include "store/stock_list.h"
#include "store/stock_list_file.h"
#include "store/table_file.h"
#include "store/text.h"

namespace tavrine {

namespace {

constexpr int kMaxDays = stocklist::kLastDayRow;
constexpr int kScratch = stocklist::kScratchColumn;
constexpr std::size_t kMaxNameBytes = 80;

// Adds one line per adjustment to adjust.log (Shift-JIS, CR LF), with a
// heading line when the file is new: when, which stock, the ratio and the
// days it was applied to, from which file, the backup taken before and the
// kind (分割, 併合, 株主割当, 調整); the backup undoes it. A log begun before
// the kind was logged keeps its shorter heading. The log is written whole,
// its old bytes as they were and the new lines after them, through a
// temporary file, so a failed write leaves it as it was.
void AppendAdjustments(const std::vector<ListAdjustment>& adjustments, const std::string& backup) {
  const std::string path = RootPath(kAdjustLog);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const bool fresh = !std::filesystem::exists(path);
  std::string bytes = fresh ? std::string() : ReadBytes(path);
  std::string text;
  if (fresh) text = "日時,銘柄コード,倍率,開始日,終了日,ファイル,バックアップ,種別\r\n";
  const std::string when = LocalTimeText("%Y/%m/%d %H:%M:%S");
  for (const ListAdjustment& a : adjustments)
    text += ToCommaText({when, a.code, a.RatioText(), DateToStr(a.from), DateToStr(a.through),
                         a.file, backup, a.Kind()}) +
            "\r\n";
  bytes += Utf8ToCp932(text);
  WriteBytes(path, bytes);
}

// DateTable on the list's days: its heading row (the calendar's, as the
// generated calendar writes it when there is none), then the dates.
void FillDateTable(WorkTable& dates, const WorkTable& list, int days) {
  const std::string h0 = IsBlank(dates.cell(0, 0)) ? std::string("日付") : dates.cell(0, 0);
  const std::string h1 = IsBlank(dates.cell(0, 0)) ? std::string("新日付") : dates.cell(1, 0);
  dates.clearAll();
  dates.setColCount(2);
  dates.setRowCount(days + 1);
  dates.set(0, 0, h0);
  dates.set(1, 0, h1);
  for (int r = 1; r <= days; ++r) dates.set(0, r, list.cell(0, r));
}

}  // namespace

std::vector<int> ListDays(const WorkTable& list) {
  int n = 0;
  for (int r = list.rowCount() - 1; r >= 1; --r)
    if (!IsBlank(list.cell(0, r))) {
      n = r;
      break;
    }
  std::vector<int> days(static_cast<std::size_t>(n));
  for (int r = 1; r <= n; ++r) {
    int d = 0;
    if (!TryParseDate(list.cell(0, r), d))
      throw ListRefused{"デ-タ一覧の" + IntToStr(r + 1) + "行目の日付を読めません (" +
                        list.cell(0, r) + ")"};
    if (r > 1 && d >= days[static_cast<std::size_t>(r) - 2])
      throw ListRefused{"デ-タ一覧の日付が" + IntToStr(r + 1) + "行目で新しい順になっていません"};
    days[static_cast<std::size_t>(r) - 1] = d;
  }
  return days;
}

std::string CleanName(const std::string& name) {
  std::string s = name;
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  const auto a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  s = s.substr(a, s.find_last_not_of(' ') - a + 1);
  return LeftBytes(s, kMaxNameBytes);
}

std::string NameRefusal(const std::string& name) {
  const std::string c = CharOutsideCp932(name);
  if (c.empty()) return {};
  return "銘柄名の「" + c + "」はShift-JISのデータ一覧に保存できない文字です (" + name + ")";
}

Axis NewAxis(const std::vector<int>& list, const std::vector<int>& given) {
  Axis a;
  if (list.empty()) {
    for (const int day : given) {
      if (static_cast<int>(a.days.size()) == kMaxDays) break;
      a.days.push_back(day);
    }
    return a;
  }
  for (const int day : given) {
    if (day <= list.front()) break;
    a.days.push_back(day);
  }
  a.top = static_cast<int>(a.days.size());
  a.kept = std::min(static_cast<int>(list.size()), kMaxDays - std::min(a.top, kMaxDays));
  a.days.insert(a.days.end(), list.begin(), list.begin() + a.kept);
  if (a.top > kMaxDays) {
    a.days.resize(kMaxDays);
    a.top = kMaxDays;
  }
  for (const int day : given) {
    if (static_cast<int>(a.days.size()) >= kMaxDays) break;
    if (day < list.back()) a.days.push_back(day);
  }
  return a;
}

void Reshape(WorkingList& w, const Axis& a) {
  const WorkTable& old = *w.table;
  const int m = static_cast<int>(a.days.size());
  const int lastStock = LastStockColumn(old);
  auto t = std::make_unique<WorkTable>(old.name(), old.colCount(), m + 1);
  auto newRow = [&](int r) {
    t->set(0, r, DateToStr(a.days[static_cast<std::size_t>(r) - 1]));
    for (int c = 1; c <= lastStock; ++c) t->set(c, r, kBlankCell);
  };
  for (int c = 0; c < kScratch; ++c) {
    if (!old.cell(c, 0).empty()) t->set(c, 0, old.cell(c, 0));
    for (int i = 1; i <= a.kept; ++i) {
      const std::string& v = old.cell(c, i);
      if (!v.empty()) t->set(c, a.top + i, v);
    }
  }
  for (int r = 1; r <= a.top; ++r) newRow(r);
  for (int r = a.top + a.kept + 1; r <= m; ++r) newRow(r);
  for (int r = 0; r <= stocklist::kLastDayRow; ++r) {
    const std::string& v = old.cell(kScratch, r);
    if (!v.empty()) t->set(kScratch, r, v);
  }
  w.table = std::move(t);
  w.days = a.days;
}

WorkTable StockListOnDisk() {
  WorkTable t("StockList", 200, 0);
  const std::string path = HomePath(kStockListFile);
  if (!std::filesystem::exists(path)) return t;
  // A file another program changed since it was read is refused before this
  // read could make its change look like our own.
  CheckBeforeSave(path);
  ReadStockList(t, ReadBytes(path), kStockListFile);
  ClearQuotedBlanks(t);
  return t;
}

std::vector<std::string> StocksPastList(const WorkTable& disk) {
  std::vector<std::string> out;
  for (int c = kLastStockColumn + 1; c <= kScratch; ++c)
    if (!IsBlankWide(disk.cell(c, 0))) out.push_back(disk.cell(c, 0));
  return out;
}

std::string StocksPastListRefusal(const WorkTable& disk) {
  const auto past = StocksPastList(disk);
  if (past.empty()) return {};
  std::string names;
  for (const std::string& h : past) names += (names.empty() ? "" : "、") + h;
  return "デ-タ一覧の" + IntToStr(kLastStockColumn + 1) + "列目以降に銘柄 (" + names +
         ") があり、この変更ではその銘柄を残せないため、行いませんでした。\r先に「削除」で銘柄を" +
         IntToStr(static_cast<int>(past.size())) + "つ以上削除して、" + IntToStr(kLastStockColumn) +
         "銘柄以内にして下さい。";
}

WorkingList BaseList(const State& ws) {
  try {
    if (const std::string refusal = StocksPastListRefusal(StockListOnDisk()); !refusal.empty())
      throw ListRefused{refusal};
  } catch (const FileError& e) {
    throw ListRefused{e.what()};
  }
  WorkingList w;
  w.table = std::make_unique<WorkTable>(ws.StockList);
  w.days = ListDays(*w.table);
  const std::string path = HomePath(kStockListFile);
  if (w.days.empty() && std::filesystem::exists(path)) {
    try {
      // Read as the start-up reads it: a file it refuses is refused here too.
      ReadStockList(*w.table, ReadBytes(path), kStockListFile);
    } catch (const FileError& e) {
      throw ListRefused{e.what()};
    }
    ClearQuotedBlanks(*w.table);
    w.days = ListDays(*w.table);
  }
  if (static_cast<int>(w.days.size()) > kMaxDays) {
    // Only kLastDayRow days are ever shown or kept; a longer list is cut to them.
    Axis a;
    a.days.assign(w.days.begin(), w.days.begin() + kMaxDays);
    a.kept = kMaxDays;
    w.cut.assign(w.days.begin() + kMaxDays, w.days.end());
    Reshape(w, a);
  }
  if (IsBlank(w.table->cell(0, 0))) w.table->set(0, 0, "日付");
  return w;
}

std::string RatioText(Ratio r) { return IntToStr(r.num) + "/" + IntToStr(r.den); }

std::string ListAdjustment::RatioText() const {
  return factor.empty() ? tavrine::RatioText({num, den}) : factor;
}

std::string ListAdjustment::Kind() const {
  if (!kind.empty()) return kind;
  return num < den ? "分割" : "併合";
}

std::string AdjustmentNote(const std::string& who, Ratio r, int through) {
  return AdjustmentNote(who, r.num < r.den ? "分割" : "併合", RatioText(r), through);
}

std::string AdjustmentNote(const std::string& who, const std::string& kind,
                           const std::string& ratio, int through) {
  return who + ": " + kind + "調整: " + ratio + ", " + DateToStr(through) + " 以前";
}

std::string Scaled(const std::string& text, long double v, Ratio r, int day,
                   const std::string& shown) {
  const long double x = v * r.num / r.den;
  std::string out = FloatToStr(x);
  if (out.find('E') != std::string::npos || !(x < kPriceFileMaxClose + 0.5L))
    throw ListRefused{shown + ": " + DateToStr(day) + " の株価 " + text + " を " + RatioText(r) +
                      " 倍にすると、デ-タ一覧に入りません (" + out + ")"};
  return out;
}

ListSave SaveWorkingList(State& ws, const WorkingList& w, const std::string& action,
                         const std::vector<ListAdjustment>& adjustments) {
  ListSave out;
  // The list first: when it cannot be written nothing changed. The list as
  // it was is kept for 元に戻す.
  std::string backup;
  try {
    backup = BackUpStockList(action);
    SaveTableFile(*w.table, HomePath(kStockListFile));
  } catch (const FileError& e) {
    out.errors.push_back(std::string("デ-タ一覧を保存できませんでした。\r") + e.what());
    return out;
  }
  out.saved = true;

  // The current stock keeps its column when others moved in front of it.
  auto& st = ws.SeriesTable;
  const std::string current = LeftBytes(ctl::Heading.get(st), 4);
  int stockColumn = 0;
  if (TryStrictInt(st.cell(ctl::StockColumn), stockColumn) && stockColumn >= 1 &&
      stockColumn < kScratch && !current.empty() &&
      LeftBytes(w.table->cell(stockColumn, 0), 4) != current)
    for (int c = 1; c <= kLastStockColumn; ++c)
      if (LeftBytes(w.table->cell(c, 0), 4) == current) {
        st.setInt(ctl::StockColumn, c);
        break;
      }

  ws.StockList = *w.table;
  FillDateTable(ws.DateTable, ws.StockList, static_cast<int>(w.days.size()));
  try {
    calendar::Save(ws.DateTable);
  } catch (const std::exception& e) {
    out.errors.push_back(
        std::string(
            "デ-タ一覧は保存しましたが、営業日カレンダー hizuke.csv を保存できませんでした。\r") +
        e.what());
  }
  if (std::filesystem::is_directory(RootPath(kCodeListFolder))) {
    try {
      WriteText(RootPath(kCodeListFile), CodeText(ws.StockList, LastStockColumn(ws.StockList)));
    } catch (const FileError& e) {
      out.errors.push_back(
          std::string(
              "デ-タ一覧は保存しましたが、収集銘柄一覧 code.txt を保存できませんでした。\r") +
          e.what());
    }
  }
  if (!adjustments.empty()) {
    try {
      AppendAdjustments(adjustments, backup);
    } catch (const std::exception& e) {
      out.errors.push_back(
          std::string(
              "デ-タ一覧は保存しましたが、調整の記録 adjust.log を保存できませんでした。\r") +
          e.what());
    }
  }
  try {
    RecordImportMaintainer();
  } catch (const FileError& e) {
    out.errors.push_back(std::string("設定ファイル tavrine.ini を保存できませんでした。\r") +
                         e.what());
  }
  return out;
}

}  // namespace tavrine
