// Figures and trade markers through the whole program on a generated data
// folder: every rule press leaves figures equal to the reference computed
// from the same press's trade list, and the marker lines hold exactly the
// listed trade days the chart shows, after presses, term changes, jumps and
// day steps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "../signals/figures_reference.h"
#include "../support/data_folder.h"
#include "../support/recording_platform.h"
#include "app/script.h"
#include "app/workspace.h"
#include "sample.h"
#include "store/control_cells.h"
#include "store/text.h"

namespace tavrine {
namespace {

using signals_test::BruteMarkers;
using signals_test::ExpectSame;
using signals_test::Near;
using signals_test::Reference;
using signals_test::ReferenceFigures;

const char* const kRuleButtons[10] = {"Button37", "Button38", "Button39", "Button73", "Button74",
                                      "Button75", "Button76", "Button77", "Button1",  "Button83"};

// A generated folder of five stocks over 1500 days (two of them start
// later), with TAVRINE_TODAY at the list's newest day so the start-up does
// not look for new trading days.
class GeneratedFolder {
 public:
  GeneratedFolder() {
    const char* today = std::getenv("TAVRINE_TODAY");
    if (today) oldToday_ = today;
    setenv("TAVRINE_TODAY", "2003/12/26", 1);
    sample::Options o;
    o.dir = folder_.dir();
    o.stocks = 5;
    o.days = 1500;
    o.seed = 3;
    o.today = DaysFromCivil(2003, 12, 26);
    o.marketExtra = 0;
    result_ = sample::Generate(o);
  }
  ~GeneratedFolder() {
    if (oldToday_)
      setenv("TAVRINE_TODAY", oldToday_->c_str(), 1);
    else
      unsetenv("TAVRINE_TODAY");
  }

  std::vector<std::string> codes() const {
    std::vector<std::string> c;
    for (const auto& s : result_.stocks)
      if (s.column > 0) c.push_back(s.code);
    return c;
  }

 private:
  testing::DataFolder folder_;
  std::optional<std::string> oldToday_;
  sample::Result result_;
};

// ---- The driver's figures --------------------------------------------------

// "figures trades=M wins=W ..." into its values; "-" is no value.
std::map<std::string, std::optional<double>> ParseFigures(const std::string& line) {
  std::map<std::string, std::optional<double>> v;
  std::istringstream in(line);
  std::string word;
  in >> word;
  EXPECT_EQ(word, "figures");
  while (in >> word) {
    const auto eq = word.find('=');
    const std::string value = word.substr(eq + 1);
    v[word.substr(0, eq)] =
        value == "-" ? std::nullopt : std::optional<double>(std::strtod(value.c_str(), nullptr));
  }
  EXPECT_EQ(v.size(), 8u) << line;
  return v;
}

TEST(BacktestFigures, DriverFiguresEqualTheReferenceForEveryStockRuleDirectionAndTerm) {
  GeneratedFolder folder;
  const auto codes = folder.codes();
  ASSERT_EQ(codes.size(), 5u);

  // Each stock by its code, every rule in both directions under each of two
  // presses of the term switch, which alternate the long- and the
  // short-term rule set; after each rule press the figures and the list.
  std::string script = "start\n";
  auto rules = [&] {
    for (const char* b : kRuleButtons)
      script += std::string("click ") + b + "\nfigures\ndump StatsTable 1-6 1-1000\n";
  };
  for (const std::string& code : codes) {
    script += "set Edit1 " + code + "\nkey Edit1 13\n";
    for (int term = 0; term < 2; ++term) {
      script += "click Button79\ntext Button79\n";
      rules();
      script += "click Button47\n";
      rules();
    }
  }
  std::istringstream in(script);
  std::ostringstream out, err;
  ASSERT_EQ(RunScript(in, out, err), 0) << err.str();

  std::istringstream lines(out.str());
  std::string line;
  int presses = 0, withTrades = 0, withLoss = 0, shortTerm = 0, longTerm = 0;
  while (std::getline(lines, line)) {
    ASSERT_NE(line.rfind("error:", 0), 0u) << line;
    if (line == "Button79=短") ++shortTerm;
    if (line == "Button79=長") ++longTerm;
    if (line.rfind("figures ", 0) != 0) continue;
    const std::string figures = line;
    SCOPED_TRACE("press " + std::to_string(presses) + ": " + figures);
    ++presses;
    // The trade list of the same press, as the dump shows it.
    WorkTable stats("StatsTable", 15, 2000);
    for (int r = 1; r <= 1000; ++r) {
      ASSERT_TRUE(std::getline(lines, line));
      std::istringstream row(line);
      std::string cell;
      std::getline(row, cell, '\t');
      ASSERT_EQ(cell, std::to_string(r));
      for (int c = 1; c <= 6; ++c) {
        std::getline(row, cell, '\t');
        stats.set(c, r, cell);
      }
    }
    auto got = ParseFigures(figures);
    const Reference want = ReferenceFigures(stats);
    ASSERT_TRUE(got["trades"].has_value());
    EXPECT_EQ(*got["trades"], want.trades);
    EXPECT_TRUE(Near("wins", got["wins"], want.wins));
    EXPECT_TRUE(Near("equity", got["equity"], want.equity));
    EXPECT_TRUE(Near("maxdd", got["maxdd"], want.maxdd));
    EXPECT_TRUE(Near("pf", got["pf"], want.pf));
    EXPECT_TRUE(Near("streak", got["streak"], want.streak));
    EXPECT_TRUE(Near("exposure", got["exposure"], want.exposure));
    EXPECT_TRUE(Near("hold", got["hold"], want.hold));
    withTrades += want.trades > 0;
    withLoss += want.pf.has_value();
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(presses, 5 * 40);
  EXPECT_EQ(shortTerm, 5);
  EXPECT_EQ(longTerm, 5);
  // The data give trades, losing trades and presses without a trade.
  EXPECT_GT(withTrades, presses / 2);
  EXPECT_GT(withLoss, 20);
  EXPECT_LT(withTrades, presses);
}

// ---- Trade markers on the chart ---------------------------------------------

class TradeMarkersOnTheChart : public ::testing::Test {
 protected:
  TradeMarkersOnTheChart() : ws(platform) {
    click("Button52");  // start: the memo stock, middle term, S1
  }

  void click(const char* control) {
    Event ev;
    ev.kind = Event::Click;
    ASSERT_TRUE(ws.dispatch(control, ev)) << control;
  }

  // The rows the chart shows. Term views: from the first data row over the
  // plotted days, every tenth row above 2000 days, never past row 4860. The
  // day view: the 300 CalcTable rows after the window start.
  struct Window {
    const WorkTable* table;
    int first, last;
  };
  Window Shown(bool dayView) const {
    const auto& st = ws.SeriesTable;
    if (dayView) {
      const int o = st.getInt(ctl::WindowStart);
      return {&ws.CalcTable, o + 1, o + 300};
    }
    const int first = st.getInt(ctl::FirstDataRow);
    const int days = st.getInt(ctl::PlottedDays);
    const int span = days > 2000 ? days / 10 * 10 : days;
    return {&ws.SeriesTable, first, std::min(first + span, 4860)};
  }

  std::vector<MarkerPoint> Points(int pos) const {
    std::vector<MarkerPoint> v;
    for (const ChartPoint& p : ws.chart.line(pos).points) v.push_back({p.x, p.y, p.label});
    return v;
  }

  // The markers are the listed trade days in the window, at their closes,
  // and sit on the price line wherever it has a point of the same row.
  void ExpectMarkers(bool dayView, const std::string& step) {
    SCOPED_TRACE(step);
    ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
    const Window w = Shown(dayView);
    std::vector<MarkerPoint> buys, sells;
    BruteMarkers(ws.StatsTable, *w.table, w.first, w.last, buys, sells);
    ExpectSame(Points(ChartModel::buys), buys, "buys");
    ExpectSame(Points(ChartModel::sells), sells, "sells");
    std::map<double, const ChartPoint*> line;
    for (const ChartPoint& p : ws.chart.line(ChartModel::owarine).points) line[p.x] = &p;
    for (int pos : {int(ChartModel::buys), int(ChartModel::sells)}) {
      for (const ChartPoint& m : ws.chart.line(pos).points) {
        auto it = line.find(m.x);
        if (it == line.end()) continue;
        ++onLine;
        EXPECT_EQ(m.y, it->second->y) << m.x;
        EXPECT_EQ(m.label, it->second->label) << m.x;
      }
    }
    shown += static_cast<int>(buys.size() + sells.size());
    // Trades of the list that lie outside the window.
    hidden += 2 * ws.backtest.figures().trades - static_cast<int>(buys.size() + sells.size());
  }

  testing::RecordingPlatform platform;
  GeneratedFolder folder;  // before the workspace's start, after the platform
  Workspace ws;
  int shown = 0, hidden = 0, onLine = 0;
};

TEST_F(TradeMarkersOnTheChart, FollowPressesTermsJumpsAndDaySteps) {
  ExpectMarkers(false, "start-up: S1, middle term");
  EXPECT_FALSE(ws.chart.line(ChartModel::buys).points.empty());
  click("Button74");
  ExpectMarkers(false, "G4");
  click("Button38");
  ExpectMarkers(false, "S2");
  click("Button2");
  ExpectMarkers(false, "long term");
  EXPECT_GT(ws.SeriesTable.getInt(ctl::PlottedDays), 2000);
  click("Button4");
  ExpectMarkers(false, "short term");
  click("DrawChart");
  ExpectMarkers(false, "middle term");

  // A jump by date: the window starts 400 rows back.
  ws.typeText("Edit2", ws.CalcTable.cell(0, 401));
  Event enter;
  enter.kind = Event::KeyPress;
  enter.key = 13;
  ws.dispatch("Edit2", enter);
  EXPECT_EQ(ws.SeriesTable.getInt(ctl::WindowStart), 400);
  ExpectMarkers(false, "jump");
  click("Button37");
  ExpectMarkers(false, "S1 after the jump");

  ws.typeText("Edit10", "7");
  click("Button62");  // 前日
  EXPECT_EQ(ws.SeriesTable.getInt(ctl::WindowStart), 407);
  ExpectMarkers(true, "a week back");
  click("Button61");  // 次日
  click("Button61");
  EXPECT_EQ(ws.SeriesTable.getInt(ctl::WindowStart), 393);
  ExpectMarkers(true, "two weeks on");
  // A chain in the day view places the new list's markers on its rows.
  click("Button47");
  ExpectMarkers(true, "entry by selling");
  click("Label1");  // back to the newest day
  ExpectMarkers(false, "newest day");

  EXPECT_GT(shown, 100);
  EXPECT_GT(hidden, 100);  // the window leaves trades out
  EXPECT_GT(onLine, 50);
}

TEST_F(TradeMarkersOnTheChart, NoneWithoutATradeOrAfterAChainThatStopped) {
  ASSERT_GT(ws.backtest.figures().trades, 0);
  // A minimum ratio no trade reaches: the list is empty.
  ws.typeText("MaskEdit1", "9.99");
  click("Button37");
  EXPECT_EQ(FiguresLine(ws.backtest.figures()),
            "figures trades=0 wins=- equity=- maxdd=- pf=- streak=- exposure=- hold=-");
  EXPECT_TRUE(ws.chart.line(ChartModel::buys).points.empty());
  EXPECT_TRUE(ws.chart.line(ChartModel::sells).points.empty());
  click("Button2");
  EXPECT_TRUE(ws.chart.line(ChartModel::buys).points.empty());

  ws.typeText("MaskEdit1", "0.00");
  click("Button37");
  ExpectMarkers(false, "minimum cleared");
  ASSERT_FALSE(ws.chart.line(ChartModel::sells).points.empty());

  // A rule cell that is not a number stops the walk with an error: neither
  // the figures nor the markers of the list before stay.
  ws.CalcTable.set(7, 200, "x");
  click("Button37");
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(ws.backtest.figures().trades, 0);
  EXPECT_FALSE(ws.backtest.figures().equity.has_value());
  EXPECT_TRUE(ws.chart.line(ChartModel::buys).points.empty());
  EXPECT_TRUE(ws.chart.line(ChartModel::sells).points.empty());
  click("DrawChart");
  EXPECT_TRUE(ws.chart.line(ChartModel::buys).points.empty());
  EXPECT_FALSE(ws.chart.line(ChartModel::owarine).points.empty());
}

TEST_F(TradeMarkersOnTheChart, ToggleHidesAndShowsThemAndPickingPassesThemBy) {
  const auto buys = Points(ChartModel::buys);
  const auto sells = Points(ChartModel::sells);
  ASSERT_FALSE(buys.empty());
  EXPECT_TRUE(ws.chart.markersVisible());
  EXPECT_EQ(ws.form.text("Button130"), "売買");
  std::vector<bool> fixed;
  for (int p = 0; p < ChartModel::kLines; ++p) fixed.push_back(ws.chart.line(p).visible);

  const auto before = ws.chart.version();
  click("Button130");
  EXPECT_NE(ws.chart.version(), before);  // the window redraws
  EXPECT_FALSE(ws.chart.markersVisible());
  EXPECT_FALSE(ws.chart.line(ChartModel::buys).visible);
  EXPECT_FALSE(ws.chart.line(ChartModel::sells).visible);
  ExpectSame(Points(ChartModel::buys), buys, "hidden buys");
  ExpectSame(Points(ChartModel::sells), sells, "hidden sells");
  // Hidden they still follow the chart; the fixed lines keep their flags.
  click("Button4");
  ExpectMarkers(false, "short term, hidden");
  EXPECT_FALSE(ws.chart.markersVisible());
  for (int p = 0; p < ChartModel::kLines; ++p)
    EXPECT_EQ(ws.chart.line(p).visible, fixed[static_cast<std::size_t>(p)]) << p;
  click("Button130");
  EXPECT_TRUE(ws.chart.line(ChartModel::buys).visible);
  EXPECT_TRUE(ws.chart.line(ChartModel::sells).visible);
  ExpectMarkers(false, "short term, shown");

  // A press on a marker alone picks nothing; on the close line it picks that day.
  ASSERT_GE(ws.chart.line(ChartModel::buys).points.size(), 2u);
  const std::string date = ws.form.text("Edit2");
  Event press;
  press.kind = Event::MouseDown;
  press.hits = {{"buys", 1}, {"sells", 0}};
  ws.dispatch("chart1", press);
  EXPECT_EQ(ws.form.text("Edit2"), date);
  press.hits = {{"owarine", 3}, {"buys", 0}};
  ws.dispatch("chart1", press);
  EXPECT_EQ(ws.form.text("Edit2"), ws.chart.line(ChartModel::owarine).points[3].label);
}

}  // namespace
}  // namespace tavrine
