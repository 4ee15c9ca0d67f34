#include "signals/walk.h"

#include <algorithm>
#include <cmath>

#include "signals/backtest.h"
#include "signals/rules.h"
#include "store/calc_columns.h"
#include "store/decimal_form.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine::walk {

namespace {

// The ratio ranges: the first range whose test holds takes the ratio.
int RangeOf(long double a) {
  if (a < 0.951L) return 0;
  if (a > 0.95L && a < 1.001L) return 1;
  if (a > 1.0L && a < 1.051L) return 2;
  if (a > 1.05L && a < 1.101L) return 3;
  if (a > 1.1L && a < 1.151L) return 4;
  if (a > 1.15L && a < 1.201L) return 5;
  if (a > 1.2L) return 6;
  return -1;
}

// FloatToStr's text of v, through its fast form.
std::string GeneralText(long double v) {
  long double back;
  return DecimalText(v, back);
}

// StrToFloat of a ratio text. The plain decimals the list holds ("1.052")
// take the exact decimal read the work tables use for the same value.
long double Ratio(const std::string& s) {
  PlainDecimal d;
  return ParsePlainDecimal(s, d) ? PlainDecimalValue(d) : StrToFloat(s);
}

}  // namespace

SignalColumn ReadColumn(const WorkTable& t, int column, int lastRow) {
  SignalColumn s;
  s.assign(std::max(lastRow, 0), Cell::Bad);
  for (int r = 1; r <= lastRow; ++r) {
    long long v = 0;
    if (t.tryInt(column, r, v))
      s.set(r, v);
    else if (t.isBlank(column, r))
      s.kind[static_cast<std::size_t>(r)] = Cell::Blank;
  }
  return s;
}

void HindsightWindow(int rule, int v, int& start, int& end) {
  // A column that is no rule's is walked over the rows of the long lines.
  const RuleDef* r = RuleOfColumn(rule);
  const RuleDef& rows = r ? *r : kRules[TagOfRuleColumn(calc::kG3)];
  start = v - rows.walkBack;
  end = rows.walkEnd;
}

void WalkSignals(const SignalColumn& signal, int start, int end, const BacktestOptions& options,
                 Steps& out) {
  out.steps.clear();
  out.badRow = 0;
  const bool honest = options.honest();
  const bool entryBuy = options.entryBuy();
  const int lag = honest ? 1 : 0;
  bool holding = false;
  for (int r = start; r >= end; --r) {
    const Cell kind = r >= 0 && static_cast<std::size_t>(r) < signal.kind.size()
                          ? signal.kind[static_cast<std::size_t>(r)]
                          : Cell::Bad;
    if (kind != Cell::Number) {
      if (honest && kind == Cell::Blank) continue;
      out.badRow = r;
      return;
    }
    const int s = signal.value[static_cast<std::size_t>(r)];
    const bool opens = entryBuy ? s > 0 : s < 0;
    const bool closes = entryBuy ? s < 0 : s >= 0;
    if (opens && !holding) {
      holding = true;
      out.steps.push_back({r - lag, true});
    } else if (closes && holding) {
      holding = false;
      out.steps.push_back({r - lag, false});
    }
  }
}

long double TradeRatio(const Trade& t, const BacktestOptions& options) {
  const long double entryPrice = t.entryPrice;
  const long double exitPrice = t.exitPrice;
  // Sell price over buy price in both directions.
  return options.entryBuy() ? exitPrice / entryPrice : entryPrice / exitPrice;
}

std::string RatioText(const Trade& t, const BacktestOptions& options) {
  return LeftBytes(GeneralText(TradeRatio(t, options)), 5);
}

std::string HeldDaysText(const std::string& from, const std::string& to) {
  if (IsBlank(from) || IsBlank(to)) return {};
  return GeneralText(StrToDate(to) - StrToDate(from));
}

std::string RatioSummary::rangeAverage(int i) const {
  return LeftBytes(GeneralText(sums[i] / counts[i]), stats::kAverageBytes);
}

std::string RatioSummary::overallAverage() const {
  if (countAll == 0) return "0";
  return LeftBytes(GeneralText(sumAll / countAll), stats::kAverageBytes);
}

RatioSummary SummariseRatios(const std::vector<ListedTrade>& listed,
                             const std::function<void(int, int)>& onCount) {
  RatioSummary s;
  for (const ListedTrade& t : listed) {
    const long double a = Ratio(t.ratio);
    const int range = RangeOf(a);
    if (range < 0) continue;
    s.sums[range] += a;
    ++s.counts[range];
    s.sumAll += a;
    ++s.countAll;
    if (onCount) onCount(range, s.counts[range]);
  }
  return s;
}

DaySummary SummariseDays(const std::vector<ListedTrade>& listed, const std::string& overallAverage,
                         const std::function<void(const std::string&)>& onAverage) {
  DaySummary d;
  const int n = static_cast<int>(listed.size());
  long long sumDays = 0;
  for (const ListedTrade& t : listed) {
    if (IsBlank(t.entryDate) || IsBlank(t.exitDate)) continue;
    sumDays += StrToDate(t.exitDate) - StrToDate(t.entryDate);
  }
  if (n == 0 || listed.front().exitDate.empty() || listed.back().entryDate.empty()) return d;
  d.averageDays =
      LeftBytes(GeneralText(static_cast<long double>(sumDays) / n), stats::kStatisticBytes);
  if (onAverage) onAverage(d.averageDays);
  const int span = StrToDate(listed.front().exitDate) - StrToDate(listed.back().entryDate);
  // A span of no days (dates that do not advance) has no yearly rate.
  if (span > 0) {
    d.spanned = true;
    d.perYear =
        LeftBytes(GeneralText(static_cast<long double>(n) * 365 / span), stats::kStatisticBytes);
    const long double a = StrToFloat(overallAverage);
    const long double f = StrToFloat(d.perYear);
    d.annualRate = LeftBytes(GeneralText(std::exp(f * std::log(a))), stats::kStatisticBytes);
  }
  return d;
}

std::vector<ListedTrade> ListTrades(const std::vector<Trade>& closed,
                                    const BacktestOptions& options,
                                    const std::function<std::string(int)>& date,
                                    const std::function<std::string(int)>& close) {
  const int n = std::min(static_cast<int>(closed.size()), Backtest::kMaxListed);
  std::vector<ListedTrade> listed;
  listed.reserve(static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i) {
    const Trade& t = closed[closed.size() - static_cast<std::size_t>(i)];
    ListedTrade row{date(t.entryRow),  date(t.exitRow),  {},
                    close(t.entryRow), close(t.exitRow), RatioText(t, options)};
    row.heldDays = HeldDaysText(row.entryDate, row.exitDate);
    listed.push_back(std::move(row));
  }
  return listed;
}

RuleResult RunRule(const Steps& steps, const BacktestOptions& options,
                   const std::function<std::string(int)>& date,
                   const std::function<std::string(int)>& close) {
  RuleResult out;
  std::vector<Trade> closed;
  ReplaySteps(
      steps, close, [](int, const Trade&) {},
      [&closed](int, const Trade& t) { closed.push_back(t); });
  out.closed = static_cast<int>(closed.size());
  out.listed = ListTrades(closed, options, date, close);
  const RatioSummary ratios = SummariseRatios(out.listed);
  const DaySummary days = SummariseDays(out.listed, ratios.overallAverage());
  // As stats::ReadSummary reads the block the rule button leaves.
  if (ratios.countAll != 0) out.summary.trades = out.closed;
  if (out.summary.trades > 0) {
    out.summary.average = ratios.overallAverage();
    out.summary.perYear = days.perYear;
    out.summary.averageDays = days.averageDays;
  }
  out.summary.annualRate = days.spanned ? days.annualRate : "0";
  out.figures = ComputeFigures(out.listed);
  return out;
}

}  // namespace tavrine::walk
