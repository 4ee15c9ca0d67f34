// The portfolio's inputs against the rule buttons judged honestly, and the
// trades' independence from the days after them.
#include "app/portfolio_inputs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "../support/data_folder.h"
#include "../support/recording_platform.h"
#include "app/portfolio.h"
#include "app/scan.h"
#include "app/workspace.h"
#include "sample.h"
#include "signals/figures.h"
#include "signals/stats_block.h"
#include "store/control_cells.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {
namespace {

using testing::DataFolder;
using testing::RecordingPlatform;

// Generated stocks, one of them with a cell the extraction cannot read. The
// folder goes once the list is read, so the environment it sets does not
// outlive the list kept for the whole run.
class SampleList {
 public:
  SampleList() {
    const DataFolder folder;
    sample::Options o;
    o.dir = folder.dir().string();
    o.stocks = 8;
    o.days = 1500;
    o.seed = 11;
    o.today = DaysFromCivil(2004, 6, 25);
    o.marketExtra = 0;
    o.badColumn = 3;
    sample::Generate(o);
    RecordingPlatform p;
    Workspace ws(p);
    ws.startup.LoadStockList();
    list_ = ws.StockList;
    // Too short for the price scale.
    for (int r = 21; r <= stocklist::kLastDayRow; ++r) list_.set(5, r, "");
  }
  const WorkTable& list() const { return list_; }

 private:
  WorkTable list_{"StockList", 1, 1};
};

const WorkTable& List() {
  static const SampleList l;
  return l.list();
}

// The trades the rule button lists for stock k judged honestly, newest
// first as (entry day, exit day), with the closed count; empty when a step
// stops with an error.
struct Listed {
  int closed = 0;
  std::vector<std::pair<int, int>> trades;
  bool ok = false;
};
Listed ButtonTrades(int k, int tag, bool entryBuy, bool shortTerm) {
  RecordingPlatform p;
  Workspace ws(p);
  ws.StockList = List();
  ws.judging = Judging::Honest;
  auto& st = ws.SeriesTable;
  ws.startup.WriteStartValues();
  st.setInt(ctl::RowsConsidered, stocklist::kLastDayRow);
  st.setInt(ctl::StockColumn, k);
  st.set(ctl::Heading, List().cell(k, 0));
  st.set(ctl::DateSource, "1");
  st.set(ctl::EntryDirection, entryBuy ? "1" : "0");
  st.set(ctl::TermMode, "0");
  st.set(ctl::DateInView, List().cell(0, 1));
  auto& f = ws.form;
  f.setText("Button79", "長");
  f.setText("Button13", "S2");
  f.setText("Button81", "S");
  f.setText("Button47", entryBuy ? "入買" : "入売");
  f.setText("Button118", "狭");
  f.setText("MaskEdit1", "0.00");
  f.setText("Edit1", LeftBytes(List().cell(k, 0), 4));
  f.setText("Edit2", List().cell(0, 1));
  Listed out;
  try {
    ws.chains.SelectionChain({.resetTerm = true});
    if (shortTerm) ws.overlays.Button79Click();
    ws.rules.Button37Click(kRules[tag].button);
  } catch (const std::exception&) {
    return out;
  }
  out.closed = stats::ReadSummary(ws.StatsTable).trades;
  for (const ListedTrade& t : ReadListedTrades(ws.StatsTable, ListedTradeCount(ws.StatsTable)))
    out.trades.push_back({StrToDate(t.entryDate), StrToDate(t.exitDate)});
  out.ok = true;
  return out;
}

// The trades that closed, newest first, as the rule button lists them.
std::vector<std::pair<int, int>> ClosedNewestFirst(const PortfolioStock& s) {
  std::vector<std::pair<int, int>> v;
  for (auto it = s.trades.rbegin(); it != s.trades.rend(); ++it)
    if (it->exitDay) v.push_back({it->entryDay, *it->exitDay});
  return v;
}

// The day before `day` among the stock's list days.
int PreviousDay(const PortfolioStock& s, int day) {
  for (std::size_t i = 1; i < s.days.size(); ++i)
    if (s.days[i] == day) return s.days[i - 1];
  return -1;
}

TEST(PortfolioInputs, TradesEqualTheRuleButtonsJudgedHonestly) {
  struct Case {
    int tag;
    bool entryBuy, shortTerm;
  };
  std::vector<Case> cases;
  for (int tag = 0; tag < kRuleCount; ++tag) cases.push_back({tag, true, false});
  for (int tag : {1, 4, 8, 9}) cases.push_back({tag, false, true});
  int traded = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("tag " + std::to_string(c.tag) + (c.entryBuy ? " buy" : " sell") +
                 (c.shortTerm ? " short" : " long"));
    PortfolioInputOptions o;
    o.tag = c.tag;
    o.entry = c.entryBuy ? EntrySide::Buy : EntrySide::Sell;
    o.shortTerm = c.shortTerm;
    const PortfolioInputs in = CollectPortfolioInputs(List(), o);
    // The bad cell and the short history are named, every other stock is in.
    ASSERT_EQ(in.refused.size(), 2u);
    EXPECT_NE(in.refused[0].find("(列 3)"), std::string::npos) << in.refused[0];
    EXPECT_NE(in.refused[1].find("(列 5)"), std::string::npos) << in.refused[1];
    ASSERT_EQ(in.stocks.size(), ScanColumns(List()).size() - 2);
    for (const PortfolioStock& s : in.stocks) {
      ASSERT_EQ(s.days.size(), s.closes.size());
      ASSERT_GT(s.days.size(), 25u);
      EXPECT_TRUE(std::is_sorted(s.days.begin(), s.days.end()));
      const Listed want = ButtonTrades(s.column, c.tag, c.entryBuy, c.shortTerm);
      ASSERT_TRUE(want.ok) << s.code;
      const auto got = ClosedNewestFirst(s);
      EXPECT_EQ(static_cast<int>(got.size()), want.closed) << s.code;
      EXPECT_EQ(got, want.trades) << s.code;
      traded += !got.empty();
      // Each trade is carried out the list day after its signal; only the
      // newest may be open.
      for (std::size_t i = 0; i < s.trades.size(); ++i) {
        const PortfolioTrade& t = s.trades[i];
        EXPECT_EQ(t.side, o.entry);
        EXPECT_EQ(PreviousDay(s, t.entryDay), t.entrySignal);
        if (t.exitDay)
          EXPECT_EQ(PreviousDay(s, *t.exitDay), t.exitSignal);
        else
          EXPECT_EQ(i + 1, s.trades.size());
      }
    }
  }
  EXPECT_GT(traded, static_cast<int>(cases.size()) * 3);
}

// The list as it stood `rows` trading days earlier: every column moved up.
WorkTable CutList(int rows) {
  WorkTable cut = List();
  for (int c = 0; c <= stocklist::kLastStockColumn; ++c)
    for (int r = 1; r <= stocklist::kLastDayRow; ++r)
      cut.set(c, r, r + rows <= stocklist::kLastDayRow ? List().cell(c, r + rows) : "");
  return cut;
}

TEST(PortfolioInputs, CuttingTheListAtADayKeepsTheTradesClosedBeforeIt) {
  const WorkTable cut = CutList(400);
  const int cutDay = StrToDate(cut.cell(0, 1));
  for (int tag : {0, 3, 7, 8, 9}) {
    SCOPED_TRACE("tag " + std::to_string(tag));
    PortfolioInputOptions o;
    o.tag = tag;
    const PortfolioInputs full = CollectPortfolioInputs(List(), o);
    const PortfolioInputs early = CollectPortfolioInputs(cut, o);
    std::map<int, const PortfolioStock*> byColumn;
    for (const PortfolioStock& s : early.stocks) byColumn[s.column] = &s;
    int kept = 0;
    for (const PortfolioStock& s : full.stocks) {
      ASSERT_TRUE(byColumn.count(s.column)) << s.code;
      std::vector<std::pair<int, int>> before;
      for (const auto& t : ClosedNewestFirst(s))
        if (t.second <= cutDay) before.push_back(t);
      EXPECT_EQ(ClosedNewestFirst(*byColumn[s.column]), before) << s.code;
      kept += static_cast<int>(before.size());
    }
    EXPECT_GT(kept, 0);
  }
}

// The one rule the portfolio walks is made exactly as the scan makes it with
// every rule's column, for each rule, term set and stock of the list.
TEST(PortfolioInputs, TheOneRulesColumnIsTheFullScansColumn) {
  int compared = 0;
  for (bool shortTerm : {false, true}) {
    ScanOptions o;
    o.shortTerm = shortTerm;
    o.backtest.judging = Judging::Honest;
    for (int k : ScanColumns(List())) {
      ScanSeries full;
      if (!ReadScanSeries(List(), k, o, full)) continue;
      for (int tag = 0; tag < kRuleCount; ++tag) {
        SCOPED_TRACE("column " + std::to_string(k) + " tag " + std::to_string(tag) +
                     (shortTerm ? " short" : " long"));
        ScanSeries one;
        ASSERT_TRUE(ReadScanSeries(List(), k, o, one, tag));
        EXPECT_EQ(one.yen, full.yen);
        EXPECT_EQ(one.first, full.first);
        EXPECT_EQ(one.last, full.last);
        const auto& a = one.columns[static_cast<std::size_t>(tag)];
        const auto& b = full.columns[static_cast<std::size_t>(tag)];
        EXPECT_EQ(a.value, b.value);
        EXPECT_EQ(a.kind, b.kind);
        ++compared;
      }
    }
  }
  EXPECT_GE(compared, 2 * 6 * kRuleCount);
}

// The run's days of every stock, made on two threads from the list's
// cells, are what PortfolioStockDays makes of the whole column: the store
// here has days that agree with the list and days that do not, a day kept
// twice with two turnovers (the later counts) and a day the list lacks.
TEST(PortfolioInputs, TheRunsDaysOfEachStockAreItsColumnsDays) {
  const PortfolioInputs in = CollectPortfolioInputs(List(), PortfolioInputOptions{});
  ASSERT_GE(in.stocks.size(), 4u);
  auto storedOf = [](const PortfolioStock& s) {
    std::vector<StoredBar> out;
    for (std::size_t i = 0; i < s.days.size(); i += 3) {
      StoredBar b;
      b.code = s.code;
      b.day = s.days[i];
      const double close = static_cast<double>(s.closes[i]) + (i % 9 == 0 ? 7 : 0);
      b.open = close - 1;
      b.high = close + 2;
      b.low = close - 3;
      b.close = close;
      if (i % 2 == 0) b.volume = 1000.0 + static_cast<double>(i);
      if (i % 4 == 0) b.turnover = 5e6 + static_cast<double>(i);
      b.stopHigh = i % 5 == 0;
      out.push_back(b);
      if (i % 10 == 0) {  // the day again, its later turnover
        b.turnover = 7e6;
        out.push_back(b);
      }
    }
    StoredBar extra;
    extra.day = s.days.back() - 1;  // a weekend or holiday: not a list day
    extra.close = 1;
    out.push_back(extra);
    return out;
  };
  const std::vector<portfolio::Stock> got = PortfolioStocks(List(), in.stocks, storedOf, 2);
  ASSERT_EQ(got.size(), in.stocks.size());
  int turnovers = 0;
  for (std::size_t i = 0; i < in.stocks.size(); ++i) {
    const PortfolioStock& s = in.stocks[i];
    std::vector<ListClose> column;
    for (int r = 1; r <= stocklist::kLastDayRow; ++r) {
      int day = 0;
      if (TryParseDate(List().cell(0, r), day)) column.push_back({day, List().cell(s.column, r)});
    }
    const portfolio::Stock want = PortfolioStockDays(s, column, storedOf(s));
    SCOPED_TRACE(s.code);
    EXPECT_EQ(got[i].code, want.code);
    ASSERT_EQ(got[i].days.size(), want.days.size());
    EXPECT_EQ(got[i].days.size(), s.days.size());
    for (std::size_t d = 0; d < want.days.size(); ++d) {
      const money::MoneyDay &a = got[i].days[d], &b = want.days[d];
      ASSERT_EQ(a.day, b.day);
      EXPECT_EQ(a.close, b.close);
      EXPECT_EQ(a.open, b.open);
      EXPECT_EQ(a.stopHigh, b.stopHigh);
      EXPECT_EQ(a.stopLow, b.stopLow);
      EXPECT_LE(std::fabs(static_cast<double>(a.close) - static_cast<double>(s.closes[d])), 0.5);
    }
    EXPECT_EQ(got[i].turnover, want.turnover);
    for (const auto& t : want.turnover) turnovers += t && *t == 7e6;
    ASSERT_EQ(got[i].orders.size(), want.orders.size());
    for (std::size_t o = 0; o < want.orders.size(); ++o) {
      EXPECT_EQ(got[i].orders[o].entryFrom, want.orders[o].entryFrom);
      EXPECT_EQ(got[i].orders[o].exitFrom, want.orders[o].exitFrom);
    }
  }
  EXPECT_GT(turnovers, 0);
}

}  // namespace
}  // namespace tavrine
