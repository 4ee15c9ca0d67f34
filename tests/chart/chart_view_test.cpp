#include <gtest/gtest.h>

#include "chart_fixture.h"

namespace tavrine {
namespace {

using namespace charttest;

// The window of a stock with data in every row: every cell names its column
// and row, column 17 is the zero axis, column 0 one calendar day per row.
class ChartViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = DaysFromCivil(2024, 12, 31);
    auto& t = ws.SeriesTable;
    for (int r = 1; r <= 4860; ++r) {
      t.set(0, r, Date(r));
      for (int c = 1; c <= 41; ++c) t.set(c, r, ValueText(c, r));
      t.set(17, r, "0");
      t.set(18, r, IntToStr(r));
    }
    t.set(2, 4863, "1");     // first data row
    t.set(2, 4862, "4800");  // priced rows of the window
    t.set(12, 4862, "0");    // selector: trend lines
    t.set(1, 4863, "1");     // lower lines follow the selector
    t.set(5, 4863, "125");   // price scale
    t.set(4, 4864, "7203 テスト自動車");
    t.set(5, 4864, "77");  // left from an earlier long-term draw
    ws.form.setText("Button118", "狭");
    ws.form.setText("Button81", "S");
  }

  std::string Date(int row) const { return DateToStr(base_ - row); }

  // Empties columns 1..29 above the first data row, as the window fill does.
  void FirstDataRow(int f) {
    for (int r = 1; r < f; ++r)
      for (int c = 1; c <= 29; ++c) ws.SeriesTable.set(c, r, "");
    ws.SeriesTable.setInt(2, 4863, f);
  }

  // Points of a line read column col at the expected rows, with their dates.
  void ExpectLine(int pos, int col, const std::vector<int>& rows) {
    const auto& line = ws.chart.line(pos);
    ASSERT_EQ(Xs(ws, pos), rows) << line.name;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const auto& p = line.points[i];
      ASSERT_EQ(p.y, static_cast<double>(Value(col, rows[i]))) << line.name << " row " << rows[i];
      ASSERT_EQ(p.label, Date(rows[i])) << line.name;
      ASSERT_EQ(p.color, line.color) << line.name;
    }
  }

  void ExpectPriceLines(const std::vector<int>& rows) {
    for (int p = ChartModel::owarine; p <= ChartModel::idouheikinn1000; ++p)
      ExpectLine(p, p + 1, rows);
  }

  void ExpectBaseLine(const std::vector<int>& rows) {
    const auto& line = ws.chart.line(ChartModel::Series1);
    ASSERT_EQ(Xs(ws, ChartModel::Series1), rows);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(line.points[i].y, 0.0);
      EXPECT_EQ(line.points[i].label, Date(rows[i]));
    }
  }

  RecordingPlatform platform;
  Workspace ws{platform};
  int base_ = 0;
};

TEST_F(ChartViewTest, TermComesFromTheSendersTag) {
  struct Case {
    const char* sender;
    const char* span;
  } cases[] = {{"Button4", "300"},
               {"Button2", "4800"},
               {"DrawChart", "800"},
               {"TForm1", "800"},
               {"Edit1", "800"}};
  for (const auto& c : cases) {
    ws.chartView.DrawChartClick(c.sender);
    EXPECT_EQ(ws.SeriesTable.cell(3, 4863), c.span) << c.sender;
  }
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(ChartViewTest, MiddleTermNarrowWorkedExample) {
  Click(ws, "DrawChart");
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  EXPECT_EQ(ws.SeriesTable.cell(3, 4862), "800");
  EXPECT_EQ(ws.SeriesTable.cell(5, 4864), "77");  // only written above 2000 days
  ExpectPriceLines(Rows(1, 801));
  for (int i = 0; i < 4; ++i) ExpectLine(ChartModel::S1 + i, 7 + i, Rows(1, 798));
  // S5 is column 12 copied into column 11, its newest point computed again:
  // (1001 - 2001) x 4 x 125 / 2001 = -249.875 -> -250.
  const auto& s5 = ws.chart.line(ChartModel::S5).points;
  ASSERT_EQ(Xs(ws, ChartModel::S5), Rows(1, 798));
  EXPECT_EQ(s5[0].y, -250.0);
  for (std::size_t i = 1; i < s5.size(); ++i)
    ASSERT_EQ(s5[i].y, static_cast<double>(Value(12, static_cast<int>(i) + 1)));
  EXPECT_TRUE(ws.chart.line(ChartModel::jiku).points.empty());
  ExpectBaseLine(Rows(2, 801));
  EXPECT_EQ(ws.form.text("Edit2"), Date(1));
  EXPECT_EQ(ws.form.text("Edit6"), "1001");
  EXPECT_EQ(ws.SeriesTable.cell(10, 4863), Date(1));
  EXPECT_EQ(ws.form.text("Edit5"), "7203 テスト自動車");
  EXPECT_GT(platform.waitsBegun, 0);
  EXPECT_EQ(platform.waitsBegun, platform.waitsEnded);
  EXPECT_FALSE(ws.SeriesTable.suspended());
  EXPECT_FALSE(ws.CalcTable.suspended());
}

TEST_F(ChartViewTest, LongTermNarrowThinsToEveryTenthDay) {
  FirstDataRow(3);
  Click(ws, "Button2");
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  EXPECT_EQ(ws.SeriesTable.cell(3, 4862), "4800");
  EXPECT_EQ(ws.SeriesTable.cell(5, 4864), "479");  // Trunc(4800 / 10) - 1
  ExpectPriceLines(Rows(3, 4803, 10));
  EXPECT_EQ(ws.chart.line(ChartModel::owarine).points.size(), 481u);
  for (int i = 0; i < 4; ++i) ExpectLine(ChartModel::S1 + i, 7 + i, Rows(3, 4763, 10));
  EXPECT_EQ(ws.chart.line(ChartModel::S1).points.size(), 477u);
  ExpectBaseLine(Rows(11, 4791, 10));
  EXPECT_EQ(ws.form.text("Edit2"), Date(3));
}

TEST_F(ChartViewTest, WideToggleLimitsTheSpanToPricedRows) {
  // 1500 priced rows; older rows hold the zero filler.
  for (int r = 1501; r <= 4860; ++r)
    for (int c = 1; c <= 16; ++c) ws.SeriesTable.set(c, r, "0");
  ws.SeriesTable.set(2, 4862, "1500");
  ws.form.setText("Button118", "巾");
  Click(ws, "Button2");
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  EXPECT_EQ(ws.SeriesTable.cell(3, 4862), "1500");
  EXPECT_EQ(ws.SeriesTable.cell(5, 4864), "77");
  ExpectPriceLines(Rows(1, 1500));  // row 1501 holds "0"
  for (int i = 0; i < 4; ++i) ExpectLine(ChartModel::S1 + i, 7 + i, Rows(1, 1498));
  ExpectBaseLine(Rows(2, 1501));

  // With more priced rows than the term, the term wins.
  Click(ws, "DrawChart");
  EXPECT_EQ(ws.SeriesTable.cell(3, 4862), "800");
}

TEST_F(ChartViewTest, ShortTerm) {
  Click(ws, "Button4");
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  EXPECT_EQ(ws.SeriesTable.cell(3, 4862), "300");
  ExpectPriceLines(Rows(1, 301));
  for (int i = 0; i < 4; ++i) ExpectLine(ChartModel::S1 + i, 7 + i, Rows(1, 298));
  ExpectBaseLine(Rows(2, 301));
}

TEST_F(ChartViewTest, LinesStartAtTheFirstDataRow) {
  FirstDataRow(5);
  Click(ws, "DrawChart");
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  ExpectPriceLines(Rows(5, 805));
  for (int i = 0; i < 4; ++i) ExpectLine(ChartModel::S1 + i, 7 + i, Rows(5, 802));
  // Column 11 copied from 12: empty above row 5 and no newest point to recompute.
  ExpectLine(ChartModel::S5, 12, Rows(5, 802));
  EXPECT_EQ(ws.SeriesTable.cell(11, 1), "");
  ExpectBaseLine(Rows(5, 801));  // rows 2..4 have no zero axis
  EXPECT_EQ(ws.form.text("Edit2"), Date(5));
  EXPECT_EQ(ws.form.text("Edit6"), ValueText(1, 5));
}

TEST_F(ChartViewTest, ManualPriceStartsEveryLineAtRowOne) {
  FirstDataRow(5);
  // The typed price sits in row 1 above three empty days.
  for (int c = 1; c <= 29; ++c) ws.SeriesTable.set(c, 1, ValueText(c, 1));
  ws.SeriesTable.set(16, 4863, "1");
  ws.chartView.DrawChartClick("DrawChart");
  auto withRowOne = [](std::vector<int> rest) {
    rest.insert(rest.begin(), 1);
    return rest;
  };
  ExpectPriceLines(withRowOne(Rows(5, 801)));
  for (int i = 0; i < 4; ++i) ExpectLine(ChartModel::S1 + i, 7 + i, withRowOne(Rows(5, 798)));
  ExpectBaseLine(Rows(5, 801));
  EXPECT_EQ(ws.form.text("Edit2"), Date(1));
  EXPECT_EQ(ws.form.text("Edit6"), ValueText(1, 1));
}

TEST_F(ChartViewTest, FifthLineFollowsTermAndSelectorCaption) {
  auto& t = ws.SeriesTable;
  // Full history with the trend-line caption: the long line S5 from row 501 on.
  ws.chartView.DrawChartClick("Button2");
  for (int r = 1; r <= 500; ++r) ASSERT_EQ(t.cell(11, r), "") << r;
  for (int r = 501; r <= 4860; ++r) ASSERT_EQ(t.cell(11, r), ValueText(13, r)) << r;
  ExpectLine(ChartModel::S5, 13, Rows(501, 4761, 10));

  // Middle term: the S1 auxiliary line everywhere, row 1 from the close.
  // (1005 - 1000) x 4 x 125 / 1000 = 2.5, rounded to the even 2.
  t.set(1, 1, "1005");
  t.set(2, 1, "1000");
  ws.chartView.DrawChartClick("DrawChart");
  EXPECT_EQ(t.cell(11, 1), "2");
  for (int r = 2; r <= 4860; ++r) ASSERT_EQ(t.cell(11, r), ValueText(12, r)) << r;
  // -2.5 -> -2; with P = 175, 3.5 -> 4.
  t.set(1, 1, "995");
  ws.chartView.DrawChartClick("DrawChart");
  EXPECT_EQ(t.cell(11, 1), "-2");
  t.set(1, 1, "1005");
  t.set(5, 4863, "175");
  ws.chartView.DrawChartClick("DrawChart");
  EXPECT_EQ(t.cell(11, 1), "4");
  // A close typed with a fraction is read as a decimal: 1002.5 -> 1.75 -> 2.
  t.set(1, 1, "1002.5");
  ws.chartView.DrawChartClick("DrawChart");
  EXPECT_EQ(t.cell(11, 1), "2");

  // Full history under another caption also takes column 12.
  ws.form.setText("Button81", "ST9");
  ws.chartView.DrawChartClick("Button2");
  EXPECT_EQ(t.cell(11, 500), ValueText(12, 500));

  // No average in row 1: the copied cell stays instead of a division by zero.
  t.set(2, 1, "0");
  ws.chartView.DrawChartClick("DrawChart");
  EXPECT_EQ(t.cell(11, 1), ValueText(12, 1));
}

TEST_F(ChartViewTest, ZeroAndEmptyCellsAreSkippedExceptOnTheBaseLine) {
  auto& t = ws.SeriesTable;
  t.set(1, 10, "0");
  t.set(1, 11, "");
  t.set(8, 20, "0");
  t.set(17, 30, "");
  ws.chartView.DrawChartClick("DrawChart");
  ASSERT_TRUE(platform.errors.empty());
  std::vector<int> price = Rows(1, 9);
  for (int r : Rows(12, 801)) price.push_back(r);
  ExpectLine(ChartModel::owarine, 1, price);
  ExpectLine(ChartModel::idouheikinn25, 3, Rows(1, 801));
  std::vector<int> s2 = Rows(1, 19);
  for (int r : Rows(21, 798)) s2.push_back(r);
  ExpectLine(ChartModel::S2, 8, s2);
  std::vector<int> base = Rows(2, 29);
  for (int r : Rows(31, 801)) base.push_back(r);
  ExpectBaseLine(base);
}

TEST_F(ChartViewTest, BlankCellStopsTheRedrawWithConversionError) {
  Click(ws, "DrawChart");
  ASSERT_TRUE(platform.errors.empty());
  ws.SeriesTable.set(1, 100, " ");
  Click(ws, "DrawChart");
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_NE(platform.errors[0].find("「 」"), std::string::npos) << platform.errors[0];
  // The close line stops before the blank; lines not reached keep their points.
  EXPECT_EQ(Xs(ws, ChartModel::owarine), Rows(1, 99));
  EXPECT_EQ(Xs(ws, ChartModel::idouheikinn25), Rows(1, 801));
  EXPECT_EQ(platform.waitsBegun, platform.waitsEnded);
  EXPECT_FALSE(ws.SeriesTable.suspended());

  // A blank on the zero axis passes its skip test too.
  ws.SeriesTable.set(1, 100, ValueText(1, 100));
  ws.SeriesTable.set(17, 50, " ");
  Click(ws, "DrawChart");
  EXPECT_EQ(platform.errors.size(), 2u);
  EXPECT_EQ(Xs(ws, ChartModel::Series1), Rows(2, 49));
}

TEST_F(ChartViewTest, SelectorStateChoosesLowerLineColumns) {
  ws.SeriesTable.set(3, 4863, "800");
  struct Case {
    const char* state;
    int firstCol;
    int lines;
  } cases[] = {{"0", 7, 5}, {"1", 25, 6}, {"3", 34, 4}, {"4", 36, 4}, {"7", 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    ws.SeriesTable.set(12, 4862, c.state);
    Click(ws, "Button8");
    ASSERT_TRUE(platform.errors.empty());
    for (int i = 0; i < 6; ++i) {
      const int pos = ChartModel::S1 + i;
      if (i < c.lines)
        ExpectLine(pos, c.firstCol + i, Rows(1, 798));
      else
        EXPECT_TRUE(ws.chart.line(pos).points.empty()) << ws.chart.line(pos).name;
    }
    ExpectBaseLine(Rows(2, 801));
  }
}

TEST_F(ChartViewTest, LowerLinesFromTheirOwnButtonClearAllSix) {
  ws.SeriesTable.set(3, 4863, "800");
  ws.SeriesTable.set(12, 4862, "1");
  ws.chartView.Button8Click();
  ASSERT_FALSE(ws.chart.line(ChartModel::jiku).points.empty());
  ws.SeriesTable.set(12, 4862, "3");
  ws.chartView.Button15Click();
  EXPECT_TRUE(ws.chart.line(ChartModel::S5).points.empty());
  EXPECT_TRUE(ws.chart.line(ChartModel::jiku).points.empty());
  ExpectLine(ChartModel::S1, 34, Rows(1, 798));
  // The price lines are not touched.
  ExpectLine(ChartModel::owarine, 1, Rows(1, 801));
}

TEST_F(ChartViewTest, WidthToggleFlipsCaptionWithoutRedraw) {
  ws.chartView.DrawChartClick("DrawChart");
  const auto chartVersion = ws.chart.version();
  Click(ws, "Button118");
  EXPECT_EQ(ws.form.text("Button118"), "巾");
  Click(ws, "Button118");
  EXPECT_EQ(ws.form.text("Button118"), "狭");
  ws.form.setText("Button118", "x");
  Click(ws, "Button118");
  EXPECT_EQ(ws.form.text("Button118"), "巾");
  EXPECT_EQ(ws.chart.version(), chartVersion);
}

}  // namespace
}  // namespace tavrine
