#include "chart/navigation.h"

#include <optional>

#include "store/calc_columns.h"
#include "store/control_cells.h"
#include "store/state.h"
#include "store/text.h"

namespace tavrine {

namespace {

constexpr int kDayViewDays = 300;

}  // namespace

void Navigation::Rewindow() {
  ++rewindows_;
  onRewindow();
}

void Navigation::Button61Click() {
  const int o = ws_.SeriesTable.getInt(ctl::WindowStart);
  const int s = StrToInt(ws_.form.text("Edit10"));
  // Never past the newest day.
  if (o - s < 0) return;
  ws_.SeriesTable.setInt(ctl::WindowStart, o - s);
  Button63Click();
}

void Navigation::Button62Click() {
  const int o = ws_.SeriesTable.getInt(ctl::WindowStart);
  const int s = StrToInt(ws_.form.text("Edit10"));
  // A negative step typed into the box must not push the window start below
  // the newest day either.
  if (o < 0 || o + s < 0) return;
  ws_.SeriesTable.setInt(ctl::WindowStart, o + s);
  Button63Click();
}

void Navigation::Button63Click() {
  WaitCursor wait(ws_.platform);
  auto& calc = ws_.CalcTable;
  auto& series = ws_.SeriesTable;
  auto& chart = ws_.chart;
  const int o = series.getInt(ctl::WindowStart);
  chart.clearAll();
  ws_.form.setText("Edit2", calc.cell(calc::kDate, o + 1));
  ws_.form.setText("Edit6", calc.cell(calc::kClose, o + 1));

  // Every day from the first to the last row; "0" is drawn as zero.
  auto fill = [&](int pos, const WorkTable& src, int col, int first) {
    for (int row = o + first; row <= o + kDayViewDays; ++row)
      chart.add(pos, row, static_cast<double>(src.getFloat(col, row)), calc.cell(calc::kDate, row));
  };

  for (int p = ChartModel::owarine; p <= ChartModel::idouheikinn1000; ++p) fill(p, calc, p + 1, 1);

  if (ctl::OscillatorState.is(series, 0)) {
    // Trend lines begin where they have values: 2, 12, 37 and 100 days in.
    fill(ChartModel::S1, calc, calc::kS1, 3);
    fill(ChartModel::S2, calc, calc::kS2, 13);
    fill(ChartModel::S3, calc, calc::kS3, 38);
    fill(ChartModel::S4, calc, calc::kS4, 101);
    fill(ChartModel::jiku, calc, calc::kZeroLine, 1);
  } else {
    ws_.form.setText("Button81", "S/O");
    fill(ChartModel::S1, calc, calc::kDeviation, 1);
    fill(ChartModel::S2, calc, calc::kS2Beside, 13);
    fill(ChartModel::S3, calc, calc::kS3Beside, 38);
    fill(ChartModel::S4, calc, calc::kS4Beside, 101);
    // The bands hold one value in every row of the overlay copy.
    fill(ChartModel::S5, series, calc::kUpperBand, 1);
    fill(ChartModel::jiku, series, calc::kLowerBand, 1);
    fill(ChartModel::Series1, calc, calc::kZeroLine, 1);
  }
  chart.setShownRows({ShownRows::Calc, o + 1, o + kDayViewDays});
  if (onPriceLine) onPriceLine();
}

void Navigation::Button25Click() {
  jumpPasses_ = 0;
  struct Reset {
    int& passes;
    ~Reset() { passes = 0; }
  } reset{jumpPasses_};
  JumpPass();
}

void Navigation::JumpPass() {
  ++jumpPasses_;
  auto& calc = ws_.CalcTable;
  auto& series = ws_.SeriesTable;
  // A date typed in any of the usual forms (2024/1/5, 20240105, R6.1.5) is
  // looked for in the table's own form, so the day itself is found rather
  // than the trading day after it.
  std::string typed = ws_.form.text("Edit2");
  std::optional<int> typedDay;
  if (int day = 0; TryReadDate(typed, day)) {
    typedDay = day;
    typed = DateToStr(day);
  }
  ctl::DateInView.set(series, typed);
  const int last = series.getInt(ctl::LastDataRow);
  ctl::ManualPriceEntered.set(series, false);

  std::string found = calc.cell(calc::kDate, 1);
  int hit = 0;
  for (int row = 1; row <= last - 1; ++row) {
    const std::string& date = calc.cell(calc::kDate, row);
    if (date == typed) {
      hit = calc.getInt(calc::kRowNumber, row) - 1;
      series.setInt(ctl::WindowStart, hit);
    } else {
      // A text that is no date stops the jump at the first row it differs from.
      if (!typedDay) typedDay = ReadDate(typed);
      // Rows run newest first, so this ends at the earliest day after the typed one.
      if (*typedDay < StrToDate(date)) found = date;
    }
  }
  ws_.form.setText("Edit2", found);
  if (hit != 0)
    Rewindow();
  else
    Button26Click();
}

void Navigation::Button26Click() {
  // Called on its own it continues a jump whose first pass is done.
  if (jumpPasses_ == 0) jumpPasses_ = 1;
  // The box now holds a trading day, which a second pass finds by its text.
  // One such pass is enough; should it still not move the window (a table
  // whose row column disagrees with its rows), the window is rebuilt where it
  // stands instead of searching again and again.
  if (ws_.form.text("Edit2") != ws_.CalcTable.cell(calc::kDate, 1) && jumpPasses_ < 2)
    JumpPass();
  else
    Rewindow();
}

void Navigation::Edit2KeyPress(int key) {
  if (key == 13) Button25Click();
}

void Navigation::Label1Click() {
  auto& series = ws_.SeriesTable;
  ctl::ManualPriceEntered.set(series, false);
  ctl::WindowStart.set(series, 0);
  const std::string newest = ws_.CalcTable.cell(calc::kDate, 1);
  ws_.form.setText("Edit2", newest);
  ctl::DateInView.set(series, newest);
  Rewindow();
}

void Navigation::Edit2DblClick() { ws_.form.setText("Edit2", ws_.SeriesTable.cell(0, 1)); }

const std::vector<int>& Navigation::PickableLines() {
  static const std::vector<int> lines = {ChartModel::owarine,
                                         ChartModel::idouheikinn25,
                                         ChartModel::idouheikinn75,
                                         ChartModel::idouheikinn200,
                                         ChartModel::S1,
                                         ChartModel::S2,
                                         ChartModel::S3,
                                         ChartModel::S4,
                                         ChartModel::S5,
                                         ChartModel::jiku};
  return lines;
}

void Navigation::chart1MouseDown(const std::vector<std::pair<std::string, int>>& hits) {
  const std::string* label = nullptr;
  for (int pos : PickableLines()) {
    const ChartLine& line = ws_.chart.line(pos);
    for (const auto& [name, index] : hits) {
      if (name != line.name) continue;
      if (index < 0 || static_cast<std::size_t>(index) >= line.points.size()) continue;
      label = &line.points[static_cast<std::size_t>(index)].label;
    }
  }
  if (label) ws_.form.setText("Edit2", *label);
}

}  // namespace tavrine
