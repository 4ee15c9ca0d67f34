#include "signals/figures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "figures_reference.h"
#include "signals_fixture.h"
#include "store/work_table.h"

namespace tavrine::signals_test {
namespace {

// ---- Writing trade lists -------------------------------------------------

struct ListedTrade {
  std::string entryDate, exitDate, held, entryClose, exitClose, ratio;
};

WorkTable NewStats() { return WorkTable("StatsTable", 15, 2000); }

// Trades given oldest first go to rows 1..n newest first, as the chain lists them.
void WriteList(WorkTable& stats, const std::vector<ListedTrade>& oldestFirst) {
  const int n = static_cast<int>(oldestFirst.size());
  for (int i = 0; i < n; ++i) {
    const ListedTrade& t = oldestFirst[static_cast<std::size_t>(i)];
    const int row = n - i;
    stats.set(1, row, t.entryDate);
    stats.set(2, row, t.exitDate);
    stats.set(3, row, t.held);
    stats.set(4, row, t.entryClose);
    stats.set(5, row, t.exitClose);
    stats.set(6, row, t.ratio);
  }
}

// A ratio as the chain writes it: the general 15-digit form cut to 5 characters.
std::string RatioText(double sell, double buy) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", sell / buy);
  return std::string(buf).substr(0, 5);
}

// A generated list: prices drift, some trades end even, some stretches lose
// again and again, dates come in both written forms.
std::vector<ListedTrade> GeneratedList(std::mt19937& rng, int n) {
  std::vector<ListedTrade> list;
  int day = DayOf("2001/01/04") + static_cast<int>(rng() % 400);
  double price = 300 + rng() % 3000;
  int losingLeft = 0;
  for (int i = 0; i < n; ++i) {
    const int gap = static_cast<int>(rng() % 20);
    const int held = rng() % 25 == 0 ? 0 : 1 + static_cast<int>(rng() % 60);
    const int entryDay = day + gap, exitDay = entryDay + held;
    day = exitDay;
    if (losingLeft == 0 && rng() % 30 == 0) losingLeft = 3 + static_cast<int>(rng() % 12);
    const double entry = std::round(price);
    double exit = entry;
    const int pick = static_cast<int>(rng() % 10);
    if (losingLeft > 0) {
      exit = std::round(entry * (0.80 + 0.19 * (rng() % 1000) / 1000.0));
      --losingLeft;
    } else if (pick != 0) {  // one in ten closes at the entry price: ratio "1"
      exit = std::round(entry * (0.85 + 0.35 * (rng() % 1000) / 1000.0));
    }
    if (exit < 1) exit = 1;
    price = exit < 50 || exit > 1e6 ? 300 + rng() % 3000 : exit;
    ListedTrade t;
    t.entryDate = DateText(entryDay, rng() % 2 == 0);
    t.exitDate = DateText(exitDay, rng() % 2 == 0);
    t.held = std::to_string(held);
    t.entryClose = std::to_string(static_cast<long long>(entry));
    t.exitClose = std::to_string(static_cast<long long>(exit));
    t.ratio = RatioText(exit, entry);
    list.push_back(t);
  }
  return list;
}

// ---- ComputeFigures --------------------------------------------------------

TEST(FiguresTest, HandCheckedListGivesTheExactLine) {
  // Oldest first: +10 %, -10 %, even, -10 %, +35 %; the even trade splits the
  // two losses. Held 83 days of the 136 from 2024/01/05 to 2024/05/20.
  WorkTable stats = NewStats();
  WriteList(stats, {
                       {"2024/1/5", "2024/01/15", "10", "200", "220", "1.1"},
                       {"2024/02/01", "2024/2/11", "10", "230", "207", "0.9"},
                       {"2024/3/1", "2024/03/04", "3", "210", "210", "1"},
                       {"2024/03/10", "2024/4/9", "30", "200", "180", "0.9"},
                       {"2024/4/20", "2024/05/20", "30", "180", "243", "1.35"},
                   });
  const BacktestFigures f = ComputeFigures(stats);
  // 1.1 x 0.9 x 1 x 0.9 x 1.35 = 1.20285; the high 1.1 falls to 0.891 (19 %);
  // gains 0.45 over losses 0.2; 83 / 136; 243 / 200.
  EXPECT_EQ(FiguresLine(f),
            "figures trades=5 wins=2 equity=1.20285 maxdd=0.19 pf=2.25 streak=1 "
            "exposure=0.610294117647059 "
            "hold=1.215");
  EXPECT_EQ(FigureCells(f), (std::vector<std::string>{"19.0%", "2.25", "1", "61.0%", "1.215"}));
  ASSERT_TRUE(f.winRate.has_value());
  EXPECT_DOUBLE_EQ(*f.winRate, 0.4);
  ASSERT_EQ(f.curve.size(), 5u);
  EXPECT_EQ(f.curve.front().exitDate, "2024/01/15");
  EXPECT_EQ(f.curve.back().exitDate, "2024/05/20");
  EXPECT_DOUBLE_EQ(f.curve[0].drawdown, 0);
  EXPECT_NEAR(f.curve[1].drawdown, 0.1, 1e-15);
  EXPECT_NEAR(f.curve[2].drawdown, 0.1, 1e-15);  // an even trade keeps the drawdown
  EXPECT_NEAR(f.curve[3].drawdown, 0.19, 1e-15);
  EXPECT_DOUBLE_EQ(f.curve[4].drawdown, 0);  // 1.20285 is a new high
}

TEST(FiguresTest, MatchesAnIndependentComputationOnGeneratedLists) {
  std::mt19937 rng(8128);
  const int sizes[] = {1, 2, 3, 7, 40, 999, 1000};
  for (int n : sizes) {
    WorkTable stats = NewStats();
    WriteList(stats, GeneratedList(rng, n));
    ExpectMatchesReference(stats, "size " + std::to_string(n));
  }
  for (int round = 0; round < 60; ++round) {
    WorkTable stats = NewStats();
    const int n = 1 + static_cast<int>(rng() % 1000);
    WriteList(stats, GeneratedList(rng, n));
    ExpectMatchesReference(stats, "round " + std::to_string(round) + " size " + std::to_string(n));
    if (HasFatalFailure()) return;
  }
}

TEST(FiguresTest, ListEndsAtTheFirstBlankRatioAndAtAThousand) {
  std::mt19937 rng(77);
  // A blank ratio (empty or one space) ends the list; rows after it are not trades.
  for (const char* blank : {"", " "}) {
    WorkTable stats = NewStats();
    WriteList(stats, GeneratedList(rng, 30));
    stats.set(6, 12, blank);
    EXPECT_EQ(ListedTradeCount(stats), 11);
    const BacktestFigures f = ComputeFigures(stats);
    EXPECT_EQ(f.trades, 11);
    ASSERT_EQ(f.curve.size(), 11u);
    EXPECT_EQ(f.curve.back().exitDate, stats.cell(2, 1));
    EXPECT_EQ(f.curve.front().exitDate, stats.cell(2, 11));
    ExpectMatchesReference(stats, std::string("blank '") + blank + "'");
  }
  // Rows past 1000 are never part of the list.
  WorkTable stats = NewStats();
  WriteList(stats, GeneratedList(rng, 1200));
  EXPECT_EQ(ListedTradeCount(stats), 1000);
  const BacktestFigures f = ComputeFigures(stats);
  EXPECT_EQ(f.trades, 1000);
  ExpectMatchesReference(stats, "1200 rows written");
}

// The shown forms round the decimal the 15-digit text reads, half up, so a
// double a hair off its decimal value neither shows its noise nor decides a
// tie; the percentage shifts the digits rather than multiplying.
TEST(FiguresTest, ShownFormsRoundTheDecimalTextHalfUp) {
  const std::pair<double, const char*> percent[] = {{0.0318080000000001, "3.2%"},
                                                    {0.57, "57.0%"},
                                                    {0.0625, "6.3%"},
                                                    {0.00049, "0.0%"},
                                                    {0.00050, "0.1%"},
                                                    {0.99951, "100.0%"},
                                                    {1.5, "150.0%"},
                                                    {0, "0.0%"},
                                                    {0.1 + 0.2, "30.0%"},
                                                    {0.0000123, "0.0%"},
                                                    {0.125, "12.5%"},
                                                    {2.0 / 3, "66.7%"},
                                                    {1e-20, "0.0%"},
                                                    {0.00951234, "1.0%"},
                                                    {-0.0004, "0.0%"}};
  for (const auto& [v, want] : percent) EXPECT_EQ(PercentText(v), want) << v;
  const std::tuple<double, int, const char*> fixed[] = {{56.9999999999999, 3, "57.000"},
                                                        {1.05, 3, "1.050"},
                                                        {1.005, 2, "1.01"},
                                                        {2.675, 2, "2.68"},
                                                        {0.125, 2, "0.13"},
                                                        {9.9996, 3, "10.000"},
                                                        {123456.7, 2, "123456.70"},
                                                        {0.0004, 3, "0.000"},
                                                        {-1.25, 1, "-1.3"},
                                                        {1.0 / 3, 0, "0"},
                                                        {2.5, 0, "3"},
                                                        {1e-7, 2, "0.00"}};
  for (const auto& [v, decimals, want] : fixed) EXPECT_EQ(RoundedText(v, decimals), want) << v;
  EXPECT_EQ(PercentText(std::nullopt), "-");
  EXPECT_EQ(RoundedText(std::nullopt, 2), "-");
  EXPECT_EQ(RoundedText(std::numeric_limits<double>::infinity(), 2), "-");
}

TEST(FiguresTest, FieldsJoinKeysAndValuesWithOneBlank) {
  EXPECT_EQ(FigureFields({}), "");
  EXPECT_EQ(FigureFields({{"n", 3}}), "n=3");
  EXPECT_EQ(FigureFields({{"a", 0.25},
                          {"b", std::optional<double>()},
                          {"c", -7},
                          {"d", std::optional<int>()},
                          {"e", std::optional<double>(1.0 / 3)}}),
            "a=0.25 b=- c=-7 d=- e=0.333333333333333");
}

TEST(FiguresTest, NoTradeHasNoFigures) {
  WorkTable stats = NewStats();
  stats.set(1, 0, "買い日");
  stats.set(8, 2, "0");  // the statistics block beside the list is not read
  const BacktestFigures f = ComputeFigures(stats);
  EXPECT_EQ(f.trades, 0);
  EXPECT_TRUE(f.curve.empty());
  EXPECT_FALSE(f.winRate.has_value());
  EXPECT_EQ(FiguresLine(f),
            "figures trades=0 wins=- equity=- maxdd=- pf=- streak=- exposure=- hold=-");
  EXPECT_EQ(FigureCells(f), (std::vector<std::string>(5, "-")));
  EXPECT_EQ(FigureHeadings().size(), FigureCells(f).size());
}

TEST(FiguresTest, FiguresWithoutAValue) {
  // All wins: no loss to divide by, no losing run, no drawdown.
  {
    WorkTable stats = NewStats();
    WriteList(stats, {{"2020/1/6", "2020/1/10", "4", "100", "110", "1.1"},
                      {"2020/01/14", "2020/01/20", "6", "110", "121", "1.1"}});
    const BacktestFigures f = ComputeFigures(stats);
    EXPECT_EQ(FiguresLine(f),
              "figures trades=2 wins=2 equity=1.21 maxdd=0 pf=- streak=0 "
              "exposure=0.714285714285714 hold=1.21");
  }
  // Only even trades: neither wins nor losses.
  {
    WorkTable stats = NewStats();
    WriteList(stats, {{"2020/1/6", "2020/1/10", "4", "100", "100", "1"},
                      {"2020/1/14", "2020/1/20", "6", "100", "100", "1"}});
    EXPECT_EQ(
        FiguresLine(ComputeFigures(stats)),
        "figures trades=2 wins=0 equity=1 maxdd=0 pf=- streak=0 exposure=0.714285714285714 hold=1");
  }
  // Bought and sold on the same day, written in two forms: no span.
  {
    WorkTable stats = NewStats();
    WriteList(stats, {{"2021/03/05", "2021/3/5", "0", "500", "450", "0.9"}});
    const BacktestFigures f = ComputeFigures(stats);
    EXPECT_EQ(FiguresLine(f),
              "figures trades=1 wins=0 equity=0.9 maxdd=0.1 pf=0 streak=1 exposure=- hold=0.9");
    EXPECT_EQ(FigureCells(f), (std::vector<std::string>{"10.0%", "0.00", "1", "-", "0.900"}));
    // One day later there is a span, all of it held.
    stats.set(2, 1, "2021/3/6");
    stats.set(3, 1, "1");
    EXPECT_EQ(FigureText(ComputeFigures(stats).exposure), "1");
  }
  // A short sold at a zero price: its ratio is 0 and there is no buy and hold.
  {
    WorkTable stats = NewStats();
    WriteList(stats, {{"2021/3/1", "2021/3/11", "10", "0", "120", "0"}});
    const BacktestFigures f = ComputeFigures(stats);
    EXPECT_EQ(FiguresLine(f),
              "figures trades=1 wins=0 equity=0 maxdd=1 pf=0 streak=1 exposure=1 hold=-");
  }
}

TEST(FiguresTest, RatioReadsAsTheEngineReadsIt) {
  // A one-trade list's equity is its ratio: it must be the engine's decimal
  // read of the text, to the last bit, whatever form the text takes.
  std::vector<std::string> texts{"1.052", "0.93", "1", "1.", ".95", "+1.05", "-0.5", "0.000",
                                 "99999", " 1.05", "1.05 ", "1e0", "1.2E-1",
                                 "0.1000000000000000000000001", "123456789012345678901",
                                 // Long texts whose nearest extended value rounds to another double
                                 // than a direct division or a reciprocal in double would give.
                                 "9688213181.446543", "970552477.15126123", "94914669.7226184532",
                                 "2408.840598", "6441697.302226", ".1618922"};
  std::mt19937 rng(5);
  for (int i = 0; i < 3000; ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(rng() % 6), (rng() % 2000000) / 1000.0);
    texts.push_back(std::string(buf).substr(0, 1 + rng() % 7));
  }
  WorkTable stats = NewStats();
  WriteList(stats, {{"2020/1/6", "2020/1/10", "4", "100", "110", "1"}});
  for (const std::string& t : texts) {
    if (t.empty() || t == ".") continue;
    stats.set(6, 1, t);
    const BacktestFigures f = ComputeFigures(stats);
    ASSERT_TRUE(f.equity.has_value()) << t;
    ASSERT_EQ(*f.equity, static_cast<double>(StrToFloat(t))) << "'" << t << "'";
  }
}

TEST(FiguresTest, BadCellStopsLikeAnyHandler) {
  WorkTable stats = NewStats();
  WriteList(stats, {{"2020/1/6", "2020/1/10", "4", "100", "110", "1.1"},
                    {"2020/1/14", "2020/1/20", "6", "110", "121", "x.1"}});
  try {
    ComputeFigures(stats);
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_NE(std::string(e.what()).find("x.1"), std::string::npos);
  }
  for (const char* bad : {"1.2.3", "1-2", ".", "+"}) {
    stats.set(6, 1, bad);
    EXPECT_THROW(ComputeFigures(stats), ConversionError) << bad;
  }
  stats.set(6, 1, "1.1");
  stats.set(1, 2, "2020/13/6");  // the oldest entry date opens the span
  EXPECT_THROW(ComputeFigures(stats), ConversionError);
}

// ---- The picture's data: buy and hold, ranges, holding days ---------------

TEST(FiguresTest, BuyAndHoldLineAndStartDay) {
  WorkTable stats = NewStats();
  WriteList(stats, {
                       {"2024/1/5", "2024/01/15", "10", "200", "220", "1.1"},
                       {"2024/02/01", "2024/2/11", "10", "230", "207", "0.9"},
                       {"2024/3/1", "2024/03/04", "3", "210", "250", "1.190"},
                   });
  // A close that is no number leaves its point out, not the whole line.
  stats.set(5, 2, "x");
  BacktestFigures f = ComputeFigures(stats);
  ASSERT_EQ(f.curve.size(), 3u);
  ASSERT_TRUE(f.curve[0].hold.has_value());
  EXPECT_DOUBLE_EQ(*f.curve[0].hold, 220.0 / 200);
  EXPECT_FALSE(f.curve[1].hold.has_value());
  EXPECT_DOUBLE_EQ(*f.curve[2].hold, 250.0 / 200);
  EXPECT_EQ(f.startDay, StrToDate("2024/01/05"));

  // The oldest entry at a close of 0 has no line at all.
  stats.set(4, 3, "0");
  f = ComputeFigures(stats);
  EXPECT_TRUE(std::none_of(f.curve.begin(), f.curve.end(),
                           [](const EquityPoint& p) { return p.hold.has_value(); }));
}

TEST(FiguresTest, DistributionsReadTheRangesAndTheHistogram) {
  WorkTable stats = NewStats();
  const char* captions[] = {"-0.95",     "0.95-1.00", "1.00-1.05", "1.05-1.10",
                            "1.10-1.20", "1.20-1.50", "1.50-"};
  for (int i = 0; i < 7; ++i) stats.set(8 + i, 0, captions[i]);
  stats.set(8, 2, "3");
  stats.set(10, 2, "12");  // blanks count 0
  // Days 1, 4 and 40 in rows 7, 10, 46; a row without a number is skipped.
  stats.set(7, 7, "1");
  stats.set(8, 7, "5");
  stats.set(7, 10, "4");
  stats.set(8, 10, "2");
  stats.set(7, 46, "40");
  stats.set(8, 46, "1");
  stats.set(7, 20, "14");
  stats.set(8, 20, "回数");
  const Distributions d = ReadDistributions(stats);
  ASSERT_EQ(d.ranges.size(), 7u);
  EXPECT_EQ(d.ranges[1].caption, "0.95-1.00");
  EXPECT_EQ(d.ranges[0].count, 3);
  EXPECT_EQ(d.ranges[1].count, 0);
  EXPECT_EQ(d.ranges[2].count, 12);
  EXPECT_EQ(d.heldDays, (std::vector<std::pair<int, double>>{{1, 5}, {4, 2}, {40, 1}}));

  // Ten bars fit days up to 10 one a day; 40 days take bars of 5.
  const std::vector<DayBin> daily = BinHeldDays({{1, 5}, {4, 2}}, 10);
  ASSERT_EQ(daily.size(), 4u);
  EXPECT_EQ(daily[3].from, 4);
  EXPECT_EQ(daily[3].to, 4);
  EXPECT_EQ(daily[3].count, 2);
  const std::vector<DayBin> wide = BinHeldDays(d.heldDays, 10);
  ASSERT_EQ(wide.size(), 8u);
  EXPECT_EQ(wide[0].from, 1);
  EXPECT_EQ(wide[0].to, 5);
  EXPECT_EQ(wide[0].count, 7);
  EXPECT_EQ(wide[7].from, 36);
  EXPECT_EQ(wide[7].count, 1);
  // The longest holding time the block holds fits ten bars of 200 days.
  const std::vector<DayBin> longest = BinHeldDays({{1993, 1}}, 10);
  ASSERT_EQ(longest.size(), 10u);
  EXPECT_EQ(longest.back().from, 1801);
  EXPECT_EQ(longest.back().count, 1);
  EXPECT_TRUE(BinHeldDays({}, 10).empty());
}

// ---- Through the real chain ---------------------------------------------

class FiguresChainTest : public SignalsTest {
 protected:
  // A random history of v rows over rule column 7 (S1), oldest at the bottom.
  void History(std::mt19937& rng, int v) {
    ws.SeriesTable.set(2, 4862, IntToStr(v));
    int day = 0;
    double price = 1500;
    int state = 0;
    for (int r = v + 5; r >= 1; --r) {
      day += (rng() % 5 == 0) ? 3 : 1;
      price *= 1 + (static_cast<int>(rng() % 201) - 100) / 2500.0;
      if (rng() % 4 == 0) state = static_cast<int>(rng() % 5) - 2;
      ws.CalcTable.set(0, r, Day(day));
      ws.CalcTable.setInt(1, r, std::llround(price));
      ws.CalcTable.setInt(7, r, state * 7);
    }
  }
};

TEST_F(FiguresChainTest, FiguresOfARealBacktestInBothDirections) {
  std::mt19937 rng(4242);
  History(rng, 1500);
  for (const char* direction : {"1", "0"}) {
    ws.SeriesTable.set(7, 4863, direction);
    click("Button37");
    ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
    const int closed = StrToInt(ws.SeriesTable.cell(6, 4864));
    ASSERT_GT(closed, 50);
    ASSERT_LE(closed, 1000);
    const BacktestFigures f = ComputeFigures(ws.StatsTable);
    EXPECT_EQ(f.trades, closed);
    ExpectMatchesReference(ws.StatsTable, std::string("direction ") + direction);
    // The figures' wins agree with the engine's own count above 1 in its ranges.
    int above = 0;
    for (int c = 10; c <= 14; ++c) above += StrToInt(ws.StatsTable.cell(c, 2));
    EXPECT_EQ(f.wins, above);
  }
  // A minimum ratio keeps fewer rows; the figures cover just those.
  ws.typeText("MaskEdit1", "1.02");
  click("Button37");
  ASSERT_TRUE(platform.errors.empty());
  const BacktestFigures kept = ComputeFigures(ws.StatsTable);
  EXPECT_GT(kept.trades, 0);
  EXPECT_LT(kept.trades, StrToInt(ws.SeriesTable.cell(6, 4864)));
  EXPECT_EQ(kept.wins, kept.trades);
  EXPECT_FALSE(kept.profitFactor.has_value());
  ExpectMatchesReference(ws.StatsTable, "minimum 1.02");
}

// ---- Trade markers ---------------------------------------------------------

WorkTable NewSeries() { return WorkTable("SeriesTable", 42, 4865); }

TEST(TradeMarkersTest, PointsAtTheTradeDaysInsideTheWindowOnly) {
  // Series rows 1..40, newest first: row r is 41 - r days after 2024/02/29
  // (2024/03/01 .. 2024/04/09), padded; close 1000 + r.
  WorkTable series = NewSeries();
  const int base = DayOf("2024/02/29");
  for (int r = 1; r <= 40; ++r) {
    series.set(0, r, DateText(base + 41 - r, true));
    series.set(1, r, std::to_string(1000 + r));
  }
  series.set(1, 22, "0");  // no close on these days
  series.set(1, 18, "");
  auto rowOf = [&](int r) { return DateText(base + 41 - r, false); };  // same day, unpadded
  WorkTable stats = NewStats();
  WriteList(stats,
            {
                {rowOf(38), rowOf(35), "3", "1", "1",
                 "1.01"},  // entry before the window, exit on its edge
                {rowOf(30), rowOf(25), "5", "1", "1", "1.01"},    // inside
                {rowOf(22), rowOf(18), "4", "1", "1", "0.99"},    // both days without a close
                {rowOf(15), "2024/2/10", "5", "1", "1", "0.99"},  // exit on a day the series lacks
                {rowOf(8), rowOf(5), "3", "1", "1", "1.02"},      // exit on the other edge
                {rowOf(4), rowOf(3), "1", "1", "1", "1.02"},      // after the window
            });
  std::vector<MarkerPoint> buys{{1, 1, "stale"}}, sells{{1, 1, "stale"}};
  TradeMarkers(stats, series, 5, 35, buys, sells);
  ExpectSame(buys,
             {{30, 1030, series.cell(0, 30)},
              {15, 1015, series.cell(0, 15)},
              {8, 1008, series.cell(0, 8)}},
             "buys");
  ExpectSame(sells,
             {{35, 1035, series.cell(0, 35)},
              {25, 1025, series.cell(0, 25)},
              {5, 1005, series.cell(0, 5)}},
             "sells");
  EXPECT_EQ(buys[0].label, "2024/03/11");  // the series' own text, padded

  // The window given the other way round is the same window.
  std::vector<MarkerPoint> buys2, sells2;
  TradeMarkers(stats, series, 35, 5, buys2, sells2);
  ExpectSame(buys2, buys, "reversed buys");
  ExpectSame(sells2, sells, "reversed sells");

  // A window with none of the days, and a list with no trades.
  TradeMarkers(stats, series, 39, 40, buys, sells);
  EXPECT_TRUE(buys.empty());
  EXPECT_TRUE(sells.empty());
  TradeMarkers(NewStats(), series, 1, 40, buys, sells);
  EXPECT_TRUE(buys.empty());
  EXPECT_TRUE(sells.empty());

  // A stray date centuries away from the rest still finds its row.
  series.set(0, 39, "1850/06/01");
  WorkTable odd = NewStats();
  WriteList(odd, {{"1850/6/1", rowOf(30), "1", "1", "1", "1"}});
  TradeMarkers(odd, series, 1, 40, buys, sells);
  ExpectSame(buys, {{39, 1039, "1850/06/01"}}, "stray buys");
  ExpectSame(sells, {{30, 1030, series.cell(0, 30)}}, "stray sells");
}

TEST(TradeMarkersTest, MatchesEveryRowAgainstEveryTrade) {
  std::mt19937 rng(31337);
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE(round);
    // Weekday series, newest in row 1, each row written in either form.
    WorkTable series = NewSeries();
    const int rows = 300 + static_cast<int>(rng() % 4500);
    std::vector<int> dayOfRow(static_cast<std::size_t>(rows) + 1);
    int day = DayOf("2025/12/30");
    for (int r = 1; r <= rows; ++r) {
      while ((day + 3) % 7 >= 5) --day;  // 1970/01/01 was a Thursday: skip weekends
      dayOfRow[static_cast<std::size_t>(r)] = day;
      series.set(0, r, DateText(day, rng() % 2 == 0));
      const int pick = static_cast<int>(rng() % 40);
      series.set(1, r,
                 pick == 0   ? ""
                 : pick == 1 ? "0"
                 : pick == 2 ? " "
                             : std::to_string(200 + rng() % 5000));
      --day;
    }
    // Trades on series days (and now and then on a weekend), oldest first.
    std::vector<ListedTrade> list;
    int r = rows - static_cast<int>(rng() % 20);
    while (r > 2 && list.size() < 1000) {
      const int exit = std::max(1, r - 1 - static_cast<int>(rng() % 30));
      const std::string entryText = DateText(dayOfRow[static_cast<std::size_t>(r)], rng() % 2 == 0);
      std::string exitText = DateText(dayOfRow[static_cast<std::size_t>(exit)], rng() % 2 == 0);
      if (rng() % 15 == 0)
        exitText = DateText(dayOfRow[static_cast<std::size_t>(exit)] + 1 + rng() % 2, true);
      list.push_back({entryText, exitText, "1", "1", "1", "1.01"});
      r = exit - static_cast<int>(rng() % 8);
    }
    WorkTable stats = NewStats();
    WriteList(stats, list);
    const int a = 1 + static_cast<int>(rng() % rows), b = 1 + static_cast<int>(rng() % rows);
    std::vector<MarkerPoint> buys, sells, wantBuys, wantSells;
    TradeMarkers(stats, series, a, b, buys, sells);
    BruteMarkers(stats, series, a, b, wantBuys, wantSells);
    ExpectSame(buys, wantBuys, "buys");
    ExpectSame(sells, wantSells, "sells");
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace tavrine::signals_test
