#include "signals/rules.h"

#include <algorithm>

#include "signals/backtest.h"
#include "signals/cells.h"
#include "signals/rule_math.h"
#include "store/calc_columns.h"
#include "store/control_cells.h"
#include "store/state.h"
#include "store/text.h"

namespace tavrine {

namespace {

using namespace calc;

struct Span {
  int first;
  int last;
};

Span DataRows(const State& ws) {
  return {ws.SeriesTable.getInt(ctl::FirstDataRow), ws.SeriesTable.getInt(ctl::LastDataRow)};
}

// Round(minuend - subtrahend), the minuend read as an integer and the
// subtrahend as a decimal.
long long Diff(const WorkTable& t, int minuendCol, int subtrahendCol, int r) {
  return Round(static_cast<long double>(t.getInt(minuendCol, r)) -
               signals::ReadDecimal(t, subtrahendCol, r));
}

// The G columns of one term over CalcTable.
void GColumns(WorkTable& t, const Span& s, const rule_math::GTerm& g) {
  rule_math::GColumns(
      s.first, s.last, g.steps,
      [&](int which, int r) {
        const rule_math::Difference& d = g.diff(which);
        return Diff(t, d.minuend, d.subtrahend, r);
      },
      [&](int line, int r) { return t.getInt(line, r); },
      [&](int col, int r, long long v) { t.setInt(col, r, v); });
}

}  // namespace

const RuleDef* Rules::RuleOfTag(int tag) {
  if (tag < 0 || tag >= kRuleCount) return nullptr;
  return &kRules[tag];
}

int Rules::Agreement(long long d, long long s) {
  if (d > 0 && s > 0) return 2;
  if (d < 0 && s < 0) return -2;
  return 0;
}

int Rules::BandTest(long long v, long double upper, long double lower) {
  if (v < lower) return 2;
  if (v > upper) return -2;
  return 0;
}

void Rules::LongTermG() { GColumns(ws_.CalcTable, DataRows(ws_), rule_math::kLongG); }

void Rules::ShortTermG() { GColumns(ws_.CalcTable, DataRows(ws_), rule_math::kShortG); }

// The band test on the deviation line and bands of the current term; the
// overlays have put the line and bands of that term into columns 25, 29, 30.
void Rules::KairiColumn() {
  WorkTable& t = ws_.CalcTable;
  const Span s = DataRows(ws_);
  rule_math::KairiColumn(
      s.first, s.last, [&](int r) { return t.getInt(kDeviation, r); },
      [&](int r) { return t.getFloat(kUpperBand, r); },
      [&](int r) { return t.getFloat(kLowerBand, r); },
      [&](int r, int v) { t.setInt(kKairi, r, v); });
}

void Rules::LongTermKairi() { KairiColumn(); }
void Rules::ShortTermKairi() { KairiColumn(); }

void Rules::Button37Click(const std::string& sender) {
  const RuleDef* rule = RuleOfTag(ws_.form.tag(sender));
  if (!rule) return;
  SuspendRedraw layout(ws_.SeriesTable);
  WaitCursor wait(ws_.platform);
  backtest_.ClearStats();
  ws_.SeriesTable.set(ctl::RuleNumber, rule->digits);
  std::string condition = rule->label;
  if (rule->termDependent()) condition += LeftBytes(ws_.form.text("Button79"), 2);
  ctl::Condition.set(ws_.StatsTable, condition);
  ctl::RuleLabel.set(ws_.SeriesTable, rule->label);
  backtest_.RunChain();
}

void Rules::Label5Click() { ws_.form.setVisible("Panel11", !ws_.form.visible("Panel11")); }

void Rules::Button47Click() {
  auto& st = ws_.SeriesTable;
  SuspendRedraw layout(st);
  WaitCursor wait(ws_.platform);
  if (ctl::EntryDirection.on(st)) {
    ctl::EntryDirection.set(st, false);
    ws_.form.setText("Button47", "入売");
  } else {
    ctl::EntryDirection.set(st, true);
    ws_.form.setText("Button47", "入買");
  }
  backtest_.ClearStats();
  const RuleDef* rule = RuleOfColumn(st.getInt(ctl::RuleNumber));
  std::string condition = ctl::RuleLabel.get(st);
  if (rule && rule->termDependent()) condition += ws_.form.text("Button79");
  ctl::Condition.set(ws_.StatsTable, condition);
  backtest_.RunChain();
}

std::string Rules::ExplanationText() {
  // Each term's heading, then its explained rules in their places.
  std::string text;
  auto part = [&text](const char* heading, const char* RuleDef::*line) {
    if (!text.empty()) text += '\r';
    text += heading;
    for (int place = 1;; ++place) {
      const RuleDef* rule = nullptr;
      for (const RuleDef& r : kRules)
        if (r.explained == place) rule = &r;
      if (!rule) return;
      text += std::string("\r  ") + rule->explanationKey + ": " + rule->*line;
    }
  };
  part("長期売買", &RuleDef::longText);
  part("短期売買", &RuleDef::shortText);
  return text;
}

}  // namespace tavrine
