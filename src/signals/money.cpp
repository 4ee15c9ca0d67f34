#include "signals/money.h"

#include <algorithm>
#include <cmath>

#include "store/text.h"

namespace tavrine::money {

namespace {

// A plain non-negative decimal: digits with at most one point inside.
bool ReadDecimal(const std::string& s, long double& out) {
  if (s.empty() || s.size() > 20) return false;
  bool point = false, digit = false;
  for (char ch : s) {
    if (ch == '.') {
      if (point) return false;
      point = true;
    } else if (ch >= '0' && ch <= '9') {
      digit = true;
    } else {
      return false;
    }
  }
  if (!digit || s.front() == '.' || s.back() == '.') return false;
  out = std::strtold(s.c_str(), nullptr);
  return true;
}

bool ReadWhole(const std::string& s, long long& out) {
  if (s.empty() || s.size() > 15) return false;
  for (char ch : s)
    if (ch < '0' || ch > '9') return false;
  out = std::stoll(s);
  return true;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = s.find(sep, from);
    parts.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

int YearOf(int day) {
  int y = 0, m = 0, d = 0;
  CivilFromDays(day, y, m, d);
  return y;
}

}  // namespace

long long TickSize(long double price) {
  struct Step {
    long double upTo;
    long long tick;
  };
  static constexpr Step kTable[] = {
      {3000, 1},     {5000, 5},       {30000, 10},     {50000, 50},       {300000, 100},
      {500000, 500}, {3000000, 1000}, {5000000, 5000}, {30000000, 10000}, {50000000, 50000},
  };
  for (const Step& s : kTable)
    if (price <= s.upTo) return s.tick;
  return 100000;
}

long double SlippedPrice(long double price, int ticks, bool buy) {
  const long double move = static_cast<long double>(ticks) * TickSize(price);
  return buy ? price + move : price - move;
}

long long FloorYen(long double v) { return static_cast<long long>(std::floor(v + 1e-6L)); }

long long Fee(const Commission& c, long double value) {
  switch (c.kind) {
    case Commission::Kind::Zero:
      return 0;
    case Commission::Kind::Rate: {
      long long fee = FloorYen(value * c.ratePercent / 100);
      if (c.min) fee = std::max(fee, *c.min);
      if (c.max) fee = std::min(fee, *c.max);
      return fee;
    }
    case Commission::Kind::Tiers:
      for (const auto& [upTo, fee] : c.tiers)
        if (value <= static_cast<long double>(upTo)) return fee;
      return c.above;
  }
  return 0;
}

long long Borrow(long long shares, long double entry, long double percentYear, int calendarDays) {
  if (calendarDays <= 0) return 0;
  return FloorYen(static_cast<long double>(shares) * entry * percentYear / 100 / 365 *
                  calendarDays);
}

bool ParseCommission(const std::string& text, Commission& out, std::string& error) {
  const auto refuse = [&]() {
    error = "手数料の形が正しくありません: " + text +
            "(例: zero、rate:0.099:0:1000、tiers:50000=55;100000=99;1070)";
    return false;
  };
  Commission c;
  if (text == "zero") {
    out = c;
    return true;
  }
  if (text.rfind("rate:", 0) == 0) {
    const std::vector<std::string> parts = Split(text.substr(5), ':');
    if (parts.size() > 3 || !ReadDecimal(parts[0], c.ratePercent)) return refuse();
    long long v = 0;
    if (parts.size() >= 2) {
      if (!ReadWhole(parts[1], v)) return refuse();
      c.min = v;
    }
    if (parts.size() == 3) {
      if (!ReadWhole(parts[2], v) || v < *c.min) return refuse();
      c.max = v;
    }
    c.kind = Commission::Kind::Rate;
    out = c;
    return true;
  }
  if (text.rfind("tiers:", 0) == 0) {
    const std::vector<std::string> parts = Split(text.substr(6), ';');
    if (parts.size() < 2) return refuse();
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
      const std::size_t eq = parts[i].find('=');
      long long upTo = 0, fee = 0;
      if (eq == std::string::npos || !ReadWhole(parts[i].substr(0, eq), upTo) ||
          !ReadWhole(parts[i].substr(eq + 1), fee))
        return refuse();
      if (!c.tiers.empty() && upTo <= c.tiers.back().first) return refuse();
      c.tiers.emplace_back(upTo, fee);
    }
    if (!ReadWhole(parts.back(), c.above)) return refuse();
    c.kind = Commission::Kind::Tiers;
    out = c;
    return true;
  }
  return refuse();
}

bool ParseTicks(const std::string& text, int& out, std::string& error) {
  long long v = 0;
  if (!ReadWhole(text, v) || v > 1000) {
    error = "スリッページの呼値数が正しくありません: " + text + "(例: 1)";
    return false;
  }
  out = static_cast<int>(v);
  return true;
}

bool ParsePercent(const std::string& text, const char* what, long double& out, std::string& error) {
  long double v = 0;
  if (!ReadDecimal(text, v) || v > 100) {
    error = std::string(what) + "の率(%)が正しくありません: " + text + "(例: 20.315)";
    return false;
  }
  out = v;
  return true;
}

bool ParseCapital(const std::string& text, long long& out, std::string& error) {
  long long v = 0;
  if (!ReadWhole(text, v) || v <= 0) {
    error = "元手(円)が正しくありません: " + text + "(例: 1000000)";
    return false;
  }
  out = v;
  return true;
}

bool ParseFill(const std::string& text, FillAt& out, std::string& error) {
  if (text == "open" || text == "close") {
    out = text == "open" ? FillAt::Open : FillAt::Close;
    return true;
  }
  error = "約定の時点が正しくありません: " + text + "(例: open、close)";
  return false;
}

CostSetting ReadCostSetting(const std::string& key, const std::string& value, CostModel& m,
                            std::string& error) {
  bool ok = false;
  if (key == "commission")
    ok = ParseCommission(value, m.commission, error);
  else if (key == "slip")
    ok = ParseTicks(value, m.slipTicks, error);
  else if (key == "tax")
    ok = ParsePercent(value, "税", m.taxPercent, error);
  else if (key == "borrow")
    ok = ParsePercent(value, "貸株料", m.borrowPercent, error);
  else if (key == "capital")
    ok = ParseCapital(value, m.capital, error);
  else if (key == "fill")
    ok = ParseFill(value, m.fill, error);
  else
    return CostSetting::Unknown;
  return ok ? CostSetting::Read : CostSetting::Refused;
}

std::string CommissionText(const Commission& c) {
  switch (c.kind) {
    case Commission::Kind::Zero:
      return "zero";
    case Commission::Kind::Rate: {
      std::string t = "rate:" + FloatToStr(c.ratePercent);
      if (c.min) t += ":" + IntToStr(*c.min);
      if (c.max) t += ":" + IntToStr(*c.max);
      return t;
    }
    case Commission::Kind::Tiers: {
      std::string t = "tiers:";
      for (const auto& [upTo, fee] : c.tiers) t += IntToStr(upTo) + "=" + IntToStr(fee) + ";";
      return t + IntToStr(c.above);
    }
  }
  return "zero";
}

std::string CostModelText(const CostModel& m) {
  return "commission=" + CommissionText(m.commission) + " slip=" + IntToStr(m.slipTicks) +
         " tax=" + FloatToStr(m.taxPercent) + " borrow=" + FloatToStr(m.borrowPercent) +
         " capital=" + IntToStr(m.capital) + " fill=" + (m.fill == FillAt::Open ? "open" : "close");
}

bool ReadCostModelText(const std::string& text, CostModel& m, std::string& error) {
  CostModel read = m;
  for (const std::string& w : Split(text, ' ')) {
    if (w.empty()) continue;
    const std::size_t eq = w.find('=');
    const CostSetting r = eq == std::string::npos
                              ? CostSetting::Unknown
                              : ReadCostSetting(w.substr(0, eq), w.substr(eq + 1), read, error);
    if (r == CostSetting::Unknown)
      error = "売買コストの指定が正しくありません: " + w +
              "(例: commission=zero、slip=1、tax=20.315、borrow=1.15、capital=1000000、"
              "fill=open)";
    if (r != CostSetting::Read) return false;
  }
  m = read;
  return true;
}

long long YearTax::turn(int day) {
  const int year = YearOf(day);
  if (year_ == 0) year_ = year;
  if (year <= year_) return 0;
  const long long due = finish();
  year_ = year;
  return due;
}

long long YearTax::finish() {
  const long long due = sum_ > 0 ? FloorYen(sum_ * percent_ / 100) : 0;
  sum_ = 0;
  return due;
}

std::vector<MoneyDay> MoneyDays(const std::vector<PriceBar>& daily) {
  std::vector<MoneyDay> days;
  days.reserve(daily.size());
  for (const PriceBar& b : daily) {
    long double close = 0;
    if (!TryStrToFloat(b.close, close) || !(close > 0)) continue;
    MoneyDay d{b.day, close, std::nullopt, b.stopHigh, b.stopLow};
    if (b.open && *b.open > 0) d.open = static_cast<long double>(*b.open);
    days.push_back(d);
  }
  return days;
}

int DayIndex(const std::vector<MoneyDay>& days, int day) {
  const auto it = std::lower_bound(days.begin(), days.end(), day,
                                   [](const MoneyDay& d, int v) { return d.day < v; });
  return it != days.end() && it->day == day ? static_cast<int>(it - days.begin()) : -1;
}

namespace {

// The first day from `from` on which an order can fill: a buy waits out a
// day ended at the upper limit, a sell one at the lower limit. -1 none.
int FillDay(const std::vector<MoneyDay>& days, int from, bool buy) {
  for (int j = std::max(from, 0); j < static_cast<int>(days.size()); ++j) {
    const MoneyDay& d = days[static_cast<std::size_t>(j)];
    if (buy ? d.stopHigh : d.stopLow) continue;
    return j;
  }
  return -1;
}

long double FillPrice(const MoneyDay& d, const CostModel& model, bool buy) {
  const long double base = model.fill == FillAt::Open && d.open ? *d.open : d.close;
  return SlippedPrice(base, model.slipTicks, buy);
}

}  // namespace

MoneyResult RunMoney(const std::vector<MoneyDay>& days, const std::vector<MoneyOrder>& orders,
                     bool entryBuy, const CostModel& model) {
  MoneyResult r;
  r.capital = model.capital;
  r.trades.resize(orders.size());
  if (days.empty()) {
    r.finalEquity = static_cast<long double>(r.capital);
    return r;
  }
  // Ten lots at the first entry's price when one lot costs more than the
  // capital, rounded up to 100,000 yen.
  if (!orders.empty()) {
    const int j = FillDay(days, orders.front().entryFrom, entryBuy);
    if (j >= 0) {
      const long double lot = 100 * FillPrice(days[static_cast<std::size_t>(j)], model, entryBuy);
      if (lot > static_cast<long double>(r.capital))
        r.capital = static_cast<long long>(std::ceil(lot * 10 / 100000 - 1e-9L)) * 100000;
    }
  }
  long double cash = static_cast<long double>(r.capital);
  YearTax tax(model.taxPercent);
  const auto payTax = [&](int day) {
    const long long due = tax.turn(day);
    cash -= static_cast<long double>(due);
    r.tax += due;
  };
  int free = 0;  // the first day the next entry may fill on
  const MoneyTrade* open = nullptr;
  for (std::size_t k = 0; k < orders.size(); ++k) {
    const MoneyOrder& o = orders[k];
    MoneyTrade& t = r.trades[k];
    const int in = FillDay(days, std::max(o.entryFrom, free), entryBuy);
    if (in < 0) break;
    payTax(days[static_cast<std::size_t>(in)].day);
    const long double price = FillPrice(days[static_cast<std::size_t>(in)], model, entryBuy);
    long long lots = price > 0 && cash > 0 ? FloorYen(cash / (100 * price)) : 0;
    while (lots > 0 && 100 * lots * price + Fee(model.commission, 100 * lots * price) > cash)
      --lots;
    if (lots <= 0) {
      free = in;
      continue;
    }
    t.entryDay = in;
    t.entryPrice = price;
    t.shares = 100 * lots;
    t.entryFee = Fee(model.commission, static_cast<long double>(t.shares) * price);
    cash -= static_cast<long double>(t.entryFee);
    if (entryBuy) cash -= static_cast<long double>(t.shares) * price;
    r.costs += t.entryFee;
    open = &t;
    if (o.exitFrom < 0) break;
    const int out = FillDay(days, std::max(o.exitFrom, in), !entryBuy);
    if (out < 0) break;
    const MoneyDay& d = days[static_cast<std::size_t>(out)];
    payTax(d.day);
    t.exitDay = out;
    t.exitPrice = FillPrice(d, model, !entryBuy);
    const long double shares = static_cast<long double>(t.shares);
    t.exitFee = Fee(model.commission, shares * t.exitPrice);
    if (entryBuy) {
      cash += shares * t.exitPrice;
    } else {
      t.borrow = Borrow(t.shares, t.entryPrice, model.borrowPercent,
                        d.day - days[static_cast<std::size_t>(in)].day);
      cash += shares * (t.entryPrice - t.exitPrice);
    }
    cash -= static_cast<long double>(t.exitFee + t.borrow);
    r.costs += t.exitFee + t.borrow;
    const long double move = entryBuy ? t.exitPrice - t.entryPrice : t.entryPrice - t.exitPrice;
    t.pnl = shares * move - static_cast<long double>(t.entryFee + t.exitFee + t.borrow);
    t.closed = true;
    tax.add(t.pnl);
    open = nullptr;
    free = out;
  }
  const MoneyDay& last = days.back();
  payTax(last.day);
  const long long due = tax.finish();
  cash -= static_cast<long double>(due);
  r.tax += due;
  if (open) {
    const long double shares = static_cast<long double>(open->shares);
    cash += entryBuy ? shares * last.close : shares * (open->entryPrice - last.close);
  }
  r.finalEquity = cash;
  return r;
}

}  // namespace tavrine::money
