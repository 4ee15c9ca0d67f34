// The rule scan on numbers against the window path it replaces: for every
// stock of a generated list (long and short histories, blank newest days, a
// bad cell, zero closes), both term sets, both entry directions and both
// ways of judging, every field and every cell text of every row.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../support/data_folder.h"
#include "../support/recording_platform.h"
#include "../support/sanitized.h"
#include "app/scan.h"
#include "app/workspace.h"
#include "sample.h"
#include "series/series.h"
#include "signals/honest.h"
#include "signals/stats_block.h"
#include "signals/today.h"
#include "store/control_cells.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {
namespace {

using testing::DataFolder;
using testing::RecordingPlatform;

// Generated stocks over 3000 days, loaded as the start-up loads them, then
// cut to the histories the passes treat apart.
class SampleList {
 public:
  SampleList() {
    sample::Options o;
    o.dir = folder_.dir().string();
    o.stocks = 20;
    o.days = 3000;
    o.seed = 5;
    o.today = DaysFromCivil(2003, 12, 26);
    o.marketExtra = 0;
    o.badColumn = 6;
    sample::Generate(o);
    RecordingPlatform p;
    Workspace ws(p);
    ws.startup.LoadStockList();
    list_ = ws.StockList;
    // Histories shorter than the price scale, the 75-, 200- and 1000-day
    // averages need.
    keepRows(2, 20);
    keepRows(3, 60);
    keepRows(4, 150);
    keepRows(5, 700);
    keepRows(7, 240);
    // Newest days blank over a short history; a run of zero closes.
    for (int r = 1; r <= 4; ++r) list_.set(8, r, "");
    keepRows(8, 420);
    for (int r = 900; r <= 905; ++r) list_.set(9, r, "0");
    // A price in exponent form, which only the general parser reads.
    list_.set(10, 1500, "1.5e3");
  }
  const WorkTable& list() const { return list_; }

 private:
  void keepRows(int k, int rows) {
    for (int r = rows + 1; r <= stocklist::kLastDayRow; ++r) list_.set(k, r, "");
  }
  DataFolder folder_;
  WorkTable list_{"StockList", 1, 1};
};

const WorkTable& List() {
  static const SampleList l;
  return l.list();
}

// The window path the scan took before it computed on numbers: the start
// values, the selection chain, the term switch for the short set, then each
// rule button, the row read back from StatsTable and the figures. Empty when
// a step stops with an error.
std::vector<ScanRow> WindowRows(int k, const ScanOptions& o) {
  RecordingPlatform p;
  Workspace ws(p);
  ws.StockList = List();
  ws.judging = o.backtest.judging;
  auto& st = ws.SeriesTable;
  ws.startup.WriteStartValues();
  st.setInt(ctl::RowsConsidered, stocklist::kLastDayRow);
  st.setInt(ctl::StockColumn, k);
  st.set(ctl::Heading, List().cell(k, 0));
  st.set(ctl::DateSource, "1");
  st.set(ctl::EntryDirection, o.backtest.entryBuy() ? "1" : "0");
  st.set(ctl::TermMode, "0");
  st.set(ctl::DateInView, List().cell(0, 1));
  auto& f = ws.form;
  f.setText("Button79", "長");
  f.setText("Button13", "S2");
  f.setText("Button81", "S");
  f.setText("Button47", o.backtest.entryBuy() ? "入買" : "入売");
  f.setText("Button118", "狭");
  f.setText("MaskEdit1", "0.00");
  f.setText("Edit1", LeftBytes(List().cell(k, 0), 4));
  f.setText("Edit2", List().cell(0, 1));

  std::vector<ScanRow> rows;
  try {
    ws.chains.SelectionChain({.resetTerm = true});
    if (o.shortTerm) ws.overlays.Button79Click();
    for (int tag = 0; tag < 10; ++tag) {
      const RuleDef* rule = Rules::RuleOfTag(tag);
      ws.rules.Button37Click(rule->button);
      const WorkTable& t = ws.StatsTable;
      const stats::Summary s = stats::ReadSummary(t);
      ScanRow row;
      row.column = k;
      row.code = LeftBytes(List().cell(k, 0), 4);
      row.name = ScanNameOf(List().cell(k, 0));
      row.tag = tag;
      row.rule = f.text(rule->button);
      row.trades = s.trades;
      row.average = s.average;
      row.perYear = s.perYear;
      row.annualRate = s.annualRate;
      row.averageDays = s.averageDays;
      const int listed = std::min(s.trades, 1000);
      int wins = 0;
      for (int r = 1; r <= listed; ++r) wins += StrToFloat(t.cell(stats::kRatio, r)) > 1;
      row.winShare = WinShareText(wins, listed);
      row.figures = ws.backtest.figures();
      row.figures.curve = {};
      rows.push_back(std::move(row));
    }
  } catch (const std::exception&) {
    return {};
  }
  return rows;
}

// Every field of a row, the figures and the cells as the scan shows them.
std::string Describe(const ScanRow& r) {
  std::ostringstream o;
  o << r.column << ' ' << r.code << ' ' << r.name << ' ' << r.tag << ' ' << r.rule
    << " n=" << r.trades << " avg=" << r.average << " py=" << r.perYear << " rate=" << r.annualRate
    << " win=" << r.winShare << " days=" << r.averageDays << ' ' << FiguresLine(r.figures)
    << " start=" << r.figures.startDay.value_or(-1) << " curve=" << r.figures.curve.size()
    << " winrate=" << FigureText(r.figures.winRate) << " |";
  for (const std::string& c : ScanRowCells(r)) o << c << '|';
  return o.str();
}

TEST(NumericScan, RowsEqualTheWindowPathForEveryStockTermDirectionAndJudging) {
  const std::vector<int> all = ScanColumns(List());
  ASSERT_GE(all.size(), 20u);
  // Under the sanitizer: every fourth stock and the ones made to fail.
  std::vector<int> columns;
  for (std::size_t i = 0; i < all.size(); ++i)
    if (!kUnderSanitizer || i % 4 == 0 || all[i] == 2 || all[i] == 6 || all[i] == 9)
      columns.push_back(all[i]);
  for (Judging judging : {Judging::Hindsight, Judging::Honest})
    for (bool shortTerm : {false, true})
      for (bool entryBuy : {true, false}) {
        ScanOptions o;
        o.backtest.judging = judging;
        o.shortTerm = shortTerm;
        o.backtest.entry = entryBuy ? EntrySide::Buy : EntrySide::Sell;
        SCOPED_TRACE(std::string(judging == Judging::Honest ? "honest" : "hindsight") +
                     (shortTerm ? " short" : " long") + (entryBuy ? " buy" : " sell"));
        std::map<std::pair<int, int>, std::string> scanned;
        for (const ScanRow& r : RunScan(List(), o))
          EXPECT_TRUE(scanned.emplace(std::make_pair(r.column, r.tag), Describe(r)).second);
        std::size_t expected = 0, withTrades = 0, compared = 0;
        for (int k : columns) {
          for (const auto& [key, row] : scanned) compared += key.first == k;
          const auto want = WindowRows(k, o);
          expected += want.size();
          for (const ScanRow& w : want) {
            withTrades += w.trades > 0;
            const auto it = scanned.find({k, w.tag});
            ASSERT_NE(it, scanned.end()) << Describe(w);
            EXPECT_EQ(it->second, Describe(w));
          }
        }
        // Nothing scanned that the window path leaves out, and most rows
        // trade, so the comparison is not one of empty rows.
        EXPECT_EQ(compared, expected);
        if (!kUnderSanitizer) EXPECT_EQ(scanned.size(), expected);
        EXPECT_GT(withTrades, expected / 2);
      }
}

// The list's stocks that the window path leaves out are the ones made to
// fail: too short for the price scale, holding a bad cell, or trading over a
// zero close (a ratio without a value).
TEST(NumericScan, TheSampleCoversEveryKindOfHistory) {
  ScanOptions o;
  std::vector<int> left;
  for (int k : ScanColumns(List()))
    if (WindowRows(k, o).empty()) left.push_back(k);
  EXPECT_EQ(left, (std::vector<int>{2, 6, 9}));
}

// Today's signal of a day is the one the day had as the newest: the list
// cut at that day gives the honest columns of the whole list on that day.
TEST(NumericScan, TodaysSignalOfADayDoesNotChangeWhenNewerDaysArrive) {
  const int d = 7;
  WorkTable cut = List();
  for (int c = 0; c <= stocklist::kLastStockColumn; ++c)
    for (int r = 1; r <= stocklist::kLastDayRow; ++r)
      cut.set(c, r, r + d <= stocklist::kLastDayRow ? List().cell(c, r + d) : "");
  for (bool longTerm : {true, false}) {
    const auto whole = TodaySignals(List(), longTerm);
    const auto then = TodaySignals(cut, longTerm);
    ASSERT_EQ(whole.size(), then.size());
    int compared = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
      const TodayRow& w = whole[i];
      const TodayRow& t = then[i];
      if (w.date.empty() || t.date.empty()) continue;
      // The whole list's columns on the cut's newest day.
      std::vector<long long> close;
      int first = 0, last = 0;
      ASSERT_TRUE(ReadStockCloses(cut, w.column, stocklist::kLastDayRow, close, first, last));
      const int day = first + d;
      ASSERT_TRUE(ReadStockCloses(List(), w.column, stocklist::kLastDayRow, close, first, last));
      const honest::Columns cols =
          honest::Compute(close, first, last, longTerm ? honest::kLongTerms : honest::kShortTerms);
      EXPECT_EQ(t.date, List().cell(0, day));
      for (std::size_t j = 0; j < kTodayRuleColumns.size(); ++j) {
        const int c = honest::IndexOfColumn(kTodayRuleColumns[j]);
        ASSERT_EQ(t.rules[j].known, cols.has(c, day)) << w.column << " " << j;
        if (!t.rules[j].known) continue;
        const long long v = cols.values[static_cast<std::size_t>(c)][static_cast<std::size_t>(day)];
        EXPECT_EQ(t.rules[j].sign, v > 0 ? 1 : v < 0 ? -1 : 0) << w.column << " " << j;
        ++compared;
      }
    }
    EXPECT_GT(compared, 100);
  }
}

}  // namespace
}  // namespace tavrine
