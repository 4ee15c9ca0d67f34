#include "app/stock_money_stats.h"

#include <map>
#include <utility>

#include "app/portfolio.h"
#include "signals/stats_block.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

std::vector<std::optional<TradeMoneyRow>> ListedTradeMoney(const StockMoney& m,
                                                           const WorkTable& stats) {
  const std::vector<TradeMoneyRow> money = TradeMoneyRows(m);
  std::map<std::pair<int, int>, std::size_t> byDays;
  for (std::size_t k = 0; k < m.trades.size() && k < money.size(); ++k)
    if (m.trades[k].exitDay)
      byDays.emplace(std::pair{m.trades[k].entryDay, *m.trades[k].exitDay}, k);
  std::vector<std::optional<TradeMoneyRow>> rows;
  for (int r = 1; r < stats.rowCount(); ++r) {
    const std::string& entry = stats.cell(stats::kEntryDate, r);
    if (IsBlank(entry)) break;
    int in = 0, out = 0;
    std::optional<TradeMoneyRow> row;
    if (TryParseDate(entry, in) && TryParseDate(stats.cell(stats::kExitDate, r), out))
      if (const auto it = byDays.find({in, out}); it != byDays.end()) row = money[it->second];
    rows.push_back(std::move(row));
  }
  return rows;
}

equity::Inputs StockMoneyInputs(const StockMoney& m, long double taxPercent) {
  const money::MoneyResult& r = m.result;
  equity::Inputs in;
  in.capital = static_cast<double>(r.capital);
  if (m.days.empty()) return in;
  const std::vector<TradeMoneyRow> rows = TradeMoneyRows(m);
  const auto dayOf = [&m](int index) { return m.days[static_cast<std::size_t>(index)].day; };

  // The fills in the order they happened: an exit before the next entry
  // on the same day, as the replay makes them.
  struct Fill {
    int index = 0;
    const money::MoneyTrade* trade = nullptr;
    bool entry = true;
  };
  std::vector<Fill> fills;
  for (std::size_t k = 0; k < r.trades.size(); ++k) {
    const money::MoneyTrade& t = r.trades[k];
    if (t.entryDay < 0) continue;
    const double entryValue =
        static_cast<double>(t.entryPrice * static_cast<long double>(t.shares));
    fills.push_back({t.entryDay, &t, true});
    if (t.closed) {
      fills.push_back({t.exitDay, &t, false});
      in.closed.push_back({dayOf(t.entryDay), dayOf(t.exitDay), static_cast<double>(t.pnl),
                           entryValue, static_cast<double>(t.entryFee + t.exitFee + t.borrow), 0});
    } else {
      in.open.push_back({dayOf(t.entryDay), entryValue, static_cast<double>(rows[k].cost)});
    }
  }

  const long double held0 = static_cast<long double>(r.capital) / m.days.front().close;
  long double cash = static_cast<long double>(r.capital);
  long double yearGains = 0;
  const money::MoneyTrade* open = nullptr;
  std::size_t next = 0;
  for (std::size_t i = 0; i < m.days.size(); ++i) {
    const money::MoneyDay& d = m.days[i];
    for (; next < fills.size() && fills[next].index == static_cast<int>(i); ++next) {
      const money::MoneyTrade& t = *fills[next].trade;
      const long double shares = static_cast<long double>(t.shares);
      if (fills[next].entry) {
        cash -= static_cast<long double>(t.entryFee) + (m.entryBuy ? shares * t.entryPrice : 0);
        open = &t;
      } else {
        // What the exit brings back; its pnl is this less the costs.
        cash += m.entryBuy ? shares * t.exitPrice : shares * (t.entryPrice - t.exitPrice);
        cash -= static_cast<long double>(t.exitFee + t.borrow);
        yearGains += t.pnl;
        open = nullptr;
      }
    }
    int y = 0, mo = 0, dd = 0, nextYear = 0;
    CivilFromDays(d.day, y, mo, dd);
    if (i + 1 < m.days.size()) CivilFromDays(m.days[i + 1].day, nextYear, mo, dd);
    if (nextYear != y) {
      if (yearGains > 0)
        cash -= static_cast<long double>(money::FloorYen(yearGains * taxPercent / 100));
      yearGains = 0;
    }
    long double value = cash;
    if (open) {
      const long double shares = static_cast<long double>(open->shares);
      value += m.entryBuy ? shares * d.close : shares * (open->entryPrice - d.close);
    }
    in.equity.push_back({d.day, static_cast<double>(value)});
    in.hold.push_back(static_cast<double>(held0 * d.close));
    in.held.push_back(open != nullptr);
  }
  return in;
}

StockMoneyStats ComputeStockMoneyStats(const StockMoney& m, long double taxPercent) {
  const equity::Inputs in = StockMoneyInputs(m, taxPercent);
  StockMoneyStats s;
  s.capital = in.capital;
  s.money = equity::Compute(in);
  // The tax is the years' and not a trade's.
  s.money.tax = static_cast<double>(m.result.tax);
  s.hold = HoldLineStats(in);
  return s;
}

}  // namespace tavrine
