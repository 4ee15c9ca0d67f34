// The arithmetic of the term-dependent rule columns on numbers: the G
// columns, the deviation line with its bands and "乖離", and the short-term
// ST. The table handlers (rules.cpp, overlays.cpp) and the numeric rule
// columns (rule_columns.h) both compute through these; values are read
// through callbacks and handed to `put` as they are made.
#pragma once

#include "signals/honest.h"
#include "signals/rules.h"
#include "store/calc_columns.h"
#include "store/text.h"

namespace tavrine::rule_math {

// A difference of two CalcTable columns, minuend - subtrahend.
struct Difference {
  int minuend, subtrahend;
};

// The G columns of one term: the two differences its steps read, and each
// step as {column, difference 1 or 2, trend-line column or -1 for the
// difference itself}, in the term's order.
using GSteps = int[5][3];
struct GTerm {
  Difference diffs[2];
  GSteps steps;

  const Difference& diff(int which) const { return diffs[which - 1]; }
};
// G4, G6, G5 from MA25 - MA200; G3, G7 from MA25 - MA75.
inline constexpr GTerm kLongG{{{calc::kMA25, calc::kMA200}, {calc::kMA25, calc::kMA75}},
                              {{calc::kG4, 1, -1},
                               {calc::kG6, 1, calc::kS4},
                               {calc::kG5, 1, calc::kS3},
                               {calc::kG3, 2, -1},
                               {calc::kG7, 2, calc::kS4}}};
// G4, G7, G6 from MA5 - MA25; G3, G5 from close - MA25.
inline constexpr GTerm kShortG{{{calc::kMA5, calc::kMA25}, {calc::kClose, calc::kMA25}},
                               {{calc::kG4, 1, -1},
                                {calc::kG7, 1, calc::kS3},
                                {calc::kG6, 1, calc::kS2},
                                {calc::kG3, 2, -1},
                                {calc::kG5, 2, calc::kS2}}};
inline const GTerm& GTermOf(bool longTerm) { return longTerm ? kLongG : kShortG; }

// The five G columns of one term in one pass over the rows, each difference
// read once (diff(which, r)) for the columns that use it; line(column, r)
// reads a trend line; put(column, r, value). Agreement rows (first+100 ..
// last-299) lie inside the difference rows (first .. last-199).
template <class Diff, class Line, class Put>
void GColumns(int first, int last, const GSteps& steps, Diff&& diff, Line&& line, Put&& put) {
  for (int r = first; r <= last - 199; ++r) {
    const bool agreeRow = r >= first + 100 && r <= last - 299;
    long long v[3] = {};
    bool have[3] = {};
    for (const auto& step : steps) {
      const int col = step[0], which = step[1], lineCol = step[2];
      if (lineCol >= 0 && !agreeRow) continue;
      if (!have[which]) {
        v[which] = diff(which, r);
        have[which] = true;
      }
      put(col, r, lineCol < 0 ? v[which] : Rules::Agreement(v[which], line(lineCol, r)));
    }
  }
}

// The deviation line of one mode: factor, band, the average's column and
// the last row of the line (last - lastOffset).
struct DeviationTerms {
  long double k, band;
  int maColumn, lastOffset;
};
inline DeviationTerms TermsOf(honest::Deviation d) {
  switch (d) {
    case honest::Deviation::Long75:
      return {2.7L, 0.07L, calc::kMA75, 200};
    case honest::Deviation::Long200:
      return {2.5L, 0.1L, calc::kMA200, 200};
    default:
      return {3.0L, 0.04L, calc::kMA25, 25};
  }
}

// The deviation of a close from its average scaled by p x k; an average of 0
// (a run of zero prices) gives no deviation rather than inf.
inline long long DeviationValue(long double p, long double k, long double close, long double ma) {
  return ma == 0 ? 0 : Round(p * k * (close - ma) / ma);
}
// The upper band; the lower band is the same of -p.
inline long long BandValue(long double p, long double k, long double band) {
  return Round(p * k * band);
}

// "乖離" on rows first+100 .. last-299: put(r, band test of deviation(r)
// against upper(r) and lower(r)).
template <class Deviation, class Upper, class Lower, class Put>
void KairiColumn(int first, int last, Deviation&& deviation, Upper&& upper, Lower&& lower,
                 Put&& put) {
  for (int r = first + 100; r <= last - 299; ++r) {
    const long long v = deviation(r);
    const long double u = upper(r);
    const long double l = lower(r);
    put(r, Rules::BandTest(v, u, l));
  }
}

// The short-term ST of a row from its 9-day fast and slow lines and S3: 2
// when the fast line is above the slow one and S3 above zero, 0 when it is
// not below, else -2.
inline int ShortST(long double fast, long double slow, long double s3) {
  if (slow < fast && s3 > 0) return 2;
  if (slow <= fast) return 0;
  return -2;
}
// The long-term ST from the 65-day lines.
inline int LongST(long double fast, long double slow) {
  return slow < fast ? 2 : slow == fast ? 0 : -2;
}

}  // namespace tavrine::rule_math
