#include "list/price_import.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <utility>

#include "list/list_work.h"
#include "list/placement.h"
#include "list/price_file.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/control_cells.h"
#include "store/decimal_form.h"
#include "store/paths.h"
#include "store/price_store.h"
#include "store/stock_list.h"
#include "store/table_file.h"
#include "store/text.h"

namespace tavrine {

namespace {

constexpr const char* kBlank = kBlankCell;

// One file's refusal; its message already names the file.
using Refused = ListRefused;

// A given code as the list keeps it: full-width digits and letters made
// plain, a small letter capital. Empty when it is no stock code (four
// digits, or three digits and a letter).
std::string NormalisedCode(const std::string& given) {
  std::string plain;
  for (std::size_t i = 0; i < given.size(); ++i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(given[i + k]); };
    if (i + 2 < given.size() && b(0) == 0xEF && b(1) == 0xBC && b(2) >= 0x90 && b(2) <= 0x99) {
      plain += static_cast<char>('0' + b(2) - 0x90);
      i += 2;
    } else if (i + 2 < given.size() && b(0) == 0xEF && b(1) == 0xBC && b(2) >= 0xA1 &&
               b(2) <= 0xBA) {
      plain += static_cast<char>('A' + b(2) - 0xA1);
      i += 2;
    } else if (i + 2 < given.size() && b(0) == 0xEF && b(1) == 0xBD && b(2) >= 0x81 &&
               b(2) <= 0x9A) {
      plain += static_cast<char>('A' + b(2) - 0x81);
      i += 2;
    } else if (given[i] != ' ') {
      plain += given[i];
    }
  }
  return StockCodeForm(std::move(plain));
}

// The answer to the code question, "6758" or "6758 ソニー", as the code and
// the name after it, split at the first blank (also a full-width one).
void SplitAnswer(const std::string& answer, std::string& code, std::string& name) {
  const auto blankAt = [&](std::size_t i) -> std::size_t {
    if (answer.compare(i, 3, "\xE3\x80\x80") == 0) return 3;
    return answer[i] == ' ' || static_cast<unsigned char>(answer[i]) < 0x20 ? 1 : 0;
  };
  std::size_t i = 0;
  while (i < answer.size() && blankAt(i)) i += blankAt(i);
  std::size_t end = i;
  while (end < answer.size() && !blankAt(end)) ++end;
  code = answer.substr(i, end - i);
  while (end < answer.size() && blankAt(end)) end += blankAt(end);
  name = answer.substr(end);
}

// Days a new stock needs: its newest close and the 25 after it.
constexpr int kFewestDays = 26;

// ---------------------------------------------------------------- splits

constexpr Ratio kSplitRatios[] = {{1, 2},  {1, 3},   {1, 4}, {1, 5}, {1, 10}, {1, 20}, {1, 25},
                                  {1, 50}, {1, 100}, {2, 3}, {2, 5}, {4, 5},  {5, 6},  {10, 11},
                                  {2, 1},  {3, 1},   {4, 1}, {5, 1}, {10, 1}, {20, 1}, {25, 1},
                                  {50, 1}, {100, 1}, {3, 2}, {5, 2}, {5, 4},  {6, 5},  {11, 10}};

// Half a unit of the last decimal place a close was written with: how far
// the value it stands for may lie from it.
long double HalfUnit(const std::string& text) {
  const auto dot = text.find('.');
  long double u = 0.5L;
  if (dot != std::string::npos)
    for (std::size_t k = dot + 1; k < text.size(); ++k) u /= 10;
  return u;
}

// A stored close as a number; a list cell that does not read refuses the file.
long double StoredValue(const std::string& text, int day, const std::string& shown) {
  try {
    const long double v = StrToFloat(text);
    if (v >= 0) return v;
  } catch (const ConversionError&) {
  }
  throw Refused{shown + ": デ-タ一覧の " + DateToStr(day) + " の株価を読めません (" + text + ")"};
}

// The file's close is the stored one times r within the rounding of both.
bool Agrees(const std::string& fileText, long double file, const std::string& storedText,
            long double stored, Ratio r) {
  const long double slack = r.den * HalfUnit(fileText) + r.num * HalfUnit(storedText);
  return std::fabs(file * r.den - stored * r.num) <= slack * (1 + 1e-12L);
}

// One day both the file and the stored column hold.
struct Common {
  int day;
  const PriceRow* row;
  std::string stored;
  long double file, value;
};

// What the comparison with the stored closes decided.
struct SplitCheck {
  Ratio ratio;                                        // one(): nothing to adjust
  int through = 0;                                    // newest stored day that takes the ratio
  std::vector<std::pair<int, std::string>> adjusted;  // stored days not in the file, new text
  std::string note;                                   // a seam that looks like a split
};

// Compares the file with the stored column (days newest first, cells by
// day) and finds the ratio the stored days lack, or refuses the file.
SplitCheck CheckAgainstStored(const PriceFile& file, const std::vector<int>& days,
                              const WorkTable& list, int column, const std::string& shown) {
  SplitCheck out;
  // Stored days oldest first, and the common days among them.
  std::vector<std::pair<int, std::string>> stored;
  for (int r = static_cast<int>(days.size()); r >= 1; --r)
    if (!IsBlank(list.cell(column, r)))
      stored.emplace_back(days[static_cast<std::size_t>(r) - 1], list.cell(column, r));
  if (stored.empty()) return out;
  std::vector<Common> common;
  {
    auto it = file.rows.rbegin();
    for (const auto& [day, text] : stored) {
      while (it != file.rows.rend() && it->day < day) ++it;
      if (it != file.rows.rend() && it->day == day)
        common.push_back({day, &*it, text, StrToFloat(it->close), StoredValue(text, day, shown)});
    }
  }
  const auto differs = [&](const Common& c) -> Refused {
    return Refused{shown + ": " + IntToStr(c.row->line) + "行目: " + DateToStr(c.day) +
                   " の終値がデ-タ一覧と合いません (ファイル " + c.row->close + "、デ-タ一覧 " +
                   c.stored + ")"};
  };

  if (common.empty()) {
    // A seam: the stored day next to the file's oldest or newest day.
    const int oldest = file.rows.back().day, newest = file.rows.front().day;
    const PriceRow* fileSide = nullptr;
    const std::pair<int, std::string>* storedSide = nullptr;
    bool storedOlder = true;
    for (const auto& sd : stored)
      if (sd.first < oldest) storedSide = &sd, fileSide = &file.rows.back();
    if (!storedSide)
      for (const auto& sd : stored)
        if (sd.first > newest) {
          storedSide = &sd, fileSide = &file.rows.front(), storedOlder = false;
          break;
        }
    if (!storedSide) return out;
    const long double sv = StoredValue(storedSide->second, storedSide->first, shown);
    const long double fv = StrToFloat(fileSide->close);
    const long double step = storedOlder ? fv / sv : sv / fv;  // newer over older
    for (const Ratio r : kSplitRatios) {
      const long double f = static_cast<long double>(r.num) / r.den;
      if (f > 0.7L && f < 1.4L) continue;  // a day's move as much as a split
      if (std::fabs(step / f - 1) <= 0.02L) {
        const int newerDay = storedOlder ? fileSide->day : storedSide->first;
        const std::string& olderText = storedOlder ? storedSide->second : fileSide->close;
        const std::string& newerText = storedOlder ? fileSide->close : storedSide->second;
        out.note = shown + ": " + DateToStr(newerDay) + " の前後で株価が " + RatioText(r) +
                   " 倍になっています (" + olderText + " → " + newerText +
                   ")。分割の調整が済んでいないかもしれません";
        break;
      }
    }
    return out;
  }

  // The ratio from the oldest common day on: of those that fit it (low
  // prices may fit several within rounding), the one that holds for the
  // most days; among those, the nearest on the oldest day, equal closes
  // first.
  const auto agrees = [](const Common& c, Ratio r) {
    return Agrees(c.row->close, c.file, c.stored, c.value, r);
  };
  std::size_t longest = 0;
  long double nearest = 0;
  const auto consider = [&](Ratio r) {
    // A day that fits equal closes is after the split, whatever else fits it.
    std::size_t run = 0;
    while (run < common.size() && agrees(common[run], r) &&
           (r.one() || !agrees(common[run], Ratio{})))
      ++run;
    const Common& c = common.front();
    const long double miss = std::fabs(c.file - c.value * r.num / r.den);
    if (run > longest || (run > 0 && run == longest && miss < nearest))
      longest = run, nearest = miss, out.ratio = r;
  };
  consider(Ratio{});
  for (const Ratio r : kSplitRatios) consider(r);
  if (longest == 0) throw differs(common.front());
  // The ratio holds up to a day, and from there on the closes are equal.
  bool equalFromHere = out.ratio.one();
  for (const Common& c : common) {
    if (!equalFromHere) {
      if (agrees(c, out.ratio) && !agrees(c, Ratio{})) {
        out.through = c.day;
        continue;
      }
      equalFromHere = true;
    }
    if (!agrees(c, Ratio{})) throw differs(c);
  }
  if (out.ratio.one()) return out;

  // Stored days the file does not give: those up to the last day with the
  // ratio take it. When the closes never turned equal, a stored day after
  // that one may lie on either side of the split.
  auto it = file.rows.rbegin();
  for (const auto& [day, text] : stored) {
    while (it != file.rows.rend() && it->day < day) ++it;
    const bool given = it != file.rows.rend() && it->day == day;
    if (given) continue;
    if (day < out.through) {
      out.adjusted.emplace_back(day,
                                Scaled(text, StoredValue(text, day, shown), out.ratio, day, shown));
    } else if (day > out.through && common.back().day == out.through) {
      throw Refused{shown + ": デ-タ一覧の株価の " + RatioText(out.ratio) + " 倍ですが、" +
                    DateToStr(day) + " の株価がファイルにないため、分割がいつかが分かりません"};
    }
  }
  return out;
}

// The file's rows, or its refusal.
PriceFile ReadFile(const std::string& path) {
  try {
    return ReadPriceFile(path);
  } catch (const PriceFileError& e) {
    throw Refused{e.what()};
  }
}

// The code the file goes in under: the one given (asked for when the file
// names none, or two), else the file's own. A name given with the answer
// goes into f.name when none was given before.
std::string ChooseCode(ImportFile& f, const PriceFile& file, const std::string& shown,
                       const ImportHooks& hooks) {
  const bool twoCodes = !file.titleCode.empty() && file.titleCode != file.code;
  if (f.code.empty() && hooks.askCode && (file.code.empty() || twoCodes)) {
    std::string name;
    SplitAnswer(hooks.askCode(shown), f.code, name);
    if (f.code.empty())
      throw Refused{shown + ": 銘柄コードが入力されなかったので取り込みませんでした。"};
    if (f.name.empty()) f.name = name;
  }
  std::string code = file.code;
  if (!f.code.empty()) {
    code = NormalisedCode(f.code);
    if (code.empty())
      throw Refused{shown + ": 銘柄コードが正しくありません (" + CleanName(f.code) + ")"};
  } else if (twoCodes) {
    throw Refused{shown + ": " + IntToStr(file.titleLine) + "行目: ファイル名の銘柄コード " +
                  file.code + " と表題の銘柄コード " + file.titleCode +
                  " が違います。銘柄コードを指定して下さい。"};
  }
  if (code.empty())
    throw Refused{shown + ": 銘柄コードが分かりません。銘柄コードを指定して下さい。"};
  return code;
}

// The stock's heading, and the name given for it (empty when none was, or
// it held blanks only).
struct Naming {
  std::string given;
  std::string heading;
};

Naming NameStock(const ImportFile& f, const PriceFile& file, const std::string& code,
                 const std::string& shown) {
  Naming n;
  n.given = CleanName(f.name);
  const std::string name = n.given.empty() ? StockName(file, code) : n.given;
  n.heading = name.empty() ? code : code + " " + name;
  if (std::string refusal = NameRefusal(name); !refusal.empty())
    throw Refused{shown + ": " + refusal};
  return n;
}

// The stock's column in the list, 0 when it is new; refused when a new
// stock finds the list full or a code the placement compares does not read.
int StockColumn(const WorkTable& list, const std::string& code, const std::string& shown) {
  const int L = LastStockColumn(list);
  int column = 0;
  for (int j = 1; j <= L && column == 0; ++j)
    if (LeftBytes(list.cell(j, 0), 4) == code) column = j;
  if (column == 0 && L == kLastStockColumn) throw Refused{shown + ": " + ListFullMessage()};

  // Every code the placement compares must read, or it would stop half-way.
  try {
    CheckStockCodes(list, code);
  } catch (const ConversionError& e) {
    throw Refused{shown + ": " + e.what()};
  }
  return column;
}

// The list's days with the file's, and how many of the file's rows they take.
struct Placing {
  Axis axis;
  int taken = 0;
  ImportLeftOut leftOut;
};

Placing PlaceOnDays(const PriceFile& file, const std::vector<int>& days, bool newStock,
                    const std::string& shown) {
  std::vector<int> fileDays;
  fileDays.reserve(file.rows.size());
  for (const PriceRow& p : file.rows) fileDays.push_back(p.day);
  Placing out{NewAxis(days, fileDays), 0, ImportLeftOut{shown, {}, {}}};
  const Axis& axis = out.axis;
  // The file's days that have a row: a stock with none of them has nothing to
  // show. The others are older than the list can hold, or fall between its days.
  std::size_t i = 0;
  for (const PriceRow& p : file.rows) {
    while (i < axis.days.size() && axis.days[i] > p.day) ++i;
    if (i < axis.days.size() && axis.days[i] == p.day)
      ++out.taken;
    else
      (p.day < axis.days.back() ? out.leftOut.pastLimit : out.leftOut.offCalendar).add(p.day);
  }
  if (out.taken == 0) throw Refused{shown + ": デ-タ一覧の日付に当たる株価がありません"};
  // The chart's price scale averages the 25 days after the newest: a new
  // stock with fewer closes could be stored but never charted.
  if (newStock && out.taken < kFewestDays)
    throw Refused{shown + ": 株価が" + IntToStr(out.taken) + "日分しかありません (" +
                  IntToStr(kFewestDays) + "日以上必要です)"};
  return out;
}

// The list on the axis's days; the rows that dropped off are counted.
void TakeAxis(WorkingList& w, const Axis& axis, ImportSummary& s) {
  const bool reshaped = axis.top > 0 || axis.days.size() != w.days.size();
  if (!reshaped) return;
  s.dropped += static_cast<int>(w.days.size()) - axis.kept;
  for (std::size_t k = static_cast<std::size_t>(axis.kept); k < w.days.size(); ++k)
    s.droppedDays.add(w.days[k]);
  Reshape(w, axis);
}

// The column: the file's closes on their days; an existing stock keeps its
// own closes on days the file does not cover, those the split scales scaled.
std::vector<std::string> StockCells(const PriceFile& file, const WorkingList& w, int column,
                                    const std::string& heading, const SplitCheck& split) {
  const WorkTable& t = *w.table;
  const int m = static_cast<int>(w.days.size());
  std::vector<std::string> cells(static_cast<std::size_t>(m) + 1, kBlank);
  cells[0] = heading;
  if (column) {
    auto adjusted = split.adjusted.begin();  // oldest first, as the rows below run
    for (int r = m; r >= 1; --r) {
      const int day = w.days[static_cast<std::size_t>(r) - 1];
      while (adjusted != split.adjusted.end() && adjusted->first < day) ++adjusted;
      if (adjusted != split.adjusted.end() && adjusted->first == day)
        cells[static_cast<std::size_t>(r)] = adjusted->second;
      else if (!IsBlank(t.cell(column, r)))
        cells[static_cast<std::size_t>(r)] = t.cell(column, r);
    }
  }
  std::size_t i = 0;
  for (const PriceRow& p : file.rows) {
    while (i < w.days.size() && w.days[i] > p.day) ++i;
    if (i < w.days.size() && w.days[i] == p.day) cells[i + 1] = p.close;
  }
  return cells;
}

// Takes one file into the working list, or throws Refused having changed nothing.
void ImportOne(ImportFile f, WorkingList& w, ImportSummary& s, const ImportHooks& hooks,
               std::vector<StoredBar>& bars) {
  const std::string shown = ShownFileName(f.path);
  const PriceFile file = f.rows ? *f.rows : ReadFile(f.path);
  const std::string code = ChooseCode(f, file, shown, hooks);
  const Naming naming = NameStock(f, file, code, shown);
  const int column = StockColumn(*w.table, code, shown);
  const Placing placing = PlaceOnDays(file, w.days, column == 0, shown);
  const SplitCheck split =
      column ? CheckAgainstStored(file, w.days, *w.table, column, shown) : SplitCheck{};

  // From here on nothing can refuse the file.
  TakeAxis(w, placing.axis, s);
  WorkTable& t = *w.table;
  const int m = static_cast<int>(w.days.size());

  // A name given for a stock in the list renames it.
  const std::string heading = column && naming.given.empty() ? t.cell(column, 0) : naming.heading;
  if (column && heading != t.cell(column, 0))
    s.notes.push_back(shown + ": 見出しを「" + heading + "」にしました (前は「" +
                      t.cell(column, 0) + "」)");
  if (naming.given.empty() && !f.name.empty())
    s.notes.push_back(shown + ": 指定の名前は空白だけのため、見出しは変えません");
  std::vector<std::string> cells = StockCells(file, w, column, heading, split);
  if (placing.taken < static_cast<int>(file.rows.size())) {
    s.leftOut += static_cast<int>(file.rows.size()) - placing.taken;
    s.leftOutDays.push_back(placing.leftOut);
  }
  // The whole column is filled, the stored days with the file's: row m has
  // no day below it.
  s.filled += FillGaps(
      m - 1, [&](int r) -> const std::string& { return cells[static_cast<std::size_t>(r)]; },
      [&](int r, const std::string& text) { cells[static_cast<std::size_t>(r)] = text; });

  PlaceStockColumn(t, code, cells);
  // The list's width follows its stocks, so importing again writes the same bytes.
  t.setColCount(LastStockColumn(t) + 1);
  if (!split.adjusted.empty()) {
    s.adjustments.push_back({code,
                             shown,
                             split.ratio.num,
                             split.ratio.den,
                             split.adjusted.front().first,
                             split.through,
                             {},
                             {}});
    s.notes.push_back(AdjustmentNote(shown, split.ratio, split.through));
  }
  if (!split.note.empty()) s.notes.push_back(split.note);
  if (column)
    ++s.updated;
  else
    ++s.added;
  s.lastCode = code;
  // A file of candles keeps its open, high, low and volume in the price store.
  if (file.candles)
    for (const PriceRow& r : file.rows) {
      StoredBar b;
      b.code = code;
      b.day = r.day;
      b.open = r.open, b.high = r.high, b.low = r.low, b.volume = r.volume;
      b.close = std::strtod(r.close.c_str(), nullptr);
      b.source = PriceSource::Import;
      bars.push_back(std::move(b));
    }
}

}  // namespace

std::string ImportSummary::Headline() const {
  if (cancelled) return "取込を中止しました。デ-タ一覧は変わっていません。";
  if (!imported()) return "取込できませんでした。";
  std::string h = "取込完了: 追加 " + IntToStr(added) + "銘柄、更新 " + IntToStr(updated) +
                  "銘柄、補完 " + IntToStr(filled) + "日、除外 " + IntToStr(leftOut) + "日";
  if (dropped > 0) h += "、古い日付の削除 " + IntToStr(dropped) + "日";
  if (!refused.empty())
    h += "、取込不可 " + IntToStr(static_cast<long long>(refused.size())) + "ファイル";
  return h;
}

void ImportDays::add(int day) {
  oldest = count == 0 ? day : std::min(oldest, day);
  newest = count == 0 ? day : std::max(newest, day);
  ++count;
  if (count <= kNamed)
    days.insert(std::lower_bound(days.begin(), days.end(), day), day);
  else
    days.clear();
}

std::string ImportDays::Text() const {
  if (count > kNamed) return DateToStr(oldest) + "〜" + DateToStr(newest);
  std::string t;
  for (int day : days) t += (t.empty() ? "" : "、") + DateToStr(day);
  return t;
}

std::string ImportSummary::Message() const {
  std::string t = Headline();
  if (imported()) {
    // Which days, and why: "除外 3日: ..." names one reason with its days,
    // two reasons each with its count.
    const std::string limit = IntToStr(stocklist::kLastDayRow) + "日の上限";
    if (droppedDays.count > 0)
      t += "\r古い日付の削除 " + IntToStr(droppedDays.count) + "日: " + limit +
           "を超えた最も古い日 (" + droppedDays.Text() + ")";
    for (const ImportLeftOut& l : leftOutDays) {
      const bool both = l.pastLimit.count > 0 && l.offCalendar.count > 0;
      const auto reason = [both](const std::string& why, const ImportDays& d) {
        return why + (both ? " " + IntToStr(d.count) + "日" : std::string()) + " (" + d.Text() +
               ")";
      };
      std::string line =
          l.file + ": 除外 " + IntToStr(l.pastLimit.count + l.offCalendar.count) + "日: ";
      if (l.pastLimit.count > 0) line += reason(limit + "より古い日", l.pastLimit);
      if (both) line += "、";
      if (l.offCalendar.count > 0) line += reason("デ-タ一覧の営業日にない日", l.offCalendar);
      t += "\r" + line;
    }
  }
  for (const std::string& n : notes) t += "\r" + n;
  return t;
}

std::string ImportSummary::Text() const {
  std::string t = Message();
  for (const ImportRefusal& r : refused) t += "\r" + r.message;
  for (const std::string& e : errors) t += "\r" + e;
  return t;
}

ImportSummary PriceImport::Run(const std::vector<ImportFile>& files, const ImportHooks& hooks) {
  WaitCursor wait(ws_.platform);
  ImportSummary s;
  WorkingList w;
  try {
    w = BaseList(ws_);
  } catch (const Refused& r) {
    for (const ImportFile& f : files)
      s.refused.push_back({f.path, ShownFileName(f.path) + ": " + r.message});
    return s;
  }

  std::vector<StoredBar> bars;  // for the price store, once the list is saved
  const int total = static_cast<int>(files.size());
  for (int i = 0; i < total; ++i) {
    const ImportFile& f = files[static_cast<std::size_t>(i)];
    if (hooks.progress && !hooks.progress(i, total, ShownFileName(f.path))) {
      ImportSummary stopped;
      stopped.cancelled = true;
      return stopped;
    }
    try {
      ImportOne(f, w, s, hooks, bars);
    } catch (const Refused& r) {
      s.refused.push_back({f.path, r.message});
    }
  }
  if (hooks.progress) hooks.progress(total, total, {});
  if (!s.imported()) return s;
  s.dropped += static_cast<int>(w.cut.size());
  for (int day : w.cut) s.droppedDays.add(day);

  // Nothing was imported when the list itself cannot be written.
  ListSave saved =
      SaveWorkingList(ws_, w, s.adjustments.empty() ? "import" : "adjust", s.adjustments);
  s.errors.insert(s.errors.end(), saved.errors.begin(), saved.errors.end());
  if (!saved.saved) {
    s.added = s.updated = s.filled = s.leftOut = s.dropped = 0;
    s.leftOutDays.clear();
    s.droppedDays = {};
    s.lastCode.clear();
    s.adjustments.clear();
    s.notes.clear();
    return s;
  }
  const std::vector<std::string> kept = KeepPrices(bars);
  s.notes.insert(s.notes.end(), kept.begin(), kept.end());
  return s;
}

}  // namespace tavrine
