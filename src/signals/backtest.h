// Trade simulation over the history, its trade list and statistics in StatsTable, the figures of
// the listed trades and their markers on the chart.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "signals/backtest_options.h"
#include "signals/figures.h"
#include "signals/walk.h"
#include "store/state.h"

namespace tavrine {

class Backtest {
 public:
  explicit Backtest(State& ws) : ws_(ws) {}

  // Hidden; the S1 run after a stock is shown (picker, collection show step): StatsTable cleared,
  // ctl::RuleNumber "7", ctl::Condition "S1", Button81 "S", then RunChain.
  void Button51Click();
  // Hidden; by RunChain when ctl::EntryDirection is "1": walks the rule's CalcTable column buying
  // on a positive signal; trades into StatsTable staging rows,
  // ctl::PositionFlag/TradesOpened/TradesClosed.
  void Button41Click();
  // Hidden; by RunChain when ctl::EntryDirection is "0": the same walk entering on a negative
  // signal.
  void Button48Click();
  // Typing in the minimum-ratio box MaskEdit1: sets its edit mask to "9.99"; the next run filters
  // by it.
  void MaskEdit1Change();

  // Steps of the backtest chain, also run by the rule buttons.
  void ClearStats();      // rows 1..2000, columns 0..42
  void WriteHeaders();    // row numbers and the fixed captions of the statistics block
  void FilterAndOrder();  // minimum ratio, newest first, holding days
  void ClearStaging();    // columns 1..15 of rows 1001..2000
  void RatioStats();
  void DayStats();
  // Headers, walk in the entry direction, filter, staging clear, and the
  // statistics when no minimum ratio is given; then the figures of the
  // listed trades and their markers on the chart.
  void RunChain();
  // The same chain judged honestly over another table laid out as CalcTable,
  // with its data in rows first .. last: the series with a price added by
  // hand as its newest day.
  void RunChainOn(const WorkTable& rows, int first, int last);

  // Figures of the trades the last chain listed. Before the first chain, and
  // after a chain that stopped with an error, they are those of no trade.
  const BacktestFigures& figures() const { return figures_; }
  // The trades the last walk closed, oldest first, by their rows of the
  // walked table.
  const std::vector<walk::Trade>& closedTrades() const { return closed_; }
  // The entry row of the trade the last walk left open, 0 when none is.
  int openEntryRow() const { return openEntryRow_; }
  // The ratio ranges and holding days the statistics block holds now.
  Distributions distributions() const { return ReadDistributions(ws_.StatsTable); }
  // The condition label of the last run ("S1" .. "ST", with the term), as
  // the statistics block shows it.
  std::string condition() const;
  // True when the walk enters on a buy (入買), false on a sell (入売).
  bool entryBuy() const;
  // What the rule buttons run with: the window's way of judging and entry
  // direction, no cost.
  BacktestOptions options() const;
  // Puts the listed trades' entry and exit days that lie in the rows the
  // chart shows on the marker lines buys and sells, at the day's close; none
  // when the figures count no trade.
  void FillTradeMarkers();

  // The list holds at most this many trades (the newest ones).
  static constexpr int kMaxListed = 1000;
  // Longest holding time that has a histogram row inside the table.
  static constexpr int kMaxHistogramDays = 1993;
  // Note written beside the statistics when older trades had to be left out.
  static constexpr const char* kTruncatedNote = "一覧は最新1000件";

 private:
  void Walk(const BacktestOptions& options);
  // The table the chain walks: RunChainOn's rows, else CalcTable.
  const WorkTable& walked() const;
  int ListedTrades() const;
  // FilterAndOrder without a minimum ratio, from the trades the walk just
  // closed rather than from their staged texts; the rows it lists.
  std::vector<ListedTrade> ListClosed(const BacktestOptions& options);
  // RatioStats and DayStats of the listed trades as rows 1 .. n hold them.
  std::string RatioStats(const std::vector<ListedTrade>& listed);
  void DayStats(const std::vector<ListedTrade>& listed, const std::string& overallAverage);

  State& ws_;
  // The rows RunChainOn walks instead of CalcTable's.
  const WorkTable* source_ = nullptr;
  int first_ = 0, last_ = 0;
  BacktestFigures figures_;
  std::vector<walk::Trade> closed_;        // the last walk's closed trades, oldest first
  int openEntryRow_ = 0;                   // the last walk's open trade, 0 none
  std::vector<MarkerPoint> buys_, sells_;  // reused between fills
};

}  // namespace tavrine
