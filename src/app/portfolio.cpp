#include "app/portfolio.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <iterator>
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

// Marks of the stock's days: marked(day) is whether day is one of in.days.
class DayMarks {
 public:
  explicit DayMarks(const std::vector<int>& days) {
    if (days.empty()) return;
    lo_ = days.front();
    hi_ = days.back();
    mark_.assign(static_cast<std::size_t>(hi_ - lo_) + 1, 0);
    for (int d : days) mark_[static_cast<std::size_t>(d - lo_)] = 1;
  }
  bool marked(int day) const {
    return day >= lo_ && day <= hi_ && mark_[static_cast<std::size_t>(day - lo_)];
  }

 private:
  int lo_ = 0, hi_ = -1;
  std::vector<char> mark_;
};

// PortfolioStockDays from the list's closes on the stock's days.
portfolio::Stock DaysOfStock(const PortfolioStock& in, const std::vector<ListClose>& closes,
                             const std::vector<StoredBar>& stored) {
  portfolio::Stock s;
  s.code = in.code;
  const std::vector<PriceBar> bars = DailyBars(stored, closes);
  s.days.reserve(bars.size());
  s.turnover.reserve(bars.size());
  // The stored turnovers by day, the last of a day's kept as it is read.
  std::vector<std::pair<int, double>> turnover;
  for (const StoredBar& b : stored)
    if (b.turnover && *b.turnover > 0) turnover.emplace_back(b.day, *b.turnover);
  std::stable_sort(turnover.begin(), turnover.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  auto turnoverOf = [&turnover](int day) -> const double* {
    const auto it = std::upper_bound(turnover.begin(), turnover.end(), day,
                                     [](int d, const auto& e) { return d < e.first; });
    return it != turnover.begin() && std::prev(it)->first == day ? &std::prev(it)->second : nullptr;
  };
  for (const PriceBar& b : bars) {
    long double close = 0;
    if (!WholeYen(b.close, close) && !TryStrToFloat(b.close, close)) continue;
    if (!(close > 0)) continue;
    money::MoneyDay d{b.day, close, std::nullopt, b.stopHigh, b.stopLow};
    if (b.open && *b.open > 0) d.open = static_cast<long double>(*b.open);
    s.days.push_back(d);
    std::optional<long double> t;
    // A stored turnover counts only where the day's candle is the list's.
    const double* stock = b.volume ? turnoverOf(b.day) : nullptr;
    if (stock)
      t = static_cast<long double>(*stock);
    else if (b.volume)
      t = static_cast<long double>(*b.volume) * close;
    s.turnover.push_back(t);
  }
  for (const PortfolioTrade& t : in.trades) s.orders.push_back({t.entryDay, t.exitDay});
  return s;
}

}  // namespace

portfolio::Stock PortfolioStockDays(const PortfolioStock& in, const std::vector<ListClose>& list,
                                    const std::vector<StoredBar>& stored) {
  // The list's own close texts on the stock's days: the candle rule reads them.
  std::vector<ListClose> closes;
  closes.reserve(in.days.size());
  const DayMarks marks(in.days);
  for (const ListClose& c : list)
    if (marks.marked(c.day)) closes.push_back(c);
  return DaysOfStock(in, closes, stored);
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
  // Dates falling row by row, as a list keeps them, are taken oldest first:
  // the daily bars then read the closes as they come.
  if (std::adjacent_find(rowDays.begin(), rowDays.end(), [](const auto& a, const auto& b) {
        return a.second <= b.second;
      }) == rowDays.end())
    std::reverse(rowDays.begin(), rowDays.end());
  std::vector<portfolio::Stock> out(stocks.size());
  std::atomic<std::size_t> next{0};
  std::mutex failMutex;
  std::exception_ptr failure;
  auto worker = [&] {
    try {
      std::vector<ListClose> closes;
      for (std::size_t i = next.fetch_add(1); i < stocks.size(); i = next.fetch_add(1)) {
        // Only the stock's days are read from its column.
        const PortfolioStock& s = stocks[i];
        const DayMarks marks(s.days);
        closes.clear();
        closes.reserve(s.days.size());
        for (const auto& [r, day] : rowDays)
          if (marks.marked(day)) closes.push_back({day, stockList.cell(s.column, r)});
        out[i] = DaysOfStock(s, closes, storedOf(s));
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

namespace {

// The run's days as the statistics read them.
equity::Inputs LineInputs(const portfolio::Result& r, long long capital) {
  equity::Inputs in;
  in.capital = static_cast<double>(capital);
  for (const portfolio::EquityDay& e : r.equity) {
    in.equity.push_back({e.day, static_cast<double>(e.value)});
    in.hold.push_back(static_cast<double>(e.hold));
    in.held.push_back(e.held);
  }
  return in;
}

}  // namespace

equity::Stats PortfolioStats(const portfolio::Result& r, long long capital) {
  equity::Inputs in = LineInputs(r, capital);
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

equity::Stats PortfolioHoldStats(const portfolio::Result& r, long long capital) {
  return HoldLineStats(LineInputs(r, capital));
}

equity::Stats HoldLineStats(const equity::Inputs& in) {
  equity::Inputs hold;
  hold.capital = in.capital;
  hold.hold = in.hold;
  for (std::size_t i = 0; i < in.equity.size() && i < in.hold.size(); ++i)
    hold.equity.push_back({in.equity[i].day, in.hold[i]});
  hold.held.assign(hold.equity.size(), true);
  return equity::Compute(hold);
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
