#include <gtest/gtest.h>

#include <filesystem>

#include "../support/cells.h"
#include "../support/data_folder.h"
#include "../support/recording_platform.h"
#include "app/workspace.h"
#include "store/codec.h"
#include "store/text.h"

namespace tavrine {
namespace {

using Recorder = testing::RecordingPlatform;
using testing::ExpectCells;
using testing::SetCells;

// A window whose rows hold simple known values: close 1000 + r, every
// average 990, P = 100, middle term.
class ManualEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& st = ws.SeriesTable;
    // 1200 priced days, then the zero fill of the rows past the history.
    for (int r = 1; r <= 4860; ++r) {
      const bool priced = r <= 1200;
      st.set(0, r, priced ? "d" + std::to_string(r) : " ");
      st.setInt(1, r, priced ? 1000 + r : 0);
      for (int c = 2; c <= 6; ++c) st.setInt(c, r, priced ? 990 : 0);
      for (int c = 7; c <= 17; ++c) st.set(c, r, "0");
      st.setInt(18, r, r);
    }
    // The control cells the start-up and the extraction leave for a redraw.
    SetCells(st, {{5, 4863, "100"},
                  {3, 4863, "800"},
                  {2, 4862, "1200"},
                  {2, 4863, "1"},
                  {1, 4863, "1"},
                  {12, 4862, "0"},
                  {16, 4864, "0"}});
    ws.form.setText("Edit6", "1000");
  }
  testing::DataFolder folder{"2003/12/29"};
  Recorder rec;
  Workspace ws{rec};
};

TEST_F(ManualEntryTest, PricedNewestRowMovesEveryRowDownOne) {
  ws.SeriesTable.setInt(1, 5, 980);  // becomes close(6) after the shift
  ASSERT_TRUE(ws.dispatch("Button34", Event{}));
  EXPECT_TRUE(rec.errors.empty()) << rec.errors.front();
  ExpectCells(ws.SeriesTable, {{16, 4864, "1"}, {16, 4863, "1"}});
  // The new day on top, the former newest day below it, every row one down.
  ExpectCells(ws.SeriesTable, {{0, 1, "2003/12/29"}, {1, 1, "1000"}, {0, 2, "d1"}, {1, 2, "1001"}});
  ExpectCells(ws.SeriesTable, {{0, 1201, "d1200"}, {0, 1202, " "}});
  // Price 1000, previous average 990, close(6) 980: d = 20, 5-day average
  // Round(990 + 4) = 994.
  EXPECT_EQ(ws.SeriesTable.cell(2, 1), "994");
  // Row numbers are rewritten for the whole window.
  ExpectCells(ws.SeriesTable, {{18, 1, "1"}, {18, 4860, "4860"}});
}

TEST_F(ManualEntryTest, AveragesAndTrendValuesOfTheNewDay) {
  auto& st = ws.SeriesTable;
  st.setInt(1, 5, 980);  // close(6) after the shift
  ws.dispatch("Button34", Event{});
  ASSERT_TRUE(rec.errors.empty()) << rec.errors.front();
  // d = Round(1000 - close(N+1)) with close(r) = 1000 + (r - 1) after the shift.
  EXPECT_EQ(st.cell(2, 1), "994");                                 // 990 + 20/5
  EXPECT_EQ(st.cell(3, 1), IntToStr(Round(990 + (-25.0L) / 25)));  // close(26) = 1025
  EXPECT_EQ(st.cell(4, 1), IntToStr(Round(990 + (-75.0L) / 75)));
  EXPECT_EQ(st.cell(5, 1), IntToStr(Round(990 + (-200.0L) / 200)));
  EXPECT_EQ(st.cell(6, 1), IntToStr(Round(990 + (-1000.0L) / 1000)));
  // Trend values at the older row of each pair.
  const long double a5 = 994, a25 = 989, a75 = 989, a200 = 989;
  EXPECT_EQ(st.cell(7, 3), IntToStr(Round((a5 - 990) * 400 / a5)));
  EXPECT_EQ(st.cell(8, 13), IntToStr(Round((a25 - 990) * 300 / a25)));
  EXPECT_EQ(st.cell(9, 38), IntToStr(Round((a75 - 990) * (100 * 2.7L) / a75)));
  EXPECT_EQ(st.cell(10, 101), IntToStr(Round((a200 - 990) * (100 * 2.5L) / a200)));
  // The fifth line's newest point outside the long term.
  EXPECT_EQ(st.cell(11, 1), IntToStr(Round((1000 - a5) * 400 / a5)));
}

// Today is already the newest day (from the list, or a price added by hand
// before): its close is replaced and no row is added.
TEST_F(ManualEntryTest, ADayAlreadyShownOnlyGetsItsCloseReplaced) {
  auto& st = ws.SeriesTable;
  st.set(0, 1, "2003/12/29");
  ASSERT_TRUE(ws.dispatch("Button34", Event{}));
  ASSERT_TRUE(rec.errors.empty()) << rec.errors.front();
  ExpectCells(st, {{0, 1, "2003/12/29"}, {1, 1, "1000"}, {0, 2, "d2"}, {1, 2, "1002"}});
  ExpectCells(st, {{0, 1200, "d1200"}, {0, 1201, " "}, {16, 4864, "0"}, {16, 4863, "1"}});
  // Previous average 990, close(6) 1006: Round(990 - 6/5) = 989.
  EXPECT_EQ(st.cell(2, 1), "989");
}

TEST_F(ManualEntryTest, ASecondPriceOnTheDayAddedByHandReplacesTheFirst) {
  auto& st = ws.SeriesTable;
  ws.dispatch("Button34", Event{});
  ws.form.setText("Edit6", "1010");
  ws.dispatch("Button34", Event{});
  ASSERT_TRUE(rec.errors.empty()) << rec.errors.front();
  ExpectCells(st, {{0, 1, "2003/12/29"}, {1, 1, "1010"}, {0, 2, "d1"}, {1, 2, "1001"}});
  ExpectCells(st, {{0, 3, "d2"}, {0, 1201, "d1200"}, {0, 1202, " "}});
}

TEST_F(ManualEntryTest, BlankNewestRowIsFilledInPlace) {
  auto& st = ws.SeriesTable;
  st.set(1, 1, " ");
  st.set(0, 1, "collected");
  ws.dispatch("Button34", Event{});
  EXPECT_EQ(st.cell(16, 4864), "0");       // nothing moved
  EXPECT_EQ(st.cell(0, 1), "2003/12/29");  // today's date replaces the collected one
  EXPECT_EQ(st.cell(0, 2), "d2");
  EXPECT_EQ(st.cell(1, 1), "1000");
}

TEST_F(ManualEntryTest, LongTermLeavesTheFifthLineAlone) {
  ws.SeriesTable.set(3, 4863, "4800");
  ws.SeriesTable.set(11, 1, "77");
  ws.dispatch("Button34", Event{});
  EXPECT_EQ(ws.SeriesTable.cell(11, 1), "77");  // the copy of the former newest day
}

TEST_F(ManualEntryTest, LongTermEntryDrawsAroundTheFifthLinesEmptyRows) {
  // As the long-term draw leaves column 11: no value in the newest 500 rows.
  auto& st = ws.SeriesTable;
  st.set(3, 4863, "4800");
  for (int r = 1; r <= 500; ++r) st.set(11, r, "");
  for (int r = 501; r <= 4860; ++r) st.set(11, r, "5");
  ASSERT_TRUE(ws.dispatch("Button34", Event{}));
  EXPECT_TRUE(rec.errors.empty()) << rec.errors.front();
  EXPECT_EQ(st.cell(11, 2), "");
  EXPECT_EQ(st.cell(11, 501), "");
  EXPECT_EQ(st.cell(11, 502), "5");
  const auto& close = ws.chart.line(ChartModel::owarine).points;
  ASSERT_FALSE(close.empty());
  EXPECT_EQ(close.front().x, 1);  // the entered day is drawn
  EXPECT_EQ(close.front().y, 1000);
  const auto& fifth = ws.chart.line(ChartModel::S5).points;
  ASSERT_FALSE(fifth.empty());
  EXPECT_GE(fifth.front().x, 502);
}

TEST_F(ManualEntryTest, EmptyPriceOrZeroAverageStopsWithAnError) {
  ws.form.setText("Edit6", "");
  ws.dispatch("Button34", Event{});
  ASSERT_EQ(rec.errors.size(), 1u);
  EXPECT_EQ(rec.errors[0], "「」は数値として読めません（例 1.05）");

  Recorder rec2;
  Workspace ws2{rec2};
  ws2.SeriesTable.set(5, 4863, "100");
  for (int r = 1; r <= 1200; ++r) {
    ws2.SeriesTable.setInt(1, r, 0);
    for (int c = 2; c <= 6; ++c) ws2.SeriesTable.setInt(c, r, 0);
  }
  ws2.form.setText("Edit6", "0");
  ws2.dispatch("Button34", Event{});
  ASSERT_EQ(rec2.errors.size(), 1u);
  EXPECT_EQ(rec2.errors[0], "Floating point division by zero");
}

TEST_F(ManualEntryTest, FullWidthCloseGoesInAsItsHalfWidthNumber) {
  ws.form.setText("Edit6", "　１０００");
  ASSERT_TRUE(ws.dispatch("Button34", Event{}));
  EXPECT_TRUE(rec.errors.empty()) << rec.errors.front();
  ExpectCells(ws.SeriesTable, {{1, 1, "1000"}, {1, 2, "1001"}});
  // Any other text goes in as the box holds it, for the error to name it.
  ws.form.setText("Edit6", "１２ｘ");
  ws.dispatch("Button34", Event{});
  ASSERT_EQ(rec.errors.size(), 1u);
  EXPECT_EQ(rec.errors[0], "「12x」は数値として読めません（例 1.05）");
}

TEST(ManualEntry, PriceBoxTurnsNumberOnlyOnItsFirstChange) {
  Recorder rec;
  Workspace ws{rec};
  ws.typeText("Edit6", "12a.5");
  EXPECT_EQ(ws.form.text("Edit6"), "12a.5");  // the first change itself is typed freely
  EXPECT_TRUE(ws.form.get("Edit6").numberOnly);
  ws.typeText("Edit6", "3x4.5");
  EXPECT_EQ(ws.form.text("Edit6"), "345");
  ws.typeText("Edit6", "１２３ｘ");
  EXPECT_EQ(ws.form.text("Edit6"), "123");
}

TEST_F(ManualEntryTest, ProgramWritesToThePriceBoxSwitchOnTheNumberOnlyStyle) {
  // The fixture's write stands for the start-up's; the term draw and the
  // navigation write the box too.
  EXPECT_TRUE(ws.form.get("Edit6").numberOnly);
  ws.typeText("Edit6", "12a");
  EXPECT_EQ(ws.form.text("Edit6"), "12");
  Workspace fresh{rec};
  fresh.SeriesTable = ws.SeriesTable;
  fresh.chartView.Button14Click();
  EXPECT_EQ(fresh.form.text("Edit6"), "1001");
  fresh.typeText("Edit6", "9.5x");
  EXPECT_EQ(fresh.form.text("Edit6"), "95");
  ASSERT_TRUE(fresh.dispatch("Button34", Event{}));
  EXPECT_EQ(fresh.SeriesTable.cell(1, 1), "95");
}

class MemoTest : public ::testing::Test {
 protected:
  std::string bytes(const char* name) { return testing::ReadFileBytes(folder.path(name)); }
  testing::DataFolder folder;
  Recorder rec;
  Workspace ws{rec};
};

TEST_F(MemoTest, JapaneseMemoSurvivesSaveAndLoadInShiftJis) {
  ws.form.setText("Memo3", "買い候補\r\n7203 様子見");
  ws.dispatch("Button18", Event{});
  ASSERT_EQ(rec.messages, std::vector<std::string>{"保存しました。"});
  EXPECT_EQ(bytes("Fname.txt"), Utf8ToCp932("買い候補\r\n7203 様子見\r\n"));
  EXPECT_EQ(bytes("Fname.txt").substr(0, 2), "\x94\x83");  // 買 in Shift-JIS

  Workspace ws2{rec};
  ws2.memo.Button36Click();
  EXPECT_EQ(ws2.form.text("Memo3"), "買い候補\r\n7203 様子見");
}

TEST_F(MemoTest, EmptyMemoWritesAnEmptyFileAndMissingFileStartsEmpty) {
  ws.memo.Button36Click();  // no file yet: empty memo, no error
  EXPECT_EQ(ws.form.text("Memo3"), "");
  ws.dispatch("Button18", Event{});
  EXPECT_EQ(bytes("Fname.txt"), "");
  EXPECT_TRUE(rec.errors.empty());
}

TEST_F(MemoTest, FailedSaveKeepsTheOldFileAndSaysNothingSaved) {
  testing::WriteFileBytes(folder.path("Fname.txt"), "old");
  std::filesystem::create_directory(folder.path("Fname.txt.tmp"));
  ws.form.setText("Memo3", "new");
  ws.dispatch("Button18", Event{});
  EXPECT_EQ(rec.errors.size(), 1u);
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(bytes("Fname.txt"), "old");
}

TEST_F(MemoTest, ToggleAndPrintKeepTheFlag) {
  ws.SeriesTable.set(9, 4863, "1");
  ws.dispatch("Button58", Event{});
  EXPECT_FALSE(ws.form.visible("Panel7"));
  EXPECT_EQ(ws.SeriesTable.cell(9, 4863), "0");
  ws.dispatch("Button58", Event{});
  EXPECT_TRUE(ws.form.visible("Panel7"));
  EXPECT_EQ(ws.SeriesTable.cell(9, 4863), "1");

  rec.printFailure = "プリンタがインストールされていません";
  ws.dispatch("Button59", Event{});
  EXPECT_EQ(rec.prints, 1);
  EXPECT_FALSE(ws.form.visible("Panel7"));
  EXPECT_EQ(ws.SeriesTable.cell(9, 4863), "1");
  EXPECT_EQ(rec.messages.back(), "プリンタがインストールされていません");
}

}  // namespace
}  // namespace tavrine
