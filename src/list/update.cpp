#include "list/update.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>

#include "list/list_work.h"
#include "list/placement.h"
#include "list/price_file.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

namespace {

// The largest factor taken: a 1:1000 consolidation. Beyond it, and at zero
// or below, the record is no adjustment the list can follow.
constexpr double kMaxFactor = 1000;

// The split factor as a ratio of small whole numbers (0.5 -> 1/2, 1.5 ->
// 3/2, 0.333333 -> 1/3, 0.005 -> 1/200): 1/n or n/1 up to 1000, else the
// nearest with a denominator up to 100, that lies within 1e-5 of it,
// relatively; false when none does.
bool FactorRatio(double factor, Ratio& out) {
  if (!(factor > 0) || !(factor <= kMaxFactor) || factor < 1 / kMaxFactor) return false;
  for (const bool split : {true, false}) {
    const double n = std::round(split ? 1 / factor : factor);
    if (n >= 1 && std::fabs((split ? 1 / n : n) - factor) <= factor * 1e-5) {
      out = split ? Ratio{1, static_cast<long long>(n)} : Ratio{static_cast<long long>(n), 1};
      return true;
    }
  }
  // Continued fraction convergents of the factor.
  long long h0 = 0, h1 = 1, k0 = 1, k1 = 0;
  double x = factor;
  for (int i = 0; i < 20; ++i) {
    const double a = std::floor(x);
    const long long ai = static_cast<long long>(a);
    const long long h2 = ai * h1 + h0, k2 = ai * k1 + k0;
    if (k2 > 100) break;
    h0 = h1, h1 = h2, k0 = k1, k1 = k2;
    if (std::fabs(static_cast<double>(h1) / static_cast<double>(k1) - factor) <= factor * 1e-5) {
      out = {h1, k1};
      return true;
    }
    if (x - a < 1e-12) break;
    x = 1 / (x - a);
  }
  return false;
}

Ratio Times(Ratio a, Ratio b) {
  Ratio r{a.num * b.num, a.den * b.den};
  const long long g = std::gcd(r.num, r.den);
  return {r.num / g, r.den / g};
}

// One stock's factors over the fetched days: their product, the product as a
// ratio of small whole numbers while each factor is one, and their kind.
struct Factors {
  long double product = 1;
  Ratio ratio;
  bool small = true;
  std::string kind;

  void Add(double factor, const std::string& k) {
    product *= factor;
    Ratio r;
    if (small && FactorRatio(factor, r))
      ratio = Times(ratio, r);
    else
      small = false;
    kind = kind.empty() || kind == k ? k : "調整";
  }
  std::string RatioText() const { return small ? tavrine::RatioText(ratio) : FloatToStr(product); }
};

// A stored close times the factors, rounded to one decimal (half up) as the
// service rounds its adjusted closes, in the list's form; empty when the
// result is no close the list can hold. A factor comes as binary (0.9437 is
// 0.94369999...), so a product that is a tie in decimals (2500 x 0.9437 =
// 2359.25) is nudged by far less than the decimals a close and a factor have.
std::string ScaledToTenths(long double v, long double product) {
  const long double x = std::round(v * product * 10 * (1 + 1e-12L)) / 10;
  const std::string out = FloatToStr(x);
  if (!(x > 0) || !(x < kPriceFileMaxClose + 0.5L) || out.find('E') != std::string::npos) return {};
  return out;
}

// A delivered close in the list's form, or a refusal naming the day and stock.
std::string CloseText(const DailyClose& c, int day) {
  const auto refuse = [&] {
    return ListRefused{DateToStr(day) + " の " + c.code + " の終値が正しくありません (" + c.close +
                       ")"};
  };
  long double v = 0;
  try {
    v = StrToFloat(c.close);
  } catch (const ConversionError&) {
    throw refuse();
  }
  if (!(v > 0) || !(v < kPriceFileMaxClose + 0.5L)) throw refuse();
  const std::string text = FloatToStr(v);
  if (text.find('E') != std::string::npos) throw refuse();
  return text;
}

// The ratio of the service's close to a stored one. The service's close is
// rounded to one decimal, so the ratio is known only within that rounding:
// the plainest ratio of small whole numbers inside it is taken (a split seen
// through rounded closes is still 1/2), else the quotient itself.
struct MovedRatio {
  long double value = 1;
  Ratio ratio;
  bool small = false;
};
MovedRatio RatioWithin(long double service, long double stored) {
  const long double r = service / stored;
  const long double lo = (service - 0.05L) / stored * (1 - 1e-12L);
  const long double hi = (service + 0.05L) / stored * (1 + 1e-12L);
  const auto inside = [&](long double x) { return x >= lo && x <= hi; };
  const auto made = [](long long p, long long q) {
    const long long g = std::gcd(p, q);
    return MovedRatio{
        static_cast<long double>(p) / static_cast<long double>(q), {p / g, q / g}, true};
  };
  for (long long q = 1; q <= 100; ++q) {
    const long long p = std::llround(r * static_cast<long double>(q));
    if (p >= 1 && inside(static_cast<long double>(p) / static_cast<long double>(q)))
      return made(p, q);
  }
  for (const bool split : {true, false}) {
    const long long n = std::llround(split ? 1 / r : r);
    for (long long m = n - 1; m <= n + 1; ++m)
      if (m >= 1 && m <= static_cast<long long>(kMaxFactor) &&
          inside(split ? 1 / static_cast<long double>(m) : static_cast<long double>(m)))
        return split ? made(1, m) : made(m, 1);
  }
  return {r, {}, false};
}

}  // namespace

std::vector<ListedStock> ListedStocks(const WorkTable& list) {
  std::vector<ListedStock> out;
  const int last = LastStockColumn(list);
  for (int c = 1; c <= last; ++c) {
    const std::string& heading = list.cell(c, 0);
    if (IsBlankWide(heading)) continue;
    ListedStock s;
    s.code = LeftBytes(heading, 4);
    const std::string rest = heading.size() > s.code.size() ? heading.substr(s.code.size()) : "";
    s.nameless = rest.find_first_not_of(" \t") == std::string::npos;
    s.newest = list.rowCount() > 1 ? list.cell(c, 1) : std::string(kBlankCell);
    out.push_back(s);
  }
  return out;
}

UpdateApplied ApplyUpdate(WorkingList& w, const UpdateData& data) {
  UpdateApplied out;
  const int listNewest = w.days.empty() ? 0 : w.days.front();

  // The new days, newest first, each once.
  std::vector<const FetchedDay*> fresh;
  for (const FetchedDay& d : data.days)
    if (d.day > listNewest) fresh.push_back(&d);
  std::sort(fresh.begin(), fresh.end(),
            [](const FetchedDay* a, const FetchedDay* b) { return a->day > b->day; });
  fresh.erase(
      std::unique(fresh.begin(), fresh.end(),
                  [](const FetchedDay* a, const FetchedDay* b) { return a->day == b->day; }),
      fresh.end());

  // Each listed stock's column, its new closes (new rows, newest first) and
  // its factors; every value is checked before anything changes.
  WorkTable& list = *w.table;
  const int last = LastStockColumn(list);
  std::map<std::string, int> columnOf;
  for (int c = 1; c <= last; ++c)
    if (!IsBlankWide(list.cell(c, 0))) columnOf.emplace(LeftBytes(list.cell(c, 0), 4), c);
  const int top = static_cast<int>(fresh.size());
  std::map<int, std::vector<std::string>> cells;  // column -> rows 1 .. top
  std::map<int, Factors> factors;
  std::set<int> refused;  // columns left as they were
  const auto refuse = [&](int column, std::string note) {
    refused.insert(column);
    cells.erase(column);
    out.notes.push_back(std::move(note) + "。この銘柄は更新しませんでした");
  };
  for (int i = 0; i < top; ++i) {
    const FetchedDay& d = *fresh[static_cast<std::size_t>(i)];
    for (const DailyClose& c : d.closes) {
      const auto it = columnOf.find(c.code);
      if (it == columnOf.end() || refused.count(it->second)) continue;
      auto& column = cells[it->second];
      if (column.empty()) column.assign(static_cast<std::size_t>(top), kBlankCell);
      if (!c.close.empty()) column[static_cast<std::size_t>(i)] = CloseText(c, d.day);
      if (c.factor == 1) continue;
      if (!(c.factor > 0) || !(c.factor <= kMaxFactor)) {
        refuse(it->second, c.code + ": " + DateToStr(d.day) + " の調整係数 (" +
                               FloatToStr(c.factor) + ") は扱えません");
        factors.erase(it->second);
        continue;
      }
      factors[it->second].Add(c.factor, AdjustmentKind(c.exRT, c.factor));
    }
  }

  // A moved stock's stored days rebuilt from the service's closes, before the
  // list changes; its fetched factors are in the ratio.
  struct Rebuild {
    int column;
    MovedRatio ratio;
    std::vector<std::pair<int, std::string>> rows;  // list row, new text
    int from = 0, through = 0;
  };
  std::vector<Rebuild> rebuilds;
  for (const MovedStock& m : data.moved) {
    const auto it = columnOf.find(m.code);
    if (it == columnOf.end() || refused.count(it->second) || w.days.empty()) continue;
    const int column = it->second;
    const auto anchor = m.closes.find(w.days.front());
    const std::string stored = list.cell(column, 1);
    if (anchor == m.closes.end() || IsBlank(stored)) continue;
    long double storedValue = 0;
    try {
      storedValue = StrToFloat(stored);
    } catch (const ConversionError&) {
      continue;
    }
    if (!(storedValue > 0)) continue;
    const long double service =
        StrToFloat(CloseText({m.code, anchor->second, 1, ""}, anchor->first));
    Rebuild b{column, RatioWithin(service, storedValue), {}, 0, 0};
    std::string misfit;
    for (int row = 1; row <= static_cast<int>(w.days.size()); ++row) {
      const std::string text = list.cell(column, row);
      if (IsBlank(text)) continue;
      const int day = w.days[static_cast<std::size_t>(row) - 1];
      std::string now;
      if (const auto c = m.closes.find(day); c != m.closes.end()) {
        now = CloseText({m.code, c->second, 1, ""}, day);
      } else {
        long double v = 0;
        try {
          v = StrToFloat(text);
        } catch (const ConversionError&) {
          throw ListRefused{m.code + ": デ-タ一覧の " + DateToStr(day) + " の株価を読めません (" +
                            text + ")"};
        }
        now = ScaledToTenths(v, b.ratio.value);
        if (now.empty()) {
          misfit = m.code + ": " + DateToStr(day) + " の株価 " + text + " を " +
                   FloatToStr(b.ratio.value) + " 倍にすると、デ-タ一覧に入りません";
          break;
        }
      }
      b.rows.emplace_back(row, std::move(now));
      if (b.through == 0) b.through = day;
      b.from = day;
    }
    factors.erase(column);
    if (!misfit.empty())
      refuse(column, misfit);
    else
      rebuilds.push_back(std::move(b));
  }

  // The older days of a stock with factors, scaled, before the list changes.
  struct Scaling {
    int column;
    const Factors* f;
    std::vector<std::pair<int, std::string>> rows;  // list row, new text
    int from = 0, through = 0;
  };
  std::vector<Scaling> scalings;
  for (const auto& [column, f] : factors) {
    if (f.product == 1) continue;
    Scaling s{column, &f, {}, 0, 0};
    std::string misfit;  // why the scaled closes do not fit the list
    const std::string code = LeftBytes(list.cell(column, 0), 4);
    for (int row = 1; row <= static_cast<int>(w.days.size()); ++row) {
      const std::string& text = list.cell(column, row);
      if (IsBlank(text)) continue;
      const int day = w.days[static_cast<std::size_t>(row) - 1];
      long double v = 0;
      try {
        v = StrToFloat(text);
      } catch (const ConversionError&) {
        throw ListRefused{code + ": デ-タ一覧の " + DateToStr(day) + " の株価を読めません (" +
                          text + ")"};
      }
      std::string scaled = ScaledToTenths(v, f.product);
      if (scaled.empty()) {
        misfit = code + ": " + DateToStr(day) + " の株価 " + text + " を " + f.RatioText() +
                 " 倍にすると、デ-タ一覧に入りません";
        break;
      }
      s.rows.emplace_back(row, std::move(scaled));
      if (s.through == 0) s.through = day;
      s.from = day;
    }
    if (!misfit.empty())
      refuse(column, misfit);
    else if (!s.rows.empty())
      scalings.push_back(std::move(s));
  }

  // From here on nothing can refuse the update.
  for (const Scaling& s : scalings) {
    for (const auto& [row, text] : s.rows) list.set(s.column, row, text);
    const std::string code = LeftBytes(list.cell(s.column, 0), 4);
    ListAdjustment a{code,
                     data.source,
                     s.f->ratio.num,
                     s.f->ratio.den,
                     s.from,
                     s.through,
                     s.f->small ? std::string() : FloatToStr(s.f->product),
                     s.f->kind};
    out.notes.push_back(AdjustmentNote(code, a.Kind(), a.RatioText(), s.through));
    out.adjustments.push_back(std::move(a));
  }
  for (const Rebuild& b : rebuilds) {
    for (const auto& [row, text] : b.rows) list.set(b.column, row, text);
    const std::string code = LeftBytes(list.cell(b.column, 0), 4);
    ListAdjustment a{code, data.source, b.ratio.ratio.num, b.ratio.ratio.den, b.from, b.through};
    if (!b.ratio.small) a.factor = FloatToStr(b.ratio.value);
    a.kind = b.ratio.small ? AdjustmentKind("", static_cast<double>(b.ratio.value)) : "調整";
    out.notes.push_back(code + ": 終値の調整が変わりました: " + a.RatioText() + ", " +
                        DateToStr(b.through) + " 以前");
    out.adjustments.push_back(std::move(a));
    ++out.moved;
  }

  if (top > 0) {
    std::vector<int> days;
    for (const FetchedDay* d : fresh) days.push_back(d->day);
    const Axis axis = NewAxis(w.days, days);
    out.dropped = static_cast<int>(w.days.size()) - axis.kept;
    Reshape(w, axis);
    out.days = axis.top;
    // The list's width follows its stocks, as the import leaves it.
    w.table->setColCount(last + 1);
  }
  WorkTable& t = *w.table;
  for (const auto& [column, column_cells] : cells) {
    bool any = false;
    for (int r = 1; r <= out.days; ++r) {
      const std::string& v = column_cells[static_cast<std::size_t>(r) - 1];
      t.set(column, r, v);
      any = any || !IsBlank(v);
    }
    if (!any) continue;
    ++out.stocks;
    // Only the new days are filled: a gap among the stored ones stays as the
    // list has it.
    const int c = column;  // clang 14 cannot capture a structured binding
    // Across days the plan does not cover no close is carried.
    out.filled += FillGaps(
        out.days,
        [&](int r) {
          return data.gapBefore && r > out.days ? std::string(kBlankCell) : t.cell(c, r);
        },
        [&](int r, const std::string& text) { t.set(c, r, text); });
  }

  // A stock held by code alone takes the master's name.
  if (out.days > 0)
    for (int c = 1; c <= last; ++c) {
      const std::string& heading = t.cell(c, 0);
      if (IsBlankWide(heading)) continue;
      const std::string code = LeftBytes(heading, 4);
      if (heading.substr(code.size()).find_first_not_of(" \t") != std::string::npos) continue;
      const auto it = data.names.find(code);
      if (it == data.names.end()) continue;
      const std::string name = CleanName(it->second);
      if (name.empty()) continue;
      if (std::string refusal = NameRefusal(name); !refusal.empty()) {
        out.notes.push_back(code + ": " + refusal + "。見出しは変えませんでした");
        continue;
      }
      t.set(c, 0, code + " " + name);
      out.notes.push_back(code + ": 見出しを「" + code + " " + name + "」にしました");
    }
  return out;
}

std::string AdjustmentKind(const std::string& exRT, double factor) {
  if (exRT == "3") return "株主割当";
  Ratio r;
  if (!FactorRatio(factor, r)) return "調整";
  return r.num < r.den ? "分割" : "併合";
}

std::string UndeliveredText(int newest) {
  return "最新のデータはまだ配信されていません (" + DateToStr(newest) + " まで)";
}

std::string UpdateSummary::Headline() const {
  if (busy) return {};
  if (cancelled) return "一括更新を中止しました。デ-タ一覧は変わっていません。";
  if (!failure.empty())
    return "一括更新できませんでした。デ-タ一覧は変わっていません。\r" + failure;
  if (days == 0) {
    if (newest == 0) return "一括更新: デ-タ一覧に日付がありません。";
    if (undelivered) return UndeliveredText(newest);
    return "デ-タ一覧は最新です (" + DateToStr(newest) + " まで)";
  }
  std::string h = "一括更新完了: " + DateToStr(newest) + " まで " + IntToStr(days) + "日分、更新 " +
                  IntToStr(stocks) + "銘柄";
  if (filled > 0) h += "、補完 " + IntToStr(filled) + "日";
  if (dropped > 0) h += "、古い日付の削除 " + IntToStr(dropped) + "日";
  return h;
}

std::string UpdateSummary::Message() const {
  std::string t = Headline();
  for (const std::string& n : notes) t += "\r" + n;
  if (days > 0 && undelivered) t += "\r" + UndeliveredText(newest);
  return t;
}

std::string UpdateSummary::Text() const {
  std::string t = Message();
  for (const std::string& e : errors) t += "\r" + e;
  return t;
}

}  // namespace tavrine
