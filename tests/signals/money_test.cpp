// The cost model of the per-stock backtest by hand: the tick table at its
// bounds, the commission forms, the yearly tax, borrow, and trades replayed
// with shares and yen.
#include "signals/money.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/text.h"

namespace tavrine {
namespace {

using money::MoneyDay;
using money::MoneyOrder;

TEST(MoneyTicks, EachBoundTakesTheLowerTickAndJustAboveTheNext) {
  const struct {
    long double bound;
    long long tick, above;
  } table[] = {
      {3000, 1, 5},
      {5000, 5, 10},
      {30000, 10, 50},
      {50000, 50, 100},
      {300000, 100, 500},
      {500000, 500, 1000},
      {3000000, 1000, 5000},
      {5000000, 5000, 10000},
      {30000000, 10000, 50000},
      {50000000, 50000, 100000},
  };
  for (const auto& row : table) {
    EXPECT_EQ(money::TickSize(row.bound), row.tick) << static_cast<double>(row.bound);
    EXPECT_EQ(money::TickSize(row.bound + 0.1L), row.above) << static_cast<double>(row.bound);
  }
  EXPECT_EQ(money::TickSize(1), 1);
}

TEST(MoneyTicks, SlippageMovesAgainstTheOrderByTheTickAtThePriceOffTheGrid) {
  EXPECT_EQ(money::SlippedPrice(3000, 2, true), 3002);
  EXPECT_EQ(money::SlippedPrice(3000, 2, false), 2998);
  EXPECT_EQ(money::SlippedPrice(5001, 1, false), 4991);  // tick 10 at 5,001, not snapped
  EXPECT_EQ(money::SlippedPrice(1234.5L, 1, true), 1235.5L);
  EXPECT_EQ(money::SlippedPrice(1234.5L, 0, true), 1234.5L);
}

Commission Parsed(const std::string& text) {
  Commission c;
  std::string error;
  EXPECT_TRUE(money::ParseCommission(text, c, error)) << text << ": " << error;
  return c;
}

TEST(MoneyCommission, RateIsRoundedDownAndHeldBetweenItsMinimumAndMaximum) {
  const Commission c = Parsed("rate:0.1:100:1000");
  EXPECT_EQ(money::Fee(c, 50000), 100);   // 50 below the minimum
  EXPECT_EQ(money::Fee(c, 100000), 100);  // at the minimum
  EXPECT_EQ(money::Fee(c, 100999), 100);  // 100.999 rounded down
  EXPECT_EQ(money::Fee(c, 500000), 500);
  EXPECT_EQ(money::Fee(c, 1000000), 1000);  // at the maximum
  EXPECT_EQ(money::Fee(c, 1500000), 1000);
  // Binary noise never takes a whole yen off: 0.099% of 1,000,000 is 990.
  EXPECT_EQ(money::Fee(Parsed("rate:0.099"), 1000000), 990);
  EXPECT_EQ(money::Fee(Parsed("rate:0.055:0"), 1234567), 679);
  EXPECT_EQ(money::Fee(Parsed("zero"), 1234567), 0);
}

TEST(MoneyCommission, TiersIncludeTheirBoundAndTheLastFeeIsAboveAll) {
  const Commission c = Parsed("tiers:50000=55;100000=99;1070");
  EXPECT_EQ(money::Fee(c, 1), 55);
  EXPECT_EQ(money::Fee(c, 50000), 55);
  EXPECT_EQ(money::Fee(c, 50000.1L), 99);
  EXPECT_EQ(money::Fee(c, 100000), 99);
  EXPECT_EQ(money::Fee(c, 100001), 1070);
}

TEST(MoneyCommission, BadFormsAreRefusedNamingTheTextWithAGoodExample) {
  for (const char* bad :
       {"", "flat", "rate:", "rate:x", "rate:0.1:200:100", "rate:0.1:1:2:3", "rate:-1",
        "tiers:50000=55", "tiers:100=1;50=2;3", "tiers:a=1;2", "tiers:100=1;", "Zero"}) {
    Commission c;
    std::string error;
    EXPECT_FALSE(money::ParseCommission(bad, c, error)) << bad;
    EXPECT_NE(error.find(std::string(bad)), std::string::npos) << error;
    EXPECT_NE(error.find("例"), std::string::npos) << error;
  }
}

TEST(MoneyCommission, OtherKeysRefuseBadValuesNamingThem) {
  std::string error;
  int ticks = 0;
  long double percent = 0;
  long long capital = 0;
  FillAt fill = FillAt::Open;
  EXPECT_FALSE(money::ParseTicks("1.5", ticks, error));
  EXPECT_NE(error.find("1.5"), std::string::npos);
  EXPECT_FALSE(money::ParsePercent("20%", "税", percent, error));
  EXPECT_NE(error.find("20%"), std::string::npos);
  EXPECT_FALSE(money::ParseCapital("0", capital, error));
  EXPECT_FALSE(money::ParseFill("mid", fill, error));
  EXPECT_NE(error.find("mid"), std::string::npos);
  EXPECT_TRUE(money::ParsePercent("0", "税", percent, error));
  EXPECT_EQ(percent, 0);
  EXPECT_TRUE(money::ParseFill("close", fill, error));
  EXPECT_EQ(fill, FillAt::Close);
}

// The settings the window keeps are the model's text: every commission form
// and every other setting comes back equal, and a text with one bad setting
// changes nothing.
TEST(MoneyCommission, TheModelsTextReadsBackToTheSameModelAndABadTextChangesNothing) {
  for (const char* commission : {"zero", "rate:0.099", "rate:0.1:100", "rate:0.099:0:1000",
                                 "tiers:50000=55;100000=99;1070"}) {
    CostModel m;
    std::string error;
    ASSERT_TRUE(money::ParseCommission(commission, m.commission, error)) << commission;
    m.slipTicks = 2;
    m.taxPercent = 0;
    m.borrowPercent = 1.5L;
    m.capital = 2500000;
    m.fill = FillAt::Close;
    EXPECT_EQ(money::CommissionText(m.commission), commission);
    CostModel back;
    ASSERT_TRUE(money::ReadCostModelText(money::CostModelText(m), back, error)) << error;
    EXPECT_EQ(back, m) << money::CostModelText(m);
  }
  CostModel kept;
  kept.slipTicks = 3;
  const CostModel before = kept;
  std::string error;
  EXPECT_FALSE(money::ReadCostModelText("slip=1 tax=abc", kept, error));
  EXPECT_NE(error.find("abc"), std::string::npos);
  EXPECT_FALSE(money::ReadCostModelText("slip=1 lots=2", kept, error));
  EXPECT_NE(error.find("lots=2"), std::string::npos);
  EXPECT_EQ(kept, before);
}

TEST(MoneyTax, LossesOffsetWithinAYearAndEachYearIsTaxedOnItsOwn) {
  money::YearTax tax(20.315L);
  EXPECT_EQ(tax.turn(DaysFromCivil(2023, 3, 1)), 0);
  tax.add(100000);
  EXPECT_EQ(tax.turn(DaysFromCivil(2023, 7, 1)), 0);
  tax.add(-30000);
  // 2023's 70,000 at 20.315% is 14,220.5.
  EXPECT_EQ(tax.turn(DaysFromCivil(2024, 1, 4)), 14220);
  tax.add(-5000);  // a loss of 2024 takes nothing back from 2023
  EXPECT_EQ(tax.turn(DaysFromCivil(2024, 5, 1)), 0);
  tax.add(3000);
  EXPECT_EQ(tax.finish(), 0);

  money::YearTax nisa(0);
  nisa.turn(DaysFromCivil(2023, 3, 1));
  nisa.add(100000);
  EXPECT_EQ(nisa.finish(), 0);
}

TEST(MoneyBorrow, AccruesEveryCalendarDayOverAWeekend) {
  // 1,000 shares at 1,000 yen, Friday to Monday: 1,000,000 x 1.15% / 365 x 3.
  const int friday = DaysFromCivil(2024, 3, 8), monday = DaysFromCivil(2024, 3, 11);
  EXPECT_EQ(money::Borrow(1000, 1000, 1.15L, monday - friday), 94);
  EXPECT_EQ(money::Borrow(1000, 1000, 1.15L, 1), 31);
  EXPECT_EQ(money::Borrow(1000, 1000, 1.15L, 0), 0);
}

MoneyDay Day(int y, int m, int d, long double close, std::optional<long double> open = {},
             bool stopHigh = false, bool stopLow = false) {
  return MoneyDay{DaysFromCivil(y, m, d), close, open, stopHigh, stopLow};
}

CostModel Model(const std::string& commission, int slip) {
  CostModel m;
  m.set = true;
  m.commission = Parsed(commission);
  m.slipTicks = slip;
  return m;
}

TEST(MoneyRun, ABuyWaitsOutAnUpperLimitDayFillsAtTheOpenAndIsSizedWithItsFee) {
  const std::vector<MoneyDay> days = {
      Day(2024, 3, 4, 1000, 990),  Day(2024, 3, 5, 1010, 1005, true),
      Day(2024, 3, 6, 1020, 1015), Day(2024, 3, 7, 1100, 1090),
      Day(2024, 3, 8, 1050),  // no open the list can trust: its close
  };
  const money::MoneyResult r = money::RunMoney(days, {{1, 4}}, true, Model("rate:0.1:100", 1));
  ASSERT_EQ(r.trades.size(), 1u);
  const money::MoneyTrade& t = r.trades[0];
  EXPECT_EQ(t.entryDay, 2);
  EXPECT_EQ(t.entryPrice, 1016);  // the open and a tick
  EXPECT_EQ(t.shares, 900);       // 1,000 shares and their fee would pass 1,000,000
  EXPECT_EQ(t.entryFee, 914);
  EXPECT_EQ(t.exitDay, 4);
  EXPECT_EQ(t.exitPrice, 1049);
  EXPECT_EQ(t.exitFee, 944);
  EXPECT_EQ(t.pnl, 900 * 33 - 914 - 944);
  EXPECT_EQ(r.capital, 1000000);
  EXPECT_EQ(r.costs, 1858);
  EXPECT_EQ(r.tax, 5656);  // 27,842 at 20.315%
  EXPECT_EQ(r.finalEquity, 1000000 + 27842 - 5656);
}

TEST(MoneyRun, AShortWaitsOutALowerLimitDayTakesNoCashAndPaysBorrowAtTheExit) {
  const std::vector<MoneyDay> days = {
      Day(2024, 3, 7, 2000, 2010, false, true),   // Thursday: no sell fills
      Day(2024, 3, 8, 2000, 2000),                // Friday
      Day(2024, 3, 11, 1950, 1900, false, true),  // Monday: a buy still fills
  };
  CostModel m = Model("zero", 0);
  const money::MoneyResult r = money::RunMoney(days, {{0, 2}}, false, m);
  const money::MoneyTrade& t = r.trades[0];
  EXPECT_EQ(t.entryDay, 1);
  EXPECT_EQ(t.shares, 500);
  EXPECT_EQ(t.exitPrice, 1900);
  EXPECT_EQ(t.borrow, 94);
  EXPECT_EQ(t.pnl, 500 * 100 - 94);
  EXPECT_EQ(r.tax, 10138);
  EXPECT_EQ(r.finalEquity, 1000000 + 50000 - 94 - 10138);

  m.fill = FillAt::Close;  // fill=close: always the close
  const money::MoneyResult c = money::RunMoney(days, {{0, 2}}, false, m);
  EXPECT_EQ(c.trades[0].exitPrice, 1950);
}

TEST(MoneyRun, ALotAboveTheCapitalStartsFromTenLotsRoundedUpAndGainsAreReinvested) {
  const std::vector<MoneyDay> days = {
      Day(2023, 6, 1, 12345, 12345),
      Day(2023, 6, 2, 13000, 13000),
      Day(2024, 1, 5, 13000, 13000),
      Day(2024, 1, 9, 14000, 14000),
  };
  CostModel m = Model("zero", 0);
  m.taxPercent = 0;
  const money::MoneyResult r = money::RunMoney(days, {{0, 1}, {2, 3}}, true, m);
  EXPECT_EQ(r.capital, 12400000);
  EXPECT_EQ(r.trades[0].shares, 1000);
  // 12,400,000 + 655,000 buys ten lots at 13,000 with 55,000 left.
  EXPECT_EQ(r.trades[1].shares, 1000);
  EXPECT_EQ(r.finalEquity, 12400000 + 655000 + 1000000);
}

TEST(MoneyRun, CuttingTheListAtADayLeavesEveryTradeClosedBeforeItUnchanged) {
  std::vector<MoneyDay> days;
  for (int k = 0; k < 40; ++k) {
    const long double close = 1000 + (k * 37) % 90;
    days.push_back(
        MoneyDay{DaysFromCivil(2023, 11, 1) + k * 2, close, close - 3, k % 7 == 3, k % 11 == 5});
  }
  const std::vector<MoneyOrder> orders = {{1, 4}, {6, 12}, {15, 22}, {25, 31}, {33, 38}};
  const CostModel m = Model("tiers:100000=99;500000=350;1070", 2);
  for (bool buy : {true, false}) {
    const money::MoneyResult whole = money::RunMoney(days, orders, buy, m);
    for (int cut = 1; cut <= 40; ++cut) {
      const std::vector<MoneyDay> head(days.begin(), days.begin() + cut);
      std::vector<MoneyOrder> before;
      for (const MoneyOrder& o : orders)
        if (o.entryFrom < cut) before.push_back({o.entryFrom, o.exitFrom < cut ? o.exitFrom : -1});
      const money::MoneyResult part = money::RunMoney(head, before, buy, m);
      for (std::size_t k = 0; k < before.size(); ++k) {
        const money::MoneyTrade& a = whole.trades[k];
        const money::MoneyTrade& b = part.trades[k];
        if (!a.closed || a.exitDay >= cut) continue;
        EXPECT_TRUE(b.closed) << cut << ' ' << k;
        EXPECT_EQ(a.entryDay, b.entryDay);
        EXPECT_EQ(a.exitDay, b.exitDay);
        EXPECT_EQ(a.shares, b.shares);
        EXPECT_EQ(a.pnl, b.pnl) << cut << ' ' << k;
      }
    }
  }
}

}  // namespace
}  // namespace tavrine
