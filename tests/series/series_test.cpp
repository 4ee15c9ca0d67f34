#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "series_fixture.h"
#include "store/decimal_form.h"

namespace tavrine::series_test {
namespace {

// Every cell the series code owns, against the reference: CalcTable
// columns 0..18 and 32..40 after the zero fill, the window in SeriesTable
// and the control cells it writes.
void CheckAgainstReference(Workspace& ws, int k, int W) {
  const Expected e = Reference(ws, k);
  const auto& calc = ws.CalcTable;
  const auto& st = ws.SeriesTable;
  EXPECT_EQ(st.cell(2, 4863), std::to_string(e.F));
  EXPECT_EQ(st.cell(1, 4862), std::to_string(e.L));
  EXPECT_EQ(st.cell(5, 4863), std::to_string(e.P));
  auto calcExpected = [&](int c, int r) -> std::string {
    const std::string& v = e.at(c, r);
    if (c >= 1 && c <= 31 && v.empty()) return "0";  // zero fill
    return v;
  };
  int bad = 0;
  for (int r = 1; r <= kDays && bad < 10; ++r)
    for (int c : {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                  14, 15, 16, 17, 18, 32, 33, 34, 35, 36, 37, 38, 39, 40})
      if (calc.cell(c, r) != calcExpected(c, r)) {
        ADD_FAILURE() << "CalcTable[" << c << "," << r << "] = '" << calc.cell(c, r)
                      << "', expected '" << calcExpected(c, r) << "'";
        ++bad;
      }
  EXPECT_EQ(calc.cell(2, 0), "5日移動平均");
  EXPECT_EQ(calc.cell(12, 0), "S1補助");
  EXPECT_EQ(calc.cell(1, 0), ws.StockList.cell(k, 0));
  EXPECT_EQ(calc.cell(19, 0), "");
  EXPECT_EQ(calc.cell(41, 0), "41");

  // Window: SeriesTable row a is CalcTable row a + W, then its zero fill.
  const int M = e.L - 1;
  EXPECT_EQ(st.cell(19, 0), " ");
  EXPECT_EQ(st.cell(18, 0), "行");
  for (int a = 1; a <= kDays && bad < 20; ++a) {
    for (int c = 0; c <= 41; ++c) {
      std::string want;
      const bool ours = c <= 18 || (c >= 32 && c <= 41);
      if (a <= M - W) {
        want = ours ? calcExpected(c, a + W) : calc.cell(c, a + W);
        if (want.empty()) want = " ";
      } else if (!ours) {
        continue;  // the overlays may draw their bands past the window
      }
      if (c >= 1 && (want.empty() || want == " ")) want = "0";
      if (c >= 1 && c <= 29 && a < e.F) want = "";
      if (!ours && c > 29 && a < e.F) continue;
      if (st.cell(c, a) != want) {
        ADD_FAILURE() << "SeriesTable[" << c << "," << a << "] = '" << st.cell(c, a)
                      << "', expected '" << want << "'";
        ++bad;
      }
    }
  }
  // Priced rows of the window, counted before its zero fill: rows 2..L whose
  // close is a real, non-zero price inside the window.
  int priced = 0;
  for (int r = 2; r <= e.L; ++r)
    if (r <= M - W && !e.at(1, r + W).empty() && e.at(1, r + W) != "0") ++priced;
  EXPECT_EQ(st.cell(2, 4862), std::to_string(priced + 1));
  EXPECT_EQ(st.cell(4, 4864), ws.StockList.cell(k, 0));  // control rows untouched
}

struct SeriesTest : ::testing::Test {
  RecordingPlatform platform;
  Workspace ws{platform};
  void SetUp() override { FillDates(ws); }
  void Select(int k, int W = 0) {
    StartUpCells(ws, k);
    ws.SeriesTable.set(4, 4863, std::to_string(W));
    RunChain(ws);
  }
};

TEST_F(SeriesTest, FullHistoriesMatchTheReference) {
  PutColumn(ws, 4, "7203 full", RandomWalk(1, kDays, 2500));
  Select(4);
  CheckAgainstReference(ws, 4, 0);
  EXPECT_EQ(ws.SeriesTable.cell(1, 4862), "4860");
  EXPECT_EQ(ws.SeriesTable.cell(2, 4863), "1");

  // Cheap stock with a window start further back.
  PutColumn(ws, 5, "8001 cheap", RandomWalk(2, kDays, 60));
  Select(5, 137);
  CheckAgainstReference(ws, 5, 137);
  EXPECT_EQ(platform.waitDepth, 0);
  EXPECT_TRUE(platform.errors.empty());
  EXPECT_FALSE(ws.CalcTable.suspended());
  EXPECT_FALSE(ws.SeriesTable.suspended());
}

TEST_F(SeriesTest, LateStartAndBlankTopRows) {
  // Listed later: prices only in rows 1..3100.
  PutColumn(ws, 7, "6758 late", RandomWalk(3, 3100, 900));
  Select(7);
  CheckAgainstReference(ws, 7, 0);
  EXPECT_EQ(ws.SeriesTable.cell(1, 4862), "3100");

  // Three blank days at the top: F = 4, P averages rows 5..29.
  auto cells = RandomWalk(4, 4000, 1500);
  cells[0] = cells[1] = cells[2] = " ";
  PutColumn(ws, 8, "9984 top", cells);
  Select(8);
  CheckAgainstReference(ws, 8, 0);
  EXPECT_EQ(ws.SeriesTable.cell(2, 4863), "4");
  long long s = 0;
  for (int r = 5; r <= 29; ++r) s += HalfEven(Parse(ws.StockList.cell(8, r)));
  EXPECT_EQ(ws.SeriesTable.cell(5, 4863), std::to_string(HalfEven(s / 25.0L)));
  // Rows above the first data row show nothing in the window.
  EXPECT_EQ(ws.SeriesTable.cell(1, 3), "");
  EXPECT_EQ(ws.SeriesTable.cell(29, 1), "");
  EXPECT_EQ(ws.SeriesTable.cell(32, 1), "0");
}

TEST_F(SeriesTest, ScratchColumnLeavesOutItsFiveOldestRows) {
  PutColumn(ws, 199, "4755 scratch", RandomWalk(5, 1200, 700));
  Select(199);
  EXPECT_EQ(ws.SeriesTable.cell(1, 4862), "1195");
  CheckAgainstReference(ws, 199, 0);
  EXPECT_EQ(ws.CalcTable.cell(1, 1196), "0");  // not part of the series
}

TEST_F(SeriesTest, FirstAndLastRowsWithBlanks) {
  // Blanks " " at rows 2 and 5 among the top 20 and below the oldest price;
  // an empty cell counts the same.
  std::vector<std::string> cells(500, "100");
  cells[1] = " ";
  cells[4] = "";
  for (int i = 6; i < 500; ++i) cells[i] = std::to_string(100 + i % 13);
  PutColumn(ws, 9, "1111 gaps", cells);
  StartUpCells(ws, 9);
  ws.series.Button11Click();
  // Rows 2..4860: 2 blanks inside, 4360 below row 500.
  EXPECT_EQ(ws.SeriesTable.cell(1, 4862), std::to_string(4860 - 2 - 4360));
  // Row 3 (F) holds a price; the blank at row 5 lies inside F..L and is empty,
  // so its close is empty and the 5-day average meets it.
  EXPECT_THROW(ws.chains.Button3Click(), ConversionError);
  EXPECT_EQ(ws.SeriesTable.cell(2, 4863), "3");
}

TEST_F(SeriesTest, RoundingOfFractionalPrices) {
  std::vector<std::string> cells(300, "1000");
  cells[0] = "1234.5";
  cells[1] = "1235.5";
  cells[2] = "-3.5";
  cells[3] = "2.4999";
  PutColumn(ws, 4, "1234 round", cells);
  Select(4);
  EXPECT_EQ(ws.CalcTable.cell(1, 1), "1234");
  EXPECT_EQ(ws.CalcTable.cell(1, 2), "1236");
  EXPECT_EQ(ws.CalcTable.cell(1, 3), "-4");
  EXPECT_EQ(ws.CalcTable.cell(1, 4), "2");
}

TEST_F(SeriesTest, PriceScaleUsesTheTwentyFiveRowsAfterTheFirst) {
  std::vector<std::string> cells(400, "1000");
  cells[0] = "900000";   // row F = 1 is not part of P
  cells[26] = "900000";  // row 27 = F + 26 neither
  cells[25] = "1025";    // row 26 = F + 25 is
  PutColumn(ws, 4, "2222 scale", cells);
  Select(4);
  EXPECT_EQ(ws.SeriesTable.cell(5, 4863), "1001");  // (24 x 1000 + 1025) / 25 = 1001
  CheckAgainstReference(ws, 4, 0);
}

TEST_F(SeriesTest, ShortSeriesRunOnlyThePassesTheyReach) {
  // L = 30: stochastics, 25-day and 1000-day passes (column 12) only.
  PutColumn(ws, 4, "3030 short", RandomWalk(6, 30, 500));
  Select(4);
  CheckAgainstReference(ws, 4, 0);
  const auto& calc = ws.CalcTable;
  EXPECT_NE(calc.cell(3, 6), "0");
  EXPECT_EQ(calc.cell(3, 7), "0");
  for (int r = 1; r <= 30; ++r) {
    EXPECT_EQ(calc.cell(4, r), "0");
    EXPECT_EQ(calc.cell(5, r), "0");
    EXPECT_EQ(calc.cell(8, r), "0");  // S2 not written at all
  }
  EXPECT_FALSE(calc.cell(12, 20).empty());
  EXPECT_EQ(calc.cell(12, 21), "0");
  EXPECT_FALSE(calc.cell(34, 20).empty());
  EXPECT_EQ(calc.cell(34, 21), "");
  EXPECT_EQ(calc.cell(38, 1), "");

  // L = 999: no 1000-day average and no S5, but column 12 down to row 989.
  PutColumn(ws, 5, "0999 almost", RandomWalk(7, 999, 800));
  Select(5);
  CheckAgainstReference(ws, 5, 0);
  for (int r = 1; r <= 999; ++r) {
    ASSERT_EQ(calc.cell(6, r), "0");
    ASSERT_EQ(calc.cell(13, r), "0");
  }
  EXPECT_NE(calc.cell(5, 800), "0");
  EXPECT_EQ(calc.cell(12, 990), "0");
}

TEST_F(SeriesTest, EqualClosesGiveZeroStochasticsAndTheGuideLines) {
  PutColumn(ws, 4, "1234 flat", std::vector<std::string>(400, "1234"));
  Select(4);
  const auto& calc = ws.CalcTable;
  EXPECT_EQ(ws.SeriesTable.cell(5, 4863), "1234");
  EXPECT_EQ(calc.cell(36, 1), "493.6");
  EXPECT_EQ(calc.cell(37, 1), "123.4");
  EXPECT_EQ(calc.cell(36, 388), "493.6");
  EXPECT_EQ(calc.cell(36, 389), "");
  for (int r : {1, 100, 390})  // num 0 over a denominator counted as 1
    EXPECT_EQ(calc.cell(34, r), "0");
  EXPECT_EQ(calc.cell(38, 1), "0");
  EXPECT_EQ(calc.cell(40, 1), "0");
  EXPECT_EQ(calc.cell(40, 306), "0");
  EXPECT_EQ(calc.cell(40, 307), "");
  EXPECT_EQ(calc.cell(7, 3), "0");
  EXPECT_EQ(calc.cell(12, 1), "0");
}

TEST_F(SeriesTest, ZeroAveragesGiveZeroInsteadOfNonsense) {
  // A run of 300 zero prices makes the 5-, 25-, 75- and 200-day averages 0
  // there; the long deviation overlay divides by the 200-day one.
  std::vector<std::string> cells(1600, "800");
  for (int i = 30; i < 330; ++i) cells[i] = "0";
  PutColumn(ws, 4, "0000 zero", cells);
  Select(4);
  EXPECT_TRUE(platform.errors.empty());
  CheckAgainstReference(ws, 4, 0);
  const auto& calc = ws.CalcTable;
  for (int r = 1; r <= kDays; ++r)
    for (int c : {7, 8, 9, 10, 12, 13, 14, 15})
      ASSERT_EQ(calc.cell(c, r).find_first_not_of("-0123456789"), std::string::npos)
          << c << "," << r;
  EXPECT_EQ(calc.cell(12, 80), "0");  // close 0, average 0
  EXPECT_EQ(calc.cell(4, 50), "0");   // a zero 75-day average ...
  EXPECT_EQ(calc.cell(14, 50), "0");  // ... gives S3 0 at its row
  EXPECT_EQ(calc.cell(5, 100), "0");
  EXPECT_EQ(calc.cell(25, 100), "0");  // deviation from a zero 200-day average
}

TEST_F(SeriesTest, BadCellsStopTheExtractionWithTheirText) {
  // A blank at row 7 below prices in rows 1..6: F = 2 and the blank stops it.
  std::vector<std::string> cells(300, "700");
  cells[6] = " ";
  PutColumn(ws, 4, "7777 hole", cells);
  StartUpCells(ws, 4);
  try {
    ws.chains.Button3Click();
    ADD_FAILURE() << "no conversion error";
  } catch (const ConversionError& e) {
    // In Japanese, naming the list file's line (row 7 is line 8) and the stock.
    EXPECT_EQ(std::string(e.what()),
              "デ-タ一覧.csv の8行目: 7777 hole の終値「 」を数値として読めません");
  }
  EXPECT_EQ(ws.SeriesTable.cell(2, 4863), "2");
  EXPECT_EQ(ws.CalcTable.cell(1, 6), "700");  // written before the bad row
  EXPECT_EQ(ws.CalcTable.cell(17, 1), "");    // later steps did not run
  EXPECT_FALSE(ws.CalcTable.suspended());
  EXPECT_FALSE(ws.StockList.suspended());
  EXPECT_EQ(platform.waitDepth, 0);

  for (const std::string bad : {"1,234", "1２34"}) {
    cells.assign(300, "700");
    cells[150] = bad;
    PutColumn(ws, 4, "7777 hole", cells);
    try {
      ws.chains.Button3Click();
      ADD_FAILURE() << "no conversion error for " << bad;
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()),
                "デ-タ一覧.csv の152行目: 7777 hole の終値「" + bad + "」を数値として読めません");
    }
    EXPECT_EQ(ws.CalcTable.cell(1, 150), "700");
    EXPECT_EQ(ws.CalcTable.cell(2, 1), "");  // the passes never ran
  }

  // The collected series in the scratch column is no file: its day is named.
  cells.assign(300, "700");
  cells[20] = "abc";
  PutColumn(ws, 199, "7203", cells);
  StartUpCells(ws, 199);
  try {
    ws.chains.Button3Click();
    ADD_FAILURE() << "no conversion error";
  } catch (const ConversionError& e) {
    EXPECT_EQ(std::string(e.what()), "収集した株価の21日目の終値「abc」を数値として読めません");
  }
}

TEST_F(SeriesTest, PriceTooLargeForAnIntegerStopsLikeAnyOutOfRangePrice) {
  // A 19-digit price text and an exponent form of the same size take the
  // same way: the rounding to whole yen stops the extraction.
  std::vector<std::string> outcome;
  for (const std::string huge : {"1e30", "9999999999999999999", "99999999999999999999999999"}) {
    std::vector<std::string> cells(300, "700");
    cells[150] = huge;
    PutColumn(ws, 4, "7777 huge", cells);
    StartUpCells(ws, 4);
    std::string what;
    try {
      ws.chains.Button3Click();
    } catch (const std::range_error& e) {
      what = e.what();
    }
    EXPECT_EQ(what, "Invalid floating point operation") << huge;
    outcome.push_back(what + "|" + ws.CalcTable.cell(1, 149) + "|" + ws.CalcTable.cell(2, 1));
  }
  EXPECT_EQ(outcome[1], outcome[0]);
  EXPECT_EQ(outcome[2], outcome[0]);
}

TEST_F(SeriesTest, EmptyOldestCloseStopsTheStochasticsWhereTheyReachIt) {
  // Rows 1..99 and 101 priced, row 100 empty: L = 100 and its close is
  // empty. The extraction itself reads rows up to 99; the first 9-day window
  // that reaches row 100 (row 92) raises the error.
  auto cells = RandomWalk(21, 101, 400);
  cells[99] = "";
  PutColumn(ws, 4, "1000 tail", cells);
  StartUpCells(ws, 4);
  const Expected e = Reference(ws, 4);
  try {
    ws.chains.Button3Click();
    ADD_FAILURE() << "no conversion error";
  } catch (const ConversionError& ex) {
    EXPECT_EQ(std::string(ex.what()), "「」は整数として読めません（例 10）");
  }
  const auto& calc = ws.CalcTable;
  EXPECT_EQ(ws.SeriesTable.cell(1, 4862), "100");
  for (int r = 1; r <= kDays; ++r) {
    for (int c : {0, 2, 7, 17, 18}) ASSERT_EQ(calc.cell(c, r), e.at(c, r)) << c << "," << r;
    if (r != 100) {
      ASSERT_EQ(calc.cell(1, r), e.at(1, r)) << r;
    }
    if (r <= 91) {  // 9-day extremes; the 65-day ones never ran
      long long h = -1, l = 1LL << 40;
      for (int j = r; j <= r + 8; ++j) {
        h = std::max<long long>(h, std::stoll(e.at(1, j)));
        l = std::min<long long>(l, std::stoll(e.at(1, j)));
      }
      ASSERT_EQ(calc.cell(32, r), std::to_string(h)) << r;
      ASSERT_EQ(calc.cell(33, r), std::to_string(l)) << r;
    } else {
      ASSERT_EQ(calc.cell(32, r), "") << r;
    }
    for (int c : {3, 12, 34, 35, 36}) ASSERT_EQ(calc.cell(c, r), "") << c << "," << r;
  }
  EXPECT_EQ(calc.cell(1, 100), "");
  EXPECT_EQ(ws.SeriesTable.cell(5, 4863), std::to_string(e.P));
}

TEST_F(SeriesTest, ReWindowAfterTheStartMoved) {
  PutColumn(ws, 4, "5555 window", RandomWalk(8, 2000, 1200));
  Select(4);
  ws.SeriesTable.set(4, 4863, "250");
  ws.chains.Button20Click();
  // Button20 does not recount the priced rows; the rest follows the window.
  const std::string count = ws.SeriesTable.cell(2, 4862);
  EXPECT_EQ(count, std::to_string(2000 - 1 - 250));
  EXPECT_EQ(ws.SeriesTable.cell(1, 1), ws.CalcTable.cell(1, 251));
  EXPECT_EQ(ws.SeriesTable.cell(40, 1), ws.CalcTable.cell(40, 251));
  EXPECT_EQ(ws.SeriesTable.cell(1, 1749), ws.CalcTable.cell(1, 1999));
  EXPECT_EQ(ws.SeriesTable.cell(1, 1750), "0");
  EXPECT_EQ(ws.SeriesTable.cell(0, 1750), "");
  EXPECT_EQ(platform.waitDepth, 0);
}

TEST_F(SeriesTest, PassesReadTheTableWhenItChangedBetweenRuns) {
  PutColumn(ws, 4, "4444 again", RandomWalk(9, 1500, 3000));
  Select(4);
  // Another handler rewrites closes; a pass run on its own must use them.
  for (int r = 1; r <= 1500; ++r) ws.CalcTable.set(1, r, "100");
  ws.series.Button31Click();
  EXPECT_EQ(ws.CalcTable.cell(3, 1), "100");
  EXPECT_EQ(ws.CalcTable.cell(3, 1476), "100");
  ws.CalcTable.set(1, 40, "x");
  EXPECT_THROW(ws.series.Button84Click(), ConversionError);
}

TEST_F(SeriesTest, StochasticsOnSeriesShorterThanTheirWindows) {
  // Closes in rows 1 .. L with no row past L: the 9-day window starts at
  // L - 8, so shorter series write nothing, and the 9-day lines start there.
  auto& calc = ws.CalcTable;
  for (int L : {1, 5, 8, 9, 12}) {
    calc.clearAll();
    for (int r = 1; r <= L; ++r) calc.set(1, r, std::to_string(100 + r % 3));
    ws.SeriesTable.set(2, 4863, "1");
    ws.SeriesTable.setInt(1, 4862, L);
    ws.SeriesTable.set(5, 4863, "100");
    ws.series.Button84Click();
    for (int r = 1; r <= L; ++r) EXPECT_EQ(calc.cell(32, r).empty(), r > L - 8) << L << "," << r;
    if (L >= 9) {
      EXPECT_EQ(calc.cell(32, L - 8), "102");
      EXPECT_EQ(calc.cell(33, L - 8), "100");
    }
  }
}

// The fast form of each value is FloatToStr's text, and its read-back value
// the one StrToFloat gives for that text.
void ExpectGeneralForm(const std::vector<long double>& values) {
  for (long double v : values) {
    long double back = 0;
    const std::string s = DecimalText(v, back);
    ASSERT_EQ(s, FloatToStr(v)) << static_cast<double>(v);
    ASSERT_EQ(back, StrToFloat(s)) << s;
  }
}

// The fast decimal form must be the general 15-digit form to the byte, and
// the value it reports must be what parsing that text gives.
TEST(DecimalForm, AgreesWithTheGeneralForm) {
  std::mt19937_64 gen(42);
  std::uniform_real_distribution<double> mant(1.0, 10.0);
  std::uniform_int_distribution<int> expo(-7, 17);
  std::vector<long double> values = {0.0L,
                                     1.0L,
                                     -2.0L,
                                     493.6L,
                                     123.4L,
                                     0.0001L,
                                     0.00009999L,
                                     1e15L,
                                     999999999999999.5L,
                                     99999999999999.95L,
                                     0.5L,
                                     2.5L,
                                     1234.0L * 0.4L,
                                     12345678901234.5L,
                                     12345678901235.5L,
                                     -0.000123456789012345L};
  for (int i = 0; i < 200000; ++i) {
    long double v = mant(gen) * std::pow(10.0L, expo(gen));
    if (i % 3 == 0) v = static_cast<double>(v);
    if (i % 7 == 0) v = -v;
    if (i % 11 == 0) v = std::round(v * 2) / 2;  // halves: exact ties at 16 digits
    values.push_back(v);
  }
  ExpectGeneralForm(values);
}

// The decimal exponent comes from the value's binade: the values next to
// each power of ten and each power of two are where a wrong one would show.
TEST(DecimalForm, PowersOfTenAndTwoAndTheirNeighbours) {
  std::vector<long double> values;
  auto around = [&values](long double v) {
    long double below = v, above = v;
    for (int i = 0; i < 4; ++i) {
      values.push_back(below);
      values.push_back(above);
      values.push_back(-above);
      below = std::nextafter(below, 0.0L);
      above = std::nextafter(above, 2 * above);
    }
    values.push_back(static_cast<double>(v));
    values.push_back(std::nextafter(static_cast<double>(v), 0.0));
  };
  for (int x = -5; x <= 16; ++x) {
    around(std::pow(10.0L, x));
    around(std::pow(10.0L, x) * 0.999999999999999L);
    around(std::pow(10.0L, x) * 0.9999999999999995L);
  }
  for (int e = -16; e <= 52; ++e) around(std::ldexp(1.0L, e));
  ExpectGeneralForm(values);
}

// A double's digits read from its own bits are those of the same value in
// the extended form, and its text the general form's.
TEST(DecimalForm, DoublesGiveTheDigitsOfTheirExtendedValue) {
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> mant(1.0, 10.0);
  std::uniform_int_distribution<int> expo(-8, 18);
  std::vector<double> values = {
      0.0,   -0.0, 1e-4,     0.99999999999999994, 1e15, 999999999999999.9, 5e-324, 1e308,

      -1e-5, 0.1,  2.0 / 3.0};
  for (int i = 0; i < 100000; ++i) {
    double v = mant(gen) * std::pow(10.0, expo(gen));
    if (i % 5 == 0) v = std::nextafter(std::pow(10.0, expo(gen)), i % 2 ? 0.0 : 1e300);
    values.push_back(i % 3 == 0 ? -v : v);
  }
  for (double v : values) {
    const DecimalValue fromDouble = ToDecimalValue(v);
    const DecimalValue fromExtended = ToDecimalValue(static_cast<long double>(v));
    ASSERT_EQ(fromDouble.plain, fromExtended.plain) << v;
    ASSERT_EQ(fromDouble.back, fromExtended.back) << v;
    if (!fromDouble.plain) continue;
    char buf[kDecimalChars];
    ASSERT_EQ(std::string(buf, PlainDecimalChars(fromDouble.digits, buf)), FloatToStr(v)) << v;
  }
}

}  // namespace
}  // namespace tavrine::series_test

namespace tavrine::series_test {
namespace {

// The quick roundings must give what Round gives on the same values.
TEST(DecimalForm, QuickRoundingsAgreeWithRound) {
  std::mt19937_64 gen(7);
  std::uniform_int_distribution<long long> sums(-50000000000LL, 50000000000LL);
  for (long long w : {3LL, 5LL, 25LL, 75LL, 200LL, 1000LL})
    for (int i = 0; i < 20000; ++i) {
      long long s = sums(gen);
      if (i % 4 == 0) s = (s / w) * w + w / 2 * (i % 8 == 0 ? 1 : -1);  // near and at halves
      ASSERT_EQ(RoundQuotient(s, w), Round(static_cast<long double>(s) / w)) << s << "/" << w;
    }
  std::uniform_real_distribution<double> real(-1e7, 1e7);
  std::vector<long double> values = {0.5L, 1.5L, 2.5L, -0.5L, -1.5L, -2.5L, 0.49999999999L, -0.0L};
  // Beyond 64 bits Round stops with an error.
  EXPECT_THROW(Round(1e19L), std::range_error);
  EXPECT_THROW(Round(-1e19L), std::range_error);
  for (int i = 0; i < 100000; ++i) {
    long double v = real(gen);
    if (i % 3 == 0) v = std::round(v * 2) / 2;
    values.push_back(v / 3.0L);
    values.push_back(v);
  }
  for (long double v : values)
    ASSERT_EQ(Round(v), static_cast<long long>(std::nearbyintl(v))) << static_cast<double>(v);

  std::vector<std::string> prices = {"0",           "-0",     "1234.5", "1235.5", "1234.50",
                                     "1234.500001", "-3.5",   "-2.5",   "2.4999", "999999999",
                                     "7.000001",    "12.125", "0.5",    "1.5"};
  std::uniform_int_distribution<int> whole(0, 200000), frac(0, 9999);
  for (int i = 0; i < 20000; ++i)
    prices.push_back(std::to_string(whole(gen)) + "." + std::to_string(frac(gen)) +
                     (i % 2 ? "5" : ""));
  for (const auto& p : prices) {
    long long yen = 0;
    ASSERT_TRUE(TryRoundPrice(p, yen)) << p;
    ASSERT_EQ(yen, Round(StrToFloat(p))) << p;
  }
  // Long digit runs (a 19-digit price once overflowed the accumulator) go to
  // the general parser.
  for (const std::string p :
       {"", " ", "1,234", "+5", " 12", "1e3", "12.", ".5", "1234567890", "1.1234567", "１２",
        "9999999999999999999", "-99999999999999999999999", "1.99999999999999999999",
        "5.0000000000000000000000001"}) {
    long long yen = 0;
    EXPECT_FALSE(TryRoundPrice(p, yen)) << p;
  }
}

}  // namespace
}  // namespace tavrine::series_test
