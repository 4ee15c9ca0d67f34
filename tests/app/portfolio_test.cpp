// The portfolio's days of a stock from the list and the price store: opens,
// limit flags and 売買代金 only where the stored day is the list's.
#include "app/portfolio.h"

#include <gtest/gtest.h>

#include <vector>

#include "store/price_store.h"
#include "store/text.h"

namespace tavrine {
namespace {

StoredBar Stored(int day, double open, double close, std::optional<double> volume,
                 std::optional<double> turnover) {
  StoredBar b;
  b.code = "1301";
  b.day = day;
  b.open = open;
  b.high = std::max(open, close);
  b.low = std::min(open, close);
  b.close = close;
  b.volume = volume;
  b.turnover = turnover;
  return b;
}

TEST(PortfolioStockDays, TurnoverFromTheStoreElseVolumeTimesCloseAndOnlyWhereTheCandleCounts) {
  const int d1 = DaysFromCivil(2021, 3, 1), d2 = d1 + 1, d3 = d1 + 2, d4 = d1 + 3;
  PortfolioStock in;
  in.code = "1301";
  in.days = {d1, d2, d3, d4};
  in.closes = {1000, 1010, 1020, 1030};
  PortfolioTrade t;
  t.entrySignal = d1;
  t.entryDay = d2;
  t.exitSignal = d3;
  t.exitDay = d4;
  in.trades = {t};
  // The list column holds one more day before the stock's days: not taken.
  const std::vector<ListClose> list = {
      {d1 - 3, "990"}, {d1, "1000"}, {d2, "1010"}, {d3, "1020"}, {d4, "1030"}};
  std::vector<StoredBar> stored = {
      Stored(d1, 990, 1000, 5000, 4990000),        // the store's turnover
      Stored(d2, 1000, 1010, 3000, std::nullopt),  // 3000 x 1010
      Stored(d3, 1000, 1100, 2000, 9e9),           // its close is not the list's: nothing of it
  };
  stored[1].stopHigh = true;
  stored[2].stopLow = true;
  const portfolio::Stock s = PortfolioStockDays(in, list, stored);
  EXPECT_EQ(s.code, "1301");
  ASSERT_EQ(s.days.size(), 4u);
  ASSERT_EQ(s.turnover.size(), 4u);
  EXPECT_EQ(s.days[0].day, d1);
  ASSERT_TRUE(s.days[0].open);
  EXPECT_DOUBLE_EQ(static_cast<double>(*s.days[0].open), 990);
  ASSERT_TRUE(s.turnover[0]);
  EXPECT_DOUBLE_EQ(static_cast<double>(*s.turnover[0]), 4990000);
  ASSERT_TRUE(s.turnover[1]);
  EXPECT_DOUBLE_EQ(static_cast<double>(*s.turnover[1]), 3030000);
  EXPECT_TRUE(s.days[1].stopHigh);
  EXPECT_FALSE(s.turnover[2]);
  EXPECT_FALSE(s.days[2].open);
  EXPECT_FALSE(s.days[2].stopLow);
  EXPECT_DOUBLE_EQ(static_cast<double>(s.days[2].close), 1020);
  EXPECT_FALSE(s.turnover[3]);
  EXPECT_FALSE(s.days[3].open);
  // The orders are the trades' fill days.
  ASSERT_EQ(s.orders.size(), 1u);
  EXPECT_EQ(s.orders[0].entryFrom, d2);
  EXPECT_EQ(s.orders[0].exitFrom, d4);
}

}  // namespace
}  // namespace tavrine
