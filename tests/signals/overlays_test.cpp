#include <cmath>
#include <random>

#include "signals_fixture.h"

namespace tavrine::signals_test {
namespace {

class OverlaysTest : public SignalsTest {
 protected:
  static constexpr int kP = 1000;

  // A series of rows first .. last with every column the overlays and the
  // rules read. Closes wander around 1000 so averages stay near them.
  void Fill(int first, int last, unsigned seed = 1) {
    auto& st = ws.SeriesTable;
    st.setInt(2, 4863, first);
    st.setInt(1, 4862, last);
    st.setInt(5, 4863, kP);
    st.set(16, 4864, "0");
    std::mt19937 rng(seed);
    auto& t = ws.CalcTable;
    for (int r = 1; r <= last + 5; ++r) {
      const int close = 900 + static_cast<int>(rng() % 201);
      t.setInt(1, r, close);
      t.setInt(2, r, close + static_cast<int>(rng() % 41) - 20);
      t.setInt(3, r, close + static_cast<int>(rng() % 81) - 40);
      t.set(4, r, IntToStr(close + static_cast<int>(rng() % 101) - 50) + ".5");
      t.set(5, r, IntToStr(close + static_cast<int>(rng() % 121) - 60) + ".25");
      for (int c = 8; c <= 10; ++c) t.setInt(c, r, static_cast<int>(rng() % 7) - 3);
      t.set(34, r, IntToStr(rng() % 500) + ".5");
      t.set(35, r, IntToStr(rng() % 500) + ".5");
      t.set(38, r, IntToStr(rng() % 500) + ".25");
      t.set(39, r, IntToStr(rng() % 500) + ".25");
      if (r % 7 == 0) t.set(35, r, t.cell(34, r));
      if (r % 11 == 0) t.set(39, r, t.cell(38, r));
    }
  }
  const WorkTable& calc() { return ws.CalcTable; }
  const WorkTable& series() { return ws.SeriesTable; }
  long double f(int c, int r) { return ws.CalcTable.getFloat(c, r); }

  void ExpectShortST(int first, int last) {
    for (int r = first; r <= last - 12; ++r) {
      const char* want = "-2";
      if (f(35, r) < f(34, r) && f(9, r) > 0)
        want = "2";
      else if (f(35, r) <= f(34, r))
        want = "0";
      ASSERT_EQ(calc().cell(40, r), want) << r;
    }
  }
  void ExpectLongST(int first, int last) {
    for (int r = first; r <= last - 94; ++r) {
      const char* want = f(39, r) < f(38, r) ? "2" : f(39, r) > f(38, r) ? "-2" : "0";
      ASSERT_EQ(calc().cell(40, r), want) << r;
    }
  }
  // Deviation line and bands of factor k against the average in column ma.
  void ExpectDeviation(int first, int lastRow, long double k, int ma, long double band) {
    for (int r = first; r <= lastRow; ++r) {
      const long double close = f(1, r), avg = f(ma, r);
      ASSERT_EQ(calc().getInt(25, r), HalfEven(kP * k * (close - avg) / avg)) << r;
    }
    EXPECT_EQ(calc().getInt(29, 1), HalfEven(kP * k * band));
    EXPECT_EQ(calc().getInt(30, 1), -HalfEven(kP * k * band));
  }
};

TEST_F(OverlaysTest, ShortSTNeedsS3AboveZero) {
  Fill(1, 40);
  // Rows 1 .. 5: the fast line (column 34), the slow one (35), S3 and the signal.
  const struct {
    const char *fast, *slow, *s3, *signal;
  } rows[] = {{"300", "200", "0", "0"},    // fast above slow, S3 zero: 0
              {"300", "200", "0.5", "2"},  // S3 above zero: 2
              {"300", "200", "-1", "0"},
              {"200", "300", "5", "-2"},  // slow above fast: -2
              {"250", "250", "5", "0"}};  // equal: 0
  for (int r = 1; r <= 5; ++r)
    SetCells(ws.CalcTable,
             {{34, r, rows[r - 1].fast}, {35, r, rows[r - 1].slow}, {9, r, rows[r - 1].s3}});
  ws.overlays.Button85Click();
  for (int r = 1; r <= 5; ++r) EXPECT_EQ(calc().cell(40, r), rows[r - 1].signal) << r;
  EXPECT_NE(calc().cell(40, 28), "");
  EXPECT_EQ(calc().cell(40, 29), "");  // rows first .. last-12 only
  ExpectShortST(1, 40);
}

TEST_F(OverlaysTest, TermSwitchTwiceGivesShortThenLongSet) {
  const int first = 2, last = 470;
  Fill(first, last, 3);
  ws.form.setText("Edit2", "x");
  click("Button79");
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  EXPECT_EQ(ws.form.text("Button79"), "短");
  EXPECT_EQ(series().cell(11, 4864), "1");
  EXPECT_EQ(series().cell(12, 4862), "1");
  EXPECT_EQ(ws.form.text("Button81"), "S/O");
  EXPECT_EQ(ws.form.text("Button13"), "S2");
  ExpectShortST(first, last);
  ExpectDeviation(first, last - 25, 3.0L, 3, 0.04L);
  EXPECT_EQ(calc().cell(29, 1), "120");
  for (int r = first; r <= last - 199; ++r) {
    ASSERT_EQ(calc().getInt(20, r), HalfEven(f(1, r) - f(3, r))) << r;
    ASSERT_EQ(calc().getInt(21, r), HalfEven(f(2, r) - f(3, r))) << r;
  }
  for (int r = first + 100; r <= last - 299; ++r) {
    const long long v = calc().getInt(25, r);
    ASSERT_EQ(calc().getInt(31, r), v < -120 ? 2 : v > 120 ? -2 : 0) << r;
  }

  click("Button79");
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  EXPECT_EQ(ws.form.text("Button79"), "長");
  EXPECT_EQ(series().cell(11, 4864), "0");
  EXPECT_EQ(ws.form.text("Button13"), "S3");  // 75-day mode
  ExpectLongST(first, last);
  ExpectDeviation(first, last - 200, 2.7L, 4, 0.07L);
  for (int r = first; r <= last - 199; ++r) {
    ASSERT_EQ(calc().getInt(20, r), HalfEven(calc().getInt(3, r) - f(4, r))) << r;
    ASSERT_EQ(calc().getInt(21, r), HalfEven(calc().getInt(3, r) - f(5, r))) << r;
  }
  for (int r = first + 100; r <= last - 299; ++r) {
    const long long d = HalfEven(calc().getInt(3, r) - f(4, r));
    const long long s4 = calc().getInt(10, r);
    ASSERT_EQ(calc().getInt(24, r), d > 0 && s4 > 0 ? 2 : d < 0 && s4 < 0 ? -2 : 0) << r;
    const long long v = calc().getInt(25, r);
    ASSERT_EQ(calc().getInt(31, r), v < -189 ? 2 : v > 189 ? -2 : 0) << r;
  }
}

TEST_F(OverlaysTest, DeviationButtonCyclesFromStartUp) {
  Fill(1, 470, 4);
  ws.form.setText("Edit2", "2020/01/01");
  ws.SeriesTable.set(10, 4863, "2020/01/01");
  const char* captions[] = {"S2", "S3", "S4", "S2"};
  const char* modes[] = {"1", "1", "0", "1"};
  const char* bands[] = {"120", "189", "250", "120"};
  for (int i = 0; i < 4; ++i) {
    click("Button13");
    ASSERT_TRUE(platform.errors.empty()) << i << " " << platform.errors[0];
    EXPECT_EQ(ws.form.text("Button13"), captions[i]) << i;
    EXPECT_EQ(series().cell(11, 4864), modes[i]) << i;
    EXPECT_EQ(ws.form.text("Button81"), "S/O");
    EXPECT_EQ(series().cell(12, 4862), "1");
    EXPECT_EQ(calc().cell(29, 1), bands[i]) << i;
    EXPECT_EQ(series().cell(29, 1), series().cell(29, 10));
    EXPECT_EQ(series().cell(30, 2), "-" + std::string(bands[i]));
  }
  EXPECT_EQ(ws.form.text("Button79"), "短");
}

TEST_F(OverlaysTest, TwoHundredDayModeBandsAtTenPercent) {
  Fill(1, 300, 5);
  ws.form.setText("Button81", "S/O");
  ws.form.setText("Button13", "S3");
  SetCells(ws.CalcTable, {{1, 1, "1100"},
                          {5, 1, "1000"},
                          {1, 2, "900"},
                          {5, 2, "1000"},
                          {1, 3, "1101"},
                          {5, 3, "1000"}});
  ws.overlays.Button82Click();
  EXPECT_EQ(ws.form.text("Button13"), "S4");
  EXPECT_EQ(series().cell(11, 4864), "0");
  EXPECT_EQ(ws.form.text("Button79"), "長");
  EXPECT_EQ(calc().cell(29, 5), "250");
  EXPECT_EQ(calc().cell(30, 5), "-250");
  EXPECT_EQ(calc().cell(25, 1), "250");
  EXPECT_EQ(calc().cell(25, 2), "-250");
  EXPECT_EQ(calc().cell(25, 3), "252");  // 252.5 to even
  EXPECT_EQ(Rules::BandTest(250, 250, -250), 0);
  ExpectDeviation(1, 100, 2.5L, 5, 0.1L);
  EXPECT_EQ(calc().cell(25, 101), "");
}

TEST_F(OverlaysTest, ShortWindowsWriteNothing) {
  Fill(1, 150, 6);  // last < first + 200: no long deviation line
  ws.overlays.Button82Click();
  for (int r = 1; r <= 150; ++r) ASSERT_EQ(calc().cell(25, r), "") << r;
  EXPECT_EQ(calc().cell(29, 125), "189");  // the copy still runs
  EXPECT_EQ(calc().cell(29, 126), "");

  Fill(1, 25, 7);  // last < 26: no copy at all
  ws.CalcTable.set(26, 1, "m");
  ws.SeriesTable.set(29, 1, "m");
  ws.overlays.Button80Click();
  EXPECT_EQ(calc().cell(26, 1), "m");
  EXPECT_EQ(series().cell(29, 1), "m");
  EXPECT_EQ(calc().cell(25, 1), "");  // rows first .. 0
}

TEST_F(OverlaysTest, OverlayCopyWindowAndManualPriceShift) {
  Fill(1, 100, 8);
  ws.SeriesTable.set(4, 4863, "5");
  ws.overlays.Button80Click();
  for (int i = 1; i <= 75; ++i) {
    ASSERT_EQ(calc().cell(26, i), calc().cell(8, i));
    ASSERT_EQ(calc().cell(28, i), calc().cell(10, i));
    ASSERT_EQ(series().cell(25, i), calc().cell(25, i + 5)) << i;
    ASSERT_EQ(series().cell(27, i), calc().cell(27, i + 5)) << i;
    if (i <= 70) {
      ASSERT_EQ(series().cell(27, i), calc().cell(9, i + 5)) << i;
    }
    ASSERT_EQ(series().cell(30, i), "-120");
  }
  EXPECT_EQ(calc().cell(26, 76), "");

  // A price added by hand: the overlay moves down a row, and row 1 gets its
  // value from the newest-point computation.
  ws.SeriesTable.set(4, 4863, "0");
  ws.SeriesTable.set(16, 4864, "1");
  ws.SeriesTable.set(25, 1, "m");
  ws.overlays.Button80Click();
  EXPECT_EQ(series().cell(25, 1), "m");
  for (int i = 1; i <= 75; ++i) {
    ASSERT_EQ(series().cell(25, i + 1), calc().cell(25, i)) << i;
    ASSERT_EQ(series().cell(26, i + 1), calc().cell(8, i)) << i;
    ASSERT_EQ(series().cell(29, i + 1), "120");
  }
  ws.SeriesTable.set(1, 1, "1030");
  ws.SeriesTable.set(3, 1, "1000");
  ws.form.setText("Button13", "S2");
  ws.overlays.Button103Click();
  EXPECT_EQ(series().cell(25, 1), "90");  // 3000 x 30 / 1000
  ws.SeriesTable.set(4, 1, "1000");
  ws.form.setText("Button13", "S3");
  ws.overlays.Button103Click();
  EXPECT_EQ(series().cell(25, 1), "81");  // 2700 x 30 / 1000
  ws.SeriesTable.set(5, 1, "1200");
  ws.form.setText("Button13", "S4");
  ws.overlays.Button103Click();
  EXPECT_EQ(series().cell(25, 1), "-354");  // 2500 x -170 / 1200 = -354.17
  ws.SeriesTable.set(1, 1, "");
  ws.SeriesTable.set(25, 1, "m");
  ws.overlays.Button103Click();
  EXPECT_EQ(series().cell(25, 1), "m");
}

TEST_F(OverlaysTest, OscillatorSelectorCycle) {
  auto& st = ws.SeriesTable;
  for (int r = 1; r <= 4860; ++r) {
    st.setInt(12, r, r);
    st.setInt(13, r, -r);
  }
  st.set(1, 1, "1010");
  st.set(2, 1, "1000");
  const char* captions[] = {"ST9", "ST65", "S/O", "S"};
  const char* states[] = {"3", "4", "1", "0"};
  for (int i = 0; i < 4; ++i) {
    click("Button81");
    EXPECT_EQ(ws.form.text("Button81"), captions[i]);
    EXPECT_EQ(st.cell(12, 4862), states[i]);
    EXPECT_EQ(st.cell(11, 1), "40");  // 10 x 4000 / 1000
    EXPECT_EQ(st.cell(11, 2), "2");
    EXPECT_EQ(st.cell(11, 4860), "4860");
  }
  // Full-history view with caption "S": the long trend line S5.
  st.set(3, 4863, "4800");
  st.set(12, 4862, "1");
  click("Button81");
  EXPECT_EQ(ws.form.text("Button81"), "S");
  EXPECT_EQ(st.cell(11, 1), "-1");
  EXPECT_EQ(st.cell(11, 4860), "-4860");
  // An unknown state leaves the caption and starts again at "0".
  st.set(12, 4862, "7");
  click("Button81");
  EXPECT_EQ(ws.form.text("Button81"), "S");
  EXPECT_EQ(st.cell(12, 4862), "0");
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(OverlaysTest, TrendLineHeadReset) {
  auto& st = ws.SeriesTable;
  st.set(2, 4863, "3");
  for (int r = 1; r <= 110; ++r)
    for (int c : {7, 8, 9, 10, 26, 27, 28}) st.set(c, r, "x");
  ws.overlays.Button33Click();
  auto zeroRows = [&](int c) {
    int n = 0;
    for (int r = 1; r <= 110; ++r)
      if (st.cell(c, r) == "0") {
        EXPECT_GE(r, 3);
        ++n;
      }
    return n;
  };
  EXPECT_EQ(zeroRows(7), 2);
  EXPECT_EQ(zeroRows(8), 12);
  EXPECT_EQ(zeroRows(26), 12);
  EXPECT_EQ(zeroRows(9), 37);
  EXPECT_EQ(zeroRows(27), 37);
  EXPECT_EQ(zeroRows(10), 100);
  EXPECT_EQ(zeroRows(28), 100);
  EXPECT_EQ(st.cell(10, 102), "0");
  EXPECT_EQ(st.cell(10, 103), "x");
}

TEST_F(OverlaysTest, PickerCellWithUnknownCode) {
  ws.form.setVisible("Panel4", true);
  ws.form.setText("Edit1", "1234");
  ws.StockPicker.set(1, 1, " ");
  ws.dispatch("StringGrid5", testing::MouseUpEvent(1, 1));
  EXPECT_EQ(ws.form.text("Edit1"), "1234");  // a blank cell does nothing
  EXPECT_TRUE(ws.form.visible("Panel4"));

  ws.StockPicker.set(2, 1, "9999ナシ");
  ws.CalcTable.set(0, 1, "2020/05/01");
  ws.dispatch("StringGrid5", testing::MouseUpEvent(2, 1));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0], "銘柄コ-ドを入れ直して下さい**7");
  EXPECT_EQ(ws.form.text("Edit1"), "");
  EXPECT_EQ(series().cell(12, 4863), "S1");
  EXPECT_EQ(series().cell(17, 4862), "1");
  EXPECT_EQ(series().cell(10, 4863), "2020/05/01");
  EXPECT_EQ(ws.form.text("Edit2"), "2020/05/01");
  EXPECT_FALSE(ws.form.visible("Panel4"));
  EXPECT_EQ(platform.waitDepth, 0);
}

// A pick of a listed stock runs the whole chain and ends in the S1 backtest.
TEST_F(OverlaysTest, PickerSelectionRunsTheChain) {
  auto& list = ws.StockList;
  list.set(0, 0, "日付");
  list.set(1, 0, "7203テスト");
  std::mt19937 rng(9);
  long double price = 1500;
  const int n = 700;
  for (int r = n; r >= 1; --r) {
    price *= 1 + (static_cast<int>(rng() % 201) - 100) / 3000.0L;
    list.set(0, r, Day(n - r));
    list.setInt(1, r, std::llround(price));
  }
  ws.SeriesTable.set(1, 4864, "4860");
  ws.SeriesTable.set(17, 4862, "1");
  ws.SeriesTable.set(9, 4863, "1");
  ws.SeriesTable.set(11, 4864, "1");
  ws.form.setText("Button13", "S4");
  ws.form.setVisible("Panel4", true);
  ws.form.setVisible("Panel7", false);
  ws.StockPicker.set(1, 1, "7203テスト");
  ws.chains.StringGrid5MouseUp(1, 1);
  ASSERT_TRUE(platform.errors.empty()) << platform.errors[0];
  EXPECT_EQ(ws.form.text("Edit1"), "7203");
  EXPECT_EQ(series().cell(11, 4864), "0");
  EXPECT_EQ(ws.form.text("Button13"), "S2");
  EXPECT_EQ(ws.form.text("Button81"), "S");
  EXPECT_EQ(ws.StatsTable.cell(13, 3), "S1");
  EXPECT_EQ(series().cell(7, 4862), "7");
  EXPECT_FALSE(ws.form.visible("Panel4"));
  EXPECT_TRUE(ws.form.visible("Panel7"));
  // The trades of the S1 column over its window, counted by hand.
  const int v = series().getInt(2, 4862);
  int trades = 0, open = 0;
  for (int r = v - 7; r >= 4; --r) {
    const int s = calc().getInt(7, r);
    if (!open && s > 0)
      open = 1;
    else if (open && s < 0)
      open = 0, ++trades;
  }
  ASSERT_GT(trades, 0);
  EXPECT_EQ(ws.StatsTable.cell(11, 3), IntToStr(trades));
  EXPECT_EQ(ws.StatsTable.cell(6, trades + 1), "");
  EXPECT_NE(ws.StatsTable.cell(6, trades), "");
  // Column 11 of the window comes from the S1 auxiliary line.
  EXPECT_EQ(series().cell(11, 50), series().cell(12, 50));
}

}  // namespace
}  // namespace tavrine::signals_test
