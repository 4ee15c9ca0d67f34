// Work-table cells written or checked several at once, and the control cells
// as the start-up leaves them.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "app/workspace.h"
#include "store/control_cells.h"
#include "store/work_table.h"

namespace tavrine::testing {

struct CellText {
  int col, row;
  std::string text;
};

inline void SetCells(WorkTable& t, std::initializer_list<CellText> cells) {
  for (const auto& c : cells) t.set(c.col, c.row, c.text);
}

// Each cell holds its text; a failure names the cell.
inline void ExpectCells(const WorkTable& t, std::initializer_list<CellText> cells) {
  for (const auto& c : cells)
    EXPECT_EQ(t.cell(c.col, c.row), c.text) << t.name() << "[" << c.col << "," << c.row << "]";
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
