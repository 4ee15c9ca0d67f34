#include "app/portfolio.h"

#include <algorithm>
#include <map>
#include <utility>

#include "store/price_bars.h"
#include "store/price_store.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

portfolio::Stock PortfolioStockDays(const PortfolioStock& in, const std::vector<ListClose>& list,
                                    const std::vector<StoredBar>& stored) {
  portfolio::Stock s;
  s.code = in.code;
  // The list's own close texts on the stock's days: the candle rule reads them.
  std::vector<ListClose> closes;
  closes.reserve(in.days.size());
  if (!in.days.empty()) {
    const int lo = in.days.front(), hi = in.days.back();
    std::vector<char> isDay(static_cast<std::size_t>(hi - lo) + 1, 0);
    for (int d : in.days) isDay[static_cast<std::size_t>(d - lo)] = 1;
    for (const ListClose& c : list)
      if (c.day >= lo && c.day <= hi && isDay[static_cast<std::size_t>(c.day - lo)])
        closes.push_back(c);
  }
  const std::vector<PriceBar> bars = DailyBars(stored, closes);
  s.days.reserve(bars.size());
  s.turnover.reserve(bars.size());
  std::map<int, double> turnover;
  for (const StoredBar& b : stored)
    if (b.turnover && *b.turnover > 0) turnover[b.day] = *b.turnover;
  for (const PriceBar& b : bars) {
    long double close = 0;
    if (!TryStrToFloat(b.close, close) || !(close > 0)) continue;
    money::MoneyDay d{b.day, close, std::nullopt, b.stopHigh, b.stopLow};
    if (b.open && *b.open > 0) d.open = static_cast<long double>(*b.open);
    s.days.push_back(d);
    std::optional<long double> t;
    // A stored turnover counts only where the day's candle is the list's.
    const auto it = turnover.find(b.day);
    if (b.volume && it != turnover.end())
      t = static_cast<long double>(it->second);
    else if (b.volume)
      t = static_cast<long double>(*b.volume) * close;
    s.turnover.push_back(t);
  }
  for (const PortfolioTrade& t : in.trades) s.orders.push_back({t.entryDay, t.exitDay});
  return s;
}

equity::Stats PortfolioStats(const portfolio::Result& r, long long capital) {
  equity::Inputs in;
  in.capital = static_cast<double>(capital);
  for (const portfolio::EquityDay& e : r.equity) {
    in.equity.push_back({e.day, static_cast<double>(e.value)});
    in.hold.push_back(static_cast<double>(e.hold));
    in.held.push_back(e.held);
  }
  for (const portfolio::Trade& t : r.trades) {
    const double entryValue =
        static_cast<double>(t.entryPrice * static_cast<long double>(t.shares));
    if (t.exitDay) {
      in.closed.push_back({t.entryDay, *t.exitDay, static_cast<double>(t.pnl), entryValue,
                           static_cast<double>(t.cost), 0});
    } else {
      in.open.push_back({t.entryDay, entryValue, static_cast<double>(t.cost)});
    }
  }
  equity::Stats s = equity::Compute(in);
  // The tax is the years' and not a trade's.
  s.tax = static_cast<double>(r.tax);
  return s;
}

PortfolioRun RunPortfolio(const WorkTable& stockList, const PortfolioInputOptions& inputs,
                          const portfolio::Options& options, const std::string& storePath) {
  PortfolioRun run;
  PortfolioInputs in = CollectPortfolioInputs(stockList, inputs);
  run.refused = std::move(in.refused);
  std::vector<portfolio::Stock> stocks;
  stocks.reserve(in.stocks.size());
  // The list's dates read once for every stock.
  std::vector<std::pair<int, int>> rowDays;  // (row, day)
  for (int r = 1; r < stockList.rowCount(); ++r) {
    int day = 0;
    if (TryParseDate(stockList.cell(0, r), day)) rowDays.emplace_back(r, day);
  }
  for (const PortfolioStock& s : in.stocks) {
    std::vector<ListClose> closes;
    closes.reserve(rowDays.size());
    for (const auto& [r, day] : rowDays) closes.push_back({day, stockList.cell(s.column, r)});
    stocks.push_back(PortfolioStockDays(s, closes, ReadStoredBars(storePath, s.code)));
    run.codes.push_back(s.code);
  }
  run.result = portfolio::Run(stocks, options);
  run.stats = PortfolioStats(run.result, options.capital);
  return run;
}

}  // namespace tavrine
