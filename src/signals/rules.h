// The trading rules: the table of rules (kRules), rule buttons, entry direction, the rule
// panel and the explanation.
#pragma once

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {

class Backtest;

// Which term choice decides a rule's column (honest::Terms).
enum class RuleTerm {
  None,         // a trend line: the same in both term sets
  Averages,     // G3 .. G7: the long- or short-term set of averages
  Deviation,    // "乖離": the deviation mode
  Stochastics,  // ST: 65- or 9-day stochastics
};

// One rule as a rule button's tag selects it. Every list of the rules
// (buttons, columns, walks, the signal and scan lists, the explanation) is
// read from kRules, in tag order.
struct RuleDef {
  const char* label;
  int number;          // the CalcTable column that holds its signal (the rule number)
  const char* digits;  // the rule number as its two-digit code text
  const char* button;  // the rule button whose tag selects it
  RuleTerm term;
  // The rows a walk with hindsight reads, v the priced rows: v - walkBack ..
  // walkEnd, where the rule's line has its values.
  int walkBack, walkEnd;
  // A row without a value stays blank (the stochastics leave it so); the
  // other columns read 0 there after the zero fill.
  bool blankWithoutValue;
  // The explanation: its place in each term's part (0: not explained), the
  // name it goes by there and the line of each term.
  int explained;
  const char* explanationKey;
  const char* longText;
  const char* shortText;

  constexpr bool termDependent() const { return term != RuleTerm::None; }
};

inline constexpr RuleDef kRules[] = {
    {"S1", 7, "07", "Button37", RuleTerm::None, 7, 4, false, 0, nullptr, nullptr, nullptr},
    {"S2", 8, "08", "Button38", RuleTerm::None, 37, 24, false, 0, nullptr, nullptr, nullptr},
    {"S3", 9, "09", "Button39", RuleTerm::None, 111, 74, false, 0, nullptr, nullptr, nullptr},
    {"G3", 20, "20", "Button73", RuleTerm::Averages, 299, 101, false, 1, "G3",
     "25日移動平均線/75日移動平均線のクロス 上抜き（入買）または下抜き（入売）",
     "終値線/25日移動平均線のクロス 上抜き（入買）または下抜き（入売）"},
    {"G4", 21, "21", "Button74", RuleTerm::Averages, 299, 101, false, 2, "G4",
     "25日移動平均線/200日移動平均線のクロス 上抜きまたは下抜き",
     "5日移動平均線/25日移動平均線のクロス 上抜きまたは下抜き"},
    {"G5", 22, "22", "Button75", RuleTerm::Averages, 299, 101, false, 5, "G5",
     "25日移動平均線/200日移動平均線のクロス S3共に上抜きまたは下抜き",
     "終値線/25日移動平均線のクロス S2共に上抜きまたは下抜き"},
    {"G6", 23, "23", "Button76", RuleTerm::Averages, 299, 101, false, 6, "G6",
     "25日移動平均線/200日移動平均線のクロス S4共に上抜きまたは下抜き",
     "5日移動平均線/25日移動平均線のクロス S2共に上抜きまたは下抜き"},
    {"G7", 24, "24", "Button77", RuleTerm::Averages, 299, 101, false, 7, "G7",
     "25日移動平均線/75日移動平均線のクロス S3共に上抜きまたは下抜き",
     "5日移動平均線/25日移動平均線のクロス S3共に上抜きまたは下抜き"},
    {"乖", 31, "31", "Button1", RuleTerm::Deviation, 299, 101, false, 3, "乖離",
     "終値/75日移動平均線 -7％で買い、+7％で売り", "終値/25日移動平均線 -4％で買い、+4％で売り"},
    {"ST", 40, "40", "Button83", RuleTerm::Stochastics, 299, 101, true, 4, "ストキャスティクス",
     "65日 Fast/Slowのクロス 上抜きで買い、下抜きで売り",
     "9日 Fast/Slowのクロス 上抜きで買い、下抜きで売り"},
};

inline constexpr int kRuleCount = static_cast<int>(std::size(kRules));

// Tag of the rule whose signal CalcTable column `column` holds; -1 for none.
constexpr int TagOfRuleColumn(int column) {
  for (int tag = 0; tag < kRuleCount; ++tag)
    if (kRules[tag].number == column) return tag;
  return -1;
}
// The rule of a CalcTable column; nullptr for a column that is no rule's.
constexpr const RuleDef* RuleOfColumn(int column) {
  const int tag = TagOfRuleColumn(column);
  return tag < 0 ? nullptr : &kRules[tag];
}

namespace rule_table {
constexpr bool Consistent() {
  bool termDependent = false;
  for (int tag = 0; tag < kRuleCount; ++tag) {
    const RuleDef& r = kRules[tag];
    if (!r.label || !r.button || !r.digits || r.number <= 0) return false;
    // Two-digit code text of the column.
    if (r.digits[0] - '0' != r.number / 10 || r.digits[1] - '0' != r.number % 10 || r.digits[2])
      return false;
    if (TagOfRuleColumn(r.number) != tag) return false;  // one rule a column
    // The term-dependent rules follow the trend-line ones (the signal list
    // gives the short-term set from the first of them on).
    if (termDependent && !r.termDependent()) return false;
    termDependent = r.termDependent();
    if ((r.explained != 0) != (r.explanationKey != nullptr)) return false;
  }
  // Each place in the explanation is taken once, from 1 up without gaps.
  int explained = 0;
  for (const RuleDef& r : kRules)
    if (r.explained) ++explained;
  for (int place = 1; place <= explained; ++place) {
    int n = 0;
    for (const RuleDef& r : kRules) n += r.explained == place ? 1 : 0;
    if (n != 1) return false;
  }
  return true;
}
}  // namespace rule_table
static_assert(rule_table::Consistent(), "kRules: every rule complete, one a column");

class Rules {
 public:
  Rules(State& ws, Backtest& backtest) : ws_(ws), backtest_(backtest) {}

  // Rule buttons S1..S3 (Button37..39) and G3..G7, '乖離', ST on Panel11 (also selection, start-up,
  // scan): the tag's rule into ctl::RuleNumber/RuleLabel and ctl::Condition, then the backtest into
  // StatsTable.
  void Button37Click(const std::string& sender);
  // Click on '利率条件/利用' (Label5): shows or hides the rule panel Panel11.
  void Label5Click();
  // '入買'/'入売' (Button47): flips ctl::EntryDirection and the caption, then reruns the current
  // rule's backtest into StatsTable (ctl::Condition rewritten).
  void Button47Click();

  // Term-dependent rule columns. The long-term pass of the 200-day average
  // runs LongTermG (G4, G6, G5, G3, G7), the long deviation overlay, then
  // LongTermKairi; the term switch runs the short-term ones.
  void LongTermG();
  void LongTermKairi();
  void ShortTermG();
  void ShortTermKairi();

  // Rule of a button tag 0 .. kRuleCount-1; nullptr for any other tag.
  static const RuleDef* RuleOfTag(int tag);
  // 2 when d and s are both positive, -2 when both negative, else 0.
  static int Agreement(long long d, long long s);
  // 2 below the lower band, -2 above the upper band, 0 otherwise (strict).
  static int BandTest(long long v, long double upper, long double lower);
  // The rule explanation shown in the help window's text face.
  static std::string ExplanationText();

 private:
  void KairiColumn();

  State& ws_;
  Backtest& backtest_;
};

}  // namespace tavrine
