// Renames and removals of listed stocks, and the way back from any change of
// the list: the file comes back byte for byte, five backups are kept, and a
// failed save or a backup that does not read changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../support/data_folder.h"
#include "../support/recording_platform.h"
#include "app/list_actions.h"
#include "app/workspace.h"
#include "list/list_edit.h"
#include "store/codec.h"
#include "store/control_cells.h"
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

  // A backup that does not read (a folder in its place) is never put in place.
  std::filesystem::create_directories(folder.path("tavrine/backup/99999999-999999-00_import.csv"));
  const std::string before = listBytes();
  const ListEdit bad = edits.Undo();
  EXPECT_FALSE(bad.done);
  EXPECT_EQ(listBytes(), before);
  // Nor is a link planted there, whatever it leads to.
  std::filesystem::remove(folder.path("tavrine/backup/99999999-999999-00_import.csv"));
  WriteFileBytes(folder.path("elsewhere.csv"), "日付,x\r\n");
  std::filesystem::create_symlink(folder.path("elsewhere.csv"),
                                  folder.path("tavrine/backup/99999999-999999-00_import.csv"));
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

}  // namespace
}  // namespace tavrine
