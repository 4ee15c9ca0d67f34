#include "list/price_words.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "store/codec.h"
#include "store/text.h"

namespace tavrine::price_words {

namespace {

// Names taken from the title line are cut to this many Shift-JIS bytes.
constexpr std::size_t kMaxNameBytes = 80;

// The stock code at the start of s: four digits, or three digits and a letter
// (upper-cased), not running on into another letter or digit. Empty if none.
std::string CodeAt(std::string_view s) {
  if (s.size() < 4 || !IsDigit(s[0]) || !IsDigit(s[1]) || !IsDigit(s[2])) return {};
  const char c = s[3];
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (!IsDigit(c) && !letter) return {};
  if (s.size() > 4 && IsAsciiAlnum(s[4])) return {};
  std::string code(s.substr(0, 4));
  if (c >= 'a' && c <= 'z') code[3] = static_cast<char>(c - 'a' + 'A');
  return code;
}

// A header word as it is compared: quotes, a trailing '*', every blank
// (also full-width) and the marks '_', '.', '-' dropped, ASCII lower-cased,
// and a trailing unit in brackets ("(円)", "（円）", "[JPY]") dropped.
std::string HeaderWord(std::string_view w) {
  std::string out;
  for (std::size_t i = 0; i < w.size(); ++i) {
    const char c = w[i];
    if (w.substr(i, 3) == "\xE3\x80\x80") {
      i += 2;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '"' || c == '_' || c == '.' || c == '-') continue;
    out += ToLowerAscii(c);
  }
  while (!out.empty() && out.back() == '*') out.pop_back();
  static const std::string_view kUnits[] = {
      "(円)", "（円）", "[円]", "［円］", "(jpy)",  "（jpy）",  "[jpy]",  "(yen)",
      "(¥)",  "(￥)",   "(株)", "（株）", "(千株)", "（千株）", "(千円)", "（千円）"};
  for (std::string_view unit : kUnits)
    if (out.size() > unit.size() && out.ends_with(unit)) {
      out.resize(out.size() - unit.size());
      break;
    }
  return out;
}

enum class Word { Other, Date, Close, Price, NotClose };

// What a header word names. Price ("Price", "株価") is the close only when no
// column names the close itself and no other column is a price. NotClose:
// a column that is surely no close (open, high, low, volume, an adjusted
// close), so even a two-column header naming it is not taken.
Word KindOf(const std::string& w) {
  for (std::string_view d : {"date", "tradedate", "日付", "日付け", "年月日", "取引日"})
    if (w == d) return Word::Date;
  for (std::string_view c :
       {"close", "closeprice", "closingprice", "last", "lastprice", "終値", "終値段"})
    if (w == c) return Word::Close;
  if (w == "price" || w == "株価") return Word::Price;
  for (std::string_view n : {"open", "high", "low", "volume", "vol", "turnover", "始値", "高値",
                             "安値", "出来高", "売買代金", "openprice", "highprice", "lowprice"})
    if (w == n) return Word::NotClose;
  if (w.find("adj") != std::string::npos || w.find("調整") != std::string::npos)
    return Word::NotClose;
  return Word::Other;
}

// Words that name a market, ending the name in a title line.
bool IsMarketWord(std::string_view w) {
  for (std::string_view open : {"(", "[", "（", "【", "［", "<", "＜"})
    if (w.substr(0, open.size()) == open) {
      w.remove_prefix(open.size());
      break;
    }
  for (std::string_view prefix :
       {"東証", "名証", "福証", "札証", "大証", "JASDAQ", "ジャスダック", "マザーズ", "プライム",
        "スタンダード", "グロース", "東1", "東2", "東Ｐ", "東P", "東S", "東G"})
    if (w.substr(0, prefix.size()) == prefix) return true;
  return false;
}

// ---------------------------------------------------------------- names

// Full-width ASCII forms ("６７５８", "ＡＢＣ") as their ASCII characters.
std::string HalfWidthAscii(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    if (i + 2 < s.size() && b(0) == 0xEF && (b(2) & 0xC0) == 0x80) {
      const int cp = 0xF000 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
      if (cp >= 0xFF01 && cp <= 0xFF5E) {  // '！' .. '～' stand for '!' .. '~'
        out += static_cast<char>(cp - 0xFF01 + '!');
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

// Bytes of the first n characters of well-formed UTF-8 (all of it when shorter).
std::size_t CharBytes(std::string_view s, std::size_t n) {
  std::size_t i = 0;
  for (; n > 0 && i < s.size(); --n) i += std::max<std::size_t>(1, Utf8SequenceLength(s, i));
  return std::min(i, s.size());
}

bool HasNonAscii(std::string_view s) {
  return std::any_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The stock code at the start of a word, also in full-width digits and
// letters; bytes is how much of the word it takes.
std::string CodeAtWord(std::string_view word, std::size_t& bytes) {
  const std::string code = CodeAt(HalfWidthAscii(word.substr(0, CharBytes(word, 5))));
  bytes = code.empty() ? 0 : CharBytes(word, 4);
  return code;
}

constexpr std::string_view kOpeners[] = {"(", "（", "[", "［", "【", "「", "<", "＜"};
constexpr std::string_view kClosers[] = {")", "）", "]", "］", "】", "」", ">", "＞"};
// Each opener at the same place as the bracket that closes it.
static_assert(std::size(kOpeners) == std::size(kClosers));

// A word without the brackets around it: "(日足)" is 日足, "【6758】" 6758.
std::string_view Unbracketed(std::string_view w) {
  for (bool more = true; more;) {
    more = false;
    for (std::string_view o : kOpeners)
      if (w.substr(0, o.size()) == o) w.remove_prefix(o.size()), more = true;
    for (std::string_view c : kClosers)
      if (w.size() >= c.size() && w.substr(w.size() - c.size()) == c)
        w.remove_suffix(c.size()), more = true;
  }
  return w;
}

// The words for a price series' period or kind, which a title or a file
// name may carry beside the stock's name.
constexpr std::string_view kPeriodWords[] = {"日足", "週足", "月足", "株価", "時系列"};

// w is one or more period words and nothing else ("日足", "株価時系列").
bool IsPeriodWord(std::string_view w) {
  if (w.empty()) return false;
  while (!w.empty()) {
    bool found = false;
    for (std::string_view p : kPeriodWords)
      if (w.substr(0, p.size()) == p) {
        w.remove_prefix(p.size());
        found = true;
        break;
      }
    if (!found) return false;
  }
  return true;
}

// The word names the code: the code alone, in brackets, or followed by a
// market or kind tag in ASCII ("6758", "(6758)", "6758.T").
bool IsCodeWord(std::string_view w, const std::string& code) {
  w = Unbracketed(w);
  std::size_t bytes = 0;
  const std::string c = CodeAtWord(w, bytes);
  return !c.empty() && (code.empty() || c == code) && !HasNonAscii(w.substr(bytes));
}

// What stays of a name word: a bracketed stock code inside it
// ("ソニー(6758)") and period words at its end ("(株)日足") taken out.
std::string NameWord(std::string_view w) {
  std::string out(w);
  for (std::size_t at = 0; at < out.size();) {
    std::size_t open = 0, close = 0, bytes = 0;
    for (std::string_view o : kOpeners)
      if (out.compare(at, o.size(), o) == 0) open = o.size();
    if (open && !CodeAtWord(std::string_view(out).substr(at + open), bytes).empty())
      for (std::string_view c : kClosers)
        if (out.compare(at + open + bytes, c.size(), c) == 0) close = c.size();
    if (close) {
      out.erase(at, open + bytes + close);
    } else {
      at += std::max<std::size_t>(1, Utf8SequenceLength(out, at));
    }
  }
  for (bool more = true; more;) {
    more = false;
    for (std::string_view p : kPeriodWords)
      if (out.size() > p.size() && out.compare(out.size() - p.size(), p.size(), p) == 0) {
        out.erase(out.size() - p.size());
        more = true;
      }
  }
  return out;
}

// Words split at blanks (also full-width ones) and at any of the ASCII marks.
std::vector<std::string_view> SplitWords(std::string_view text, std::string_view marks) {
  std::vector<std::string_view> words;
  std::string_view rest(text);
  const auto blankAt = [&](std::string_view r) -> std::size_t {
    if (r.substr(0, 3) == "\xE3\x80\x80") return 3;
    return r.front() == ' ' || marks.find(r.front()) != std::string_view::npos ? 1 : 0;
  };
  while (!rest.empty()) {
    if (const std::size_t b = blankAt(rest)) {
      rest.remove_prefix(b);
      continue;
    }
    std::size_t e = 0;
    while (e < rest.size() && blankAt(rest.substr(e)) == 0) ++e;
    words.push_back(rest.substr(0, e));
    rest.remove_prefix(e);
  }
  return words;
}

// A name from its words: period words and words naming the code left out,
// the rest joined by one space and cut to kMaxNameBytes.
std::string NameOfWords(const std::vector<std::string_view>& words, const std::string& code) {
  std::string joined;
  for (std::string_view w : words) {
    if (IsPeriodWord(Unbracketed(w)) || IsCodeWord(w, code)) continue;
    const std::string kept = NameWord(w);
    if (kept.empty() || IsPeriodWord(Unbracketed(kept))) continue;
    if (!joined.empty()) joined += ' ';
    joined += kept;
  }
  return LeftBytes(joined, kMaxNameBytes);
}

// What follows a code in the word that starts with it, when it is a name
// ("6758ソニー" gives ソニー); a tag in ASCII ("7203.T") is none.
std::string_view AfterCode(std::string_view word, std::size_t bytes) {
  std::string_view rest = word.substr(bytes);
  if (!HasNonAscii(rest)) return {};
  while (!rest.empty() && static_cast<unsigned char>(rest.front()) < 0x80 &&
         !IsAsciiAlnum(rest.front()) && rest.front() != '(' && rest.front() != '[')
    rest.remove_prefix(1);
  return rest;
}

}  // namespace

// Length of the well-formed UTF-8 sequence at s[i], 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char c = b(0);
  if (c < 0x80) return 1;
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;  // overlong
    if (c == 0xED) hi = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  if (b(1) < lo || b(1) > hi) return 0;
  for (std::size_t k = 2; k < len; ++k)
    if (b(k) < 0x80 || b(k) > 0xBF) return 0;
  return len;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    // Runs of ASCII go eight bytes at a time.
    if (i + 8 <= s.size()) {
      unsigned long long w;
      std::memcpy(&w, s.data() + i, 8);
      if ((w & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    const std::size_t len = Utf8SequenceLength(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

// UTF-8 that is safe to show: broken sequences and control characters become '?'.
std::string Printable(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = Utf8SequenceLength(s, i);
    if (len == 0 || (len == 1 && (static_cast<unsigned char>(s[i]) < 0x20 || s[i] == 0x7F))) {
      out += '?';
      i += len == 0 ? 1 : len;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
  return out;
}

std::string ToUtf8(std::string_view raw, Encoding enc) {
  return Printable(enc == Encoding::Cp932 ? std::string_view(Cp932ToUtf8(raw)) : raw);
}

// What a header line names, from its fields: the date and close columns
// when it names them, else what kind of line it is. fields holds at most
// kMaxHeaderFields.
HeaderColumns ColumnsOfHeader(std::span<const std::string_view> fields) {
  const std::size_t count = std::min(fields.size(), kMaxHeaderFields);
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t dateCol = kNone, closeCol = kNone, priceCol = kNone;
  int dates = 0, closes = 0, prices = 0, named = 0;
  bool yahooAdjusted = false;
  std::array<Word, kMaxHeaderFields> kinds{};
  for (std::size_t k = 0; k < count; ++k) {
    const std::string w = HeaderWord(fields[k]);
    kinds[k] = KindOf(w);
    switch (kinds[k]) {
      case Word::Date:
        if (dates++ == 0) dateCol = k;
        break;
      case Word::Close:
        if (closes++ == 0) closeCol = k;
        break;
      case Word::Price:
        if (prices++ == 0) priceCol = k;
        break;
      case Word::NotClose:
        if (w == "adjclose" || w == "adjustedclose") yahooAdjusted = true;
        break;
      case Word::Other:
        break;
    }
    if (kinds[k] != Word::Other) ++named;
  }
  if (closes == 0 && prices == 1) closeCol = priceCol, closes = 1;
  if (dates > 1 || closes > 1 || (closes == 0 && prices > 1)) return {HeaderKind::Ambiguous};
  if (dateCol != kNone && closeCol != kNone) {
    HeaderColumns known{HeaderKind::Known, dateCol, closeCol, yahooAdjusted};
    // The other prices of the day, for the price store; never the close's.
    const auto named = [&](std::initializer_list<std::string_view> words) {
      std::size_t col = kNone;
      int found = 0;
      for (std::size_t k = 0; k < count; ++k)
        for (std::string_view w : words)
          if (HeaderWord(fields[k]) == w) col = k, ++found;
      return found == 1 ? col : kNone;
    };
    known.openCol = named({"open", "openprice", "始値"});
    known.highCol = named({"high", "highprice", "高値"});
    known.lowCol = named({"low", "lowprice", "安値"});
    known.volumeCol = named({"volume", "vol", "出来高"});
    return known;
  }
  if (count == 2 && kinds[1] != Word::NotClose && kinds[0] != Word::NotClose &&
      kinds[1] != Word::Date)
    return {HeaderKind::TwoColumns};
  return {named > 0 ? HeaderKind::Unknown : HeaderKind::None};
}

// Code and name from a title line such as "7203 トヨタ自動車 東証プライム",
// "7203,トヨタ自動車" or "6758 ソニーグループ(株) 日足": the code when the
// first word is one (also in full-width digits), the name from the following
// words up to a market word, without the code and the period words.
void ReadTitle(std::string_view raw, Encoding enc, std::string& code, std::string& name) {
  std::string text = ToUtf8(raw.substr(0, std::min(raw.size(), kMaxHeaderBytes)), enc);
  for (char& c : text)
    if (c == ',' || c == ';' || c == '\t' || c == '"') c = ' ';
  std::vector<std::string_view> words = SplitWords(text, "");
  if (!words.empty()) {
    std::size_t bytes = 0;
    code = CodeAtWord(words[0], bytes);
    if (!code.empty()) {
      const std::string_view after = AfterCode(words[0], bytes);
      if (after.empty())
        words.erase(words.begin());
      else
        words[0] = after;
    }
  }
  const auto market = std::find_if(words.begin(), words.end(), IsMarketWord);
  words.erase(market, words.end());
  name = NameOfWords(words, code);
}

// Code and name from a file's name: the code as CodeAt finds it at the
// start, the name from the words after it that hold other than ASCII
// ("6758_ソニー.csv" gives ソニー, "トヨタ自動車.csv" トヨタ自動車), without the
// extension, a copy mark "(1)" and period words. Words in ASCII alone
// ("7203.T.csv", "7203_daily.csv", "prices.csv") name nothing: they are tags,
// dates and download names far more often than stock names.
void ReadFileName(std::string_view base, std::string& code, std::string& name) {
  code = CodeAt(base);
  name.clear();
  if (!IsValidUtf8(base) || !HasNonAscii(base) || std::any_of(base.begin(), base.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
      }))
    return;
  std::string_view stem = base;
  if (const auto dot = stem.rfind('.');
      dot != std::string_view::npos && dot > 0 && stem.size() - dot - 1 >= 1 &&
      stem.size() - dot - 1 <= 4 &&
      std::all_of(stem.begin() + static_cast<long>(dot) + 1, stem.end(), IsAsciiAlnum))
    stem = stem.substr(0, dot);
  // A copy mark as browsers add it: "ソニー (1)", "ソニー(2)".
  if (!stem.empty() && stem.back() == ')') {
    const auto open = stem.rfind('(');
    if (open != std::string_view::npos && open + 2 < stem.size() && stem.size() - open - 2 <= 3 &&
        std::all_of(stem.begin() + static_cast<long>(open) + 1, stem.end() - 1, IsDigit))
      stem = stem.substr(0, open);
  }
  if (!code.empty()) stem.remove_prefix(std::min<std::size_t>(4, stem.size()));
  std::vector<std::string_view> words;
  for (std::string_view w : SplitWords(stem, "_.-"))
    if (HasNonAscii(w)) words.push_back(w);
  name = NameOfWords(words, code);
}

}  // namespace tavrine::price_words
