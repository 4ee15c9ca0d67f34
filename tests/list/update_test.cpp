// The update's list logic without the network: factors multiply the days
// held before, rounded as the service rounds, a factor the list cannot follow
// refuses that stock alone, gaps inside a stock's range take the close
// before, a stock without records keeps its history, a bad close refuses the
// whole update naming the day and stock, the oldest days drop past the
// list's length, names come from the master.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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
  // Each rounds to one decimal, as the service's adjusted closes do.
  EXPECT_EQ(t.cell(1, 3), "252.8");  // 1011 / 4 = 252.75
  EXPECT_EQ(t.cell(1, 6), "253.5");  // 1014 / 4, exact
  EXPECT_EQ(t.cell(2, 3), "340.3");  // 1021 / 3
  EXPECT_EQ(t.cell(3, 3), "2062");   // a 2:1 consolidation doubles 1031
  EXPECT_EQ(t.cell(4, 3), "1041");   // no record, no change
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

// A moved stock's column is rebuilt: the service's closes where it gives
// them, the ratio on the newest day for the rest (a ratio of small whole
// numbers within the rounding, else the quotient); the fetched factors are in
// that ratio, not applied again.
TEST(ListUpdate, AMovedStockIsRebuiltFromTheServicesCloses) {
  WorkingList w = List({"1001 A", "1002 B", "1003 C"}, 5);
  const int prev = w.days[1];
  UpdateData data;
  // 1001: a 1:2 split the days show and another hidden one (1/4 in all).
  data.days = {{kMon, {{"1001", "252", 0.5}, {"1002", "1001", 1}, {"1003", "1040", 1}}}};
  data.moved = {{"1001", {{kDay, "252.8"}, {prev, "253"}}},
                {"1002", {{kDay, "1000.3"}}}};  // a revision: no simple ratio
  const UpdateApplied a = ApplyUpdate(w, data);
  ASSERT_EQ(a.days, 1);
  EXPECT_EQ(a.moved, 2);
  const WorkTable& t = *w.table;
  EXPECT_EQ(t.cell(1, 1), "252");
  EXPECT_EQ(t.cell(1, 2), "252.8");
  EXPECT_EQ(t.cell(1, 3), "253");
  EXPECT_EQ(t.cell(1, 4), "253.3");  // 1013 / 4 = 253.25
  EXPECT_EQ(t.cell(1, 6), "253.8");  // 1015 / 4 = 253.75
  EXPECT_EQ(t.cell(2, 2), "1000.3");
  EXPECT_EQ(t.cell(2, 3), "1001.3");  // 1022 x 1000.3 / 1021
  EXPECT_EQ(t.cell(2, 6), "1004.2");
  EXPECT_EQ(t.cell(3, 2), "1031");  // not moved: as it was
  ASSERT_EQ(a.adjustments.size(), 2u);
  EXPECT_EQ(a.adjustments[0].RatioText(), "1/4");
  EXPECT_EQ(a.adjustments[0].Kind(), "分割");
  EXPECT_EQ(a.adjustments[0].from, w.days.back());
  EXPECT_EQ(a.adjustments[0].through, kDay);
  EXPECT_EQ(a.adjustments[1].Kind(), "調整");
  EXPECT_NEAR(static_cast<double>(StrToFloat(a.adjustments[1].factor)), 1000.3 / 1021, 1e-9);
  EXPECT_EQ(a.notes[0], "1001: 終値の調整が変わりました: 1/4, " + DateToStr(kDay) + " 以前");
}

// Across days the plan does not cover no close is carried down.
TEST(ListUpdate, AGapBeforeTheFetchedDaysIsNotFilled) {
  for (const bool gap : {false, true}) {
    WorkingList w = List({"1001 A"}, 3);
    UpdateData data;
    data.gapBefore = gap;
    data.days = {{kMon, {{"1001", "", 1}}}, {kTue, {{"1001", "500", 1}}}};
    const UpdateApplied a = ApplyUpdate(w, data);
    EXPECT_EQ(w.table->cell(1, 2), gap ? " " : "1011");
    EXPECT_EQ(a.filled, gap ? 0 : 1);
  }
}

TEST(ListUpdate, ABadCloseRefusesTheWholeUpdateNamingDayAndStock) {
  for (const DailyClose& bad : {DailyClose{"1002", "abc", 1}, DailyClose{"1002", "0", 1},
                                DailyClose{"1002", "3000000000", 1}}) {
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

TEST(ListUpdate, AnyPositiveFactorIsAppliedAndOneTheListCannotFollowRefusesThatStockAlone) {
  // A rights issue (ExRT 3) with an arbitrary factor, a 1:200 split and a
  // 1000:1 consolidation are applied; 0, a negative, a factor past 1000, a
  // NaN and one that takes an older close past the list's range refuse their
  // stock only, naming it and the day.
  WorkingList w = List(
      {"1001 A", "1002 B", "1003 C", "1004 D", "1005 E", "1006 F", "1007 G", "1008 H", "1009 I"},
      3);
  w.table->set(9, 3, "3000000");  // 1009's oldest close: times 1000 it is past the list's range
  const WorkTable before = *w.table;
  UpdateData data;
  data.days = {{kMon,
                {{"1001", "950", 0.9437, "3"},
                 {"1002", "5", 0.005},
                 {"1003", "1000000", 1000},
                 {"1004", "300", 0},
                 {"1005", "300", -0.5},
                 {"1006", "300", 1001},
                 {"1007", "300", std::nan("")},
                 {"1008", "300", 1},
                 {"1009", "300", 1000}}}};
  const UpdateApplied a = ApplyUpdate(w, data);
  const WorkTable& t = *w.table;
  ASSERT_EQ(a.days, 1);
  EXPECT_EQ(t.cell(1, 1), "950");
  EXPECT_EQ(t.cell(1, 2), "954.1");  // 1011 x 0.9437 = 954.0807
  EXPECT_EQ(t.cell(2, 2), "5.1");    // 1021 / 200 = 5.105
  EXPECT_EQ(t.cell(3, 2), "1031000");
  EXPECT_EQ(t.cell(8, 1), "300");
  for (int c : {4, 5, 6, 7, 9}) {
    EXPECT_EQ(t.cell(c, 1), " ") << c;  // no new close
    for (int r = 2; r <= 4; ++r) EXPECT_EQ(t.cell(c, r), before.cell(c, r - 1)) << c << "," << r;
  }
  EXPECT_EQ(a.stocks, 4);
  ASSERT_EQ(a.adjustments.size(), 3u);
  EXPECT_EQ(a.adjustments[0].Kind(), "株主割当");
  EXPECT_EQ(a.adjustments[0].RatioText(), "0.9437");
  EXPECT_EQ(a.adjustments[1].Kind(), "分割");
  EXPECT_EQ(a.adjustments[1].RatioText(), "1/200");
  EXPECT_EQ(a.adjustments[2].Kind(), "併合");
  EXPECT_EQ(a.adjustments[2].RatioText(), "1000/1");
  const auto has = [&](const std::string& text) {
    return std::find(a.notes.begin(), a.notes.end(), text) != a.notes.end();
  };
  EXPECT_TRUE(has("1001: 株主割当調整: 0.9437, " + DateToStr(kDay) + " 以前"));
  for (const std::string code : {"1004", "1005", "1006", "1007"}) {
    const auto it = std::find_if(a.notes.begin(), a.notes.end(), [&](const std::string& n) {
      return n.starts_with(code + ": " + DateToStr(kMon) + " の調整係数");
    });
    ASSERT_NE(it, a.notes.end()) << code;
    EXPECT_TRUE(it->ends_with("この銘柄は更新しませんでした")) << *it;
  }
  EXPECT_TRUE(std::any_of(a.notes.begin(), a.notes.end(), [](const std::string& n) {
    return n.starts_with("1009: ") && n.find("3000000") != std::string::npos &&
           n.ends_with("この銘柄は更新しませんでした");
  }));
}

TEST(ListUpdate, TheKindComesFromTheServiceOrFromTheFactor) {
  EXPECT_EQ(AdjustmentKind("3", 0.9437), "株主割当");
  EXPECT_EQ(AdjustmentKind("3", 0.5), "株主割当");
  EXPECT_EQ(AdjustmentKind("", 0.5), "分割");
  EXPECT_EQ(AdjustmentKind("", 1 / 3.0), "分割");
  EXPECT_EQ(AdjustmentKind("", 10), "併合");
  EXPECT_EQ(AdjustmentKind("", 0.9437), "調整");
  EXPECT_EQ(AdjustmentKind("1", 0.9437), "調整");
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
