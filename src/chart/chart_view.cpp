#include "chart/chart_view.h"

#include <algorithm>

#include "store/calc_columns.h"
#include "store/control_cells.h"
#include "store/fifth_line.h"
#include "store/state.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

namespace {

// SeriesTable rows and columns used by the chart.
constexpr int kLastRow = stocklist::kLastDayRow;
constexpr int kThinAbove = 2000;  // plotted days above this are thinned
constexpr int kThinStep = 10;

// Drawing reads SeriesTable and writes a few of its cells; the tables are not
// repainted while the lines fill, and the wait cursor shows.
struct DrawGuard {
  explicit DrawGuard(State& ws) : wait(ws.platform), series(ws.SeriesTable), calc(ws.CalcTable) {}
  WaitCursor wait;
  SuspendRedraw series;
  SuspendRedraw calc;
};

// A cell the price and lower lines leave out: nothing there or a zero filler.
// The value the chart plots for cell [col, row] (StrToFloat of its text),
// read without making the text; false for an empty cell or "0", which are
// not drawn. A text that is no number raises as StrToFloat does.
bool PlotValue(const WorkTable& t, int col, int row, double& y) {
  if (t.isEmpty(col, row) || t.textIs(col, row, "0")) return false;
  long double v = 0;
  if (!t.tryFloat(col, row, v)) v = StrToFloat(t.cell(col, row));
  y = static_cast<double>(v);
  return true;
}

}  // namespace

int ChartView::SpanForTag(int tag) {
  if (tag == 1) return 300;
  if (tag == 2) return 4800;
  return 800;
}

int ChartView::FirstDrawnRow() const {
  if (ctl::ManualEntryShown.on(ws_.SeriesTable)) return 1;  // a price added by hand sits in row 1
  return ws_.SeriesTable.getInt(ctl::FirstDataRow);
}

void ChartView::Sampling(int& n, int& step) const {
  const int count = ws_.SeriesTable.getInt(ctl::PlottedDays);
  if (count <= kThinAbove) {
    step = 1;
    n = count;
  } else {
    step = kThinStep;
    n = ws_.SeriesTable.getInt(ctl::ThinnedPoints);
  }
}

void ChartView::PrepareFifthLine() {
  auto& t = ws_.SeriesTable;
  if (FifthLineShowsS5(ws_)) {
    // The long trend line needs 500 older days, so the newest 500 rows stay empty.
    for (int r = 1; r <= 500; ++r) t.set(calc::kFifthLine, r, "");
    for (int r = 501; r <= kLastRow; ++r) t.copyCell(t, calc::kS5, r, calc::kFifthLine, r);
    return;
  }
  for (int r = 1; r <= kLastRow; ++r) t.copyCell(t, calc::kCloseDeviation, r, calc::kFifthLine, r);
  if (t.cell(calc::kClose, 1).empty()) return;
  // The newest deviation is computed again from the close in row 1, which may
  // be a price typed by hand after the series was built.
  const long double close = t.getFloat(calc::kClose, 1);
  const long double avg = t.getInt(calc::kMA5, 1);
  const long double p = ctl::PriceScale.get(t);
  // Without an average there is no deviation to show; keep the copied cell
  // rather than writing the result of a division by zero.
  if (avg == 0) return;
  t.setInt(calc::kFifthLine, 1, Round((close - avg) * (4.0L * p) / avg));
}

void ChartView::DrawChartClick(const std::string& sender) {
  DrawGuard guard(ws_);
  const int tag = ws_.form.has(sender) ? ws_.form.tag(sender) : 0;
  ctl::ChartSpan.set(ws_.SeriesTable, SpanForTag(tag));
  PrepareFifthLine();
  Button8Click();
}

void ChartView::Button8Click() {
  DrawGuard guard(ws_);
  ws_.form.setText("Edit5", ctl::Heading.get(ws_.SeriesTable));
  Button14Click();
  // Flag "1" (the only value ever set) lets the oscillator selector choose the lower lines.
  if (ctl::ChartLayout.on(ws_.SeriesTable)) Button15Click();
}

void ChartView::Button14Click() {
  DrawGuard guard(ws_);
  auto& t = ws_.SeriesTable;
  const int span = t.getInt(ctl::ChartSpan);
  const int priced = t.getInt(ctl::PricedRows);
  int count = span;
  if (ws_.form.text("Button118") == "巾" && priced < span) count = priced;
  const int start = FirstDrawnRow();
  t.setInt(ctl::PlottedDays, count);
  int n = count, step = 1;
  if (count > kThinAbove) {
    n = static_cast<int>(Trunc(count / 10.0L));
    t.setInt(ctl::ThinnedPoints, n - 1);
    step = kThinStep;
  }
  Button23Click();

  ws_.form.setText("Edit6", t.cell(1, start));
  ws_.form.setText("Edit2", t.cell(0, start));
  t.set(ctl::DateInView, ws_.form.text("Edit2"));

  auto& chart = ws_.chart;
  for (int p = ChartModel::owarine; p <= ChartModel::idouheikinn1000; ++p) {
    chart.clear(p);
    const int col = p + 1;
    for (int k = 0; k <= n; ++k) {
      const int row = start + k * step;
      double y = 0;
      if (!PlotValue(t, col, row, y)) continue;
      chart.add(p, row, y, t.cell(0, row));
    }
  }
  // Rows below the last series row hold control cells, never a day.
  chart.setShownRows({ShownRows::Series, start, std::min(start + n * step, kLastRow)});
  if (onPriceLine) onPriceLine();
}

void ChartView::Button15Click() {
  DrawGuard guard(ws_);
  auto& t = ws_.SeriesTable;
  const int start = FirstDrawnRow();
  int n = 0, step = 1;
  Sampling(n, step);

  // Lines S1, S2, ... in order, fed by consecutive source columns.
  int firstCol = 0, lines = 0;
  if (ctl::OscillatorState.is(t, 0)) {
    firstCol = 7;  // trend lines S1..S4 and the fifth line
    lines = 5;
  } else if (ctl::OscillatorState.is(t, 1)) {
    firstCol = 25;  // deviation view: line, S2..S4 copies, both bands
    lines = 6;
  } else if (ctl::OscillatorState.is(t, 3)) {
    firstCol = 34;  // 9-day stochastics and the guide lines
    lines = 4;
  } else if (ctl::OscillatorState.is(t, 4)) {
    firstCol = 36;  // guide lines and 65-day stochastics
    lines = 4;
  }

  auto& chart = ws_.chart;
  for (int p = ChartModel::S1; p <= ChartModel::jiku; ++p) chart.clear(p);
  if (n < 3) return;
  for (int i = 0; i < lines; ++i) {
    const int pos = ChartModel::S1 + i;
    const int col = firstCol + i;
    for (int k = 0; k <= n - 3; ++k) {
      const int row = start + k * step;
      double y = 0;
      if (!PlotValue(t, col, row, y)) continue;
      chart.add(pos, row, y, t.cell(0, row));
    }
  }
}

void ChartView::Button23Click() {
  DrawGuard guard(ws_);
  auto& t = ws_.SeriesTable;
  int n = 0, step = 1;
  Sampling(n, step);
  auto& chart = ws_.chart;
  chart.clear(ChartModel::Series1);
  chart.clear(ChartModel::jiku);
  if (n <= 0) return;
  for (int b = 1; b <= n; ++b) {
    const int row = b * step + 1;
    const std::string& v = t.cell(17, row);
    // Zero is the base level itself and is drawn; only rows without data are left out.
    if (v.empty()) continue;
    chart.add(ChartModel::Series1, row, static_cast<double>(StrToFloat(v)), t.cell(0, row));
  }
}

void ChartView::Button130Click() { ws_.chart.setMarkersVisible(!ws_.chart.markersVisible()); }

void ChartView::Button59Click() {
  // The memo stays off the paper and off the chart until "メモ" shows it again.
  ws_.form.setVisible("Panel7", false);
  const std::string failure = ws_.platform.printChart();
  if (!failure.empty()) ws_.platform.message(failure);
}

void ChartView::Button118Click() {
  if (ws_.form.text("Button118") != "巾")
    ws_.form.setText("Button118", "巾");
  else
    ws_.form.setText("Button118", "狭");
}

}  // namespace tavrine
