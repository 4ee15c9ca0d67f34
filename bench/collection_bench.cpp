// A full quick collection (77 pages, 3850 rows) from the loopback quote site,
// shown as the current stock, with a fresh cache each time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../tools/quote-server/quote_site.h"
#include "app/workspace.h"
#include "bench_support.h"
#include "store/codec.h"
#include "store/text.h"

namespace {

using namespace tavrine;

using tavrine::bench::QuietPlatform;

struct Fixture {
  std::filesystem::path dir;
  std::vector<int> days;

  Fixture() {
    dir = std::filesystem::temp_directory_path() /
          ("tavrine-collection-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "tavrine");
    std::filesystem::create_directories(dir / "market");
    ::setenv("TAVRINE_HOME", dir.c_str(), 1);
    ::setenv("TAVRINE_ROOT", dir.c_str(), 1);
    ::setenv("TAVRINE_TODAY", "2003/12/26", 1);
    for (int d = DaysFromCivil(2003, 12, 26); days.size() < 4000; --d) {
      const int wd = ((d % 7) + 7 + 6) % 7;
      if (wd != 0 && wd != 6) days.push_back(d);
    }
    // 4000 trading days of a stock whose adjusted close wanders between
    // 1,000 and 9,999 yen.
    std::string market;
    for (std::size_t i = 0; i < days.size(); ++i) {
      const std::string c = std::to_string(1000 + static_cast<int>((i * 37) % 9000));
      market += DateToStr(days[i]) + "," + c + "," + c + "," + c + "," + c + ",2345600," + c + "\n";
    }
    std::ofstream(dir / "market" / "7203.csv", std::ios::binary) << market;
    WriteText((dir / "tavrine" / "zenncode.txt").string(),
              "コード\t名称\r\n7203\tトヨタ自動車\t東証1部\r\n");
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

void Prepare(Workspace& ws, const Fixture& f) {
  ws.StockList.set(0, 0, "日付");
  ws.StockList.set(1, 0, "1301 極洋");
  for (int r = 1; r <= 4860 && r <= static_cast<int>(f.days.size()); ++r) {
    ws.StockList.set(0, r, DateToStr(f.days[static_cast<std::size_t>(r - 1)]));
    ws.StockList.set(1, r, "250");
  }
  ws.StockList.setRowCount(4001);
  ws.DateTable.setRowCount(4001);
  ws.DateTable.set(0, 0, "日付");
  for (int r = 1; r <= 4000; ++r)
    ws.DateTable.set(0, r, DateToStr(f.days[static_cast<std::size_t>(r - 1)]));
  ws.startup.WriteStartValues();
  auto& st = ws.SeriesTable;
  st.set(1, 4864, "4860");
  st.set(11, 4864, "0");
}

void BM_FullCollection(benchmark::State& state) {
  Fixture f;
  quotesite::Options o;
  o.market = f.dir.string();
  quotesite::Site site(o);
  const int port = site.bind(0);
  site.start();
  const std::string host = "127.0.0.1:" + std::to_string(port);
  ::setenv("TAVRINE_QUOTE_HOST", host.c_str(), 1);

  QuietPlatform platform;
  Workspace ws(platform);
  Prepare(ws, f);
  ws.form.setText("Edit18", "7203");
  for (auto _ : state) {
    state.PauseTiming();
    // A fresh cache, as after start-up, so every run fetches all pages.
    ws.CacheTable.clearAll();
    ws.CacheTable.set(0, 0, "0");
    ws.SeriesTable.set(17, 4863, "0");
    state.ResumeTiming();
    Event ev;
    ws.dispatch("Button89", ev);
  }
  if (!platform.lastError.empty() || ws.StockList.cell(199, 3850).empty() ||
      ws.SeriesTable.cell(4, 4862) != "199")
    state.SkipWithError("the collection did not complete");
  state.counters["requests_per_run"] =
      static_cast<double>(site.count()) / static_cast<double>(state.iterations());
  site.stop();
}
BENCHMARK(BM_FullCollection)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
