// A term press as the user sees it: the engine's term draw and redraw plus the
// chart widget taking the new points and rendering, on a full sample folder.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include <cstdlib>

#include "app/workspace.h"
#include "bench_support.h"
#include "gui/chart_widget.h"
#include "sample_folder.h"

namespace {

using tavrine::bench::QuietPlatform;

struct Fixture {
  tavrine::bench::SampleFolder folder{"tavrine-cwb"};
  QuietPlatform platform;
  tavrine::Workspace ws{platform};
  tavrine::gui::ChartWidget widget{ws.chart};
  Fixture() {
    setenv("TAVRINE_TODAY", "2003/12/26", 1);
    ws.dispatch("Button52", tavrine::Event{});
    widget.resize(1280, 500);
    widget.refresh();
  }
};

Fixture* fx = nullptr;

void TermPress(benchmark::State& state, const char* button) {
  for (auto _ : state) {
    fx->ws.dispatch(button, tavrine::Event{});
    fx->widget.refresh();
    QPixmap shown = fx->widget.grab();  // the paint the user waits for
    benchmark::DoNotOptimize(shown);
  }
}

BENCHMARK_CAPTURE(TermPress, long_term, "Button2")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(TermPress, middle_term, "DrawChart")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  Fixture f;
  fx = &f;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fx = nullptr;
  return 0;
}
