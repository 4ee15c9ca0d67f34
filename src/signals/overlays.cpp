#include "signals/overlays.h"

#include <algorithm>
#include <vector>

#include "chart/chart_view.h"
#include "series/series.h"
#include "signals/backtest.h"
#include "signals/cells.h"
#include "signals/rule_math.h"
#include "signals/rules.h"
#include "store/calc_columns.h"
#include "store/control_cells.h"
#include "store/fifth_line.h"
#include "store/state.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

namespace {

bool TermModeIsLong(const State& ws) { return ctl::TermMode.get(ws.SeriesTable) != 0; }

// S2 .. S4 and their copies beside the deviation line lie in the same order.
constexpr int kBesideShift = calc::kS2Beside - calc::kS2;
static_assert(calc::kS3Beside - calc::kS3 == kBesideShift &&
              calc::kS4Beside - calc::kS4 == kBesideShift);

// Sets a flag for the length of a scope.
struct FlagScope {
  bool& flag;
  explicit FlagScope(bool& f) : flag(f) { flag = true; }
  ~FlagScope() { flag = false; }
};

}  // namespace

// "長"/"短": computes the rule columns of the other term.
void Overlays::Button79Click() {
  WaitCursor wait(ws_.platform);
  SuspendRedraw layout(ws_.CalcTable);
  auto& st = ws_.SeriesTable;
  const FlagScope follows(judgingFollows_);
  Button85Click();
  ctl::OscillatorState.set(st, 1);
  if (TermModeIsLong(ws_)) {
    Button30Click();
    ctl::TermMode.set(st, 0);
    ws_.form.setText("Button79", "長");
  } else {
    ctl::TermMode.set(st, 1);
    ws_.form.setText("Button79", "短");
    ShortTermSet();
  }
  ApplyJudging();
  ws_.form.setText("Button81", "S/O");
}

// The 200-day pass and the long-term rule columns that follow it: G4, G6,
// G5, G3, G7, the long-term deviation overlay, then the band signal.
// Judged honestly, ApplyJudging writes the rule columns afterwards, so the
// centred ones are not computed first.
void Overlays::Button30Click() {
  series_.Pass200();
  if (!honest()) rules_.LongTermG();
  Button82Click();
  if (!honest()) rules_.LongTermKairi();
  terms_.longTerm = true;
  terms_.deviation = LongDeviation();
}

void Overlays::ShortTermSet() {
  if (!honest()) rules_.ShortTermG();
  Button80Click();
  if (!honest()) rules_.ShortTermKairi();
  terms_.longTerm = false;
  terms_.deviation = honest::Deviation::Short25;
}

honest::Deviation Overlays::LongDeviation() const {
  return ws_.form.text("Button13") == "S4" ? honest::Deviation::Long200 : honest::Deviation::Long75;
}

void Overlays::ExtractionJudged() {
  terms_ = {true, LongDeviation(), true};
  ApplyJudging();
}

void Overlays::ApplyJudging() {
  if (!honest()) return;
  WorkTable& calc = ws_.CalcTable;
  WorkTable& st = ws_.SeriesTable;
  SuspendRedraw layout(calc);
  const int first = st.getInt(ctl::FirstDataRow);
  const int last = st.getInt(ctl::LastDataRow);
  std::vector<long long> close(static_cast<std::size_t>(std::max(last, 0)) + 1, 0);
  for (int r = first; r <= last; ++r)
    close[static_cast<std::size_t>(r)] = calc.getInt(calc::kClose, r);
  const honest::Columns& lines = honestCache_.get(close, first, last, terms_);
  honest::WriteColumns(calc, lines);

  // S2 .. S4 beside the deviation line, copied as the overlay copy does. The
  // lines just written hold their value or 0 on every row up to the newest
  // day, so the copies take those numbers.
  if (last < 26) return;
  const int offset = st.getInt(ctl::WindowStart);
  const int h = ctl::ManualPriceEntered.on(st) ? 1 : 0;
  const int index[3] = {honest::IndexOfColumn(calc::kS2), honest::IndexOfColumn(calc::kS3),
                        honest::IndexOfColumn(calc::kS4)};
  auto written = [&](int col, int r) -> long long {
    const int i = index[col - calc::kS2];
    return lines.has(i, r) ? lines.values[static_cast<std::size_t>(i)][static_cast<std::size_t>(r)]
                           : 0;
  };
  for (int i = 1; i <= last - 25; ++i)
    for (int c = calc::kS2Beside; c <= calc::kS4Beside; ++c)
      calc.setInt(c, i, written(c - kBesideShift, i));
  SuspendRedraw view(st);
  for (int i = 1; i <= last - 25; ++i) {
    const int r = i + offset;
    for (int c = calc::kS2Beside; c <= calc::kS4Beside; ++c) {
      if (r >= 1 && r <= last - 25)
        st.setInt(c, i + h, written(c - kBesideShift, r));
      else
        st.set(c, i + h, calc.cell(c, r));
    }
  }
}

// Deviation button "S2" -> "S3" -> "S4" -> "S2".
void Overlays::Button13Click() {
  WaitCursor wait(ws_.platform);
  SuspendRedraw layout(ws_.CalcTable);
  auto& st = ws_.SeriesTable;
  {
    const FlagScope follows(judgingFollows_);
    if (!ctl::DateInView.is(st, ws_.form.text("Edit2"))) Button85Click();
    ctl::OscillatorState.set(st, 1);
    if (TermModeIsLong(ws_)) {
      Button30Click();
    } else {
      ws_.form.setText("Button13", "S2");
      ctl::TermMode.set(st, 1);
      ws_.form.setText("Button79", "短");
      ShortTermSet();
    }
    ApplyJudging();
  }
  // The bands also cover the two newest display rows.
  for (int c : {calc::kUpperBand, calc::kLowerBand}) {
    const std::string band = st.cell(c, 10);
    st.set(c, 1, band);
    st.set(c, 2, band);
  }
  Button33Click();
  Button103Click();
  chartView_.Button15Click();
  ws_.form.setText("Button81", "S/O");
}

void Overlays::DeviationOverlay(honest::Deviation mode) {
  WorkTable& calc = ws_.CalcTable;
  const rule_math::DeviationTerms d = rule_math::TermsOf(mode);
  const int first = ws_.SeriesTable.getInt(ctl::FirstDataRow);
  const int lastRow = ws_.SeriesTable.getInt(ctl::LastDataRow) - d.lastOffset;
  const long double p = ws_.SeriesTable.getInt(ctl::PriceScale);
  auto deviation = [&](int r) {
    const long double close = calc.getInt(calc::kClose, r);
    const long double ma = signals::ReadDecimal(calc, d.maColumn, r);
    return rule_math::DeviationValue(p, d.k, close, ma);
  };
  // Judged honestly, ApplyJudging rewrites S2 .. S4 beside the line on the
  // same rows when it follows and reaches its copy. It does when every close
  // it reads is an integer and no average read here stops this pass first:
  // the copies are then left to it.
  bool copyLines = true;
  if (judgingFollows_ && honest()) {
    copyLines = false;
    const int last = ws_.SeriesTable.getInt(ctl::LastDataRow);
    long long close = 0;
    long double ma = 0;
    for (int r = first; r <= last && !copyLines; ++r)
      copyLines = !calc.tryInt(calc::kClose, r, close);
    for (int r = first; r <= lastRow && !copyLines; ++r)
      copyLines = !calc.tryFloat(d.maColumn, r, ma);
  }
  OverlayCopy(rule_math::BandValue(p, d.k, d.band), rule_math::BandValue(-p, d.k, d.band), first,
              lastRow, deviation, copyLines);
}

// Long-term deviation overlay: the 200-day mode when the deviation view shows
// the 75-day mode, the 75-day mode otherwise.
void Overlays::Button82Click() {
  auto& st = ws_.SeriesTable;
  const bool to200 = ws_.form.text("Button81") == "S/O" && ws_.form.text("Button13") == "S3";
  if (to200) {
    ws_.form.setText("Button13", "S4");
    ctl::TermMode.set(st, 0);
  } else {
    ws_.form.setText("Button13", "S3");
    ctl::TermMode.set(st, 1);
  }
  ws_.form.setText("Button79", "長");
  DeviationOverlay(to200 ? honest::Deviation::Long200 : honest::Deviation::Long75);
}

void Overlays::Button80Click() { DeviationOverlay(honest::Deviation::Short25); }

// Copies S2..S4 and the bands beside the deviation line, then the view's part
// into SeriesTable. A manually entered newest day shifts the view by a row.
// The deviation line (rows first .. lastRow, never past last-25) is written
// in the same pass over the rows as the copies beside it.
template <class Deviation>
void Overlays::OverlayCopy(long long upper, long long lower, int first, int lastRow,
                           Deviation&& deviation, bool copyLines) {
  WorkTable& calc = ws_.CalcTable;
  WorkTable& st = ws_.SeriesTable;
  const int last = st.getInt(ctl::LastDataRow);
  if (last < 26) {
    for (int r = first; r <= lastRow; ++r) calc.setInt(calc::kDeviation, r, deviation(r));
    return;
  }
  const int offset = st.getInt(ctl::WindowStart);
  const int h = ctl::ManualPriceEntered.on(st) ? 1 : 0;
  for (int r = first; r < 1 && r <= lastRow; ++r) calc.setInt(calc::kDeviation, r, deviation(r));
  // The deviation line's rows 1 .. last-25 as written, for the view's copy.
  std::vector<long long> line(static_cast<std::size_t>(last - 25) + 1);
  for (int i = 1; i <= last - 25; ++i) {
    if (i >= first && i <= lastRow) {
      line[static_cast<std::size_t>(i)] = deviation(i);
      calc.setInt(calc::kDeviation, i, line[static_cast<std::size_t>(i)]);
    }
    if (copyLines)
      for (int c = calc::kS2Beside; c <= calc::kS4Beside; ++c)
        calc.copyCell(calc, c - kBesideShift, i, c, i);
    calc.setInt(calc::kUpperBand, i, upper);
    calc.setInt(calc::kLowerBand, i, lower);
  }
  SuspendRedraw layout(st);
  for (int i = 1; i <= last - 25; ++i) {
    const int r = i + offset;
    if (r >= first && r <= lastRow && r >= 1 && r <= last - 25)
      st.setInt(25, i + h, line[static_cast<std::size_t>(r)]);
    else
      st.copyCell(calc, calc::kDeviation, r, calc::kDeviation, i + h);
    if (copyLines)
      for (int c = calc::kS2Beside; c <= calc::kS4Beside; ++c) st.copyCell(calc, c, r, c, i + h);
    st.setInt(29, i + h, upper);
    st.setInt(30, i + h, lower);
  }
}

// The "ST" column of the term the mode cell names: long (65-day) when it is
// not 0, short (9-day, with S3 above zero for the buy side) when it is 0.
void Overlays::Button85Click() {
  WorkTable& calc = ws_.CalcTable;
  terms_.stLong = TermModeIsLong(ws_);
  const int first = ws_.SeriesTable.getInt(ctl::FirstDataRow);
  const int last = ws_.SeriesTable.getInt(ctl::LastDataRow);
  if (TermModeIsLong(ws_)) {
    for (int r = first; r <= last - 94; ++r) {
      const long double fast = calc.getFloat(calc::kFast65, r),
                        slow = calc.getFloat(calc::kSlow65, r);
      calc.setInt(calc::kST, r, rule_math::LongST(fast, slow));
    }
  } else {
    for (int r = first; r <= last - 12; ++r) {
      const long double fast = calc.getFloat(calc::kFast9, r),
                        slow = calc.getFloat(calc::kSlow9, r);
      // S3 is read only where the fast line is above the slow one.
      const long double s3 = slow < fast ? signals::ReadDecimal(calc, calc::kS3, r) : 0;
      calc.setInt(calc::kST, r, rule_math::ShortST(fast, slow, s3));
    }
  }
}

void Overlays::FillColumn11(bool fromS5) {
  WorkTable& st = ws_.SeriesTable;
  SuspendRedraw layout(st);
  const int src = fromS5 ? calc::kS5 : calc::kCloseDeviation;
  for (int r = 1; r <= stocklist::kLastDayRow; ++r) st.set(calc::kFifthLine, r, st.cell(src, r));
}

// Oscillator selector "S" -> "ST9" -> "ST65" -> "S/O" -> "S".
void Overlays::Button81Click() {
  WorkTable& st = ws_.SeriesTable;
  int next = 0;
  if (ctl::OscillatorState.is(st, 1)) {
    ws_.form.setText("Button81", "S");
    next = 0;
  } else if (ctl::OscillatorState.is(st, 0)) {
    ws_.form.setText("Button81", "ST9");
    next = 3;
  } else if (ctl::OscillatorState.is(st, 3)) {
    ws_.form.setText("Button81", "ST65");
    next = 4;
  } else if (ctl::OscillatorState.is(st, 4)) {
    ws_.form.setText("Button81", "S/O");
    next = 1;
  }
  ctl::OscillatorState.set(st, next);

  const bool fromS5 = FifthLineShowsS5(ws_);
  FillColumn11(fromS5);
  if (!fromS5 && !st.cell(calc::kClose, 1).empty()) {
    const long double close = st.getFloat(calc::kClose, 1);
    const long double ma5 = st.getInt(calc::kMA5, 1);
    const long double p = st.getInt(ctl::PriceScale);
    // A day without a 5-day average keeps the copied value.
    if (ma5 != 0) st.setInt(calc::kFifthLine, 1, Round((close - ma5) * (4 * p) / ma5));
  }
  chartView_.Button8Click();
}

// Zeros over the rows where the centred trend lines have no value yet. The
// honest lines have a value on every day up to the newest.
void Overlays::Button33Click() {
  if (honest()) return;
  WorkTable& st = ws_.SeriesTable;
  const int f = st.getInt(ctl::FirstDataRow);
  auto zero = [&st, f](int col, int rows) {
    for (int r = f; r < f + rows; ++r) st.set(col, r, "0");
  };
  zero(calc::kS1, 2);
  zero(calc::kS2, 12);
  zero(calc::kS2Beside, 12);
  zero(calc::kS3, 37);
  zero(calc::kS3Beside, 37);
  zero(calc::kS4, 100);
  zero(calc::kS4Beside, 100);
}

void Overlays::Button103Click() {
  WorkTable& st = ws_.SeriesTable;
  if (st.cell(calc::kClose, 1).empty()) return;
  const std::string& caption = ws_.form.text("Button13");
  long double k = 2.5L;
  int maCol = calc::kMA200;
  if (caption == "S2") {
    k = 3.0L;
    maCol = calc::kMA25;
  } else if (caption == "S3") {
    k = 2.7L;
    maCol = calc::kMA75;
  }
  const long double p = st.getInt(ctl::PriceScale);
  const long double close = st.getInt(calc::kClose, 1);
  const long double ma = st.getInt(maCol, 1);
  // Without the average the point is left as it was.
  if (ma == 0) return;
  st.setInt(calc::kDeviation, 1, Round(p * k * (close - ma) / ma));
}

}  // namespace tavrine
