// Shared pieces of the chart tests: the recording platform, and tables
// filled with values that say where they came from.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/cells.h"
#include "../support/events.h"
#include "../support/recording_platform.h"
#include "app/workspace.h"
#include "store/text.h"

namespace tavrine::charttest {

using testing::Click;
using testing::ExpectCells;
using testing::RecordingPlatform;
using testing::SetCells;

// A cell value that names its column and row, so a point shows where it was read.
inline long long Value(int col, int row) { return 1000LL * col + row; }
inline std::string ValueText(int col, int row) { return IntToStr(Value(col, row)); }

// Rows from first to last in steps of step.
inline std::vector<int> Rows(int first, int last, int step = 1) {
  std::vector<int> v;
  for (int r = first; r <= last; r += step) v.push_back(r);
  return v;
}

inline std::vector<int> Xs(const Workspace& ws, int pos) {
  std::vector<int> v;
  for (const auto& p : ws.chart.line(pos).points) v.push_back(static_cast<int>(p.x));
  return v;
}

}  // namespace tavrine::charttest
