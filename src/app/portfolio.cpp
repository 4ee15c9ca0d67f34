#include "app/portfolio.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "store/price_bars.h"
#include "store/price_store.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

namespace {

// A close of digits alone, the list's usual cell, read without the general
// number read; the same value TryStrToFloat gives it.
bool WholeYen(const std::string& text, long double& v) {
  if (text.empty() || text.size() > 18) return false;
  long long n = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    n = n * 10 + (ch - '0');
  }
  v = static_cast<long double>(n);
  return true;
}

}  // namespace

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
    if (!WholeYen(b.close, close) && !TryStrToFloat(b.close, close)) continue;
    if (!(close > 0)) continue;
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

std::vector<portfolio::Stock> PortfolioStocks(const WorkTable& stockList,
                                              const std::vector<PortfolioStock>& stocks,
                                              const StoredBarsOf& storedOf, int threads) {
  // The list's dates read once for every stock.
  std::vector<std::pair<int, int>> rowDays;  // (row, day)
  for (int r = 1; r < stockList.rowCount(); ++r) {
    int day = 0;
    if (TryParseDate(stockList.cell(0, r), day)) rowDays.emplace_back(r, day);
  }
  std::vector<portfolio::Stock> out(stocks.size());
  std::atomic<std::size_t> next{0};
  std::mutex failMutex;
  std::exception_ptr failure;
  auto worker = [&] {
    try {
      std::vector<ListClose> closes;
      closes.reserve(rowDays.size());
      for (std::size_t i = next.fetch_add(1); i < stocks.size(); i = next.fetch_add(1)) {
        closes.clear();
        for (const auto& [r, day] : rowDays)
          closes.push_back({day, stockList.cell(stocks[i].column, r)});
        out[i] = PortfolioStockDays(stocks[i], closes, storedOf(stocks[i]));
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(failMutex);
      if (!failure) failure = std::current_exception();
    }
  };
  const int n = std::clamp(threads, 1, std::max(1, static_cast<int>(stocks.size())));
  std::vector<std::thread> pool;
  for (int t = 0; t < n; ++t) pool.emplace_back(worker);
  for (auto& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
  return out;
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
  for (const PortfolioStock& s : in.stocks) run.codes.push_back(s.code);
  const std::vector<portfolio::Stock> stocks = PortfolioStocks(
      stockList, in.stocks,
      [&storePath](const PortfolioStock& s) { return ReadStoredBars(storePath, s.code); },
      inputs.threads);
  run.result = portfolio::Run(stocks, options);
  run.stats = PortfolioStats(run.result, options.capital);
  return run;
}

}  // namespace tavrine
