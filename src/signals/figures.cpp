#include "signals/figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <unordered_map>
#include <utility>

#include "signals/backtest.h"
#include "signals/stats_block.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

namespace {

using stats::kEntryClose;
using stats::kEntryDate;
using stats::kExitClose;
using stats::kExitDate;
using stats::kHeldDays;
using stats::kRatio;

// Columns of the chart's series.
constexpr int kSeriesDate = 0;
constexpr int kSeriesClose = 1;

// A cell read as StrToFloat reads it, then as double. The cells read here
// are plain short decimals ("1.052", "121", "2480"); those are taken digit by
// digit and divided once by an exact power of ten, which rounds the same as
// the general parser's nearest extended value and costs a fraction of it.
// Anything else (blanks, exponents, bad text) goes through StrToFloat.
double Number(const std::string& s) {
  static constexpr long double kPow10[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                           1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                           1e14L, 1e15L, 1e16L, 1e17L, 1e18L};
  std::size_t i = 0;
  const bool neg = !s.empty() && s[0] == '-';
  if (neg || (!s.empty() && s[0] == '+')) i = 1;
  unsigned long long mantissa = 0;
  int digits = 0, fraction = -1;  // fraction: digits after the point, -1 before it
  for (; i < s.size(); ++i) {
    const char ch = s[i];
    if (ch == '.' && fraction < 0) {
      fraction = 0;
    } else if (ch >= '0' && ch <= '9' && digits < 18) {
      mantissa = mantissa * 10 + static_cast<unsigned>(ch - '0');
      ++digits;
      if (fraction >= 0) ++fraction;
    } else {
      return static_cast<double>(StrToFloat(s));
    }
  }
  if (digits == 0) return static_cast<double>(StrToFloat(s));
  const long double v = static_cast<long double>(mantissa) / kPow10[fraction < 0 ? 0 : fraction];
  return static_cast<double>(neg ? -v : v);
}

// A cell read as StrToFloat reads its text, without making the text of a
// number cell.
double Number(const WorkTable& t, int c, int r) { return static_cast<double>(t.getFloat(c, r)); }

// A text as a number, none for a blank one or one that holds no number.
std::optional<double> OptionalNumber(const std::string& s) {
  if (IsBlank(s)) return std::nullopt;
  try {
    return Number(s);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}
std::optional<double> OptionalNumber(const WorkTable& t, int c, int r) {
  long double v = 0;
  if (t.isBlank(c, r) || !t.tryFloat(c, r, v)) return std::nullopt;
  return static_cast<double>(v);
}

// Rows of the series by day. The shown days lie close together, so a plain
// array over their range is the map; dates scattered over centuries (a broken
// table) fall back to a hash map rather than a huge array.
class DayIndex {
 public:
  DayIndex(const WorkTable& series, int lo, int hi) {
    std::vector<std::pair<int, int>> days;  // (day, row)
    days.reserve(static_cast<std::size_t>(hi - lo + 1));
    for (int r = lo; r <= hi; ++r) {
      if (series.isBlank(kSeriesClose, r) || series.textIs(kSeriesClose, r, "0")) continue;
      int day = 0;
      if (!TryParseDate(series.cell(kSeriesDate, r), day)) continue;
      days.push_back({day, r});
      first_ = std::min(first_, day);
      last_ = std::max(last_, day);
    }
    if (days.empty()) return;
    // A repeated day keeps its first row.
    const long long range = static_cast<long long>(last_) - first_ + 1;
    if (range <= 4 * static_cast<long long>(days.size()) + 4096) {
      dense_.assign(static_cast<std::size_t>(range), -1);
      for (const auto& [day, r] : days) {
        int& slot = dense_[static_cast<std::size_t>(day - first_)];
        if (slot < 0) slot = r;
      }
    } else {
      sparse_.reserve(days.size());
      for (const auto& [day, r] : days) sparse_.emplace(day, r);
    }
  }

  bool empty() const { return dense_.empty() && sparse_.empty(); }

  // The row of a day, -1 when none.
  int find(int day) const {
    if (!dense_.empty()) {
      if (day < first_ || day > last_) return -1;
      return dense_[static_cast<std::size_t>(day - first_)];
    }
    const auto it = sparse_.find(day);
    return it == sparse_.end() ? -1 : it->second;
  }

 private:
  int first_ = std::numeric_limits<int>::max();
  int last_ = std::numeric_limits<int>::min();
  std::vector<int> dense_;
  std::unordered_map<int, int> sparse_;
};

// v times 10^shift with `decimals` places, rounded half away from zero on
// the 15 significant digits FloatToStr shows, so a value whose binary form
// lies a hair below a tie (1.005 stored as 1.00499999999999989) rounds as
// its decimal text reads. The shift is made on the digits, not by
// multiplying, for the same reason.
std::string RoundedDecimal(double v, int shift, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
  // buf: d.dddddddddddddde[+-]XX
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
  int point = exponent + shift + 1;  // digits before the decimal point
  if (point < 0) {
    digits.insert(0, static_cast<std::size_t>(-point), '0');
    point = 0;
  }
  if (static_cast<int>(digits.size()) < point + decimals + 1)
    digits.append(static_cast<std::size_t>(point + decimals + 1 - static_cast<int>(digits.size())),
                  '0');
  // Keep point + decimals digits; the next one decides the rounding.
  const bool up = digits[static_cast<std::size_t>(point + decimals)] >= '5';
  digits.resize(static_cast<std::size_t>(point + decimals));
  if (up) {
    int i = static_cast<int>(digits.size()) - 1;
    for (; i >= 0 && digits[static_cast<std::size_t>(i)] == '9'; --i)
      digits[static_cast<std::size_t>(i)] = '0';
    if (i >= 0)
      ++digits[static_cast<std::size_t>(i)];
    else
      digits.insert(0, 1, '1'), ++point;
  }
  std::string whole = digits.substr(0, static_cast<std::size_t>(point));
  const std::string fraction = digits.substr(static_cast<std::size_t>(point));
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (whole.empty()) whole = "0";
  std::string out = whole;
  if (decimals > 0) out += "." + fraction;
  if (v < 0 && out.find_first_not_of("0.") != std::string::npos) out.insert(0, 1, '-');
  return out;
}

}  // namespace

int ListedTradeCount(const WorkTable& stats) {
  int m = 0;
  while (m < Backtest::kMaxListed && !stats.isBlank(kRatio, m + 1)) ++m;
  return m;
}

std::vector<ListedTrade> ReadListedTrades(const WorkTable& stats, int n) {
  std::vector<ListedTrade> listed;
  listed.reserve(static_cast<std::size_t>(std::max(n, 0)));
  for (int r = 1; r <= n; ++r)
    listed.push_back({stats.cell(kEntryDate, r), stats.cell(kExitDate, r), stats.cell(kHeldDays, r),
                      stats.cell(kEntryClose, r), stats.cell(kExitClose, r),
                      stats.cell(kRatio, r)});
  return listed;
}

BacktestFigures ComputeFigures(const WorkTable& stats) {
  return ComputeFigures(ReadListedTrades(stats, ListedTradeCount(stats)));
}

BacktestFigures ComputeFigures(const std::vector<ListedTrade>& listed) {
  BacktestFigures f;
  const int m = static_cast<int>(listed.size());
  f.trades = m;
  // No closed trade: no figure at all, not even a zero drawdown or wins, so
  // that an empty list never reads like a flat or losing strategy.
  if (m == 0) return f;
  // Row r of the list (1 = the newest trade).
  auto row = [&listed](int r) -> const ListedTrade& {
    return listed[static_cast<std::size_t>(r - 1)];
  };

  f.curve.reserve(static_cast<std::size_t>(m));
  double equity = 1, peak = 1, maxDrawdown = 0;
  double gains = 0, losses = 0, heldDays = 0;
  int wins = 0, run = 0, longestRun = 0;
  bool lost = false;
  // Oldest trade (row m) first: the curve, the peak and the runs follow time.
  for (int r = m; r >= 1; --r) {
    const double ratio = Number(row(r).ratio);
    equity *= ratio;
    peak = std::max(peak, equity);
    const double drawdown = 1 - equity / peak;
    maxDrawdown = std::max(maxDrawdown, drawdown);
    if (ratio > 1) {
      ++wins;
      gains += ratio - 1;
      run = 0;
    } else if (ratio < 1) {
      lost = true;
      losses += 1 - ratio;
      longestRun = std::max(longestRun, ++run);
    } else {
      run = 0;  // an even trade ends a losing run
    }
    heldDays += Number(row(r).heldDays);
    f.curve.push_back({row(r).exitDate, equity, drawdown, std::nullopt});
  }

  f.wins = wins;
  f.winRate = static_cast<double>(wins) / m;
  f.equity = equity;
  f.maxDrawdown = maxDrawdown;
  if (lost) f.profitFactor = gains / losses;
  f.longestLosingStreak = longestRun;

  // Calendar days from the oldest entry to the newest exit. Dates that do not
  // advance leave no span to share out.
  const int span = StrToDate(row(1).exitDate) - StrToDate(row(m).entryDate);
  if (span != 0) f.exposure = heldDays / span;

  // A zero entry close (only possible as a short's buy-back side) has no
  // quotient.
  const double firstClose = Number(row(m).entryClose);
  const double lastClose = Number(row(1).exitClose);
  if (firstClose != 0) f.buyAndHold = lastClose / firstClose;

  // The buy-and-hold line: trade k stands in row m - k, newest first.
  if (firstClose > 0)
    for (int k = 0; k < m; ++k)
      if (const auto close = OptionalNumber(row(m - k).exitClose))
        f.curve[static_cast<std::size_t>(k)].hold = *close / firstClose;
  int day = 0;
  if (TryParseDate(row(m).entryDate, day) || TryParseDate(f.curve.front().exitDate, day))
    f.startDay = day;
  return f;
}

Distributions ReadDistributions(const WorkTable& stats) {
  Distributions d;
  for (int c = stats::kFirstRange; c < stats::kFirstRange + stats::kRanges; ++c)
    d.ranges.push_back(
        {stats.cell(c, 0), OptionalNumber(stats, c, stats::kRangeCountRow).value_or(0)});
  std::map<int, double> byDay;
  for (int r = stats::kFirstHistogramRow; r <= stats::kLastHistogramRow; ++r) {
    const auto day = OptionalNumber(stats, stats::kHistogramDays, r);
    const auto count = OptionalNumber(stats, stats::kHistogramCounts, r);
    if (!day || !count || *day < 1) continue;
    byDay[static_cast<int>(*day)] += *count;
  }
  d.heldDays.assign(byDay.begin(), byDay.end());
  return d;
}

std::vector<DayBin> BinHeldDays(const std::vector<std::pair<int, double>>& heldDays, int maxBars) {
  std::vector<DayBin> bins;
  if (heldDays.empty()) return bins;
  const int longest = heldDays.back().first;
  int width = 1;
  if (longest > maxBars) {
    static const int kWidths[] = {2, 5, 10, 20, 50, 100, 200};
    width = 500;
    for (int w : kWidths)
      if ((longest + w - 1) / w <= maxBars) {
        width = w;
        break;
      }
  }
  const int count = (longest + width - 1) / width;
  for (int b = 0; b < count; ++b) bins.push_back({b * width + 1, (b + 1) * width, 0});
  for (const auto& [day, n] : heldDays)
    bins[static_cast<std::size_t>((day - 1) / width)].count += n;
  return bins;
}

std::string FigureText(const std::optional<double>& v) {
  return v ? FloatToStr(static_cast<long double>(*v)) : std::string("-");
}

std::string FigureText(const std::optional<int>& v) { return v ? IntToStr(*v) : std::string("-"); }

std::string FigureFields(std::initializer_list<FigureField> fields) {
  std::string s;
  for (const FigureField& f : fields) {
    if (!s.empty()) s += ' ';
    s += f.key;
    s += '=';
    s += f.text;
  }
  return s;
}

std::string RoundedText(const std::optional<double>& v, int decimals) {
  if (!v || !std::isfinite(*v)) return "-";
  return RoundedDecimal(*v, 0, decimals);
}

std::string PercentText(const std::optional<double>& fraction) {
  if (!fraction || !std::isfinite(*fraction)) return "-";
  return RoundedDecimal(*fraction, 2, 1) + "%";
}

std::string FiguresLine(const BacktestFigures& f) {
  return "figures " + FigureFields({{"trades", f.trades},
                                    {"wins", f.wins},
                                    {"equity", f.equity},
                                    {"maxdd", f.maxDrawdown},
                                    {"pf", f.profitFactor},
                                    {"streak", f.longestLosingStreak},
                                    {"exposure", f.exposure},
                                    {"hold", f.buyAndHold}});
}

const std::vector<std::string>& FigureHeadings() {
  static const std::vector<std::string> kHeadings{"最大DD", "PF", "最長連敗", "保有率", "買持"};
  return kHeadings;
}

std::vector<std::string> FigureCells(const BacktestFigures& f) {
  return {PercentText(f.maxDrawdown), RoundedText(f.profitFactor, 2),
          FigureText(f.longestLosingStreak), PercentText(f.exposure), RoundedText(f.buyAndHold, 3)};
}

std::vector<std::optional<double>> FigureNumbers(const BacktestFigures& f) {
  const std::optional<double> streak =
      f.longestLosingStreak ? std::optional<double>(*f.longestLosingStreak) : std::nullopt;
  return {f.maxDrawdown, f.profitFactor, streak, f.exposure, f.buyAndHold};
}

void TradeMarkers(const WorkTable& stats, const WorkTable& series, int firstRow, int lastRow,
                  std::vector<MarkerPoint>& buys, std::vector<MarkerPoint>& sells) {
  buys.clear();
  sells.clear();
  const int lo = std::max(1, std::min(firstRow, lastRow));
  const int hi = std::min(std::max(firstRow, lastRow), series.rowCount() - 1);
  if (lo > hi) return;

  // Day -> row of the shown rows that have a close: one pass over the rows,
  // then one look-up a trade date, never rows x trades.
  const DayIndex rows(series, lo, hi);
  if (rows.empty()) return;

  const int m = ListedTradeCount(stats);
  buys.reserve(static_cast<std::size_t>(m));
  sells.reserve(static_cast<std::size_t>(m));
  auto mark = [&](const std::string& date, std::vector<MarkerPoint>& out) {
    int day = 0;
    if (!TryParseDate(date, day)) return;
    const int r = rows.find(day);
    if (r < 0) return;
    out.push_back(
        {static_cast<double>(r), Number(series, kSeriesClose, r), series.cell(kSeriesDate, r)});
  };
  for (int r = m; r >= 1; --r) {
    mark(stats.cell(kEntryDate, r), buys);
    mark(stats.cell(kExitDate, r), sells);
  }
}

}  // namespace tavrine
