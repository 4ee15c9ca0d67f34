#include <random>

#include "signals/cells.h"
#include "signals_fixture.h"

namespace tavrine::signals_test {
namespace {

int Agree(long long d, long long s) { return d > 0 && s > 0 ? 2 : (d < 0 && s < 0 ? -2 : 0); }

class RulesTest : public SignalsTest {
 protected:
  // A series with first row f and last row l; averages with halves, trend
  // lines with zeros; rule columns pre-filled with a marker.
  void Fill(int f, int l, unsigned seed) {
    ws.SeriesTable.setInt(2, 4863, f);
    ws.SeriesTable.setInt(1, 4862, l);
    std::mt19937 rng(seed);
    auto& t = ws.CalcTable;
    for (int r = 1; r <= l + 5; ++r) {
      t.setInt(1, r, 990 + static_cast<int>(rng() % 21));
      t.setInt(2, r, 995 + static_cast<int>(rng() % 11));
      t.setInt(3, r, 995 + static_cast<int>(rng() % 11));
      t.set(4, r, IntToStr(995 + static_cast<int>(rng() % 11)) + (rng() % 2 ? ".5" : ".25"));
      t.set(5, r, IntToStr(995 + static_cast<int>(rng() % 11)) + (rng() % 2 ? ".5" : ".75"));
      for (int c = 8; c <= 10; ++c) t.setInt(c, r, static_cast<int>(rng() % 5) - 2);
      for (int c : {20, 21, 22, 23, 24, 31}) t.set(c, r, "m");
    }
  }
  int cellInt(int c, int r) { return ws.CalcTable.getInt(c, r); }
  long long diff(int a, int b, int r) {
    return HalfEven(cellInt(a, r) - ws.CalcTable.getFloat(b, r));
  }
};

TEST_F(RulesTest, TheTenRules) {
  const std::pair<const char*, int> table[] = {{"S1", 7},  {"S2", 8},  {"S3", 9},  {"G3", 20},
                                               {"G4", 21}, {"G5", 22}, {"G6", 23}, {"G7", 24},
                                               {"乖", 31}, {"ST", 40}};
  for (int tag = 0; tag < 10; ++tag) {
    const RuleDef* d = Rules::RuleOfTag(tag);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->label, table[tag].first);
    EXPECT_EQ(d->number, table[tag].second);
    EXPECT_EQ(StrToInt(d->digits), d->number);
    EXPECT_EQ(std::string(d->digits).size(), 2u);
  }
  EXPECT_EQ(Rules::RuleOfTag(10), nullptr);
  EXPECT_EQ(Rules::RuleOfTag(-1), nullptr);
}

TEST_F(RulesTest, RuleButtonsWriteNumberLabelAndCondition) {
  struct Case {
    const char* button;
    const char* term;
    const char* digits;
    const char* label;
    const char* condition;
  };
  const Case cases[] = {
      {"Button38", "短", "08", "S2", "S2"},  {"Button75", "短", "22", "G5", "G5短"},
      {"Button1", "短", "31", "乖", "乖短"}, {"Button83", "長", "40", "ST", "ST長"},
      {"Button39", "長", "09", "S3", "S3"},  {"Button73", "長", "20", "G3", "G3長"},
      {"TForm1", "長", "07", "S1", "S1"},    {"Edit1", "短", "07", "S1", "S1"},
  };
  for (const Case& c : cases) {
    ws.form.setText("Button79", c.term);
    ws.StatsTable.set(13, 3, "old");
    ws.StatsTable.set(9, 1, "old");
    ws.rules.Button37Click(c.button);
    EXPECT_EQ(ws.SeriesTable.cell(7, 4862), c.digits) << c.button;
    EXPECT_EQ(ws.SeriesTable.cell(12, 4863), c.label) << c.button;
    EXPECT_EQ(ws.StatsTable.cell(13, 3), c.condition) << c.button;
    EXPECT_EQ(ws.StatsTable.cell(9, 1), "0") << c.button;  // cleared, then no trades
  }
  EXPECT_EQ(platform.waitDepth, 0);
  EXPECT_FALSE(ws.SeriesTable.suspended());
}

TEST_F(RulesTest, DirectionToggleConditionUsesTheWholeCaption) {
  ws.form.setText("Button79", "短");
  ws.rules.Button37Click("Button77");  // G7
  ws.rules.Button47Click();
  EXPECT_EQ(ws.StatsTable.cell(13, 3), "G7短");
  EXPECT_EQ(ws.SeriesTable.cell(7, 4863), "0");
  ws.rules.Button37Click("Button37");
  ws.rules.Button47Click();
  EXPECT_EQ(ws.StatsTable.cell(13, 3), "S1");
  EXPECT_EQ(ws.form.text("Button47"), "入買");
}

TEST_F(RulesTest, AgreementAndBandTests) {
  EXPECT_EQ(Rules::Agreement(5, 1), 2);
  EXPECT_EQ(Rules::Agreement(-5, -1), -2);
  EXPECT_EQ(Rules::Agreement(0, 3), 0);
  EXPECT_EQ(Rules::Agreement(3, 0), 0);
  EXPECT_EQ(Rules::Agreement(0, 0), 0);
  EXPECT_EQ(Rules::Agreement(3, -3), 0);
  EXPECT_EQ(Rules::Agreement(-3, 3), 0);
  EXPECT_EQ(Rules::BandTest(-120, 120, -120), 0);
  EXPECT_EQ(Rules::BandTest(120, 120, -120), 0);
  EXPECT_EQ(Rules::BandTest(-121, 120, -120), 2);
  EXPECT_EQ(Rules::BandTest(121, 120, -120), -2);
  EXPECT_EQ(Rules::BandTest(0, 120, -120), 0);
}

TEST_F(RulesTest, LongTermSetMatchesAReference) {
  const int f = 3, l = 460;
  Fill(f, l, 7);
  ws.rules.LongTermG();
  for (int r = 1; r <= l; ++r) {
    const bool diffRow = r >= f && r <= l - 199, agreeRow = r >= f + 100 && r <= l - 299;
    if (diffRow) {
      ASSERT_EQ(cellInt(21, r), diff(3, 5, r)) << r;
      ASSERT_EQ(cellInt(20, r), diff(3, 4, r)) << r;
    } else {
      ASSERT_EQ(ws.CalcTable.cell(20, r), "m");
      ASSERT_EQ(ws.CalcTable.cell(21, r), "m");
    }
    if (agreeRow) {
      ASSERT_EQ(cellInt(22, r), Agree(diff(3, 5, r), cellInt(9, r))) << r;
      ASSERT_EQ(cellInt(23, r), Agree(diff(3, 5, r), cellInt(10, r))) << r;
      ASSERT_EQ(cellInt(24, r), Agree(diff(3, 4, r), cellInt(10, r))) << r;
    } else {
      for (int c = 22; c <= 24; ++c) ASSERT_EQ(ws.CalcTable.cell(c, r), "m") << c << "," << r;
    }
  }
}

TEST_F(RulesTest, ShortTermSetMatchesAReference) {
  const int f = 1, l = 420;
  Fill(f, l, 11);
  ws.rules.ShortTermG();
  for (int r = f; r <= l - 199; ++r) {
    ASSERT_EQ(cellInt(20, r), diff(1, 3, r)) << r;
    ASSERT_EQ(cellInt(21, r), diff(2, 3, r)) << r;
  }
  for (int r = f + 100; r <= l - 299; ++r) {
    ASSERT_EQ(cellInt(22, r), Agree(diff(1, 3, r), cellInt(8, r))) << r;
    ASSERT_EQ(cellInt(23, r), Agree(diff(2, 3, r), cellInt(8, r))) << r;
    ASSERT_EQ(cellInt(24, r), Agree(diff(2, 3, r), cellInt(9, r))) << r;
  }
  EXPECT_EQ(ws.CalcTable.cell(22, f + 99), "m");
  EXPECT_EQ(ws.CalcTable.cell(22, l - 298), "m");
  EXPECT_EQ(ws.CalcTable.cell(20, l - 198), "m");
}

TEST_F(RulesTest, HalfwayDifferencesRoundToEven) {
  Fill(1, 400, 3);
  ws.CalcTable.set(3, 1, "1000");
  ws.CalcTable.set(5, 1, "998.5");  // 1.5 -> 2
  ws.CalcTable.set(4, 1, "997.5");  // 2.5 -> 2
  ws.CalcTable.set(3, 2, "1000");
  ws.CalcTable.set(5, 2, "1000.4");  // -0.4 -> 0
  ws.rules.LongTermG();
  EXPECT_EQ(ws.CalcTable.cell(21, 1), "2");
  EXPECT_EQ(ws.CalcTable.cell(20, 1), "2");
  EXPECT_EQ(ws.CalcTable.cell(21, 2), "0");
}

TEST_F(RulesTest, FewerThan400RowsGetNoAgreementOrBandValues) {
  Fill(1, 399, 5);
  ws.rules.LongTermG();
  ws.rules.LongTermKairi();
  ws.rules.ShortTermG();
  ws.rules.ShortTermKairi();
  for (int r = 1; r <= 404; ++r)
    for (int c : {22, 23, 24, 31}) ASSERT_EQ(ws.CalcTable.cell(c, r), "m") << c << "," << r;
  EXPECT_NE(ws.CalcTable.cell(20, 200), "m");
  EXPECT_EQ(ws.CalcTable.cell(20, 201), "m");
}

TEST_F(RulesTest, DeviationBandColumnIsStrict) {
  Fill(1, 420, 9);
  for (int r = 1; r <= 420; ++r) {
    ws.CalcTable.set(29, r, "120");
    ws.CalcTable.set(30, r, "-120");
    ws.CalcTable.set(25, r, "0");
  }
  SetCells(ws.CalcTable,
           {{25, 101, "120"}, {25, 102, "-120"}, {25, 103, "121"}, {25, 104, "-121"}});
  ws.rules.LongTermKairi();
  // Column 31 on these rows.
  const std::pair<int, std::string> kairi[] = {{100, "m"}, {101, "0"}, {102, "0"}, {103, "-2"},
                                               {104, "2"}, {121, "0"}, {122, "m"}};
  for (const auto& [row, text] : kairi) EXPECT_EQ(ws.CalcTable.cell(31, row), text) << row;
}

TEST_F(RulesTest, RulePanelAndExplanation) {
  EXPECT_FALSE(ws.form.visible("Panel11"));
  click("Label5");
  EXPECT_TRUE(ws.form.visible("Panel11"));
  click("Label5");
  EXPECT_FALSE(ws.form.visible("Panel11"));

  click("Button78");
  EXPECT_TRUE(ws.form.visible("TForm4"));
  const std::string text = ws.form.text("TForm4.Label1");
  EXPECT_EQ(text.find('\n'), std::string::npos);
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find('\r', from)) != std::string::npos; from = at + 1)
    lines.push_back(text.substr(from, at - from));
  lines.push_back(text.substr(from));
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0], "長期売買");
  EXPECT_EQ(lines[8], "短期売買");
  EXPECT_EQ(lines[3], "  乖離: 終値/75日移動平均線 -7％で買い、+7％で売り");
  EXPECT_EQ(lines[15], "  G7: 5日移動平均線/25日移動平均線のクロス S3共に上抜きまたは下抜き");
  for (int i : {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15}) {
    EXPECT_EQ(lines[i].substr(0, 2), "  ") << i;
    EXPECT_NE(lines[i][2], ' ') << i;
  }
  click("Button78");
  EXPECT_FALSE(ws.form.visible("TForm4"));
}

}  // namespace
}  // namespace tavrine::signals_test

namespace tavrine::signals_test {
namespace {

TEST(SignalCells, DecimalReadsAgreeWithTheGeneralParser) {
  WorkTable t("T", 2, 2);
  for (const char* text : {"0", "1000", "-17", "+5", "123456789012345678", "1234567890123456789",
                           "1000.5", "-0.25", " 7", "1E3", "007"}) {
    t.set(0, 0, text);
    EXPECT_EQ(signals::ReadDecimal(t, 0, 0), StrToFloat(text)) << text;
  }
  for (const char* bad : {"", "-", "12a", "abc", "1-2"}) {
    t.set(0, 0, bad);
    EXPECT_THROW(signals::ReadDecimal(t, 0, 0), ConversionError) << bad;
  }
}

}  // namespace
}  // namespace tavrine::signals_test
