// Term draw of the chart from a full window: a stock with 4860 trading days,
// every indicator column filled, the control cells as after a stock selection.
#include <benchmark/benchmark.h>

#include <string>

#include "app/workspace.h"
#include "bench_support.h"
#include "store/platform.h"
#include "store/text.h"

namespace {

using namespace tavrine;

using tavrine::bench::QuietPlatform;

void FillStock(Workspace& ws) {
  auto& t = ws.SeriesTable;
  const int newest = DaysFromCivil(2024, 12, 30);
  for (int r = 1; r <= 4860; ++r) {
    t.set(0, r, DateToStr(newest - r * 7 / 5));
    const int close = 1500 + (r * 37) % 400;
    t.setInt(1, r, close);
    for (int c = 2; c <= 6; ++c) t.setInt(c, r, close - 10 * c);
    for (int c = 7; c <= 16; ++c) t.setInt(c, r, (r * c) % 200 - 100);
    t.set(17, r, "0");
    t.setInt(18, r, r);
    for (int c = 19; c <= 41; ++c) t.setInt(c, r, (r + c) % 150 - 75);
  }
  t.set(2, 4863, "1");
  t.set(2, 4862, "4858");
  t.set(1, 4862, "4860");
  t.set(12, 4862, "0");
  t.set(1, 4863, "1");
  t.set(5, 4863, "1700");
  t.set(4, 4864, "7203 ベンチ");
  ws.form.setText("Button118", "狭");
  ws.form.setText("Button81", "S");
}

void Draw(benchmark::State& state, const char* sender) {
  QuietPlatform platform;
  Workspace ws(platform);
  FillStock(ws);
  for (auto _ : state) {
    ws.chartView.DrawChartClick(sender);
    benchmark::DoNotOptimize(ws.chart.line(0).points.data());
  }
}

void BM_DrawLongTerm(benchmark::State& state) { Draw(state, "Button2"); }
void BM_DrawMiddleTerm(benchmark::State& state) { Draw(state, "DrawChart"); }
void BM_DrawShortTerm(benchmark::State& state) { Draw(state, "Button4"); }

BENCHMARK(BM_DrawLongTerm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawMiddleTerm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawShortTerm)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
