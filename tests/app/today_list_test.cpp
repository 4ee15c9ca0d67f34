// Today's new signals as a list: which signals are listed, how rules are
// named for each term set, the orders and the CSV lines.
#include "app/today_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "store/codec.h"

namespace tavrine {
namespace {

// A stock with every rule known, unchanged and at 0, except those set.
TodayRow Stock(int column, const std::string& heading, const std::string& date, long long close) {
  TodayRow r;
  r.column = column;
  r.heading = heading;
  r.date = date;
  r.close = close;
  for (TodaySignal& s : r.rules) s.known = true;
  return r;
}

void Set(TodayRow& r, int tag, long long sign, bool isNew, bool known = true) {
  r.rules[static_cast<std::size_t>(tag)] = {known, sign, isNew};
}

std::vector<std::string> Listed(const std::vector<TodayListRow>& rows) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(r.code + " " + r.rule + (r.buy ? " 買" : " 売"));
  return out;
}

TEST(TodayListRows, OnlyNewPlusAndMinusSignalsEachTermSetOnce) {
  TodayRow a = Stock(3, "7203 トヨタ自動車", "2026/12/04", 2875);
  Set(a, 0, 1, true);         // S1 turned +: listed once
  Set(a, 1, -1, false);       // S2 - but not new: not listed
  Set(a, 2, 0, true);         // S3 turned 0: no signal to act on
  Set(a, 3, -1, true);        // G3 turned -
  Set(a, 9, 1, true, false);  // ST unknown: not listed however marked
  TodayRow b = Stock(1, "1301　極洋", "2026/12/03", 3120);
  Set(b, 8, -1, true);  // 乖 turned -

  // The short-term set: S1 .. S3 carry the same values and must not be
  // listed a second time; G3 .. ST are its own.
  TodayRow as = a;
  Set(as, 3, 1, false);
  Set(as, 7, 1, true);  // G7 short turned +
  Set(as, 9, -1, true);
  TodayRow bs = Stock(1, "1301　極洋", "2026/12/03", 3120);

  const auto rows = TodayListRows({a, b}, {as, bs});
  EXPECT_EQ(Listed(rows), (std::vector<std::string>{"1301 乖長 売", "7203 S1 買", "7203 G3長 売",
                                                    "7203 G7短 買", "7203 ST短 売"}));
  const TodayListRow& g7 = rows[3];
  EXPECT_EQ(g7.column, 3);
  EXPECT_EQ(g7.name, "トヨタ自動車");
  EXPECT_EQ(g7.tag, 7);
  EXPECT_TRUE(g7.shortTerm);
  EXPECT_EQ(g7.date, "2026/12/04");
  EXPECT_EQ(g7.close, 2875);
  // S1 .. S3 are picked with the long-term set.
  EXPECT_FALSE(rows[1].shortTerm);
  EXPECT_EQ(rows[1].tag, 0);
  // A full-width blank after the code is no part of the name.
  EXPECT_EQ(rows[0].name, "極洋");

  // No stock, or none with a new sign: an empty list.
  EXPECT_TRUE(TodayListRows({}, {}).empty());
  EXPECT_TRUE(TodayListRows({Stock(1, "1301 極洋", "2026/12/03", 1)}, {}).empty());
}

TEST(SortTodayRows, ByEachColumnThenCodeRuleAndTerm) {
  TodayRow a = Stock(2, "6501 日立", "2026/12/04", 900);
  Set(a, 3, 1, true);
  Set(a, 0, -1, true);
  TodayRow as = a;
  Set(as, 3, -1, true);
  TodayRow b = Stock(1, "1301 極洋", "2026/12/01", 10000);
  Set(b, 9, 1, true);
  TodayRow c = Stock(5, "9984 ＳＢＧ", "2026/12/04", 950);
  Set(c, 1, 1, true);
  std::vector<TodayListRow> rows = TodayListRows({a, b, c}, {as});
  const std::vector<std::string> first = {"1301 ST長 買", "6501 S1 売", "6501 G3長 買",
                                          "6501 G3短 売", "9984 S2 買"};
  EXPECT_EQ(Listed(rows), first);

  // The close as a number: 10000 above 950 though it sorts below as text.
  SortTodayRows(rows, kTodayClose, true);
  EXPECT_EQ(Listed(rows), (std::vector<std::string>{"1301 ST長 買", "9984 S2 買", "6501 S1 売",
                                                    "6501 G3長 買", "6501 G3短 売"}));
  // The rule by its tag, long before short; ties in code order.
  SortTodayRows(rows, kTodayRule, false);
  EXPECT_EQ(Listed(rows), (std::vector<std::string>{"6501 S1 売", "9984 S2 買", "6501 G3長 買",
                                                    "6501 G3短 売", "1301 ST長 買"}));
  SortTodayRows(rows, kTodayRule, true);
  EXPECT_EQ(Listed(rows), (std::vector<std::string>{"1301 ST長 買", "6501 G3短 売", "6501 G3長 買",
                                                    "9984 S2 買", "6501 S1 売"}));
  // Buys first; within a side the code, the rule and the term ascending,
  // also when the column is descending.
  SortTodayRows(rows, kTodaySide, false);
  EXPECT_EQ(Listed(rows), (std::vector<std::string>{"1301 ST長 買", "6501 G3長 買", "9984 S2 買",
                                                    "6501 S1 売", "6501 G3短 売"}));
  SortTodayRows(rows, kTodayDate, true);
  EXPECT_EQ(Listed(rows), (std::vector<std::string>{"6501 S1 売", "6501 G3長 買", "6501 G3短 売",
                                                    "9984 S2 買", "1301 ST長 買"}));
  SortTodayRows(rows, kTodayCode, true);
  EXPECT_EQ(Listed(rows), (std::vector<std::string>{"9984 S2 買", "6501 S1 売", "6501 G3長 買",
                                                    "6501 G3短 売", "1301 ST長 買"}));
  SortTodayRows(rows);
  EXPECT_EQ(Listed(rows), first);
}

TEST(TodayCsv, HeadingThenRowsInTheOrderGivenWrittenAsShiftJis) {
  TodayRow a = Stock(4, "8001 伊藤忠,商事", "2026/12/04", 6020);
  Set(a, 8, 1, true);
  TodayRow as = a;
  Set(as, 8, 0, false);
  Set(as, 4, -1, true);
  std::vector<TodayListRow> rows = TodayListRows({a}, {as});
  SortTodayRows(rows, kTodayRule, true);
  const std::vector<std::string> lines = TodayCsvLines(rows);
  EXPECT_EQ(lines, (std::vector<std::string>{"コード,銘柄名,規則,売買,日付,終値",
                                             "8001,\"伊藤忠,商事\",乖長,買,2026/12/04,6020",
                                             "8001,\"伊藤忠,商事\",G4短,売,2026/12/04,6020"}));
  EXPECT_EQ(TodayColumnHeadings().size(), TodayRowCells(rows[0]).size());

  const std::string path =
      (std::filesystem::temp_directory_path() / "tavrine_today_list_test.csv").string();
  SaveTodayCsv(rows, path);
  std::string expected;
  for (const std::string& l : lines) expected += l + "\r\n";
  EXPECT_EQ(ReadBytes(path), Utf8ToCp932(expected));
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tavrine
