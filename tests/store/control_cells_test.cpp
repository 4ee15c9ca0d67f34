// The typed control cells: how each kind reads and writes its cell's text,
// and that the start values are the texts the start-up has always left.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "../support/recording_platform.h"
#include "store/control_cells.h"
#include "store/fifth_line.h"
#include "store/state.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {
namespace {

TEST(ControlCells, FlagsReadOnlyOneAsOnAndWriteTheirOffText) {
  WorkTable t("SeriesTable", 42, 4865);
  const auto at = [&t](CellRef c) { return t.cell(c.col, c.row); };

  ctl::StockFound.set(t, true);
  EXPECT_EQ(at(ctl::StockFound), "1");
  EXPECT_TRUE(ctl::StockFound.on(t));
  ctl::StockFound.set(t, false);
  EXPECT_EQ(at(ctl::StockFound), "0");
  EXPECT_FALSE(ctl::StockFound.on(t));
  // Any other text is off, and no read raises.
  for (const char* text : {"", " ", "2", "01", "x"}) {
    t.set(ctl::StockFound, text);
    EXPECT_FALSE(ctl::StockFound.on(t)) << text;
  }

  // Read with a default, an empty cell takes it and a written one its text.
  t.set(ctl::EntryDirection, "");
  EXPECT_TRUE(ctl::EntryDirection.on(t, true));
  EXPECT_FALSE(ctl::EntryDirection.on(t, false));
  ctl::EntryDirection.set(t, false);
  EXPECT_FALSE(ctl::EntryDirection.on(t, true));

  // The hand-entry flag is emptied when off, and an off write to a cell never
  // written stores nothing.
  const auto before = t.version();
  ctl::ManualEntryShown.set(t, false);
  EXPECT_EQ(t.version(), before);
  EXPECT_TRUE(t.isEmpty(ctl::ManualEntryShown.col, ctl::ManualEntryShown.row));
  ctl::ManualEntryShown.set(t, true);
  EXPECT_EQ(at(ctl::ManualEntryShown), "1");
  ctl::ManualEntryShown.set(t, false);
  EXPECT_EQ(at(ctl::ManualEntryShown), "");
}

TEST(ControlCells, NumbersCompareWithoutRaisingAndReadStrictly) {
  WorkTable t("SeriesTable", 42, 4865);
  ctl::ChartSpan.set(t, 4800);
  EXPECT_EQ(t.cell(ctl::ChartSpan), "4800");
  EXPECT_TRUE(ctl::ChartSpan.is(t, 4800));
  EXPECT_FALSE(ctl::ChartSpan.is(t, 800));
  EXPECT_EQ(ctl::ChartSpan.get(t), 4800);

  t.set(ctl::OscillatorState, "");
  EXPECT_FALSE(ctl::OscillatorState.is(t, 0));
  EXPECT_THROW(ctl::OscillatorState.get(t), ConversionError);
  t.set(ctl::OscillatorState, "03");
  EXPECT_FALSE(ctl::OscillatorState.is(t, 3));
  EXPECT_EQ(ctl::OscillatorState.get(t), 3);  // StrToInt reads it all the same
}

TEST(ControlCells, StartValuesAreTheTextsTheStartUpLeaves) {
  WorkTable series("SeriesTable", 42, 4865), cache("CacheTable", 21, 1), stats("StatsTable", 15, 6);
  ctl::WriteStart<ctl::WindowStart, ctl::PositionFlag, ctl::TradesOpened, ctl::TradesClosed,
                  ctl::RuleNumber, ctl::EntryDirection, ctl::CacheSlot, ctl::ChartLayout,
                  ctl::PickerShown, ctl::ChartSpan, ctl::StockFound, ctl::MemoShown,
                  ctl::OscillatorState, ctl::RowsConsidered, ctl::DateSource>(series);
  ctl::WriteStart<ctl::CacheColumnFound>(cache);
  ctl::WriteStart<ctl::Condition>(stats);

  const std::pair<CellRef, const char*> kTexts[] = {
      {ctl::WindowStart, "0"},     {ctl::PositionFlag, "0"},      {ctl::TradesOpened, "0"},
      {ctl::TradesClosed, "0"},    {ctl::RuleNumber, "7"},        {ctl::EntryDirection, "1"},
      {ctl::CacheSlot, "0"},       {ctl::ChartLayout, "1"},       {ctl::PickerShown, "0"},
      {ctl::ChartSpan, "800"},     {ctl::StockFound, "1"},        {ctl::MemoShown, "1"},
      {ctl::OscillatorState, "0"}, {ctl::RowsConsidered, "4860"}, {ctl::DateSource, "1"}};
  for (const auto& [cell, text] : kTexts) {
    EXPECT_EQ(series.cell(cell), text) << cell.col << "," << cell.row;
  }
  EXPECT_EQ(cache.cell(ctl::CacheColumnFound), "0");
  EXPECT_EQ(stats.cell(ctl::Condition), "S1");
}

TEST(ControlCells, FifthLineShowsS5OnlyInTheLongTermUnderS) {
  testing::RecordingPlatform platform;
  State ws(platform);
  struct Case {
    const char* span;
    const char* selector;
    bool s5;
  };
  for (const Case& c : {Case{"4800", "S", true}, Case{"800", "S", false},
                        Case{"4800", "ST9", false}, Case{"", "S", false}}) {
    ws.SeriesTable.set(ctl::ChartSpan, c.span);
    ws.form.setText("Button81", c.selector);
    EXPECT_EQ(FifthLineShowsS5(ws), c.s5) << c.span << " " << c.selector;
  }
}

}  // namespace
}  // namespace tavrine
