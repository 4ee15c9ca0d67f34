// What the per-stock backtest with money says beyond its trades: the money
// of each row of the trade list, and the statistics of its daily equity
// line beside those of the stock's buy-and-hold.
#pragma once

#include <optional>
#include <vector>

#include "app/stock_money.h"
#include "signals/equity_stats.h"

namespace tavrine {

class WorkTable;

// The money of the trade list's rows as StatsTable lists them (rows 1 ..
// down to the first without an entry date, newest first, filtered by the
// minimum ratio): each row's trade of m found by its entry and exit days;
// none for a row that is no trade of m.
std::vector<std::optional<TradeMoneyRow>> ListedTradeMoney(const StockMoney& m,
                                                           const WorkTable& stats);

// What the statistics read of the money: one equity point a day of m.days,
// cash plus the position at the close with a year's tax (taxPercent of its
// gains) taken on its last day of the list; the buy-and-hold of the
// capital at the first close; the days a position is held; the trades with
// their costs.
equity::Inputs StockMoneyInputs(const StockMoney& m, long double taxPercent);

// The statistics of the money and of its buy-and-hold line.
struct StockMoneyStats {
  equity::Stats money, hold;
  double capital = 0;
};
StockMoneyStats ComputeStockMoneyStats(const StockMoney& m, long double taxPercent);

}  // namespace tavrine
