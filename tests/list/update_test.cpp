// The update's list logic without the network: split factors multiply the
// days held before as the import scales them, gaps inside a stock's range
// take the close before, a stock without records keeps its history, a bad
// value refuses the whole update naming the day and stock, the oldest days
// drop past the list's length, names come from the master.
#include <gtest/gtest.h>

#include "list/update.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {
namespace {

const int kDay = DaysFromCivil(2003, 12, 19);  // a Friday: the list's newest day

// A working list with the given headings over `days` weekdays back from
// kDay; stock c (1-based) closes at 1000 + 10 c + row.
WorkingList List(const std::vector<std::string>& headings, int days) {
  WorkingList w;
  w.table = std::make_unique<WorkTable>("StockList", 200, days + 1);
  WorkTable& t = *w.table;
  t.set(0, 0, "日付");
  for (std::size_t c = 0; c < headings.size(); ++c) t.set(static_cast<int>(c) + 1, 0, headings[c]);
  int d = kDay;
  for (int r = 1; r <= days; ++r, --d) {
    while (((d % 7) + 7 + 6) % 7 == 0 || ((d % 7) + 7 + 6) % 7 == 6) --d;
    t.set(0, r, DateToStr(d));
    w.days.push_back(d);
    for (std::size_t c = 0; c < headings.size(); ++c)
      t.set(static_cast<int>(c) + 1, r, IntToStr(1000 + 10 * static_cast<int>(c + 1) + r));
  }
  return w;
}

const int kMon = kDay + 3, kTue = kDay + 4, kWed = kDay + 5;

TEST(ListUpdate, FactorsMultiplyTheDaysHeldBeforeAsTheImportScalesThem) {
  WorkingList w = List({"1001 A", "1002 B", "1003 C", "1004 D"}, 5);
  UpdateData data;
  data.days = {{kMon, {{"1001", "300", 0.5}, {"1002", "400", 1 / 3.0}, {"1003", "900", 2}}},
               {kTue, {{"1001", "150", 0.5}, {"1002", "401", 1}, {"1003", "901", 1}}}};
  const UpdateApplied a = ApplyUpdate(w, data);
  ASSERT_EQ(a.days, 2);
  const WorkTable& t = *w.table;
  EXPECT_EQ(t.cell(0, 1), DateToStr(kTue));
  EXPECT_EQ(t.cell(1, 1), "150");
  EXPECT_EQ(t.cell(1, 2), "300");
  // Two 1:2 splits: the older days take 1/4; 1/3 is read from its decimals.
  EXPECT_EQ(t.cell(1, 3), "252.75");  // 1011 / 4
  EXPECT_EQ(t.cell(2, 3), FloatToStr(1021.0L / 3));
  EXPECT_EQ(t.cell(3, 3), "2062");  // a 2:1 consolidation doubles 1031
  EXPECT_EQ(t.cell(4, 3), "1041");  // no record, no change
  ASSERT_EQ(a.adjustments.size(), 3u);
  EXPECT_EQ(RatioText({a.adjustments[0].num, a.adjustments[0].den}), "1/4");
  EXPECT_EQ(a.adjustments[0].from, w.days.back());
  EXPECT_EQ(a.adjustments[0].through, kDay);
  EXPECT_EQ(RatioText({a.adjustments[1].num, a.adjustments[1].den}), "1/3");
  EXPECT_EQ(a.notes[0], "1001: 分割調整: 1/4, " + DateToStr(kDay) + " 以前");
  EXPECT_EQ(a.notes[2], "1003: 併合調整: 2/1, " + DateToStr(kDay) + " 以前");
}

TEST(ListUpdate, GapsTakeTheCloseBeforeAndStocksWithoutRecordsKeepTheirHistory) {
  WorkingList w = List({"1001 A", "1002 B", "1003 C"}, 3);
  UpdateData data;
  data.days = {{kMon, {{"1001", "500", 1}, {"1003", "", 1}}},
               {kTue, {{"1001", "", 1}, {"1003", "", 1}}},
               {kWed, {{"1001", "502", 1}, {"1003", "7", 1}}}};
  const UpdateApplied a = ApplyUpdate(w, data);
  const WorkTable& t = *w.table;
  EXPECT_EQ(t.cell(1, 1), "502");
  EXPECT_EQ(t.cell(1, 2), "500");  // no trade on Tuesday: Monday's close
  EXPECT_EQ(t.cell(1, 3), "500");
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(t.cell(2, r), " ") << r;  // no records at all
  EXPECT_EQ(t.cell(2, 4), "1021");
  EXPECT_EQ(t.cell(3, 1), "7");
  EXPECT_EQ(t.cell(3, 2), "1031");  // suspended from Monday: the last close before
  EXPECT_EQ(t.cell(3, 3), "1031");
  EXPECT_EQ(a.stocks, 2);
  EXPECT_EQ(a.filled, 3);
}

TEST(ListUpdate, ABadValueRefusesTheWholeUpdateNamingDayAndStock) {
  for (const DailyClose& bad :
       {DailyClose{"1002", "abc", 1}, DailyClose{"1002", "0", 1},
        DailyClose{"1002", "5", 0.3141592}, DailyClose{"1002", "3000000000", 1}}) {
    WorkingList w = List({"1001 A", "1002 B"}, 3);
    const WorkTable before = *w.table;
    UpdateData data;
    data.days = {{kMon, {{"1001", "300", 0.5}, bad}}};
    try {
      ApplyUpdate(w, data);
      ADD_FAILURE() << bad.close;
    } catch (const ListRefused& r) {
      EXPECT_EQ(r.message.find(DateToStr(kMon) + " の 1002 の"), 0u) << r.message;
    }
    for (int r = 0; r <= 3; ++r)
      for (int c = 0; c <= 2; ++c) ASSERT_EQ(w.table->cell(c, r), before.cell(c, r));
    EXPECT_EQ(w.days.size(), 3u);
  }
}

TEST(ListUpdate, TheOldestDaysDropPastTheListsLength) {
  WorkingList w = List({"1001 A"}, stocklist::kLastDayRow);
  const int oldestKept = w.days[stocklist::kLastDayRow - 3];
  UpdateData data;
  data.days = {{kMon, {{"1001", "1", 1}}}, {kTue, {{"1001", "2", 1}}}};
  const UpdateApplied a = ApplyUpdate(w, data);
  EXPECT_EQ(a.dropped, 2);
  ASSERT_EQ(w.days.size(), static_cast<std::size_t>(stocklist::kLastDayRow));
  EXPECT_EQ(w.days.back(), oldestKept);
  EXPECT_EQ(w.table->cell(0, stocklist::kLastDayRow), DateToStr(oldestKept));
}

TEST(ListUpdate, StocksHeldByCodeAloneTakeTheMastersName) {
  WorkingList w = List({"1001", "130A ", "1003 旧名", "1004"}, 2);
  UpdateData data;
  data.days = {{kMon, {{"1001", "1", 1}}}};
  data.names = {
      {"1001", "極洋\t"}, {"130A", "ＡＢＣ"}, {"1003", "新名"}, {"1004", "  "}, {"1005", "ÅB🍣"}};
  w.table->set(5, 0, "1005");
  const UpdateApplied a = ApplyUpdate(w, data);
  EXPECT_EQ(w.table->cell(1, 0), "1001 極洋");
  EXPECT_EQ(w.table->cell(2, 0), "130A ＡＢＣ");
  EXPECT_EQ(w.table->cell(3, 0), "1003 旧名");  // a name given by the user stays
  EXPECT_EQ(w.table->cell(4, 0), "1004");
  // A name the file cannot hold is not taken (it would be saved with '?').
  EXPECT_EQ(w.table->cell(5, 0), "1005");
  ASSERT_EQ(a.notes.size(), 3u);
  EXPECT_EQ(a.notes[2],
            "1005: 銘柄名の「Å」はShift-JISのデータ一覧に保存できない文字です (ÅB🍣)。"
            "見出しは変えませんでした");

  // Without a new day nothing is renamed either: the list is not written.
  WorkingList same = List({"1001"}, 2);
  UpdateData none;
  none.names = data.names;
  const UpdateApplied b = ApplyUpdate(same, none);
  EXPECT_EQ(b.days, 0);
  EXPECT_EQ(same.table->cell(1, 0), "1001");
}

}  // namespace
}  // namespace tavrine
