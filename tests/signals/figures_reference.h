// The figures and trade markers of a backtest computed again another way,
// from the trade list in StatsTable: the reference the figures, engine and
// scan tests compare with.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iomanip>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "signals/figures.h"
#include "store/work_table.h"

namespace tavrine::signals_test {

// Day count through the standard calendar, not the engine's.
inline int DayOf(const std::string& text) {
  int y = 0, m = 0, d = 0;
  if (std::sscanf(text.c_str(), "%d/%d/%d", &y, &m, &d) != 3)
    ADD_FAILURE() << "bad date in test: " << text;
  const std::chrono::year_month_day ymd{std::chrono::year{y},
                                        std::chrono::month{static_cast<unsigned>(m)},
                                        std::chrono::day{static_cast<unsigned>(d)}};
  return static_cast<int>(std::chrono::sys_days{ymd}.time_since_epoch().count());
}

// A day of the standard calendar as a date text, zero-padded or not.
inline std::string DateText(int unixDay, bool padded) {
  const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{unixDay}}};
  char buf[32];
  std::snprintf(buf, sizeof buf, padded ? "%04d/%02u/%02u" : "%d/%u/%u",
                static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return buf;
}

// The figures of the list in stats, plainly: ratios multiplied, the
// drawdown against the highest equity so far, runs found in a string.
struct Reference {
  int trades = 0;
  std::optional<double> wins, winRate, equity, maxdd, pf, streak, exposure, hold;
  std::vector<std::string> exitDates;
  std::vector<double> equities, drawdowns;
};

inline Reference ReferenceFigures(const WorkTable& stats) {
  Reference ref;
  // Collect the list newest first, then turn it around.
  std::vector<double> ratio, held;
  std::vector<std::string> exits;
  for (int row = 1; row <= 1000; ++row) {
    const std::string& text = stats.cell(6, row);
    if (text.empty() || text == " ") break;
    ratio.push_back(std::strtod(text.c_str(), nullptr));
    held.push_back(std::strtod(stats.cell(3, row).c_str(), nullptr));
    exits.push_back(stats.cell(2, row));
  }
  const int m = static_cast<int>(ratio.size());
  ref.trades = m;
  if (m == 0) return ref;
  std::reverse(ratio.begin(), ratio.end());
  std::reverse(exits.begin(), exits.end());
  ref.exitDates = exits;

  ref.equities.resize(ratio.size());
  std::partial_sum(ratio.begin(), ratio.end(), ref.equities.begin(), std::multiplies<double>());
  double worst = 0;
  for (std::size_t k = 0; k < ref.equities.size(); ++k) {
    const double high =
        std::max(1.0, *std::max_element(ref.equities.begin(), ref.equities.begin() + k + 1));
    ref.drawdowns.push_back(1 - ref.equities[k] / high);
    worst = std::max(worst, ref.drawdowns.back());
  }
  ref.equity = ref.equities.back();
  ref.maxdd = worst;

  const auto won = std::count_if(ratio.begin(), ratio.end(), [](double r) { return r > 1; });
  ref.wins = static_cast<double>(won);
  ref.winRate = static_cast<double>(won) / m;
  double up = 0, down = 0;
  for (double r : ratio) {
    if (r > 1) up += r - 1;
    if (r < 1) down += 1 - r;
  }
  if (down > 0) ref.pf = up / down;

  std::string marks;
  for (double r : ratio) marks += r < 1 ? 'L' : '.';
  std::size_t longest = 0, at = marks.find('L');
  while (at != std::string::npos) {
    const std::size_t end = std::min(marks.find('.', at), marks.size());
    longest = std::max(longest, end - at);
    at = marks.find('L', end);
  }
  ref.streak = static_cast<double>(longest);

  const int span = DayOf(stats.cell(2, 1)) - DayOf(stats.cell(1, m));
  if (span != 0) ref.exposure = std::accumulate(held.begin(), held.end(), 0.0) / span;
  const double first = std::strtod(stats.cell(4, m).c_str(), nullptr);
  if (first != 0) ref.hold = std::strtod(stats.cell(5, 1).c_str(), nullptr) / first;
  return ref;
}

inline ::testing::AssertionResult Near(const char* what, const std::optional<double>& got,
                                       const std::optional<double>& want) {
  if (got.has_value() != want.has_value())
    return ::testing::AssertionFailure() << what << ": value " << (got ? "present" : "missing")
                                         << ", expected " << (want ? "present" : "missing");
  if (!got) return ::testing::AssertionSuccess();
  const double scale = std::max(std::abs(*want), 1e-300);
  if (std::abs(*got - *want) <= 1e-12 * scale || *got == *want)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << what << ": " << std::setprecision(17) << *got << " vs " << *want;
}

inline std::optional<double> AsDouble(const std::optional<int>& v) {
  return v ? std::optional<double>(*v) : std::nullopt;
}

// The figures f against the reference computed from the list in stats.
inline void ExpectMatchesReference(const BacktestFigures& f, const WorkTable& stats,
                                   const std::string& context) {
  SCOPED_TRACE(context);
  const Reference ref = ReferenceFigures(stats);
  ASSERT_EQ(f.trades, ref.trades);
  EXPECT_TRUE(Near("wins", AsDouble(f.wins), ref.wins));
  EXPECT_TRUE(Near("win rate", f.winRate, ref.winRate));
  EXPECT_TRUE(Near("equity", f.equity, ref.equity));
  EXPECT_TRUE(Near("maxdd", f.maxDrawdown, ref.maxdd));
  EXPECT_TRUE(Near("pf", f.profitFactor, ref.pf));
  EXPECT_TRUE(Near("streak", AsDouble(f.longestLosingStreak), ref.streak));
  EXPECT_TRUE(Near("exposure", f.exposure, ref.exposure));
  EXPECT_TRUE(Near("hold", f.buyAndHold, ref.hold));
  ASSERT_EQ(f.curve.size(), ref.exitDates.size());
  for (std::size_t k = 0; k < f.curve.size(); ++k) {
    ASSERT_EQ(f.curve[k].exitDate, ref.exitDates[k]) << k;
    ASSERT_TRUE(Near("curve equity", f.curve[k].equity, ref.equities[k])) << k;
    ASSERT_TRUE(Near("curve drawdown", f.curve[k].drawdown, ref.drawdowns[k])) << k;
  }
}

inline void ExpectMatchesReference(const WorkTable& stats, const std::string& context) {
  ExpectMatchesReference(ComputeFigures(stats), stats, context);
}

inline std::string Describe(const std::vector<MarkerPoint>& v) {
  std::ostringstream os;
  for (const MarkerPoint& p : v) os << "(" << p.x << "," << p.y << "," << p.label << ")";
  return os.str();
}

// Every row against every trade, the plain way.
inline void BruteMarkers(const WorkTable& stats, const WorkTable& series, int a, int b,
                         std::vector<MarkerPoint>& buys, std::vector<MarkerPoint>& sells) {
  buys.clear();
  sells.clear();
  const int m = ReferenceFigures(stats).trades;
  // Days of the rows that have a close; the others never carry a marker.
  std::vector<int> rowDay(static_cast<std::size_t>(std::max(a, b)) + 1, 0);
  std::vector<bool> priced(rowDay.size(), false);
  for (int r = std::min(a, b); r <= std::max(a, b); ++r) {
    const std::string& close = series.cell(1, r);
    if (close.empty() || close == " " || close == "0") continue;
    priced[static_cast<std::size_t>(r)] = true;
    rowDay[static_cast<std::size_t>(r)] = DayOf(series.cell(0, r));
  }
  auto find = [&](const std::string& date, std::vector<MarkerPoint>& out) {
    const int day = DayOf(date);
    for (int r = std::min(a, b); r <= std::max(a, b); ++r) {
      const std::string& close = series.cell(1, r);
      if (!priced[static_cast<std::size_t>(r)]) continue;
      if (rowDay[static_cast<std::size_t>(r)] != day) continue;
      out.push_back(
          {static_cast<double>(r), std::strtod(close.c_str(), nullptr), series.cell(0, r)});
      return;
    }
  };
  for (int row = m; row >= 1; --row) {
    find(stats.cell(1, row), buys);
    find(stats.cell(2, row), sells);
  }
}

// Marker lists equal point by point.
inline void ExpectSame(const std::vector<MarkerPoint>& got, const std::vector<MarkerPoint>& want,
                       const char* what) {
  ASSERT_EQ(got.size(), want.size())
      << what << "\n got  " << Describe(got) << "\n want " << Describe(want);
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].x, want[i].x) << what << " " << i;
    EXPECT_EQ(got[i].y, want[i].y) << what << " " << i;
    EXPECT_EQ(got[i].label, want[i].label) << what << " " << i;
  }
}

}  // namespace tavrine::signals_test
