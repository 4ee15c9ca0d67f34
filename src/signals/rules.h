// The ten trading rules: rule buttons, entry direction, the rule panel and the explanation.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {

class Backtest;

// One rule as a rule button's tag selects it: the label and the CalcTable
// column that holds its signal (the rule number).
struct RuleDef {
  const char* label;
  int number;
  const char* digits;  // the rule number as its two-digit code text
  const char* button;  // the rule button whose tag selects it
};

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

  // Rule of a button tag 0..9; nullptr for any other tag.
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
