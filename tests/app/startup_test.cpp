// Stock-list loading, the quoted-blank clean-up, the stock picker fill and the
// installation-mode decision of the start-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/cells.h"
#include "../support/data_folder.h"
#include "../support/recording_platform.h"
#include "app/workspace.h"
#include "store/codec.h"
#include "store/control_cells.h"
#include "store/text.h"

namespace tavrine {
namespace {

using testing::DataFolder;
using testing::ExpectCells;
using testing::ReadFileBytes;
using testing::RecordingPlatform;
using testing::SetCells;

const char* kList = "デ-タ一覧.csv";

// A stock list of `lines` lines: a heading row and lines - 1 days.
std::vector<std::string> ListLines(int lines) {
  std::vector<std::string> out{"日付,\"1301 極洋\",\"7203 トヨタ自動車\",,\"9984 ソフトバンク\""};
  int day = DaysFromCivil(2003, 12, 26);
  for (int r = 1; r < lines; ++r, --day)
    out.push_back(DateToStr(day) + "," + IntToStr(100 + r) + ",2000.5,,3100");
  return out;
}

struct LoaderCase {
  int lines;
  std::vector<std::string> percents;
};

TEST(StockListLoader, ProgressPercentagesFollowTheLineCount) {
  // Trunc(a x 100 / lines) at a = 0, 100, 200, ...
  const LoaderCase cases[] = {
      {250, {"0", "40", "80"}},  // the worked example
      {1, {"0"}},                // only the heading line
      {100, {"0"}},              // line 100 does not exist
      {101, {"0", "99"}},        // 10000 / 101 = 99.0..
      {201, {"0", "49", "99"}},  // 49.75 and 99.50 are cut, not rounded
      {300, {"0", "33", "66"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    DataFolder folder;
    folder.writeLines(kList, ListLines(c.lines));
    RecordingPlatform p;
    Workspace ws(p);
    ws.startup.LoadStockList();
    std::vector<std::string> want{"データ読込中...", "データ変換中..."};
    for (const auto& pc : c.percents) want.push_back("データ変換中(" + pc + "％)...");
    EXPECT_EQ(p.progresses, want);
    EXPECT_EQ(ws.form.text("LabelProg"), want.back());
    EXPECT_EQ(ws.StockList.rowCount(), c.lines);
    EXPECT_EQ(ws.StockList.colCount(), 200);
    EXPECT_FALSE(ws.StockList.suspended());
    EXPECT_EQ(p.waitDepth, 0);
  }
}

TEST(StockListLoader, FillsRowsByTheCommaTextRules) {
  DataFolder folder;
  folder.writeLines(kList, ListLines(250));
  RecordingPlatform p;
  Workspace ws(p);
  ws.startup.LoadStockList();
  ExpectCells(ws.StockList, {{0, 0, "日付"},
                             {1, 0, "1301 極洋"},  // quoted heading with a space: one cell
                             {3, 0, " "},          // empty field
                             {4, 0, "9984 ソフトバンク"},
                             {5, 0, ""},
                             {0, 1, "2003/12/26"},
                             {1, 1, "101"},
                             {2, 1, "2000.5"},
                             {3, 1, " "},
                             {0, 249, DateToStr(DaysFromCivil(2003, 12, 26) - 248)},
                             {1, 249, "349"},
                             {0, 250, ""}});
}

TEST(StockListLoader, MissingFileRaisesTheFileErrorAndRestoresState) {
  DataFolder folder;
  RecordingPlatform p;
  Workspace ws(p);
  EXPECT_THROW(ws.startup.LoadStockList(), FileError);
  EXPECT_EQ(p.progresses, std::vector<std::string>{"データ読込中..."});
  EXPECT_FALSE(ws.StockList.suspended());
  EXPECT_EQ(p.waitDepth, 0);
  EXPECT_EQ(ws.StockList.rowCount(), 5000);  // size before loading stays
}

TEST(StockListLoader, MissingFileThroughTheStartButtonIsReportedOnce) {
  // The calendar shows the folder had a list: its loss is the file error.
  DataFolder folder;
  folder.writeLines("tavrine/hizuke.csv", {"日付,新日付", "2003/12/26"});
  RecordingPlatform p;
  Workspace ws(p);
  ASSERT_TRUE(ws.dispatch("Button52", Event{}));
  ASSERT_EQ(p.errors.size(), 1u);
  EXPECT_NE(p.errors[0].find(kList), std::string::npos);
  EXPECT_EQ(p.progresses, (std::vector<std::string>{"データ読込中...", "データ読込中..."}));
  EXPECT_FALSE(ws.StockList.suspended());
  EXPECT_FALSE(ws.SeriesTable.suspended());
  EXPECT_EQ(p.waitDepth, 0);
  EXPECT_EQ(ws.form.text("Button17"), "銘柄ボタン");
  EXPECT_TRUE(ws.form.enabled("TForm1"));  // Button102Click ran before the chain
}

TEST(StockListLoader, AFirstStartInAnEmptyFolderShowsNoError) {
  // Neither a list nor a calendar: nothing went missing. The start-up ends
  // where the missing list's error would end it, quietly, and the window
  // shows its guide over the empty chart.
  DataFolder folder;
  folder.touch("pullbox/pullbox.exe");
  folder.touch("listwerk/listwerk.exe");
  RecordingPlatform p;
  Workspace ws(p);
  ASSERT_TRUE(ws.dispatch("Button52", Event{}));
  EXPECT_TRUE(p.errors.empty()) << p.errors.front();
  EXPECT_TRUE(p.messages.empty()) << p.messages.front();
  EXPECT_TRUE(p.statuses.empty()) << p.statuses.front();
  EXPECT_EQ(p.progresses, std::vector<std::string>{"データ読込中..."});
  EXPECT_EQ(p.waitDepth, 0);
  EXPECT_FALSE(ws.StockList.suspended());
  EXPECT_TRUE(ws.form.enabled("TForm1"));
  EXPECT_TRUE(ws.nothingToChart());
  EXPECT_TRUE(ws.SeriesTable.cell(ctl::RowsConsidered).empty());  // as after the error
  EXPECT_FALSE(std::filesystem::exists(folder.path(kList)));

  // Something in the list's place that is no file is still reported.
  std::filesystem::create_directories(folder.path(kList));
  RecordingPlatform q;
  Workspace again(q);
  again.dispatch("Button52", Event{});
  ASSERT_EQ(q.errors.size(), 1u);
  EXPECT_NE(q.errors[0].find(kList), std::string::npos);
}

TEST(QuotedBlankCleanUp, EmptiesOnlyQuotedBlankCells) {
  RecordingPlatform p;
  Workspace ws(p);
  const std::string blank = "\" \"", empty = "\"\"";
  // Each cell's text before and after the clean-up.
  struct Cell {
    int col, row;
    std::string before, after;
  };
  const Cell cells[] = {{0, 0, blank, ""},          {5, 7, empty, ""},
                        {200, 4860, blank, ""},      // the last column and row it covers
                        {201, 3, empty, empty},      // outside columns 0..200
                        {3, 4861, blank, blank},     // outside rows 0..4860
                        {1, 1, "\"  \"", "\"  \""},  // two spaces: not a quoted blank
                        {2, 1, "\" \"x", "\" \"x"}, {3, 1, " ", " "},
                        {4, 1, "\"", "\""},         {6, 1, "1234", "1234"}};
  for (const Cell& c : cells) ws.StockList.set(c.col, c.row, c.before);
  ws.startup.Button53Click();
  for (const Cell& c : cells)
    EXPECT_EQ(ws.StockList.cell(c.col, c.row), c.after) << c.col << "," << c.row;
}

TEST(QuotedBlankCleanUp, QuotedTextInTheFileBecomesAnEmptyCell) {
  // """""" in the file is a quoted field holding "" ; the loader keeps it,
  // the clean-up empties it. A bare "" field is already one space.
  DataFolder folder;
  folder.writeLines(kList, {"日付,a,b", "2003/12/26,\"\"\"\"\"\",\"\",\"\"\" \"\"\""});
  RecordingPlatform p;
  Workspace ws(p);
  ws.startup.LoadStockList();
  EXPECT_EQ(ws.StockList.cell(1, 1), "\"\"");
  EXPECT_EQ(ws.StockList.cell(2, 1), " ");
  EXPECT_EQ(ws.StockList.cell(3, 1), "\" \"");
  ws.startup.Button53Click();
  EXPECT_EQ(ws.StockList.cell(1, 1), "");
  EXPECT_EQ(ws.StockList.cell(2, 1), " ");
  EXPECT_EQ(ws.StockList.cell(3, 1), "");
}

// Headings "H1".."Hn" in columns 1..n.
void Headings(WorkTable& t, int n) {
  for (int c = 1; c <= n; ++c) t.set(c, 0, "H" + IntToStr(c));
}

TEST(StockPickerFill, RowCountFromTheNumberOfHeadings) {
  struct Case {
    int headings;
    int rows;  // Trunc(n / 6 + 1.9), worked by hand
  } cases[] = {{199, 35}, {197, 34}, {6, 2}, {7, 3}, {12, 3}, {13, 4}, {0, 1}, {1, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.headings);
    RecordingPlatform p;
    Workspace ws(p);
    Headings(ws.StockList, c.headings);
    ws.startup.Button54Click();
    EXPECT_EQ(ws.StockPicker.rowCount(), c.rows);
    EXPECT_EQ(ws.StockPicker.colCount(), 7);
  }
}

TEST(StockPickerFill, BlankHeadingsDoNotCountButFullWidthSpaceDoes) {
  RecordingPlatform p;
  Workspace ws(p);
  Headings(ws.StockList, 6);
  ws.StockList.set(7, 0, " ");
  ws.StockList.set(8, 0, "\xE3\x80\x80");  // full-width space: not blank here
  ws.startup.Button54Click();
  EXPECT_EQ(ws.StockPicker.rowCount(), 3);  // n = 7
}

TEST(StockPickerFill, PlacesSixHeadingsARowFromRowOne) {
  RecordingPlatform p;
  Workspace ws(p);
  Headings(ws.StockList, 199);
  ws.StockPicker.set(3, 36, "old");  // row count 35: row 36 is the last written
  ws.StockPicker.set(3, 37, "kept");
  ws.StockPicker.set(0, 1, "");
  ws.startup.Button54Click();
  const auto& s = ws.StockPicker;
  EXPECT_EQ(s.cell(1, 1), "H1");
  EXPECT_EQ(s.cell(6, 1), "H6");
  EXPECT_EQ(s.cell(1, 2), "H7");
  EXPECT_EQ(s.cell(4, 10), "H58");  // 4 + 6 x 9
  EXPECT_EQ(s.cell(6, 33), "H198");
  EXPECT_EQ(s.cell(1, 34), "H199");
  EXPECT_EQ(s.cell(2, 34), "");      // column 200 is always empty
  EXPECT_EQ(s.cell(3, 36), "");      // overwritten with empty StockList[207,0]
  EXPECT_EQ(s.cell(3, 37), "kept");  // beyond the last written row
  EXPECT_EQ(s.cell(0, 1), "");       // column 0 stays empty
  for (int c = 0; c <= 6; ++c) EXPECT_EQ(s.cell(c, 0), "") << c;  // row 0 untouched
}

TEST(StockPickerFill, SixHeadingsFillOneRowAndClearTheNextTwo) {
  RecordingPlatform p;
  Workspace ws(p);
  Headings(ws.StockList, 6);
  for (int c = 1; c <= 6; ++c) {
    ws.StockPicker.set(c, 2, "x");
    ws.StockPicker.set(c, 3, "x");
    ws.StockPicker.set(c, 4, "y");
  }
  ws.startup.Button54Click();
  EXPECT_EQ(ws.StockPicker.rowCount(), 2);
  for (int c = 1; c <= 6; ++c) {
    EXPECT_EQ(ws.StockPicker.cell(c, 1), "H" + IntToStr(c));
    EXPECT_EQ(ws.StockPicker.cell(c, 2), "");
    EXPECT_EQ(ws.StockPicker.cell(c, 3), "");  // b = 2 = row count, written too
    EXPECT_EQ(ws.StockPicker.cell(c, 4), "y");
  }
}

// Installation mode from StockList[1,4] and the two sibling tool files.
TEST(InstallationMode, Decision) {
  struct Case {
    const char* cell;
    bool pullbox, listwerk;
    bool standAlone;
  } cases[] = {
      {"1234", true, true, false}, {" ", true, true, false},  // one space is not empty here
      {"", true, true, true},      {"1234", false, true, true},
      {"1234", true, false, true}, {"", false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("cell '") + c.cell + "' pullbox " + (c.pullbox ? "1" : "0") +
                 " listwerk " + (c.listwerk ? "1" : "0"));
    DataFolder folder;
    if (c.pullbox) folder.touch("pullbox/pullbox.exe");
    if (c.listwerk) folder.touch("listwerk/listwerk.exe");
    RecordingPlatform p;
    Workspace ws(p);
    ws.StockList.set(1, 4, c.cell);
    ws.startup.Button123Click();
    EXPECT_EQ(ws.form.text("Button17"), c.standAlone ? "銘柄収集" : "銘柄ボタン");
    EXPECT_EQ(ws.form.text("BitBtn1"), c.standAlone ? "tavrineⅠ" : "株価収集");
    EXPECT_TRUE(p.messages.empty());
  }
}

TEST(InstallationMode, StandAloneFirstStartWithoutRememberedCode) {
  // No sibling tools and no memo.txt yet: the start-up ends quietly in
  // stand-alone mode, without a file error and without a collection.
  DataFolder folder;
  folder.writeLines("デ-タ一覧.csv", {"日付,\"1301 極洋\"", "2003/12/26,300", "2003/12/25,301"});
  RecordingPlatform p;
  Workspace ws(p);
  ws.dispatch("Button52", Event{});
  EXPECT_TRUE(p.errors.empty()) << p.errors.front();
  EXPECT_EQ(ws.form.text("Button17"), "銘柄収集");
  EXPECT_EQ(ws.form.text("Edit1"), "");
  EXPECT_EQ(ws.form.text("Edit18"), "");
  EXPECT_TRUE(p.messages.empty());
  EXPECT_TRUE(ws.chart.line(0).points.empty());
}

TEST(InstallationMode, ListWithoutAStockSaysSoOnceAndStartsNothing) {
  // Both tools and a remembered code are there; the list file is empty,
  // or holds only its heading line. (A file of NUL bytes is refused instead.)
  for (const std::string& bytes : {std::string(), std::string("日付,1301 極洋\r\n")}) {
    DataFolder folder;
    folder.touch("pullbox/pullbox.exe");
    folder.touch("listwerk/listwerk.exe");
    folder.writeLines("memo.txt", {"7203"});
    folder.writeLines("tavrine/hizuke.csv", {"日付", "2003/12/25"});
    WriteBytes(folder.path(kList), Utf8ToCp932(bytes));
    RecordingPlatform p;
    Workspace ws(p);
    ws.dispatch("Button52", Event{});
    EXPECT_TRUE(p.errors.empty()) << p.errors.front();
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0],
              "デ-"
              "タ一覧に銘柄の株価がありません。\r「取込」で株価ファイルを取り込むか、株価収集で銘柄"
              "を追加して下さい。");
    // Only the calendar refresh's own status: no page was asked for.
    EXPECT_EQ(p.statuses, std::vector<std::string>{"営業日カレンダーを更新できませんでした。"});
    EXPECT_TRUE(ws.form.enabled("TForm1"));
    EXPECT_FALSE(ws.StockList.suspended());
    EXPECT_EQ(p.waitDepth, 0);
    EXPECT_TRUE(ws.chart.line(0).points.empty());
    EXPECT_TRUE(ws.nothingToChart());
  }
}

TEST(InstallationMode, SelectionByCodeChartsAListedStockOnly) {
  DataFolder folder;
  folder.touch("pullbox/pullbox.exe");
  folder.touch("listwerk/listwerk.exe");
  folder.writeLines("memo.txt", {"7203"});
  folder.writeLines(kList, ListLines(80));
  RecordingPlatform p;
  Workspace ws(p);
  ws.dispatch("Button52", Event{});
  ASSERT_TRUE(p.errors.empty()) << p.errors.front();
  EXPECT_FALSE(ws.nothingToChart());
  EXPECT_TRUE(ws.selectCode("9984"));
  EXPECT_EQ(ws.form.text("Edit1"), "9984");
  EXPECT_EQ(ws.chart.line(ChartModel::owarine).points.front().y, 3100);
  // A code the list does not hold is refused with the selection's message,
  // and the chart keeps the stock it had.
  EXPECT_FALSE(ws.selectCode("1111"));
  EXPECT_EQ(p.messages.back(), "銘柄コ-ドを入れ直して下さい!*");
  EXPECT_EQ(ws.chart.line(ChartModel::owarine).points.front().y, 3100);
}

TEST(InstallationMode, ToolsAreLookedForUnderTheRootFolder) {
  DataFolder home;  // the list's folder, without tools
  DataFolder root;  // sets TAVRINE_ROOT (and HOME) last
  root.touch("pullbox/pullbox.exe");
  root.touch("listwerk/listwerk.exe");
  setenv("TAVRINE_HOME", home.dir().c_str(), 1);
  RecordingPlatform p;
  Workspace ws(p);
  ws.StockList.set(1, 4, "500");
  ws.startup.Button123Click();
  EXPECT_EQ(ws.form.text("Button17"), "銘柄ボタン");
}

// Files the list could not be saved back into as they stand: refused at
// start-up naming the line, the window left empty with its guide, the file
// untouched.
TEST(StockListFileShape, FilesThatCannotBeKeptAreRefusedNamingTheLine) {
  struct Case {
    std::string bytes;  // as written, no conversion
    std::string named;  // what the refusal names
  };
  const Case cases[] = {
      {Utf8ToCp932("日付,\"1301 極洋\"\r\n2003/12/26,1") + std::string("0\0"
                                                                       "1,2\r\n",
                                                                       7),
       "2行目に NUL"},
      {Utf8ToCp932("日付\t1301 極洋\t7203 トヨタ\r\n2003/12/26\t\t300\r\n"), "1行目はタブ"},
      {Utf8ToCp932("日付;1301 極洋\r\n2003/12/26;100\r\n"), "1行目はセミコロン"},
      {"\xE6\x97\xA5\xE4\xBB\x98,\"1301 \xE6\xA5\xB5\xE6\xB4\x8B\"\r\n2003/12/26,100\r\n", "UTF-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    DataFolder folder;
    WriteBytes(folder.path(kList), c.bytes);
    RecordingPlatform p;
    Workspace ws(p);
    ws.dispatch("Button52", Event{});
    ASSERT_EQ(p.errors.size(), 1u);
    EXPECT_NE(p.errors[0].find(kList), std::string::npos);
    EXPECT_NE(p.errors[0].find(c.named), std::string::npos) << p.errors[0];
    EXPECT_TRUE(ws.nothingToChart());
    EXPECT_EQ(ReadFileBytes(folder.path(kList)), c.bytes);
  }
}

TEST(StockListFileShape, UnquotedHeadingsWithSpacesAreReadAtCommas) {
  DataFolder folder;
  folder.writeLines(
      kList, {"日付,1301 極洋,7203 トヨタ自動車", "2003/12/26,100,2000", "2003/12/25,101,2001"});
  RecordingPlatform p;
  Workspace ws(p);
  ws.startup.LoadStockList();
  ExpectCells(ws.StockList,
              {{1, 0, "1301 極洋"}, {2, 0, "7203 トヨタ自動車"}, {3, 0, ""}, {2, 1, "2000"}});
  ASSERT_EQ(p.messages.size(), 1u);
  EXPECT_NE(p.messages[0].find("コンマだけで"), std::string::npos);

  // A heading line that is wider than its rows for another reason stays comma text.
  DataFolder other;
  other.writeLines(kList, {"日付,\"1301 極洋\",\"7203 トヨタ\"", "2003/12/26,100"});
  RecordingPlatform q;
  Workspace ws2(q);
  ws2.startup.LoadStockList();
  EXPECT_EQ(ws2.StockList.cell(2, 0), "7203 トヨタ");
  EXPECT_TRUE(q.messages.empty());
}

}  // namespace
}  // namespace tavrine
