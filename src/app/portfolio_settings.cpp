#include "app/portfolio_settings.h"

#include "app/workspace.h"
#include "signals/money.h"
#include "signals/rules.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/control_cells.h"
#include "store/text.h"

namespace tavrine {

namespace {

bool ReadInt(const std::string& s, int& v) { return TryStrictInt(s, v); }

}  // namespace

std::string PortfolioRuleName(int tag) {
  if (tag < 0 || tag >= kRuleCount) return {};
  return tag == TagOfRuleColumn(31) ? "乖離" : kRules[tag].label;
}

PortfolioSettings CurrentPortfolioSettings(const Workspace& ws) {
  PortfolioSettings s;
  for (int t = 0; t < kRuleCount; ++t)
    if (kRules[t].number == ws.SeriesTable.getInt(ctl::RuleNumber)) s.inputs.tag = t;
  s.inputs.entry = ctl::EntryDirection.on(ws.SeriesTable, true) ? EntrySide::Buy : EntrySide::Sell;
  s.inputs.shortTerm = !ws.overlays.terms().longTerm;
  s.inputs.threads = 2;
  s.options.entryBuy = s.inputs.entry == EntrySide::Buy;
  return s;
}

bool SetPortfolioKey(PortfolioSettings& s, const std::string& key, const std::string& value,
                     std::string& error) {
  // Read into a copy, so a value that does not read changes nothing.
  PortfolioSettings n = s;
  portfolio::Options& o = n.options;
  bool ok = false;
  // The cost keys read as the per-stock model's; capital is the portfolio's.
  CostModel costs = o.costs;
  costs.capital = o.capital;
  const money::CostSetting cost = money::ReadCostSetting(key, value, costs, error);
  if (cost != money::CostSetting::Unknown) {
    ok = cost == money::CostSetting::Read;
    o.capital = costs.capital;
    costs.capital = o.costs.capital;
    o.costs = costs;
  } else if (key == "slots") {
    int v = 0;
    ok = ReadInt(value, v) && v >= 1 && v <= 1000;
    if (ok)
      o.positions = v;
    else
      error = "同時に持つ銘柄数が正しくありません: " + value + "(例: 5)";
  } else if (key == "rule") {
    for (int t = 0; t < kRuleCount; ++t)
      if (value == PortfolioRuleName(t)) {
        n.inputs.tag = t;
        ok = true;
      }
    if (!ok) error = "規則が正しくありません: " + value + "(例: S1、G4、乖離、ST)";
  } else if (key == "entry") {
    ok = value == "buy" || value == "sell";
    if (ok)
      n.inputs.entry = value == "buy" ? EntrySide::Buy : EntrySide::Sell;
    else
      error = "入りの向きが正しくありません: " + value + "(例: buy、sell)";
  } else if (key == "term") {
    ok = value == "long" || value == "short";
    if (ok)
      n.inputs.shortTerm = value == "short";
    else
      error = "期間が正しくありません: " + value + "(例: long、short)";
  } else if (key == "priority") {
    ok = value == "turnover" || value == "code";
    if (ok)
      o.priority = value == "code" ? portfolio::Priority::Code : portfolio::Priority::Turnover;
    else
      error = "優先順が正しくありません: " + value + "(例: turnover、code)";
  } else {
    error = "資金管理検証にない設定です: " + key +
            "(commission slip tax borrow capital fill slots rule entry term priority)";
  }
  if (!ok) return false;
  o.entryBuy = n.inputs.entry == EntrySide::Buy;
  s = std::move(n);
  return true;
}

bool ReadPortfolioKeys(PortfolioSettings& s, const std::vector<std::string>& words,
                       std::string& error) {
  for (const std::string& w : words) {
    const std::size_t eq = w.find('=');
    if (eq == std::string::npos) {
      error = "設定は 名前=値 の形で指定してください: " + w;
      return false;
    }
    if (!SetPortfolioKey(s, w.substr(0, eq), w.substr(eq + 1), error)) return false;
  }
  return true;
}

const std::vector<std::string>& PortfolioTradeHeadings() {
  static const std::vector<std::string> headings = {"銘柄", "入日", "出日",   "株数",
                                                    "入値", "出値", "コスト", "損益(円)"};
  return headings;
}

std::vector<std::string> PortfolioTradeCells(const PortfolioRun& run, const portfolio::Trade& t) {
  const std::size_t i = static_cast<std::size_t>(t.stock);
  return {i < run.codes.size() ? run.codes[i] : std::string(),
          DateToStr(t.entryDay),
          t.exitDay ? DateToStr(*t.exitDay) : std::string("-"),
          std::to_string(t.shares),
          FloatToStr(t.entryPrice),
          FloatToStr(t.exitPrice),
          std::to_string(t.cost),
          FloatToStr(t.pnl)};
}

void SavePortfolioTradesCsv(const PortfolioRun& run, const std::string& path) {
  std::vector<std::string> lines;
  lines.reserve(run.result.trades.size() + 1);
  lines.push_back(ToCommaText(PortfolioTradeHeadings()));
  for (const portfolio::Trade& t : run.result.trades)
    lines.push_back(ToCommaText(PortfolioTradeCells(run, t)));
  WriteLines(path, lines, true);
}

}  // namespace tavrine
