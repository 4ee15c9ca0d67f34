#include "chart/manual_entry.h"

#include <stdexcept>

#include "chart/chart_view.h"
#include "chart/navigation.h"
#include "store/control_cells.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

namespace {

// Division whose divisor is an average read from the table: an average of 0
// stops the entry with the usual division error instead of writing inf.
long double Divide(long double a, long double b) {
  if (b == 0) throw std::domain_error("Floating point division by zero");
  return a / b;
}

// The close as the table keeps it: typed in full-width digits (１２３４) it
// goes in as 1234; any other text as typed, for the conversion error to name.
std::string CloseText(const std::string& typed) {
  long double v = 0;
  if (!TryStrToFloat(typed, v)) return typed;
  std::string half = HalfWidth(typed);
  const auto first = half.find_first_not_of(" \t");
  return half.substr(first, half.find_last_not_of(" \t") - first + 1);
}

}  // namespace

void ManualEntry::Button34Click() {
  auto& st = ws_.SeriesTable;
  WaitCursor wait(ws_.platform);
  SuspendRedraw redraw(st);

  const long double P = st.getInt(ctl::PriceScale);
  ctl::ManualEntryShown.set(st, true);
  // A newest row of today already (the list has the day, or a price was
  // added by hand before) only gets its close replaced: a day never shows twice.
  int newestDay = 0;
  const bool today = TryParseDate(st.cell(0, 1), newestDay) && newestDay == Today();
  if (!today && !IsBlankWide(st.cell(1, 1))) {
    // The newest row holds a price of an earlier day: make room by moving
    // every row down one.
    ctl::ManualPriceEntered.set(st, true);
    st.copyRowsFrom(st, 1, 2, 4859);
    // In the long term the fifth line has no value in its newest 500 rows.
    // The shift turned those empty cells into blanks, which the redraw would
    // stop at; they stay empty, so the entry the user is invited to make
    // draws as in the other terms.
    if (ctl::ChartSpan.is(st, 4800))
      for (int r = 2; r <= stocklist::kLastDayRow; ++r)
        if (st.cell(11, r) == " ") st.set(11, r, "");
  }
  st.set(0, 1, DateToStr(Today()));
  st.set(1, 1, CloseText(ws_.form.text("Edit6")));

  // Each average of the new day from the previous day's average and the close
  // that leaves its window.
  static const int widths[][2] = {{5, 2}, {25, 3}, {75, 4}, {200, 5}, {1000, 6}};
  for (const auto& w : widths) {
    const int N = w[0], col = w[1];
    const long long d = Round(st.getFloat(1, 1) - st.getFloat(1, N + 1));
    st.setInt(col, 1, Round(st.getFloat(col, 2) + static_cast<long double>(d) / N));
  }

  // Trend-line values of the pair that starts at the new day, at the older
  // row of each pair. Judged honestly, the new day's own values come from
  // onNewDay instead, and the older rows keep theirs.
  const long double a5 = st.getInt(2, 1);
  const bool honest = ws_.judging == Judging::Honest;
  if (!honest) {
    const long double a5old = st.getInt(2, 3);
    st.setInt(7, 3, Round(Divide((a5 - a5old) * (4 * P), a5)));
    const long double a25 = st.getFloat(3, 1), a25old = st.getFloat(3, 13);
    st.setFloat(8, 13, static_cast<long double>(Round(Divide((a25 - a25old) * (3 * P), a25))));
    const long double a75 = st.getInt(4, 1), a75old = st.getInt(4, 38);
    st.setInt(9, 38, Round(Divide((a75 - a75old) * (P * 2.7L), a75)));
    const long double a200 = st.getInt(5, 1), a200old = st.getInt(5, 101);
    st.setInt(10, 101, Round(Divide((a200 - a200old) * (P * 2.5L), a200)));
  }

  // The newest point of the fifth line, except in the long term.
  if (!ctl::ChartSpan.is(st, 4800) && !st.cell(1, 1).empty()) {
    const long double close = st.getFloat(1, 1);
    st.setInt(11, 1, Round(Divide((close - a5) * (4 * P), a5)));
  }
  onNewestDeviation();
  for (int r = 1; r <= stocklist::kLastDayRow; ++r) st.setInt(18, r, r);
  if (honest && onNewDay) onNewDay();
  chartView_.Button8Click();
}

void ManualEntry::Edit6KeyPress(int key) {
  if (key == 13) Button34Click();
}

void ManualEntry::Edit6Change() { ws_.form.setNumberOnly("Edit6", true); }

void ManualEntry::Button35Click() {
  navigation_.Label1Click();
  ctl::ManualEntryShown.set(ws_.SeriesTable, false);
  if (ws_.form.text("Edit6").empty()) ws_.form.setText("Edit6", ws_.SeriesTable.cell(1, 2));
}

}  // namespace tavrine
