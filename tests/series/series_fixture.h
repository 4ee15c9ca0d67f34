// A workspace with a recording platform and a stock list built in memory,
// plus an independent reference computation of one stock's series written
// with plain loops (no running sums) from the formulas of the indicators.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "../support/cells.h"
#include "../support/half_even.h"
#include "../support/recording_platform.h"
#include "app/workspace.h"
#include "store/text.h"

namespace tavrine::series_test {

using testing::HalfEven;
using testing::RecordingPlatform;
using testing::StartUpCells;

constexpr int kDays = 4860;

inline void FillDates(Workspace& ws) {
  ws.StockList.set(0, 0, "日付");
  for (int r = 1; r <= kDays; ++r) ws.StockList.set(0, r, DateToStr(46000 - r));
  ws.StockList.setRowCount(kDays + 1);
}

// Puts texts into StockList column k, rows 1.. (index 0 is row 1); rows past
// the vector get " " as a loaded file gives them.
inline void PutColumn(Workspace& ws, int k, const std::string& heading,
                      const std::vector<std::string>& cells) {
  ws.StockList.set(k, 0, heading);
  for (int r = 1; r <= kDays; ++r)
    ws.StockList.set(k, r, r - 1 < static_cast<int>(cells.size()) ? cells[r - 1] : " ");
}

// A random walk of `days` prices, some with a fraction.
inline std::vector<std::string> RandomWalk(unsigned seed, int days, double start) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> step(0.0, 0.02);
  std::uniform_int_distribution<int> frac(0, 7);
  std::vector<std::string> out(days);
  double p = start;
  for (int i = days - 1; i >= 0; --i) {
    p *= 1.0 + step(gen);
    if (p < 20) p = 20;
    long long whole = static_cast<long long>(p);
    const int f = frac(gen);
    out[i] = std::to_string(whole) + (f == 0 ? ".5" : f == 1 ? ".25" : f == 2 ? ".75" : "");
  }
  return out;
}

inline long double Parse(const std::string& s) { return std::strtold(s.c_str(), nullptr); }

// Expected CalcTable texts of one stock before the zero fill: cell[c][r],
// empty where nothing is written.
struct Expected {
  int F = 0, L = 0;
  long long P = 0;
  std::vector<std::vector<std::string>> cell;  // [col 0..41][row 0..4860]
  const std::string& at(int c, int r) const { return cell[c][r]; }
};

inline Expected Reference(const Workspace& ws, int k) {
  const WorkTable& list = ws.StockList;
  Expected e;
  e.cell.assign(42, std::vector<std::string>(kDays + 1));
  auto blank = [](const std::string& s) { return s.empty() || s == " "; };
  int blanks = 0;
  for (int r = 2; r <= kDays; ++r) blanks += blank(list.cell(k, r));
  int L = kDays - blanks;
  if (k == 199) L -= 5;
  int top = 0;
  for (int r = 1; r <= 20; ++r) top += blank(list.cell(k, r));
  const int F = top + 1;
  e.F = F;
  e.L = L;
  std::vector<long long> c(kDays + 2, 0);
  for (int r = 1; r <= kDays; ++r) {
    e.cell[0][r] = list.cell(0, r);
    e.cell[17][r] = "0";
    e.cell[18][r] = std::to_string(r);
  }
  for (int r = F; r <= L; ++r) {
    c[r] = HalfEven(Parse(list.cell(k, r)));
    e.cell[1][r] = std::to_string(c[r]);
  }
  long long s = 0;
  for (int r = F + 1; r <= F + 25; ++r) s += c[r];
  const long long P = HalfEven(static_cast<long double>(s) / 25);
  e.P = P;
  auto put = [&](int col, int r, long long v) { e.cell[col][r] = std::to_string(v); };
  auto ratio = [](long double num, long double den) -> long long {
    return den == 0 ? 0 : HalfEven(num / den);
  };

  std::vector<long long> ma5(kDays + 2, 0);
  for (int r = F; r <= L - 7; ++r) {
    long long m = 0, a = 0;
    for (int j = 0; j < 5; ++j) m += c[r + j];
    for (int j = 2; j < 7; ++j) a += c[r + j];
    ma5[r] = HalfEven(m / 5.0L);
    put(2, r, ma5[r]);
    const long double A = a / 5.0L;
    put(7, r + 2, ratio(static_cast<long double>(P) * -4 * (A - ma5[r]), ma5[r]));
  }
  auto average = [&](int w, int col, std::vector<long long>& out) {
    out.assign(kDays + 2, 0);
    for (int r = F; r <= L - (w - 1); ++r) {
      long double sum = 0;
      for (int j = 0; j < w; ++j) sum += c[r + j];
      out[r] = HalfEven(sum / w);
      put(col, r, out[r]);
    }
  };
  auto trend = [&](const std::vector<long long>& A, int g, long double f, int col, int pair,
                   int last) {
    for (int r = F; r <= last; ++r) {
      const long long v = ratio(P * f * static_cast<long double>(A[r] - A[r + g]), A[r]);
      put(col, r + g, v);
      if (pair >= 0) put(pair, r, v);
    }
  };
  std::vector<long long> ma25, ma75, ma200, ma1000;
  if (L >= 25) {
    average(25, 3, ma25);
    trend(ma25, 12, 3.0L, 8, -1, L - 37);
  }
  if (L >= 75) {
    average(75, 4, ma75);
    trend(ma75, 37, 2.7L, 9, 14, L - 111);
  }
  if (L >= 200) {
    average(200, 5, ma200);
    trend(ma200, 100, 2.5L, 10, 15, L - 299);
  }
  if (L >= 1000) {
    average(1000, 6, ma1000);
    for (int r = F; r <= L - 1499; ++r)
      put(13, r + 500, ratio(P * 2.5L * (ma1000[r] - ma1000[r + 500]), ma1000[r]));
  }
  for (int r = F; r <= L - 10; ++r)
    put(12, r, ratio(static_cast<long double>(c[r] - ma5[r]) * (4 * P), ma5[r]));

  // Stochastics.
  std::vector<long long> hi(kDays + 2, 0), lo(kDays + 2, 0);
  auto extremes = [&](int width) {
    for (int r = F; r <= L - (width - 1); ++r) {
      long long h = c[r], l = c[r];
      for (int j = r; j < r + width; ++j) {
        if (c[j] > h) h = c[j];
        if (c[j] < l) l = c[j];
      }
      hi[r] = h;
      lo[r] = l;
      put(32, r, h);
      put(33, r, l);
    }
  };
  std::vector<long double> f34(kDays + 2, 0), f38(kDays + 2, 0), f39(kDays + 2, 0);
  extremes(9);
  for (int r = F; r <= L - 10; ++r) {
    long long num = 0, den = 0;
    for (int j = 0; j < 3; ++j) num += c[r + j] - lo[r + j], den += hi[r + j] - lo[r + j];
    if (den == 0) den = 1;
    e.cell[34][r] = FloatToStr(static_cast<double>(P * 0.5L * num / den));
    f34[r] = Parse(e.cell[34][r]);
  }
  for (int r = F; r <= L - 12; ++r) {
    e.cell[35][r] = FloatToStr(static_cast<double>((f34[r] + f34[r + 1] + f34[r + 2]) / 3));
    e.cell[36][r] = FloatToStr(P * 0.4L);
    e.cell[37][r] = FloatToStr(P * 0.1L);
  }
  extremes(65);
  for (int r = F; r <= L - 79; ++r) {
    long long num = 0, den = 0;
    for (int j = r; j < r + 15; ++j) num += c[j] - lo[j], den += hi[j] - lo[j];
    if (den == 0) den = 1;
    e.cell[38][r] = FloatToStr(static_cast<double>(P * 0.5L * num / den));
    f38[r] = Parse(e.cell[38][r]);
  }
  for (int r = F; r <= L - 94; ++r) {
    double sum = 0;
    for (int j = r; j < r + 15; ++j) sum = static_cast<double>(sum + f38[j]);
    e.cell[39][r] = FloatToStr(sum / 15.0L);
    f39[r] = Parse(e.cell[39][r]);
    e.cell[40][r] = f38[r] > f39[r] ? "2" : f38[r] < f39[r] ? "-2" : "0";
  }
  return e;
}

inline void RunChain(Workspace& ws) {
  ws.chains.Button3Click();
  ws.series.Button9Click();
  ws.series.Button21Click();
  ws.series.Button24Click();
  ws.series.Button12Click();
}

}  // namespace tavrine::series_test
