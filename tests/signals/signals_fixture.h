// Shared pieces of the signal tests: the recording platform, a workspace with
// the start-up control cells, and small helpers to write designed columns.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/cells.h"
#include "../support/events.h"
#include "../support/half_even.h"
#include "../support/recording_platform.h"
#include "app/workspace.h"
#include "store/text.h"

namespace tavrine::signals_test {

using testing::ExpectCells;
using testing::HalfEven;
using testing::RecordingPlatform;
using testing::SetCells;

class SignalsTest : public ::testing::Test {
 protected:
  SignalsTest() : ws(platform) {
    // The control cells as the start-up leaves them.
    SetCells(ws.SeriesTable, {{6, 4862, "0"},
                              {6, 4863, "0"},
                              {6, 4864, "0"},
                              {7, 4862, "7"},
                              {7, 4863, "1"},
                              {12, 4862, "0"},
                              {11, 4864, "0"},
                              {4, 4863, "0"},
                              {2, 4862, "0"},
                              {2, 4863, "1"},
                              {1, 4862, "0"},
                              {5, 4863, "1000"},
                              {3, 4863, "800"},
                              {3, 4862, "300"}});
    ws.StatsTable.set(13, 3, "S1");
  }

  void click(const std::string& control) { testing::Click(ws, control); }

  // Day numbers as dates of the series.
  static std::string Day(int n) { return DateToStr(DaysFromCivil(2000, 1, 3) + n); }

  RecordingPlatform platform;
  Workspace ws;
};

}  // namespace tavrine::signals_test
