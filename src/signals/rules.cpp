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

const RuleDef kRules[10] = {
    {"S1", 7, "07", "Button37"},  {"S2", 8, "08", "Button38"},  {"S3", 9, "09", "Button39"},
    {"G3", 20, "20", "Button73"}, {"G4", 21, "21", "Button74"}, {"G5", 22, "22", "Button75"},
    {"G6", 23, "23", "Button76"}, {"G7", 24, "24", "Button77"}, {"乖", 31, "31", "Button1"},
    {"ST", 40, "40", "Button83"},
};

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
void GColumns(WorkTable& t, const Span& s, rule_math::Difference d1, rule_math::Difference d2,
              const rule_math::GSteps& steps) {
  rule_math::GColumns(
      s.first, s.last, steps,
      [&](int which, int r) {
        const rule_math::Difference& d = which == 1 ? d1 : d2;
        return Diff(t, d.minuend, d.subtrahend, r);
      },
      [&](int line, int r) { return t.getInt(line, r); },
      [&](int col, int r, long long v) { t.setInt(col, r, v); });
}

}  // namespace

const RuleDef* Rules::RuleOfTag(int tag) {
  if (tag < 0 || tag > 9) return nullptr;
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

void Rules::LongTermG() {
  GColumns(ws_.CalcTable, DataRows(ws_), rule_math::kLongDiff1, rule_math::kLongDiff2,
           rule_math::kLongSteps);
}

void Rules::ShortTermG() {
  GColumns(ws_.CalcTable, DataRows(ws_), rule_math::kShortDiff1, rule_math::kShortDiff2,
           rule_math::kShortSteps);
}

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
  if (rule->number > 9) condition += LeftBytes(ws_.form.text("Button79"), 2);
  ws_.StatsTable.set(ctl::Condition, condition);
  ws_.SeriesTable.set(ctl::RuleLabel, rule->label);
  backtest_.RunChain();
}

void Rules::Label5Click() { ws_.form.setVisible("Panel11", !ws_.form.visible("Panel11")); }

void Rules::Button47Click() {
  auto& st = ws_.SeriesTable;
  SuspendRedraw layout(st);
  WaitCursor wait(ws_.platform);
  if (st.cell(ctl::EntryDirection) == "1") {
    st.set(ctl::EntryDirection, "0");
    ws_.form.setText("Button47", "入売");
  } else {
    st.set(ctl::EntryDirection, "1");
    ws_.form.setText("Button47", "入買");
  }
  backtest_.ClearStats();
  const int rule = st.getInt(ctl::RuleNumber);
  std::string condition = st.cell(ctl::RuleLabel);
  if (rule > 9 && rule <= 40) condition += ws_.form.text("Button79");
  ws_.StatsTable.set(ctl::Condition, condition);
  backtest_.RunChain();
}

std::string Rules::ExplanationText() {
  static const char* const kLines[] = {
      "長期売買",
      "  G3: 25日移動平均線/75日移動平均線のクロス 上抜き（入買）または下抜き（入売）",
      "  G4: 25日移動平均線/200日移動平均線のクロス 上抜きまたは下抜き",
      "  乖離: 終値/75日移動平均線 -7％で買い、+7％で売り",
      "  ストキャスティクス: 65日 Fast/Slowのクロス 上抜きで買い、下抜きで売り",
      "  G5: 25日移動平均線/200日移動平均線のクロス S3共に上抜きまたは下抜き",
      "  G6: 25日移動平均線/200日移動平均線のクロス S4共に上抜きまたは下抜き",
      "  G7: 25日移動平均線/75日移動平均線のクロス S3共に上抜きまたは下抜き",
      "短期売買",
      "  G3: 終値線/25日移動平均線のクロス 上抜き（入買）または下抜き（入売）",
      "  G4: 5日移動平均線/25日移動平均線のクロス 上抜きまたは下抜き",
      "  乖離: 終値/25日移動平均線 -4％で買い、+4％で売り",
      "  ストキャスティクス: 9日 Fast/Slowのクロス 上抜きで買い、下抜きで売り",
      "  G5: 終値線/25日移動平均線のクロス S2共に上抜きまたは下抜き",
      "  G6: 5日移動平均線/25日移動平均線のクロス S2共に上抜きまたは下抜き",
      "  G7: 5日移動平均線/25日移動平均線のクロス S3共に上抜きまたは下抜き",
  };
  std::string text;
  for (const char* line : kLines) {
    if (!text.empty()) text += '\r';
    text += line;
  }
  return text;
}

}  // namespace tavrine
