#include "web/jquants_fetch.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "store/text.h"

namespace tavrine {

namespace {

// What the whole market's answer for a day says: not delivered yet (no
// record), no trading day (records without a single price), or a trading day.
enum class MarketDay { Undelivered, Unpriced, Traded };

MarketDay MarketDayOf(const std::vector<JQuantsBar>& bars) {
  if (bars.empty()) return MarketDay::Undelivered;
  const bool priced = std::any_of(bars.begin(), bars.end(),
                                  [](const JQuantsBar& b) { return !b.adjClose.empty(); });
  return priced ? MarketDay::Traded : MarketDay::Unpriced;
}

}  // namespace

FetchResult FetchNewDays(JQuantsClient& client, const FetchPlan& plan,
                         const std::function<bool(const FetchProgress&)>& progress) {
  FetchResult out;
  if (plan.stocks.empty()) return out;
  // The free plan's end, named once the run has learned what it can of it.
  const auto planNote = [&] {
    if (!client.FreePlan()) return;
    out.planEnd = client.LastDay(plan.today);
    out.notes.push_back(FreePlanNote(out.planEnd));
  };
  if (plan.listNewest >= client.LastDay(plan.today)) {
    planNote();
    return out;
  }
  const std::vector<int> days = client.TradingDays(plan.listNewest + 1, client.LastDay(plan.today));
  out.tradingDays = static_cast<int>(days.size());
  // The plan's window starts after the list's newest day with a weekday
  // between: those days cannot be had, and the list is not bridged over them.
  if (const PlanWindow& win = client.window(); win.known) {
    bool weekday = false;
    for (int d = plan.listNewest + 1; d < win.from && !weekday; ++d)
      weekday = (d % 7 + 7 + 4) % 7 % 6 != 0;  // 1970-01-01 (day 0) was a Thursday
    if (weekday) {
      out.data.gapBefore = true;
      out.notes.push_back(DateToStr(plan.listNewest + 1) + " から " + DateToStr(win.from - 1) +
                          " まではプランの範囲外のため取得できません。この間は空けたままです");
    }
  }
  if (days.empty()) {
    planNote();
    return out;
  }

  std::set<std::string> listed;
  for (const ListedStock& s : plan.stocks) listed.insert(s.code);
  // The list's stocks' records by day and code, each once; a stock with two
  // different records of one day is remembered with the first such day.
  std::map<int, std::map<std::string, DailyClose>> got;
  std::map<std::string, int> twofold;
  const auto take = [&](const JQuantsBar& b, const std::string& code) {
    const auto [it, fresh] = got[b.day].emplace(
        code, DailyClose{code, b.adjClose, b.adjFactor, b.exRT ? FloatToStr(*b.exRT) : ""});
    if (fresh || (it->second.close == b.adjClose && it->second.factor == b.adjFactor)) return;
    const auto t = twofold.find(code);
    if (t == twofold.end() || b.day < t->second) twofold[code] = b.day;
  };
  std::vector<int> kept;  // the days taken, oldest first
  // What the whole market's answer says of a day; a day not delivered yet
  // (the fetch stops there) or without any price (left out) is noted.
  const auto noted = [&](int day, const std::vector<JQuantsBar>& bars) {
    const MarketDay m = MarketDayOf(bars);
    if (m == MarketDay::Undelivered) out.undelivered = day;
    if (m == MarketDay::Unpriced) out.skipped.push_back(day);
    return m;
  };
  // The list's stocks' adjusted closes on the list's newest day.
  std::map<std::string, std::string> anchors;
  const auto anchor = [&](const JQuantsBar& b, const std::string& code) {
    if (b.day == plan.listNewest && listed.count(code)) anchors.emplace(code, b.adjClose);
  };

  // By stock when the list holds fewer stocks than there are days to fetch.
  const bool byStock = plan.stocks.size() < days.size();
  if (!byStock) {
    const int total = static_cast<int>(days.size());
    for (int i = 0; i < total; ++i) {
      const int day = days[static_cast<std::size_t>(i)];
      FetchProgress p;
      p.done = i, p.total = total, p.day = day;
      if (progress && !progress(p)) throw JQuantsCancelled{};
      const std::vector<JQuantsBar> bars = client.BarsOfDay(day);
      const MarketDay m = noted(day, bars);
      if (m == MarketDay::Undelivered) break;
      if (m == MarketDay::Unpriced) continue;
      kept.push_back(day);
      got[day];
      for (const JQuantsBar& b : bars) {
        const std::string code = ListCode(b.code);
        if (listed.count(code)) take(b, code);
      }
      out.delivered.insert(out.delivered.end(), bars.begin(), bars.end());
    }
    for (const JQuantsBar& b : client.BarsOfDay(plan.listNewest)) anchor(b, ListCode(b.code));
  } else {
    const std::set<int> asked(days.begin(), days.end());
    std::vector<JQuantsBar> byStockBars;
    const int total = static_cast<int>(plan.stocks.size());
    for (int i = 0; i < total; ++i) {
      const std::string& code = plan.stocks[static_cast<std::size_t>(i)].code;
      FetchProgress p;
      p.done = i, p.total = total, p.code = code, p.byStock = true;
      if (progress && !progress(p)) throw JQuantsCancelled{};
      for (const JQuantsBar& b : client.BarsOfStock(code, plan.listNewest, days.back())) {
        if (ListCode(b.code) == code) anchor(b, code);
        if (ListCode(b.code) == code && asked.count(b.day)) {
          take(b, code);
          byStockBars.push_back(b);
        }
      }
    }
    for (const int day : days) {
      const auto it = got.find(day);
      const bool priced =
          it != got.end() && std::any_of(it->second.begin(), it->second.end(),
                                         [](const auto& c) { return !c.second.close.empty(); });
      if (!priced) {
        // Not delivered yet, a day without any price, or a day the list's
        // stocks did not trade: the whole market's answer tells.
        std::vector<JQuantsBar> market = client.BarsOfDay(day);
        const MarketDay m = noted(day, market);
        if (m == MarketDay::Undelivered) break;
        if (m == MarketDay::Unpriced) continue;
        out.delivered.insert(out.delivered.end(), market.begin(), market.end());
      }
      kept.push_back(day);
    }
    const std::set<int> taken(kept.begin(), kept.end());
    for (JQuantsBar& b : byStockBars)
      if (taken.count(b.day)) out.delivered.push_back(std::move(b));
  }
  // A stock whose close on the list's newest day moved without a fetched
  // factor to say why: its history over the plan's window, by code.
  std::vector<std::string> moved;
  for (const ListedStock& s : plan.stocks) {
    const auto a = anchors.find(s.code);
    if (a == anchors.end() || a->second.empty() || twofold.count(s.code) || IsBlank(s.newest))
      continue;
    long double stored = 0, service = 0, product = 1;
    try {
      stored = StrToFloat(s.newest);
      service = StrToFloat(a->second);
    } catch (const ConversionError&) {
      continue;  // the list refuses what it cannot read
    }
    for (const int day : kept) {
      const auto d = got[day].find(s.code);
      if (d != got[day].end()) product *= d->second.factor;
    }
    // More than the rounding of one decimal apart.
    if (std::fabs(service - stored * product) > 0.05L + 1e-9L) moved.push_back(s.code);
  }
  for (std::size_t i = 0; i < moved.size(); ++i) {
    FetchProgress p;
    p.done = static_cast<int>(i), p.total = static_cast<int>(moved.size()), p.code = moved[i];
    p.byStock = true;
    if (progress && !progress(p)) throw JQuantsCancelled{};
    MovedStock m{moved[i], {}};
    for (const JQuantsBar& b : client.BarsOfStock(moved[i], plan.listOldest, plan.listNewest))
      if (ListCode(b.code) == moved[i] && !b.adjClose.empty() && b.day <= plan.listNewest)
        m.closes.emplace(b.day, b.adjClose);
    out.data.moved.push_back(std::move(m));
  }

  if (progress) {
    FetchProgress p;
    p.done = p.total =
        byStock ? static_cast<int>(plan.stocks.size()) : static_cast<int>(days.size());
    p.byStock = byStock;
    progress(p);
  }

  for (const int day : out.skipped)
    out.notes.push_back(DateToStr(day) + ": どの銘柄にも株価がないため、取引日に入れませんでした");
  for (const auto& [code, day] : twofold)
    out.notes.push_back(code + ": " + DateToStr(day) +
                        " の株価が異なる二つの記録で届いたため、この銘柄は更新しませんでした");
  for (const int day : kept) {
    FetchedDay fd;
    fd.day = day;
    for (const auto& [code, close] : got[day])
      if (!twofold.count(code)) fd.closes.push_back(close);
    out.data.days.push_back(std::move(fd));
  }
  got.clear();

  if (!out.data.days.empty() && std::any_of(plan.stocks.begin(), plan.stocks.end(),
                                            [](const ListedStock& s) { return s.nameless; })) {
    try {
      out.data.names = client.Names();
    } catch (const JQuantsError&) {
      // The names only name the stocks: the days go on without them.
      std::string codes;
      for (const ListedStock& s : plan.stocks)
        if (s.nameless) codes += (codes.empty() ? "" : ", ") + s.code;
      out.notes.push_back("銘柄一覧を取得できなかったため、名前のない銘柄は名前なしのままです: " +
                          codes);
    }
  }
  planNote();
  return out;
}

}  // namespace tavrine
