// A term press as the user sees it: the engine's term draw and redraw plus the
// chart widget taking the new points and rendering, on a full sample folder;
// and a full redraw of 4,800 daily candles with their volume, five averages
// and the lower pane.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <cstdlib>
#include <string>

#include "app/workspace.h"
#include "bench_support.h"
#include "gui/chart_widget.h"
#include "sample_folder.h"
#include "store/chart_model.h"
#include "store/text.h"

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

// 4,800 days, every one with a candle and a volume, newest at row 1.
struct CandleFixture {
  tavrine::ChartModel model;
  tavrine::gui::ChartExtras extras;
  tavrine::gui::ChartWidget widget{model};
  static constexpr int kDays = 4800;
  CandleFixture() {
    const int newest = tavrine::DaysFromCivil(2026, 12, 8);
    std::vector<double> close(kDays + 1);
    for (int r = 1; r <= kDays; ++r)
      close[r] = 2000 + 600 * std::sin(r / 300.0) + 80 * std::sin(r / 7.0);
    for (int r = kDays; r >= 1; --r) {
      const int day = newest - (r - 1);
      tavrine::PriceBar b;
      b.day = day;
      b.open = close[r] - 15 * std::sin(r * 1.7);
      b.high = std::max(*b.open, close[r]) + 12;
      b.low = std::min(*b.open, close[r]) - 9;
      b.volume = 1.5e6 + 1e6 * std::abs(std::sin(r / 11.0));
      b.close = std::to_string(static_cast<int>(close[r]));
      extras.bars.push_back(b);
    }
    const std::string label0 = tavrine::DateToStr(newest);
    for (int r = 1; r <= kDays; ++r) {
      const std::string label = tavrine::DateToStr(newest - (r - 1));
      const double c = static_cast<int>(close[r]);
      model.add(tavrine::ChartModel::owarine, r, c, label);
      for (int a = 1; a <= 5; ++a) model.add(a, r, c + 20 * a * std::sin(r / (40.0 * a)), label);
      for (int s = tavrine::ChartModel::S1; s <= tavrine::ChartModel::S5; ++s)
        model.add(s, r, 300 * std::sin(r / (20.0 * (s - 5))), label);
      model.add(tavrine::ChartModel::jiku, r, 0, label);
    }
    widget.extrasSource = [this] { return extras; };
    widget.resize(1280, 620);
    widget.redraw();
  }
};

void FullRedraw(benchmark::State& state) {
  CandleFixture c;
  if (c.widget.candles().size() != CandleFixture::kDays) {
    state.SkipWithError("the candles were not drawn");
    return;
  }
  for (auto _ : state) {
    c.widget.redraw();
    QPixmap shown = c.widget.grab();
    benchmark::DoNotOptimize(shown);
  }
}

BENCHMARK(FullRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two halves: taking the points in, and painting them.
void RedrawOnly(benchmark::State& state) {
  CandleFixture c;
  for (auto _ : state) c.widget.redraw();
}
void PaintOnly(benchmark::State& state) {
  CandleFixture c;
  for (auto _ : state) {
    QPixmap shown = c.widget.grab();
    benchmark::DoNotOptimize(shown);
  }
}
BENCHMARK(RedrawOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PaintOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// One wheel step (in, then out again on the next) around the middle, with
// the paint the user waits for.
void WheelStep(benchmark::State& state) {
  CandleFixture c;
  const QPoint at(640, 300);
  int delta = 120;
  for (auto _ : state) {
    QWheelEvent e(at, c.widget.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(c.widget.viewport(), &e);
    delta = -delta;
    QPixmap shown = c.widget.grab();
    benchmark::DoNotOptimize(shown);
  }
}
// One step of a drag pan over a quarter of the days, back and forth.
void DragStep(benchmark::State& state) {
  CandleFixture c;
  const auto full = c.widget.fullRows();
  c.widget.setView(full.first + 1000, full.first + 2200);
  QTest::mousePress(c.widget.viewport(), Qt::LeftButton, {}, QPoint(600, 300));
  int step = 0;
  for (auto _ : state) {
    const QPoint at(600 + ((step++ % 20) - 10) * 8, 300);
    QMouseEvent move(QEvent::MouseMove, at, c.widget.viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(c.widget.viewport(), &move);
    QPixmap shown = c.widget.grab();
    benchmark::DoNotOptimize(shown);
  }
  QTest::mouseRelease(c.widget.viewport(), Qt::LeftButton, {}, QPoint(600, 300));
}
// The weeks and the months of 4,860 days, each with a candle and a volume.
void Aggregation(benchmark::State& state) {
  std::vector<tavrine::PriceBar> days;
  const int newest = tavrine::DaysFromCivil(2026, 12, 8);
  for (int d = newest - 6900; days.size() < 4860; ++d) {
    if ((d + 3) % 7 >= 5) continue;  // Saturday and Sunday
    tavrine::PriceBar b;
    b.day = d;
    const double c = 2000 + 600 * std::sin(d / 300.0);
    b.open = c - 5;
    b.high = c + 12;
    b.low = c - 9;
    b.volume = 1.5e6;
    b.close = std::to_string(static_cast<int>(c));
    days.push_back(b);
  }
  for (auto _ : state) {
    auto weeks = tavrine::WeeklyBars(days);
    auto months = tavrine::MonthlyBars(days);
    benchmark::DoNotOptimize(weeks);
    benchmark::DoNotOptimize(months);
  }
}
BENCHMARK(Aggregation)->Unit(benchmark::kMicrosecond);

BENCHMARK(WheelStep)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DragStep)->Unit(benchmark::kMillisecond)->UseRealTime();

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
