// The price store: one whole-market answer of the daily bars (4,400
// records, every field the service gives) parsed and kept in one
// transaction, as an update keeps a day; one stock's 4,860 days read back,
// as the driver's bars query reads them; and the opening (with its
// integrity check) of a store holding a synthetic year of the whole market
// (4,400 stocks, 245 days). The year's size on disk is the counter year_MB.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "store/price_store.h"
#include "store/text.h"
#include "web/jquants_client.h"
#include "web/service_prices.h"

namespace {

using namespace tavrine;
namespace fs = std::filesystem;

constexpr int kStocks = 4400;
constexpr int kYearDays = 245;
constexpr int kLongDays = 4860;

// A price of a stock on a day, in yen, from a small generator: the same
// for the same stock and day.
double PriceOf(int stock, int day, int salt) {
  std::uint64_t x = static_cast<std::uint64_t>(stock) * 0x9E3779B97F4A7C15ULL +
                    static_cast<std::uint64_t>(day) * 0xBF58476D1CE4E5B9ULL +
                    static_cast<std::uint64_t>(salt);
  x ^= x >> 31;
  x *= 0x94D049BB133111EBULL;
  x ^= x >> 29;
  return 100 + static_cast<double>(x % 900000) / 10;
}

std::string Code(int stock) { return std::to_string(1300 + stock); }

std::string IsoDate(int day) {
  std::string d = DateToStr(day);
  for (char& c : d)
    if (c == '/') c = '-';
  return d;
}

// The service's answer of one day for the whole market.
std::string MarketPage(int day) {
  std::string t = "{\"data\":[";
  const std::string date = IsoDate(day);
  for (int s = 0; s < kStocks; ++s) {
    const double c = PriceOf(s, day, 0), o = PriceOf(s, day, 1);
    const double h = std::max(c, o) + 5, l = std::min(c, o) - 5;
    const long long vo = 1000 + static_cast<long long>(PriceOf(s, day, 2)) * 100;
    const std::string p[] = {FloatToStr(o), FloatToStr(h), FloatToStr(l), FloatToStr(c)};
    if (s) t += ',';
    t += "{\"Date\":\"" + date + "\",\"Code\":\"" + Code(s) + "0\",\"O\":" + p[0] +
         ",\"H\":" + p[1] + ",\"L\":" + p[2] + ",\"C\":" + p[3] +
         ",\"UL\":\"0\",\"LL\":\"0\",\"Vo\":" + std::to_string(vo) +
         ",\"Va\":" + FloatToStr(static_cast<long double>(vo) * c) +
         ",\"AdjFactor\":1,\"AdjO\":" + p[0] + ",\"AdjH\":" + p[1] + ",\"AdjL\":" + p[2] +
         ",\"AdjC\":" + p[3] + ",\"AdjVo\":" + std::to_string(vo) + "}";
  }
  return t + "],\"pagination_key\":null}";
}

struct Folder {
  fs::path dir;
  Folder(const char* what) {
    dir = fs::temp_directory_path() /
          ("tavrine-price-store-bench-" + std::string(what) + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string store() const { return (dir / "prices.sqlite").string(); }
};

// A store of a year of the whole market, one transaction a day as the
// updates make it, and one stock with 4,860 days.
struct YearStore : Folder {
  double yearBytes = 0;
  YearStore() : Folder("year") {
    const int first = DaysFromCivil(2024, 1, 4);
    {
      PriceStore kept(store());
      for (int d = 0; d < kYearDays; ++d)
        kept.Put(ServiceBars(ParseBarsPage(MarketPage(first + d))));
    }
    yearBytes = static_cast<double>(fs::file_size(store()));
    std::vector<StoredBar> longOne;
    for (int d = 0; d < kLongDays; ++d) {
      StoredBar b;
      b.code = "9999", b.day = first - kLongDays + d;
      b.open = PriceOf(0, d, 1), b.high = PriceOf(0, d, 2), b.low = PriceOf(0, d, 3);
      b.close = PriceOf(0, d, 0), b.volume = 1000;
      longOne.push_back(b);
    }
    PriceStore(store()).Put(longOne);
  }
};

YearStore& Year() {
  static YearStore y;
  return y;
}

// The store is opened once, as an update opens it once for the run.
void BM_ParseAndKeepOneMarketDay(benchmark::State& state) {
  Folder f("day");
  const int first = DaysFromCivil(2024, 1, 4);
  std::vector<std::string> pages;
  for (int d = 0; d < 20; ++d) pages.push_back(MarketPage(first + d));
  PriceStore store(f.store());
  std::size_t k = 0;
  for (auto _ : state) {
    const std::vector<StoredBar> bars = ServiceBars(ParseBarsPage(pages[k % pages.size()]));
    if (bars.size() != kStocks) state.SkipWithError("a record was lost");
    store.Put(bars);
    ++k;
  }
}
BENCHMARK(BM_ParseAndKeepOneMarketDay)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The parse alone, for the share of the whole.
void BM_ParseOneMarketDay(benchmark::State& state) {
  const std::string page = MarketPage(DaysFromCivil(2024, 1, 4));
  for (auto _ : state) benchmark::DoNotOptimize(ServiceBars(ParseBarsPage(page)).size());
}
BENCHMARK(BM_ParseOneMarketDay)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ReadOneStocksDays(benchmark::State& state) {
  YearStore& y = Year();
  for (auto _ : state) {
    const std::vector<StoredBar> bars = ReadStoredBars(y.store(), "9999");
    if (bars.size() != kLongDays) state.SkipWithError("days missing");
    benchmark::DoNotOptimize(bars.data());
  }
  state.counters["year_MB"] = y.yearBytes / 1e6;
}
BENCHMARK(BM_ReadOneStocksDays)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_OpenAYearsStore(benchmark::State& state) {
  YearStore& y = Year();
  for (auto _ : state) {
    PriceStore store(y.store());
    if (!store.note().empty()) state.SkipWithError(store.note().c_str());
  }
}
BENCHMARK(BM_OpenAYearsStore)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
