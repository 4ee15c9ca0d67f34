#include "signals/rule_columns.h"

#include <algorithm>
#include <string>

#include "series/series_math.h"
#include "signals/rule_math.h"
#include "store/calc_columns.h"

namespace tavrine::rule_columns {

namespace {

using series_math::TrendTerms;

// Index in RuleSet of the CalcTable columns the rules read.
constexpr int kS1 = TagOfRuleColumn(calc::kS1);
constexpr int kS2 = TagOfRuleColumn(calc::kS2);
constexpr int kS3 = TagOfRuleColumn(calc::kS3);
constexpr int kKairi = TagOfRuleColumn(calc::kKairi);
constexpr int kST = TagOfRuleColumn(calc::kST);
static_assert(kS1 >= 0 && kS2 >= 0 && kS3 >= 0 && kKairi >= 0 && kST >= 0);

std::size_t At(int r) { return static_cast<std::size_t>(r); }

// An average by row, 0 outside its rows, as the pass computes it.
std::vector<long long> Average(const Closes& c, int w) {
  std::vector<long long> a(At(c.last) + 1, 0);
  series_math::MovingAverage([&c](int r) { return c.close[At(r)]; }, c.first, c.last, w,
                             [&a](int r, long long v) { a[At(r)] = v; });
  return a;
}

// A trend line into `line` (by row) from its average, as Series::averagePass
// places it; the average is computed when the series reaches its width.
void Trend(const Closes& c, const TrendTerms& t, long long P, std::vector<long long>& avg,
           walk::SignalColumn* line) {
  avg.assign(At(c.last) + 1, 0);
  if (c.last < t.width) return;
  avg = Average(c, t.width);
  if (!line || c.last - t.lastOffset < c.first) return;
  series_math::TrendLine(avg, t.lag, t.factor, c.first, c.last - t.lastOffset, P,
                         [&](int r, long long v) { line->set(r + t.lag, v); });
}

}  // namespace

int PricedRows(const Closes& c) {
  int shown = 0;  // rows 2 .. last-1 whose close is "0"
  for (int r = 2; r <= c.last - 1; ++r)
    if (r < c.first || c.close[At(r)] == 0) ++shown;
  return c.last - shown - 1;
}

void Hindsight(const Closes& c, const honest::Terms& terms, RuleSet& out) {
  const int F = c.first, L = c.last;
  for (int tag = 0; tag < kRuleCount; ++tag)
    out[At(tag)].assign(L, kRules[tag].blankWithoutValue ? walk::Cell::Blank : walk::Cell::Number);
  auto close = [&c](int r) { return c.close[At(r)]; };

  const long long P = series_math::PriceScale(close, F);
  std::vector<long long> ma5(At(L) + 1, 0);
  series_math::FiveDayAndS1(
      close, F, L, P, [&ma5](int r, long long v) { ma5[At(r)] = v; },
      [&out](int r, long long v) { out[kS1].set(r + 2, v); });

  // S4 is a trend line, not a rule: it is kept for the agreements only.
  walk::SignalColumn s4;
  s4.assign(L, walk::Cell::Number);
  std::vector<long long> ma25, ma75, ma200;
  Trend(c, series_math::kS2Terms, P, ma25, &out[kS2]);
  Trend(c, series_math::kS3Terms, P, ma75, &out[kS3]);
  Trend(c, series_math::kS4Terms, P, ma200, &s4);

  auto line = [&](int column, int r) -> long long {
    const walk::SignalColumn& s = column == calc::kS2   ? out[kS2]
                                  : column == calc::kS3 ? out[kS3]
                                                        : s4;
    return s.value[At(r)];
  };
  auto average = [&](int column) -> const std::vector<long long>& {
    switch (column) {
      case calc::kMA5:
        return ma5;
      case calc::kMA25:
        return ma25;
      case calc::kMA75:
        return ma75;
      case calc::kMA200:
        return ma200;
      default:
        return c.close;
    }
  };
  auto put = [&out](int column, int r, long long v) { out[At(TagOfRuleColumn(column))].set(r, v); };

  // The long set exists when the extraction's 200-day pass ran; the term
  // switch computes the short set over the same rows.
  const bool longSet = terms.longTerm;
  if (!longSet || L >= 200) {
    const rule_math::GTerm& g = rule_math::GTermOf(longSet);
    rule_math::GColumns(
        F, L, g.steps,
        [&](int which, int r) {
          const rule_math::Difference& d = g.diff(which);
          return average(d.minuend)[At(r)] - average(d.subtrahend)[At(r)];
        },
        line, put);

    const rule_math::DeviationTerms d = rule_math::TermsOf(terms.deviation);
    const long double p = static_cast<long double>(P);
    const std::vector<long long>& ma = average(d.maColumn);
    const long double upper = static_cast<long double>(rule_math::BandValue(p, d.k, d.band));
    const long double lower = static_cast<long double>(rule_math::BandValue(-p, d.k, d.band));
    rule_math::KairiColumn(
        F, L,
        [&](int r) {
          return rule_math::DeviationValue(p, d.k, static_cast<long double>(c.close[At(r)]),
                                           static_cast<long double>(ma[At(r)]));
        },
        [upper](int) { return upper; }, [lower](int) { return lower; },
        [&out](int r, int v) { out[kKairi].set(r, v); });
  }

  // ST: the extraction's 65-day signal, or the term switch's 9-day one.
  std::vector<int> cl(At(L) + 1, 0);
  for (int r = F; r <= L; ++r) cl[At(r)] = static_cast<int>(c.close[At(r)]);
  struct Sink {
    walk::SignalColumn& st;
    const walk::SignalColumn& s3;
    bool longST;
    long double fast = 0;
    void extremes(int, int, int) {}
    void fast65(int, const DecimalValue&) {}
    void slow65(int r, const DecimalValue&, int sign) {
      if (longST) st.set(r, sign);
    }
    void fast9(int, const DecimalValue& v) { fast = v.back; }
    void slow9(int r, const DecimalValue& v) {
      const long double slow = v.back;
      const long double s3r = slow < fast ? static_cast<long double>(s3.value[At(r)]) : 0;
      st.set(r, rule_math::ShortST(fast, slow, s3r));
    }
  } sink{out[kST], out[kS3], terms.stLong};
  series_math::Stochastics(cl.data(), F, L, static_cast<long double>(P), !terms.stLong,
                           terms.stLong, sink);
}

void Honest(const Closes& c, const honest::Terms& terms, RuleSet& out) {
  const honest::Columns cols = honest::Compute(c.close, c.first, c.last, terms);
  for (int tag = 0; tag < kRuleCount; ++tag) {
    const RuleDef& rule = kRules[tag];
    const int i = honest::IndexOfColumn(rule.number);
    walk::SignalColumn& s = out[At(tag)];
    s.assign(c.last, rule.blankWithoutValue ? walk::Cell::Blank : walk::Cell::Number);
    for (int r = c.first; r <= c.last; ++r)
      if (cols.has(i, r)) s.set(r, cols.values[At(i)][At(r)]);
  }
}

}  // namespace tavrine::rule_columns
