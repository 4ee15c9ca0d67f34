// The rule scan over a full generated stock list (197 stocks x 4860 days):
// ten rules, each term set, entry direction and way of judging, two worker
// threads. Wall-clock time; the portfolio benchmarks give the process's CPU
// time (every thread) beside it, the machine they run on being shared. The
// generated folder has no price store: its reads find no days.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/portfolio.h"
#include "app/portfolio_inputs.h"
#include "app/scan.h"
#include "app/workspace.h"
#include "bench_support.h"
#include "sample_folder.h"
#include "signals/today.h"
#include "store/price_store.h"

namespace {

using tavrine::bench::QuietPlatform;
using tavrine::bench::SampleFolder;

// The generated folder loaded by the start-up loader.
struct LoadedList {
  SampleFolder folder{"tavrine-scan-bench"};
  QuietPlatform platform;
  std::unique_ptr<tavrine::Workspace> ws;
  LoadedList() {
    ws = std::make_unique<tavrine::Workspace>(platform);
    ws->startup.LoadStockList();
    ws->startup.Button53Click();
  }
};

const LoadedList& List() {
  static LoadedList l;
  return l;
}

void Scan(benchmark::State& state, bool shortTerm,
          tavrine::Judging judging = tavrine::Judging::Hindsight, bool entryBuy = true) {
  const auto& list = List();
  if (!list.platform.lastError.empty()) {
    state.SkipWithError(list.platform.lastError.c_str());
    return;
  }
  tavrine::ScanOptions o;
  o.shortTerm = shortTerm;
  o.backtest.entry = entryBuy ? tavrine::EntrySide::Buy : tavrine::EntrySide::Sell;
  o.threads = 2;
  o.backtest.judging = judging;
  std::size_t rows = 0;
  for (auto _ : state) {
    auto result = tavrine::RunScan(list.ws->StockList, o);
    rows = result.size();
    benchmark::DoNotOptimize(result.data());
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["stocks"] = static_cast<double>(tavrine::ScanColumns(list.ws->StockList).size());
}

void BM_ScanLongEntryBuy(benchmark::State& state) { Scan(state, false); }
BENCHMARK(BM_ScanLongEntryBuy)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ScanShortEntryBuy(benchmark::State& state) { Scan(state, true); }
BENCHMARK(BM_ScanShortEntryBuy)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ScanLongHonest(benchmark::State& state) { Scan(state, false, tavrine::Judging::Honest); }
BENCHMARK(BM_ScanLongHonest)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ScanShortHonest(benchmark::State& state) { Scan(state, true, tavrine::Judging::Honest); }
BENCHMARK(BM_ScanShortHonest)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ScanLongEntrySell(benchmark::State& state) {
  Scan(state, false, tavrine::Judging::Hindsight, false);
}
BENCHMARK(BM_ScanLongEntrySell)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ScanShortEntrySell(benchmark::State& state) {
  Scan(state, true, tavrine::Judging::Hindsight, false);
}
BENCHMARK(BM_ScanShortEntrySell)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// The portfolio's inputs: one rule (S2, the long-term set, entry buy)
// judged honestly over every stock, two worker threads.
void BM_PortfolioInputsS2(benchmark::State& state) {
  const auto& list = List();
  tavrine::PortfolioInputOptions o;
  o.tag = 1;
  std::size_t trades = 0;
  for (auto _ : state) {
    auto in = tavrine::CollectPortfolioInputs(list.ws->StockList, o);
    trades = 0;
    for (const auto& s : in.stocks) trades += s.trades.size();
    benchmark::DoNotOptimize(in.stocks.data());
  }
  state.counters["trades"] = static_cast<double>(trades);
}
BENCHMARK(BM_PortfolioInputsS2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The portfolio engine alone over S2's honest trades of every stock (inputs
// and the store's days read once): five slots, a commission, a tick of
// slippage, tax.
void BM_PortfolioEngineS2(benchmark::State& state) {
  const auto& list = List();
  tavrine::PortfolioInputOptions io;
  io.tag = 1;
  const tavrine::PortfolioInputs in = tavrine::CollectPortfolioInputs(list.ws->StockList, io);
  std::vector<tavrine::portfolio::Stock> stocks;
  const tavrine::WorkTable& t = list.ws->StockList;
  for (const auto& s : in.stocks) {
    std::vector<tavrine::ListClose> closes;
    for (int r = 1; r < t.rowCount(); ++r) {
      int day = 0;
      if (tavrine::TryParseDate(t.cell(0, r), day)) closes.push_back({day, t.cell(s.column, r)});
    }
    stocks.push_back(tavrine::PortfolioStockDays(
        s, closes, tavrine::ReadStoredBars(tavrine::PriceStorePath(), s.code)));
  }
  tavrine::portfolio::Options o;
  o.costs.commission.kind = tavrine::Commission::Kind::Rate;
  o.costs.commission.ratePercent = 0.1L;
  o.costs.slipTicks = 1;
  std::size_t trades = 0;
  for (auto _ : state) {
    auto r = tavrine::portfolio::Run(stocks, o);
    trades = r.trades.size();
    benchmark::DoNotOptimize(r.equity.data());
  }
  state.counters["trades"] = static_cast<double>(trades);
  state.counters["stocks"] = static_cast<double>(stocks.size());
}
BENCHMARK(BM_PortfolioEngineS2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The whole portfolio run: inputs, the store's days, the engine, the statistics.
void BM_PortfolioRunS2(benchmark::State& state) {
  const auto& list = List();
  tavrine::PortfolioInputOptions io;
  io.tag = 1;
  tavrine::portfolio::Options o;
  for (auto _ : state) {
    auto run = tavrine::RunPortfolio(list.ws->StockList, io, o, tavrine::PriceStorePath());
    benchmark::DoNotOptimize(run.result.equity.data());
  }
}
BENCHMARK(BM_PortfolioRunS2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The run's pieces after the inputs, each over every stock of S2's inputs:
// the store's days read, the list's closes matched to them, the statistics
// of the engine's result.
struct PortfolioPieces {
  tavrine::PortfolioInputs in;
  std::vector<std::vector<tavrine::StoredBar>> stored;
  std::vector<tavrine::portfolio::Stock> stocks;
  tavrine::portfolio::Result result;
  // The stored days as read once, by the stock's place in the inputs.
  tavrine::StoredBarsOf StoredOf() const {
    return [this](const tavrine::PortfolioStock& s) {
      return stored[static_cast<std::size_t>(&s - in.stocks.data())];
    };
  }
  PortfolioPieces() {
    tavrine::PortfolioInputOptions io;
    io.tag = 1;
    in = tavrine::CollectPortfolioInputs(List().ws->StockList, io);
    for (const auto& s : in.stocks)
      stored.push_back(tavrine::ReadStoredBars(tavrine::PriceStorePath(), s.code));
    stocks = tavrine::PortfolioStocks(List().ws->StockList, in.stocks, StoredOf(), 2);
    result = tavrine::portfolio::Run(stocks, tavrine::portfolio::Options{});
  }
};
const PortfolioPieces& Pieces() {
  static const PortfolioPieces p;
  return p;
}

void BM_PortfolioStoreReadS2(benchmark::State& state) {
  const auto& p = Pieces();
  std::size_t bars = 0;
  for (auto _ : state) {
    bars = 0;
    for (const auto& s : p.in.stocks)
      bars += tavrine::ReadStoredBars(tavrine::PriceStorePath(), s.code).size();
    benchmark::DoNotOptimize(bars);
  }
  state.counters["bars"] = static_cast<double>(bars);
}
BENCHMARK(BM_PortfolioStoreReadS2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PortfolioStockDaysS2(benchmark::State& state) {
  const auto& p = Pieces();
  for (auto _ : state) {
    auto stocks = tavrine::PortfolioStocks(List().ws->StockList, p.in.stocks, p.StoredOf(), 2);
    benchmark::DoNotOptimize(stocks.data());
  }
}
BENCHMARK(BM_PortfolioStockDaysS2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PortfolioStatsS2(benchmark::State& state) {
  const auto& p = Pieces();
  for (auto _ : state) {
    auto stats = tavrine::PortfolioStats(p.result, tavrine::portfolio::Options{}.capital);
    benchmark::DoNotOptimize(stats);
  }
  state.counters["days"] = static_cast<double>(p.result.equity.size());
}
BENCHMARK(BM_PortfolioStatsS2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Today's signals of every stock, one thread.
void TodaySignals(benchmark::State& state, bool longTerm) {
  const auto& list = List();
  std::size_t rows = 0;
  for (auto _ : state) {
    auto result = tavrine::TodaySignals(list.ws->StockList, longTerm);
    rows = result.size();
    benchmark::DoNotOptimize(result.data());
  }
  state.counters["stocks"] = static_cast<double>(rows);
}
void BM_TodaySignalsLong(benchmark::State& state) { TodaySignals(state, true); }
BENCHMARK(BM_TodaySignalsLong)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_TodaySignalsShort(benchmark::State& state) { TodaySignals(state, false); }
BENCHMARK(BM_TodaySignalsShort)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
