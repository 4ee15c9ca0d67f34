// A rule press and a term switch over a full 4860-day series.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "app/stock_money.h"
#include "app/workspace.h"
#include "bench_support.h"
#include "store/price_store.h"
#include "store/text.h"

namespace tavrine {
namespace {

using tavrine::bench::QuietPlatform;

// A stock of 4860 trading days with a random walk of closes, extracted into
// CalcTable and windowed into SeriesTable the way a stock selection does.
struct Loaded {
  QuietPlatform platform;
  Workspace ws{platform};

  explicit Loaded(Judging judging = Judging::Hindsight) {
    ws.judging = judging;
    auto& list = ws.StockList;
    list.set(0, 0, "日付");
    list.set(4, 0, "7203トヨタ");
    std::mt19937 rng(42);
    long double price = 2000;
    const int first = DaysFromCivil(2003, 1, 6);
    int day = first + 7000;
    for (int r = 1; r <= 4860; ++r) {
      day -= (r % 5 == 0) ? 3 : 1;
      price *= 1 + (static_cast<int>(rng() % 401) - 200) / 10000.0L;
      list.set(0, r, DateToStr(day));
      list.setInt(4, r, std::llround(price));
    }
    auto& st = ws.SeriesTable;
    st.set(1, 4864, "4860");
    st.set(4, 4862, "4");
    st.set(17, 4862, "1");
    st.set(4, 4863, "0");
    st.set(7, 4862, "7");
    st.set(7, 4863, "1");
    st.set(11, 4864, "0");
    st.set(12, 4862, "0");
    st.set(3, 4863, "800");
    st.set(1, 4863, "1");
    ws.StatsTable.set(13, 3, "S1");
    ws.chains.Button3Click();
    ws.series.Button9Click();
    ws.series.Button21Click();
    ws.series.Button24Click();
    ws.series.Button12Click();
  }
};

void BM_RulePress(benchmark::State& state, const char* button) {
  Loaded l;
  for (auto _ : state) {
    l.ws.rules.Button37Click(button);
    benchmark::DoNotOptimize(l.ws.StatsTable.cell(11, 3));
  }
  if (!l.platform.lastError.empty()) state.SkipWithError(l.platform.lastError.c_str());
  state.counters["trades"] = StrToInt(l.ws.SeriesTable.cell(6, 4864));
}
BENCHMARK_CAPTURE(BM_RulePress, S1, "Button37")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RulePress, G4, "Button74")->Unit(benchmark::kMillisecond);

// The same presses judged honestly: the walk over every day, trades at the
// next day's close.
void BM_RulePressHonest(benchmark::State& state, const char* button) {
  Loaded l(Judging::Honest);
  for (auto _ : state) {
    l.ws.rules.Button37Click(button);
    benchmark::DoNotOptimize(l.ws.StatsTable.cell(11, 3));
  }
  if (!l.platform.lastError.empty()) state.SkipWithError(l.platform.lastError.c_str());
  state.counters["trades"] = StrToInt(l.ws.SeriesTable.cell(6, 4864));
}
BENCHMARK_CAPTURE(BM_RulePressHonest, S1, "Button37")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RulePressHonest, G4, "Button74")->Unit(benchmark::kMillisecond);

// The honest press with the per-stock money: a price store holding every
// day's open (TAVRINE_HOME a temporary folder), a rate commission with a
// minimum and one tick of slippage, the trades replayed in yen.
void BM_RulePressWithCosts(benchmark::State& state, const char* button) {
  std::string dir =
      (std::filesystem::temp_directory_path() / "tavrine-bench-costs.XXXXXX").string();
  if (!mkdtemp(dir.data())) std::abort();
  setenv("TAVRINE_HOME", dir.c_str(), 1);
  setenv("TAVRINE_ROOT", dir.c_str(), 1);
  Loaded l(Judging::Honest);
  std::vector<StoredBar> stored;
  for (int r = 4860; r >= 1; --r) {
    int day = 0;
    long double close = 0;
    if (!TryParseDate(l.ws.StockList.cell(0, r), day) ||
        !TryStrToFloat(l.ws.StockList.cell(4, r), close))
      continue;
    StoredBar b;
    b.code = "7203";
    b.day = day;
    b.close = static_cast<double>(close);
    b.open = *b.close - 3;
    b.high = *b.close + 5;
    b.low = *b.close - 5;
    b.stopHigh = r % 97 == 0;
    b.source = PriceSource::Import;
    stored.push_back(b);
  }
  if (!KeepPrices(stored).empty()) state.SkipWithError("no price store");
  std::string error;
  money::ParseCommission("rate:0.1:100", l.ws.costModel.commission, error);
  l.ws.costModel.slipTicks = 1;
  l.ws.costModel.set = true;
  long double net = 0;
  for (auto _ : state) {
    l.ws.rules.Button37Click(button);
    const std::optional<StockMoney> m = CurrentStockMoney(l.ws);
    net = m ? m->result.net() : 0;
    benchmark::DoNotOptimize(net);
  }
  if (!l.platform.lastError.empty()) state.SkipWithError(l.platform.lastError.c_str());
  state.counters["trades"] = StrToInt(l.ws.SeriesTable.cell(6, 4864));
  state.counters["net"] = static_cast<double>(net);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK_CAPTURE(BM_RulePressWithCosts, S1, "Button37")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RulePressWithCosts, G4, "Button74")->Unit(benchmark::kMillisecond);

// The extraction with its passes, in each way of judging.
void BM_Extraction(benchmark::State& state, Judging judging) {
  Loaded l(judging);
  for (auto _ : state) {
    l.ws.chains.Button3Click();
    benchmark::DoNotOptimize(l.ws.CalcTable.cell(7, 1));
  }
  if (!l.platform.lastError.empty()) state.SkipWithError(l.platform.lastError.c_str());
}
BENCHMARK_CAPTURE(BM_Extraction, Hindsight, Judging::Hindsight)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Extraction, Honest, Judging::Honest)->Unit(benchmark::kMillisecond);

// The same press with the middle-term chart drawn first, as the window has it.
void BM_RulePressDrawn(benchmark::State& state, const char* button) {
  Loaded l;
  l.ws.chartView.Button8Click();
  for (auto _ : state) {
    l.ws.rules.Button37Click(button);
    benchmark::DoNotOptimize(l.ws.StatsTable.cell(11, 3));
  }
  if (!l.platform.lastError.empty()) state.SkipWithError(l.platform.lastError.c_str());
  state.counters["trades"] = StrToInt(l.ws.SeriesTable.cell(6, 4864));
}
BENCHMARK_CAPTURE(BM_RulePressDrawn, S1, "Button37")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RulePressDrawn, G4, "Button74")->Unit(benchmark::kMillisecond);

// Alternates the short and the long term, as successive presses do.
void BM_TermSwitch(benchmark::State& state) {
  Loaded l;
  for (auto _ : state) {
    l.ws.overlays.Button79Click();
    benchmark::DoNotOptimize(l.ws.CalcTable.cell(20, 1));
  }
  if (!l.platform.lastError.empty()) state.SkipWithError(l.platform.lastError.c_str());
}
BENCHMARK(BM_TermSwitch)->Unit(benchmark::kMillisecond);

void BM_TermSwitchHonest(benchmark::State& state) {
  Loaded l(Judging::Honest);
  for (auto _ : state) {
    l.ws.overlays.Button79Click();
    benchmark::DoNotOptimize(l.ws.CalcTable.cell(20, 1));
  }
  if (!l.platform.lastError.empty()) state.SkipWithError(l.platform.lastError.c_str());
}
BENCHMARK(BM_TermSwitchHonest)->Unit(benchmark::kMillisecond);

// The two directions of the switch, each timed alone.
void BM_TermSwitchTo(benchmark::State& state, bool toShort) {
  Loaded l;
  for (auto _ : state) {
    state.PauseTiming();
    if ((l.ws.SeriesTable.cell(11, 4864) == "0") != toShort) l.ws.overlays.Button79Click();
    state.ResumeTiming();
    l.ws.overlays.Button79Click();
  }
  if (!l.platform.lastError.empty()) state.SkipWithError(l.platform.lastError.c_str());
}
BENCHMARK_CAPTURE(BM_TermSwitchTo, Short, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TermSwitchTo, Long, false)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrine

namespace tavrine {
namespace {
// The steps of the short-term switch, each alone.
void BM_Step(benchmark::State& state, int step) {
  Loaded l;
  for (auto _ : state) {
    switch (step) {
      case 0:
        l.ws.overlays.Button85Click();
        break;
      case 1:
        l.ws.rules.ShortTermG();
        break;
      case 2:
        l.ws.overlays.Button80Click();
        break;
      case 3:
        l.ws.rules.ShortTermKairi();
        break;
      case 4:
        l.ws.overlays.Button30Click();
        break;
    }
  }
}
BENCHMARK_CAPTURE(BM_Step, ST, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Step, ShortG, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Step, ShortOverlay, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Step, Kairi, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Step, LongPass, 4)->Unit(benchmark::kMillisecond);
}  // namespace
}  // namespace tavrine

BENCHMARK_MAIN();
