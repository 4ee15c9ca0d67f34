#include "app/today_list.h"

#include <algorithm>
#include <tuple>

#include "app/scan.h"
#include "signals/rules.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/text.h"

namespace tavrine {

namespace {

// The rule's place in the list: by tag, long before short.
int RuleOrder(const TodayListRow& r) { return r.tag * 2 + (r.shortTerm ? 1 : 0); }

// The short-term set lists only the term-dependent rules: the trend-line
// rules are the same in both sets.
void AddNew(const TodayRow& stock, bool shortTerm, std::vector<TodayListRow>& out) {
  for (std::size_t i = 0; i < stock.rules.size(); ++i) {
    const TodaySignal& s = stock.rules[i];
    const RuleDef& rule = kRules[i];
    if (shortTerm && !rule.termDependent()) continue;
    if (!s.known || !s.isNew || s.sign == 0) continue;
    TodayListRow row;
    row.column = stock.column;
    row.code = LeftBytes(stock.heading, 4);
    row.name = ScanNameOf(stock.heading);
    row.tag = static_cast<int>(i);
    row.shortTerm = shortTerm;
    row.rule = rule.label;
    if (rule.termDependent()) row.rule += shortTerm ? "短" : "長";
    row.buy = s.sign > 0;
    row.date = stock.date;
    row.close = stock.close;
    out.push_back(std::move(row));
  }
}

}  // namespace

std::vector<TodayListRow> TodayListRows(const std::vector<TodayRow>& longTerm,
                                        const std::vector<TodayRow>& shortTerm) {
  std::vector<TodayListRow> out;
  for (const TodayRow& stock : longTerm) AddNew(stock, false, out);
  for (const TodayRow& stock : shortTerm) AddNew(stock, true, out);
  SortTodayRows(out);
  return out;
}

const std::vector<std::string>& TodayColumnHeadings() {
  static const std::vector<std::string> h = {"コード", "銘柄名", "規則", "売買", "日付", "終値"};
  return h;
}

std::vector<std::string> TodayRowCells(const TodayListRow& row) {
  return {row.code, row.name, row.rule, row.buy ? "買" : "売", row.date, std::to_string(row.close)};
}

void SortTodayRows(std::vector<TodayListRow>& rows, int column, bool descending) {
  auto key = [column](const TodayListRow& r) {
    switch (column) {
      case kTodayName:
        return std::make_tuple(0LL, r.name);
      case kTodayRule:
        return std::make_tuple(static_cast<long long>(RuleOrder(r)), std::string());
      case kTodaySide:
        return std::make_tuple(r.buy ? 0LL : 1LL, std::string());
      case kTodayDate:
        return std::make_tuple(0LL, r.date);
      case kTodayClose:
        return std::make_tuple(r.close, std::string());
      default:
        return std::make_tuple(0LL, r.code);
    }
  };
  std::stable_sort(rows.begin(), rows.end(), [&](const TodayListRow& a, const TodayListRow& b) {
    const auto ka = key(a), kb = key(b);
    if (ka != kb) return descending ? kb < ka : ka < kb;
    return std::make_tuple(a.code, RuleOrder(a), a.column) <
           std::make_tuple(b.code, RuleOrder(b), b.column);
  });
}

std::vector<std::string> TodayCsvLines(const std::vector<TodayListRow>& rows) {
  std::vector<std::string> lines;
  lines.reserve(rows.size() + 1);
  lines.push_back(ToCommaText(TodayColumnHeadings()));
  for (const TodayListRow& row : rows) lines.push_back(ToCommaText(TodayRowCells(row)));
  return lines;
}

void SaveTodayCsv(const std::vector<TodayListRow>& rows, const std::string& path) {
  WriteLines(path, TodayCsvLines(rows), true);
}

}  // namespace tavrine
