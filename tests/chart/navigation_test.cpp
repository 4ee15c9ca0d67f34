#include <gtest/gtest.h>

#include "chart_fixture.h"

namespace tavrine {
namespace {

using namespace charttest;

// The full-width form of an ASCII text, as typed with the input method on.
std::string HalfWidthToWide(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    const int u = 0xFF01 + (c - '!');
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
  return out;
}

// A stock whose trading days fall on every other calendar day, so that the
// day between two rows is a holiday.
class NavigationTest : public ::testing::Test {
 protected:
  static constexpr int kLast = 4000;  // last data row

  void SetUp() override {
    base_ = DaysFromCivil(2024, 12, 31);
    auto& calc = ws.CalcTable;
    auto& series = ws.SeriesTable;
    for (int r = 1; r <= 4860; ++r) {
      calc.set(0, r, Date(r));
      for (int c = 1; c <= 10; ++c) calc.set(c, r, ValueText(c, r));
      for (int c = 25; c <= 28; ++c) calc.set(c, r, ValueText(c, r));
      calc.set(17, r, "0");
      calc.set(18, r, IntToStr(r));
      series.set(29, r, "50");
      series.set(30, r, "-50");
    }
    series.set(0, 1, Date(8));
    series.setInt(1, 4862, kLast);
    static const testing::NamedCell kControl[] = {
        {ctl::FirstDataRow, "1"}, {ctl::PricedRows, "800"},    {ctl::ChartSpan, "800"},
        {ctl::ChartLayout, "1"},  {ctl::OscillatorState, "0"}, {ctl::PriceScale, "125"},
        {ctl::WindowStart, "0"}};
    SetCells(series, kControl);
    ws.form.setText("Edit10", "1");
    ws.form.setText("Button118", "狭");
    ws.form.setText("Button81", "S");
  }

  std::string Date(int row) const { return DateToStr(base_ - 2 * row); }
  std::string Holiday(int rowAfter) const { return DateToStr(base_ - 2 * rowAfter - 1); }
  int WindowStart() const { return ws.SeriesTable.getInt(4, 4863); }

  // The day view of window start o: every line read from column col at rows
  // o+first .. o+300 with CalcTable dates.
  void ExpectDayLine(int pos, const WorkTable& src, int col, int o, int first) {
    const auto& line = ws.chart.line(pos);
    ASSERT_EQ(Xs(ws, pos), Rows(o + first, o + 300)) << line.name;
    for (const auto& p : line.points) {
      const int row = static_cast<int>(p.x);
      ASSERT_EQ(p.y, static_cast<double>(src.getFloat(col, row))) << line.name;
      ASSERT_EQ(p.label, Date(row)) << line.name;
      ASSERT_EQ(p.color, line.color);
    }
  }

  void Jump(const std::string& text) { ASSERT_TRUE(testing::TypeAndEnter(ws, "Edit2", text)); }

  RecordingPlatform platform;
  Workspace ws{platform};
  int base_ = 0;
};

TEST_F(NavigationTest, DayStepsMoveTheWindowStartButNeverPastTheNewestDay) {
  const auto before = ws.chart.version();
  Click(ws, "Button61");  // 次日 at the newest day
  EXPECT_EQ(WindowStart(), 0);
  EXPECT_EQ(ws.chart.version(), before);

  Click(ws, "Button62");  // 前日
  EXPECT_EQ(WindowStart(), 1);
  EXPECT_EQ(ws.form.text("Edit2"), Date(2));
  Click(ws, "Button61");
  EXPECT_EQ(WindowStart(), 0);
  ExpectDayLine(ChartModel::owarine, ws.CalcTable, 1, 0, 1);
  EXPECT_EQ(ws.form.text("Edit2"), Date(1));
  EXPECT_EQ(ws.form.text("Edit6"), ValueText(1, 1));

  ws.form.setText("Edit10", "5");
  Click(ws, "Button62");
  Click(ws, "Button62");
  EXPECT_EQ(WindowStart(), 10);
  ExpectDayLine(ChartModel::owarine, ws.CalcTable, 1, 10, 1);
  Click(ws, "Button61");
  EXPECT_EQ(WindowStart(), 5);
  EXPECT_EQ(ws.form.text("Edit2"), Date(6));
  // A step larger than the window start does nothing.
  ws.form.setText("Edit10", "6");
  Click(ws, "Button61");
  EXPECT_EQ(WindowStart(), 5);
  // Nor can a negative step on 前日 go past the newest day.
  ws.form.setText("Edit10", "-6");
  Click(ws, "Button62");
  EXPECT_EQ(WindowStart(), 5);
  EXPECT_TRUE(platform.errors.empty());
  EXPECT_EQ(ws.navigation.rewindowCount(), 0);
}

TEST_F(NavigationTest, StepThatIsNotAnIntegerLeavesTheWindowStart) {
  ws.SeriesTable.set(4, 4863, "3");
  for (const char* step : {"1.5", "", "x"}) {
    ws.form.setText("Edit10", step);
    Click(ws, "Button61");
    Click(ws, "Button62");
    EXPECT_EQ(WindowStart(), 3) << step;
  }
  ASSERT_EQ(platform.errors.size(), 6u);
  EXPECT_EQ(platform.errors[0], "「1.5」は整数として読めません（例 10）");
  EXPECT_TRUE(ws.chart.line(ChartModel::owarine).points.empty());
}

TEST_F(NavigationTest, DayViewWithTrendLines) {
  ws.CalcTable.set(1, 7, "0");  // drawn as zero: the day view skips nothing
  ws.SeriesTable.set(4, 4863, "2");
  const auto seriesVersion = ws.SeriesTable.version();
  ws.navigation.Button63Click();
  for (int p = ChartModel::owarine; p <= ChartModel::idouheikinn1000; ++p)
    ExpectDayLine(p, ws.CalcTable, p + 1, 2, 1);
  EXPECT_EQ(ws.chart.line(ChartModel::owarine).points[4].y, 0.0);
  ExpectDayLine(ChartModel::S1, ws.CalcTable, 7, 2, 3);
  ExpectDayLine(ChartModel::S2, ws.CalcTable, 8, 2, 13);
  ExpectDayLine(ChartModel::S3, ws.CalcTable, 9, 2, 38);
  ExpectDayLine(ChartModel::S4, ws.CalcTable, 10, 2, 101);
  EXPECT_EQ(ws.chart.line(ChartModel::S1).points.size(), 298u);
  EXPECT_EQ(ws.chart.line(ChartModel::S4).points.size(), 200u);
  ExpectDayLine(ChartModel::jiku, ws.CalcTable, 17, 2, 1);
  EXPECT_TRUE(ws.chart.line(ChartModel::S5).points.empty());
  EXPECT_TRUE(ws.chart.line(ChartModel::Series1).points.empty());
  EXPECT_EQ(ws.form.text("Button81"), "S");
  EXPECT_EQ(ws.form.text("Edit2"), Date(3));
  EXPECT_EQ(ws.form.text("Edit6"), ValueText(1, 3));
  // The window, its control cells and the heading box are left alone.
  EXPECT_EQ(ws.SeriesTable.version(), seriesVersion);
  EXPECT_EQ(ws.form.text("Edit5"), "");
  EXPECT_EQ(platform.waitsBegun, platform.waitsEnded);
}

TEST_F(NavigationTest, DayViewWithAnotherOverlayShowsTheBands) {
  ws.SeriesTable.set(12, 4862, "3");
  ws.SeriesTable.set(4, 4863, "4");
  ws.navigation.Button63Click();
  EXPECT_EQ(ws.form.text("Button81"), "S/O");
  ExpectDayLine(ChartModel::owarine, ws.CalcTable, 1, 4, 1);
  ExpectDayLine(ChartModel::S1, ws.CalcTable, 25, 4, 1);
  ExpectDayLine(ChartModel::S2, ws.CalcTable, 26, 4, 13);
  ExpectDayLine(ChartModel::S3, ws.CalcTable, 27, 4, 38);
  ExpectDayLine(ChartModel::S4, ws.CalcTable, 28, 4, 101);
  ExpectDayLine(ChartModel::S5, ws.SeriesTable, 29, 4, 1);
  ExpectDayLine(ChartModel::jiku, ws.SeriesTable, 30, 4, 1);
  ExpectDayLine(ChartModel::Series1, ws.CalcTable, 17, 4, 1);
  EXPECT_EQ(ws.chart.line(ChartModel::S5).points[0].y, 50.0);
  EXPECT_EQ(ws.chart.line(ChartModel::jiku).points[0].y, -50.0);
}

TEST_F(NavigationTest, DayViewPastTheTableStopsAfterClearing) {
  ws.SeriesTable.set(4, 4863, "4560");
  ws.navigation.Button63Click();  // rows 4561..4860: the last full view
  ASSERT_EQ(ws.chart.line(ChartModel::S4).points.size(), 200u);
  Click(ws, "Button62");
  EXPECT_EQ(WindowStart(), 4561);  // written before drawing
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], "「」は数値として読めません（例 1.05）");
  EXPECT_EQ(Xs(ws, ChartModel::owarine), Rows(4562, 4860));
  for (int p = ChartModel::idouheikin5; p <= ChartModel::Series1; ++p)
    EXPECT_TRUE(ws.chart.line(p).points.empty()) << ws.chart.line(p).name;
  EXPECT_EQ(platform.waitsBegun, platform.waitsEnded);
  Click(ws, "Button61");  // and back
  EXPECT_EQ(platform.errors.size(), 1u);
  ExpectDayLine(ChartModel::owarine, ws.CalcTable, 1, 4560, 1);
}

TEST_F(NavigationTest, JumpToTheExactDateText) {
  ws.SeriesTable.set(16, 4864, "1");
  Jump(Date(51));
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  EXPECT_EQ(WindowStart(), 50);
  EXPECT_EQ(ws.navigation.rewindowCount(), 1);
  EXPECT_EQ(ws.SeriesTable.cell(16, 4864), "0");
  EXPECT_EQ(ws.SeriesTable.cell(10, 4863), Date(51));
  // The rebuilt window ends at that day and the redraw shows it in the box.
  EXPECT_EQ(ws.SeriesTable.cell(0, 1), Date(51));
  EXPECT_EQ(ws.form.text("Edit2"), Date(51));
  ASSERT_FALSE(ws.chart.line(ChartModel::owarine).points.empty());
  EXPECT_EQ(ws.chart.line(ChartModel::owarine).points[0].label, Date(51));

  // The newest date itself: window start 0 through the continuation.
  Jump(Date(1));
  EXPECT_EQ(WindowStart(), 0);
  EXPECT_EQ(ws.navigation.rewindowCount(), 2);
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(NavigationTest, HolidayAndOtherTextFormsJumpToTheNextTradingDay) {
  // The day between rows 52 and 51: the first pass finds row 51, the second jumps.
  Jump(Holiday(51));
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  EXPECT_EQ(WindowStart(), 50);
  EXPECT_EQ(ws.navigation.rewindowCount(), 1);
  EXPECT_EQ(ws.form.text("Edit2"), Date(51));

  // Row r's date written without leading zeros, with dashes, as eight
  // digits, in the era: the day itself, not the trading day after it.
  int r = 2;
  int y = 0, m = 0, d = 0;
  for (;; ++r) {
    CivilFromDays(base_ - 2 * r, y, m, d);
    if (m < 10 && d < 10) break;
  }
  const std::string ymd[] = {IntToStr(y), IntToStr(m), IntToStr(d)};
  const std::string reiwa = IntToStr(y - 2018);
  int jumps = 1;
  for (const std::string& typed :
       {ymd[0] + "/" + ymd[1] + "/" + ymd[2], ymd[0] + "-0" + ymd[1] + "-0" + ymd[2],
        ymd[0] + "0" + ymd[1] + "0" + ymd[2], "令和" + reiwa + "年" + ymd[1] + "月" + ymd[2] + "日",
        "R" + reiwa + "." + ymd[1] + "." + ymd[2], " " + HalfWidthToWide(Date(r)) + " "}) {
    ws.SeriesTable.set(4, 4863, "7");
    Jump(typed);
    ASSERT_TRUE(platform.errors.empty()) << typed << ": " << platform.errors[0];
    EXPECT_EQ(WindowStart(), r - 1) << typed;
    EXPECT_EQ(ws.form.text("Edit2"), Date(r)) << typed;
    EXPECT_EQ(ws.SeriesTable.cell(10, 4863), Date(r)) << typed;
    EXPECT_EQ(ws.navigation.rewindowCount(), ++jumps) << typed;
  }
  // A holiday typed in another form still moves to the next trading day.
  int hy = 0, hm = 0, hd = 0;
  CivilFromDays(base_ - 2 * 51 - 1, hy, hm, hd);
  ws.SeriesTable.set(4, 4863, "7");
  Jump("R" + IntToStr(hy - 2018) + "." + IntToStr(hm) + "." + IntToStr(hd));
  EXPECT_EQ(WindowStart(), 50);
  EXPECT_EQ(ws.form.text("Edit2"), Date(51));
  jumps += 1;

  // Older than the last data row: the row just before it.
  Jump(Date(kLast + 5));
  EXPECT_EQ(WindowStart(), kLast - 2);
  EXPECT_EQ(ws.form.text("Edit2"), Date(kLast - 1));
  EXPECT_EQ(ws.navigation.rewindowCount(), jumps + 1);
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(NavigationTest, DateLaterThanTheNewestDayKeepsTheWindow) {
  ws.SeriesTable.set(4, 4863, "7");
  Jump(DateToStr(base_));
  EXPECT_EQ(WindowStart(), 7);
  EXPECT_EQ(ws.form.text("Edit2"), Date(8));  // the view did not move
  EXPECT_EQ(ws.navigation.rewindowCount(), 1);
  // From the newest window the box shows the newest date.
  ws.SeriesTable.set(4, 4863, "0");
  Jump(DateToStr(base_ + 30));
  EXPECT_EQ(WindowStart(), 0);
  EXPECT_EQ(ws.form.text("Edit2"), Date(1));
  EXPECT_EQ(ws.navigation.rewindowCount(), 2);
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(NavigationTest, JumpSearchesAtMostTwice) {
  // A row column that disagrees with its row: the second pass finds the day
  // but computes window start 0, and the text still differs from the newest.
  ws.CalcTable.set(18, 51, "1");
  ws.SeriesTable.set(4, 4863, "9");
  Jump(Holiday(51));
  EXPECT_EQ(WindowStart(), 0);
  EXPECT_EQ(ws.navigation.rewindowCount(), 1);
  EXPECT_TRUE(platform.errors.empty());
  // The continuation on its own makes one more search at most.
  ws.form.setText("Edit2", Date(51));
  ws.navigation.Button26Click();
  EXPECT_EQ(ws.navigation.rewindowCount(), 2);
}

TEST_F(NavigationTest, DateBoxThatIsNotADate) {
  ws.SeriesTable.set(4, 4863, "4");
  for (const char* text : {"abc", "2024/13/01", ""}) {
    Jump(text);
    EXPECT_EQ(WindowStart(), 4) << text;
  }
  ASSERT_EQ(platform.errors.size(), 3u);
  EXPECT_EQ(platform.errors[0], "「abc」は日付として読めません（例 2024/01/05）");
  EXPECT_EQ(platform.errors[1], "「2024/13/01」は日付として読めません（例 2024/01/05）");
  EXPECT_EQ(ws.navigation.rewindowCount(), 0);
}

TEST_F(NavigationTest, OnlyEnterStartsTheJump) {
  ws.form.setText("Edit2", Date(30));
  ws.dispatch("Edit2", testing::KeyEvent(65));
  EXPECT_EQ(WindowStart(), 0);
  EXPECT_EQ(ws.navigation.rewindowCount(), 0);
  Click(ws, "Button25");
  EXPECT_EQ(WindowStart(), 29);
  EXPECT_EQ(ws.navigation.rewindowCount(), 1);
}

TEST_F(NavigationTest, BaseDateLabelReturnsToTheNewestDay) {
  ws.SeriesTable.set(4, 4863, "9");
  ws.SeriesTable.set(16, 4864, "1");
  ws.form.setText("Edit2", Date(10));
  Click(ws, "Label1");
  EXPECT_EQ(WindowStart(), 0);
  EXPECT_EQ(ws.SeriesTable.cell(16, 4864), "0");
  EXPECT_EQ(ws.form.text("Edit2"), Date(1));
  EXPECT_EQ(ws.SeriesTable.cell(10, 4863), Date(1));
  EXPECT_EQ(ws.navigation.rewindowCount(), 1);

  // A double click in the box shows the window's first date, nothing more.
  const auto chartVersion = ws.chart.version();
  Event ev;
  ev.kind = Event::DblClick;
  ws.dispatch("Edit2", ev);
  EXPECT_EQ(ws.form.text("Edit2"), ws.SeriesTable.cell(0, 1));
  EXPECT_EQ(ws.chart.version(), chartVersion);
}

TEST_F(NavigationTest, ChartPickingTakesTheLastHitLine) {
  ws.SeriesTable.set(12, 4862, "3");  // bands on S5 and jiku
  ws.navigation.Button63Click();
  ws.form.setText("Edit2", "unchanged");
  using Hits = std::vector<std::pair<std::string, int>>;
  auto pick = [&](const Hits& hits) {
    Event ev;
    ev.kind = Event::MouseDown;
    ev.hits = hits;
    ws.dispatch("chart1", ev);
    return ws.form.text("Edit2");
  };
  // Lines never tested, no hit and a point that does not exist change nothing.
  EXPECT_EQ(pick({{"idouheikin5", 2}, {"idouheikinn1000", 2}, {"Series1", 2}}), "unchanged");
  EXPECT_EQ(pick({}), "unchanged");
  EXPECT_EQ(pick({{"owarine", 300}, {"S2", -1}}), "unchanged");
  // Point k of a day-view line is row first + k.
  EXPECT_EQ(pick({{"owarine", 3}}), Date(4));
  EXPECT_EQ(pick({{"S2", 0}, {"owarine", 5}}), Date(13));
  EXPECT_EQ(pick({{"idouheikinn200", 9}, {"idouheikinn25", 1}}), Date(10));
  EXPECT_EQ(pick({{"idouheikinn75", 20}, {"S4", 0}}), Date(101));
  EXPECT_EQ(pick({{"jiku", 1}, {"S5", 0}}), Date(2));
  EXPECT_EQ(pick({{"S5", 4}, {"S3", 0}}), Date(5));
  EXPECT_EQ(pick({{"S1", 6}, {"idouheikin5", 0}}), Date(7));
  EXPECT_EQ(WindowStart(), 0);
  EXPECT_EQ(ws.navigation.rewindowCount(), 0);
}

}  // namespace
}  // namespace tavrine
