#include "list/list_edit.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

#include "list/list_work.h"
#include "list/placement.h"
#include "store/codec.h"
#include "store/paths.h"
#include "store/save_guard.h"
#include "store/table_file.h"
#include "store/text.h"

namespace tavrine {

namespace {

namespace fs = std::filesystem;

std::string LocalStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
  return buf;
}

// The action a backup was taken before, as the user knows it.
std::string ActionName(const std::string& backup) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"import", "取込"},       {"adjust", "分割調整"}, {"update", "一括更新"},
      {"rename", "銘柄名変更"}, {"remove", "削除"},     {"add", "銘柄追加"}};
  const std::size_t at = backup.find('_');
  const std::string action =
      at == std::string::npos ? std::string() : backup.substr(at + 1, backup.size() - at - 5);
  for (const auto& [word, name] : kNames)
    if (action == word) return name;
  return action;
}

}  // namespace

std::vector<std::string> StockListBackups() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(RootPath(kListBackupFolder), ec))
    if (e.path().extension() == ".csv")  // one that is no file is refused by Undo
      names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end(), std::greater<>());
  return names;
}

std::string BackUpStockList(const std::string& action) {
  const std::string list = HomePath(kStockListFile);
  if (!FileExists(list)) return {};
  // A list another program changed since it was read is refused here, before
  // reading it again could make its change look like our own.
  CheckBeforeSave(list);
  const std::string bytes = ReadBytes(list);
  const fs::path folder = RootPath(kListBackupFolder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  // The time, then a count of the backups of the same second, so that the
  // names sort by age.
  const std::string stamp = LocalStamp();
  int same = 0;
  for (const std::string& n : StockListBackups()) same += n.compare(0, stamp.size(), stamp) == 0;
  char count[8];
  std::snprintf(count, sizeof count, "-%02d", std::min(same, 99));
  const std::string name = stamp + count + "_" + action + ".csv";
  WriteBytes((folder / name).string(), bytes);
  const auto names = StockListBackups();
  for (std::size_t i = kListBackupsKept; i < names.size(); ++i) fs::remove(folder / names[i], ec);
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

ListEdit ListEdits::Undo() {
  const auto names = StockListBackups();
  if (names.empty()) return {false, "元に戻せる変更がありません。"};
  const std::string backup = (fs::path(RootPath(kListBackupFolder)) / names.front()).string();
  // Only a file this program wrote there: a link (or anything else planted in
  // the folder) would put some other file in the list's place.
  std::error_code kind;
  if (!fs::is_regular_file(fs::symlink_status(backup, kind)))
    return {false,
            "元に戻せませんでした。\r" + names.front() + " は控えのファイルではありません。"};
  WorkTable restored("StockList", 200, 1);
  try {
    // Read as the start-up reads the list, before anything is replaced.
    LoadTableFile(restored, backup, 200);
    WriteBytes(HomePath(kStockListFile), ReadBytes(backup));
  } catch (const FileError& e) {
    return {false, std::string("元に戻せませんでした。\r") + e.what()};
  }
  ClearQuotedBlanks(restored);
  ws_.StockList = restored;
  std::error_code ec;
  fs::remove(backup, ec);
  return {true, "デ-タ一覧を「" + ActionName(names.front()) + "」の前に戻しました。"};
}

}  // namespace tavrine
