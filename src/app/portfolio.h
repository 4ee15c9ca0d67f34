// The portfolio backtest of the list: one rule's honest trades over every
// stock (CollectPortfolioInputs) with the price store's opens, limit flags
// and turnover, replayed with shared capital, and its statistics.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/portfolio_inputs.h"
#include "signals/equity_stats.h"
#include "signals/portfolio.h"
#include "store/price_bars.h"

namespace tavrine {

class WorkTable;

struct PortfolioRun {
  std::vector<std::string> codes;  // of the stocks taken, as the trades index them
  std::vector<std::string> refused;
  portfolio::Result result;
  equity::Stats stats;
};

// The stock's list days as the fills read them, with its 売買代金 a day: the
// store's turnover where the day's candle counts and it has one, else the
// volume times the close, none without a volume.
// list holds the stock's column as (day, cell text), stored its stored days.
portfolio::Stock PortfolioStockDays(const PortfolioStock& in, const std::vector<ListClose>& list,
                                    const std::vector<StoredBar>& stored);

// PortfolioStockDays of each stock in order, its list column read from
// stockList and its stored days from storedOf (called on `threads` worker
// threads at once, one stock at a time each).
using StoredBarsOf = std::function<std::vector<StoredBar>(const PortfolioStock&)>;
std::vector<portfolio::Stock> PortfolioStocks(const WorkTable& stockList,
                                              const std::vector<PortfolioStock>& stocks,
                                              const StoredBarsOf& storedOf, int threads);

// The statistics of a run over its capital.
equity::Stats PortfolioStats(const portfolio::Result& r, long long capital);
// The statistics of the run's buy-and-hold line as if it were the equity.
equity::Stats PortfolioHoldStats(const portfolio::Result& r, long long capital);
// The same of the buy-and-hold line any inputs carry: its values on their
// days, held every day, no trades.
equity::Stats HoldLineStats(const equity::Inputs& in);

// The whole run, the store read from storePath.
PortfolioRun RunPortfolio(const WorkTable& stockList, const PortfolioInputOptions& inputs,
                          const portfolio::Options& options, const std::string& storePath);

}  // namespace tavrine
