// The table of rules against what is built from it: the Form's rule
// buttons, the honest columns, the signal list's columns, the walks with
// hindsight and the explanation.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "signals/honest.h"
#include "signals/rule_columns.h"
#include "signals/rules.h"
#include "signals/today.h"
#include "signals/walk.h"
#include "store/calc_columns.h"
#include "store/form.h"

namespace tavrine {
namespace {

static_assert(std::tuple_size_v<rule_columns::RuleSet> == kRuleCount);
static_assert(kTodayRuleColumns.size() == kRuleCount);

TEST(RuleTable, EveryRuleButtonCarriesItsTagAndLabel) {
  const Form form;
  for (int tag = 0; tag < kRuleCount; ++tag) {
    const RuleDef& r = kRules[tag];
    ASSERT_TRUE(form.has(r.button)) << r.button;
    EXPECT_EQ(form.tag(r.button), tag) << r.button;
    EXPECT_EQ(form.text(r.button).rfind(r.label, 0), 0u) << r.button << " " << form.text(r.button);
    EXPECT_EQ(Rules::RuleOfTag(tag), &r);
  }
  EXPECT_EQ(Rules::RuleOfTag(kRuleCount), nullptr);
}

TEST(RuleTable, ColumnListsHoldEveryRuleOnce) {
  const std::multiset<int> honestColumns(honest::kColumns.begin(), honest::kColumns.end());
  EXPECT_EQ(honestColumns.count(calc::kS4), 1u);  // the line the agreements read
  for (int tag = 0; tag < kRuleCount; ++tag) {
    const int column = kRules[tag].number;
    EXPECT_EQ(honestColumns.count(column), 1u) << column;
    EXPECT_EQ(kTodayRuleColumns[static_cast<std::size_t>(tag)], column);
    EXPECT_EQ(TagOfRuleColumn(column), tag);
    EXPECT_EQ(honest::kColumns[static_cast<std::size_t>(honest::IndexOfColumn(column))], column);
  }
  EXPECT_EQ(TagOfRuleColumn(calc::kS4), -1);
  EXPECT_EQ(RuleOfColumn(calc::kDeviation), nullptr);
}

TEST(RuleTable, HindsightRowsOfEachRule) {
  // S1 .. S3 stop where their line stops; the term-dependent rules, and a
  // column that is no rule's, walk the rows of the long lines.
  struct Case {
    int column, start, end;
  };
  const Case cases[] = {{calc::kS1, 993, 4},   {calc::kS2, 963, 24},
                        {calc::kS3, 889, 74},  {calc::kG3, 701, 101},
                        {calc::kG7, 701, 101}, {calc::kKairi, 701, 101},
                        {calc::kST, 701, 101}, {calc::kDeviation, 701, 101}};
  for (const Case& c : cases) {
    int start = 0, end = 0;
    walk::HindsightWindow(c.column, 1000, start, end);
    EXPECT_EQ(start, c.start) << c.column;
    EXPECT_EQ(end, c.end) << c.column;
  }
}

TEST(RuleTable, ExplanationListsEachTermsRulesInItsOrder) {
  const std::string expected =
      "長期売買\r"
      "  G3: 25日移動平均線/75日移動平均線のクロス 上抜き（入買）または下抜き（入売）\r"
      "  G4: 25日移動平均線/200日移動平均線のクロス 上抜きまたは下抜き\r"
      "  乖離: 終値/75日移動平均線 -7％で買い、+7％で売り\r"
      "  ストキャスティクス: 65日 Fast/Slowのクロス 上抜きで買い、下抜きで売り\r"
      "  G5: 25日移動平均線/200日移動平均線のクロス S3共に上抜きまたは下抜き\r"
      "  G6: 25日移動平均線/200日移動平均線のクロス S4共に上抜きまたは下抜き\r"
      "  G7: 25日移動平均線/75日移動平均線のクロス S3共に上抜きまたは下抜き\r"
      "短期売買\r"
      "  G3: 終値線/25日移動平均線のクロス 上抜き（入買）または下抜き（入売）\r"
      "  G4: 5日移動平均線/25日移動平均線のクロス 上抜きまたは下抜き\r"
      "  乖離: 終値/25日移動平均線 -4％で買い、+4％で売り\r"
      "  ストキャスティクス: 9日 Fast/Slowのクロス 上抜きで買い、下抜きで売り\r"
      "  G5: 終値線/25日移動平均線のクロス S2共に上抜きまたは下抜き\r"
      "  G6: 5日移動平均線/25日移動平均線のクロス S2共に上抜きまたは下抜き\r"
      "  G7: 5日移動平均線/25日移動平均線のクロス S3共に上抜きまたは下抜き";
  EXPECT_EQ(Rules::ExplanationText(), expected);
}

}  // namespace
}  // namespace tavrine
