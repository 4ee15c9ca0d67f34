// Importing 100 daily-price files of 4860 days into a generated stock list,
// through the window's entry (reading, parsing, placing, saving the list,
// the calendar and the code list). The files are written once, in the
// generated folder; every run starts from the same list.
//   updates:      the 197-stock list, files for 100 of its stocks (their own
//                 closes: an update is compared with them day by day)
//   up to limit:  a 150-stock list, files for 50 of its stocks, 47 new codes
//                 inserted in code order, and 3 more refused at the 197 limit
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/import.h"
#include "app/workspace.h"
#include "bench_support.h"
#include "sample.h"
#include "sample_folder.h"
#include "store/codec.h"
#include "store/text.h"

namespace {

using tavrine::bench::QuietPlatform;
using tavrine::bench::SampleFolder;
namespace sample = tavrine::sample;

struct Setup {
  SampleFolder folder{"tavrine-import-bench"};
  QuietPlatform platform;
  std::unique_ptr<tavrine::Workspace> ws;
  std::unique_ptr<tavrine::WorkTable> full, partial, dates;
  std::vector<tavrine::ImportFile> updates, upToLimit;

  Setup() {
    sample::Options o;
    o.dir = folder.dir;
    o.today = tavrine::DaysFromCivil(2003, 12, 26);
    const sample::Result data = sample::Build(o);
    ws = std::make_unique<tavrine::Workspace>(platform);
    ws->startup.LoadStockList();
    ws->startup.Button53Click();
    ws->calendar.Button113Click();
    full = std::make_unique<tavrine::WorkTable>(ws->StockList);
    dates = std::make_unique<tavrine::WorkTable>(ws->DateTable);

    std::vector<const sample::Stock*> listed;
    for (const auto& s : data.stocks)
      if (s.column > 0) listed.push_back(&s);
    const std::string dir = folder.dir + "/import/";
    std::filesystem::create_directories(dir);
    auto write = [&](const sample::Stock& s, const std::string& code) {
      std::string text = "Date,Open,High,Low,Close,Adj Close,Volume\n";
      text.reserve(4860 * 48);
      for (int r = 1; r <= data.days; ++r) {
        const std::int64_t v = s.close[static_cast<std::size_t>(data.lag + r - 1)];
        if (v < 0) continue;
        int y, m, d;
        tavrine::CivilFromDays(data.marketDays[static_cast<std::size_t>(data.lag + r - 1)], y, m,
                               d);
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, d);
        const std::string c = sample::PriceText(v);
        text += std::string(date) + "," + c + "," + c + "," + c + "," + c + "," + c + ",1000\n";
      }
      const std::string path = dir + code + ".csv";
      tavrine::WriteBytes(path, text);
      return tavrine::ImportFile{path, "", ""};
    };

    std::vector<tavrine::ImportFile> byStock(listed.size());
    auto fileOf = [&](std::size_t i) {
      if (byStock[i].path.empty()) byStock[i] = write(*listed[i], listed[i]->code);
      return byStock[i];
    };

    // Updates: 100 stocks spread over the full list.
    for (std::size_t k = 0; k < 100; ++k) updates.push_back(fileOf(k * listed.size() / 100));

    // The partial list leaves out every fourth stock from the second on
    // (47 of them); those come back as new codes in their places.
    std::vector<bool> kept(listed.size(), true);
    int removed = 0;
    for (std::size_t i = 1; i < listed.size() && removed < 47; i += 4, ++removed) kept[i] = false;
    partial = std::make_unique<tavrine::WorkTable>(*full);
    int to = 1;
    for (std::size_t i = 0; i < listed.size(); ++i) {
      if (!kept[i]) continue;
      for (int r = 0; r <= 4860; ++r) partial->set(to, r, full->cell(static_cast<int>(i) + 1, r));
      ++to;
    }
    for (int c = to; c <= 199; ++c)
      for (int r = 0; r <= 4860; ++r) partial->set(c, r, "");
    partial->setColCount(to + 1);
    for (std::size_t i = 0; i < listed.size() && upToLimit.size() < 50; ++i)
      if (kept[i]) upToLimit.push_back(fileOf(i));
    for (std::size_t i = 0; i < listed.size(); ++i)
      if (!kept[i]) upToLimit.push_back(fileOf(i));
    // Three codes no list holds, refused once the list is full.
    for (const char* code : {"9991", "9992", "9993"}) upToLimit.push_back(write(*listed[0], code));
  }
};

Setup& Data() {
  static Setup s;
  return s;
}

void Run(benchmark::State& state, const tavrine::WorkTable& start,
         const std::vector<tavrine::ImportFile>& files, int added, int updated, int refused) {
  Setup& d = Data();
  tavrine::ImportSummary s;
  for (auto _ : state) {
    state.PauseTiming();
    d.ws->StockList = start;
    d.ws->DateTable = *d.dates;
    state.ResumeTiming();
    s = tavrine::ImportPriceFiles(*d.ws, files);
  }
  if (s.added != added || s.updated != updated || static_cast<int>(s.refused.size()) != refused ||
      !s.errors.empty()) {
    const std::string why = "unexpected summary: " + s.Text();
    state.SkipWithError(why.c_str());
  }
  state.counters["files"] = static_cast<double>(files.size());
  state.counters["filled"] = s.filled;
}

void BM_Import100UpdatesInto197Stocks(benchmark::State& state) {
  Run(state, *Data().full, Data().updates, 0, 100, 0);
}
BENCHMARK(BM_Import100UpdatesInto197Stocks)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_Import100FilesUpToTheLimit(benchmark::State& state) {
  Run(state, *Data().partial, Data().upToLimit, 47, 50, 3);
}
BENCHMARK(BM_Import100FilesUpToTheLimit)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
