#include "signals/equity_stats.h"

#include <algorithm>
#include <cmath>

#include "signals/figures.h"
#include "store/text.h"

namespace tavrine::equity {

namespace {

struct Drawdown {
  double deepest = 0;
  int longestDays = 0;
};

// Points first .. last of the line: the deepest fall from a running high,
// and the longest stretch from a high to the first day back at it (or the
// last day when it never comes back).
Drawdown DrawdownOf(const std::vector<Point>& line, std::size_t first, std::size_t last) {
  Drawdown d;
  if (first >= last) return d;
  double high = line[first].value;
  int highDay = line[first].day;
  bool under = false;
  for (std::size_t i = first + 1; i < last; ++i) {
    const Point& p = line[i];
    if (p.value >= high) {
      if (under) d.longestDays = std::max(d.longestDays, p.day - highDay);
      under = false;
      high = p.value;
      highDay = p.day;
      continue;
    }
    under = true;
    if (high > 0) d.deepest = std::max(d.deepest, 1 - p.value / high);
  }
  if (under) d.longestDays = std::max(d.longestDays, line[last - 1].day - highDay);
  return d;
}

int YearOf(int day) {
  int y = 0, m = 0, dd = 0;
  CivilFromDays(day, y, m, dd);
  return y;
}

std::optional<double> Ratio(double num, double den) {
  if (den == 0) return std::nullopt;
  return num / den;
}

}  // namespace

Stats Compute(const Inputs& in) {
  Stats s;
  const std::vector<Point>& line = in.equity;
  const std::size_t n = line.size();
  const int span = n > 0 ? line.back().day - line.front().day : 0;
  const double years = span / 365.25;

  if (n > 0) {
    s.finalEquity = line.back().value;
    if (span > 0 && in.capital > 0 && line.back().value >= 0)
      s.cagr = std::pow(line.back().value / in.capital, 365.25 / span) - 1;
    const Drawdown d = DrawdownOf(line, 0, n);
    s.maxdd = d.deepest;
    s.ddays = d.longestDays;
  }

  // Daily returns; a day after a value of 0 has none, and then no ratio does.
  std::vector<double> r;
  bool returnsValid = true;
  for (std::size_t i = 1; i < n; ++i) {
    if (line[i - 1].value == 0) {
      returnsValid = false;
      break;
    }
    r.push_back(line[i].value / line[i - 1].value - 1);
  }
  if (returnsValid && r.size() >= 2) {
    const double count = static_cast<double>(r.size());
    double sum = 0, down = 0;
    for (double x : r) {
      sum += x;
      const double m = std::min(x, 0.0);
      down += m * m;
    }
    const double mean = sum / count;
    double squares = 0;
    for (double x : r) squares += (x - mean) * (x - mean);
    const double sd = std::sqrt(squares / (count - 1));
    const double dd = std::sqrt(down / count);
    const double scale = std::sqrt(kTradingDaysAYear);
    if (sd > 0) s.sharpe = mean / sd * scale;
    if (dd > 0) s.sortino = mean / dd * scale;
  }

  s.trades = static_cast<int>(in.closed.size());
  double gains = 0, losses = 0, pnl = 0, pct = 0, days = 0;
  bool pctValid = true;
  for (const ClosedTrade& t : in.closed) {
    if (t.pnl > 0) {
      ++s.wins;
      gains += t.pnl;
    } else if (t.pnl < 0) {
      losses -= t.pnl;
    }
    pnl += t.pnl;
    if (t.entryValue == 0)
      pctValid = false;
    else
      pct += t.pnl / t.entryValue;
    days += t.exitDay - t.entryDay;
    s.costs += t.cost;
    s.tax += t.tax;
  }
  for (const OpenTrade& t : in.open) s.costs += t.cost;
  if (s.trades > 0) {
    const double count = s.trades;
    s.winRate = s.wins / count;
    if (losses > 0) s.profitFactor = gains / losses;
    s.expectancy = pnl / count;
    if (pctValid) s.expectancyPct = pct / count;
    s.averageDays = days / count;
  }
  if (n > 0) {
    const auto heldDays =
        std::count(in.held.begin(), in.held.begin() + std::min(n, in.held.size()), true);
    s.exposure = static_cast<double>(heldDays) / static_cast<double>(n);
  }
  if (span > 0) s.tradesPerYear = s.trades / years;
  if (!in.hold.empty()) s.hold = Ratio(in.hold.back(), in.capital);

  // The calendar years, each with its own drawdown from its first point.
  double base = in.capital;
  for (std::size_t i = 0; i < n;) {
    YearRow y;
    y.year = YearOf(line[i].day);
    std::size_t j = i;
    while (j < n && YearOf(line[j].day) == y.year) ++j;
    const double last = line[j - 1].value;
    if (base > 0) y.ret = last / base - 1;
    y.maxdd = DrawdownOf(line, i, j).deepest;
    for (const ClosedTrade& t : in.closed) y.trades += YearOf(t.exitDay) == y.year;
    s.years.push_back(y);
    base = last;
    i = j;
  }
  return s;
}

std::string SummaryNumbers(const Stats& s) {
  return FigureFields({{"final", s.finalEquity},
                       {"cagr", s.cagr},
                       {"maxdd", s.maxdd},
                       {"ddays", s.ddays},
                       {"sharpe", s.sharpe},
                       {"sortino", s.sortino},
                       {"trades", s.trades},
                       {"wins", s.wins},
                       {"winrate", s.winRate},
                       {"pf", s.profitFactor},
                       {"exp", s.expectancy},
                       {"exppct", s.expectancyPct},
                       {"days", s.averageDays},
                       {"exposure", s.exposure},
                       {"peryear", s.tradesPerYear},
                       {"costs", s.costs},
                       {"tax", s.tax},
                       {"hold", s.hold}});
}

std::string YearNumbers(const YearRow& y) {
  return FigureFields({{"year", y.year}, {"ret", y.ret}, {"maxdd", y.maxdd}, {"trades", y.trades}});
}

}  // namespace tavrine::equity
