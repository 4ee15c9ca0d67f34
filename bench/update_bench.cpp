// 一括更新 of a 197-stock list 20 trading days behind the market, from the
// in-process stand-in of the J-Quants API (no rate limit on loopback): the
// calendar, 20 days of every listed stock's bars, placing them on the list
// and the one save of the list, the calendar and the code list. Each run
// starts from the same files and a freshly started workspace (not timed).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "../tools/jquants-server/jquants_site.h"
#include "app/update.h"
#include "app/workspace.h"
#include "bench_support.h"
#include "sample.h"
#include "store/text.h"

namespace {

using namespace tavrine;
using tavrine::bench::QuietPlatform;

struct Fixture {
  std::filesystem::path dir, pristine;
  std::unique_ptr<jquantssite::Site> site;

  Fixture() {
    dir = std::filesystem::temp_directory_path() /
          ("tavrine-update-bench-" + std::to_string(::getpid()));
    pristine = dir.string() + "-pristine";
    std::filesystem::remove_all(dir);
    std::filesystem::remove_all(pristine);
    sample::Options o;
    o.dir = pristine.string();
    o.today = DaysFromCivil(2003, 12, 26);
    o.lag = 20;
    sample::Generate(o);
    ::setenv("TAVRINE_HOME", dir.c_str(), 1);
    ::setenv("TAVRINE_ROOT", dir.c_str(), 1);
    ::setenv("TAVRINE_TODAY", "2003/12/26", 1);
    ::setenv("TAVRINE_QUOTE_HOST", "127.0.0.1:9", 1);
    jquantssite::Options so;
    so.data = pristine.string();
    so.key = "bench-key";
    site = std::make_unique<jquantssite::Site>(so);
    const int port = site->bind(0);
    site->start();
    ::setenv("TAVRINE_JQUANTS_HOST", ("127.0.0.1:" + std::to_string(port)).c_str(), 1);
    ::setenv("TAVRINE_JQUANTS_KEY", "bench-key", 1);
    // A paid plan: the free plan's window ends 12 weeks before the sample's today.
    ::setenv("TAVRINE_JQUANTS_PLAN", "light", 1);
  }
  ~Fixture() {
    site->stop();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::remove_all(pristine, ec);
  }

  // The data folder as generated.
  void Reset() const {
    std::filesystem::remove_all(dir);
    std::filesystem::copy(pristine, dir, std::filesystem::copy_options::recursive);
  }
};

void BM_UpdateTwentyDays(benchmark::State& state) {
  static Fixture fx;
  QuietPlatform platform;
  for (auto _ : state) {
    state.PauseTiming();
    fx.Reset();
    auto ws = std::make_unique<Workspace>(platform);
    Event start;
    ws->dispatch("Button52", start);
    state.ResumeTiming();
    const UpdateSummary s = UpdateList(*ws, {}, false);
    if (s.days != 20 || s.stocks != 197) {
      state.SkipWithError(s.Text().c_str());
      break;
    }
    state.PauseTiming();
    ws.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_UpdateTwentyDays)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
