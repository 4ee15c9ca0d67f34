// Start-up cost of the stock list: loading a full 197-stock x 4860-day list
// and the quoted-blank clean-up that follows it, on a fresh Workspace each
// time. The data folder is generated once.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/workspace.h"
#include "bench_support.h"
#include "sample.h"
#include "sample_folder.h"
#include "store/text.h"

namespace {

using tavrine::bench::QuietPlatform;
using tavrine::bench::SampleFolder;

const SampleFolder& Folder() {
  static SampleFolder f("tavrine-bench");
  return f;
}

void BM_LoadStockListAndCleanUp(benchmark::State& state) {
  Folder();
  QuietPlatform p;
  for (auto _ : state) {
    state.PauseTiming();
    auto ws = std::make_unique<tavrine::Workspace>(p);
    state.ResumeTiming();
    ws->startup.LoadStockList();
    ws->startup.Button53Click();
    benchmark::DoNotOptimize(ws->StockList.cell(4, 4860));
    state.PauseTiming();
    ws.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LoadStockListAndCleanUp)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_LoadStockList(benchmark::State& state) {
  Folder();
  QuietPlatform p;
  for (auto _ : state) {
    state.PauseTiming();
    auto ws = std::make_unique<tavrine::Workspace>(p);
    state.ResumeTiming();
    ws->startup.LoadStockList();
    state.PauseTiming();
    ws.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LoadStockList)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_QuotedBlankCleanUp(benchmark::State& state) {
  Folder();
  QuietPlatform p;
  tavrine::Workspace ws(p);
  ws.startup.LoadStockList();
  for (auto _ : state) ws.startup.Button53Click();
}
BENCHMARK(BM_QuotedBlankCleanUp)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_GenerateFullFolder(benchmark::State& state) {
  std::string t = (std::filesystem::temp_directory_path() / "tavrine-bench-gen.XXXXXX").string();
  if (!mkdtemp(t.data())) std::abort();
  tavrine::sample::Options o;
  o.dir = t;
  o.today = tavrine::DaysFromCivil(2003, 12, 26);
  for (auto _ : state) tavrine::sample::Generate(o);
  std::error_code ec;
  std::filesystem::remove_all(t, ec);
}
BENCHMARK(BM_GenerateFullFolder)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
