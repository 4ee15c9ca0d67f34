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
  SignalsTest() : ws(platform) { testing::RuleStartCells(ws); }

  void click(const std::string& control) { testing::Click(ws, control); }

  // Day numbers as dates of the series.
  static std::string Day(int n) { return DateToStr(DaysFromCivil(2000, 1, 3) + n); }

  RecordingPlatform platform;
  Workspace ws;
};

}  // namespace tavrine::signals_test
