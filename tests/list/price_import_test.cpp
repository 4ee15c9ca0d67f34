// Importing daily-price files into the stock list: a first list made from a
// file, closes placed on the list's own days, gaps filled, files refused
// without a trace, the saved calendar and code list, and the mode a list kept
// by importing gives the program; the candles of a file kept in the price
// store.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "../web/web_support.h"
#include "app/import.h"
#include "list/list_edit.h"
#include "list/placement.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/control_cells.h"
#include "store/price_store.h"

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
    std::string date = DateToStr(d.day);
    std::replace(date.begin(), date.end(), '/', '-');
    t += date + ",1,1,1," + d.close + ",1,100\n";
  }
  return t;
}

// Closes base + i (i = 0 the newest) on the given days.
std::vector<Day> Priced(const std::vector<int>& days, int base = 1000) {
  std::vector<Day> rows;
  for (std::size_t i = 0; i < days.size(); ++i)
    rows.push_back({days[i], IntToStr(base + static_cast<int>(i))});
  return rows;
}

// Rows 1 .. rowCount-1 of a column, or row 0 of columns 1 .. n.
std::vector<std::string> Column(const WorkTable& t, int c) {
  std::vector<std::string> v;
  for (int r = 1; r < t.rowCount(); ++r) v.push_back(t.cell(c, r));
  return v;
}
std::vector<std::string> Headings(const WorkTable& t, int n) {
  std::vector<std::string> v;
  for (int c = 1; c <= n; ++c) v.push_back(t.cell(c, 0));
  return v;
}

bool SameCells(const WorkTable& a, const WorkTable& b) {
  if (a.rowCount() != b.rowCount() || a.colCount() != b.colCount()) return false;
  for (int c = 0; c < 200; ++c)
    for (int r = 0; r <= 4861; ++r)
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
  ImportSummary import(const std::string& path, const std::string& code = "",
                       const std::string& name = "") {
    return ImportPriceFiles(*ws, {{path, code, name}});
  }
  std::string bytesOf(const std::string& rel) { return ReadBytes(folder.path(rel)); }
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
  // hizuke.csv and DateTable hold the list's dates row for row.
  void expectCalendarFollowsTheList() {
    const auto cal = ReadLines(folder.path("tavrine/hizuke.csv").string());
    ASSERT_EQ(static_cast<int>(cal.size()), ws->StockList.rowCount());
    EXPECT_EQ(ws->DateTable.rowCount(), ws->StockList.rowCount());
    EXPECT_EQ(ParseCommaText(cal[0])[0], "日付");
    for (int r = 1; r < ws->StockList.rowCount(); ++r) {
      EXPECT_EQ(ParseCommaText(cal[static_cast<std::size_t>(r)])[0], ws->StockList.cell(0, r)) << r;
      EXPECT_EQ(ws->DateTable.cell(0, r), ws->StockList.cell(0, r)) << r;
    }
  }
};

TEST_F(PriceImportTest, FirstFileMakesTheListAndChartsAtOnceAndAfterARestart) {
  ws->dispatch("Button52", Event{});  // no list yet: the start-up stops at the load
  platform.errors.clear();
  const auto days = Weekdays(kNewest, 60);
  auto rows = Priced(days);
  rows[3].close = "1003.5";
  const ImportSummary s = import(file("7203.T.csv", YahooText(rows)));
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(s.lastCode, "7203");
  EXPECT_EQ(platform.messages,
            std::vector<std::string>{"取込完了: 追加 1銘柄、更新 0銘柄、補完 0日、除外 0日"});

  const WorkTable& list = ws->StockList;
  ASSERT_EQ(list.rowCount(), 61);
  EXPECT_EQ(Headings(list, 2), (std::vector<std::string>{"7203", ""}));
  for (int r = 1; r <= 60; ++r) {
    EXPECT_EQ(list.cell(0, r), DateToStr(days[static_cast<std::size_t>(r - 1)]));
    EXPECT_EQ(list.cell(1, r), rows[static_cast<std::size_t>(r - 1)].close);
  }
  const auto lines = ReadLines(folder.path("デ-タ一覧.csv").string());
  EXPECT_EQ(lines[0], "日付,7203");
  EXPECT_EQ(lines[4], "2003/12/23,1003.5");
  expectCalendarFollowsTheList();
  EXPECT_EQ(bytesOf("tavrine.ini"), "[list]\r\nmaintainer=import\r\n");

  EXPECT_EQ(ws->StockPicker.cell(1, 1), "7203");
  select("7203");
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->CalcTable.cell(0, 1), "2003/12/26");
  EXPECT_EQ(ws->CalcTable.cell(1, 4), "1004");  // 1003.5 to the even yen
  EXPECT_FALSE(ws->chart.line(ws->chart.find("owarine")).points.empty());

  // After a restart: full mode from tavrine.ini, the only stock shown first.
  restart();
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->form.text("BitBtn1"), "株価収集");
  select("7203");
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->CalcTable.cell(1, 60), "1059");

  // The broker form, Shift-JIS, code and name from its title line: in code order.
  std::string jp = "6758 ソニーグループ 東証プライム\r\n日付,始値,高値,安値,終値,出来高\r\n";
  for (int i = 59; i >= 0; --i)
    jp += DateToStr(days[static_cast<std::size_t>(i)]) + ",1,1,1,\"" + IntToStr(2000 + i) +
          "\",\"1,000\"\r\n";
  EXPECT_EQ(import(file("download.csv", Utf8ToCp932(jp))).added, 1);
  EXPECT_EQ(Headings(ws->StockList, 2), (std::vector<std::string>{"6758 ソニーグループ", "7203"}));
  EXPECT_EQ(ws->StockList.cell(1, 60), "2059");
  EXPECT_EQ(ws->StockList.cell(2, 60), "1059");
  EXPECT_EQ(bytesOf("listwerk/kabuka/code.txt"), "\r\n6758\r\n7203");
}

TEST_F(PriceImportTest, CodeAndNameComeFromTheFileOrAreGiven) {
  const std::string plain = YahooText(Priced(Weekdays(kNewest, 30)));
  const ImportSummary none = import(file("prices.csv", plain));
  ASSERT_EQ(none.refused.size(), 1u);
  EXPECT_EQ(none.refused[0].message,
            "prices.csv: 銘柄コードが分かりません。銘柄コードを指定して下さい。");
  EXPECT_EQ(platform.messages.back(), "取込できませんでした。");
  EXPECT_FALSE(std::filesystem::exists(folder.path("デ-タ一覧.csv")));

  EXPECT_EQ(import(folder.path("prices.csv").string(), "７２０３", "トヨタ 自動車").added, 1);
  // A given code wins over the file name's; a letter code sorts after the same digits with 9.
  EXPECT_EQ(import(file("9984.csv", plain), "130a").added, 1);
  EXPECT_EQ(import(file("1301.csv", plain)).added, 1);
  EXPECT_EQ(Headings(ws->StockList, 3),
            (std::vector<std::string>{"1301", "130A", "7203 トヨタ 自動車"}));
  EXPECT_EQ(import(folder.path("1301.csv").string(), "13a1").refused.at(0).message,
            "1301.csv: 銘柄コードが正しくありません (13a1)");
}

TEST_F(PriceImportTest, NewStockNeedsTheDaysOfThePriceScale) {
  // 25 days could be stored but never charted: the chart's price scale needs
  // the newest close and the 25 after it. 26 days chart.
  const ImportSummary few = import(file("7203.csv", YahooText(Priced(Weekdays(kNewest, 25)))));
  ASSERT_EQ(few.refused.size(), 1u);
  EXPECT_EQ(few.refused[0].message, "7203.csv: 株価が25日分しかありません (26日以上必要です)");
  EXPECT_FALSE(std::filesystem::exists(folder.path("デ-タ一覧.csv")));
  EXPECT_EQ(import(file("7203.csv", YahooText(Priced(Weekdays(kNewest, 26))))).added, 1);
  platform.errors.clear();
  select("7203");
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_FALSE(ws->chart.line(ChartModel::owarine).points.empty());
}

// Three stocks over 40 days as the sibling tools write them, the calendar on
// the same days, no sibling tools: a stand-alone start.
class ImportIntoList : public PriceImportTest {
 protected:
  std::vector<int> days = Weekdays(kNewest, 40);

  void SetUp() override {
    std::vector<std::string> lines = {"日付,\"1301 極洋\",\"7203 トヨタ\",\"9984 ソフトバンク\","};
    std::vector<std::string> cal = {"日付,新日付"};
    for (int r = 1; r <= 40; ++r) {
      const std::string d = DateToStr(days[static_cast<std::size_t>(r - 1)]);
      lines.push_back(d + "," + IntToStr(100 + r) + "," + IntToStr(200 + r) + "," +
                      IntToStr(300 + r) + ",");
      cal.push_back(d);
    }
    WriteLines(folder.path("デ-タ一覧.csv").string(), lines, true);
    WriteLines(folder.path("tavrine/hizuke.csv").string(), cal, true);
    ws->dispatch("Button52", Event{});
    ASSERT_TRUE(platform.errors.empty()) << platform.errors.front();
    ASSERT_EQ(ws->form.text("Button17"), "銘柄収集");
    platform.messages.clear();
  }
};

TEST_F(ImportIntoList, ClosesGoOnTheirOwnDaysGapsAreFilledNewerDaysExtendTheTop) {
  folder.set("TAVRINE_TODAY", "2003/12/30");  // the newer days are no days after today
  // Two days newer than the list, then 30 list days but 12/24, and the
  // Saturday 12/20 that the list does not have.
  const int sat = DaysFromCivil(2003, 12, 20);
  std::vector<Day> rows = {{DaysFromCivil(2003, 12, 30), "4002"},
                           {DaysFromCivil(2003, 12, 29), "4001"}};
  for (int i = 0; i < 30; ++i) {
    if (i == 5) rows.push_back({sat, "9999"});
    if (i != 2) rows.push_back({days[static_cast<std::size_t>(i)], IntToStr(4000 - i) + ".5"});
  }
  const std::vector<std::string> others[] = {Column(ws->StockList, 1), Column(ws->StockList, 2),
                                             Column(ws->StockList, 3)};
  const ImportSummary s = import(file("5020.csv", YahooText(rows)));
  EXPECT_EQ(platform.messages,
            std::vector<std::string>{"取込完了: 追加 1銘柄、更新 0銘柄、補完 1日、除外 1日\r"
                                     "5020.csv: 除外 1日: デ-タ一覧の営業日にない日 (2003/12/20)"});
  EXPECT_EQ(s.filled, 1);
  EXPECT_EQ(s.leftOut, 1);

  const WorkTable& list = ws->StockList;
  EXPECT_EQ(Headings(list, 5), (std::vector<std::string>{"1301 極洋", "5020", "7203 トヨタ",
                                                         "9984 ソフトバンク", ""}));
  std::vector<std::string> expect = {"4002", "4001"};
  for (int i = 0; i < 40; ++i)
    expect.push_back(i == 2 ? "3997.5" : i < 30 ? IntToStr(4000 - i) + ".5" : " ");
  EXPECT_EQ(Column(list, 2), expect);  // 12/24 took 12/23's close; older days blank
  const int moved[] = {1, 3, 4};
  for (int k = 0; k < 3; ++k) {
    std::vector<std::string> was = {" ", " "};
    was.insert(was.end(), others[k].begin(), others[k].end());
    EXPECT_EQ(Column(list, moved[k]), was);
  }
  EXPECT_EQ(list.cell(0, 1), "2003/12/30");
  expectCalendarFollowsTheList();

  // The mode a restart would give: full, picker filled; Enter charts it.
  EXPECT_EQ(ws->form.text("Button17"), "銘柄ボタン");
  EXPECT_EQ(ws->StockPicker.cell(2, 1), "5020");
  select("5020");
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->CalcTable.cell(0, 1), "2003/12/30");
  EXPECT_EQ(ws->CalcTable.cell(1, 3), "4000");
}

TEST_F(ImportIntoList, OlderDaysExtendTheBottomAndAnUpdateKeepsHeadingAndUncoveredDays) {
  const auto older = Weekdays(days.back() - 1, 5);
  // The file's closes on the list's days are the stored ones (201 .. 203).
  std::vector<Day> rows = Priced(std::vector<int>(days.begin(), days.begin() + 3), 201);
  rows[1].close = "202.0";
  for (int d : older) rows.push_back({d, "650"});
  const ImportSummary s = import(file("7203.csv", YahooText(rows)), "", "別の名前");
  EXPECT_EQ(s.updated, 1);
  EXPECT_EQ(s.added, 0);
  const WorkTable& list = ws->StockList;
  ASSERT_EQ(list.rowCount(), 46);
  EXPECT_EQ(Headings(list, 4),
            (std::vector<std::string>{"1301 極洋", "7203 別の名前", "9984 ソフトバンク", ""}));
  const std::vector<std::string> expect = {"203", "204", "240", "650"};
  EXPECT_EQ((std::vector<std::string>{list.cell(2, 3), list.cell(2, 4), list.cell(2, 40),
                                      list.cell(2, 41)}),
            expect);
  EXPECT_EQ(list.cell(0, 45), DateToStr(older[4]));
  EXPECT_EQ(list.cell(1, 41), " ");
  EXPECT_EQ(list.cell(1, 40), "140");
  expectCalendarFollowsTheList();
  EXPECT_EQ(bytesOf("listwerk/kabuka/code.txt"), "\r\n1301\r\n7203\r\n9984");
}

TEST_F(ImportIntoList, NewerDaysPushTheOldestPastRow4860) {
  folder.set("TAVRINE_TODAY", "2003/12/31");  // the newer days are no days after today
  const auto full = Weekdays(kNewest, 4860);
  WorkTable& list = ws->StockList;
  list.setRowCount(4861);
  for (int r = 1; r <= 4860; ++r) {
    list.set(0, r, DateToStr(full[static_cast<std::size_t>(r - 1)]));
    for (int c = 1; c <= 3; ++c) list.set(c, r, IntToStr(r));
  }
  std::vector<Day> rows = {{kNewest + 5, "3"}, {kNewest + 4, "2"}, {kNewest + 3, "1"}};
  for (int i = 0; i < 30; ++i) {
    // Four Saturdays among the list's days, which the list does not have.
    if (i % 5 == 0 && i > 0 && i <= 20)
      rows.push_back({full[static_cast<std::size_t>(i)] + 1, "5"});
    rows.push_back({full[static_cast<std::size_t>(i)], "5"});
  }
  // Older than the list, which is full.
  rows.push_back({full.back() - 3, "5"});
  rows.push_back({full.back() - 4, "5"});
  const ImportSummary s = import(file("2000.csv", YahooText(rows)));
  EXPECT_EQ(s.dropped, 3);
  EXPECT_EQ(s.leftOut, 6);
  // Which days, and why: a few by name, more as a range.
  ASSERT_FALSE(platform.messages.empty());
  EXPECT_EQ(platform.messages.back(),
            "取込完了: 追加 1銘柄、更新 0銘柄、補完 0日、除外 6日、古い日付の削除 3日\r"
            "古い日付の削除 3日: 4860日の上限を超えた最も古い日 (" +
                DateToStr(full[4859]) + "、" + DateToStr(full[4858]) + "、" +
                DateToStr(full[4857]) +
                ")\r"
                "2000.csv: 除外 6日: 4860日の上限より古い日 2日 (" +
                DateToStr(full.back() - 4) + "、" + DateToStr(full.back() - 3) +
                ")、デ-タ一覧の営業日にない日 4日 (2003/11/29〜2003/12/20)");
  ASSERT_EQ(s.leftOutDays.size(), 1u);
  EXPECT_EQ(s.leftOutDays[0].offCalendar.count, 4);
  EXPECT_EQ(s.droppedDays.oldest, full[4859]);
  EXPECT_EQ(s.droppedDays.newest, full[4857]);
  ASSERT_EQ(list.rowCount(), 4861);
  EXPECT_EQ(list.cell(0, 4), "2003/12/26");
  EXPECT_EQ(list.cell(0, 4860), DateToStr(full[4856]));
  EXPECT_EQ((std::vector<std::string>{list.cell(1, 1), list.cell(1, 4), list.cell(1, 4860)}),
            (std::vector<std::string>{" ", "1", "4857"}));
  EXPECT_EQ((std::vector<std::string>{list.cell(2, 1), list.cell(2, 4), list.cell(2, 34)}),
            (std::vector<std::string>{"3", "5", " "}));
  EXPECT_EQ(ReadLines(folder.path("デ-タ一覧.csv").string()).size(), 4861u);
  expectCalendarFollowsTheList();
}

TEST_F(ImportIntoList, ARefusedFileLeavesListCalendarAndCodeListByteIdentical) {
  WriteText(folder.path("listwerk/kabuka/code.txt").string(), "\r\n1301\r\n7203\r\n9984");
  const std::string files[] = {"デ-タ一覧.csv", "tavrine/hizuke.csv", "listwerk/kabuka/code.txt"};
  std::vector<std::string> before;
  for (const auto& f : files) before.push_back(bytesOf(f));
  const WorkTable list0 = ws->StockList, dates0 = ws->DateTable;

  const std::string good = YahooText(Priced(std::vector<int>(days.begin(), days.begin() + 30)));
  std::string badDate = good;
  badDate.replace(badDate.find("2003-12-24"), 10, "2003-02-30");  // line 4
  const std::pair<std::string, std::string> cases[] = {
      {file("7203.csv", badDate), "7203.csv: 4行目: 日付を読めません (2003-02-30)"},
      {file("7204.csv", "Date,Close\n2003/12/20,10\n"),
       "7204.csv: デ-タ一覧の日付に当たる株価がありません"},
      {folder.path("missing.csv").string(), "missing.csv: ファイルを読めません"},
  };
  for (const auto& [path, message] : cases) {
    platform.messages.clear();
    platform.errors.clear();
    EXPECT_FALSE(import(path).imported());
    EXPECT_EQ(platform.messages, std::vector<std::string>{"取込できませんでした。"});
    EXPECT_EQ(platform.errors, std::vector<std::string>{message});
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(bytesOf(files[i]), before[i]) << files[i];
    EXPECT_FALSE(std::filesystem::exists(folder.path("tavrine.ini")));
    EXPECT_TRUE(SameCells(ws->StockList, list0));
    EXPECT_TRUE(SameCells(ws->DateTable, dates0));
    EXPECT_EQ(ws->form.text("Button17"), "銘柄収集");
  }

  // A good file of the same import still goes in; the summary names the other.
  const ImportSummary s =
      ImportPriceFiles(*ws, {{cases[0].first, "", ""}, {file("8058.csv", good), "", ""}});
  EXPECT_EQ(s.Text(), "取込完了: 追加 1銘柄、更新 0銘柄、補完 0日、除外 0日、取込不可 1ファイル\r" +
                          cases[0].second);
  EXPECT_EQ(ws->StockList.cell(3, 0), "8058");
}

// The window's hooks: a code asked for mid-run only for a file that names
// none, a file left without one named in the summary, and a cancel before
// the last file that writes nothing at all.
TEST_F(ImportIntoList, ACodeIsAskedWhenNeededAndACancelWritesNothing) {
  const std::string good = YahooText(Priced(std::vector<int>(days.begin(), days.begin() + 30)));
  const std::string noCode = file("prices.csv", good), skipped = file("other.csv", good);
  std::vector<std::string> asked;
  ImportHooks hooks;
  hooks.askCode = [&](const std::string& shown) {
    asked.push_back(shown);
    return shown == "prices.csv" ? std::string("5020") : std::string();
  };
  const ImportSummary s = ImportPriceFiles(
      *ws, {{noCode, "", ""}, {skipped, "", ""}, {file("8058.csv", good), "", ""}}, hooks, false);
  EXPECT_EQ(asked, (std::vector<std::string>{"prices.csv", "other.csv"}));
  EXPECT_TRUE(platform.messages.empty());  // the caller shows the text
  EXPECT_EQ(s.Text(),
            "取込完了: 追加 2銘柄、更新 0銘柄、補完 0日、除外 0日、取込不可 1ファイル\r"
            "other.csv: 銘柄コードが入力されなかったので取り込みませんでした。");

  const std::string before = bytesOf("デ-タ一覧.csv"), calendar = bytesOf("tavrine/hizuke.csv");
  const WorkTable list0 = ws->StockList;
  ImportHooks stop;
  stop.progress = [](int done, int, const std::string&) { return done < 1; };
  const ImportSummary c = ImportPriceFiles(
      *ws, {{file("6501.csv", good), "", ""}, {file("6502.csv", good), "", ""}}, stop, false);
  EXPECT_TRUE(c.cancelled);
  EXPECT_FALSE(c.imported());
  EXPECT_EQ(c.Headline(), "取込を中止しました。デ-タ一覧は変わっていません。");
  EXPECT_EQ(bytesOf("デ-タ一覧.csv"), before);
  EXPECT_EQ(bytesOf("tavrine/hizuke.csv"), calendar);
  EXPECT_TRUE(SameCells(ws->StockList, list0));
}

TEST_F(ImportIntoList, AListThatCannotBeReadOrSavedTakesNothing) {
  const WorkTable list0 = ws->StockList;
  const std::string cal0 = bytesOf("tavrine/hizuke.csv");
  const std::string good = file("8058.csv", YahooText(Priced(days)));
  ::setenv("TAVRINE_HOME", folder.path("gone").c_str(), 1);  // no such folder
  const ImportSummary s = import(good);
  EXPECT_FALSE(s.imported());
  ASSERT_EQ(s.errors.size(), 1u);
  EXPECT_EQ(s.errors[0].rfind("デ-タ一覧を保存できませんでした。\r", 0), 0u) << s.errors[0];
  EXPECT_EQ(platform.errors, s.errors);
  EXPECT_TRUE(SameCells(ws->StockList, list0));
  EXPECT_EQ(bytesOf("tavrine/hizuke.csv"), cal0);
  EXPECT_EQ(ws->form.text("Button17"), "銘柄収集");

  ws->StockList.set(0, 7, "2004/01/05");
  EXPECT_EQ(import(good).refused.at(0).message,
            "8058.csv: デ-タ一覧の日付が8行目で新しい順になっていません");
}

TEST_F(ImportIntoList, FullListTakesNoNewCodeButStillUpdates) {
  WorkTable& list = ws->StockList;
  for (int c = 1; c <= 197; ++c) {
    list.set(c, 0, IntToStr(1000 + c) + " s");
    for (int r = 1; r <= 40; ++r) list.set(c, r, IntToStr(c));
  }
  const std::string text = YahooText(Priced(days, 500));
  EXPECT_EQ(import(file("5000.csv", text)).refused.at(0).message,
            std::string("5000.csv: ") + ListFullMessage());
  EXPECT_EQ(list.cell(198, 0), "");
  // The update agrees with the stored closes (100) and adds older days.
  std::vector<Day> update;
  for (int d : days) update.push_back({d, "100"});
  for (int d : Weekdays(days.back() - 1, 5)) update.push_back({d, "99"});
  EXPECT_EQ(import(file("1100.csv", YahooText(update))).updated, 1);
  EXPECT_EQ((std::vector<std::string>{list.cell(100, 0), list.cell(100, 41), list.cell(101, 41)}),
            (std::vector<std::string>{"1100 s", "99", " "}));
}

TEST_F(ImportIntoList, CodeListOnlyWhereTheListEditorsFolderExists) {
  std::filesystem::remove_all(folder.path("listwerk"));
  const ImportSummary s = import(file("8058.csv", YahooText(Priced(days))));
  EXPECT_EQ(s.added, 1);
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_FALSE(std::filesystem::exists(folder.path("listwerk")));

  // On a list kept by importing, adding a collected stock skips it quietly too.
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
  EXPECT_EQ(bytesOf("tavrine.ini"), "[window]\r\nwidth=1020\r\n[list]\r\nmaintainer=import\r\n");
  restart();
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(ws->form.text("Button17"), "銘柄ボタン");
  EXPECT_EQ(ws->CalcTable.cell(1, 1), "301");  // column 4 first, as ever

  WriteText(folder.path("tavrine.ini").string(), "[list]\r\nmaintainer=listwerk\r\n");
  restart();
  EXPECT_EQ(ws->form.text("Button17"), "銘柄収集");
  RecordImportMaintainer();
  EXPECT_EQ(bytesOf("tavrine.ini"), "[list]\r\nmaintainer=import\r\n");
}

// Every file the import may write, as bytes ("" when absent).
std::vector<std::string> AllFiles(const DataFolder& folder) {
  std::vector<std::string> out;
  for (const char* f : {"デ-タ一覧.csv", "tavrine/hizuke.csv", "listwerk/kabuka/code.txt",
                        "tavrine.ini", "tavrine/adjust.log"})
    out.push_back(std::filesystem::exists(folder.path(f)) ? ReadBytes(folder.path(f)) : "");
  return out;
}

TEST_F(ImportIntoList, EachNewRefusalLeavesEveryFileByteIdentical) {
  WriteText(folder.path("listwerk/kabuka/code.txt").string(), "\r\n1301\r\n7203\r\n9984");
  const std::vector<std::string> before = AllFiles(folder);
  const WorkTable list0 = ws->StockList;
  const std::vector<int> month(days.begin(), days.begin() + 30);
  std::string typo = YahooText(Priced(month));
  typo.insert(typo.find('\n') + 1, "2062-12-10,1,1,1,1500,1,100\n");  // line 2
  std::string huge = YahooText(Priced(month));
  huge.replace(huge.find(",1029,"), 6, ",999999999999999,");  // line 31
  std::string thousands;
  for (int d : month) thousands += DateToStr(d) + ",1,000\n";
  std::string split;  // 7203 stores 201 .. 240; one day is off by more than rounding
  for (int r = 1; r <= 30; ++r)
    split += DateToStr(days[static_cast<std::size_t>(r - 1)]) + "," +
             (r == 7 ? "207.6" : IntToStr(200 + r)) + "\n";
  const std::pair<std::string, std::string> cases[] = {
      {file("8058.csv", typo), "8058.csv: 2行目: 今日 (2003/12/26) より後の日付です (2062-12-10)"},
      {file("8059.csv", huge),
       "8059.csv: 31行目: 終値が大きすぎます (999999999999999、2147483647まで)"},
      {file("8060.csv", thousands),
       "8060.csv: 1行目: 見出し行がないため、日付と終値のほかに項目がある行は読めません "
       "(桁区切りのある数値は \"1,234\" のように引用符で囲みます)"},
      {file("8061.csv", "Date,Open,High,Low,Volume\n" + thousands),
       "8061.csv: 1行目: 見出し行を認識できません"},
      {file("7208_x.csv", "6758 ソニーグループ\n" + YahooText(Priced(month))),
       "7208_x.csv: 1行目: ファイル名の銘柄コード 7208 と表題の銘柄コード 6758 が違います。"
       "銘柄コードを指定して下さい。"},
      {file("7209_ＡＢ🐟.csv", YahooText(Priced(month))),
       "7209_ＡＢ🐟.csv: 銘柄名の「🐟」はShift-JISのデータ一覧に保存できない文字です (ＡＢ🐟)"},
      {file("7203.csv", split),
       "7203.csv: 7行目: " + DateToStr(days[6]) +
           " の終値がデ-タ一覧と合いません (ファイル 207.6、デ-タ一覧 207)"},
  };
  for (const auto& [path, message] : cases) {
    platform.errors.clear();
    EXPECT_FALSE(import(path).imported()) << message;
    EXPECT_EQ(platform.errors, std::vector<std::string>{message});
    EXPECT_EQ(AllFiles(folder), before) << message;
    EXPECT_TRUE(SameCells(ws->StockList, list0)) << message;
  }
}

TEST_F(ImportIntoList, ASplitInTheFileAdjustsTheStoredDaysBeforeIt) {
  // 7203 split 1:2 after days[10]: the list holds 500+r from then on and
  // the unadjusted 2 x (500+r) before (one day odd, 1081); 9984 was
  // consolidated 2:1 after days[20] and holds the unadjusted half before.
  WorkTable& list = ws->StockList;
  for (int r = 1; r <= 40; ++r) {
    list.set(2, r, IntToStr(r <= 10 ? 500 + r : 2 * (500 + r)));
    list.set(3, r, r <= 20 ? IntToStr(2 * (300 + r)) : IntToStr(300 + r));
  }
  list.set(2, 40, "1081");
  // The files are adjusted and hold the newest 20 (7203) and 30 (9984) days.
  std::vector<Day> toyota, softbank;
  for (int r = 1; r <= 20; ++r) toyota.push_back({days[r - 1], IntToStr(500 + r)});
  for (int r = 1; r <= 30; ++r) softbank.push_back({days[r - 1], IntToStr(2 * (300 + r))});
  const ImportSummary s = ImportPriceFiles(*ws, {{file("7203.csv", YahooText(toyota)), "", ""},
                                                 {file("9984.csv", YahooText(softbank)), "", ""}});
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(platform.messages.back(),
            "取込完了: 追加 0銘柄、更新 2銘柄、補完 0日、除外 0日\r7203.csv: 分割調整: 1/2, " +
                DateToStr(days[10]) + " 以前\r9984.csv: 併合調整: 2/1, " + DateToStr(days[20]) +
                " 以前");
  for (int r = 1; r <= 39; ++r) {
    EXPECT_EQ(list.cell(2, r), IntToStr(500 + r)) << r;
    EXPECT_EQ(list.cell(3, r), IntToStr(2 * (300 + r))) << r;
  }
  EXPECT_EQ(list.cell(2, 40), "540.5");
  EXPECT_EQ(list.cell(1, 40), "140");  // other stocks as they were
  const auto log = ReadLines(folder.path("tavrine/adjust.log").string());
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "日時,銘柄コード,倍率,開始日,終了日,ファイル,バックアップ,種別");
  const auto toyotaLog = ParseCommaText(log[1]), softbankLog = ParseCommaText(log[2]);
  ASSERT_EQ(toyotaLog.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(toyotaLog.begin() + 1, toyotaLog.end() - 2),
            (std::vector<std::string>{"7203", "1/2", DateToStr(days[39]), DateToStr(days[10]),
                                      "7203.csv"}));
  EXPECT_EQ(toyotaLog[7], "分割");
  ASSERT_EQ(softbankLog.size(), 8u);
  EXPECT_EQ(softbankLog[7], "併合");
  // The log names the backup that holds the list as it was before.
  EXPECT_EQ(toyotaLog[6], StockListBackups().front());
  EXPECT_NE(bytesOf("tavrine/backup/" + toyotaLog[6]), bytesOf("デ-タ一覧.csv"));
  EXPECT_EQ(std::vector<std::string>(softbankLog.begin() + 1, softbankLog.begin() + 5),
            (std::vector<std::string>{"9984", "2/1", DateToStr(days[39]), DateToStr(days[20])}));
  EXPECT_EQ(toyotaLog[0].size(), 19u);  // yyyy/mm/dd hh:mm:ss
  // The same files again find nothing left to adjust: the list stays byte for byte.
  const std::string saved = bytesOf("デ-タ一覧.csv");
  ImportPriceFiles(*ws, {{folder.path("7203.csv").string(), "", ""},
                         {folder.path("9984.csv").string(), "", ""}});
  EXPECT_EQ(bytesOf("デ-タ一覧.csv"), saved);
  EXPECT_EQ(ReadLines(folder.path("tavrine/adjust.log").string()).size(), 3u);
}

// The files the saves replace, as each save reaches its last step.
std::vector<std::string> g_replaced;
void NoteReplaced(const std::string& path) { g_replaced.push_back(path); }

TEST_F(ImportIntoList, AdjustLogIsWrittenWholeThroughATemporaryKeepingItsOldBytes) {
  // A log from before the kind was logged, with a byte no Shift-JIS
  // character starts with: its bytes stay as they are, heading included, the
  // new line after them.
  const std::string before =
      Utf8ToCp932("日時,銘柄コード,倍率,開始日,終了日,ファイル,バックアップ\r\n") +
      "2003/01/06 09:00:00,7203,1/2,2002/01/04,2002/12/30,\x80.csv,b\r\n";
  WriteBytes(folder.path("tavrine/adjust.log").string(), before);
  WorkTable& list = ws->StockList;
  for (int r = 1; r <= 40; ++r) list.set(2, r, IntToStr(r <= 10 ? 500 + r : 2 * (500 + r)));
  std::vector<Day> toyota;
  for (int r = 1; r <= 20; ++r) toyota.push_back({days[r - 1], IntToStr(500 + r)});
  g_replaced.clear();
  SetBeforeReplaceHookForTests(NoteReplaced);
  const ImportSummary s = import(file("7203.csv", YahooText(toyota)));
  SetBeforeReplaceHookForTests(nullptr);
  ASSERT_EQ(s.adjustments.size(), 1u);
  const std::string log = bytesOf("tavrine/adjust.log");
  ASSERT_GT(log.size(), before.size());
  EXPECT_EQ(log.substr(0, before.size()), before);
  const auto added = SplitLines(Cp932ToUtf8(log.substr(before.size())));
  ASSERT_EQ(added.size(), 1u);
  const auto fields = ParseCommaText(added[0]);
  ASSERT_EQ(fields.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(fields.begin() + 1, fields.end() - 2),
            (std::vector<std::string>{"7203", "1/2", DateToStr(days[39]), DateToStr(days[10]),
                                      "7203.csv"}));
  EXPECT_EQ(fields[7], "分割");
  EXPECT_TRUE(log.ends_with("\r\n"));
  EXPECT_EQ(std::count_if(g_replaced.begin(), g_replaced.end(),
                          [](const std::string& p) { return p.ends_with("tavrine/adjust.log"); }),
            1);
}

TEST_F(ImportIntoList, ARatioWithoutItsSplitDayOrASeamIsNeverGuessed) {
  // 7203 stores 201 .. 240. A file at half of them on days[10 ..] only:
  // days[0 .. 9] are stored but not in the file, so the split may fall
  // anywhere in them.
  std::vector<Day> half;
  for (int r = 11; r <= 30; ++r) half.push_back({days[r - 1], FloatToStr((200 + r) / 2.0L)});
  const std::vector<std::string> before = AllFiles(folder);
  const ImportSummary unknown = import(file("7203.csv", YahooText(half)));
  EXPECT_EQ(unknown.refused.at(0).message,
            "7203.csv: デ-タ一覧の株価の 1/2 倍ですが、" + DateToStr(days[9]) +
                " の株価がファイルにないため、分割がいつかが分かりません");
  EXPECT_EQ(AllFiles(folder), before);

  // No common days: a step at the seam like a split is taken with a note,
  // an ordinary step without one.
  std::vector<Day> older, steady;
  for (int d : Weekdays(days.back() - 1, 30)) {
    older.push_back({d, "481"});   // 240 next: 1/2 within 2 %
    steady.push_back({d, "200"});  // 240 / 200 is no split ratio
  }
  const ImportSummary seam = import(file("7203.csv", YahooText(older)));
  EXPECT_EQ(seam.updated, 1);
  EXPECT_EQ(
      platform.messages.back(),
      "取込完了: 追加 0銘柄、更新 1銘柄、補完 0日、除外 0日\r7203.csv: " + DateToStr(days[39]) +
          " の前後で株価が 1/2 倍になっています (481 → "
          "240)。分割の調整が済んでいないかもしれません");
  EXPECT_EQ(ws->StockList.cell(2, 41), "481");
  EXPECT_FALSE(std::filesystem::exists(folder.path("tavrine/adjust.log")));
  EXPECT_EQ(import(file("9984.csv", YahooText(steady))).updated, 1);
  EXPECT_EQ(platform.messages.back(), "取込完了: 追加 0銘柄、更新 1銘柄、補完 0日、除外 0日");
}

TEST_F(ImportIntoList, AtLowPricesTheRatioIsTheOneThatFitsBest) {
  // 1301 split 1:3 after days[10]: stored 1 from then on, 3 before. At
  // such prices 1/2, 1/4, 1/5 and 2/5 fit within rounding too.
  for (int r = 1; r <= 40; ++r) ws->StockList.set(1, r, r <= 10 ? "1" : "3");
  std::vector<Day> rows;
  for (int r = 1; r <= 20; ++r) rows.push_back({days[r - 1], "1"});
  EXPECT_EQ(import(file("1301.csv", YahooText(rows))).updated, 1);
  EXPECT_EQ(platform.messages.back(),
            "取込完了: 追加 0銘柄、更新 1銘柄、補完 0日、除外 0日\r1301.csv: 分割調整: 1/3, " +
                DateToStr(days[10]) + " 以前");
  EXPECT_EQ(Column(ws->StockList, 1), std::vector<std::string>(40, "1"));
}

TEST_F(ImportIntoList, CodesNamesAndTheSameFileTwice) {
  // The title line's code against the file name's: a given code decides,
  // and the title's name goes only with the title's code.
  const std::string sony = "6758 ソニーグループ\n" + YahooText(Priced(days, 900));
  EXPECT_EQ(import(file("7208_x.csv", sony), "7208").added, 1);
  EXPECT_EQ(ws->StockList.cell(3, 0), "7208");
  EXPECT_EQ(import(folder.path("7208_x.csv").string(), "6758").added, 1);
  EXPECT_EQ(ws->StockList.cell(2, 0), "6758 ソニーグループ");
  // A lower-case letter in a file name, a title line or a given code is the capital.
  EXPECT_EQ(import(file("130a.csv", "130A 銘柄\n" + YahooText(Priced(days, 50)))).added, 1);
  EXPECT_EQ(import(file("x.csv", "130a 銘柄\n" + YahooText(Priced(days, 50)))).updated, 1);
  EXPECT_EQ(import(folder.path("x.csv").string(), "130a").updated, 1);
  EXPECT_EQ(ws->StockList.cell(2, 0), "130A 銘柄");

  // A name given for a listed stock renames it, and the summary says so.
  const std::string toyota = file("7203.csv", YahooText(Priced(days, 201)));
  EXPECT_EQ(import(toyota, "", "トヨタ自動車").updated, 1);
  EXPECT_EQ(ws->StockList.cell(4, 0), "7203 トヨタ自動車");
  EXPECT_EQ(platform.messages.back(),
            "取込完了: 追加 0銘柄、更新 1銘柄、補完 0日、除外 0日\r"
            "7203.csv: 見出しを「7203 トヨタ自動車」にしました (前は「7203 トヨタ」)");
  EXPECT_EQ(ReadLines(folder.path("デ-タ一覧.csv").string())[0],
            "日付,\"1301 極洋\",\"130A 銘柄\",\"6758 ソニーグループ\",\"7203 トヨタ自動車\",7208,"
            "\"9984 ソフトバンク\"");

  // The same file again, with or without the name: the same bytes. A name
  // of blanks only changes nothing, and the summary says why.
  const std::string once = bytesOf("デ-タ一覧.csv");
  import(toyota);
  EXPECT_EQ(bytesOf("デ-タ一覧.csv"), once);
  import(toyota, "", "トヨタ自動車");
  EXPECT_EQ(bytesOf("デ-タ一覧.csv"), once);
  import(toyota, "", " \t ");
  EXPECT_EQ(bytesOf("デ-タ一覧.csv"), once);
  EXPECT_EQ(platform.messages.back(),
            "取込完了: 追加 0銘柄、更新 1銘柄、補完 0日、除外 0日\r"
            "7203.csv: 指定の名前は空白だけのため、見出しは変えません");
  restart();
  import(folder.path("130a.csv").string());
  EXPECT_EQ(bytesOf("デ-タ一覧.csv"), once);
}

TEST_F(ImportIntoList, NamesComeFromTheTitleThenTheFileNameThenTheAnswer) {
  const std::string prices = YahooText(Priced(days, 900));
  std::vector<std::string> asked;
  ImportHooks hooks;
  hooks.askCode = [&](const std::string& shown) {
    asked.push_back(shown);
    if (shown == "トヨタ自動車.csv") return std::string("7267");
    if (shown == "prices.csv") return std::string("　9433　ＫＤＤＩ 株式会社 ");
    return std::string(" ");
  };
  const ImportSummary s =
      ImportPriceFiles(*ws,
                       {{file("x.csv", "6758 ソニーグループ(株) 日足\n" + prices), "", ""},
                        {file("4063_信越化学_日足.csv", prices), "", ""},
                        {file("トヨタ自動車.csv", prices), "", ""},
                        {file("prices.csv", prices), "", ""},
                        {file("download.csv", prices), "", ""},
                        {file("8035_東京エレクトロン.csv", prices), "8036", ""},
                        {file("1301_極洋水産.csv", YahooText(Priced(days, 101))), "", ""}},
                       hooks, false);
  // Only the files that name no code are asked about; a blank answer leaves
  // the file out.
  EXPECT_EQ(asked, (std::vector<std::string>{"トヨタ自動車.csv", "prices.csv", "download.csv"}));
  EXPECT_EQ(s.added, 5);
  EXPECT_EQ(s.updated, 1);
  ASSERT_EQ(s.refused.size(), 1u);
  EXPECT_EQ(s.refused[0].message,
            "download.csv: 銘柄コードが入力されなかったので取り込みませんでした。");
  // The title's name without the code and 日足; the file name's name after
  // its code; the answer's code with the file name's name; the answer's
  // name; a name from another code's file name is none; a listed stock
  // keeps its heading.
  EXPECT_EQ(Headings(ws->StockList, 9),
            (std::vector<std::string>{"1301 極洋", "4063 信越化学", "6758 ソニーグループ(株)",
                                      "7203 トヨタ", "7267 トヨタ自動車", "8036",
                                      "9433 ＫＤＤＩ 株式会社", "9984 ソフトバンク", ""}));
}

TEST(PriceImportDuringAPageWait, IsRefusedAndReadsNothing) {
  DataFolder folder;
  WriteText(folder.path("tavrine/zenncode.txt").string(), "コード\t名称\r\n7203\tトヨタ自動車\r\n");
  const auto days = Weekdays(kNewest, 120);
  WriteMarket(folder, "7203", days);
  const std::vector<ImportFile> files = {{folder.path("8058.csv").string(), "", ""}};
  WriteFileBytes(files[0].path, YahooText(Priced(days)));
  LiveSite site(folder);
  WaitingPlatform p;
  Workspace ws{p};
  StartUpCells(ws);
  ImportSummary during;
  p.duringWait = [&] { during = ImportPriceFiles(ws, files); };
  ws.form.setText("Edit18", "7203");
  Event enter;
  enter.kind = Event::KeyPress;
  enter.key = 13;
  ws.dispatch("Edit18", enter);  // the collection waits for its pages
  EXPECT_TRUE(during.busy);
  EXPECT_EQ(std::count(p.statuses.begin(), p.statuses.end(),
                       "株価の受信中です。終わってから操作して下さい。"),
            1);
  EXPECT_FALSE(std::filesystem::exists(folder.path("デ-タ一覧.csv")));
  EXPECT_EQ(ws.StockList.cell(1, 0), "");
  EXPECT_EQ(ImportPriceFiles(ws, files).added, 1);  // afterwards it goes in
}

// A file with open, high, low and volume columns keeps them in the price
// store, as imported; its closes go to the list as any file's. A file of
// closes alone and a refused file keep nothing there.
TEST_F(PriceImportTest, TheCandlesOfAFileAreKeptInThePriceStore) {
  const auto days = Weekdays(kNewest, 30);
  std::string t = "Date,Open,High,Low,Close,Adj Close,Volume\n";
  for (std::size_t i = 0; i < days.size(); ++i) {
    std::string date = DateToStr(days[i]);
    std::replace(date.begin(), date.end(), '/', '-');
    const int k = static_cast<int>(i);
    t += date + "," + IntToStr(990 + k) + "," + IntToStr(1010 + k) + "," + IntToStr(980 + k) + "," +
         IntToStr(1000 + k) + ".5,1," + IntToStr((k + 1) * 100) + "\n";
  }
  const ImportSummary s = import(file("7203.csv", t));
  ASSERT_EQ(s.added, 1) << (s.refused.empty() ? "" : s.refused.front().message);
  EXPECT_EQ(ws->StockList.cell(1, 1), "1000.5");

  const std::vector<StoredBar> kept = ReadStoredBars(PriceStorePath(), "7203");
  ASSERT_EQ(kept.size(), days.size());
  for (std::size_t i = 0; i < days.size(); ++i) {
    const StoredBar& b = kept[days.size() - 1 - i];  // oldest first
    const int k = static_cast<int>(i);
    ASSERT_EQ(b.day, days[i]);
    EXPECT_EQ(*b.open, 990 + k);
    EXPECT_EQ(*b.high, 1010 + k);
    EXPECT_EQ(*b.low, 980 + k);
    EXPECT_EQ(*b.close, 1000.5 + k);
    EXPECT_EQ(*b.volume, (k + 1) * 100);
    EXPECT_EQ(b.source, PriceSource::Import);
  }

  std::string closes = "Date,Close\n";
  for (int d : days) {
    std::string date = DateToStr(d);
    std::replace(date.begin(), date.end(), '/', '-');
    closes += date + ",500\n";
  }
  EXPECT_EQ(import(file("6758.csv", closes)).added, 1);
  EXPECT_TRUE(ReadStoredBars(PriceStorePath(), "6758").empty());
  // Too few days for a new stock: refused, and nothing kept.
  const ImportSummary few = import(file("9984.csv", YahooText(Priced(Weekdays(kNewest, 25)))));
  EXPECT_EQ(few.refused.size(), 1u);
  EXPECT_TRUE(ReadStoredBars(PriceStorePath(), "9984").empty());
}

}  // namespace
}  // namespace tavrine
