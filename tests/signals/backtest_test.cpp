#include <iomanip>
#include <map>
#include <random>
#include <sstream>

#include "signals_fixture.h"

namespace tavrine::signals_test {
namespace {

class BacktestTest : public SignalsTest {
 protected:
  // One day of the series: date, close and the signal of rule column col.
  void SetDay(int r, int day, int close, int signal, int col = 7) {
    ws.CalcTable.set(0, r, Day(day));
    ws.CalcTable.setInt(1, r, close);
    ws.CalcTable.setInt(col, r, signal);
  }
  // Signal column col over rows, "0" elsewhere in 1..maxRow.
  void ZeroColumn(int col, int maxRow) {
    for (int r = 1; r <= maxRow; ++r) ws.CalcTable.set(col, r, "0");
  }
  std::vector<std::string> ListRow(int r) {
    std::vector<std::string> v;
    for (int c = 1; c <= 6; ++c) v.push_back(ws.StatsTable.cell(c, r));
    return v;
  }
  // Every range's average and count (rows 1 and 2 of columns 8 .. 14).
  void ExpectRanges(const std::string& text) {
    for (int c = 8; c <= 14; ++c) {
      EXPECT_EQ(stats().cell(c, 1), text) << c;
      EXPECT_EQ(stats().cell(c, 2), text) << c;
    }
  }
  using V = std::vector<std::string>;
  const WorkTable& stats() { return ws.StatsTable; }
};

// The three-trade example: ratios 1.052, 0.93, 1.25; oldest entry 321 days
// before the newest exit.
TEST_F(BacktestTest, ThreeTradeExample) {
  ws.SeriesTable.set(2, 4862, "40");  // S1 walks rows 33 .. 4
  ZeroColumn(7, 40);
  SetDay(30, 0, 19, 2);
  SetDay(29, 3, 19, 5);  // repeats the long state: nothing happens
  SetDay(28, 10, 20, -1);
  SetDay(20, 100, 100, 3);
  SetDay(18, 150, 93, -4);
  SetDay(10, 200, 100, 1);
  SetDay(8, 321, 125, -1);
  ws.StatsTable.set(9, 1, "stale");
  ws.StatsTable.set(3, 1700, "stale");
  click("Button37");
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];

  EXPECT_EQ(ListRow(1), (V{Day(200), Day(321), "121", "100", "125", "1.25"}));
  EXPECT_EQ(ListRow(2), (V{Day(100), Day(150), "50", "100", "93", "0.93"}));
  EXPECT_EQ(ListRow(3), (V{Day(0), Day(10), "10", "19", "20", "1.052"}));
  EXPECT_EQ(ListRow(4), (V{"", "", "", "", "", ""}));
  EXPECT_EQ(stats().cell(3, 1700), "");
  for (int r = 1001; r <= 2000; ++r)
    for (int c = 1; c <= 6; ++c) ASSERT_EQ(stats().cell(c, r), "") << c << "," << r;
  ExpectCells(stats(), {{0, 1, "1"}, {0, 2000, "2000"}, {1, 0, "買い日"}, {6, 0, "売値/買値"}});

  // Ranges 1, 4 and 7 count one each (1.052 lies above 1.051).
  const V counts{"1", "0", "0", "1", "0", "0", "1"};
  const V averages{"0.93", "0", "0", "1.052", "0", "0", "1.25"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(stats().cell(8 + i, 2), counts[i]) << i;
    EXPECT_EQ(stats().cell(8 + i, 1), averages[i]) << i;
  }
  ExpectCells(stats(), {{8, 3, "1.077"},
                        {11, 3, "3"},
                        {11, 4, "3.41"},
                        {8, 4, "1.28"},
                        {13, 4, "60.3"},  // (121 + 50 + 10) / 3
                        {13, 3, "S1"},
                        {7, 3, "全利率平均"},
                        {14, 0, "1.20-"}});
  // Histogram rows d + 6; no holding time of 1 .. 3 days, so no most frequent one.
  ExpectCells(stats(), {{7, 16, "10"},
                        {8, 16, "1"},
                        {7, 127, "121"},
                        {8, 56, "1"},
                        {7, 6, "所要日数"},
                        {12, 5, "最頻日数"},
                        {13, 5, ""}});
  // Counters: three entries, three exits, flat.
  ExpectCells(ws.SeriesTable, {{6, 4863, "3"}, {6, 4864, "3"}, {6, 4862, "0"}});
  EXPECT_EQ(platform.waitDepth, 0);
  EXPECT_FALSE(ws.StatsTable.suspended());
  EXPECT_FALSE(ws.SeriesTable.suspended());
}

TEST_F(BacktestTest, MostFrequentHoldingTimeOnlyForS1AndUpToNDays) {
  ws.SeriesTable.set(2, 4862, "40");
  ZeroColumn(7, 40);
  ZeroColumn(8, 40);
  // Holding times 2, 3, 3, 30, 30, 30 (old to new): n = 6, so 30 days is not considered.
  const int holds[] = {2, 3, 3, 30, 30, 30};
  int row = 33, day = 0;
  for (int h : holds) {
    SetDay(row--, day, 100, 1);
    SetDay(row--, day + h, 110, -1);
    day += h + 1;
  }
  click("Button37");
  EXPECT_EQ(stats().cell(13, 5), "3");
  EXPECT_EQ(stats().cell(8, 9), "2");
  EXPECT_EQ(stats().cell(8, 36), "3");
  EXPECT_EQ(stats().cell(13, 4), "16.3");  // 98 / 6
  // The same history under another label shows no most frequent time.
  ws.StatsTable.set(13, 3, "S1x");
  ws.backtest.DayStats();
  EXPECT_EQ(stats().cell(12, 5), "");
  EXPECT_EQ(stats().cell(13, 5), "");
}

// + + - - + from old to new.
TEST_F(BacktestTest, AlternatingSignsEntryBuyAndEntrySell) {
  ws.SeriesTable.set(2, 4862, "20");  // rows 13 .. 4
  ZeroColumn(7, 20);
  SetDay(9, 1, 100, 2);
  SetDay(8, 2, 101, 3);
  SetDay(7, 3, 102, -1);
  SetDay(6, 4, 103, -2);
  SetDay(5, 5, 104, 1);
  click("Button37");
  EXPECT_EQ(ListRow(1), (V{Day(1), Day(3), "2", "100", "102", "1.02"}));
  EXPECT_EQ(ListRow(2), (V{"", "", "", "", "", ""}));
  EXPECT_EQ(ws.SeriesTable.cell(6, 4863), "2");  // second entry stays open
  EXPECT_EQ(ws.SeriesTable.cell(6, 4864), "1");
  EXPECT_EQ(ws.SeriesTable.cell(6, 4862), "1");
  EXPECT_EQ(stats().cell(1, 1998), "");  // its staging row is cleared

  click("Button47");  // entry-sell
  EXPECT_EQ(ws.form.text("Button47"), "入売");
  EXPECT_EQ(ws.SeriesTable.cell(7, 4863), "0");
  EXPECT_EQ(stats().cell(1, 0), "売り日");
  EXPECT_EQ(stats().cell(4, 0), "売り値");
  // Short from the first - day (102) to the following + day (104): 102 / 104.
  EXPECT_EQ(ListRow(1), (V{Day(3), Day(5), "2", "102", "104", "0.980"}));
  EXPECT_EQ(ListRow(2), (V{"", "", "", "", "", ""}));
  EXPECT_EQ(stats().cell(13, 3), "S1");
  EXPECT_EQ(stats().cell(9, 2), "1");  // 0.980 lies in 0.951 .. 1.000
  EXPECT_EQ(stats().cell(8, 2), "0");
  click("Button47");
  EXPECT_EQ(ws.form.text("Button47"), "入買");
  EXPECT_EQ(ws.SeriesTable.cell(7, 4863), "1");
}

TEST_F(BacktestTest, ZeroClosesAShortButNotALong) {
  ws.SeriesTable.set(2, 4862, "404");  // G rules walk rows 105 .. 101
  ZeroColumn(22, 404);
  SetDay(105, 1, 50, 0, 22);
  SetDay(104, 2, 100, -2, 22);
  SetDay(103, 3, 90, -2, 22);
  SetDay(102, 4, 80, 0, 22);
  SetDay(101, 5, 70, 2, 22);
  ws.form.setText("Button79", "短");
  ws.SeriesTable.set(7, 4863, "0");
  click("Button75");  // G5
  EXPECT_EQ(stats().cell(13, 3), "G5短");
  EXPECT_EQ(ws.SeriesTable.cell(7, 4862), "22");
  EXPECT_EQ(ListRow(1), (V{Day(2), Day(4), "2", "100", "80", "1.25"}));
  EXPECT_EQ(ListRow(2)[0], "");
  EXPECT_EQ(ws.SeriesTable.cell(6, 4864), "1");

  // Entry-buy: the 2 on the newest row opens a long that stays open.
  ws.SeriesTable.set(7, 4863, "1");
  click("Button75");
  EXPECT_EQ(ListRow(1)[0], "");
  EXPECT_EQ(ws.SeriesTable.cell(6, 4863), "1");
  EXPECT_EQ(ws.SeriesTable.cell(6, 4864), "0");
}

TEST_F(BacktestTest, RatioRangeBorders) {
  const V ratios{"1", "0.950", "1.200", "1.201", "0.951", "1.05", "1.051", "1.001", "12.5"};
  const int expected[] = {2, 1, 6, 7, 2, 3, 4, 3, 7};
  for (std::size_t i = 0; i < ratios.size(); ++i) {
    ws.backtest.ClearStats();
    ws.SeriesTable.set(6, 4864, "1");
    ws.StatsTable.set(6, 1, ratios[i]);
    ws.backtest.RatioStats();
    for (int range = 1; range <= 7; ++range)
      EXPECT_EQ(stats().cell(7 + range, 2), range == expected[i] ? "1" : "0")
          << ratios[i] << " range " << range;
  }
}

TEST_F(BacktestTest, MinimumRatioKeepsTradesNewestFirstWithoutStatistics) {
  ws.SeriesTable.set(2, 4862, "40");
  ZeroColumn(7, 40);
  // Ratios old to new: 1.1, 0.9, 1.05, 1.2, 0.99.
  const int exits[] = {110, 90, 105, 120, 99};
  int row = 33;
  for (int i = 0; i < 5; ++i) {
    SetDay(row--, 10 * i, 100, 1);
    SetDay(row--, 10 * i + 3 + i, exits[i], -1);
  }
  ws.typeText("MaskEdit1", "1.05");
  EXPECT_EQ(ws.form.get("MaskEdit1").editMask, "9.99");
  click("Button37");
  ASSERT_TRUE(platform.errors.empty());
  EXPECT_EQ(ListRow(1), (V{Day(30), Day(36), "6", "100", "120", "1.2"}));
  EXPECT_EQ(ListRow(2), (V{Day(20), Day(25), "5", "100", "105", "1.05"}));
  EXPECT_EQ(ListRow(3), (V{Day(0), Day(3), "3", "100", "110", "1.1"}));
  for (int r = 4; r <= 12; ++r) EXPECT_EQ(ListRow(r), (V{"", "", "", "", "", ""})) << r;
  // The statistics block has its captions and the condition only.
  ExpectRanges("");
  ExpectCells(
      stats(),
      {{8, 3, ""}, {11, 3, ""}, {13, 4, ""}, {7, 6, ""}, {7, 1, "範囲平均"}, {13, 3, "S1"}});
  EXPECT_EQ(ws.form.text("MaskEdit1"), "1.05");

  // A zero that is not written "0.00" is reset, and the statistics run.
  ws.typeText("MaskEdit1", "0.0");
  click("Button37");
  EXPECT_EQ(ws.form.text("MaskEdit1"), "0.00");
  EXPECT_EQ(ListRow(5)[5], "1.1");
  EXPECT_EQ(stats().cell(11, 3), "5");
  EXPECT_EQ(stats().cell(8, 3), "1.048");  // 5.24 / 5
}

TEST_F(BacktestTest, BadMinimumStopsTheChainAndTheNextPressWorks) {
  ws.SeriesTable.set(2, 4862, "20");
  ZeroColumn(7, 20);
  SetDay(9, 1, 100, 2);
  SetDay(7, 3, 102, -1);
  ws.typeText("MaskEdit1", "abc");
  click("Button38");  // S2: no signals in its column, but the filter fails first
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_NE(platform.errors[0].find("abc"), std::string::npos);
  EXPECT_EQ(platform.waitDepth, 0);
  EXPECT_FALSE(ws.SeriesTable.suspended());
  EXPECT_FALSE(ws.StatsTable.suspended());
  ws.typeText("MaskEdit1", "0.00");
  click("Button37");
  EXPECT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(ListRow(1), (V{Day(1), Day(3), "2", "100", "102", "1.02"}));
  EXPECT_EQ(stats().cell(11, 3), "1");
}

TEST_F(BacktestTest, NoClosedTrade) {
  ws.SeriesTable.set(2, 4862, "20");
  ZeroColumn(7, 20);
  SetDay(9, 1, 100, 2);  // opens, never closes
  click("Button37");
  ExpectRanges("0");
  ExpectCells(stats(), {{8, 3, "0"}, {8, 4, "0"}, {11, 3, ""}, {11, 4, ""}, {13, 4, ""}});
  EXPECT_EQ(ListRow(1)[0], "");
  EXPECT_EQ(stats().cell(1, 1999), "");
}

TEST_F(BacktestTest, WindowTooShortWalksNothing) {
  ws.SeriesTable.set(2, 4862, "10");  // S1: start 3 < end 4
  ZeroColumn(7, 10);
  SetDay(4, 1, 100, 2);
  click("Button37");
  EXPECT_EQ(ws.SeriesTable.cell(6, 4863), "0");
  EXPECT_EQ(stats().cell(0, 5), "5");
}

TEST_F(BacktestTest, S1DefaultRun) {
  ws.SeriesTable.set(2, 4862, "20");
  ws.SeriesTable.set(7, 4862, "22");
  ws.StatsTable.set(13, 3, "G5長");
  ws.form.setText("Button81", "S/O");
  ws.SeriesTable.set(12, 4862, "1");
  ZeroColumn(7, 20);
  SetDay(9, 1, 100, 2);
  SetDay(7, 2, 102, -1);  // held one day: the only time up to n = 1 days
  click("Button51");
  EXPECT_EQ(ws.SeriesTable.cell(7, 4862), "7");
  EXPECT_EQ(stats().cell(13, 3), "S1");
  EXPECT_EQ(ws.form.text("Button81"), "S");
  EXPECT_EQ(ws.SeriesTable.cell(12, 4862), "1");
  EXPECT_EQ(ListRow(1)[5], "1.02");
  EXPECT_EQ(stats().cell(12, 5), "最頻日数");
  EXPECT_EQ(stats().cell(13, 5), "1");
}

// Every other day opens or closes: far more than 1000 closed trades.
TEST_F(BacktestTest, MoreThanAThousandTradesKeepsTheNewestThousand) {
  const int v = 4860;
  ws.SeriesTable.set(2, 4862, IntToStr(v));
  for (int r = 1; r <= v; ++r) SetDay(r, 6000 - r, 100 + r % 37, r % 2 == 0 ? 1 : -1);
  click("Button37");
  ASSERT_TRUE(platform.errors.empty());
  // Walk rows 4853 .. 4: the first + is row 4852; trades close on odd rows.
  int expectedTrades = 0;
  for (int r = 4852; r - 1 >= 4; r -= 2) ++expectedTrades;
  EXPECT_EQ(ws.SeriesTable.cell(6, 4864), IntToStr(expectedTrades));
  ASSERT_GT(expectedTrades, 1000);
  EXPECT_EQ(stats().cell(1, 0), "買い日");
  EXPECT_EQ(stats().cell(0, 0), "No.");
  // Row i holds the trade entered on row 4 + 2i (the newest first).
  for (int i = 1; i <= 1000; ++i) {
    const int entry = 4 + 2 * i;
    ASSERT_EQ(stats().cell(1, i), Day(6000 - entry)) << i;
    ASSERT_EQ(stats().cell(2, i), Day(6000 - entry + 1)) << i;
    ASSERT_EQ(stats().cell(3, i), "1") << i;
  }
  for (int r = 1001; r <= 2000; ++r) ASSERT_EQ(stats().cell(1, r), "") << r;
  EXPECT_EQ(stats().cell(7, 5), Backtest::kTruncatedNote);
  EXPECT_EQ(stats().cell(11, 3), IntToStr(expectedTrades));
  int listed = 0;
  for (int c = 8; c <= 14; ++c) listed += StrToInt(stats().cell(c, 2));
  EXPECT_EQ(listed, 1000);
  EXPECT_EQ(stats().cell(8, 7), "1000");  // all held one day
  EXPECT_EQ(stats().cell(13, 5), "1");
}

TEST_F(BacktestTest, HoldingTimeBeyondTheHistogram) {
  ws.SeriesTable.set(2, 4862, "40");
  ZeroColumn(7, 40);
  SetDay(30, 0, 100, 1);
  SetDay(29, 2500, 100, -1);
  SetDay(28, 2600, 100, 1);
  SetDay(27, 2610, 100, -1);
  click("Button37");
  EXPECT_EQ(stats().cell(3, 2), "2500");
  EXPECT_EQ(stats().cell(8, 16), "1");
  EXPECT_EQ(stats().cell(7, 2506), "");
  EXPECT_EQ(stats().cell(8, 2506), "");
  for (int r = 17; r <= 2000; ++r) ASSERT_EQ(stats().cell(8, r), "") << r;
  EXPECT_EQ(stats().cell(13, 4), "1255");  // (2500 + 10) / 2
  EXPECT_EQ(stats().cell(11, 4), "0.27");  // 2 x 365 / 2610
}

// ---- An independent reference of the walk and the statistics ----

std::string General(long double v) {
  std::ostringstream os;
  os << std::setprecision(15) << v;
  std::string s = os.str();
  return s;
}

// Ratio range from thousandths of the ratio text.
int RangeByThousandths(const std::string& text) {
  const long double x = std::stold(text);
  const long long m = std::llround(x * 1000);
  if (m <= 950) return 0;
  if (m <= 1000) return 1;
  if (m <= 1050) return 2;
  if (m <= 1100) return 3;
  if (m <= 1150) return 4;
  if (m <= 1200) return 5;
  return 6;
}

std::map<std::pair<int, int>, std::string> ReferenceTable(const WorkTable& calc, int rule, int v,
                                                          bool buy, const std::string& condition) {
  std::map<std::pair<int, int>, std::string> out;
  auto put = [&](int c, int r, const std::string& s) { out[{c, r}] = s; };
  int start = v - 299, end = 101;
  if (rule == 7) start = v - 7, end = 4;
  if (rule == 8) start = v - 37, end = 24;
  if (rule == 9) start = v - 111, end = 74;
  struct T {
    int in, out;
  };
  std::vector<T> trades;
  int openRow = -1;
  for (int r = start; r >= end; --r) {
    const int s = std::stoi(calc.cell(rule, r));
    if (openRow < 0) {
      if ((buy && s > 0) || (!buy && s < 0)) openRow = r;
    } else if ((buy && s < 0) || (!buy && s >= 0)) {
      trades.push_back({openRow, r});
      openRow = -1;
    }
  }
  for (int r = 1; r <= 2000; ++r) put(0, r, std::to_string(r));
  const int n = static_cast<int>(trades.size());
  std::vector<std::string> ratios;
  std::vector<int> days;
  for (int i = 0; i < n; ++i) {
    const T& t = trades[n - 1 - i];  // newest first
    const int row = i + 1;
    const long double pin = std::stoi(calc.cell(1, t.in)), pout = std::stoi(calc.cell(1, t.out));
    const std::string ratio = General(buy ? pout / pin : pin / pout).substr(0, 5);
    const int d = StrToDate(calc.cell(0, t.out)) - StrToDate(calc.cell(0, t.in));
    put(1, row, calc.cell(0, t.in));
    put(2, row, calc.cell(0, t.out));
    put(3, row, std::to_string(d));
    put(4, row, calc.cell(1, t.in));
    put(5, row, calc.cell(1, t.out));
    put(6, row, ratio);
    ratios.push_back(ratio);
    days.push_back(d);
  }
  // Ranges.
  long double sum[7] = {}, all = 0;
  int count[7] = {};
  for (const auto& r : ratios) {
    const int k = RangeByThousandths(r);
    sum[k] += std::stold(r);
    all += std::stold(r);
    ++count[k];
  }
  for (int k = 0; k < 7; ++k) {
    put(8 + k, 2, std::to_string(count[k]));
    put(8 + k, 1, count[k] ? General(sum[k] / count[k]).substr(0, 5) : "0");
  }
  put(8, 3, n ? General(all / n).substr(0, 5) : "0");
  if (n) put(11, 3, std::to_string(n));
  put(13, 3, condition);
  // Histogram and the most frequent time.
  std::map<int, int> hist;
  for (int d : days) ++hist[d];
  put(7, 6, "所要日数");
  put(8, 6, "回数");
  for (auto [d, c] : hist) {
    put(7, d + 6, std::to_string(d));
    put(8, d + 6, std::to_string(c));
  }
  if (condition == "S1") {
    put(12, 5, "最頻日数");
    int best = 0, bestDay = 0;
    for (auto [d, c] : hist)
      if (d <= n && c > best) best = c, bestDay = d;
    if (best) put(13, 5, std::to_string(bestDay));
  }
  put(8, 4, "0");
  if (n) {
    long long total = 0;
    for (int d : days) total += d;
    put(13, 4, General(static_cast<long double>(total) / n).substr(0, 4));
    const int span = StrToDate(out[{2, 1}]) - StrToDate(out[{1, n}]);
    const std::string perYear = General(n * 365.0L / span).substr(0, 4);
    put(11, 4, perYear);
    const long double a = std::stold(out[{8, 3}]), f = std::stold(perYear);
    put(8, 4, General(std::pow(a, f)).substr(0, 4));
  }
  // Captions.
  const char* ranges[] = {"-0.95",     "0.95-1.00", "1.00-1.05", "1.05-1.10",
                          "1.10-1.15", "1.15-1.20", "1.20-"};
  for (int k = 0; k < 7; ++k) put(8 + k, 0, ranges[k]);
  put(7, 1, "範囲平均");
  put(7, 2, "頻度");
  put(7, 3, "全利率平均");
  put(10, 3, "全頻度");
  put(12, 3, "条件");
  put(7, 4, "年利率");
  put(10, 4, "年平均頻度");
  put(12, 4, "平均日数");
  const char* head[] = {"No.",      buy ? "買い日" : "売り日", buy ? "売り日" : "買い日",
                        "所要日数", buy ? "買い値" : "売り値", buy ? "売り値" : "買い値",
                        "売値/買値"};
  for (int c = 0; c <= 6; ++c) put(c, 0, head[c]);
  return out;
}

TEST_F(BacktestTest, MatchesAnIndependentReferenceForEveryRuleAndDirection) {
  std::mt19937 rng(20261208);
  const int v = 1500;
  ws.SeriesTable.set(2, 4862, IntToStr(v));
  // Dates with weekends left out, prices drifting.
  int day = 0;
  long double price = 1000;
  for (int r = v + 5; r >= 1; --r) {
    day += (rng() % 5 == 0) ? 3 : 1;
    price *= 1 + (static_cast<int>(rng() % 201) - 100) / 2000.0L;
    ws.CalcTable.set(0, r, Day(day));
    ws.CalcTable.setInt(1, r, std::llround(price));
  }
  const int rules[] = {7, 8, 9, 20, 21, 22, 23, 24, 31, 40};
  for (int col : rules) {
    int state = 0;
    for (int r = v + 5; r >= 1; --r) {
      if (rng() % 6 == 0) state = static_cast<int>(rng() % 5) - 2;
      ws.CalcTable.setInt(col, r, state * (col < 20 ? 7 : 1));
    }
  }
  const char* buttons[] = {"Button37", "Button38", "Button39", "Button73", "Button74",
                           "Button75", "Button76", "Button77", "Button1",  "Button83"};
  const char* labels[] = {"S1", "S2", "S3", "G3長", "G4長", "G5長", "G6長", "G7長", "乖長", "ST長"};
  for (int dir = 0; dir < 2; ++dir) {
    ws.SeriesTable.set(7, 4863, dir == 0 ? "1" : "0");
    for (int i = 0; i < 10; ++i) {
      click(buttons[i]);
      ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
      const auto expected = ReferenceTable(ws.CalcTable, rules[i], v, dir == 0, labels[i]);
      ASSERT_GT(std::stoi(ws.SeriesTable.cell(6, 4864)), 10);
      for (int r = 0; r <= 2000; ++r)
        for (int c = 0; c <= 14; ++c) {
          auto it = expected.find({c, r});
          const std::string want = it == expected.end() ? "" : it->second;
          ASSERT_EQ(stats().cell(c, r), want)
              << buttons[i] << " dir " << dir << " cell " << c << "," << r;
        }
    }
  }
}

}  // namespace
}  // namespace tavrine::signals_test
