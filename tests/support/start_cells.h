// The control cells as the start-up leaves them, for fixtures that start a
// chain without running the start-up. Free of any test framework, so that
// the window tests share it too.
#pragma once

#include <cstddef>
#include <utility>

#include "app/workspace.h"
#include "store/control_cells.h"
#include "store/work_table.h"

namespace tavrine::testing {

// Control cells by name with their texts, declared as a static table (which
// keeps the list compact) and written in table order.
using NamedCell = std::pair<CellRef, const char*>;
template <std::size_t N>
void SetCells(WorkTable& t, const NamedCell (&cells)[N]) {
  for (const auto& [cell, text] : cells) t.set(cell, text);
}

// The control cells a rule press reads, as the start-up leaves them, with a
// 1000-yen price scale, an 800-day chart of 300 plotted days, and no stock
// data yet (the tests write their own rows).
inline void RuleStartCells(Workspace& ws) {
  static const NamedCell kCells[] = {
      {ctl::PositionFlag, "0"}, {ctl::TradesOpened, "0"},   {ctl::TradesClosed, "0"},
      {ctl::RuleNumber, "7"},   {ctl::EntryDirection, "1"}, {ctl::OscillatorState, "0"},
      {ctl::TermMode, "0"},     {ctl::WindowStart, "0"},    {ctl::PricedRows, "0"},
      {ctl::FirstDataRow, "1"}, {ctl::LastDataRow, "0"},    {ctl::PriceScale, "1000"},
      {ctl::ChartSpan, "800"},  {ctl::PlottedDays, "300"}};
  SetCells(ws.SeriesTable, kCells);
  ws.StatsTable.set(ctl::Condition, "S1");
}

// The control cells the start-up leaves for every later chain: its start
// values, all rows of the stock list considered, the list as the date source
// and the long-term set next.
inline void StartUpCells(Workspace& ws) {
  ws.startup.WriteStartValues();
  auto& st = ws.SeriesTable;
  st.set(ctl::RowsConsidered, "4860");
  st.set(ctl::DateSource, "1");
  st.set(ctl::TermMode, "0");
}

// The same with the stock in StockList column k chosen.
inline void StartUpCells(Workspace& ws, int k) {
  StartUpCells(ws);
  auto& st = ws.SeriesTable;
  st.set(ctl::Heading, ws.StockList.cell(k, 0));
  st.set(ctl::StockColumn, std::to_string(k));
  st.set(ctl::DateInView, ws.StockList.cell(0, 1));
}

}  // namespace tavrine::testing
