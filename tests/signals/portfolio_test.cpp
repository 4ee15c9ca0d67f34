// The portfolio backtest on small hand-made lists, each figure worked by
// hand in the comments, and the cut list on a generated one.
#include "signals/portfolio.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/text.h"

namespace tavrine {
namespace {

using money::MoneyDay;
using portfolio::EquityDay;
using portfolio::Options;
using portfolio::Order;
using portfolio::Result;
using portfolio::Stock;
using portfolio::Trade;

int D(int y, int m, int d) { return DaysFromCivil(y, m, d); }

// A day whose open and close are the same price.
MoneyDay Flat(int day, long double price) { return {day, price, price, false, false}; }

Stock Make(const std::string& code, std::vector<MoneyDay> days, std::vector<Order> orders) {
  Stock s;
  s.code = code;
  s.days = std::move(days);
  s.orders = std::move(orders);
  return s;
}

Options NoCosts(long long capital, int slots) {
  Options o;
  o.capital = capital;
  o.positions = slots;
  o.costs.taxPercent = 0;
  return o;
}

long double EquityOn(const Result& r, int day) {
  for (const EquityDay& e : r.equity)
    if (e.day == day) return e.value;
  ADD_FAILURE() << "no equity day " << DateToStr(day);
  return 0;
}

TEST(Portfolio, LotsAfterTheFeeAndSlippageOnBothFills) {
  const int d0 = D(2020, 3, 2), d1 = D(2020, 3, 3), d2 = D(2020, 3, 4);
  Options o = NoCosts(1000000, 2);
  o.costs.commission.kind = Commission::Kind::Rate;
  o.costs.commission.ratePercent = 1;
  o.costs.slipTicks = 1;
  const Stock s =
      Make("1001", {Flat(d0, 1240), {d1, 1250, 1245, false, false}, {d2, 1310, 1300, false, false}},
           {{d1, d2}});
  const Result r = portfolio::Run({s}, o);
  // Money: min(1,000,000, 1,000,000 / 2) = 500,000. Buy at 1245 + 1 tick =
  // 1246: 4 lots 498,400 + fee 4,984 > 500,000, so 3 lots: 373,800 + 3,738.
  ASSERT_EQ(r.trades.size(), 1u);
  const Trade& t = r.trades[0];
  EXPECT_EQ(t.shares, 300);
  EXPECT_DOUBLE_EQ(static_cast<double>(t.entryPrice), 1246);
  // Sell at 1300 - 1 = 1299: 389,700, fee 3,897. Cost 3,738 + 3,897 = 7,635;
  // pnl 300 x 53 - 7,635 = 8,265.
  ASSERT_TRUE(t.exitDay);
  EXPECT_EQ(*t.exitDay, d2);
  EXPECT_DOUBLE_EQ(static_cast<double>(t.exitPrice), 1299);
  EXPECT_EQ(t.cost, 7635);
  EXPECT_DOUBLE_EQ(static_cast<double>(t.pnl), 8265);
  EXPECT_EQ(r.costs, 7635);
  // Equity: the capital, then cash 622,462 + 300 x 1250, then 1,008,265.
  ASSERT_EQ(r.equity.size(), 3u);
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, d0)), 1000000);
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, d1)), 997462);
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, d2)), 1008265);
  EXPECT_TRUE(r.equity[1].held);
  EXPECT_FALSE(r.equity[2].held);
}

TEST(Portfolio, FullSlotsSkipTheEntryWithItsExitAndAnExitFreesItsSlotTheSameDay) {
  std::vector<int> d;
  for (int i = 0; i < 6; ++i) d.push_back(D(2020, 3, 2) + i);
  std::vector<MoneyDay> days;
  for (int day : d) days.push_back(Flat(day, 1000));
  // One slot: A holds it d1..d3; B's entry on d2 finds it taken and is
  // dropped, its exit on d4 with it; C enters on d3, the day A's exit frees it.
  const Stock a = Make("1001", days, {{d[1], d[3]}});
  const Stock b = Make("1002", days, {{d[2], d[4]}});
  const Stock c = Make("1003", days, {{d[3], d[5]}});
  const Result r = portfolio::Run({a, b, c}, NoCosts(1000000, 1));
  ASSERT_EQ(r.trades.size(), 2u);
  EXPECT_EQ(r.trades[0].stock, 0);
  EXPECT_EQ(r.trades[1].stock, 2);
  EXPECT_EQ(r.trades[1].entryDay, d[3]);
  EXPECT_EQ(r.trades[1].exitDay, d[5]);
  // 1,000,000 / 1000 = 10 lots each time.
  EXPECT_EQ(r.trades[1].shares, 1000);
  EXPECT_EQ(r.skipped, 1);
}

TEST(Portfolio, TooLittleMoneyForOneLotSkipsAndTheBoundFits) {
  const int d0 = D(2020, 3, 2), d1 = D(2020, 3, 3), d2 = D(2020, 3, 4), d3 = D(2020, 3, 5);
  const Stock a =
      Make("1001", {Flat(d0, 900), Flat(d1, 900), Flat(d2, 900), Flat(d3, 900)}, {{d1, d3}});
  const Stock b =
      Make("1002", {Flat(d0, 1200), Flat(d1, 1200), Flat(d2, 1200), Flat(d3, 1200)}, {{d1, d3}});
  const Stock c =
      Make("1003", {Flat(d0, 500), Flat(d1, 500), Flat(d2, 500), Flat(d3, 500)}, {{d2, d3}});
  Options o = NoCosts(200000, 2);
  o.priority = portfolio::Priority::Code;
  const Result r = portfolio::Run({a, b, c}, o);
  // d1: money min(200,000, 200,000 / 2) = 100,000. A: 1 lot of 90,000, cash
  // 110,000. B: a lot is 120,000 > 100,000, skipped. d2: equity was 110,000 +
  // 100 x 900 = 200,000, money 100,000: C takes 2 lots of 50,000, exactly.
  ASSERT_EQ(r.trades.size(), 2u);
  EXPECT_EQ(r.trades[0].stock, 0);
  EXPECT_EQ(r.trades[0].shares, 100);
  EXPECT_EQ(r.trades[1].stock, 2);
  EXPECT_EQ(r.trades[1].shares, 200);
  EXPECT_EQ(r.skipped, 1);
}

TEST(Portfolio, TurnoverOfTheDayBeforeOrdersTheEntriesWithoutVolumeLast) {
  const int d0 = D(2020, 3, 2), d1 = D(2020, 3, 3), d2 = D(2020, 3, 4);
  std::vector<Stock> s;
  for (const char* code : {"1001", "1002", "1003"})
    s.push_back(Make(code, {Flat(d0, 1000), Flat(d1, 1000), Flat(d2, 1000)}, {{d1, d2}}));
  // On d0, the day the orders are given: A no volume, B and C 5,000,000. On
  // d1, the fill day, A's huge turnover is not known yet when ordering.
  s[0].turnover = {std::nullopt, 1e9L, std::nullopt};
  s[1].turnover = {5e6L, 1.0L, 1.0L};
  s[2].turnover = {5e6L, 1.0L, 1.0L};
  Options o = NoCosts(1000000, 2);
  const Result byTurnover = portfolio::Run(s, o);
  // B and C tie: code order puts B first; A, without a volume, is left out.
  ASSERT_EQ(byTurnover.trades.size(), 2u);
  EXPECT_EQ(byTurnover.trades[0].stock, 1);
  EXPECT_EQ(byTurnover.trades[1].stock, 2);
  // C higher: C first, then B.
  s[2].turnover[0] = 6e6L;
  const Result higher = portfolio::Run(s, o);
  ASSERT_EQ(higher.trades.size(), 2u);
  EXPECT_EQ(higher.trades[0].stock, 2);
  EXPECT_EQ(higher.trades[1].stock, 1);
  // By code: A and B.
  o.priority = portfolio::Priority::Code;
  const Result byCode = portfolio::Run(s, o);
  ASSERT_EQ(byCode.trades.size(), 2u);
  EXPECT_EQ(byCode.trades[0].stock, 0);
  EXPECT_EQ(byCode.trades[1].stock, 1);
}

TEST(Portfolio, LimitDaysMakeTheOrderWaitAndAnEntryOutwaitedByItsExitIsDropped) {
  std::vector<int> d;
  for (int i = 0; i < 6; ++i) d.push_back(D(2020, 3, 2) + i);
  std::vector<MoneyDay> days;
  for (int i = 0; i < 6; ++i) days.push_back(Flat(d[i], 1000 + 10 * i));
  days[1].stopHigh = true;  // the buy waits to d2
  days[2].stopLow = true;   // a lower limit does not stop a buy
  days[4].stopLow = true;   // the sell waits to d5
  const Stock a = Make("1001", days, {{d[1], d[4]}});
  std::vector<MoneyDay> bd = days;
  bd[2].stopHigh = true;  // B's buy waits d1 and d2; its exit's day d2 comes first
  const Stock b = Make("1002", bd, {{d[1], d[2]}});
  const Result r = portfolio::Run({a, b}, NoCosts(1000000, 2));
  ASSERT_EQ(r.trades.size(), 1u);
  EXPECT_EQ(r.trades[0].stock, 0);
  EXPECT_EQ(r.trades[0].entryDay, d[2]);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.trades[0].entryPrice), 1020);
  EXPECT_EQ(r.trades[0].exitDay, d[5]);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.trades[0].exitPrice), 1050);
  // 500,000 / 102,000 = 4 lots.
  EXPECT_EQ(r.trades[0].shares, 400);
}

TEST(Portfolio, AShortTakesNoCashAndPaysItsBorrowAtTheExit) {
  const int d0 = D(2020, 1, 3), d1 = D(2020, 1, 6), d2 = D(2020, 2, 5), d3 = D(2020, 2, 6);
  Options o = NoCosts(1000000, 1);
  o.entryBuy = false;
  const Stock a = Make("1001",
                       {Flat(d0, 2000),
                        {d1, 1950, 2000, false, false},
                        {d2, 1800, 1800, false, false},
                        Flat(d3, 1800)},
                       {{d1, d2}});
  // B sells on d2, in the slot A's exit frees that day, and is open at the end.
  const Stock b = Make("1002", {Flat(d0, 5000), Flat(d1, 5000), Flat(d2, 5000), Flat(d3, 4900)},
                       {{d2, std::nullopt}});
  const Result r = portfolio::Run({a, b}, o);
  ASSERT_EQ(r.trades.size(), 2u);
  // 1,000,000 / 200,000 = 5 lots, sold at 2000. Equity of d1: 1,000,000 +
  // 500 x (2000 - 1950) = 1,025,000.
  EXPECT_EQ(r.trades[0].shares, 500);
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, d1)), 1025000);
  // Borrow: 500 x 2000 x 1.15 % / 365 x 30 days = 945.2, 945 yen. pnl
  // 500 x 200 - 945 = 99,055; cash 1,099,055.
  EXPECT_EQ(r.trades[0].cost, 945);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.trades[0].pnl), 99055);
  // B: money min(1,099,055, 1,025,000) = 1,025,000 at 5000: 2 lots. Equity
  // of d2: 1,099,055 + 0. Of d3: + 200 x (5000 - 4900) = 1,119,055.
  EXPECT_EQ(r.trades[1].shares, 200);
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, d2)), 1099055);
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, d3)), 1119055);
  // Open: its borrow so far, 200 x 5000 x 1.15 % / 365 x 1 day = 31.5, 31
  // yen; valued at the last close, pnl 200 x 100 - 31.
  EXPECT_FALSE(r.trades[1].exitDay);
  EXPECT_EQ(r.trades[1].cost, 31);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.trades[1].exitPrice), 4900);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.trades[1].pnl), 19969);
  EXPECT_EQ(r.costs, 976);
}

TEST(Portfolio, TaxOnEachYearsNetGainsOnItsLastDayAndTheOpenYearsOnTheLastDay) {
  const int a = D(2020, 6, 1), b = D(2020, 6, 2), c = D(2020, 6, 3), e = D(2020, 6, 4),
            f = D(2020, 12, 30), g = D(2021, 1, 4), h = D(2021, 1, 5);
  Options o = NoCosts(1000000, 1);
  o.costs.taxPercent = 20.315L;
  const Stock s = Make("1001",
                       {Flat(a, 1000),
                        {b, 1100, 1000, false, false},
                        {c, 1070, 1100, false, false},
                        Flat(e, 1070),
                        Flat(f, 1000),
                        {g, 1010, 1000, false, false},
                        Flat(h, 1010)},
                       {{b, c}, {c, e}, {g, h}});
  const Result r = portfolio::Run({s}, o);
  ASSERT_EQ(r.trades.size(), 3u);
  // 2020: 1000 shares 1000 -> 1100, +100,000; 1000 shares 1100 -> 1070,
  // -30,000. Tax on 70,000: 14,220.5, 14,220, taken on 2020/12/30.
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, e)), 1070000);
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, f)), 1055780);
  // 2021: 10 lots at 1000 -> 1010, +10,000; tax 2,031.5, 2,031 on the last day.
  EXPECT_EQ(r.trades[2].shares, 1000);
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, g)), 1065780);
  EXPECT_DOUBLE_EQ(static_cast<double>(EquityOn(r, h)), 1063749);
  EXPECT_EQ(r.tax, 16251);
}

TEST(Portfolio, HoldSpreadsTheCapitalOverTheStocksPricedOnTheFirstDay) {
  const int d0 = D(2020, 3, 2), d1 = D(2020, 3, 3), d2 = D(2020, 3, 4);
  const Stock a = Make("1001", {Flat(d0, 1000), {d1, 1100, 1100, false, false}, Flat(d2, 1200)},
                       {{d1, std::nullopt}});
  const Stock b = Make("1002", {Flat(d0, 500), Flat(d1, 450)}, {});    // no d2: its last close
  const Stock c = Make("1003", {Flat(d1, 2000), Flat(d2, 3000)}, {});  // not priced on d0
  const Result r = portfolio::Run({a, b, c}, NoCosts(1000000, 1));
  // 500,000 each: A 500 units, B 1000 units.
  ASSERT_EQ(r.equity.size(), 3u);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.equity[0].hold), 1000000);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.equity[1].hold), 550000 + 450000);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.equity[2].hold), 600000 + 450000);
  // A: 9 lots at 1100 = 990,000, open at the end, valued at 1200.
  ASSERT_EQ(r.trades.size(), 1u);
  EXPECT_EQ(r.trades[0].shares, 900);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.trades[0].pnl), 90000);
  EXPECT_DOUBLE_EQ(static_cast<double>(r.equity[2].value), 10000 + 1080000);
}

// A generated list: prices wander, some days are at a limit or missing,
// trades follow one another.
std::vector<Stock> Generated() {
  std::uint32_t seed = 12345;
  const auto next = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(n));
  };
  std::vector<Stock> stocks;
  for (int k = 0; k < 7; ++k) {
    Stock s;
    s.code = IntToStr(1301 + 7 * (6 - k));
    long double price = 300 + 400 * k;
    for (int i = 0; i < 500; ++i) {
      if (k == 3 && i < 40) continue;  // listed later
      if (next(30) == 0) continue;     // a day missing
      price = std::max<long double>(50, price + next(41) - 20);
      MoneyDay d{D(2019, 11, 1) + i, price, price + next(11) - 5, next(25) == 0, next(25) == 0};
      s.days.push_back(d);
      s.turnover.push_back(next(8) == 0 ? std::optional<long double>()
                                        : std::optional<long double>(next(1000) * 1e4L));
    }
    std::size_t i = 1 + static_cast<std::size_t>(next(10));
    while (i + 2 < s.days.size()) {
      const std::size_t exit = i + 1 + static_cast<std::size_t>(next(30));
      if (exit >= s.days.size()) {
        s.orders.push_back({s.days[i].day, std::nullopt});
        break;
      }
      s.orders.push_back({s.days[i].day, s.days[exit].day});
      i = exit + static_cast<std::size_t>(next(5));
    }
    stocks.push_back(s);
  }
  return stocks;
}

// The list as it stood on the day cut: later days gone, a trade exiting
// later still open, one entering later not there.
std::vector<Stock> Cut(std::vector<Stock> stocks, int cut) {
  for (Stock& s : stocks) {
    while (!s.days.empty() && s.days.back().day > cut) {
      s.days.pop_back();
      s.turnover.pop_back();
    }
    std::vector<Order> kept;
    for (Order o : s.orders) {
      if (o.entryFrom > cut) break;
      if (o.exitFrom && *o.exitFrom > cut) o.exitFrom.reset();
      kept.push_back(o);
    }
    s.orders = kept;
  }
  return stocks;
}

TEST(Portfolio, CuttingTheListKeepsEveryTradeClosedBeforeAndEveryEquityValueUpToIt) {
  const std::vector<Stock> full = Generated();
  for (const bool buy : {true, false}) {
    Options o;
    o.positions = 3;
    o.entryBuy = buy;
    o.costs.commission.kind = Commission::Kind::Rate;
    o.costs.commission.ratePercent = 0.1L;
    o.costs.commission.min = 100;
    o.costs.slipTicks = 1;
    const Result whole = portfolio::Run(full, o);
    ASSERT_GT(whole.trades.size(), 20u);
    ASSERT_GT(whole.skipped, 0);
    for (const int cut : {D(2020, 1, 15), D(2020, 6, 30), D(2021, 1, 4), D(2021, 2, 20)}) {
      SCOPED_TRACE(DateToStr(cut) + (buy ? " buy" : " sell"));
      const Result early = portfolio::Run(Cut(full, cut), o);
      std::vector<const Trade*> closedBefore;
      for (const Trade& t : whole.trades)
        if (t.exitDay && *t.exitDay < cut) closedBefore.push_back(&t);
      std::vector<const Trade*> earlyClosed;
      for (const Trade& t : early.trades)
        if (t.exitDay && *t.exitDay < cut) earlyClosed.push_back(&t);
      ASSERT_EQ(earlyClosed.size(), closedBefore.size());
      for (std::size_t i = 0; i < closedBefore.size(); ++i) {
        const Trade &a = *closedBefore[i], &b = *earlyClosed[i];
        EXPECT_EQ(a.stock, b.stock);
        EXPECT_EQ(a.entryDay, b.entryDay);
        EXPECT_EQ(a.exitDay, b.exitDay);
        EXPECT_EQ(a.shares, b.shares);
        EXPECT_EQ(a.cost, b.cost);
        EXPECT_EQ(a.pnl, b.pnl);
      }
      // Every day before the cut alike; the cut day itself differs only by
      // the open year's tax taken there.
      ASSERT_LE(early.equity.size(), whole.equity.size());
      for (std::size_t i = 0; i < early.equity.size(); ++i) {
        if (early.equity[i].day >= cut) continue;
        EXPECT_EQ(early.equity[i].day, whole.equity[i].day);
        EXPECT_EQ(early.equity[i].value, whole.equity[i].value);
        EXPECT_EQ(early.equity[i].hold, whole.equity[i].hold);
      }
    }
  }
}

}  // namespace
}  // namespace tavrine
