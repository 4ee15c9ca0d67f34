// The price store: what goes in comes out, a service day is not replaced
// by an imported one, a damaged store is set aside and rebuilt; and the
// bars made of it: the candle rule, the list's basis across a split, weeks
// and months.
#include "store/price_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../support/data_folder.h"
#include "store/price_bars.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {
namespace {

using testing::DataFolder;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

StoredBar Bar(const std::string& code, int day, double close, double factor = 1,
              PriceSource source = PriceSource::Service) {
  StoredBar b;
  b.code = code, b.day = day;
  b.open = close - 2, b.high = close + 3, b.low = close - 4, b.close = close;
  b.volume = 1000, b.turnover = close * 1000;
  b.adjFactor = factor;
  b.source = source;
  return b;
}

std::vector<std::filesystem::path> SetAside(const DataFolder& f) {
  std::vector<std::filesystem::path> out;
  for (const auto& e : std::filesystem::directory_iterator(f.path("tavrine")))
    if (e.path().filename().string().rfind("prices.sqlite.damaged-", 0) == 0)
      out.push_back(e.path());
  return out;
}

TEST(PriceStore, KeepsEveryFieldAndReplacesOnlyWhatMayBeReplaced) {
  DataFolder f;
  const int d = DaysFromCivil(2024, 3, 4);
  StoredBar full = Bar("7203", d, 2500.5, 0.5);
  full.stopHigh = true, full.exRT = 1.25, full.adjVolume = 2000;
  StoredBar bare;
  bare.code = "7203", bare.day = d + 1, bare.close = 2510;
  bare.source = PriceSource::Collection;
  {
    PriceStore store(PriceStorePath());
    EXPECT_TRUE(store.note().empty());
    store.Put({bare, full, Bar("6758", d, 13000)});
    // An imported day does not replace the service's; a later service day does.
    store.Put({Bar("7203", d, 9999, 1, PriceSource::Import), Bar("7203", d + 1, 2520)});
  }
  const std::vector<StoredBar> got = ReadStoredBars(PriceStorePath(), "7203");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].day, d);
  EXPECT_EQ(*got[0].close, 2500.5);
  EXPECT_EQ(*got[0].open, 2498.5);
  EXPECT_EQ(*got[0].high, 2503.5);
  EXPECT_EQ(*got[0].low, 2496.5);
  EXPECT_EQ(*got[0].volume, 1000);
  EXPECT_EQ(*got[0].turnover, 2500500);
  EXPECT_TRUE(got[0].stopHigh);
  EXPECT_FALSE(got[0].stopLow);
  EXPECT_EQ(got[0].adjFactor, 0.5);
  EXPECT_EQ(*got[0].exRT, 1.25);
  EXPECT_EQ(*got[0].adjVolume, 2000);
  EXPECT_EQ(got[0].source, PriceSource::Service);
  EXPECT_EQ(*got[1].close, 2520);
  EXPECT_EQ(got[1].source, PriceSource::Service);
  EXPECT_EQ(ReadStoredBars(PriceStorePath(), "6758").size(), 1u);
  EXPECT_TRUE(ReadStoredBars(PriceStorePath(), "9999").empty());

  // Empty values stay empty.
  PriceStore store(PriceStorePath());
  bare.day = d + 2;
  store.Put({bare});
  const std::vector<StoredBar> again = store.Bars("7203");
  ASSERT_EQ(again.size(), 3u);
  EXPECT_FALSE(again[2].open.has_value());
  EXPECT_FALSE(again[2].volume.has_value());
  EXPECT_EQ(again[2].source, PriceSource::Collection);
}

TEST(PriceStore, ADamagedStoreIsSetAsideAndRebuiltEmpty) {
  struct Case {
    const char* name;
    std::string bytes;  // empty: a database of another schema
  };
  for (const Case& c :
       {Case{"not a database", std::string(5000, 'x')}, Case{"another schema", std::string()}}) {
    SCOPED_TRACE(c.name);
    DataFolder f;
    if (c.bytes.empty()) {
      {
        PriceStore store(PriceStorePath());
        store.Put({Bar("7203", 45000, 100)});
      }
      // The schema's version moves on: the file is no store of this program.
      std::string bytes = ReadFileBytes(PriceStorePath());
      ASSERT_GT(bytes.size(), 64u);
      bytes[63] = 9;  // user_version, big-endian at offset 60
      WriteFileBytes(PriceStorePath(), bytes);
    } else {
      WriteFileBytes(PriceStorePath(), c.bytes);
    }
    const std::string before = ReadFileBytes(PriceStorePath());
    PriceStore store(PriceStorePath());
    EXPECT_NE(store.note().find("prices.sqlite.damaged-"), std::string::npos) << store.note();
    const auto aside = SetAside(f);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFileBytes(aside[0]), before);  // kept as it was
    EXPECT_TRUE(store.Bars("7203").empty());
    store.Put({Bar("7203", 45000, 100)});
    EXPECT_EQ(store.Bars("7203").size(), 1u);
  }
}

TEST(PriceStore, ASecondDamageInTheSameSecondKeepsTheFirstSetAside) {
  DataFolder f;
  WriteFileBytes(PriceStorePath(), std::string(3000, 'a'));
  { PriceStore store(PriceStorePath()); }
  WriteFileBytes(PriceStorePath(), std::string(3000, 'b'));
  { PriceStore store(PriceStorePath()); }
  const auto aside = SetAside(f);
  ASSERT_EQ(aside.size(), 2u);
  EXPECT_NE(ReadFileBytes(aside[0]), ReadFileBytes(aside[1]));
}

// A store that cannot be opened for another reason than damage (here a
// folder in its place) is no store to set aside: the prices are not kept,
// the summary says so, and the path is left as it was.
TEST(PriceStore, AStoreThatCannotBeOpenedIsLeftAlone) {
  DataFolder f;
  std::filesystem::create_directories(PriceStorePath());
  WriteFileBytes(PriceStorePath() + "/keep.txt", "mine");
  const std::vector<std::string> notes = KeepPrices({Bar("7203", 45000, 100)});
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("prices.sqlite"), std::string::npos) << notes[0];
  EXPECT_TRUE(SetAside(f).empty());
  EXPECT_EQ(ReadFileBytes(PriceStorePath() + "/keep.txt"), "mine");
  EXPECT_TRUE(ReadStoredBars(PriceStorePath(), "7203").empty());
}

TEST(PriceStore, KeepPricesNamesASetAsideStoreAndStillWrites) {
  DataFolder f;
  WriteFileBytes(PriceStorePath(), "SQLite format 3 but not really");
  const std::vector<std::string> notes = KeepPrices({Bar("7203", 45000, 100)});
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("作り直しました"), std::string::npos);
  EXPECT_EQ(ReadStoredBars(PriceStorePath(), "7203").size(), 1u);
  EXPECT_TRUE(KeepPrices({Bar("7203", 45001, 101)}).empty());
}

TEST(CandleRule, TheAdjustedCloseMeetsTheListsWithinFiveSen) {
  EXPECT_TRUE(CandleCounts(100.0, 1, 100.0));
  EXPECT_TRUE(CandleCounts(100.05, 1, 100.0));
  EXPECT_TRUE(CandleCounts(99.95, 1, 100.0));
  EXPECT_FALSE(CandleCounts(100.06, 1, 100.0));
  EXPECT_FALSE(CandleCounts(99.9, 1, 100.0));
  // Before a 1:2 split the raw close is twice the list's.
  EXPECT_TRUE(CandleCounts(2001, 0.5, 1000.5));
  EXPECT_TRUE(CandleCounts(2001.1, 0.5, 1000.5));
  EXPECT_FALSE(CandleCounts(2001.2, 0.5, 1000.5));
  EXPECT_FALSE(CandleCounts(2001, 1, 1000.5));  // a split the store does not know
  // Three 1:3 splits later: a factor that is no short decimal.
  EXPECT_TRUE(CandleCounts(2700, 1.0 / 27, 100.0));
}

// 2024/03/04 is a Monday. Raw prices of 1000 yen before a 1:2 split that
// takes effect on Thursday 03/07, 500 yen after it; the list holds the
// closes halved before it.
class SplitBars : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int k = 0; k < 3; ++k) stored.push_back(Bar("7203", mon + k, 1000 + k));
    stored.push_back(Bar("7203", mon + 3, 502, 0.5));  // Thursday, the split
    stored.push_back(Bar("7203", mon + 4, 503));
    stored.push_back(Bar("7203", mon + 7, 504));   // next Monday
    stored.push_back(Bar("7203", mon + 28, 520));  // April 1
    for (const int k : {0, 1, 2}) list.push_back({mon + k, FloatToStr((1000 + k) / 2.0L)});
    list.push_back({mon + 3, "502"});
    list.push_back({mon + 4, "503"});
    list.push_back({mon + 7, "504"});
    list.push_back({mon + 8, "505"});  // no stored day: the close alone
    list.push_back({mon + 28, "520"});
  }
  const int mon = DaysFromCivil(2024, 3, 4);
  std::vector<StoredBar> stored;
  std::vector<ListClose> list;
};

TEST_F(SplitBars, DaysBeforeTheSplitComeOnTheListsBasis) {
  const std::vector<PriceBar> days = DailyBars(stored, list);
  ASSERT_EQ(days.size(), 8u);
  EXPECT_EQ(days[0].day, mon);
  EXPECT_EQ(*days[0].open, 499);    // 998 / 2
  EXPECT_EQ(*days[0].high, 501.5);  // 1003 / 2
  EXPECT_EQ(*days[0].low, 498);
  EXPECT_EQ(*days[0].volume, 2000);  // shares double with the split
  EXPECT_EQ(days[0].close, "500");
  EXPECT_EQ(*days[3].open, 500);  // the split's own day is on the new basis
  EXPECT_EQ(*days[3].volume, 1000);
  EXPECT_FALSE(days[6].open.has_value());
  EXPECT_EQ(days[6].close, "505");

  // A stored day without a volume keeps its candle; the volume is "-".
  stored[4].volume.reset();
  const std::vector<PriceBar> noVolume = DailyBars(stored, list);
  EXPECT_EQ(*noVolume[4].open, 501);
  EXPECT_FALSE(noVolume[4].volume.has_value());
  const std::vector<PriceBar> week = WeeklyBars(noVolume);
  EXPECT_EQ(*week[0].high, 506);
  EXPECT_FALSE(week[0].volume.has_value());

  // A list close the stored one does not meet (a split the store misses)
  // leaves the day a close alone.
  list[1].close = "1001";
  const std::vector<PriceBar> unmet = DailyBars(stored, list);
  EXPECT_FALSE(unmet[1].open.has_value());
  EXPECT_FALSE(unmet[1].volume.has_value());
  EXPECT_EQ(unmet[1].close, "1001");
  EXPECT_TRUE(unmet[0].open.has_value());
}

// The list's closes in any order give the same days; a stored day kept
// twice is read from its earlier-placed bar, and the split factors of both
// still apply to the days before them.
TEST_F(SplitBars, AnyListOrderAndADayStoredTwice) {
  const std::vector<PriceBar> want = DailyBars(stored, list);
  std::vector<ListClose> shuffled(list.rbegin(), list.rend());
  std::swap(shuffled[1], shuffled[4]);
  const std::vector<PriceBar> got = DailyBars(stored, shuffled);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].day, want[i].day);
    EXPECT_EQ(got[i].close, want[i].close);
    EXPECT_EQ(got[i].open, want[i].open);
    EXPECT_EQ(got[i].volume, want[i].volume);
  }
  StoredBar again = stored[4];  // Friday again, its open other
  again.open = 400;
  again.adjFactor = 1;
  stored.insert(stored.begin() + 5, again);
  const std::vector<PriceBar> twice = DailyBars(stored, list);
  EXPECT_EQ(*twice[4].open, *want[4].open);
  EXPECT_EQ(*twice[0].open, 499);  // the split before still halves Monday
  stored.erase(stored.begin() + 5);
  stored.insert(stored.begin() + 4, again);  // now the earlier placed
  EXPECT_EQ(*DailyBars(stored, list)[4].open, 400);
}

TEST_F(SplitBars, LimitFlagsComeWhereTheStoredCloseIsTheLists) {
  stored[0].stopHigh = true;
  stored[4].stopLow = true;
  stored[1].stopHigh = true;
  list[1].close = "1001";  // not met: the flag cannot be trusted
  const std::vector<PriceBar> days = DailyBars(stored, list);
  EXPECT_TRUE(days[0].stopHigh);
  EXPECT_FALSE(days[0].stopLow);
  EXPECT_FALSE(days[1].stopHigh);
  EXPECT_TRUE(days[4].stopLow);
  EXPECT_FALSE(days[2].stopHigh || days[2].stopLow);
}

TEST_F(SplitBars, WeeksAndMonthsSpanTheirDaysAndTakeTheLastDaysDate) {
  list.erase(list.begin() + 6);  // only candles from here on
  const std::vector<PriceBar> weeks = WeeklyBars(DailyBars(stored, list));
  ASSERT_EQ(weeks.size(), 3u);
  EXPECT_EQ(weeks[0].day, mon + 4);  // Friday
  EXPECT_EQ(*weeks[0].open, 499);
  EXPECT_EQ(*weeks[0].high, 506);     // Friday's 503 + 3
  EXPECT_EQ(*weeks[0].low, 498);      // Thursday's 502 - 4, Monday's 500 - 2 ... lowest
  EXPECT_EQ(*weeks[0].volume, 8000);  // 3 x 2000 + 2 x 1000
  EXPECT_EQ(weeks[0].close, "503");
  EXPECT_EQ(weeks[1].day, mon + 7);  // a week of one Monday
  EXPECT_EQ(weeks[2].day, mon + 28);

  const std::vector<PriceBar> months = MonthlyBars(DailyBars(stored, list));
  ASSERT_EQ(months.size(), 2u);
  EXPECT_EQ(months[0].day, mon + 7);
  EXPECT_EQ(months[0].close, "504");
  EXPECT_EQ(*months[0].volume, 9000);
  EXPECT_EQ(months[1].day, mon + 28);

  // A week holding a day of the close alone is a close alone.
  stored.pop_back();
  const std::vector<PriceBar> partial = WeeklyBars(DailyBars(stored, list));
  EXPECT_FALSE(partial[2].open.has_value());
  EXPECT_FALSE(partial[2].high.has_value());
  EXPECT_EQ(partial[2].close, "520");
}

TEST(ListCloses, OnlyDatedRowsWithAPriceAboveZeroOfTheOneColumn) {
  WorkTable t("StockList", 3, 8);
  const char* rows[][3] = {{"2024/01/10", "1200", "9"}, {"2024/01/09", "0", "9"},
                           {"見出し", "1100", "9"},     {"2024/01/05", "", "9"},
                           {"2024/01/04", "-5", "9"},   {"2024/01/03", "1190.50", ""},
                           {"2024/01/02", "abc", "9"}};
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 3; ++c) t.set(c, r + 1, rows[r][c]);
  const std::vector<ListClose> closes = ListClosesOf(t, 1);
  ASSERT_EQ(closes.size(), 2u);
  EXPECT_EQ(closes[0].day, StrToDate("2024/01/10"));
  EXPECT_EQ(closes[0].close, "1200");
  EXPECT_EQ(closes[1].day, StrToDate("2024/01/03"));
  EXPECT_EQ(closes[1].close, "1190.50");  // the cell's text as it stands
  EXPECT_EQ(ListClosesOf(t, 2).size(), 5u);
  EXPECT_TRUE(ListClosesOf(t, 5).empty());
}

}  // namespace
}  // namespace tavrine
