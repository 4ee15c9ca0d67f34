#include "list/list_edit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

#include "list/calendar_file.h"
#include "list/list_work.h"
#include "list/placement.h"
#include "store/codec.h"
#include "store/paths.h"
#include "store/save_guard.h"
#include "store/stock_list_file.h"
#include "store/table_file.h"
#include "store/text.h"

namespace tavrine {

namespace {

namespace fs = std::filesystem;

// A backup is one set of files in the backup folder, all named by the stem
// "SEQUENCE_TIME_ACTION" ("00000012_20261209-180501_import"):
//   STEM.csv     a header line, then the list's bytes;
//   STEM.hizuke  the calendar's bytes, when the header says it was there;
//   STEM.code    code.txt's bytes, likewise.
// The sequence number orders the backups; the time is only for people, as a
// clock set back or a new time zone must not reorder them. The last number
// given out is kept in the folder, so numbers never repeat while it stays.
// A backup of action "redo-X" holds what an undo of X replaced.
constexpr const char* kSequenceFile = "sequence.txt";
constexpr const char* kHeaderWord = "#tavrine-backup";
constexpr const char* kRedoPrefix = "redo-";
constexpr std::size_t kSequenceDigits = 8;

std::string LocalStamp() { return LocalTimeText("%Y%m%d-%H%M%S"); }

fs::path BackupFolder() { return HomePath(kListBackupFolder); }

// The action part of a backup's name: after its last '_', without ".csv".
std::string ActionOf(const std::string& backup) {
  const std::size_t at = backup.rfind('_');
  if (at == std::string::npos || backup.size() < at + 5) return {};
  return backup.substr(at + 1, backup.size() - at - 5);
}

bool IsRedo(const std::string& backup) { return ActionOf(backup).rfind(kRedoPrefix, 0) == 0; }

// The action a backup was taken before, as the user knows it.
std::string ActionName(const std::string& backup) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"import", "取込"},       {"adjust", "分割調整"}, {"update", "一括更新"},
      {"rename", "銘柄名変更"}, {"remove", "削除"},     {"add", "銘柄追加"}};
  std::string action = ActionOf(backup);
  if (action.rfind(kRedoPrefix, 0) == 0) action.erase(0, std::strlen(kRedoPrefix));
  for (const auto& [word, name] : kNames)
    if (action == word) return name;
  return action;
}

// The sequence number in a backup's name (at least kSequenceDigits digits,
// then '_'); 0 for a name without one (one written by an older version of the
// program, older than any numbered one).
std::uint64_t SequenceOf(const std::string& name) {
  const std::size_t end = name.find('_');
  if (end == std::string::npos || end < kSequenceDigits || end > 18) return 0;
  std::uint64_t n = 0;
  for (std::size_t i = 0; i < end; ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + static_cast<std::uint64_t>(name[i] - '0');
  }
  return n;
}

// The backups' list files, newest first.
std::vector<std::string> AllBackups() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(BackupFolder(), ec))
    if (e.path().extension() == ".csv")  // one that is no file is refused by Undo
      names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::uint64_t sa = SequenceOf(a), sb = SequenceOf(b);
    return sa != sb ? sa > sb : a > b;
  });
  return names;
}

std::vector<std::string> BackupsOfKind(bool redo) {
  std::vector<std::string> out;
  for (std::string& n : AllBackups())
    if (IsRedo(n) == redo) out.push_back(std::move(n));
  return out;
}

std::string Stem(const std::string& name) { return name.substr(0, name.size() - 4); }

void RemoveBackup(const std::string& name) {
  std::error_code ec;
  const fs::path folder = BackupFolder();
  for (const char* ext : {".csv", ".hizuke", ".code"}) fs::remove(folder / (Stem(name) + ext), ec);
}

// A file's bytes without noting them for the save guard; present is false
// when there is no file. Throws FileError for one that cannot be read whole.
std::string ReadCopy(const std::string& path, bool& present) {
  std::error_code ec;
  present = fs::exists(fs::symlink_status(path, ec));
  return present ? ReadCopyBytes(path) : std::string();
}

// "SIZE:HASH" of a file's bytes, "-" for a file that was not there.
std::string Fingerprint(bool present, std::string_view bytes) {
  if (!present) return "-";
  return std::to_string(bytes.size()) + ":" + std::to_string(BytesHash(bytes));
}

// The next sequence number: one past both the kept one and every name's,
// so that a lost or damaged sequence file never gives out an old number.
std::uint64_t NextSequence() {
  const fs::path file = BackupFolder() / kSequenceFile;
  std::uint64_t last = 0;
  bool present = false;
  try {
    std::string text = ReadCopy(file.string(), present);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (!text.empty() && text.size() <= 18 &&
        text.find_first_not_of("0123456789") == std::string::npos)
      last = std::stoull(text);
  } catch (const FileError&) {
  }
  for (const std::string& n : AllBackups()) last = std::max(last, SequenceOf(n));
  return last + 1;
}

// The list (and the calendar and code list with it) copied as a new backup
// of `action`; "" when there is no list. Throws FileError.
std::string TakeBackup(const std::string& action) {
  const std::string list = HomePath(kStockListFile);
  if (!FileExists(list)) return {};
  // A list another program changed since it was read is refused here, before
  // reading it again could make its change look like our own.
  CheckBeforeSave(list);
  const std::string bytes = ReadCopyBytes(list);
  bool hizukePresent = false, codePresent = false;
  const std::string hizuke = ReadCopy(RootPath(calendar::kFile), hizukePresent);
  const std::string code = ReadCopy(RootPath(kCodeListFile), codePresent);

  const fs::path folder = BackupFolder();
  std::error_code ec;
  fs::create_directories(folder, ec);
  const std::uint64_t seq = NextSequence();
  char number[24];
  std::snprintf(number, sizeof number, "%0*llu", static_cast<int>(kSequenceDigits),
                static_cast<unsigned long long>(seq));
  const std::string stem = std::string(number) + "_" + LocalStamp() + "_" + action;
  WriteBytes((folder / kSequenceFile).string(), std::to_string(seq) + "\r\n");
  // The header promises the list part whole: its lines, size and hash.
  const std::string header =
      std::string(kHeaderWord) + " lines=" + std::to_string(SplitLineViews(bytes).size()) +
      " list=" + Fingerprint(true, bytes) + " hizuke=" + Fingerprint(hizukePresent, hizuke) +
      " code=" + Fingerprint(codePresent, code) + "\r\n";
  try {
    if (hizukePresent) WriteBytes((folder / (stem + ".hizuke")).string(), hizuke);
    if (codePresent) WriteBytes((folder / (stem + ".code")).string(), code);
    WriteBytes((folder / (stem + ".csv")).string(), header + bytes);
  } catch (const FileError&) {
    RemoveBackup(stem + ".csv");
    throw;
  }
  return stem + ".csv";
}

// Keeps the newest kListBackupsKept of one kind.
void Prune(bool redo) {
  const auto names = BackupsOfKind(redo);
  for (std::size_t i = kListBackupsKept; i < names.size(); ++i) RemoveBackup(names[i]);
}

// One backup read back and checked whole.
struct BackupSet {
  std::string list;  // the list's bytes
  bool hasHizuke = false, hasCode = false;
  std::string hizuke, code;
};

// The value of "KEY=" in a header line, "" when it is missing.
std::string HeaderValue(std::string_view header, const std::string& key) {
  const std::string word = " " + key + "=";
  const std::size_t at = header.find(word);
  if (at == std::string_view::npos) return {};
  const std::size_t from = at + word.size();
  return std::string(header.substr(from, header.find(' ', from) - from));
}

// Reads a backup; throws FileError naming it when any part is not there as
// its header promises or the list part is no whole list. A backup from
// before the header is taken when it reads as a whole list.
BackupSet ReadBackup(const std::string& name) {
  const fs::path folder = BackupFolder();
  const std::string broken = name + " は壊れているか、このプログラムの控えの形式ではありません";
  bool present = false;
  const std::string all = ReadCopy((folder / name).string(), present);
  if (!present) throw FileError(broken + "（ファイルがありません）。");
  BackupSet set;
  std::string header;
  if (all.compare(0, std::strlen(kHeaderWord), kHeaderWord) == 0) {
    const std::size_t eol = all.find("\r\n");
    if (eol == std::string::npos) throw FileError(broken + "（見出しの行が不完全です）。");
    header = all.substr(0, eol);
    set.list = all.substr(eol + 2);
    if (HeaderValue(header, "lines") != std::to_string(SplitLineViews(set.list).size()) ||
        HeaderValue(header, "list") != Fingerprint(true, set.list))
      throw FileError(broken + "（見出しの行数・大きさと中身が合いません）。");
  } else {
    set.list = all;
  }
  // A heading line, then lines that start with a date; only blank lines may
  // follow the last day.
  const auto lines = SplitLineViews(set.list);
  auto blankLine = [](std::string_view l) {
    return l.find_first_not_of(", \"") == std::string_view::npos;
  };
  if (lines.empty() || blankLine(lines[0]))
    throw FileError(broken + "（1 行目に見出しがありません）。");
  bool blankTail = false;
  for (std::size_t r = 1; r < lines.size(); ++r) {
    if (blankLine(lines[r])) {
      blankTail = true;
      continue;
    }
    std::string_view field = lines[r].substr(0, lines[r].find(','));
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
      field = field.substr(1, field.size() - 2);
    int days = 0;
    if (blankTail || !TryParseDate(field, days))
      throw FileError(broken + "（" + std::to_string(r + 1) + " 行目の日付が正しくありません）。");
  }
  if (header.empty()) return set;  // the list alone
  auto part = [&](const char* key, const char* ext, bool& has, std::string& bytes) {
    const std::string promised = HeaderValue(header, key);
    if (promised.empty()) throw FileError(broken + "（見出しの行が不完全です）。");
    has = promised != "-";
    if (!has) return;
    bool there = false;
    bytes = ReadCopy((folder / (Stem(name) + ext)).string(), there);
    if (!there || Fingerprint(true, bytes) != promised)
      throw FileError(broken + "（" + Stem(name) + ext + " が欠けているか中身が違います）。");
  };
  part("hizuke", ".hizuke", set.hasHizuke, set.hizuke);
  part("code", ".code", set.hasCode, set.code);
  return set;
}

}  // namespace

std::vector<std::string> StockListBackups() { return BackupsOfKind(false); }
std::vector<std::string> StockListRedos() { return BackupsOfKind(true); }

std::string BackUpStockList(const std::string& action) {
  const std::string name = TakeBackup(action);
  if (name.empty()) return name;
  // A new change ends the way forward: what undos replaced cannot be put
  // back over it.
  for (const std::string& n : StockListRedos()) RemoveBackup(n);
  Prune(false);
  return name;
}

int ListEdits::TakeStocksPastList() {
  const WorkTable disk = StockListOnDisk();
  WorkTable& list = ws_.StockList;
  int last = LastStockColumn(list);
  if (StocksPastList(disk).empty()) return last;
  // Columns 198 and 199 as the file has them: in memory the scratch column
  // may hold a collected series in place of the file's stock.
  for (int c = kLastStockColumn + 1; c <= stocklist::kScratchColumn; ++c) {
    for (int r = 0; r < list.rowCount(); ++r) list.set(c, r, disk.cell(c, r));
    if (!IsBlankWide(disk.cell(c, 0))) last = c;
  }
  return last;
}

int ListEdits::ColumnOf(const std::string& code, int last) const {
  for (int c = 1; c <= last; ++c)
    if (!IsBlankWide(ws_.StockList.cell(c, 0)) && LeftBytes(ws_.StockList.cell(c, 0), 4) == code)
      return c;
  return 0;
}

ListEdit ListEdits::Save(const WorkTable& before, const std::string& action, bool codeList,
                         const std::string& doneMessage) {
  try {
    BackUpStockList(action);
    SaveTableFile(ws_.StockList, HomePath(kStockListFile));
  } catch (const FileError& e) {
    ws_.StockList = before;
    return {false, std::string("デ-タ一覧を保存できませんでした。\r") + e.what()};
  }
  if (codeList && fs::is_directory(RootPath(kCodeListFolder))) {
    try {
      WriteText(RootPath(kCodeListFile), CodeText(ws_.StockList, LastStockColumn(ws_.StockList)));
    } catch (const FileError& e) {
      return {true,
              doneMessage +
                  "\rデ-タ一覧は保存しましたが、収集銘柄一覧 code.txt を保存できませんでした。\r" +
                  e.what()};
    }
  }
  return {true, doneMessage};
}

std::optional<ListEdit> ListEdits::FindStock(const std::string& code, const WorkTable& before,
                                             int& column, int& last) {
  try {
    last = TakeStocksPastList();
  } catch (const FileError& e) {
    ws_.StockList = before;
    return ListEdit{false, std::string("デ-タ一覧を読めませんでした。\r") + e.what()};
  }
  column = ColumnOf(code, last);
  if (column == 0) {
    ws_.StockList = before;
    return ListEdit{false, "銘柄コード " + code + " はデ-タ一覧にありません。"};
  }
  return std::nullopt;
}

ListEdit ListEdits::Rename(const std::string& code, const std::string& name) {
  const WorkTable before = ws_.StockList;
  int c = 0, last = 0;
  if (auto refused = FindStock(code, before, c, last)) return *refused;
  std::string clean = name;
  while (!clean.empty() && (clean.back() == ' ' || clean.back() == '\t')) clean.pop_back();
  while (!clean.empty() && (clean.front() == ' ' || clean.front() == '\t')) clean.erase(0, 1);
  if (clean.empty() || clean.find_first_of("\r\n\t,\"") != std::string::npos) {
    ws_.StockList = before;
    return {false, "銘柄名に使えない文字があります (" + name + ")"};
  }
  if (std::string refusal = NameRefusal(clean); !refusal.empty()) {
    ws_.StockList = before;
    return {false, refusal};
  }
  const std::string heading = code + " " + clean;
  ws_.StockList.set(c, 0, heading);
  // The width the file has: the last stock column and the empty one after it.
  ws_.StockList.setColCount(std::min(last + 2, 200));
  return Save(before, "rename", false, "銘柄名を変更しました: " + heading);
}

ListEdit ListEdits::Remove(const std::string& code) {
  const WorkTable before = ws_.StockList;
  int c = 0, last = 0;
  if (auto refused = FindStock(code, before, c, last)) return *refused;
  WorkTable& list = ws_.StockList;
  const std::string heading = list.cell(c, 0);
  const int rows = list.rowCount();
  // Every later stock moves one column left, those past the list proper too.
  for (int k = c; k < last; ++k)
    for (int r = 0; r < rows; ++r) list.set(k, r, list.cell(k + 1, r));
  for (int r = 0; r < rows; ++r) list.set(last, r, "");
  // The width the file had, one stock fewer.
  list.setColCount(last + 1);
  return Save(before, "remove", true, "デ-タ一覧から削除しました: " + heading);
}

ListEdit ListEdits::Undo() { return Restore(false); }
ListEdit ListEdits::Redo() { return Restore(true); }

ListEdit ListEdits::Restore(bool redo) {
  const std::string failed = redo ? "やり直せませんでした。\r" : "元に戻せませんでした。\r";
  const auto names = BackupsOfKind(redo);
  if (names.empty())
    return {false, redo ? "やり直せる変更がありません。" : "元に戻せる変更がありません。"};
  const std::string& name = names.front();
  const std::string backup = (BackupFolder() / name).string();
  // Only a file this program wrote there: a link (or anything else planted in
  // the folder) would put some other file in the list's place.
  std::error_code kind;
  if (!fs::is_regular_file(fs::symlink_status(backup, kind)))
    return {false, failed + name + " は控えのファイルではありません。"};
  const std::string listPath = HomePath(kStockListFile);
  const std::string hizukePath = RootPath(calendar::kFile);
  const std::string codePath = RootPath(kCodeListFile);
  BackupSet set;
  WorkTable restored("StockList", 200, 1);
  std::string kept;
  try {
    set = ReadBackup(name);
    // Read as the start-up reads the list, before anything is replaced.
    ReadStockList(restored, set.list, name);
    // Every file about to be replaced is as this program last saw it.
    CheckBeforeSave(listPath);
    if (set.hasHizuke) CheckBeforeSave(hizukePath);
    if (set.hasCode) CheckBeforeSave(codePath);
    // What is replaced is kept, so that this step can be taken back.
    const std::string action = ActionOf(name);
    kept = TakeBackup(redo ? action.substr(std::strlen(kRedoPrefix)) : kRedoPrefix + action);
    WriteBytes(listPath, set.list);
  } catch (const FileError& e) {
    if (!kept.empty()) RemoveBackup(kept);
    return {false, failed + e.what()};
  }
  Prune(!redo);
  ClearQuotedBlanks(restored);
  ws_.StockList = restored;
  RemoveBackup(name);

  std::string message = redo ? "「" + ActionName(name) + "」をやり直しました。"
                             : "デ-タ一覧を「" + ActionName(name) + "」の前に戻しました。";
  // The calendar and the code list as they stood with that list.
  if (set.hasHizuke) {
    try {
      WriteBytes(hizukePath, set.hizuke);
      calendar::Load(ws_);
    } catch (const std::exception& e) {
      message +=
          "\rただし、営業日カレンダー hizuke.csv を戻せませんでした。\r" + std::string(e.what());
    }
  }
  if (set.hasCode) {
    try {
      WriteBytes(codePath, set.code);
    } catch (const FileError& e) {
      message += "\rただし、収集銘柄一覧 code.txt を戻せませんでした。\r" + std::string(e.what());
    }
  }
  return {true, message};
}

}  // namespace tavrine
