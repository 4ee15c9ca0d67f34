// The arithmetic of the indicator passes on numbers: the price scale, the
// 5-day average with S1, the moving averages, the trend lines and the
// stochastics. The table passes (series.cpp) and the numeric rule columns
// (signals/rule_columns.h) both compute through these. A close is read
// through `close(r)` and each result handed to `put` as it is made, so a
// caller whose read can fail writes exactly the rows before it.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "store/decimal_form.h"
#include "store/text.h"

namespace tavrine::series_math {

// Round(numerator / divisor); a zero average as divisor yields 0 instead of
// an infinite or undefined value.
inline long long RoundRatio(long double numerator, long double divisor) {
  if (divisor == 0) return 0;
  return Round(numerator / divisor);
}

// The price scale: the rounded average of the 25 rows after the first.
template <class Close>
long long PriceScale(Close&& close, int F) {
  long long sum25 = 0;
  for (int r = F + 1; r <= F + 25; ++r) sum25 += close(r);
  return RoundQuotient(sum25, 25);
}

// The 5-day average of rows F .. L-7 and S1 two rows newer: putAverage(r,
// ma5 of r) as soon as it is known, then putS1(r, S1 of r + 2). sum5 covers
// rows r .. r+4, sumA r+2 .. r+6.
template <class Close, class PutAverage, class PutS1>
void FiveDayAndS1(Close&& close, int F, int L, long long P, PutAverage&& putAverage,
                  PutS1&& putS1) {
  long long sum5 = 0, sumA = 0;
  for (int r = F; r <= L - 7; ++r) {
    if (r == F) {
      for (int j = 0; j < 5; ++j) sum5 += close(r + j);
    } else {
      sum5 += close(r + 4) - close(r - 1);
    }
    const long long ma5 = RoundQuotient(sum5, 5);
    putAverage(r, ma5);
    if (r == F) {
      for (int j = 2; j < 7; ++j) sumA += close(r + j);
    } else {
      sumA += close(r + 6) - close(r + 1);
    }
    const long double a = static_cast<long double>(sumA) / 5.0L;
    const long double m = static_cast<long double>(ma5);
    putS1(r, RoundRatio(static_cast<long double>(P) * -4.0L * (a - m), m));
  }
}

// Moving average of width w of the closes, rows F .. L-(w-1): put(r, average).
// Integer closes: the running sum is exact, and so is the rounded quotient.
template <class Close, class Put, class Width>
void MovingAverageOf(Close& close, int F, int L, Width w, Put& put) {
  if (L - (w - 1) < F) return;
  long long sum = 0;
  for (int r = F; r <= F + w - 1; ++r) sum += close(r);
  put(F, RoundQuotient(sum, w));
  for (int r = F + 1; r <= L - (w - 1); ++r) {
    sum -= close(r - 1);
    sum += close(r + w - 1);
    put(r, RoundQuotient(sum, w));
  }
}
template <class Close, class Put>
void MovingAverage(Close&& close, int F, int L, int w, Put&& put) {
  // The passes' widths as constants, so each row's quotient is a multiplication.
  using std::integral_constant;
  switch (w) {
    case 25:
      return MovingAverageOf(close, F, L, integral_constant<int, 25>{}, put);
    case 75:
      return MovingAverageOf(close, F, L, integral_constant<int, 75>{}, put);
    case 200:
      return MovingAverageOf(close, F, L, integral_constant<int, 200>{}, put);
    case 1000:
      return MovingAverageOf(close, F, L, integral_constant<int, 1000>{}, put);
    default:
      return MovingAverageOf(close, F, L, w, put);
  }
}

// Trend line of average a (by row) with lag g and factor f for rows F .. E:
// put(r, value), the value the centred line stores at row r + g.
template <class Put>
void TrendLine(const std::vector<long long>& a, int g, long double f, int F, int E, long long P,
               Put&& put) {
  const long double pf = static_cast<long double>(P) * f;
  for (int r = F; r <= E; ++r) {
    const long double ar = static_cast<long double>(a[r]);
    const long double ag = static_cast<long double>(a[r + g]);
    put(r, RoundRatio(pf * (ar - ag), ar));
  }
}

// The three trend lines S2 .. S4 of the extraction: width, lag, factor, and
// the last row of the line (L - lastOffset).
struct TrendTerms {
  int width, lag;
  long double factor;
  int lastOffset;
};
// S2 stops one row before its average would allow.
inline constexpr TrendTerms kS2Terms{25, 12, 3.0L, 37};
inline constexpr TrendTerms kS3Terms{75, 37, 2.7L, 111};
inline constexpr TrendTerms kS4Terms{200, 100, 2.5L, 299};

// Rows of the highest and lowest close over rows r .. r+width-1 while r steps
// down by one; among equal closes the lowest row, as a scan upwards from r
// finds it. Each queue keeps candidate rows, newest last, whose closes
// strictly fall (highs) or rise (lows) from the front.
class WindowExtremes {
 public:
  WindowExtremes(const int* closes, int width, std::size_t rows) : cl_(closes), width_(width) {
    hi_.reserve(rows);
    lo_.reserve(rows);
  }

  void push(int r) {
    while (hi_.size() > hiFront_ && cl_[hi_.back()] <= cl_[r]) hi_.pop_back();
    hi_.push_back(r);
    while (lo_.size() > loFront_ && cl_[lo_.back()] >= cl_[r]) lo_.pop_back();
    lo_.push_back(r);
    while (hi_[hiFront_] >= r + width_) ++hiFront_;
    while (lo_[loFront_] >= r + width_) ++loFront_;
  }
  int high() const { return hi_[hiFront_]; }
  int low() const { return lo_[loFront_]; }

 private:
  const int* cl_;
  int width_;
  std::vector<int> hi_, lo_;
  std::size_t hiFront_ = 0, loFront_ = 0;
};

// The stochastics of closes cl[F .. L] (all integers) with price scale P.
// Each value needs only rows at or below its own. The sink gets, where the
// row has them:
//   extremes(r, highRow, lowRow)      columns 32, 33 (the 65-day ones from L-64)
//   fast65(r, value)                  column 38 (r <= L-79)
//   slow65(r, value, sign)            columns 39, 40 (r <= L-94)
//   fast9(r, value)                   column 34 (r <= L-10)
//   slow9(r, value)                   column 35 (r <= L-12)
// Each value comes with what a reader parses from its text (value.back),
// which is what the later values build on. With `nine` or `sixtyFive`
// false that part is neither computed nor handed on (the extremes need both).
// The calls come a kind at a time, each kind from the newest row to the
// oldest: the extremes, the 65-day lines (fast65 for every row, then slow65),
// then the 9-day ones (fast9 and slow9 of a row together).
template <class Sink>
void Stochastics(const int* cl, int F, int L, long double price, bool nine, bool sixtyFive,
                 Sink& sink) {
  if (L < F) return;
  const std::size_t n = static_cast<std::size_t>(L) + 1;
  std::vector<int> hi9(n, 0), lo9(n, 0), hi65(n, 0), lo65(n, 0);
  std::vector<long double> back(n, 0);
  WindowExtremes w9(cl, 9, n), w65(cl, 65, n);
  for (int j = L; j > L - 8 && j >= F; --j) {
    w9.push(j);
    w65.push(j);
  }
  for (int r = L - 8; r >= F; --r) {
    w9.push(r);
    w65.push(r);
    int h = w9.high(), l = w9.low();
    hi9[r] = cl[h];
    lo9[r] = cl[l];
    if (r <= L - 64) {
      h = w65.high();
      l = w65.low();
      hi65[r] = cl[h];
      lo65[r] = cl[l];
    }
    sink.extremes(r, h, l);
  }

  // Fast line over `span` rows from r: P x 0.5 x (sum of close - low) /
  // (sum of high - low), kept as a double. The integer sums slide down the
  // rows exactly.
  auto fastLine = [&](int last, int span, const std::vector<int>& hi, const std::vector<int>& lo,
                      auto&& put) {
    if (last < F) return;
    auto above = [&](const int* top, int j) { return static_cast<long long>(top[j]) - lo[j]; };
    long long num = 0, den = 0;
    for (int j = last; j < last + span; ++j) {
      num += above(cl, j);
      den += above(hi.data(), j);
    }
    for (int r = last; r >= F; --r) {
      if (r < last) {
        num += above(cl, r) - above(cl, r + span);
        den += above(hi.data(), r) - above(hi.data(), r + span);
      }
      const long long d = den == 0 ? 1 : den;
      const DecimalValue v = ToDecimalValue(static_cast<double>(
          price * 0.5L * static_cast<long double>(num) / static_cast<long double>(d)));
      back[r] = v.back;
      put(r, v);
    }
  };

  if (sixtyFive) {
    fastLine(L - 79, 15, hi65, lo65, [&](int r, const DecimalValue& v) { sink.fast65(r, v); });
    // The slow line sums 15 fast values into a double, rounded at each step;
    // four rows at a time, so their sums run side by side.
    auto slow = [&](int r, double sum) {
      const DecimalValue v = ToDecimalValue(static_cast<long double>(sum) / 15.0L);
      sink.slow65(r, v, back[r] > v.back ? 2 : back[r] < v.back ? -2 : 0);
    };
    int r = L - 94;
    for (; r - 3 >= F; r -= 4) {
      double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
      for (int j = 0; j < 15; ++j) {
        s0 = static_cast<double>(s0 + back[r + j]);
        s1 = static_cast<double>(s1 + back[r - 1 + j]);
        s2 = static_cast<double>(s2 + back[r - 2 + j]);
        s3 = static_cast<double>(s3 + back[r - 3 + j]);
      }
      slow(r, s0);
      slow(r - 1, s1);
      slow(r - 2, s2);
      slow(r - 3, s3);
    }
    for (; r >= F; --r) {
      double sum = 0;
      for (int j = r; j < r + 15; ++j) sum = static_cast<double>(sum + back[j]);
      slow(r, sum);
    }
  }

  if (nine) {
    fastLine(L - 10, 3, hi9, lo9, [&](int r, const DecimalValue& v) {
      sink.fast9(r, v);
      if (r <= L - 12)
        sink.slow9(
            r, ToDecimalValue(static_cast<double>((back[r] + back[r + 1] + back[r + 2]) / 3.0L)));
    });
  }
}

}  // namespace tavrine::series_math
