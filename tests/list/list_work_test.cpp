// The steps the import and the update share: the gap fill and the note of a
// split adjustment.
#include <gtest/gtest.h>

#include "list/list_work.h"
#include "store/text.h"

namespace tavrine {
namespace {

// Rows 1 .. n of a column as one character a row ('.' blank), row 0 unused;
// filled as FillGaps fills rows 1 .. last.
std::string Filled(const std::string& rows, int last, int* count = nullptr) {
  std::vector<std::string> cells(rows.size() + 1, " ");
  for (std::size_t k = 0; k < rows.size(); ++k)
    if (rows[k] != '.') cells[k + 1] = std::string(1, rows[k]);
  const int n = FillGaps(
      last, [&](int r) -> const std::string& { return cells.at(static_cast<std::size_t>(r)); },
      [&](int r, const std::string& text) { cells.at(static_cast<std::size_t>(r)) = text; });
  if (count) *count = n;
  std::string out;
  for (std::size_t k = 1; k < cells.size(); ++k) out += IsBlank(cells[k]) ? '.' : cells[k][0];
  return out;
}

TEST(ListGapFill, ABlankDayInsideTheRangeTakesTheCloseBefore) {
  int count = 0;
  // Newest first, so the close before a day is the row below it. Days above
  // the newest close are not the stock's yet; those below the oldest have no
  // close before them.
  EXPECT_EQ(Filled("..a..b.c..", 9, &count), "..abbbcc..");
  EXPECT_EQ(count, 3);
  EXPECT_EQ(Filled("a", 0, &count), "a");
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Filled("....", 3, &count), "....");
  EXPECT_EQ(count, 0);
}

TEST(ListGapFill, OnlyRowsUpToTheLastAreFilledFromTheRowBelowIt) {
  // The update fills its new rows 1 .. 3 only; row 4 is read, never written.
  EXPECT_EQ(Filled("a..b.c", 3), "abbb.c");
  // A new row whose row below is blank has no close before it yet.
  EXPECT_EQ(Filled("a.....c", 3), "a.....c");
}

TEST(ListAdjustmentNote, NamesTheKindTheRatioAndTheLastDay) {
  const int day = DaysFromCivil(2026, 12, 1);
  EXPECT_EQ(AdjustmentNote("7203.csv", Ratio{1, 2}, day),
            "7203.csv: 分割調整: 1/2, 2026/12/01 以前");
  EXPECT_EQ(AdjustmentNote("9984", Ratio{2, 1}, day), "9984: 併合調整: 2/1, 2026/12/01 以前");
}

}  // namespace
}  // namespace tavrine
