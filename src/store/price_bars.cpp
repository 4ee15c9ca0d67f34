#include "store/price_bars.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

namespace {

double Round1(double v) { return std::round(v * 10) / 10; }

// The bars of daily bars grouped by key, oldest first.
template <typename Key>
std::vector<PriceBar> Grouped(const std::vector<PriceBar>& daily, Key key) {
  std::vector<PriceBar> out;
  std::size_t i = 0;
  while (i < daily.size()) {
    const long long k = key(daily[i].day);
    PriceBar b;
    b.open = daily[i].open;
    bool candles = true, volumes = true;  // every day of the bar has them
    double high = 0, low = 0, volume = 0;
    std::size_t j = i;
    for (; j < daily.size() && key(daily[j].day) == k; ++j) {
      const PriceBar& d = daily[j];
      if (!d.open || !d.high || !d.low) {
        candles = false;
      } else {
        high = j == i ? *d.high : std::max(high, *d.high);
        low = j == i ? *d.low : std::min(low, *d.low);
      }
      if (d.volume)
        volume += *d.volume;
      else
        volumes = false;
      b.day = d.day;
      b.close = d.close;
    }
    if (candles)
      b.high = high, b.low = low;
    else
      b.open.reset();
    if (volumes) b.volume = volume;
    out.push_back(std::move(b));
    i = j;
  }
  return out;
}

}  // namespace

std::vector<ListClose> ListClosesOf(const WorkTable& list, int column) {
  std::vector<ListClose> closes;
  for (int r = 1; r < list.rowCount(); ++r) {
    const std::string& close = list.cell(column, r);
    int day = 0;
    long double v = 0;
    if (TryParseDate(list.cell(0, r), day) && TryStrToFloat(close, v) && v > 0)
      closes.push_back({day, close});
  }
  return closes;
}

bool CandleCounts(double storedClose, double laterFactors, double listClose) {
  // The list's closes are decimal texts of 0.1 yen at best: a little room
  // for the binary form of both.
  return std::fabs(storedClose * laterFactors - listClose) <= 0.05 + 1e-9;
}

std::vector<PriceBar> DailyBars(const std::vector<StoredBar>& stored,
                                const std::vector<ListClose>& list) {
  // The list's closes oldest first; a list already in strictly rising days
  // (the usual caller's) is read as it is.
  const bool rising =
      std::adjacent_find(list.begin(), list.end(), [](const ListClose& a, const ListClose& b) {
        return a.day >= b.day;
      }) == list.end();
  std::vector<ListClose> sorted;
  if (!rising) {
    sorted = list;
    std::sort(sorted.begin(), sorted.end(),
              [](const ListClose& a, const ListClose& b) { return a.day < b.day; });
  }
  const std::vector<ListClose>& closes = rising ? list : sorted;
  const int newest = closes.empty() ? 0 : closes.back().day;
  // The factor of each stored day, from the newest back; of a day stored
  // twice the earlier-placed bar counts.
  struct Factor {
    int day;
    const StoredBar* bar;
    double factor;
  };
  std::vector<Factor> byDay;
  byDay.reserve(stored.size());
  double f = 1;
  for (std::size_t k = stored.size(); k-- > 0;) {
    if (stored[k].day > newest) continue;
    byDay.push_back({stored[k].day, &stored[k], f});
    f *= stored[k].adjFactor;
  }
  const auto dayLess = [](const Factor& a, const Factor& b) { return a.day < b.day; };
  if (std::adjacent_find(byDay.begin(), byDay.end(), [](const Factor& a, const Factor& b) {
        return a.day <= b.day;
      }) == byDay.end())
    std::reverse(byDay.begin(), byDay.end());  // the store's order: days strictly falling
  else
    std::stable_sort(byDay.begin(), byDay.end(), dayLess);
  // The bar of a day: the last of its equal days, the earliest placed.
  auto barOf = [&byDay](int day) -> const Factor* {
    const auto it = std::upper_bound(byDay.begin(), byDay.end(), day,
                                     [](int d, const Factor& e) { return d < e.day; });
    return it != byDay.begin() && std::prev(it)->day == day ? &*std::prev(it) : nullptr;
  };
  std::vector<PriceBar> out;
  out.reserve(closes.size());
  for (const ListClose& c : closes) {
    PriceBar b;
    b.day = c.day;
    b.close = c.close;
    long double listClose = 0;
    const Factor* at = barOf(c.day);
    if (at && TryStrToFloat(c.close, listClose)) {
      const StoredBar& s = *at->bar;
      const double factor = at->factor;
      const bool agrees = s.close && CandleCounts(*s.close, factor, static_cast<double>(listClose));
      if (agrees) {
        b.stopHigh = s.stopHigh;
        b.stopLow = s.stopLow;
      }
      if (agrees && s.open && s.high && s.low) {
        b.open = Round1(*s.open * factor);
        b.high = Round1(*s.high * factor);
        b.low = Round1(*s.low * factor);
        if (s.volume) b.volume = std::round(*s.volume / factor);
      }
    }
    out.push_back(std::move(b));
  }
  return out;
}

std::vector<PriceBar> WeeklyBars(const std::vector<PriceBar>& daily) {
  // Days count from 1899/12/30, a Saturday: the Monday of a day's week.
  return Grouped(daily, [](int day) -> long long {
    const int weekday = ((day % 7) + 7 + 5) % 7;  // 0 = Monday
    return day - weekday;
  });
}

std::vector<PriceBar> MonthlyBars(const std::vector<PriceBar>& daily) {
  return Grouped(daily, [](int day) -> long long {
    int y = 0, m = 0, d = 0;
    CivilFromDays(day, y, m, d);
    return y * 12LL + m;
  });
}

}  // namespace tavrine
