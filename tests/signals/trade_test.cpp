// The typed trade of the walk (rows and whole-yen closes, texts made where a
// cell is written), the options a backtest runs with, and the staging rows.
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "signals/backtest.h"
#include "signals/walk.h"
#include "signals_fixture.h"

namespace tavrine::signals_test {
namespace {

using walk::Step;
using walk::Steps;
using walk::Trade;

BacktestOptions Options(Judging j, EntrySide side) {
  BacktestOptions o;
  o.judging = j;
  o.entry = side;
  return o;
}

// Closes by row, as the walked table holds them.
struct Closes {
  std::map<int, std::string> text;
  std::string operator()(int r) const { return text.at(r); }
};

TEST(Trade, ReplayGivesRowsAndWholeYenClosesOfEachTrade) {
  const Closes close{{{9, "100"}, {7, "102"}, {5, "-3"}, {2, "2147483647"}}};
  const Steps s{{{9, true}, {7, false}, {5, true}, {2, false}}, 0};
  std::vector<std::pair<int, Trade>> opened, closed;
  walk::ReplaySteps(
      s, close, [&](int k, const Trade& t) { opened.emplace_back(k, t); },
      [&](int k, const Trade& t) { closed.emplace_back(k, t); });
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].first, 1);
  EXPECT_EQ(opened[0].second.entryRow, 9);
  EXPECT_EQ(opened[1].first, 2);
  EXPECT_EQ(opened[1].second.entryRow, 5);
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[0].first, 1);
  EXPECT_EQ(closed[0].second.entryRow, 9);
  EXPECT_EQ(closed[0].second.exitRow, 7);
  EXPECT_EQ(closed[0].second.entryPrice, 100);
  EXPECT_EQ(closed[0].second.exitPrice, 102);
  EXPECT_EQ(closed[1].second.entryRow, 5);
  EXPECT_EQ(closed[1].second.exitRow, 2);
  EXPECT_EQ(closed[1].second.entryPrice, -3);
  EXPECT_EQ(closed[1].second.exitPrice, 2147483647);
}

// A close the strict read refuses stops the replay when its trade closes:
// the trade has opened by then, and the entry's close is read first.
TEST(Trade, RefusedCloseStopsTheReplayWhenItsTradeCloses) {
  const Steps s{{{9, true}, {7, false}}, 0};
  for (const auto& [entry, exit, named] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {"1812.5", "x", "「1812.5」"}, {"100", " 101", "「 101」"}, {"", "100", "「」"}}) {
    const Closes close{{{9, entry}, {7, exit}}};
    int opened = 0, closedCount = 0;
    try {
      walk::ReplaySteps(
          s, close, [&](int, const Trade&) { ++opened; },
          [&](int, const Trade&) { ++closedCount; });
      ADD_FAILURE() << entry << " / " << exit << " was read";
    } catch (const ConversionError& e) {
      EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
    }
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closedCount, 0);
  }
}

// 売値/買値 in extended precision, five bytes of its general form, sell
// price over buy price in both directions.
TEST(Trade, RatioTextIsSellOverBuyCutToFiveBytes) {
  struct Case {
    int entry, exit;
    EntrySide side;
    const char* text;
  };
  for (const Case& c : {
           Case{19, 20, EntrySide::Buy, "1.052"},   // 20/19 = 1.05263...
           Case{20, 19, EntrySide::Sell, "1.052"},  // sold at 20, bought back at 19
           Case{100, 100, EntrySide::Buy, "1"}, Case{100, 95, EntrySide::Buy, "0.95"},
           Case{95, 100, EntrySide::Sell, "0.95"}, Case{3, 1, EntrySide::Buy, "0.333"},
           Case{1, 3, EntrySide::Buy, "3"},
           Case{7, 100000, EntrySide::Buy, "14285"},  // 14285.714..., cut, not rounded
           Case{999999, 1, EntrySide::Buy, "1.000"},  // 1.000001000001E-6
           Case{1, 999999, EntrySide::Sell, "1.000"},
           Case{300000, 1, EntrySide::Buy, "3.333"},  // 3.33333333333333E-6
       }) {
    Trade t;
    t.entryRow = 9;
    t.exitRow = 7;
    t.entryPrice = c.entry;
    t.exitPrice = c.exit;
    SCOPED_TRACE(std::to_string(c.entry) + " -> " + std::to_string(c.exit));
    EXPECT_EQ(walk::RatioText(t, Options(Judging::Hindsight, c.side)), c.text);
    // The way of judging does not enter the ratio.
    EXPECT_EQ(walk::RatioText(t, Options(Judging::Honest, c.side)), c.text);
  }
}

// The listed trades take their texts from the walked rows: newest first,
// dates and closes as the table holds them.
TEST(Trade, ListedTradesTakeTheirTextsFromTheRows) {
  const Steps s{{{9, true}, {7, false}, {6, true}, {3, false}, {2, true}}, 0};
  const Closes close{{{9, "19"}, {7, "20"}, {6, "100"}, {3, "93"}, {2, "50"}}};
  auto date = [](int r) { return "2020/01/" + std::to_string(30 - r); };
  const walk::RuleResult r =
      walk::RunRule(s, Options(Judging::Hindsight, EntrySide::Buy), date, close);
  EXPECT_EQ(r.closed, 2);
  ASSERT_EQ(r.listed.size(), 2u);
  EXPECT_EQ(r.listed[0].entryDate, "2020/01/24");
  EXPECT_EQ(r.listed[0].exitDate, "2020/01/27");
  EXPECT_EQ(r.listed[0].heldDays, "3");
  EXPECT_EQ(r.listed[0].entryClose, "100");
  EXPECT_EQ(r.listed[0].exitClose, "93");
  EXPECT_EQ(r.listed[0].ratio, "0.93");
  EXPECT_EQ(r.listed[1].entryDate, "2020/01/21");
  EXPECT_EQ(r.listed[1].exitClose, "20");
  EXPECT_EQ(r.listed[1].ratio, "1.052");
  // The same rows walked as 入売: each ratio is inverted.
  const walk::RuleResult sold =
      walk::RunRule(s, Options(Judging::Hindsight, EntrySide::Sell), date, close);
  EXPECT_EQ(sold.listed[0].ratio, "1.075");
  EXPECT_EQ(sold.listed[1].ratio, "0.95");
}

// The options decide the walk: honest judging carries each decision out one
// row newer and steps over blank cells; 入売 opens on a negative signal.
TEST(BacktestOptionsWalk, JudgingAndEntryDirectionDecideTheSteps) {
  walk::SignalColumn col;
  col.assign(12, walk::Cell::Number);
  col.set(10, 1);
  col.set(8, -1);
  col.set(6, 0);
  col.set(5, 2);
  col.kind[4] = walk::Cell::Blank;
  col.set(3, -2);
  auto steps = [&col](Judging j, EntrySide side, int end) {
    Steps out;
    walk::WalkSignals(col, 10, end, Options(j, side), out);
    std::vector<std::pair<int, bool>> v;
    for (const Step& s : out.steps) v.emplace_back(s.row, s.opens);
    return std::make_pair(v, out.badRow);
  };
  using V = std::vector<std::pair<int, bool>>;
  EXPECT_EQ(steps(Judging::Hindsight, EntrySide::Buy, 5),
            std::make_pair(V{{10, true}, {8, false}, {5, true}}, 0));
  EXPECT_EQ(steps(Judging::Hindsight, EntrySide::Sell, 5),
            std::make_pair(V{{8, true}, {7, false}}, 0));
  // With hindsight a blank cell stops the walk; judged honestly it holds no decision.
  EXPECT_EQ(steps(Judging::Hindsight, EntrySide::Buy, 3).second, 4);
  EXPECT_EQ(steps(Judging::Honest, EntrySide::Buy, 3),
            std::make_pair(V{{9, true}, {7, false}, {4, true}, {2, false}}, 0));
  EXPECT_EQ(steps(Judging::Honest, EntrySide::Sell, 3),
            std::make_pair(V{{7, true}, {6, false}, {2, true}}, 0));
}

class BacktestOptionsTest : public SignalsTest {};

// The rule buttons run with the window's way of judging and its entry
// direction, and no cost.
TEST_F(BacktestOptionsTest, RuleButtonsTakeTheWindowsJudgingAndDirection) {
  for (Judging j : {Judging::Hindsight, Judging::Honest})
    for (const char* cell : {"1", "0"}) {
      ws.judging = j;
      ws.SeriesTable.set(ctl::EntryDirection, cell);
      const BacktestOptions o = ws.backtest.options();
      EXPECT_EQ(o.judging, j);
      EXPECT_EQ(o.entry, cell[0] == '1' ? EntrySide::Buy : EntrySide::Sell);
      EXPECT_EQ(o.cost, CostModel{});
    }
}

// Trade k (k = 1 the oldest) stands in staging row 2000 - k, from row 1999
// down to the first staging row 1001; the newest 1000 trades fit there.
TEST(StagingRows, TradeKStandsInRow2000MinusKDownTo1001) {
  EXPECT_EQ(stats::kLastRow, 2000);
  EXPECT_EQ(stats::kFirstStagingRow, 1001);
  EXPECT_EQ(stats::StagingRow(1), 1999);
  EXPECT_EQ(stats::StagingRow(999), 1001);
  EXPECT_TRUE(stats::IsStaged(1));
  EXPECT_TRUE(stats::IsStaged(999));
  EXPECT_FALSE(stats::IsStaged(1000));
  EXPECT_FALSE(stats::IsStaged(5000));
  EXPECT_EQ(stats::StagingRow(Backtest::kMaxListed), 1000);
}

}  // namespace
}  // namespace tavrine::signals_test
