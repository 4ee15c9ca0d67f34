#include "signals/portfolio.h"

#include <algorithm>

#include "store/text.h"

namespace tavrine::portfolio {

namespace {

int YearOf(int day) {
  int y = 0, m = 0, d = 0;
  CivilFromDays(day, y, m, d);
  return y;
}

// Where a stock stands while the days are walked.
struct Walk {
  int at = -1;         // index of its newest day not after the current one
  bool today = false;  // the current day is one of its days
  std::size_t next = 0;
  int open = -1;  // index into the result's trades while a position is open
};

struct Candidate {
  int stock = 0;
  std::optional<long double> turnover;
};

}  // namespace

Result Run(const std::vector<Stock>& stocks, const Options& options) {
  Result r;
  // The union of the days, marked on the calendar between the first and the
  // last (the stocks' days are mostly one axis; no sort of them all).
  int lo = 0, hi = -1;
  for (const Stock& s : stocks) {
    if (s.days.empty()) continue;
    if (hi < lo) {
      lo = s.days.front().day;
      hi = s.days.back().day;
    }
    lo = std::min(lo, s.days.front().day);
    hi = std::max(hi, s.days.back().day);
  }
  if (hi < lo) return r;
  std::vector<char> marked(static_cast<std::size_t>(hi - lo) + 1, 0);
  for (const Stock& s : stocks)
    for (const money::MoneyDay& d : s.days) marked[static_cast<std::size_t>(d.day - lo)] = 1;
  std::vector<int> axis;
  for (std::size_t k = 0; k < marked.size(); ++k)
    if (marked[k]) axis.push_back(lo + static_cast<int>(k));

  const int slots = std::max(1, options.positions);
  const CostModel& m = options.costs;
  const long double capital = static_cast<long double>(options.capital);
  long double cash = capital;
  long double yearGains = 0;
  int openCount = 0;
  std::vector<Walk> w(stocks.size());
  std::vector<long double> holdWeight(stocks.size(), 0);

  const auto day = [&](std::size_t s) -> const money::MoneyDay& {
    return stocks[s].days[static_cast<std::size_t>(w[s].at)];
  };
  const auto fillPrice = [&](const money::MoneyDay& d, bool buy) {
    const long double base = m.fill == FillAt::Open && d.open ? *d.open : d.close;
    return money::SlippedPrice(base, m.slipTicks, buy);
  };
  // A buy fills nothing on a day at the upper limit, a sell at the lower one.
  const auto canFill = [&](std::size_t s, bool buy) {
    if (!w[s].today) return false;
    const money::MoneyDay& d = day(s);
    return buy ? !d.stopHigh : !d.stopLow;
  };
  const auto borrowTo = [&](const Trade& t, int until) {
    return options.entryBuy
               ? 0
               : money::Borrow(t.shares, t.entryPrice, m.borrowPercent, until - t.entryDay);
  };

  // Only the stocks something may happen to are visited on a day: those
  // holding a position, those whose entry's day has come (waiting out limit
  // days or a missing day), and those woken on the day their next entry may
  // fill. A stock's place in its days moves forward only.
  const auto sync = [&](std::size_t s, int today) {
    const std::vector<money::MoneyDay>& days = stocks[s].days;
    while (w[s].at + 1 < static_cast<int>(days.size()) &&
           days[static_cast<std::size_t>(w[s].at + 1)].day <= today)
      ++w[s].at;
    w[s].today = w[s].at >= 0 && day(s).day == today;
  };
  const auto axisIndex = [&](int d) {
    return static_cast<std::size_t>(std::lower_bound(axis.begin(), axis.end(), d) - axis.begin());
  };
  std::vector<std::vector<int>> wake(axis.size());
  std::vector<int> holding, pending, waiting;
  // The stock's next entry from day index `from` on: waiting now, or woken later.
  const auto schedule = [&](std::size_t s, std::size_t from) {
    const std::vector<Order>& orders = stocks[s].orders;
    if (w[s].next >= orders.size()) return;
    const std::size_t j = std::max(axisIndex(orders[w[s].next].entryFrom), from);
    if (j >= axis.size()) return;
    wake[j].push_back(static_cast<int>(s));
  };
  for (std::size_t s = 0; s < stocks.size(); ++s) schedule(s, 0);
  std::vector<int> priced;

  long double previousEquity = capital;
  std::vector<Candidate> candidates;
  for (std::size_t i = 0; i < axis.size(); ++i) {
    const int today = axis[i];

    // Exits first: what they free is there for the day's entries.
    std::vector<int> stillHolding;
    for (const int si : holding) {
      const std::size_t s = static_cast<std::size_t>(si);
      sync(s, today);
      const Order& o = stocks[s].orders[w[s].next];
      if (!o.exitFrom || *o.exitFrom > today || !canFill(s, !options.entryBuy)) {
        stillHolding.push_back(si);
        continue;
      }
      Trade& t = r.trades[static_cast<std::size_t>(w[s].open)];
      const long double shares = static_cast<long double>(t.shares);
      t.exitDay = today;
      t.exitPrice = fillPrice(day(s), !options.entryBuy);
      const long long exitFee = money::Fee(m.commission, shares * t.exitPrice);
      const long long borrow = borrowTo(t, today);
      t.cost += exitFee + borrow;
      if (options.entryBuy) {
        cash += shares * t.exitPrice;
        t.pnl = shares * (t.exitPrice - t.entryPrice) - static_cast<long double>(t.cost);
      } else {
        cash += shares * (t.entryPrice - t.exitPrice);
        t.pnl = shares * (t.entryPrice - t.exitPrice) - static_cast<long double>(t.cost);
      }
      cash -= static_cast<long double>(exitFee + borrow);
      r.costs += exitFee + borrow;
      yearGains += t.pnl;
      w[s].open = -1;
      ++w[s].next;
      --openCount;
      schedule(s, i);  // the next entry may fill this very day
    }
    holding.swap(stillHolding);

    // The entries whose day has come. One whose exit's day came first (it
    // waited out limit days) is dropped.
    for (const int s : wake[i]) pending.push_back(s);
    wake[i].clear();
    waiting.clear();  // what cannot fill today waits for the next day
    candidates.clear();
    for (const int si : pending) {
      const std::size_t s = static_cast<std::size_t>(si);
      if (w[s].open >= 0) continue;
      const std::vector<Order>& orders = stocks[s].orders;
      while (w[s].next < orders.size() && orders[w[s].next].exitFrom &&
             *orders[w[s].next].exitFrom <= today)
        ++w[s].next;
      if (w[s].next >= orders.size()) continue;
      if (orders[w[s].next].entryFrom > today) {
        schedule(s, i + 1);
        continue;
      }
      sync(s, today);
      if (!canFill(s, options.entryBuy)) {
        waiting.push_back(si);
        continue;
      }
      Candidate c{si, std::nullopt};
      // The turnover known when the order was given: the stock's day before.
      const int before = w[s].at - 1;
      if (before >= 0 && static_cast<std::size_t>(before) < stocks[s].turnover.size())
        c.turnover = stocks[s].turnover[static_cast<std::size_t>(before)];
      candidates.push_back(c);
    }
    const auto byCode = [&](const Candidate& a, const Candidate& b) {
      const std::string &ca = stocks[static_cast<std::size_t>(a.stock)].code,
                        &cb = stocks[static_cast<std::size_t>(b.stock)].code;
      return ca != cb ? ca < cb : a.stock < b.stock;
    };
    if (options.priority == Priority::Turnover) {
      std::sort(candidates.begin(), candidates.end(), [&](const Candidate& a, const Candidate& b) {
        if (a.turnover.has_value() != b.turnover.has_value()) return a.turnover.has_value();
        if (a.turnover && *a.turnover != *b.turnover) return *a.turnover > *b.turnover;
        return byCode(a, b);
      });
    } else {
      std::sort(candidates.begin(), candidates.end(), byCode);
    }
    for (const Candidate& c : candidates) {
      const std::size_t s = static_cast<std::size_t>(c.stock);
      const long double price = fillPrice(day(s), options.entryBuy);
      const long double money = std::min(cash, previousEquity / slots);
      long long lots = 0;
      if (openCount < slots && price > 0 && money > 0) {
        lots = money::FloorYen(money / (100 * price));
        while (lots > 0 &&
               100 * lots * price + money::Fee(m.commission, 100 * lots * price) > money)
          --lots;
      }
      if (lots <= 0) {
        ++w[s].next;
        ++r.skipped;
        schedule(s, i + 1);
        continue;
      }
      Trade t;
      t.stock = c.stock;
      t.entryDay = today;
      t.shares = 100 * lots;
      t.entryPrice = price;
      t.cost = money::Fee(m.commission, static_cast<long double>(t.shares) * price);
      cash -= static_cast<long double>(t.cost);
      if (options.entryBuy) cash -= static_cast<long double>(t.shares) * price;
      r.costs += t.cost;
      w[s].open = static_cast<int>(r.trades.size());
      r.trades.push_back(t);
      holding.push_back(c.stock);
      ++openCount;
    }
    pending.swap(waiting);

    // The year's tax on its last day, the open year's on the last day.
    if (i + 1 == axis.size() || YearOf(axis[i + 1]) != YearOf(today)) {
      const long long due = yearGains > 0 ? money::FloorYen(yearGains * m.taxPercent / 100) : 0;
      cash -= static_cast<long double>(due);
      r.tax += due;
      yearGains = 0;
    }

    EquityDay e;
    e.day = today;
    e.value = cash;
    if (i == 0) {
      for (std::size_t s = 0; s < stocks.size(); ++s) {
        sync(s, today);
        if (w[s].today) priced.push_back(static_cast<int>(s));
      }
      for (const int s : priced)
        holdWeight[static_cast<std::size_t>(s)] = capital /
                                                  static_cast<long double>(priced.size()) /
                                                  day(static_cast<std::size_t>(s)).close;
    }
    for (const int si : priced) {
      const std::size_t s = static_cast<std::size_t>(si);
      sync(s, today);
      e.hold += holdWeight[s] * day(s).close;
    }
    for (const int si : holding) {
      const std::size_t s = static_cast<std::size_t>(si);
      sync(s, today);
      const Trade& t = r.trades[static_cast<std::size_t>(w[s].open)];
      const long double shares = static_cast<long double>(t.shares);
      e.value += options.entryBuy ? shares * day(s).close : shares * (t.entryPrice - day(s).close);
      e.held = true;
    }
    r.equity.push_back(e);
    previousEquity = e.value;
  }

  // A trade still open is valued at its stock's last close, its borrow due so far.
  for (std::size_t s = 0; s < stocks.size(); ++s) {
    if (w[s].open < 0) continue;
    Trade& t = r.trades[static_cast<std::size_t>(w[s].open)];
    const long double shares = static_cast<long double>(t.shares);
    const long long borrow = borrowTo(t, axis.back());
    t.cost += borrow;
    r.costs += borrow;
    t.exitPrice = day(s).close;
    t.pnl = (options.entryBuy ? shares * (t.exitPrice - t.entryPrice)
                              : shares * (t.entryPrice - t.exitPrice)) -
            static_cast<long double>(t.cost);
  }
  return r;
}

}  // namespace tavrine::portfolio
