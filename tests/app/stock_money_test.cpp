#include "app/stock_money.h"

#include <gtest/gtest.h>

#include "../support/data_folder.h"
#include "store/price_store.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {
namespace {

// Weekdays of December 2003 from Monday the 1st: 1 2 3 4 5 8 9 10 11 12.
std::vector<int> Weekdays() {
  std::vector<int> days;
  for (int d : {1, 2, 3, 4, 5, 8, 9, 10, 11, 12}) days.push_back(DaysFromCivil(2003, 12, d));
  return days;
}

StoredBar Stored(int day, double open, double close) {
  StoredBar b;
  b.code = "7777";
  b.day = day;
  b.open = open;
  b.high = std::max(open, close);
  b.low = std::min(open, close);
  b.close = close;
  b.volume = 1000;
  b.source = PriceSource::Import;
  return b;
}

// Closes 1000, 1010, ... on the list; stored opens 5 yen below each close.
std::vector<ListClose> ListCloses(const std::vector<int>& days) {
  std::vector<ListClose> closes;
  for (std::size_t i = 0; i < days.size(); ++i)
    closes.push_back({days[i], IntToStr(static_cast<int>(1000 + 10 * i))});
  return closes;
}

TEST(StockMoney, AStoredUpperLimitDayMakesTheBuyWaitAndALowerLimitDayTheSell) {
  testing::DataFolder folder;
  const std::vector<int> days = Weekdays();
  std::vector<StoredBar> stored;
  for (std::size_t i = 0; i < days.size(); ++i)
    stored.push_back(Stored(days[i], 995 + 10.0 * static_cast<double>(i), 1000 + 10.0 * i));
  stored[2].stopHigh = true;  // the entry's day
  stored[6].stopLow = true;   // the exit's day
  stored[7].stopLow = true;   // and the next
  ASSERT_TRUE(KeepPrices(stored).empty());

  CostModel model;
  model.set = true;
  model.commission.kind = Commission::Kind::Rate;
  model.commission.ratePercent = 0.1L;
  model.commission.min = 100;
  const std::vector<PriceBar> daily =
      DailyBars(ReadStoredBars(PriceStorePath(), "7777"), ListCloses(days));
  const StockMoney m = RunStockMoney(daily, {{days[2], days[6]}}, true, model);
  ASSERT_EQ(m.result.trades.size(), 1u);
  const money::MoneyTrade& t = m.result.trades[0];
  // Filled on the day after the upper limit at its open 1025: 900 shares
  // (1000 would need 1,025,000 plus the fee) for 922,500, fee 922.
  EXPECT_EQ(t.entryDay, 3);
  EXPECT_EQ(t.entryPrice, 1025);
  EXPECT_EQ(t.shares, 900);
  EXPECT_EQ(t.entryFee, 922);
  // The sell waits out both lower limits: the open 1075 of the 11th.
  EXPECT_EQ(t.exitDay, 8);
  EXPECT_EQ(t.exitPrice, 1075);
  EXPECT_EQ(t.exitFee, 967);
  EXPECT_EQ(t.pnl, 900 * 50 - 922 - 967);

  // Without the flags the same trade fills on its own days.
  for (StoredBar& b : stored) b.stopHigh = b.stopLow = false;
  ASSERT_TRUE(KeepPrices(stored).empty());
  const StockMoney plain =
      RunStockMoney(DailyBars(ReadStoredBars(PriceStorePath(), "7777"), ListCloses(days)),
                    {{days[2], days[6]}}, true, model);
  EXPECT_EQ(plain.result.trades[0].entryDay, 2);
  EXPECT_EQ(plain.result.trades[0].exitDay, 6);

  const std::vector<TradeMoneyRow> rows = TradeMoneyRows(m);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].entryDate, "2003/12/04");
  EXPECT_EQ(rows[0].exitDate, "2003/12/11");
  EXPECT_EQ(rows[0].shares, 900);
  EXPECT_EQ(rows[0].cost, 922 + 967);
  EXPECT_EQ(rows[0].pnl, t.pnl);
}

TEST(StockMoney, ADayTheListDoesNotPriceMovesTheOrderToTheNextAndAnOpenTradeIsValuedAtTheEnd) {
  const std::vector<int> days = Weekdays();
  std::vector<PriceBar> daily;
  for (std::size_t i = 0; i < days.size(); ++i) {
    PriceBar b;
    b.day = days[i];
    b.close = i == 4 ? "" : IntToStr(static_cast<int>(2000 + 100 * i));
    daily.push_back(b);
  }
  CostModel model;
  model.set = true;
  model.fill = FillAt::Open;  // no opens stored: the close
  model.borrowPercent = 3.65L;
  // A short carried out on the unpriced 5th fills on the 8th at 2500 and
  // stays open to the 12th at 2900.
  const StockMoney m = RunStockMoney(daily, {{days[4], std::nullopt}}, false, model);
  const std::vector<TradeMoneyRow> rows = TradeMoneyRows(m);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].entryDate, "2003/12/08");
  EXPECT_EQ(rows[0].exitDate, "");
  EXPECT_FALSE(rows[0].closed);
  EXPECT_EQ(rows[0].shares, 400);
  // Borrow so far: 400 x 2500 x 3.65 % / 365 x 4 days.
  EXPECT_EQ(rows[0].cost, 400);
  EXPECT_EQ(rows[0].pnl, 400 * (2500 - 2900) - 400);
}

// The kept days follow a change of the store and of the list.
TEST(StockMoney, KeptDaysAreBuiltAgainWhenTheStoreOrTheListChanges) {
  testing::DataFolder folder;
  const std::vector<int> days = Weekdays();
  WorkTable list("StockList", 5, static_cast<int>(days.size()) + 1);
  list.set(4, 0, "7777 テスト");
  for (std::size_t i = 0; i < days.size(); ++i) {
    const int r = static_cast<int>(days.size() - i);  // newest in row 1
    list.set(0, r, DateToStr(days[i]));
    list.set(4, r, IntToStr(static_cast<int>(1000 + 10 * i)));
  }
  StockDaysCache cache;
  ASSERT_EQ(cache.days(list, 4, "7777").size(), days.size());
  EXPECT_FALSE(cache.days(list, 4, "7777")[3].open);

  std::vector<StoredBar> stored;
  for (std::size_t i = 0; i < days.size(); ++i)
    stored.push_back(Stored(days[i], 990 + 10.0 * static_cast<double>(i), 1000 + 10.0 * i));
  ASSERT_TRUE(KeepPrices(stored).empty());
  ASSERT_TRUE(cache.days(list, 4, "7777")[3].open);
  EXPECT_EQ(*cache.days(list, 4, "7777")[3].open, 1020);

  // A close the store no longer agrees with: that day is its close alone.
  list.set(4, static_cast<int>(days.size()) - 3, "1031");
  const std::vector<money::MoneyDay>& now = cache.days(list, 4, "7777");
  EXPECT_EQ(now[3].close, 1031);
  EXPECT_FALSE(now[3].open);
}

// Cutting the list at a day: every trade closed before it keeps its money,
// the one that closes later is open in the cut list.
TEST(StockMoney, CuttingTheListAtADayLeavesEveryTradeClosedBeforeItUnchanged) {
  std::vector<PriceBar> daily;
  for (int i = 0; i < 60; ++i) {
    PriceBar b;
    b.day = DaysFromCivil(2003, 1, 6) + i;
    const int close = 3000 + (i * 37) % 400;
    b.close = IntToStr(close);
    b.open = close - 7;
    b.stopHigh = i % 11 == 5;
    daily.push_back(b);
  }
  const std::vector<DayTrade> all = {{daily[3].day, daily[9].day},
                                     {daily[12].day, daily[20].day},
                                     {daily[25].day, daily[40].day},
                                     {daily[44].day, daily[55].day}};
  CostModel model;
  model.set = true;
  model.slipTicks = 2;
  model.commission.kind = Commission::Kind::Rate;
  model.commission.ratePercent = 0.2L;
  const StockMoney full = RunStockMoney(daily, all, true, model);
  for (int cut = 10; cut < 60; cut += 7) {
    const std::vector<PriceBar> head(daily.begin(), daily.begin() + cut);
    std::vector<DayTrade> seen;
    for (const DayTrade& t : all) {
      if (t.entryDay > head.back().day) break;
      seen.push_back(t);
      if (*t.exitDay > head.back().day) seen.back().exitDay.reset();
    }
    const StockMoney part = RunStockMoney(head, seen, true, model);
    for (std::size_t k = 0; k < part.result.trades.size(); ++k) {
      const money::MoneyTrade& a = part.result.trades[k];
      const money::MoneyTrade& b = full.result.trades[k];
      if (a.entryDay < 0) continue;  // its entry waits past the cut
      EXPECT_EQ(a.entryDay, b.entryDay) << cut;
      EXPECT_EQ(a.shares, b.shares) << cut;
      if (a.closed) {
        EXPECT_EQ(a.exitDay, b.exitDay) << cut;
        EXPECT_EQ(a.pnl, b.pnl) << cut;
      }
    }
  }
}

}  // namespace
}  // namespace tavrine
