#include "signals/today.h"

#include "series/series.h"
#include "signals/honest.h"
#include "store/stock_list.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

std::vector<TodayRow> TodaySignals(const WorkTable& stockList, bool longTerm) {
  std::vector<TodayRow> out;
  std::vector<long long> close;
  const honest::Terms& terms = longTerm ? honest::kLongTerms : honest::kShortTerms;
  for (int k = stocklist::kFirstStockColumn; k <= stocklist::kLastStockColumn; ++k) {
    const std::string& heading = stockList.cell(k, 0);
    if (IsBlankWide(heading)) continue;
    TodayRow row;
    row.column = k;
    row.heading = heading;
    int first = 0, last = 0;
    if (ReadStockCloses(stockList, k, stocklist::kLastDayRow, close, first, last)) {
      row.date = stockList.cell(0, first);
      row.close = close[static_cast<std::size_t>(first)];
      const honest::Columns cols = honest::Compute(close, first, last, terms);
      for (std::size_t i = 0; i < kTodayRuleColumns.size(); ++i) {
        const int c = honest::IndexOfColumn(kTodayRuleColumns[i]);
        TodaySignal& s = row.rules[i];
        if (!cols.has(c, first)) continue;
        auto sign = [&](int r) {
          const long long v = cols.values[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)];
          return v > 0 ? 1LL : v < 0 ? -1LL : 0LL;
        };
        s.known = true;
        s.sign = sign(first);
        s.isNew = cols.has(c, first + 1) && sign(first + 1) != s.sign;
      }
    }
    out.push_back(std::move(row));
  }
  return out;
}

std::array<std::string, kRuleCount> TodayFields(const TodayRow& row) {
  std::array<std::string, kRuleCount> fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const TodaySignal& s = row.rules[i];
    fields[i] = s.known ? std::string(honest::SignText(s.sign)) + (s.isNew ? "*" : "") : ".";
  }
  return fields;
}

}  // namespace tavrine
