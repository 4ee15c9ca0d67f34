// Importing daily-price files into the stock list: a first list made from a
// file, closes placed on the list's own days, gaps filled, files refused
// without a trace, the saved calendar and code list, and the mode a list kept
// by importing gives the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "app/import.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/control_cells.h"
#include "store/table_file.h"
#include "web/stock_list.h"
#include "web_support.h"

namespace tavrine {
namespace {

using namespace webtest;

const int kNewest = DaysFromCivil(2003, 12, 26);  // a Friday

struct Day {
  int day;
  std::string close;
};

std::string YahooText(const std::vector<Day>& rows) {
  std::string t = "Date,Open,High,Low,Close,Adj Close,Volume\n";
  for (const Day& d : rows) {
    int y, m, dd;
    CivilFromDays(d.day, y, m, dd);
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, dd);
    t += std::string(date) + ",1,1,1," + d.close + ",1,100\n";
  }
  return t;
}

// Closes 1000 + i (i = 0 the newest) on the given days.
std::vector<Day> Priced(const std::vector<int>& days, int base = 1000) {
  std::vector<Day> rows;
  for (std::size_t i = 0; i < days.size(); ++i) rows.push_back({days[i], IntToStr(base + static_cast<int>(i))});
  return rows;
}

// Rows 1 .. rowCount-1 of a column.
std::vector<std::string> Column(const WorkTable& t, int c) {
  std::vector<std::string> v;
  for (int r = 1; r < t.rowCount(); ++r) v.push_back(t.cell(c, r));
  return v;
}

std::vector<std::string> Headings(const WorkTable& t, int upTo) {
  std::vector<std::string> v;
  for (int c = 1; c <= upTo; ++c) v.push_back(t.cell(c, 0));
  return v;
}

bool SameCells(const WorkTable& a, const WorkTable& b) {
  if (a.rowCount() != b.rowCount() || a.colCount() != b.colCount()) return false;
  for (int c = 0; c < 200; ++c)
    for (int r = 0; r <= std::max(a.rowCount(), 4861); ++r)
      if (a.cell(c, r) != b.cell(c, r)) return false;
  return true;
}

class PriceImportTest : public ::testing::Test {
 protected:
  DataFolder folder;
  RecordingPlatform platform;
  std::unique_ptr<Workspace> ws = std::make_unique<Workspace>(platform);

  std::string file(const std::string& name, const std::string& bytes) {
    WriteBytes(folder.path(name), bytes);
    return folder.path(name).string();
  }
  ImportSummary import(const std::string& path, const std::string& code = "", const std::string& name = "") {
    return ImportPriceFiles(*ws, {{path, code, name}});
  }
  std::string listBytes() { return ReadBytes(folder.path("デ-タ一覧.csv")); }

  // A new run of the program on the same folder, started as the window starts it.
  void restart() {
    platform = RecordingPlatform();
    ws = std::make_unique<Workspace>(platform);
    ws->dispatch("Button52", Event{});
  }
  void select(const std::string& code) {
    ws->form.setText("Edit1", code);
    Event enter;
    enter.kind = Event::KeyPress;
    enter.key = 13;
    ws->dispatch("Edit1", enter);
  }
  std::size_t chartedCloses() { return ws->chart.line(ws->chart.find("owarine")).points.size(); }

  // The calendar file's first fields, row by row.
  std::vector<std::string> calendarDates() {
    std::vector<std::string> v;
    for (const auto& line : ReadLines(folder.path("tavrine/hizuke.csv").string())) v.push_back(ParseCommaText(line)[0]);
    return v;
  }
  void expectCalendarFollowsTheList() {
    const auto cal = calendarDates();
    ASSERT_EQ(static_cast<int>(cal.size()), ws->StockList.rowCount());
    EXPECT_EQ(cal[0], "日付");
    EXPECT_EQ(ws->DateTable.rowCount(), ws->StockList.rowCount());
    for (int r = 1; r < ws->StockList.rowCount(); ++r) {
      EXPECT_EQ(cal[static_cast<std::size_t>(r)], ws->StockList.cell(0, r)) << "row " << r;
      EXPECT_EQ(ws->DateTable.cell(0, r), ws->StockList.cell(0, r)) << "row " << r;
    }
  }
};

// ------------------------------------------------------------ a fresh home

TEST_F(PriceImportTest, FirstFileMakesTheListAndTheStockChartsAtOnceAndAfterARestart) {
  // No list, no calendar, no sibling tools: the start-up stops at the load.
  ws->dispatch("Button52", Event{});
  ASSERT_EQ(platform.errors.size(), 1u);
  platform.errors.clear();

  const auto days = Weekdays(kNewest, 60);
  auto rows = Priced(days);
  rows[3].close = "1003.5";
  std::string text = YahooText(rows);
  text.insert(text.find('\n') + 1, "2003-12-27,null,null,null,null,null,null\n");  // a null row is no price
  const ImportSummary s = import(file("7203.T.csv", text));
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(s.added, 1);
  EXPECT_EQ(s.updated, 0);
  EXPECT_EQ(s.filled, 0);
  EXPECT_EQ(s.leftOut, 0);
  EXPECT_EQ(s.lastCode, "7203");
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0], "取込完了: 追加 1銘柄、更新 0銘柄、補完 0日、除外 0日");

  // The list: the generated lists' date heading, the code as heading, each
  // close on its own day, newest first.
  const WorkTable& list = ws->StockList;
  ASSERT_EQ(list.rowCount(), 61);
  EXPECT_EQ(list.cell(0, 0), "日付");
  EXPECT_EQ(list.cell(1, 0), "7203");
  for (int r = 1; r <= 60; ++r) {
    EXPECT_EQ(list.cell(0, r), DateToStr(days[static_cast<std::size_t>(r - 1)]));
    EXPECT_EQ(list.cell(1, r), rows[static_cast<std::size_t>(r - 1)].close);
  }
  const auto lines = ReadLines(folder.path("デ-タ一覧.csv").string());
  ASSERT_EQ(lines.size(), 61u);
  EXPECT_EQ(lines[0], "日付,7203");
  EXPECT_EQ(lines[4], "2003/12/23,1003.5");
  expectCalendarFollowsTheList();
  EXPECT_EQ(ReadBytes(folder.path("tavrine.ini")), "[list]\r\nmaintainer=import\r\n");
  EXPECT_EQ(ReadBytes(folder.path("listwerk/kabuka/code.txt")), "\r\n7203");

  // Picked or typed at once.
  EXPECT_EQ(ws->form.text("Button17"), "銘柄ボタン");
  EXPECT_EQ(ws->StockPicker.cell(1, 1), "7203");
  select("7203");
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->SeriesTable.cell(ctl::Heading), "7203");
  EXPECT_EQ(ws->CalcTable.cell(0, 1), "2003/12/26");
  EXPECT_EQ(ws->CalcTable.cell(1, 1), "1000");
  EXPECT_EQ(ws->CalcTable.cell(1, 4), "1004");  // 1003.5 to the even yen
  EXPECT_GT(chartedCloses(), 0u);

  // After a restart: full mode from tavrine.ini, the only stock shown first.
  restart();
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->form.text("Button17"), "銘柄ボタン");
  EXPECT_EQ(ws->form.text("BitBtn1"), "株価収集");
  EXPECT_EQ(ws->StockPicker.cell(1, 1), "7203");
  select("7203");
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->CalcTable.cell(1, 1), "1000");
  EXPECT_EQ(ws->CalcTable.cell(1, 60), "1059");
  EXPECT_GT(chartedCloses(), 0u);

  // A second file in the broker form, Shift-JIS with a title line, named
  // without a code: the title's code and name, placed in code order.
  std::string jp = "6758 ソニーグループ 東証プライム\r\n日付,始値,高値,安値,終値,出来高\r\n";
  for (int i = 59; i >= 0; --i)
    jp += DateToStr(days[static_cast<std::size_t>(i)]) + ",1,1,1,\"" + IntToStr(2000 + i) + "\",\"1,000\"\r\n";
  const ImportSummary s2 = import(file("download.csv", Utf8ToCp932(jp)));
  EXPECT_EQ(s2.added, 1);
  EXPECT_EQ(Headings(ws->StockList, 3), (std::vector<std::string>{"6758 ソニーグループ", "7203", ""}));
  EXPECT_EQ(ws->StockList.cell(1, 1), "2000");
  EXPECT_EQ(ws->StockList.cell(1, 60), "2059");
  EXPECT_EQ(ws->StockList.cell(2, 60), "1059");
  EXPECT_EQ(ReadBytes(folder.path("listwerk/kabuka/code.txt")), "\r\n6758\r\n7203");
  select("6758");
  EXPECT_EQ(ws->CalcTable.cell(1, 1), "2000");
}

TEST_F(PriceImportTest, CodeAndNameComeFromTheFileOrAreGiven) {
  const auto days = Weekdays(kNewest, 30);
  const std::string plain = YahooText(Priced(days));
  // No code anywhere: refused until one is given.
  const ImportSummary none = import(file("prices.csv", plain));
  ASSERT_EQ(none.refused.size(), 1u);
  EXPECT_EQ(none.refused[0].message, "prices.csv: 銘柄コードが分かりません。銘柄コードを指定して下さい。");
  EXPECT_FALSE(std::filesystem::exists(folder.path("デ-タ一覧.csv")));
  EXPECT_EQ(platform.messages.back(), "取込できませんでした。");
  EXPECT_EQ(platform.errors.back(), none.refused[0].message);

  EXPECT_EQ(import(folder.path("prices.csv").string(), "７２０３", "トヨタ 自動車").added, 1);
  EXPECT_EQ(ws->StockList.cell(1, 0), "7203 トヨタ 自動車");
  // A given code overrides the file name's; a letter code sorts after the
  // same digits with 9.
  EXPECT_EQ(import(file("9984.csv", plain), "130a").added, 1);
  EXPECT_EQ(import(file("1301.csv", plain)).added, 1);
  EXPECT_EQ(Headings(ws->StockList, 3), (std::vector<std::string>{"1301", "130A", "7203 トヨタ 自動車"}));
  // No stock code, given or not.
  const ImportSummary bad = import(folder.path("1301.csv").string(), "13a1");
  ASSERT_EQ(bad.refused.size(), 1u);
  EXPECT_EQ(bad.refused[0].message, "1301.csv: 銘柄コードが正しくありません (13a1)");
}

// ------------------------------------------------------- an existing list

class ImportIntoList : public PriceImportTest {
 protected:
  std::vector<int> days = Weekdays(kNewest, 40);
  std::vector<std::vector<std::string>> before;  // columns 1..3, rows 1..40

  void SetUp() override {
    // Three stocks over 40 days as the sibling tools write them, the
    // calendar on the same days, no sibling tools: a stand-alone start.
    std::vector<std::string> lines = {"日付,\"1301 極洋\",\"7203 トヨタ\",\"9984 ソフトバンク\","};
    std::vector<std::string> cal = {"日付,新日付"};
    for (int r = 1; r <= 40; ++r) {
      const std::string d = DateToStr(days[static_cast<std::size_t>(r - 1)]);
      lines.push_back(d + "," + IntToStr(100 + r) + "," + IntToStr(200 + r) + "," + IntToStr(300 + r) + ",");
      cal.push_back(d);
    }
    WriteLines(folder.path("デ-タ一覧.csv").string(), lines, true);
    WriteLines(folder.path("tavrine/hizuke.csv").string(), cal, true);
    ws->dispatch("Button52", Event{});
    ASSERT_TRUE(platform.errors.empty()) << platform.errors.front();
    ASSERT_EQ(ws->form.text("Button17"), "銘柄収集");
    for (int c = 1; c <= 3; ++c) before.push_back(Column(ws->StockList, c));
    platform.messages.clear();
  }
};

TEST_F(ImportIntoList, ClosesGoOnTheirOwnDaysInsideGapsAreFilledAndNewerDaysExtendTheTop) {
  // Two days newer than the list, then the list's days but one (12/24), a
  // Saturday the list does not have, and a start 30 list days back.
  const int sat = DaysFromCivil(2003, 12, 20);
  std::vector<Day> rows = {{DaysFromCivil(2003, 12, 30), "4002"}, {DaysFromCivil(2003, 12, 29), "4001"}};
  for (int i = 0; i < 30; ++i) {
    if (i == 2) continue;
    if (days[static_cast<std::size_t>(i)] < sat && rows.back().day > sat) rows.push_back({sat, "9999"});
    rows.push_back({days[static_cast<std::size_t>(i)], IntToStr(4000 - i) + ".5"});
  }
  const ImportSummary s = import(file("5020.csv", YahooText(rows)));
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(s.added, 1);
  EXPECT_EQ(s.filled, 1);
  EXPECT_EQ(s.leftOut, 1);
  EXPECT_EQ(platform.messages.front(), "取込完了: 追加 1銘柄、更新 0銘柄、補完 1日、除外 1日");

  const WorkTable& list = ws->StockList;
  ASSERT_EQ(list.rowCount(), 43);
  EXPECT_EQ(Headings(list, 5), (std::vector<std::string>{"1301 極洋", "5020", "7203 トヨタ", "9984 ソフトバンク", ""}));
  EXPECT_EQ(list.cell(0, 1), "2003/12/30");
  EXPECT_EQ(list.cell(0, 2), "2003/12/29");
  std::vector<std::string> expect = {"4002", "4001"};
  for (int i = 0; i < 40; ++i) {
    if (i == 2)
      expect.push_back("3997.5");  // 12/24 takes 12/23's close
    else
      expect.push_back(i < 30 ? IntToStr(4000 - i) + ".5" : " ");
  }
  EXPECT_EQ(Column(list, 2), expect);
  // The other stocks: blank on the new days, as they were on the others.
  const int moved[] = {1, 3, 4};
  for (int k = 0; k < 3; ++k) {
    auto col = Column(list, moved[k]);
    EXPECT_EQ(col[0], " ");
    EXPECT_EQ(col[1], " ");
    EXPECT_EQ(std::vector<std::string>(col.begin() + 2, col.end()), before[static_cast<std::size_t>(k)]);
  }
  expectCalendarFollowsTheList();
  EXPECT_EQ(calendarDates()[3], "2003/12/26");

  // The mode a restart would give: full, picker filled; Enter charts it.
  EXPECT_EQ(ws->form.text("Button17"), "銘柄ボタン");
  EXPECT_EQ(ws->form.text("BitBtn1"), "株価収集");
  EXPECT_EQ(ws->StockPicker.cell(2, 1), "5020");
  select("5020");
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->CalcTable.cell(0, 1), "2003/12/30");
  EXPECT_EQ(ws->CalcTable.cell(1, 1), "4002");
  EXPECT_EQ(ws->CalcTable.cell(1, 3), "4000");  // 4000.5 to the even yen
}

TEST_F(ImportIntoList, OlderDaysExtendTheBottomAndAnUpdateKeepsHeadingColumnAndUncoveredDays) {
  // 7203 anew for its newest 3 days and 5 days before the list's first.
  std::vector<int> fileDays(days.begin(), days.begin() + 3);
  const auto older = Weekdays(days.back() - 1, 5);
  std::vector<Day> rows = Priced(fileDays, 700);
  for (int d : older) rows.push_back({d, "650"});
  // The file leaves list days 4 .. 40 uncovered: the stock keeps its own closes there.
  const ImportSummary s = import(file("7203.csv", YahooText(rows)), "", "別の名前");
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(s.updated, 1);
  EXPECT_EQ(s.added, 0);
  EXPECT_EQ(s.filled, 0);
  const WorkTable& list = ws->StockList;
  ASSERT_EQ(list.rowCount(), 46);
  EXPECT_EQ(Headings(list, 4), (std::vector<std::string>{"1301 極洋", "7203 トヨタ", "9984 ソフトバンク", ""}));
  EXPECT_EQ(list.cell(2, 1), "700");
  EXPECT_EQ(list.cell(2, 3), "702");
  EXPECT_EQ(list.cell(2, 4), "204");
  EXPECT_EQ(list.cell(2, 40), "240");
  EXPECT_EQ(list.cell(2, 41), "650");
  EXPECT_EQ(list.cell(0, 41), DateToStr(older[0]));
  EXPECT_EQ(list.cell(0, 45), DateToStr(older[4]));
  EXPECT_EQ(list.cell(1, 41), " ");
  EXPECT_EQ(list.cell(3, 45), " ");
  EXPECT_EQ(list.cell(1, 40), "140");
  expectCalendarFollowsTheList();
  EXPECT_EQ(ReadBytes(folder.path("listwerk/kabuka/code.txt")), "\r\n1301\r\n7203\r\n9984");
}

TEST_F(ImportIntoList, NewerDaysPushTheOldestPastTheLastRow) {
  // A full-length list of one stock: three newer days push three old ones
  // out; older days cannot come in.
  const auto full = Weekdays(kNewest, 4860);
  WorkTable& list = ws->StockList;
  list.clearAll();
  list.setRowCount(4861);
  list.set(0, 0, "日付");
  list.set(1, 0, "1301 極洋");
  for (int r = 1; r <= 4860; ++r) {
    list.set(0, r, DateToStr(full[static_cast<std::size_t>(r - 1)]));
    list.set(1, r, IntToStr(r));
  }
  std::vector<Day> rows = {{DaysFromCivil(2003, 12, 31), "3"}, {DaysFromCivil(2003, 12, 30), "2"},
                           {DaysFromCivil(2003, 12, 29), "1"}};
  for (int i = 0; i < 10; ++i) rows.push_back({full[static_cast<std::size_t>(i)], "5"});
  rows.push_back({full.back() - 3, "5"});  // older than any list day
  const ImportSummary s = import(file("2000.csv", YahooText(rows)));
  EXPECT_EQ(s.added, 1);
  EXPECT_EQ(s.dropped, 3);
  EXPECT_EQ(s.leftOut, 1);
  ASSERT_EQ(list.rowCount(), 4861);
  EXPECT_EQ(list.cell(0, 1), "2003/12/31");
  EXPECT_EQ(list.cell(0, 4), "2003/12/26");
  EXPECT_EQ(list.cell(0, 4860), DateToStr(full[4856]));
  EXPECT_EQ(list.cell(1, 4860), "4857");
  EXPECT_EQ(Headings(list, 2), (std::vector<std::string>{"1301 極洋", "2000"}));
  EXPECT_EQ(list.cell(1, 1), " ");
  EXPECT_EQ(list.cell(1, 4), "1");
  EXPECT_EQ(list.cell(2, 1), "3");
  EXPECT_EQ(list.cell(2, 4), "5");
  EXPECT_EQ(list.cell(2, 14), " ");
  EXPECT_EQ(ReadLines(folder.path("デ-タ一覧.csv").string()).size(), 4861u);
  expectCalendarFollowsTheList();
}

// ------------------------------------------------------------- refusals

TEST_F(ImportIntoList, ARefusedFileLeavesListCalendarAndCodeListByteIdentical) {
  WriteText(folder.path("listwerk/kabuka/code.txt").string(), "\r\n1301\r\n7203\r\n9984");
  const std::string list0 = listBytes();
  const std::string cal0 = ReadBytes(folder.path("tavrine/hizuke.csv"));
  const std::string code0 = ReadBytes(folder.path("listwerk/kabuka/code.txt"));
  const WorkTable mem0 = ws->StockList;
  const WorkTable dates0 = ws->DateTable;

  const auto good = YahooText(Priced(std::vector<int>(days.begin(), days.begin() + 30)));
  std::string badDate = good;
  badDate.replace(badDate.find("2003-12-"), 10, "2003-02-30");  // line 2
  std::string lines = "Date,Close\n2003/12/26,10\n2003/12/25,11\n2003/12/24,12\n";
  const struct {
    std::string name, bytes, message;
  } cases[] = {
      {"7203.csv", badDate, "7203.csv: 2行目: 日付を読めません (2003-02-30)"},
      {"7203.csv", lines + "2003/12/25,13\n", "7203.csv: 5行目: 日付が重複しています (2003/12/25)"},
      {"7203.csv", lines + "2003/12/23,abc\n", "7203.csv: 5行目: 終値が数値ではありません (abc)"},
      {"7203.csv", lines + "2003/12/23,0\n", "7203.csv: 5行目: 終値が0以下です (0)"},
      {"7203.csv", "no,header,here\nat,all,\n", "7203.csv: 1行目: 見出し行を認識できません"},
      {"missing.csv", "", "missing.csv: ファイルを読めません"},
      {"7203.csv", "Date,Close\n2003/12/20,10\n", "7203.csv: デ-タ一覧の日付に当たる株価がありません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const std::string path = c.name == "missing.csv" ? folder.path("missing.csv").string() : file(c.name, c.bytes);
    platform.messages.clear();
    platform.errors.clear();
    const ImportSummary s = import(path);
    EXPECT_FALSE(s.imported());
    ASSERT_EQ(s.refused.size(), 1u);
    EXPECT_EQ(s.refused[0].message, c.message);
    EXPECT_EQ(platform.messages, std::vector<std::string>{"取込できませんでした。"});
    EXPECT_EQ(platform.errors, std::vector<std::string>{s.refused[0].message});
    EXPECT_EQ(listBytes(), list0);
    EXPECT_EQ(ReadBytes(folder.path("tavrine/hizuke.csv")), cal0);
    EXPECT_EQ(ReadBytes(folder.path("listwerk/kabuka/code.txt")), code0);
    EXPECT_FALSE(std::filesystem::exists(folder.path("tavrine.ini")));
    EXPECT_TRUE(SameCells(ws->StockList, mem0));
    EXPECT_TRUE(SameCells(ws->DateTable, dates0));
    EXPECT_EQ(ws->form.text("Button17"), "銘柄収集");
  }

  // With a good file in the same import: the good one goes in, the summary
  // names the other.
  platform.messages.clear();
  platform.errors.clear();
  const ImportSummary s = ImportPriceFiles(*ws, {{file("7203.csv", badDate), "", ""}, {file("8058.csv", good), "", ""}});
  EXPECT_EQ(s.added, 1);
  ASSERT_EQ(s.refused.size(), 1u);
  EXPECT_EQ(s.Text(), "取込完了: 追加 1銘柄、更新 0銘柄、補完 0日、除外 0日、取込不可 1ファイル\r"
                      "7203.csv: 2行目: 日付を読めません (2003-02-30)");
  EXPECT_EQ(platform.errors, std::vector<std::string>{"7203.csv: 2行目: 日付を読めません (2003-02-30)"});
  EXPECT_EQ(ws->StockList.cell(3, 0), "8058");
  EXPECT_EQ(ws->StockList.cell(2, 1), "201");
}

TEST_F(ImportIntoList, AListThatCannotBeSavedTakesNothing) {
  const std::string cal0 = ReadBytes(folder.path("tavrine/hizuke.csv"));
  const WorkTable mem0 = ws->StockList;
  const WorkTable dates0 = ws->DateTable;
  ::setenv("TAVRINE_HOME", folder.path("gone").c_str(), 1);  // no such folder
  const ImportSummary s = import(file("8058.csv", YahooText(Priced(days))));
  EXPECT_FALSE(s.imported());
  EXPECT_TRUE(s.lastCode.empty());
  ASSERT_EQ(s.errors.size(), 1u);
  EXPECT_EQ(s.errors[0].rfind("デ-タ一覧を保存できませんでした。\r", 0), 0u) << s.errors[0];
  EXPECT_EQ(platform.messages, std::vector<std::string>{"取込できませんでした。"});
  EXPECT_EQ(platform.errors, s.errors);
  EXPECT_TRUE(SameCells(ws->StockList, mem0));
  EXPECT_TRUE(SameCells(ws->DateTable, dates0));
  EXPECT_EQ(ReadBytes(folder.path("tavrine/hizuke.csv")), cal0);
  EXPECT_FALSE(std::filesystem::exists(folder.path("listwerk/kabuka/code.txt")));
  EXPECT_EQ(ws->form.text("Button17"), "銘柄収集");
}

TEST_F(ImportIntoList, AListWithADateOutOfOrderTakesNothing) {
  ws->StockList.set(0, 7, "2004/01/05");
  const std::string list0 = listBytes();
  const ImportSummary s = import(file("8058.csv", YahooText(Priced(days))));
  EXPECT_FALSE(s.imported());
  ASSERT_EQ(s.refused.size(), 1u);
  EXPECT_EQ(s.refused[0].message, "8058.csv: デ-タ一覧の日付が8行目で新しい順になっていません");
  EXPECT_EQ(listBytes(), list0);
}

TEST_F(ImportIntoList, FullListTakesNoNewCodeButStillUpdates) {
  WorkTable& list = ws->StockList;
  for (int c = 1; c <= 197; ++c) {
    list.set(c, 0, IntToStr(1000 + c) + " s");
    for (int r = 1; r <= 40; ++r) list.set(c, r, IntToStr(c));
  }
  const std::string text = YahooText(Priced(days, 500));
  const ImportSummary refused = import(file("5000.csv", text));
  ASSERT_EQ(refused.refused.size(), 1u);
  EXPECT_EQ(refused.refused[0].message, std::string("5000.csv: ") + kListFullMessage);
  EXPECT_EQ(list.cell(197, 0), "1197 s");
  EXPECT_EQ(list.cell(198, 0), "");

  const ImportSummary updated = import(file("1100.csv", text));
  EXPECT_EQ(updated.updated, 1);
  EXPECT_EQ(list.cell(100, 0), "1100 s");
  EXPECT_EQ(list.cell(100, 1), "500");
  EXPECT_EQ(list.cell(101, 1), "101");
}

// ---------------------------------------------------- files and the mode

TEST_F(ImportIntoList, CodeListOnlyWhereTheListEditorsFolderExists) {
  std::filesystem::remove_all(folder.path("listwerk"));
  const ImportSummary s = import(file("8058.csv", YahooText(Priced(days))));
  EXPECT_EQ(s.added, 1);
  EXPECT_TRUE(s.errors.empty());
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_FALSE(std::filesystem::exists(folder.path("listwerk")));

  // Once the list is kept by importing, the stock-list update of a collected
  // stock skips the missing code list quietly too.
  ws->form.setText("Edit18", "9000");
  ws->StockList.set(199, 0, "9000 x");
  for (int r = 1; r <= 30; ++r) ws->StockList.set(199, r, "9");
  ws->SeriesTable.set(ctl::LastDataRow, "30");
  ws->collection.setScratchReady(true);
  ws->dispatch("Button104", Event{});
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->StockList.cell(4, 0), "9000 x");
}

TEST_F(ImportIntoList, TheRecordMakesTheNextStartFullModeAndKeepsTheRestOfTheFile) {
  WriteText(folder.path("tavrine.ini").string(), "[window]\r\nwidth=1020\r\n");
  ASSERT_EQ(import(file("8058.csv", YahooText(Priced(days)))).added, 1);
  EXPECT_EQ(ReadBytes(folder.path("tavrine.ini")), "[window]\r\nwidth=1020\r\n[list]\r\nmaintainer=import\r\n");
  EXPECT_TRUE(ImportMaintainsList());
  restart();
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->form.text("Button17"), "銘柄ボタン");
  EXPECT_EQ(ws->form.text("BitBtn1"), "株価収集");
  EXPECT_EQ(ws->SeriesTable.cell(ctl::StockColumn), "4");
  EXPECT_EQ(ws->CalcTable.cell(1, 1), "301");

  // Another maintainer recorded: stand-alone again, as without the record.
  WriteText(folder.path("tavrine.ini").string(), "[list]\r\nmaintainer=listwerk\r\n");
  EXPECT_FALSE(ImportMaintainsList());
  restart();
  EXPECT_EQ(ws->form.text("Button17"), "銘柄収集");
  RecordImportMaintainer();
  EXPECT_EQ(ReadBytes(folder.path("tavrine.ini")), "[list]\r\nmaintainer=import\r\n");
}

class WaitingPlatform : public RecordingPlatform {
 public:
  std::function<void()> duringWait;
  void processEvents() override {
    RecordingPlatform::processEvents();
    if (auto f = std::exchange(duringWait, nullptr)) f();
  }
};

TEST(PriceImportDuringAPageWait, IsRefusedAndReadsNothing) {
  DataFolder folder;
  WriteText(folder.path("tavrine/zenncode.txt").string(), "コード\t名称\r\n7203\tトヨタ自動車\r\n");
  const auto days = Weekdays(kNewest, 120);
  WriteMarket(folder, "7203", days);
  WriteBytes(folder.path("8058.csv"), YahooText(Priced(days)));
  LiveSite site(folder);
  WaitingPlatform p;
  Workspace ws{p};
  StartValues(ws);
  ImportSummary during;
  p.duringWait = [&] { during = ImportPriceFiles(ws, {{folder.path("8058.csv").string(), "", ""}}); };
  ws.form.setText("Edit18", "7203");
  Event enter;
  enter.kind = Event::KeyPress;
  enter.key = 13;
  ws.dispatch("Edit18", enter);
  EXPECT_TRUE(during.busy);
  EXPECT_FALSE(during.imported());
  EXPECT_EQ(std::count(p.statuses.begin(), p.statuses.end(), "株価の受信中です。終わってから操作して下さい。"), 1);
  EXPECT_FALSE(std::filesystem::exists(folder.path("デ-タ一覧.csv")));
  EXPECT_FALSE(std::filesystem::exists(folder.path("tavrine.ini")));
  EXPECT_EQ(ws.StockList.cell(1, 0), "");
  // Afterwards it goes in.
  EXPECT_EQ(ImportPriceFiles(ws, {{folder.path("8058.csv").string(), "", ""}}).added, 1);
}

}  // namespace
}  // namespace tavrine
