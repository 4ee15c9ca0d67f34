// The trading-day calendar: load, probe and merge against the loopback site.
#include <gtest/gtest.h>

#include "store/codec.h"
#include "store/table_file.h"
#include "web_support.h"

namespace tavrine {
namespace {

using namespace webtest;

class CalendarRefresh : public ::testing::Test {
 protected:
  DataFolder folder{"2003/12/26"};
  RecordingPlatform platform;
  Workspace ws{platform};

  // A stock list whose newest day is older than every calendar here.
  void SetUp() override { ws.StockList.set(0, 1, "2003/01/06"); }

  // hizuke.csv with a heading and the given dates, newest first.
  void writeCalendar(const std::vector<std::string>& dates) {
    std::vector<std::string> lines = {"日付,"};
    for (const auto& d : dates) lines.push_back(d + ",");
    WriteLines(folder.path("tavrine/hizuke.csv").string(), lines, true);
  }
  // The index trades on the given days.
  void writeIndex(const std::vector<int>& days) { WriteMarket(folder, "998407", days); }
  std::vector<std::string> calendarDates(int from, int to) {
    std::vector<std::string> out;
    for (int d = from; d >= to; --d) out.push_back(DateToStr(d));
    return out;
  }
};

TEST_F(CalendarRefresh, FourNewDaysGoOnTopWithoutRewritingTheFile) {
  const int d19 = DaysFromCivil(2003, 12, 19);
  // Calendar: 2003/12/19 back to 2003/11/20, every day (test data).
  writeCalendar(calendarDates(d19, d19 - 29));
  const std::string fileBefore = ReadFileBytes(folder.path("tavrine/hizuke.csv"));
  writeIndex({DaysFromCivil(2003, 12, 26), DaysFromCivil(2003, 12, 25), DaysFromCivil(2003, 12, 24),
              DaysFromCivil(2003, 12, 22), d19});
  LiveSite site(folder);
  ws.calendar.Button112Click();
  EXPECT_EQ(site.count(), 7);  // 12/26 back to 12/20
  EXPECT_EQ(ws.SeriesTable.cell(18, 4862), "4");
  EXPECT_EQ(ws.DateTable.cell(0, 1), "2003/12/26");
  EXPECT_EQ(ws.DateTable.cell(0, 2), "2003/12/25");
  EXPECT_EQ(ws.DateTable.cell(0, 3), "2003/12/24");
  EXPECT_EQ(ws.DateTable.cell(0, 4), "2003/12/22");
  EXPECT_EQ(ws.DateTable.cell(0, 5), "2003/12/19");
  EXPECT_EQ(ws.DateTable.cell(0, 6), "2003/12/18");
  EXPECT_EQ(ws.DateTable.cell(1, 5), "");
  EXPECT_EQ(ReadFileBytes(folder.path("tavrine/hizuke.csv")), fileBefore);
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(CalendarRefresh, SevenNewDaysRewriteTheFileWithTheSameLineCount) {
  const int d15 = DaysFromCivil(2003, 12, 15);
  writeCalendar(calendarDates(d15, d15 - 19));  // 20 dates, down to 2003/11/26
  writeIndex({DaysFromCivil(2003, 12, 26), DaysFromCivil(2003, 12, 25), DaysFromCivil(2003, 12, 24),
              DaysFromCivil(2003, 12, 22), DaysFromCivil(2003, 12, 19), DaysFromCivil(2003, 12, 18),
              DaysFromCivil(2003, 12, 17)});
  LiveSite site(folder);
  ws.calendar.Button112Click();
  EXPECT_EQ(site.count(), 11);  // 12/26 back to 12/16
  EXPECT_EQ(ws.SeriesTable.cell(18, 4862), "7");
  const auto lines = ReadLines(folder.path("tavrine/hizuke.csv").string());
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[0], "日付,");
  // Probe dates without leading zeros, the found day also in the second cell.
  EXPECT_EQ(lines[1], "2003/12/26,2003/12/26");
  EXPECT_EQ(lines[7], "2003/12/17,2003/12/17");
  EXPECT_EQ(lines[8], "2003/12/15,");
  // The seven oldest dates fell out of the end.
  EXPECT_EQ(lines[20], DateToStr(d15 - 12) + ",");
}

TEST_F(CalendarRefresh, SingleDigitDaysAreWrittenWithoutZeros) {
  ::setenv("TAVRINE_TODAY", "2004/01/09", 1);
  writeCalendar(calendarDates(DaysFromCivil(2003, 12, 30), DaysFromCivil(2003, 12, 1)));
  std::vector<int> trading;
  for (int d : {9, 8, 7, 6, 5}) trading.push_back(DaysFromCivil(2004, 1, d));
  trading.push_back(DaysFromCivil(2003, 12, 30));
  writeIndex(trading);
  LiveSite site(folder);
  ws.calendar.Button112Click();
  EXPECT_EQ(site.count(), 10);
  EXPECT_EQ(ws.DateTable.cell(0, 1), "2004/1/9");
  EXPECT_EQ(ws.DateTable.cell(0, 5), "2004/1/5");
  EXPECT_EQ(ws.DateTable.cell(0, 6), "2003/12/30");
}

TEST_F(CalendarRefresh, UpToDateCalendarAsksNothing) {
  writeCalendar(calendarDates(DaysFromCivil(2003, 12, 26), DaysFromCivil(2003, 12, 1)));
  writeIndex({DaysFromCivil(2003, 12, 26)});
  LiveSite site(folder);
  ws.calendar.Button112Click();
  EXPECT_EQ(site.count(), 0);
  EXPECT_EQ(ws.SeriesTable.cell(18, 4862), "0");
  EXPECT_EQ(ws.DateTable.cell(0, 1), "2003/12/26");
}

TEST_F(CalendarRefresh, OldCalendarProbesOnlyEightyOneDays) {
  writeCalendar(calendarDates(DaysFromCivil(2003, 6, 30), DaysFromCivil(2003, 6, 1)));
  writeIndex(Weekdays(DaysFromCivil(2003, 12, 26), 200));
  LiveSite site(folder);
  ws.calendar.Button112Click();
  EXPECT_EQ(site.count(), 81);
  // Weekdays among today - 0 .. today - 80.
  int expect = 0, oldest = 0;
  for (int d : Weekdays(DaysFromCivil(2003, 12, 26), 200))
    if (d > DaysFromCivil(2003, 12, 26) - 81) {
      ++expect;
      oldest = d;
    }
  EXPECT_EQ(ws.SeriesTable.cell(18, 4862), IntToStr(expect));
  int y, m, d;
  CivilFromDays(oldest, y, m, d);
  EXPECT_EQ(ws.DateTable.cell(0, expect), IntToStr(y) + "/" + IntToStr(m) + "/" + IntToStr(d));
  EXPECT_EQ(ws.DateTable.cell(0, expect + 1), "2003/06/30");
}

TEST_F(CalendarRefresh, NewerStockListDatesReplaceTheCalendar) {
  writeCalendar(calendarDates(DaysFromCivil(2003, 12, 10), DaysFromCivil(2003, 12, 1)));
  ws.StockList.set(0, 1, "2003/12/26");
  ws.StockList.set(0, 2, "2003/12/25");
  for (int r = 3; r <= 10; ++r) ws.StockList.set(0, r, "2003/12/0" + IntToStr(r - 2));
  writeIndex({DaysFromCivil(2003, 12, 26)});
  LiveSite site(folder);
  ws.calendar.Button112Click();
  EXPECT_EQ(site.count(), 0);  // the list's newest day is today
  EXPECT_EQ(ws.DateTable.cell(0, 1), "2003/12/26");
  EXPECT_EQ(ws.DateTable.cell(0, 10), "2003/12/08");
}

TEST_F(CalendarRefresh, UnreachableSiteOrMissingFileEndsOnlyTheRefresh) {
  writeCalendar(calendarDates(DaysFromCivil(2003, 12, 19), DaysFromCivil(2003, 12, 1)));
  const std::string fileBefore = ReadFileBytes(folder.path("tavrine/hizuke.csv"));
  ws.calendar.Button112Click();  // nothing listens on the quote host
  EXPECT_TRUE(platform.errors.empty());
  ASSERT_FALSE(platform.statuses.empty());
  EXPECT_EQ(platform.statuses.front(), "接続に失敗しました");
  EXPECT_EQ(platform.statuses.back(), "営業日カレンダーを更新できませんでした。");
  EXPECT_EQ(ws.DateTable.cell(0, 1), "2003/12/19");  // loaded, nothing merged
  EXPECT_EQ(ReadFileBytes(folder.path("tavrine/hizuke.csv")), fileBefore);

  std::filesystem::remove(folder.path("tavrine/hizuke.csv"));
  platform.statuses.clear();
  ws.calendar.Button112Click();
  EXPECT_TRUE(platform.errors.empty());
  ASSERT_EQ(platform.statuses.size(), 1u);
  EXPECT_EQ(platform.statuses[0], "営業日カレンダーを更新できませんでした。");
}

TEST_F(CalendarRefresh, ListDateThatIsNoDateEndsTheRefreshBeforeAnyRequest) {
  writeCalendar(calendarDates(DaysFromCivil(2003, 12, 10), DaysFromCivil(2003, 12, 1)));
  const std::string fileBefore = ReadFileBytes(folder.path("tavrine/hizuke.csv"));
  writeIndex({DaysFromCivil(2003, 12, 26)});
  LiveSite site(folder);
  for (const char* notADate : {"日付", "", "2003/13/01", "x"}) {
    ws.StockList.set(0, 1, notADate);
    platform.statuses.clear();
    ws.calendar.Button112Click();
    EXPECT_EQ(site.count(), 0) << notADate;
    EXPECT_TRUE(platform.errors.empty());
    ASSERT_EQ(platform.statuses.size(), 1u) << notADate;
    EXPECT_EQ(platform.statuses[0], "営業日カレンダーを更新できませんでした。");
    EXPECT_EQ(ws.DateTable.cell(0, 1), "2003/12/10");
  }
  EXPECT_EQ(ReadFileBytes(folder.path("tavrine/hizuke.csv")), fileBefore);
}

}  // namespace
}  // namespace tavrine
