// One stock selection by code on a full stock list: look-up, extraction with
// every indicator pass, zero fills, window copy and the priced-row count.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "app/workspace.h"
#include "bench_support.h"

namespace tavrine {
namespace {

using tavrine::bench::QuietPlatform;

// 199 stocks over 4860 days, random walks of whole and half yen.
void FillStockList(Workspace& ws) {
  std::mt19937 gen(20240601);
  std::normal_distribution<double> step(0.0, 0.015);
  ws.StockList.set(0, 0, "日付");
  for (int r = 1; r <= 4860; ++r) {
    const int day = 45000 - r * 7 / 5;
    ws.StockList.set(0, r, DateToStr(day));
  }
  for (int c = 1; c <= 199; ++c) {
    ws.StockList.set(c, 0, std::to_string(1000 + c) + " 銘柄" + std::to_string(c));
    double price = 300.0 + 40.0 * c;
    for (int r = 4860; r >= 1; --r) {
      price *= 1.0 + step(gen);
      if (price < 10) price = 10;
      const double half = static_cast<long long>(price * 2) / 2.0;
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.1f", half);
      std::string s(buf);
      if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
      ws.StockList.set(c, r, s);
    }
  }
  ws.StockList.setRowCount(4861);
  auto& st = ws.SeriesTable;
  st.set(1, 4864, "4860");
  st.set(4, 4862, "4");
  st.set(17, 4862, "1");
  st.set(4, 4863, "0");
  st.set(3, 4864, "1");
}

void BM_SelectionByCode(benchmark::State& state) {
  QuietPlatform platform;
  Workspace ws(platform);
  FillStockList(ws);
  // A different stock each time, so no selection finds the last one's cells.
  const char* const codes[] = {"1123", "1057", "1181", "1009"};
  int next = 0;
  for (auto _ : state) {
    ws.form.setText("Edit1", codes[next]);
    next = (next + 1) % 4;
    ws.chains.Button27Click();
    ws.chains.Button3Click();
    ws.series.Button9Click();
    ws.series.Button21Click();
    ws.series.Button24Click();
    ws.series.Button12Click();
    benchmark::DoNotOptimize(ws.SeriesTable.cell(1, 1));
  }
  if (!platform.lastError.empty() || ws.SeriesTable.cell(3, 4864) != "1")
    state.SkipWithError("selection failed");
}
BENCHMARK(BM_SelectionByCode)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace tavrine

BENCHMARK_MAIN();
