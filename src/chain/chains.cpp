#include "chain/chains.h"

#include <algorithm>
#include <vector>

#include "chart/chart_view.h"
#include "chart/manual_entry.h"
#include "chart/navigation.h"
#include "series/series.h"
#include "signals/backtest.h"
#include "signals/honest.h"
#include "signals/overlays.h"
#include "signals/rules.h"
#include "store/calc_columns.h"
#include "store/control_cells.h"
#include "store/fifth_line.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

namespace {

// The code of a heading is its first four bytes. When the fourth byte is the
// first half of a double-byte character, those four bytes are not a whole
// text and no typed code can equal them.
bool CodeMatches(const std::string& code, const std::string& heading) {
  const std::string cut = LeftBytes(heading, 4);
  if (ByteLength(cut) != std::min<std::size_t>(4, ByteLength(heading))) return false;
  return cut == code;
}

}  // namespace

Chains::Chains(State& ws, Series& series, ChartView& chartView, Navigation& navigation,
               ManualEntry& manualEntry, Rules& rules, Backtest& backtest, Overlays& overlays)
    : ws_(ws),
      series_(series),
      chartView_(chartView),
      rules_(rules),
      backtest_(backtest),
      overlays_(overlays) {
  // The chart's navigation re-windows, and a price added by hand takes the
  // newest deviation point: both steps lie above the chart's layer.
  navigation.onRewindow = [this] { Button20Click(); };
  manualEntry.onNewestDeviation = [this] { overlays_.Button103Click(); };
  manualEntry.onNewDay = [this] { ManualDayJudged(); };
  // The trade markers follow every refill of the price line, in the term
  // views and in the day view alike.
  chartView.onPriceLine = [this] { backtest_.FillTradeMarkers(); };
  navigation.onPriceLine = [this] { backtest_.FillTradeMarkers(); };
}

void Chains::Button3Click() {
  SuspendRedraw redraw(ws_.CalcTable, ws_.StockList, ws_.SeriesTable);
  WaitCursor wait(ws_.platform);
  const int L = series_.Extract();
  series_.Button84Click();
  if (L >= 25) series_.Button31Click();
  if (L >= 75) series_.Button28Click();
  if (L >= 200) overlays_.Button30Click();
  series_.Button29Click();
  overlays_.ExtractionJudged();
}

void Chains::Button20Click() {
  WaitCursor wait(ws_.platform);
  series_.Button10Click();
  series_.Button21Click();
  series_.Button12Click();
  overlays_.Button33Click();
  chartView_.Button8Click();
}

void Chains::ManualDayJudged() {
  if (ws_.judging != Judging::Honest) return;
  WorkTable& st = ws_.SeriesTable;
  const WorkTable& stored = ws_.CalcTable;
  const int L = st.getInt(ctl::LastDataRow);
  const int top = st.getInt(ctl::FirstDataRow) + st.getInt(ctl::WindowStart);
  if (top > L) return;
  // The days added by hand stand above the newest stored day the window shows.
  const std::string& topDate = stored.cell(calc::kDate, top);
  std::vector<int> added;
  int j = 1;
  for (; j <= stocklist::kLastDayRow && st.cell(calc::kDate, j) != topDate; ++j)
    if (!IsBlankWide(st.cell(calc::kClose, j))) added.push_back(j);
  if (j > stocklist::kLastDayRow || added.empty()) return;

  const int m = static_cast<int>(added.size());
  const int last = std::min(m + L - top + 1, stocklist::kLastDayRow);
  WorkTable rows = stored;
  rows.copyRowsFrom(stored, top, m + 1, last - m);
  std::vector<long long> close(static_cast<std::size_t>(last) + 1, 0);
  for (int i = 0; i < m; ++i) {
    const int day = added[static_cast<std::size_t>(i)];
    rows.set(calc::kDate, i + 1, st.cell(calc::kDate, day));
    rows.setInt(calc::kClose, i + 1, Round(st.getFloat(calc::kClose, day)));
  }
  for (int r = 1; r <= last; ++r) close[static_cast<std::size_t>(r)] = rows.getInt(calc::kClose, r);
  honest::WriteColumns(rows, honest::Compute(close, 1, last, overlays_.terms()));
  for (int i = 0; i < m; ++i)
    for (int c : {calc::kS1, calc::kS2, calc::kS3, calc::kS4})
      st.set(c, added[static_cast<std::size_t>(i)], rows.cell(c, i + 1));
  backtest_.RunChainOn(rows, 1, last);
}

void Chains::Button27Click() {
  auto& st = ws_.SeriesTable;
  ctl::StockFound.set(st, false);
  const std::string code = ws_.form.text("Edit1");
  // Every column is compared: with a code given twice the last column wins.
  for (int c = 1; c <= 200; ++c) {
    const std::string& heading = ws_.StockList.cell(c, 0);
    if (CodeMatches(code, heading)) {
      ctl::StockColumn.set(st, c);
      ctl::StockFound.set(st, true);
      ctl::Heading.set(st, heading);
    }
  }
}

void Chains::SelectionChain(const SelectionChainOptions& o) {
  Button3Click();
  if (o.resetTerm) {
    ctl::TermMode.set(ws_.SeriesTable, 0);
    ws_.form.setText("Button13", "S2");
  }
  if (o.progress) ws_.setProgress("データ処理中");
  series_.Button9Click();
  series_.Button21Click();
  if (o.progress) ws_.setProgress("データ移送中");
  series_.Button24Click();
  series_.Button12Click();
}

void Chains::StringGrid5MouseUp(int c, int r) {
  if (c < 0 || r < 0) return;
  const std::string heading = ws_.StockPicker.cell(c, r);
  if (IsBlank(heading)) return;
  WaitCursor wait(ws_.platform);
  const std::string code = LeftBytes(heading, 4);
  ws_.form.setText("Edit1", code);
  ctl::Heading.set(ws_.SeriesTable, code);
  ctl::PickerShown.set(ws_.SeriesTable, false);
  ctl::RuleLabel.set(ws_.SeriesTable, "S1");
  Button19Click();
  ws_.form.setVisible("Panel4", false);
  ws_.form.setVisible("Edit5", true);
  if (ctl::MemoShown.on(ws_.SeriesTable)) ws_.form.setVisible("Panel7", true);
}

void Chains::Button19Click() {
  WorkTable& st = ws_.SeriesTable;
  Button27Click();
  ctl::OscillatorState.set(st, 0);
  ctl::DateSource.set(st, 1);
  const std::string date = ws_.CalcTable.cell(calc::kDate, 1);
  ctl::DateInView.set(st, date);
  ws_.form.setText("Edit2", date);
  if (!ctl::StockFound.on(st)) {
    ws_.form.setText("Edit1", "");
    ws_.platform.message("銘柄コ-ドを入れ直して下さい**7");
    return;
  }
  ctl::WindowStart.set(st, 0);
  SelectionChain({.resetTerm = true});
  overlays_.Button33Click();
  overlays_.FillColumn11(FifthLineShowsS5(ws_));
  chartView_.Button8Click();
  backtest_.Button51Click();
}

}  // namespace tavrine
