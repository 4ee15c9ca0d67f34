#include "app/portfolio_inputs.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "app/scan.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

namespace {

// The list's dates by row, read once for every stock; dated[r] false where
// row r's date does not read.
struct ListDays {
  std::vector<int> day;
  std::vector<char> dated;
  explicit ListDays(const WorkTable& list)
      : day(static_cast<std::size_t>(std::max(list.rowCount(), 0)), 0), dated(day.size(), 0) {
    for (int r = 0; r < list.rowCount(); ++r)
      dated[static_cast<std::size_t>(r)] =
          TryParseDate(list.cell(0, r), day[static_cast<std::size_t>(r)]);
  }
};

// One stock, or the message that leaves it out (empty when it is in).
struct Collected {
  PortfolioStock stock;
  std::string refusal;
};

Collected CollectStock(const WorkTable& list, const ListDays& dates, int k, const ScanOptions& o,
                       int tag, ScanSeries& series, walk::Steps& steps) {
  Collected c;
  c.stock.column = k;
  c.stock.code = LeftBytes(list.cell(k, 0), 4);
  const std::string named = "銘柄 " + c.stock.code + " (列 " + IntToStr(k) + ")";
  if (!ReadScanSeries(list, k, o, series, tag)) {
    c.refusal = named + ": 終値が読めないか履歴が短すぎるため外しました";
    return c;
  }
  WalkScanRule(series, tag, o.backtest, steps);
  if (steps.badRow != 0) {
    c.refusal = named + ": 規則の列 " + IntToStr(steps.badRow) + " 行目が読めないため外しました";
    return c;
  }
  // Days of rows first .. last; row r sits at index last - r.
  const int F = series.first, L = series.last;
  std::vector<int> dayOfRow(static_cast<std::size_t>(L) + 1, 0);
  c.stock.days.reserve(static_cast<std::size_t>(L - F + 1));
  c.stock.closes.reserve(static_cast<std::size_t>(L - F + 1));
  for (int r = L; r >= F; --r) {
    const std::size_t i = static_cast<std::size_t>(r);
    const int day = i < dates.day.size() ? dates.day[i] : 0;
    if (i >= dates.day.size() || !dates.dated[i]) {
      c.refusal = named + ": " + IntToStr(r) + " 行目の日付が読めないため外しました";
      return c;
    }
    dayOfRow[static_cast<std::size_t>(r)] = day;
    c.stock.days.push_back(day);
    c.stock.closes.push_back(series.yen[static_cast<std::size_t>(r)]);
  }
  // Judged honestly a step's row is the day it is carried out on, one row
  // newer than the row its signal was read on.
  auto day = [&](int r) { return dayOfRow[static_cast<std::size_t>(r)]; };
  for (const walk::Step& s : steps.steps) {
    if (s.opens) {
      PortfolioTrade t;
      t.entrySignal = day(s.row + 1);
      t.entryDay = day(s.row);
      t.side = o.backtest.entry;
      c.stock.trades.push_back(t);
    } else {
      c.stock.trades.back().exitSignal = day(s.row + 1);
      c.stock.trades.back().exitDay = day(s.row);
    }
  }
  return c;
}

}  // namespace

PortfolioInputs CollectPortfolioInputs(const WorkTable& stockList,
                                       const PortfolioInputOptions& options) {
  ScanOptions o;
  o.shortTerm = options.shortTerm;
  o.backtest.judging = Judging::Honest;
  o.backtest.entry = options.entry;
  const int tag = std::clamp(options.tag, 0, kRuleCount - 1);

  const std::vector<int> columns = ScanColumns(stockList);
  const ListDays dates(stockList);
  std::vector<Collected> collected(columns.size());
  std::atomic<std::size_t> next{0};
  std::mutex failMutex;
  std::exception_ptr failure;
  auto worker = [&] {
    try {
      ScanSeries series;
      walk::Steps steps;
      for (std::size_t i = next.fetch_add(1); i < columns.size(); i = next.fetch_add(1))
        collected[i] = CollectStock(stockList, dates, columns[i], o, tag, series, steps);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failMutex);
      if (!failure) failure = std::current_exception();
    }
  };
  const int threads = std::clamp(options.threads, 1, std::max(1, static_cast<int>(columns.size())));
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(worker);
  for (auto& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);

  PortfolioInputs out;
  for (Collected& c : collected) {
    if (c.refusal.empty())
      out.stocks.push_back(std::move(c.stock));
    else
      out.refused.push_back(std::move(c.refusal));
  }
  return out;
}

}  // namespace tavrine
