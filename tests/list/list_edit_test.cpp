// Renames and removals of listed stocks, and the way back from any change of
// the list: the file comes back byte for byte, five backups are kept, and a
// failed save or a backup that does not read changes nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "../support/data_folder.h"
#include "../support/recording_platform.h"
#include "app/list_actions.h"
#include "app/workspace.h"
#include "list/list_edit.h"
#include "store/codec.h"
#include "store/control_cells.h"
#include "store/save_guard.h"
#include "store/table_file.h"

namespace tavrine {
namespace {

using testing::DataFolder;
using testing::ReadFileBytes;
using testing::RecordingPlatform;
using testing::WriteFileBytes;

class ListEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(folder.path("デ-タ一覧.csv"),
                   Utf8ToCp932("日付,\"1301 極洋\",\"7203 トヨタ\",\"9984 ソフト\",\r\n"
                               "2003/12/26,101,201,301,\r\n2003/12/25,102,202,302,\r\n"));
    original = ReadFileBytes(folder.path("デ-タ一覧.csv"));
    ws.dispatch("Button52", Event{});
  }
  std::string listBytes() { return ReadFileBytes(folder.path("デ-タ一覧.csv")); }

  DataFolder folder;
  RecordingPlatform platform;
  Workspace ws{platform};
  std::string original;
};

TEST_F(ListEditTest, EachChangeCanBeUndoneBackToTheSameBytes) {
  ListEdits edits(ws);
  EXPECT_TRUE(edits.Rename("7203", "トヨタ自動車").done);
  EXPECT_EQ(ws.StockList.cell(2, 0), "7203 トヨタ自動車");
  const std::string renamed = listBytes();
  EXPECT_TRUE(edits.Remove("1301").done);
  EXPECT_EQ(ws.StockList.cell(1, 0), "7203 トヨタ自動車");
  EXPECT_EQ(ws.StockList.cell(2, 1), "301");
  EXPECT_TRUE(IsBlank(ws.StockList.cell(3, 0)));

  EXPECT_TRUE(edits.Undo().done);
  EXPECT_EQ(listBytes(), renamed);
  EXPECT_EQ(ws.StockList.cell(1, 0), "1301 極洋");
  EXPECT_TRUE(edits.Undo().done);
  EXPECT_EQ(listBytes(), original);
  EXPECT_EQ(ws.StockList.cell(2, 0), "7203 トヨタ");
  const ListEdit none = edits.Undo();
  EXPECT_FALSE(none.done);
  EXPECT_EQ(listBytes(), original);
}

TEST_F(ListEditTest, TheNewestFiveAreKept) {
  ListEdits edits(ws);
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(edits.Rename("1301", "名前" + std::to_string(i)).done);
  const auto names = StockListBackups();
  ASSERT_EQ(names.size(), 5u);
  // The newest backup holds the list before the last rename.
  EXPECT_NE(
      ReadFileBytes(folder.path("tavrine/backup/" + names.front())).find(Utf8ToCp932("1301 名前5")),
      std::string::npos);
}

TEST_F(ListEditTest, RefusalsAndFailuresChangeNothing) {
  ListEdits edits(ws);
  EXPECT_FALSE(edits.Rename("4444", "何か").done);
  EXPECT_FALSE(edits.Rename("1301", "A,B").done);
  EXPECT_FALSE(edits.Rename("1301", " ").done);
  // A character Shift-JIS cannot hold would be saved as '?'.
  EXPECT_EQ(edits.Rename("1301", "極洋🐟").message,
            "銘柄名の「🐟」はShift-JISのデータ一覧に保存できない文字です (極洋🐟)");
  EXPECT_FALSE(edits.Rename("1301", "\u00E9clair").done);
  EXPECT_TRUE(edits.Rename("1301", "髙島屋①").done);  // NEC and IBM extensions are Shift-JIS
  ASSERT_TRUE(edits.Undo().done);
  EXPECT_FALSE(edits.Remove("4444").done);
  EXPECT_EQ(listBytes(), original);
  EXPECT_TRUE(StockListBackups().empty());

  // A list that cannot be written: the table is put back.
  std::filesystem::permissions(
      folder.path(""), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const ListEdit failed = edits.Rename("1301", "新");
  std::filesystem::permissions(folder.path(""), std::filesystem::perms::owner_all);
  if (::geteuid() != 0) {  // root writes anyway
    EXPECT_FALSE(failed.done);
    EXPECT_EQ(ws.StockList.cell(1, 0), "1301 極洋");
    EXPECT_EQ(listBytes(), original);
  }

  // A backup that does not read (a folder in its place) is never put in place;
  // its number makes it the newest.
  const std::string newest = "tavrine/backup/99999999_20991231-235959_import.csv";
  std::filesystem::create_directories(folder.path(newest));
  const std::string before = listBytes();
  const ListEdit bad = edits.Undo();
  EXPECT_FALSE(bad.done);
  EXPECT_EQ(listBytes(), before);
  // Nor is a link planted there, whatever it leads to.
  std::filesystem::remove(folder.path(newest));
  WriteFileBytes(folder.path("elsewhere.csv"), "日付,x\r\n");
  std::filesystem::create_symlink(folder.path("elsewhere.csv"), folder.path(newest));
  EXPECT_FALSE(edits.Undo().done);
  EXPECT_EQ(listBytes(), before);
}

TEST(ListActions, RemovingTheChartedStockChartsTheOneAfterIt) {
  DataFolder folder;
  folder.touch("pullbox/pullbox.exe");
  folder.touch("listwerk/listwerk.exe");
  folder.writeLines("memo.txt", {"7203"});
  std::string list = "日付,\"1301 極洋\",\"7203 トヨタ\",\"9984 ソフト\"\r\n";
  int day = DaysFromCivil(2003, 12, 26);
  for (int r = 0; r < 40; ++r, --day)
    list += DateToStr(day) + "," + IntToStr(100 + r) + "," + IntToStr(200 + r) + "," +
            IntToStr(300 + r) + "\r\n";
  WriteFileBytes(folder.path("デ-タ一覧.csv"), Utf8ToCp932(list));
  RecordingPlatform platform;
  Workspace ws(platform);
  ws.dispatch("Button52", Event{});
  ASSERT_TRUE(ws.selectCode("7203"));

  // The charted one gives its place to the next.
  EXPECT_TRUE(RemoveStock(ws, "7203"));
  EXPECT_EQ(ws.form.text("Edit1"), "9984");
  EXPECT_EQ(LeftBytes(ws.SeriesTable.cell(ctl::Heading), 4), "9984");
  // The last one charted gives its place to the one before.
  EXPECT_TRUE(RemoveStock(ws, "9984"));
  EXPECT_EQ(ws.form.text("Edit1"), "1301");
  // A rename keeps the stock on the chart.
  ASSERT_TRUE(RenameStock(ws, "1301", "極洋水産"));
  EXPECT_EQ(ws.form.text("Edit1"), "1301");
}

// A rename or a removal keeps the file's width (last stock column + 2), and a
// list with stocks in columns 198 and 199 keeps every stock.
TEST(ListEditShape, RenameAndRemoveKeepTheWidthAndEveryStock) {
  DataFolder folder;
  std::string heading = "日付";
  std::string row = "2003/12/26";
  for (int c = 1; c <= 199; ++c) {
    heading += "," + std::to_string(1000 + c);
    row += "," + std::to_string(c);
  }
  WriteFileBytes(folder.path("デ-タ一覧.csv"), Utf8ToCp932(heading + ",\r\n" + row + ",\r\n"));
  RecordingPlatform platform;
  Workspace ws{platform};
  ws.dispatch("Button52", Event{});
  // The scratch column holding some collected series must not stand in for
  // the file's stock 1199.
  ws.StockList.set(199, 0, "9999 収集");
  ListEdits edits(ws);
  const ListEdit removed = edits.Remove("1005");
  ASSERT_TRUE(removed.done) << removed.message;
  const WorkTable saved = [&] {
    WorkTable t("t", 200, 1);
    LoadTableFile(t, folder.path("デ-タ一覧.csv"), 300);
    return t;
  }();
  EXPECT_EQ(saved.cell(5, 0), "1006");
  EXPECT_EQ(saved.cell(197, 0), "1198");
  EXPECT_EQ(saved.cell(198, 0), "1199");
  EXPECT_EQ(saved.cell(198, 1), "199");
  EXPECT_TRUE(IsBlank(saved.cell(199, 0)));

  // A short list: 12 fields a line stay 12 after a rename.
  DataFolder small;
  std::string h = "日付", r = "2003/12/26";
  for (int c = 1; c <= 10; ++c) {
    h += "," + std::to_string(1000 + c);
    r += "," + std::to_string(c);
  }
  WriteFileBytes(small.path("デ-タ一覧.csv"), Utf8ToCp932(h + ",\r\n" + r + ",\r\n"));
  RecordingPlatform p2;
  Workspace ws2{p2};
  ws2.dispatch("Button52", Event{});
  ListEdits edits2(ws2);
  ASSERT_TRUE(edits2.Rename("1003", "三").done);
  const std::string bytes = ReadFileBytes(small.path("デ-タ一覧.csv"));
  EXPECT_EQ(bytes.substr(bytes.find("\r\n") + 2), r + ",\r\n");
}

// The way back runs the checks of every save: a backup that does not read as
// a whole list is never put in place, a file another program changed is not
// written over, and what an undo replaces is kept so that it can be redone.
class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(folder.path("tavrine/hizuke.csv"), "2003/12/26\r\n2003/12/25\r\n");
    WriteFileBytes(folder.path("listwerk/kabuka/code.txt"), "1301\r\n7203\r\n");
    WriteFileBytes(folder.path("デ-タ一覧.csv"),
                   Utf8ToCp932("日付,\"1301 極洋\",\"7203 トヨタ\",\r\n"
                               "2003/12/26,101,201,\r\n2003/12/25,102,202,\r\n"));
    EnableSaveGuard("undo-test");
    ws.dispatch("Button52", Event{});
  }
  void TearDown() override { DisableSaveGuard(); }
  std::string bytesOf(const std::string& rel) { return ReadFileBytes(folder.path(rel)); }
  // The three files an undo puts back, as they stand.
  std::vector<std::string> files() {
    return {bytesOf("デ-タ一覧.csv"), bytesOf("tavrine/hizuke.csv"),
            bytesOf("listwerk/kabuka/code.txt")};
  }
  // A change of all three as an import makes it: backed up, then saved by
  // this program.
  void importLike(const std::string& day) {
    BackUpStockList("import");
    WriteBytes(folder.path("tavrine/hizuke.csv").string(),
               day + "\r\n" + bytesOf("tavrine/hizuke.csv"));
    WriteBytes(folder.path("listwerk/kabuka/code.txt").string(),
               bytesOf("listwerk/kabuka/code.txt") + "9984\r\n");
    const std::string list = bytesOf("デ-タ一覧.csv");
    const std::size_t eol = list.find("\r\n") + 2;
    WriteBytes(folder.path("デ-タ一覧.csv").string(),
               list.substr(0, eol) + day + ",100,200,\r\n" + list.substr(eol));
  }
  std::string newestBackup() {
    return folder.path("tavrine/backup/" + StockListBackups().front()).string();
  }

  DataFolder folder;
  RecordingPlatform platform;
  Workspace ws{platform};
};

TEST_F(UndoTest, UndoPutsBackTheCalendarAndCodeListAndCanBeRedone) {
  const auto original = files();
  importLike("2003/12/29");
  const auto imported = files();
  ASSERT_NE(imported, original);

  const ListEdit undone = ListEdits(ws).Undo();
  ASSERT_TRUE(undone.done) << undone.message;
  EXPECT_EQ(files(), original);
  EXPECT_EQ(ws.StockList.cell(0, 1), "2003/12/26");
  EXPECT_EQ(ws.DateTable.cell(0, 0), "2003/12/26");  // the calendar read again
  EXPECT_EQ(StockListRedos().size(), 1u);

  const ListEdit redone = ListEdits(ws).Redo();
  ASSERT_TRUE(redone.done) << redone.message;
  EXPECT_NE(redone.message.find("取込"), std::string::npos);
  EXPECT_EQ(files(), imported);
  EXPECT_EQ(ws.StockList.cell(0, 1), "2003/12/29");
  EXPECT_FALSE(ListEdits(ws).Redo().done);

  // Undo, redo and undo again walk the same steps.
  ASSERT_TRUE(ListEdits(ws).Undo().done);
  EXPECT_EQ(files(), original);
  // A new change ends the way forward: the undone import is not put back
  // over it.
  ASSERT_TRUE(ListEdits(ws).Rename("1301", "極洋水産").done);
  const ListEdit none = ListEdits(ws).Redo();
  EXPECT_FALSE(none.done);
  EXPECT_EQ(none.message, "やり直せる変更がありません。");
  EXPECT_NE(bytesOf("デ-タ一覧.csv").find(Utf8ToCp932("極洋水産")), std::string::npos);
  ASSERT_TRUE(ListEdits(ws).Undo().done);
  EXPECT_EQ(files(), original);
}

TEST_F(UndoTest, AFileAnotherProgramChangedIsNotWrittenOver) {
  importLike("2003/12/29");
  // A sibling tool adds a day to the calendar after our import.
  const std::string theirs = "2003/12/30\r\n" + bytesOf("tavrine/hizuke.csv");
  WriteFileBytes(folder.path("tavrine/hizuke.csv"), theirs);
  const auto before = files();
  const ListEdit refused = ListEdits(ws).Undo();
  EXPECT_FALSE(refused.done);
  EXPECT_NE(refused.message.find("hizuke.csv"), std::string::npos) << refused.message;
  EXPECT_EQ(files(), before);
  EXPECT_EQ(StockListBackups().size(), 1u);  // still there to undo
  EXPECT_TRUE(StockListRedos().empty());

  // The same for the list itself.
  ReadBytes(folder.path("tavrine/hizuke.csv").string());  // read again: ours to replace
  WriteFileBytes(folder.path("デ-タ一覧.csv"), bytesOf("デ-タ一覧.csv") + "2003/12/24,1,2,\r\n");
  const auto listChanged = files();
  EXPECT_FALSE(ListEdits(ws).Undo().done);
  EXPECT_EQ(files(), listChanged);
}

TEST_F(UndoTest, ABackupThatIsNotAWholeListIsRefused) {
  importLike("2003/12/29");
  const auto before = files();
  const std::string whole = ReadFileBytes(newestBackup());
  auto refuses = [&](const std::string& backup) {
    WriteFileBytes(newestBackup(), backup);
    const ListEdit e = ListEdits(ws).Undo();
    EXPECT_FALSE(e.done) << backup;
    EXPECT_NE(e.message.find(StockListBackups().front()), std::string::npos) << e.message;
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(StockListRedos().empty());
  };
  // Cut short: its last line gone, or cut inside the line.
  refuses(whole.substr(0, whole.rfind("2003/12/25")));
  refuses(whole.substr(0, whole.size() - 4));
  // The same line count with a byte changed.
  std::string changed = whole;
  changed[changed.rfind("102")] = '9';
  refuses(changed);
  // A part it promises missing.
  WriteFileBytes(newestBackup(), whole);
  std::filesystem::remove(newestBackup().substr(0, newestBackup().size() - 4) + ".hizuke");
  refuses(whole);
  // Backups from before the header: no heading, or a line not starting with
  // a date.
  refuses("\r\n2003/12/26,101,201,\r\n");
  refuses(Utf8ToCp932("日付,\"1301 極洋\"\r\n2003/12/26,101\r\n壊れた行,5\r\n"));
  refuses(Utf8ToCp932("日付,\"1301 極洋\"\r\n2003/12/26,101\r\n,,\r\n2003/12/25,102\r\n"));
  refuses(std::string("\x89\xbd\x82\xa9\x00\x01\x02", 7));

  // One from before the header that reads whole is put back, as it was.
  const std::string old =
      Utf8ToCp932("日付,\"1301 極洋\",\"7203 トヨタ\",\r\n2003/12/26,111,211,\r\n,,,\r\n");
  WriteFileBytes(newestBackup(), old);
  const ListEdit e = ListEdits(ws).Undo();
  EXPECT_TRUE(e.done) << e.message;
  EXPECT_EQ(bytesOf("デ-タ一覧.csv"), old);
  EXPECT_EQ(bytesOf("tavrine/hizuke.csv"), before[1]);  // it holds no calendar
  EXPECT_EQ(StockListRedos().size(), 1u);
}

TEST_F(UndoTest, BackupsAreOrderedByTheirNumberNotByTheClock) {
  // The clock goes 14 hours back between two changes (a new time zone).
  const char* tz = std::getenv("TZ");
  const std::string oldTz = tz ? tz : "";
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
  ASSERT_TRUE(ListEdits(ws).Rename("1301", "一").done);
  std::string oldestKept;  // five backups back from the end
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(ListEdits(ws).Rename("1301", "二" + std::to_string(i)).done);
    if (i == 0) oldestKept = bytesOf("デ-タ一覧.csv");
  }
  ::setenv("TZ", "EST5", 1);
  ::tzset();
  const std::string beforeLast = bytesOf("デ-タ一覧.csv");
  ASSERT_TRUE(ListEdits(ws).Rename("1301", "三").done);
  if (tz)
    ::setenv("TZ", oldTz.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();

  // The backup taken last is kept and is the newest, whatever its time says.
  const auto names = StockListBackups();
  ASSERT_EQ(names.size(), 5u);
  EXPECT_NE(ReadFileBytes(folder.path("tavrine/backup/" + names.front())).find(beforeLast),
            std::string::npos);
  // One undo takes back one change.
  ASSERT_TRUE(ListEdits(ws).Undo().done);
  EXPECT_EQ(bytesOf("デ-タ一覧.csv"), beforeLast);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(ListEdits(ws).Undo().done);
  EXPECT_EQ(bytesOf("デ-タ一覧.csv"), oldestKept);
  EXPECT_FALSE(ListEdits(ws).Undo().done);
}

// Two data folders on one root keep their own backups: an undo in one never
// puts the other's list in its place.
TEST(UndoFolders, BackupsBelongToTheFolderOfTheirList) {
  DataFolder root;
  DataFolder other;  // the second data folder
  const std::string a = Utf8ToCp932("日付,\"1301 極洋\",\r\n2003/12/26,101,\r\n");
  const std::string b = Utf8ToCp932("日付,\"7203 トヨタ\",\r\n2003/12/26,201,\r\n");
  WriteFileBytes(root.path("デ-タ一覧.csv"), a);
  WriteFileBytes(other.path("デ-タ一覧.csv"), b);
  RecordingPlatform platform;
  Workspace ws(platform);
  ::setenv("TAVRINE_ROOT", root.dir().c_str(), 1);  // other's destructor puts it back
  ::setenv("TAVRINE_HOME", root.dir().c_str(), 1);
  ws.dispatch("Button52", Event{});
  ASSERT_TRUE(ListEdits(ws).Rename("1301", "極洋水産").done);

  ::setenv("TAVRINE_HOME", other.dir().c_str(), 1);
  ws.dispatch("Button52", Event{});
  const ListEdit none = ListEdits(ws).Undo();
  EXPECT_FALSE(none.done);
  EXPECT_EQ(ReadFileBytes(other.path("デ-タ一覧.csv")), b);
  ASSERT_TRUE(ListEdits(ws).Rename("7203", "トヨタ自動車").done);
  auto backupsIn = [](const DataFolder& f) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(f.path("tavrine/backup")))
      n += e.path().extension() == ".csv";
    return n;
  };
  EXPECT_EQ(backupsIn(root), 1);
  EXPECT_EQ(backupsIn(other), 1);
  ASSERT_TRUE(ListEdits(ws).Undo().done);
  EXPECT_EQ(ReadFileBytes(other.path("デ-タ一覧.csv")), b);

  ::setenv("TAVRINE_HOME", root.dir().c_str(), 1);
  ws.dispatch("Button52", Event{});
  ASSERT_TRUE(ListEdits(ws).Undo().done);
  EXPECT_EQ(ReadFileBytes(root.path("デ-タ一覧.csv")), a);
  EXPECT_EQ(ReadFileBytes(other.path("デ-タ一覧.csv")), b);
}

}  // namespace
}  // namespace tavrine
