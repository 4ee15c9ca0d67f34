// Work-table cells written or checked several at once (and, through
// start_cells.h, the control cells as the start-up leaves them).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "start_cells.h"
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

}  // namespace tavrine::testing
