#include <gtest/gtest.h>

#include "../support/events.h"
#include "series_fixture.h"

namespace tavrine::series_test {
namespace {

struct SelectionTest : ::testing::Test {
  RecordingPlatform platform;
  Workspace ws{platform};
  void SetUp() override {
    FillDates(ws);
    PutColumn(ws, 4, "7203 トヨタ", RandomWalk(11, 600, 2000));
    PutColumn(ws, 9, "6758 ソニー", RandomWalk(12, 700, 9000));
    PutColumn(ws, 12, "6758 ソニー新", RandomWalk(13, 800, 300));
    PutColumn(ws, 20, "123", RandomWalk(14, 500, 100));
    PutColumn(ws, 21, "1234 四桁", RandomWalk(15, 500, 100));
    PutColumn(ws, 30, "4444 bad", std::vector<std::string>(500, "1,234"));
    PutColumn(ws, 31, "130A 新株", RandomWalk(16, 500, 700));
    StartUpCells(ws, 4);
  }
  // Enter in the code field, as the window delivers it.
  void Enter(const std::string& code) { testing::TypeAndEnter(ws, "Edit1", code); }
};

TEST_F(SelectionTest, EnterSelectsTheStockAndRunsTheChain) {
  ws.SeriesTable.set(4, 4863, "120");
  ws.form.setVisible("Panel4", true);
  ws.form.setText("Edit2", "1999/01/01");
  Enter("7203");
  EXPECT_EQ(ws.SeriesTable.cell(3, 4864), "1");
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "4");
  EXPECT_EQ(ws.SeriesTable.cell(4, 4864), "7203 トヨタ");
  EXPECT_EQ(ws.SeriesTable.cell(4, 4863), "0");  // window from the newest row
  EXPECT_EQ(ws.form.text("Edit2"), ws.StockList.cell(0, 1));
  EXPECT_FALSE(ws.form.visible("Panel4"));
  EXPECT_EQ(ws.CalcTable.cell(1, 0), "7203 トヨタ");
  EXPECT_EQ(ws.SeriesTable.cell(1, 1), ws.CalcTable.cell(1, 1));
  EXPECT_EQ(ws.SeriesTable.cell(1, 4862), "600");
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(platform.waitDepth, 0);
  EXPECT_FALSE(ws.StockPicker.suspended());
}

TEST_F(SelectionTest, ALetterCodeTypedInLowerCaseIsTheListedStock) {
  Enter("130a");
  EXPECT_EQ(ws.form.text("Edit1"), "130A");
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "31");
  EXPECT_TRUE(platform.messages.empty());
  // Typed with the input method on, or with blanks around it.
  for (auto [typed, column] : {std::pair{"７２０３", "4"}, {" 7203　", "4"}, {"１３０ａ", "31"}}) {
    ws.SeriesTable.set(4, 4862, "0");
    Enter(typed);
    EXPECT_EQ(ws.SeriesTable.cell(4, 4862), column) << typed;
    EXPECT_TRUE(platform.messages.empty()) << typed;
  }
  EXPECT_EQ(ws.form.text("Edit1"), "130A");
  // A text that is no code is looked up as typed, and not found.
  Enter("１３０");
  EXPECT_EQ(ws.form.text("Edit1"), "");
  ASSERT_EQ(platform.messages.size(), 1u);
}

TEST_F(SelectionTest, LookUpRules) {
  // The higher of two columns with the same code wins.
  ws.form.setText("Edit1", "6758");
  ws.chains.Button27Click();
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "12");
  EXPECT_EQ(ws.SeriesTable.cell(4, 4864), "6758 ソニー新");
  // A three-character code matches only a heading that is itself that short.
  ws.form.setText("Edit1", "123");
  ws.chains.Button27Click();
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "20");
  ws.StockList.set(20, 0, "");
  ws.chains.Button27Click();
  EXPECT_EQ(ws.SeriesTable.cell(3, 4864), "0");
  // "1234 四桁" is found by its four bytes; a heading whose fourth byte is
  // half of a double-byte character has no whole four-byte code.
  ws.StockList.set(22, 0, "123あ");
  ws.chains.Button27Click();
  EXPECT_EQ(ws.SeriesTable.cell(3, 4864), "0");
  ws.form.setText("Edit1", "1234");
  ws.chains.Button27Click();
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "21");
  // The code box holds full-width digits as ASCII ones.
  ws.form.setText("Edit1", "７２０３");
  EXPECT_EQ(ws.form.text("Edit1"), "7203");
  ws.chains.Button27Click();
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "4");
  // The scratch column is searched like any other.
  PutColumn(ws, 199, "9999 収集", RandomWalk(16, 300, 500));
  ws.form.setText("Edit1", "9999");
  ws.chains.Button27Click();
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "199");
}

TEST_F(SelectionTest, EmptyAndUnknownCodesLeaveTheTablesAlone) {
  Enter("7203");
  const auto calcBefore = ws.CalcTable.rowCells(10);
  const auto seriesBefore = ws.SeriesTable.rowCells(10);
  const std::string window = ws.SeriesTable.cell(2, 4862);

  Enter("");
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0], "銘柄コ-ドを入れ直して下さい!");
  EXPECT_EQ(ws.SeriesTable.cell(3, 4864), "1");  // no look-up took place

  Enter("0000");
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[1], "銘柄コ-ドを入れ直して下さい!*");
  EXPECT_EQ(ws.form.text("Edit1"), "");
  EXPECT_EQ(ws.SeriesTable.cell(3, 4864), "0");
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "4");
  EXPECT_EQ(ws.CalcTable.rowCells(10), calcBefore);
  EXPECT_EQ(ws.SeriesTable.rowCells(10), seriesBefore);
  EXPECT_EQ(ws.SeriesTable.cell(2, 4862), window);
  EXPECT_EQ(platform.waitDepth, 0);
  EXPECT_FALSE(ws.StockPicker.suspended());

  // Other keys do nothing.
  ws.form.setText("Edit1", "");
  ws.dispatch("Edit1", testing::KeyEvent('a'));
  EXPECT_EQ(platform.messages.size(), 2u);
}

TEST_F(SelectionTest, ConversionErrorStopsTheChainAndTheNextSelectionWorks) {
  Enter("4444");
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_NE(platform.errors[0].find("の終値「1,234」を数値として読めません"), std::string::npos)
      << platform.errors[0];
  EXPECT_EQ(ws.SeriesTable.cell(1, 1), "");  // the window copy never ran
  EXPECT_EQ(platform.waitDepth, 0);
  EXPECT_FALSE(ws.StockPicker.suspended());
  EXPECT_FALSE(ws.CalcTable.suspended());
  EXPECT_FALSE(ws.SeriesTable.suspended());
  EXPECT_FALSE(ws.StockList.suspended());

  Enter("6758");
  EXPECT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "12");
  EXPECT_EQ(ws.SeriesTable.cell(1, 4862), "800");
  EXPECT_EQ(ws.SeriesTable.cell(1, 1), ws.CalcTable.cell(1, 1));
  EXPECT_NE(ws.CalcTable.cell(40, 1), "");
}

TEST_F(SelectionTest, StandAloneEnterHandsTheCodeToTheCollection) {
  ws.standAlone = true;
  ws.form.setText("Button17", "銘柄収集");
  // "0200" is one of the index codes the collection turns away at once.
  Enter("0200");
  EXPECT_EQ(ws.form.text("Edit18"), "0200");
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(ws.SeriesTable.cell(4, 4862), "4");
}

}  // namespace
}  // namespace tavrine::series_test
