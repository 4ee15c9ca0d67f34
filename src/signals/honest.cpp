#include "signals/honest.h"

#include <algorithm>
#include <deque>

#include "series/series_math.h"
#include "signals/rule_math.h"
#include "signals/rules.h"
#include "store/decimal_form.h"
#include "store/stock_list.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine::honest {

namespace {

// Index into Columns of the column of a CalcTable column.
constexpr int kS1 = IndexOfColumn(calc::kS1);
constexpr int kS3 = IndexOfColumn(calc::kS3);
constexpr int kKairi = IndexOfColumn(calc::kKairi);
constexpr int kST = IndexOfColumn(calc::kST);
static_assert(kS1 >= 0 && kS3 >= 0 && kKairi >= 0 && kST >= 0 && IndexOfColumn(calc::kS4) >= 0);

using series_math::RoundRatio;

// Sums of closes over row ranges, from suffix sums.
class Sums {
 public:
  Sums(const std::vector<long long>& close, int first, int last)
      : first_(first), last_(last), suffix_(static_cast<std::size_t>(last) + 2, 0) {
    for (int r = last; r >= first; --r)
      suffix_[static_cast<std::size_t>(r)] = suffix_[static_cast<std::size_t>(r) + 1] + close[r];
  }
  // close[a] + ... + close[b]; the rows lie inside first .. last.
  long long over(int a, int b) const {
    return suffix_[static_cast<std::size_t>(a)] - suffix_[static_cast<std::size_t>(b) + 1];
  }
  // Rounded w-day average ending at r (rows r .. r+w-1); 0 where the rows run
  // past the oldest close (no row reads it then).
  long long average(int r, int w) const {
    if (r + w - 1 > last_ || r < first_) return 0;
    return RoundQuotient(over(r, r + w - 1), w);
  }

 private:
  int first_, last_;
  std::vector<long long> suffix_;
};

// Per-row values of one rounded average, 0 outside its rows.
std::vector<long long> AverageColumn(const Sums& sums, int first, int last, int w) {
  std::vector<long long> a(static_cast<std::size_t>(last) + 1, 0);
  for (int r = first; r <= last - (w - 1); ++r) a[static_cast<std::size_t>(r)] = sums.average(r, w);
  return a;
}

// Highest and lowest close over rows r .. r+w-1, for rows first .. last-w+1,
// from the oldest row up with a queue of candidate rows each way.
void Extremes(const std::vector<long long>& close, int first, int last, int w,
              std::vector<long long>& hi, std::vector<long long>& lo) {
  hi.assign(static_cast<std::size_t>(last) + 1, 0);
  lo.assign(static_cast<std::size_t>(last) + 1, 0);
  std::deque<int> h, l;
  for (int r = last; r >= first; --r) {
    while (!h.empty() && close[h.back()] <= close[r]) h.pop_back();
    h.push_back(r);
    while (!l.empty() && close[l.back()] >= close[r]) l.pop_back();
    l.push_back(r);
    if (h.front() >= r + w) h.pop_front();
    if (l.front() >= r + w) l.pop_front();
    if (r <= last - (w - 1)) {
      hi[static_cast<std::size_t>(r)] = close[h.front()];
      lo[static_cast<std::size_t>(r)] = close[l.front()];
    }
  }
}

// Numerators (close - low) and denominators (high - low) of the fast
// stochastics summed over `span` rows starting at each row; the denominator
// counts as 1 when it is 0.
void FastTerms(const std::vector<long long>& close, const std::vector<long long>& hi,
               const std::vector<long long>& lo, int first, int lastRow, int span,
               std::vector<long long>& num, std::vector<long long>& den) {
  num.assign(static_cast<std::size_t>(std::max(lastRow, 0)) + 1, 0);
  den.assign(num.size(), 1);
  if (lastRow < first) return;
  // Running sums over rows r .. r+span-1, moved down one row at a time.
  long long n = 0, d = 0;
  auto add = [&](int j, int sign) {
    n += sign * (close[j] - lo[static_cast<std::size_t>(j)]);
    d += sign * (hi[static_cast<std::size_t>(j)] - lo[static_cast<std::size_t>(j)]);
  };
  for (int j = lastRow; j < lastRow + span; ++j) add(j, 1);
  for (int r = lastRow; r >= first; --r) {
    if (r < lastRow) {
      add(r, 1);
      add(r + span, -1);
    }
    num[static_cast<std::size_t>(r)] = n;
    den[static_cast<std::size_t>(r)] = d == 0 ? 1 : d;
  }
}

// The fast line P x 0.5 x num / den, stored as a double.
long double FastValue(long double p, long long num, long long den) {
  return static_cast<double>(p * 0.5L * static_cast<long double>(num) /
                             static_cast<long double>(den));
}

}  // namespace

const char* SignText(long long v) { return v > 0 ? "+" : v < 0 ? "-" : "0"; }

unsigned Needs(int column, const Terms& terms) {
  const int index = IndexOfColumn(column);
  if (index < 0) return kAllColumns;
  unsigned need = 1u << index;
  // An agreement reads its trend line; the short-term ST reads S3.
  for (const auto& step : rule_math::GTermOf(terms.longTerm).steps)
    if (step[0] == column && step[2] >= 0) need |= 1u << IndexOfColumn(step[2]);
  if (index == kST && !terms.stLong) need |= 1u << kS3;
  return need;
}

Columns Compute(const std::vector<long long>& close, int first, int last, const Terms& terms,
                unsigned only) {
  Columns out;
  out.first = first;
  out.last = last;
  const std::size_t rows = static_cast<std::size_t>(std::max(last, 0)) + 1;
  // The columns asked for and the columns they read.
  unsigned need = 0;
  for (std::size_t i = 0; i < kColumns.size(); ++i)
    if (only >> i & 1u) need |= Needs(kColumns[i], terms);
  auto wanted = [need](int index) { return (need >> index & 1u) != 0; };
  for (std::size_t i = 0; i < kColumns.size(); ++i)
    if (wanted(static_cast<int>(i))) out.values[i].assign(rows, 0);
  for (auto& o : out.oldest) o = first - 1;
  if (first < 1 || last < first) return out;

  const Sums sums(close, first, last);
  // The price scale of each day as the newest day: the 25 closes before it.
  // Every column but the plain differences of averages reads it.
  const int scaled = last - 25;  // oldest row with a price scale
  std::vector<long double> scale;
  const int lines[] = {kS1, IndexOfColumn(calc::kS2), kS3, IndexOfColumn(calc::kS4), kKairi, kST};
  if (std::any_of(std::begin(lines), std::end(lines), wanted)) {
    scale.assign(rows, 0);
    for (int r = first; r <= scaled; ++r)
      scale[static_cast<std::size_t>(r)] =
          static_cast<long double>(RoundQuotient(sums.over(r + 1, r + 25), 25));
  }
  auto P = [&scale](int r) { return scale[static_cast<std::size_t>(r)]; };

  // The rounded averages, and the close itself, by CalcTable column with
  // their widths; each made when a column first reads it.
  struct Average {
    int column, width;
    std::vector<long long> values;
  };
  Average averages[] = {
      {calc::kMA5, 5, {}}, {calc::kMA25, 25, {}}, {calc::kMA75, 75, {}}, {calc::kMA200, 200, {}}};
  auto made = [&](Average& a) -> const std::vector<long long>& {
    if (a.values.empty()) a.values = AverageColumn(sums, first, last, a.width);
    return a.values;
  };
  struct Line {
    int width;
    const std::vector<long long>& values;
  };
  auto average = [&](int column) -> Line {
    for (Average& a : averages)
      if (a.column == column) return {a.width, made(a)};
    return {1, close};
  };
  auto byWidth = [&](int width) -> const std::vector<long long>& {
    for (Average& a : averages)
      if (a.width == width) return made(a);
    return close;
  };

  auto fill = [&](int index, int oldest, auto value) {
    if (!wanted(index)) return;
    oldest = std::min(oldest, last);
    out.oldest[index] = std::max(oldest, first - 1);
    for (int r = first; r <= oldest; ++r) out.values[index][static_cast<std::size_t>(r)] = value(r);
  };

  // S1: the rounded 5-day average of the day against the unrounded one of
  // two days before.
  if (wanted(kS1)) {
    const auto& ma5 = byWidth(5);
    fill(kS1, std::min(scaled, last - 6), [&](int r) {
      const long double a = static_cast<long double>(sums.over(r + 2, r + 6)) / 5.0L;
      const long double m = static_cast<long double>(ma5[static_cast<std::size_t>(r)]);
      return RoundRatio(P(r) * -4.0L * (a - m), m);
    });
  }
  // S2 .. S4 from the extraction's trend terms.
  auto trend = [&](int column, const series_math::TrendTerms& t) {
    if (!wanted(IndexOfColumn(column))) return;
    const std::vector<long long>& a = byWidth(t.width);
    const int g = t.lag;
    const long double f = t.factor;
    fill(IndexOfColumn(column), std::min(scaled, last - (t.width - 1) - g), [&, g, f](int r) {
      const long double ar = static_cast<long double>(a[static_cast<std::size_t>(r)]);
      const long double ag = static_cast<long double>(a[static_cast<std::size_t>(r + g)]);
      return RoundRatio(P(r) * f * (ar - ag), ar);
    });
  };
  trend(calc::kS2, series_math::kS2Terms);
  trend(calc::kS3, series_math::kS3Terms);
  trend(calc::kS4, series_math::kS4Terms);

  // The G columns through the term set's steps: a difference of two of its
  // averages itself, or its agreement with a trend line. A difference has a
  // value where both averages have one.
  auto at = [](const std::vector<long long>& v, int r) { return v[static_cast<std::size_t>(r)]; };
  const rule_math::GTerm& g = rule_math::GTermOf(terms.longTerm);
  const auto& steps = g.steps;
  std::vector<long long> diff[2];
  int diffOldest[2] = {};
  for (int w = 0; w < 2; ++w) {
    if (std::none_of(std::begin(steps), std::end(steps), [&](const auto& step) {
          return step[1] - 1 == w && wanted(IndexOfColumn(step[0]));
        }))
      continue;
    diff[w].assign(rows, 0);
    const Line m = average(g.diffs[w].minuend);
    const Line s = average(g.diffs[w].subtrahend);
    for (int r = first; r <= last; ++r)
      diff[w][static_cast<std::size_t>(r)] = at(m.values, r) - at(s.values, r);
    diffOldest[w] = last - (std::max(m.width, s.width) - 1);
  }
  for (const auto& step : steps) {
    const int index = IndexOfColumn(step[0]);
    if (!wanted(index)) continue;
    const int w = step[1] - 1;
    const auto& d = diff[w];
    if (step[2] < 0) {
      fill(index, diffOldest[w], [&](int r) { return at(d, r); });
      continue;
    }
    const int li = IndexOfColumn(step[2]);
    const auto& line = out.values[static_cast<std::size_t>(li)];
    fill(index, std::min(diffOldest[w], out.oldest[static_cast<std::size_t>(li)]),
         [&](int r) { return static_cast<long long>(Rules::Agreement(at(d, r), at(line, r))); });
  }

  // "乖離": the band test on the deviation of the close from an average, the
  // line and the bands scaled by the day's own price scale.
  if (wanted(kKairi)) {
    const rule_math::DeviationTerms dev = rule_math::TermsOf(terms.deviation);
    const Line ma = average(dev.maColumn);
    const long double k = dev.k, band = dev.band;
    fill(kKairi, std::min(scaled, last - (ma.width - 1)), [&, k, band](int r) {
      const long double p = P(r);
      const long double c = static_cast<long double>(close[r]);
      const long double m = static_cast<long double>(at(ma.values, r));
      const long long v = rule_math::DeviationValue(p, k, c, m);
      return static_cast<long long>(
          Rules::BandTest(v, rule_math::BandValue(p, k, band), rule_math::BandValue(-p, k, band)));
    });
  }

  // ST: the fast stochastics line against its slow line, every value of the
  // day scaled by the day's price scale.
  std::vector<long long> hi, lo, num, den;
  if (wanted(kST) && terms.stLong) {
    Extremes(close, first, last, 65, hi, lo);
    const int fastOld = last - 64 - 14;
    FastTerms(close, hi, lo, first, fastOld, 15, num, den);
    fill(kST, std::min(scaled, fastOld - 14), [&](int r) {
      const long double p = P(r);
      double sum = 0;
      for (int j = r; j < r + 15; ++j) sum += static_cast<double>(FastValue(p, num[j], den[j]));
      const long double slow = static_cast<long double>(sum) / 15.0L;
      const long double fast = FastValue(p, num[r], den[r]);
      return static_cast<long long>(rule_math::LongST(fast, slow));
    });
  } else if (wanted(kST)) {
    Extremes(close, first, last, 9, hi, lo);
    const int fastOld = last - 8 - 2;
    FastTerms(close, hi, lo, first, fastOld, 3, num, den);
    fill(kST, std::min({scaled, fastOld - 2, out.oldest[kS3]}), [&](int r) {
      const long double p = P(r);
      const long double f0 = FastValue(p, num[r], den[r]);
      const long double slow = static_cast<double>(
          (f0 + FastValue(p, num[r + 1], den[r + 1]) + FastValue(p, num[r + 2], den[r + 2])) /
          3.0L);
      const long double s3 = static_cast<long double>(at(out.values[kS3], r));
      return static_cast<long long>(rule_math::ShortST(f0, slow, s3));
    });
  }
  return out;
}

const Columns& ComputeCache::get(const std::vector<long long>& close, int first, int last,
                                 const Terms& terms) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->first == first && it->last == last && it->terms == terms && it->close == close) {
      std::rotate(it, it + 1, entries_.end());
      return entries_.back().columns;
    }
  }
  if (entries_.size() == kEntries) entries_.erase(entries_.begin());
  entries_.push_back({close, first, last, terms, Compute(close, first, last, terms)});
  return entries_.back().columns;
}

void WriteColumns(WorkTable& calc, const Columns& c) {
  SuspendRedraw redraw(calc);
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    const int col = kColumns[i];
    const RuleDef* rule = RuleOfColumn(col);
    const bool blank = rule && rule->blankWithoutValue;
    for (int r = 1; r <= stocklist::kLastDayRow; ++r) {
      if (c.has(static_cast<int>(i), r))
        calc.setInt(col, r, c.values[i][static_cast<std::size_t>(r)]);
      else if (!blank)
        calc.setInt(col, r, 0);
      else if (!calc.isEmpty(col, r))
        calc.set(col, r, "");
    }
  }
}

}  // namespace tavrine::honest
