#include "app/stock_money.h"
#include "app/stock_money_stats.h"

#include <gtest/gtest.h>

#include "../support/data_folder.h"
#include "signals/stats_block.h"
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

// Five days over a year's end, closes only (the fills take the close):
// 2003/12/29 1000, 12/30 1100, 2004/1/5 1050, 1/6 1200, 1/7 1150.
std::vector<PriceBar> YearEndDays() {
  const std::pair<int, int> md[] = {{2003 * 100 + 12, 29},
                                    {2003 * 100 + 12, 30},
                                    {2004 * 100 + 1, 5},
                                    {2004 * 100 + 1, 6},
                                    {2004 * 100 + 1, 7}};
  const int closes[] = {1000, 1100, 1050, 1200, 1150};
  std::vector<PriceBar> daily;
  for (int i = 0; i < 5; ++i) {
    PriceBar b;
    b.day = DaysFromCivil(md[i].first / 100, md[i].first % 100, md[i].second);
    b.close = IntToStr(closes[i]);
    daily.push_back(b);
  }
  return daily;
}

CostModel TenthPercentTaxFifth() {
  CostModel model;
  model.set = true;
  model.commission.kind = Commission::Kind::Rate;
  model.commission.ratePercent = 0.1L;
  model.taxPercent = 20;
  return model;
}

// The equity line by hand. The first buy: 900 shares at 1000 (1000 would
// need the fee on top of the capital), fee 900; sold at 1100, fee 990,
// gain 88,110, the year's tax 17,622 on 12/30. The second: 1000 shares at
// 1050, fee 1050; sold at 1150, fee 1150, gain 97,800, tax 19,560 at the end.
TEST(StockMoneyLine, EachDayIsCashPlusThePositionWithAYearsTaxOnItsLastDay) {
  const std::vector<PriceBar> daily = YearEndDays();
  const StockMoney m =
      RunStockMoney(daily, {{daily[0].day, daily[1].day}, {daily[2].day, daily[4].day}}, true,
                    TenthPercentTaxFifth());
  const equity::Inputs in = StockMoneyInputs(m, 20);
  ASSERT_EQ(in.equity.size(), 5u);
  const double want[] = {99100 + 900000.0, 1088110 - 17622.0, 19438 + 1050000.0, 19438 + 1200000.0,
                         1168288 - 19560.0};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(in.equity[i].day, daily[i].day) << i;
    EXPECT_DOUBLE_EQ(in.equity[i].value, want[i]) << i;
  }
  EXPECT_EQ(in.held, (std::vector<bool>{true, false, true, true, false}));
  // The line ends where the replay does.
  EXPECT_EQ(m.result.tax, 17622 + 19560);
  EXPECT_DOUBLE_EQ(in.equity.back().value, static_cast<double>(m.result.finalEquity));
  // Buy-and-hold: 1000 shares' worth of the capital at the first close.
  EXPECT_DOUBLE_EQ(in.hold.front(), 1000000);
  EXPECT_DOUBLE_EQ(in.hold.back(), 1150000);
  ASSERT_EQ(in.closed.size(), 2u);
  EXPECT_DOUBLE_EQ(in.closed[0].pnl, 88110);
  EXPECT_DOUBLE_EQ(in.closed[0].cost, 900 + 990);
  EXPECT_DOUBLE_EQ(in.closed[1].entryValue, 1050000);
  EXPECT_EQ(in.closed[1].exitDay, daily[4].day);
  EXPECT_TRUE(in.open.empty());

  const StockMoneyStats s = ComputeStockMoneyStats(m, 20);
  ASSERT_TRUE(s.money.finalEquity && s.hold.finalEquity);
  EXPECT_DOUBLE_EQ(*s.money.finalEquity, 1148728);
  EXPECT_DOUBLE_EQ(*s.hold.finalEquity, 1150000);
  EXPECT_EQ(s.money.trades, 2);
  EXPECT_EQ(s.money.wins, 2);
  EXPECT_DOUBLE_EQ(s.money.costs, 900 + 990 + 1050 + 1150);
  EXPECT_DOUBLE_EQ(s.money.tax, 17622 + 19560);
  EXPECT_DOUBLE_EQ(s.capital, 1000000);
  ASSERT_EQ(s.money.years.size(), 2u);
  EXPECT_NEAR(*s.money.years[0].ret, 1070488 / 1e6 - 1, 1e-12);
  // The hold is never out of the market.
  EXPECT_DOUBLE_EQ(*s.hold.exposure, 1);
}

// A short open at the end: worth what it would bring back at the last
// close, its borrow not yet paid; its cost the entry fee and borrow so far.
TEST(StockMoneyLine, AnOpenShortIsWorthItsEntryLessTheClose) {
  const std::vector<PriceBar> daily = YearEndDays();
  CostModel model = TenthPercentTaxFifth();
  model.borrowPercent = 3.65L;
  const StockMoney m = RunStockMoney(daily, {{daily[2].day, std::nullopt}}, false, model);
  // 900 shares sold at 1050 (1000 would be more than the capital), fee 945.
  ASSERT_EQ(m.result.trades[0].shares, 900);
  const equity::Inputs in = StockMoneyInputs(m, 20);
  EXPECT_DOUBLE_EQ(in.equity[1].value, 1000000);
  EXPECT_DOUBLE_EQ(in.equity[2].value, 1000000 - 945.0);
  EXPECT_DOUBLE_EQ(in.equity[3].value, 1000000 - 945.0 + 900 * (1050 - 1200));
  EXPECT_DOUBLE_EQ(in.equity[4].value, static_cast<double>(m.result.finalEquity));
  EXPECT_EQ(in.held, (std::vector<bool>{false, false, true, true, true}));
  ASSERT_EQ(in.open.size(), 1u);
  // Borrow 900 x 1050 x 3.65 % / 365 a day, two calendar days.
  EXPECT_DOUBLE_EQ(in.open[0].cost, 945 + 189);
  EXPECT_TRUE(in.closed.empty());
}

// The list's rows newest first, a row left out by the minimum ratio and a
// row of another backtest: each listed trade gets its own money.
TEST(StockMoneyLine, TheListedRowsFindTheirTradesByTheirDays) {
  const std::vector<PriceBar> daily = YearEndDays();
  const StockMoney m =
      RunStockMoney(daily, {{daily[0].day, daily[1].day}, {daily[2].day, daily[4].day}}, true,
                    TenthPercentTaxFifth());
  WorkTable stats("StatsTable", 15, 20);
  const auto list = [&stats](int row, int in, int out) {
    stats.set(stats::kEntryDate, row, DateToStr(in));
    stats.set(stats::kExitDate, row, DateToStr(out));
  };
  list(1, daily[2].day, daily[4].day);
  list(2, daily[1].day, daily[3].day);  // no such trade
  list(3, daily[0].day, daily[1].day);
  const std::vector<std::optional<TradeMoneyRow>> rows = ListedTradeMoney(m, stats);
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_TRUE(rows[0] && rows[2]);
  EXPECT_FALSE(rows[1]);
  EXPECT_EQ(rows[0]->shares, 1000);
  EXPECT_EQ(rows[0]->cost, 1050 + 1150);
  EXPECT_EQ(rows[0]->pnl, 97800);
  EXPECT_EQ(rows[2]->shares, 900);
  EXPECT_EQ(rows[2]->pnl, 88110);
}

}  // namespace
}  // namespace tavrine
