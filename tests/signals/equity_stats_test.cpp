// The statistics of an equity line on small lines worked out by hand.
#include "signals/equity_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "store/text.h"

namespace tavrine::equity {
namespace {

const int kDay0 = DaysFromCivil(2021, 3, 1);

// A line of values on the days kDay0 + offset.
std::vector<Point> Line(const std::vector<std::pair<int, double>>& points) {
  std::vector<Point> line;
  for (const auto& p : points) line.push_back({kDay0 + p.first, p.second});
  return line;
}

Inputs WithLine(const std::vector<std::pair<int, double>>& points, double capital = 100) {
  Inputs in;
  in.equity = Line(points);
  in.capital = capital;
  return in;
}

TEST(EquityDrawdown, ARecoveredDrawdownEndsOnTheDayBackAtThePeak) {
  const Stats s = Compute(WithLine({{0, 100}, {1, 120}, {3, 90}, {6, 120}, {7, 130}}));
  EXPECT_DOUBLE_EQ(s.maxdd, 0.25);
  EXPECT_EQ(s.ddays, 5);  // from the 120 of day 1 to the 120 of day 6
  EXPECT_DOUBLE_EQ(*s.finalEquity, 130);
}

TEST(EquityDrawdown, AnUnrecoveredDrawdownRunsToTheLastDay) {
  const Stats s = Compute(WithLine({{0, 100}, {2, 110}, {4, 99}, {9, 105}}));
  EXPECT_NEAR(s.maxdd, 0.1, 1e-12);
  EXPECT_EQ(s.ddays, 7);
}

TEST(EquityDrawdown, TheLongestDrawdownIsCountedEvenWhenShallower) {
  // 10 % over 2 days, then 5 % over 28 days.
  const Stats s =
      Compute(WithLine({{0, 100}, {1, 90}, {2, 100}, {10, 95}, {20, 99}, {30, 101}, {31, 100.5}}));
  EXPECT_NEAR(s.maxdd, 0.1, 1e-12);
  EXPECT_EQ(s.ddays, 28);
}

TEST(EquityDrawdown, AFlatLineHasNoDrawdownAndNoRatios) {
  const Stats s = Compute(WithLine({{0, 100}, {1, 100}, {2, 100}}));
  EXPECT_EQ(s.maxdd, 0);
  EXPECT_EQ(s.ddays, 0);
  EXPECT_FALSE(s.sharpe);
  EXPECT_FALSE(s.sortino);
  ASSERT_TRUE(s.cagr);
  EXPECT_DOUBLE_EQ(*s.cagr, 0);
}

TEST(EquityRatios, SharpeAndSortinoOfDailyReturns) {
  // Returns +10 %, +10 %, -10 %.
  const Stats s = Compute(WithLine({{0, 100}, {1, 110}, {2, 121}, {3, 108.9}}));
  const double mean = 0.1 / 3;
  const double sd = std::sqrt((2 * (0.1 - mean) * (0.1 - mean) + (0.1 + mean) * (0.1 + mean)) / 2);
  const double down = std::sqrt(0.01 / 3);
  ASSERT_TRUE(s.sharpe && s.sortino);
  EXPECT_NEAR(*s.sharpe, mean / sd * std::sqrt(245.0), 1e-9);
  EXPECT_NEAR(*s.sortino, mean / down * std::sqrt(245.0), 1e-9);
  EXPECT_NEAR(*s.sharpe, 4.51848, 1e-5);
}

TEST(EquityRatios, OnlyGainsHaveNoSortinoAndOneReturnNoSharpe) {
  const Stats rising = Compute(WithLine({{0, 100}, {1, 110}, {2, 132}}));
  EXPECT_TRUE(rising.sharpe);
  EXPECT_FALSE(rising.sortino);
  const Stats two = Compute(WithLine({{0, 100}, {1, 90}}));
  EXPECT_FALSE(two.sharpe);
  EXPECT_FALSE(two.sortino);
}

TEST(EquityRatios, CagrOverFourCalendarYears) {
  const Stats s = Compute(WithLine({{0, 100}, {700, 80}, {1461, 146.41}}));
  ASSERT_TRUE(s.cagr);
  EXPECT_NEAR(*s.cagr, 0.1, 1e-12);
  ASSERT_TRUE(s.tradesPerYear);
  EXPECT_EQ(*s.tradesPerYear, 0);
}

TEST(EquityRatios, OneDayHasNoRateButAFinalAndExposure) {
  Inputs in = WithLine({{0, 100}});
  in.held = {true};
  in.hold = {104};
  const Stats s = Compute(in);
  EXPECT_DOUBLE_EQ(*s.finalEquity, 100);
  EXPECT_FALSE(s.cagr);
  EXPECT_FALSE(s.sharpe);
  EXPECT_FALSE(s.tradesPerYear);
  EXPECT_EQ(s.maxdd, 0);
  EXPECT_DOUBLE_EQ(*s.exposure, 1);
  EXPECT_DOUBLE_EQ(*s.hold, 1.04);
  EXPECT_TRUE(s.years.size() == 1 && s.years[0].ret && *s.years[0].ret == 0);
}

TEST(EquityTrades, CountsRatesProfitFactorExpectancyAndCosts) {
  Inputs in = WithLine({{0, 100000}, {365, 110000}, {730, 120000}, {1461, 130000}});
  in.capital = 100000;
  in.closed = {{kDay0, kDay0 + 10, 3000, 50000, 100, 600},
               {kDay0 + 20, kDay0 + 50, -1000, 40000, 80, 0},
               {kDay0 + 60, kDay0 + 62, -2000, 20000, 60, 0},
               {kDay0 + 70, kDay0 + 90, 6000, 60000, 120, 1200}};
  in.open = {{kDay0 + 1400, 30000, 40}};
  in.held = {false, true, true, false};
  in.hold = {100000, 90000, 95000, 150000};
  const Stats s = Compute(in);
  EXPECT_EQ(s.trades, 4);
  EXPECT_EQ(s.wins, 2);
  EXPECT_DOUBLE_EQ(*s.winRate, 0.5);
  EXPECT_DOUBLE_EQ(*s.profitFactor, 3);
  EXPECT_DOUBLE_EQ(*s.expectancy, 1500);
  EXPECT_DOUBLE_EQ(*s.expectancyPct, (0.06 - 0.025 - 0.1 + 0.1) / 4);
  EXPECT_DOUBLE_EQ(*s.averageDays, (10 + 30 + 2 + 20) / 4.0);
  EXPECT_DOUBLE_EQ(*s.exposure, 0.5);
  EXPECT_DOUBLE_EQ(*s.tradesPerYear, 4 / (1461 / 365.25));
  EXPECT_DOUBLE_EQ(s.costs, 400);
  EXPECT_DOUBLE_EQ(s.tax, 1800);
  EXPECT_DOUBLE_EQ(*s.hold, 1.5);
}

TEST(EquityTrades, AllWinsHaveNoProfitFactorAndNoTradesNoRates) {
  Inputs in = WithLine({{0, 100}, {5, 120}});
  in.closed = {{kDay0, kDay0 + 2, 5, 100, 0, 0}, {kDay0 + 3, kDay0 + 5, 15, 100, 0, 0}};
  const Stats s = Compute(in);
  EXPECT_FALSE(s.profitFactor);
  EXPECT_DOUBLE_EQ(*s.winRate, 1);
  const Stats none = Compute(WithLine({{0, 100}, {5, 120}}));
  EXPECT_EQ(none.trades, 0);
  EXPECT_FALSE(none.winRate || none.profitFactor || none.expectancy || none.averageDays);
}

TEST(EquityYears, ReturnsDrawdownsAndTradesByCalendarYear) {
  Inputs in;
  in.capital = 100;
  in.equity = {{DaysFromCivil(2020, 12, 29), 110},
               {DaysFromCivil(2020, 12, 30), 100},
               {DaysFromCivil(2021, 1, 4), 120},
               {DaysFromCivil(2021, 1, 5), 90},
               {DaysFromCivil(2021, 1, 6), 99}};
  in.closed = {{DaysFromCivil(2020, 12, 1), DaysFromCivil(2020, 12, 29), 10, 100, 0, 0},
               {DaysFromCivil(2020, 12, 29), DaysFromCivil(2021, 1, 5), -30, 100, 0, 0}};
  const Stats s = Compute(in);
  ASSERT_EQ(s.years.size(), 2u);
  EXPECT_EQ(s.years[0].year, 2020);
  EXPECT_NEAR(*s.years[0].ret, 0, 1e-12);  // 100 over the capital
  EXPECT_NEAR(s.years[0].maxdd, 1 - 100 / 110.0, 1e-12);
  EXPECT_EQ(s.years[0].trades, 1);
  EXPECT_EQ(s.years[1].year, 2021);
  EXPECT_NEAR(*s.years[1].ret, -0.01, 1e-12);  // 99 over 100
  EXPECT_NEAR(s.years[1].maxdd, 0.25, 1e-12);  // the 2021 high, not the 2020 one
  EXPECT_EQ(s.years[1].trades, 1);
  EXPECT_EQ(YearNumbers(s.years[1]), "year=2021 ret=-0.01 maxdd=0.25 trades=1");
}

TEST(EquityLine, TheSummaryNumbersInTheGeneralForm) {
  Inputs in = WithLine({{0, 100}, {1461, 146.41}});
  in.closed = {{kDay0, kDay0 + 1, -10, 100, 0.5, 0}};
  in.held = {true, false, false};  // a day past the line is not counted
  const Stats s = Compute(in);
  EXPECT_EQ(SummaryNumbers(s),
            "final=146.41 cagr=0.1 maxdd=0 ddays=0 sharpe=- sortino=- trades=1 wins=0 "
            "winrate=0 pf=0 exp=-10 exppct=-0.1 days=1 exposure=0.5 "
            "peryear=0.25 costs=0.5 tax=0 hold=-");
}

}  // namespace
}  // namespace tavrine::equity
