#include "store/text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "store/codec.h"

namespace tavrine {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The conversion error: the text as typed, what it was meant to be and a
// text that would have been read.
std::string Unreadable(std::string_view s, const char* as, const char* example) {
  return "「" + std::string(s) + "」は" + as + "として読めません（例 " + example + "）";
}

}  // namespace

std::string HalfWidth(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = [&](std::size_t k) {
      return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u;
    };
    // U+FF01..U+FF3F are EF BC 81..BF, U+FF40..U+FF5E are EF BD 80..9E.
    if (b(0) == 0xEF && b(1) == 0xBC && b(2) >= 0x81 && b(2) <= 0xBF) {
      out += static_cast<char>(0x21 + (b(2) - 0x81));
      i += 2;
    } else if (b(0) == 0xEF && b(1) == 0xBD && b(2) >= 0x80 && b(2) <= 0x9E) {
      out += static_cast<char>(0x60 + (b(2) - 0x80));
      i += 2;
    } else if (b(0) == 0xE3 && b(1) == 0x80 && b(2) == 0x80) {  // ideographic space
      out += ' ';
      i += 2;
    } else if (b(0) == 0xE2 &&
               ((b(1) == 0x88 && b(2) == 0x92) ||                     // minus sign
                (b(1) == 0x80 && (b(2) == 0x90 || b(2) == 0x93)))) {  // hyphen, dash
      out += '-';
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

namespace {

bool TryPlainFloat(std::string_view s, long double& v);

}  // namespace

bool TryStrictInt(std::string_view s, int& v) {
  std::size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  if (i == s.size()) return false;
  long long x = 0;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return false;
    x = x * 10 + (s[i] - '0');
    if (x > 2147483648LL) return false;
  }
  if (neg) x = -x;
  if (x > std::numeric_limits<int>::max() || x < std::numeric_limits<int>::min()) return false;
  v = static_cast<int>(x);
  return true;
}

int StrToInt(std::string_view s) {
  int v = 0;
  if (!TryStrictInt(s, v)) throw ConversionError(Unreadable(s, "整数", "10"));
  return v;
}

bool TryStrToFloat(std::string_view s, long double& v) { return TryPlainFloat(s, v); }

namespace {

bool TryPlainFloat(std::string_view s, long double& v) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  std::string_view t = s.substr(b, e - b);
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  }
  bool ok = digits > 0;
  if (ok && i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t ed = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++ed;
    ok = ed > 0;
  }
  if (!ok || i != t.size()) return false;
  std::string buf(t);
  errno = 0;
  v = std::strtold(buf.c_str(), nullptr);
  return std::isfinite(v);
}

}  // namespace

long double StrToFloat(std::string_view s) {
  long double v = 0;
  if (!TryStrToFloat(s, v)) throw ConversionError(Unreadable(s, "数値", "1.05"));
  return v;
}

std::string IntToStr(long long v) {
  char buf[kIntChars];
  return std::string(buf, IntChars(v, buf));
}

std::size_t IntChars(long long v, char* buf) {
  return static_cast<std::size_t>(std::to_chars(buf, buf + kIntChars, v).ptr - buf);
}

std::string FloatToStr(long double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  if (v == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15Lg", v);
  std::string s(buf);
  auto epos = s.find('e');
  if (epos == std::string::npos) return s;
  // "1.5e+20" -> "1.5E20", "1e-05" -> "1E-5"
  std::string mant = s.substr(0, epos);
  std::string exp = s.substr(epos + 1);
  bool neg = !exp.empty() && exp[0] == '-';
  std::size_t k = (!exp.empty() && (exp[0] == '-' || exp[0] == '+')) ? 1 : 0;
  while (k + 1 < exp.size() && exp[k] == '0') ++k;
  return mant + "E" + (neg ? "-" : "") + exp.substr(k);
}

namespace {
// A value that has no 64-bit integer (inf, nan, a price like 1e30) stops the
// chain like any other bad number instead of producing an arbitrary integer.
long long ToInteger(long double r) {
  if (!(r > -9.2e18L && r < 9.2e18L)) throw std::range_error("Invalid floating point operation");
  return static_cast<long long>(r);
}
}  // namespace

long long Round(long double v) {
  // In the default round-to-nearest mode this is half-to-even on the exact
  // value, in one instruction.
  if (v > -9.2e18L && v < 9.2e18L) return std::llrintl(v);
  return ToInteger(std::nearbyintl(v));
}

long long Trunc(long double v) { return ToInteger(std::truncl(v)); }

namespace {

// Bytes one UTF-8 sequence starting at s[i] takes in Shift-JIS, and its UTF-8
// length: as the file holds it, so a kept raw byte is one byte, a recorded
// duplicate code two, a character written as '?' one.
void CharWidth(std::string_view s, std::size_t i, std::size_t& utf8Len, std::size_t& sjisLen) {
  if (static_cast<unsigned char>(s[i]) < 0x80) {
    utf8Len = 1;
    sjisLen = 1;
    return;
  }
  sjisLen = Cp932CharBytes(s, i, utf8Len);
}

}  // namespace

std::string LeftBytes(std::string_view s, std::size_t n) { return MidBytes(s, 1, n); }

std::string MidBytes(std::string_view s, std::size_t pos, std::size_t count) {
  if (pos < 1) pos = 1;
  std::size_t bytePos = 1;  // Shift-JIS position of s[i]
  std::size_t i = 0;
  std::size_t from = std::string::npos, to = s.size();
  const std::size_t end = pos + count;  // first Shift-JIS position not taken
  while (i < s.size()) {
    std::size_t ul, sl;
    CharWidth(s, i, ul, sl);
    if (from == std::string::npos && bytePos >= pos) from = i;
    if (bytePos + sl > end) {
      to = i;
      break;
    }
    bytePos += sl;
    i += ul;
  }
  if (from == std::string::npos) return {};
  if (to < from) return {};
  return std::string(s.substr(from, to - from));
}

std::size_t ByteLength(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t ul, sl;
    CharWidth(s, i, ul, sl);
    n += sl;
    i += ul;
  }
  return n;
}

int DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int unixDays = era * 146097 + static_cast<int>(doe) - 719468;
  return unixDays + 25569;  // 1899-12-30 is 25569 days before 1970-01-01
}

void CivilFromDays(int days, int& y, int& m, int& d) {
  int z = days - 25569 + 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe) + era * 400 + (m <= 2);
}

bool TryParseDate(std::string_view s, int& days) {
  int part[3] = {0, 0, 0};
  int len[3] = {0, 0, 0};
  int k = 0;
  for (char c : s) {
    if (c == '/') {
      if (++k > 2) return false;
    } else if (IsDigit(c)) {
      if (++len[k] > 4) return false;
      part[k] = part[k] * 10 + (c - '0');
    } else {
      return false;
    }
  }
  if (k != 2 || len[0] == 0 || len[1] == 0 || len[2] == 0 || len[1] > 2 || len[2] > 2) return false;
  const int y = part[0], m = part[1], d = part[2];
  if (y < 1 || m < 1 || m > 12 || d < 1) return false;
  static const int mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  const int maxd = mdays[m - 1] + (m == 2 && leap ? 1 : 0);
  if (d > maxd) return false;
  days = DaysFromCivil(y, m, d);
  return true;
}

int StrToDate(std::string_view s) {
  int days = 0;
  if (!TryParseDate(s, days)) throw ConversionError(Unreadable(s, "日付", "2024/01/05"));
  return days;
}

namespace {

bool ValidDay(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= mdays[m - 1] + (m == 2 && leap ? 1 : 0);
}

struct Era {
  const char* name;
  char letter;
  int y, m, d;  // first day
};
// Newest first: the Japanese eras a date is commonly written in.
constexpr Era kEras[] = {{"令和", 'R', 2019, 5, 1},
                         {"平成", 'H', 1989, 1, 8},
                         {"昭和", 'S', 1926, 12, 25},
                         {"大正", 'T', 1912, 7, 30}};

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

}  // namespace

bool TryReadDate(std::string_view typed, int& days) {
  std::string half = HalfWidth(typed);
  std::string_view s = half;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (TryParseDate(s, days)) return true;

  const Era* era = nullptr;
  for (const Era& e : kEras) {
    if (StartsWith(s, e.name)) {
      s.remove_prefix(std::string_view(e.name).size());
    } else if (!s.empty() && (s.front() == e.letter || s.front() == e.letter - 'A' + 'a')) {
      s.remove_prefix(1);
    } else {
      continue;
    }
    era = &e;
    break;
  }

  // Up to three numbers; between them one of / - . or 年 and 月; 日 may close.
  int part[3] = {0, 0, 0};
  std::size_t len[3] = {0, 0, 0};
  int k = 0;
  if (era && StartsWith(s, "元")) {  // the first year of an era
    part[0] = 1;
    len[0] = 1;
    s.remove_prefix(std::string_view("元").size());
  }
  bool kanji = false;
  while (!s.empty()) {
    const char c = s.front();
    if (IsDigit(c)) {
      if (++len[k] > 8) return false;
      part[k] = part[k] * 10 + (c - '0');
      s.remove_prefix(1);
    } else if (k < 2 && len[k] > 0 && (c == '/' || c == '-' || c == '.') && !kanji) {
      ++k;
      s.remove_prefix(1);
    } else if (k == 0 && len[0] > 0 && StartsWith(s, "年")) {
      kanji = true;
      ++k;
      s.remove_prefix(std::string_view("年").size());
    } else if (k == 1 && len[1] > 0 && kanji && StartsWith(s, "月")) {
      ++k;
      s.remove_prefix(std::string_view("月").size());
    } else if (k == 2 && len[2] > 0 && kanji && s == "日") {
      s.remove_prefix(s.size());
    } else {
      return false;
    }
  }
  int y = 0, m = 0, d = 0;
  if (k == 0) {
    // 20240105: eight digits, year first.
    if (era || len[0] != 8) return false;
    y = part[0] / 10000;
    m = part[0] / 100 % 100;
    d = part[0] % 100;
  } else if (k == 2 && len[1] > 0 && len[1] <= 2 && len[2] > 0 && len[2] <= 2) {
    if (era) {
      if (len[0] > 2 || part[0] < 1) return false;
      y = era->y + part[0] - 1;
    } else {
      if (len[0] != 4) return false;
      y = part[0];
    }
    m = part[1];
    d = part[2];
  } else {
    return false;
  }
  if (!ValidDay(y, m, d)) return false;
  const int day = DaysFromCivil(y, m, d);
  if (era && day < DaysFromCivil(era->y, era->m, era->d)) return false;
  days = day;
  return true;
}

int ReadDate(std::string_view typed) {
  int days = 0;
  if (!TryReadDate(typed, days)) throw ConversionError(Unreadable(typed, "日付", "2024/01/05"));
  return days;
}

std::string DateToStr(int days) {
  int y, m, d;
  CivilFromDays(days, y, m, d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", y, m, d);
  return buf;
}

std::string LocalTimeText(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[64];
  return std::string(buf, std::strftime(buf, sizeof buf, format, &local));
}

std::string StockCodeForm(std::string plain) {
  if (plain.size() != 4) return {};
  for (int k = 0; k < 3; ++k)
    if (plain[k] < '0' || plain[k] > '9') return {};
  char& last = plain[3];
  if (last >= 'a' && last <= 'z') last = static_cast<char>(last - 'a' + 'A');
  if (!((last >= '0' && last <= '9') || (last >= 'A' && last <= 'Z'))) return {};
  return plain;
}

}  // namespace tavrine
