#include "sample.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "store/codec.h"
#include "store/comma_text.h"
#include "store/paths.h"
#include "store/text.h"

namespace tavrine::sample {

namespace {

namespace fs = std::filesystem;

// splitmix64: small, fast and the same on every platform.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ULL + 0x1234567ULL) {}
  std::uint64_t next() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // [0, 1)
  double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
  // [lo, hi]
  int range(int lo, int hi) {
    return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  // Roughly normal: sum of four uniforms, centred and scaled to unit variance.
  double normal() {
    double sum = 0;
    for (int i = 0; i < 4; ++i) sum += uniform();
    return (sum - 2.0) * 1.7320508075688772;
  }

 private:
  std::uint64_t s_;
};

const char* const kPrefixes[] = {
    "東洋", "日本", "大和", "三光", "北陸", "中央", "太平", "富士", "昭和",   "新日本",
    "関東", "第一", "日東", "共和", "協和", "丸善", "東邦", "山陽", "西部",   "北海",
    "明治", "大同", "住江", "日清", "旭",   "東亜", "中部", "南海", "千代田", "平和",
    "光",   "双葉", "高砂", "宝",   "朝日", "菱和", "日興", "東京", "大阪",   "名古屋",
    "九州", "信越", "若松", "桜井", "白鳥", "青山"};
const char* const kSuffixes[] = {
    "製作所", "工業", "電機", "化学", "建設",   "製薬", "商事",   "食品",   "精機",
    "電子",   "物産", "鉄道", "運輸", "紙業",   "繊維", "重工",   "興産",   "鋼業",
    "不動産", "通信", "薬品", "産業", "金属",   "機械", "ガラス", "ゴム",   "電工",
    "倉庫",   "海運", "水産", "製菓", "百貨店", "印刷", "光学",   "自動車", "硝子"};
const char* const kMarkets[] = {"東証1部", "東証1部",      "東証1部",  "東証2部",
                                "大証1部", "ジャスダック", "マザーズ", "名証2部"};

bool IsWeekday(int days) {
  const int w = ((days % 7) + 7) % 7;  // 0 Saturday (1899-12-30 was one), 1 Sunday
  return w >= 2;
}

void AppendInt(std::string& out, std::int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void AppendPrice(std::string& out, std::int64_t h) {
  if (h < 0) {
    out += '-';
    h = -h;
  }
  AppendInt(out, h / 100);
  const int f = static_cast<int>(h % 100);
  if (f == 0) return;
  out += '.';
  out += static_cast<char>('0' + f / 10);
  if (f % 10) out += static_cast<char>('0' + f % 10);
}

std::string DateText(int days) { return DateToStr(days); }

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot create " + path.string());
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path.string());
}

// A random walk in log space that drifts back toward its own level, rounded
// to the stock's tick, oldest day first.
void Walk(Rng& rng, Stock& s, int from, int count, double level, double lo, double hi) {
  const double sigma = 0.010 + rng.uniform() * 0.018;
  const double target = std::log(level);
  double x = target + rng.normal() * 0.3;
  for (int k = 0; k < count; ++k) {
    x += 0.004 * (target - x) + sigma * rng.normal();
    double p = std::exp(x);
    p = std::clamp(p, lo, hi);
    std::int64_t h = std::llround(p * 100.0 / s.tick) * s.tick;
    if (h < s.tick) h = s.tick;
    s.close[static_cast<std::size_t>(from - k)] = h;
  }
}

}  // namespace

std::string PriceText(std::int64_t hundredths) {
  std::string s;
  AppendPrice(s, hundredths);
  return s;
}

Result Build(const Options& opt) {
  if (opt.days < 1) throw std::runtime_error("--days must be at least 1");
  if (opt.stocks < 0) throw std::runtime_error("--stocks must not be negative");
  if (opt.lag < 0) throw std::runtime_error("--lag must not be negative");
  const int nList = std::min(opt.stocks, 197);
  if (opt.badColumn < 0 || opt.badColumn > nList)
    throw std::runtime_error("bad-cell column is not a list column");

  Rng rng(opt.seed);
  Result res;
  res.days = opt.days;
  res.lag = opt.lag;

  // Trading days: weekdays, newest first, up to today.
  const int today = opt.today > 0 ? opt.today : Today();
  const int total = opt.days + opt.lag;
  res.marketDays.reserve(static_cast<std::size_t>(total));
  for (int d = today; static_cast<int>(res.marketDays.size()) < total; --d)
    if (IsWeekday(d)) res.marketDays.push_back(d);

  // Codes: the list stocks and the random extras share one range; the fixed
  // special codes lie outside it.
  const char* const specials[] = {kShort120, kShort30, kEmpty, kHuge, kMax9};
  const int nSpecial = std::min(opt.marketExtra, 5);
  const int nRandomExtra = std::max(opt.marketExtra - 5, 0);
  std::set<int> codeSet;
  while (static_cast<int>(codeSet.size()) < nList + nRandomExtra)
    codeSet.insert(rng.range(1301, 9989));
  std::vector<int> codes(codeSet.begin(), codeSet.end());
  // Choose which codes are list stocks (the rest are market-only), keeping
  // code order.
  std::vector<bool> listed(codes.size(), false);
  {
    std::vector<std::size_t> idx(codes.size());
    for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = i;
    for (std::size_t i = idx.size(); i > 1; --i) std::swap(idx[i - 1], idx[rng.next() % i]);
    for (int i = 0; i < nList; ++i) listed[idx[static_cast<std::size_t>(i)]] = true;
  }

  std::set<std::string> usedNames;
  auto newName = [&] {
    for (;;) {
      // One draw a statement: the order of two draws in one expression is
      // the compiler's, and a sample must be the same from every compiler.
      const std::uint64_t suffix = rng.next();
      const std::uint64_t prefix = rng.next();
      std::string n = std::string(kPrefixes[prefix % std::size(kPrefixes)]) +
                      kSuffixes[suffix % std::size(kSuffixes)];
      if (usedNames.insert(n).second) return n;
      if (usedNames.size() >= std::size(kPrefixes) * std::size(kSuffixes)) {
        n += IntToStr(static_cast<long long>(usedNames.size()));
        usedNames.insert(n);
        return n;
      }
    }
  };

  const std::size_t T = static_cast<std::size_t>(total);
  std::vector<Stock> list, extra;
  int column = 0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    Stock s;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04d", codes[i]);
    s.code = buf;
    s.name = newName();
    s.close.assign(T, -1);
    if (listed[i]) {
      s.column = ++column;
      s.market = kMarkets[rng.next() % 3];
      list.push_back(std::move(s));
    } else {
      s.market = kMarkets[rng.next() % std::size(kMarkets)];
      extra.push_back(std::move(s));
    }
  }

  // List stocks: columns 1 and 4 (the first stock shown) always run over the
  // whole list without blanks; others may start later or miss their newest
  // one to three days. Column 3 always misses some of its newest days.
  const int minHistory = std::min(opt.days, 120);
  for (auto& s : list) {
    const bool plain = s.column == 1 || s.column == 4;
    if (!plain && rng.uniform() < 0.2) s.tick = 50;
    int history = opt.days;  // list rows with a price, counted from the newest
    if (!plain && rng.uniform() < 0.4)
      history = minHistory + static_cast<int>(rng.uniform() * 0.8 * (opt.days - minHistory));
    if (!plain && opt.days >= 40 && (s.column == 3 || rng.uniform() < 0.12))
      s.topBlanks = rng.range(1, 3);
    const double level =
        std::exp(std::log(150.0) + rng.uniform() * (std::log(20000.0) - std::log(150.0)));
    // Market days from lag + history - 1 (oldest) to 0 (today).
    const int oldest = opt.lag + history - 1;
    Walk(rng, s, oldest, oldest + 1, level, 60.0, 40000.0);
    for (int k = 0; k < s.topBlanks; ++k) s.close[static_cast<std::size_t>(opt.lag + k)] = -1;
  }

  // Market-only stocks: the fixed specials first, then random ones.
  for (int i = 0; i < nSpecial; ++i) {
    Stock s;
    s.code = specials[i];
    s.name = newName();
    s.market = i < 3 ? "ジャスダック" : "東証2部";
    s.close.assign(T, -1);
    const std::string c = s.code;
    if (c == kShort120)
      Walk(rng, s, std::min(119, total - 1), std::min(120, total), 800.0, 60.0, 40000.0);
    if (c == kShort30)
      Walk(rng, s, std::min(29, total - 1), std::min(30, total), 2500.0, 60.0, 40000.0);
    if (c == kHuge) {
      const int n = std::min(200, total);
      Walk(rng, s, n - 1, n, 12500000.0, 10000000.0, 14000000.0);
      s.close[0] = 1234567800;
    }
    if (c == kMax9) {
      const int n = std::min(200, total);
      Walk(rng, s, n - 1, n, 9000000.0, 8000000.0, 9999999.0);
      s.close[0] = 999999900;
    }
    extra.insert(extra.begin() + i, std::move(s));
  }
  for (auto& s : extra) {
    const std::string& c = s.code;
    if (c == kShort120 || c == kShort30 || c == kEmpty || c == kHuge || c == kMax9) continue;
    if (rng.uniform() < 0.2) s.tick = 50;
    const int n = std::min(total, 250 + static_cast<int>(rng.uniform() * std::max(total - 250, 0)));
    const double level =
        std::exp(std::log(150.0) + rng.uniform() * (std::log(20000.0) - std::log(150.0)));
    Walk(rng, s, n - 1, n, level, 60.0, 40000.0);
  }
  {
    Stock s;
    s.code = kUnlisted;
    s.name = newName();
    s.market = "東証2部";
    s.inZenncode = false;
    s.close.assign(T, -1);
    const int n = std::min(total, 300);
    Walk(rng, s, n - 1, n, 1500.0, 60.0, 40000.0);
    extra.push_back(std::move(s));
  }
  for (const char* idx : {kIndex, kTopix}) {
    Stock s;
    s.code = idx;
    s.name = idx == kIndex ? "日経ダウ" : "トピックス";
    s.market = "指数";
    s.inZenncode = false;
    s.tick = 1;
    s.close.assign(T, -1);
    Walk(rng, s, total - 1, total, idx == kIndex ? 11000.0 : 1100.0, 500.0, 40000.0);
    extra.push_back(std::move(s));
  }

  // The remembered code: the first stock shown, when there is one.
  res.memoCode = list.size() >= 4 ? list[3].code : !list.empty() ? list[0].code : "1301";
  res.stocks = std::move(list);
  for (auto& s : extra) res.stocks.push_back(std::move(s));
  return res;
}

Result Generate(const Options& opt) {
  if (opt.dir.empty()) throw std::runtime_error("no data folder given");
  Result res = Build(opt);
  const fs::path dir(opt.dir);
  std::error_code ec;
  for (const char* sub :
       {"", "tavrine", "pickrow", "pullbox", "listwerk", "listwerk/kabuka", "market"}) {
    fs::create_directories(dir / sub, ec);
    if (ec) throw std::runtime_error("cannot create " + (dir / sub).string() + ": " + ec.message());
  }
  const std::string base = (dir / "").string();

  std::vector<const Stock*> list;
  for (const auto& s : res.stocks)
    if (s.column > 0) list.push_back(&s);
  const int nList = static_cast<int>(list.size());
  const std::size_t fields = static_cast<std::size_t>(nList) + 2;  // date, stocks, one empty column
  auto listDay = [&](int r) { return res.lag + r - 1; };           // market index of list row r
  auto listCell = [&](const Stock& s, int r) -> std::string {
    if (opt.badColumn == s.column && r == 10) return "1,234";
    const std::int64_t v = s.close[static_cast<std::size_t>(listDay(r))];
    return v < 0 ? std::string() : PriceText(v);
  };

  // The stock list, rows newest first.
  {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(res.days) + 1);
    std::vector<std::string> cells(fields);
    cells[0] = "日付";
    for (int i = 0; i < nList; ++i)
      cells[static_cast<std::size_t>(i) + 1] = list[i]->code + " " + list[i]->name;
    lines.push_back(ToCommaText(cells));
    for (int r = 1; r <= res.days; ++r) {
      cells[0] = DateText(res.marketDays[static_cast<std::size_t>(listDay(r))]);
      for (int i = 0; i < nList; ++i)
        cells[static_cast<std::size_t>(i) + 1] = listCell(*list[i], r);
      lines.push_back(ToCommaText(cells));
    }
    WriteLines(base + "デ-タ一覧.csv", lines, true);
  }

  // Memo and remembered code.
  WriteLines(base + "Fname.txt",
             {"銘柄メモ", "・25日線を上抜けたら買い検討", "・決算発表前は様子見", "・損切りは一割"},
             true);
  WriteText(base + "memo.txt", res.memoCode);

  // Sibling tools: existence is what counts.
  WriteBytes(dir / "pullbox" / "pullbox.exe", "");
  WriteBytes(dir / "listwerk" / "listwerk.exe", "");

  // Trading-day calendar: the list's days.
  {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(res.days) + 1);
    lines.push_back("日付,新日付");
    for (int r = 1; r <= res.days; ++r)
      lines.push_back(DateText(res.marketDays[static_cast<std::size_t>(listDay(r))]));
    WriteLines(base + "tavrine/hizuke.csv", lines, true);
  }

  // All-codes list: code, name, market, tab-separated, in code order.
  {
    std::vector<const Stock*> all;
    for (const auto& s : res.stocks)
      if (s.inZenncode) all.push_back(&s);
    std::sort(all.begin(), all.end(),
              [](const Stock* a, const Stock* b) { return a->code < b->code; });
    std::vector<std::string> lines{"コード\t銘柄名\t市場"};
    for (const Stock* s : all) lines.push_back(s->code + "\t" + s->name + "\t" + s->market);
    WriteLines(base + "tavrine/zenncode.txt", lines, true);
  }

  // Candidate list: list stocks with a price on every one of their newest
  // 750 list days, about ten of them.
  {
    Rng rng(opt.seed ^ 0xC0FFEEULL);
    const int span = std::min(res.days, 750);
    std::vector<const Stock*> eligible;
    for (const Stock* s : list) {
      if (s->column == opt.badColumn) continue;
      bool full = true;
      for (int r = 1; r <= span && full; ++r)
        full = s->close[static_cast<std::size_t>(listDay(r))] >= 0;
      if (full) eligible.push_back(s);
    }
    for (std::size_t i = eligible.size(); i > 1; --i)
      std::swap(eligible[i - 1], eligible[rng.next() % i]);
    if (eligible.size() > 10) eligible.resize(10);
    std::sort(eligible.begin(), eligible.end(),
              [](const Stock* a, const Stock* b) { return a->column < b->column; });

    const std::string newest = DateText(res.marketDays[static_cast<std::size_t>(listDay(1))]);
    std::vector<std::string> lines;
    std::vector<std::string> cells{"候補銘柄 " + newest};
    for (int j = 1; j <= std::min(res.days, 751); ++j)
      cells.push_back(DateText(res.marketDays[static_cast<std::size_t>(listDay(j))]));
    lines.push_back(ToCommaText(cells));
    for (const Stock* s : eligible) {
      cells.assign(
          {s->code + " " + s->name, FloatToStr(static_cast<long double>(rng.range(50, 999)) / 10)});
      for (int r = 1; r <= span; ++r)
        cells.push_back(PriceText(s->close[static_cast<std::size_t>(listDay(r))]));
      lines.push_back(ToCommaText(cells));
    }
    WriteLines(base + "pickrow/pickrow.csv", lines, true);
  }

  // Portfolio table: 13 columns; codes from the list and from the market only.
  {
    Rng rng(opt.seed ^ 0x7A11ULL);
    std::vector<std::string> pool;
    for (const auto& s : res.stocks)
      if (s.inZenncode && s.code.size() == 4 && s.code != kEmpty && s.code != kShort30)
        pool.push_back(s.code);
    const std::string newest = DateText(res.marketDays[static_cast<std::size_t>(listDay(1))]);
    std::vector<std::string> lines;
    std::vector<std::string> cells{"ポートフォリオ " + newest};
    for (int j = 1; j <= 12; ++j)
      cells.push_back(j <= 10 ? "銘柄" + IntToStr(j) : "組合" + IntToStr(j - 10));
    lines.push_back(ToCommaText(cells));
    for (int row = 1; row <= 5; ++row) {
      cells.assign({row == 1 ? newest : "第" + IntToStr(row) + "群"});
      for (int j = 1; j <= 12; ++j) {
        if (pool.empty() || (row > 3 && j > 8)) {
          cells.push_back("");
          continue;
        }
        cells.push_back(pool[rng.next() % pool.size()]);
      }
      lines.push_back(ToCommaText(cells));
    }
    WriteLines(base + "tavrine/tallysel.csv", lines, true);
  }

  // Market folder: one ASCII file per code, newest day first.
  {
    Rng rng(opt.seed ^ 0x3A3A3AULL);
    std::string text;
    for (const auto& s : res.stocks) {
      text.clear();
      std::int64_t prev = -1;
      // Walk oldest to newest for open prices, then emit newest first.
      std::vector<std::string> rows;
      for (std::size_t k = s.close.size(); k-- > 0;) {
        const std::int64_t c = s.close[k];
        if (c < 0) continue;
        const std::int64_t tick = s.tick;
        auto snap = [tick](double v) {
          std::int64_t h = std::llround(v / tick) * tick;
          return h < tick ? tick : h;
        };
        const std::int64_t open =
            prev < 0 ? c : snap(static_cast<double>(prev) * (1.0 + 0.01 * rng.normal()));
        const std::int64_t hi =
            std::max(std::max(open, c),
                     snap(static_cast<double>(std::max(open, c)) * (1.0 + 0.01 * rng.uniform())));
        const std::int64_t lo =
            std::min(std::min(open, c),
                     snap(static_cast<double>(std::min(open, c)) * (1.0 - 0.01 * rng.uniform())));
        std::string line = DateText(res.marketDays[k]);
        for (std::int64_t v : {open, hi, lo, c}) {
          line += ',';
          AppendPrice(line, v);
        }
        line += ',';
        AppendInt(line, static_cast<std::int64_t>(rng.range(1, 5000)) * 1000);
        line += ',';
        AppendPrice(line, c);
        line += '\n';
        rows.push_back(std::move(line));
        prev = c;
      }
      for (auto it = rows.rbegin(); it != rows.rend(); ++it) text += *it;
      WriteBytes(dir / "market" / (s.code + ".csv"), text);
    }
  }
  return res;
}

const char* Usage() {
  return "usage: tavrine-sample DIR [--stocks N] [--days N] [--seed N] [--today yyyy/mm/dd] [--lag "
         "N]\n"
         "                      [--market-extra N] [--bad-cell] [--bad-column N]\n";
}

std::string ParseArgs(int argc, char** argv, Options& opt) {
  auto number = [](const std::string& s, long long lo, long long hi, long long& v) {
    if (s.empty()) return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && v >= lo && v <= hi;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--", 0) != 0) {
      if (!opt.dir.empty()) return "more than one folder given";
      opt.dir = a;
      continue;
    }
    if (a == "--bad-cell") {
      if (opt.badColumn == 0) opt.badColumn = 4;
      continue;
    }
    if (i + 1 >= argc) return a + " needs a value";
    const std::string v = argv[++i];
    long long n = 0;
    if (a == "--stocks") {
      if (!number(v, 0, 1000, n)) return "bad --stocks " + v;
      opt.stocks = static_cast<int>(n);
    } else if (a == "--days") {
      if (!number(v, 1, 100000, n)) return "bad --days " + v;
      opt.days = static_cast<int>(n);
    } else if (a == "--seed") {
      if (!number(v, 0, (1LL << 62), n)) return "bad --seed " + v;
      opt.seed = static_cast<std::uint64_t>(n);
    } else if (a == "--lag") {
      if (!number(v, 0, 100000, n)) return "bad --lag " + v;
      opt.lag = static_cast<int>(n);
    } else if (a == "--market-extra") {
      if (!number(v, 0, 5000, n)) return "bad --market-extra " + v;
      opt.marketExtra = static_cast<int>(n);
    } else if (a == "--bad-column") {
      if (!number(v, 1, 197, n)) return "bad --bad-column " + v;
      opt.badColumn = static_cast<int>(n);
    } else if (a == "--today") {
      int d = 0;
      if (v.size() != 10 || !TryParseDate(v, d)) return "bad --today " + v + " (yyyy/mm/dd)";
      opt.today = d;
    } else {
      return "unknown option " + a;
    }
  }
  if (opt.dir.empty()) return "no data folder given";
  return {};
}

}  // namespace tavrine::sample
