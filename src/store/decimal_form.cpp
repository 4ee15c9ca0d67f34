#include "store/decimal_form.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "store/text.h"

namespace tavrine {

namespace {

using u128 = unsigned __int128;

constexpr std::uint64_t kPow10[19] = {1ULL,
                                      10ULL,
                                      100ULL,
                                      1000ULL,
                                      10000ULL,
                                      100000ULL,
                                      1000000ULL,
                                      10000000ULL,
                                      100000000ULL,
                                      1000000000ULL,
                                      10000000000ULL,
                                      100000000000ULL,
                                      1000000000000ULL,
                                      10000000000000ULL,
                                      100000000000000ULL,
                                      1000000000000000ULL,
                                      10000000000000000ULL,
                                      100000000000000000ULL,
                                      1000000000000000000ULL};

std::uint64_t Pow5(int k) { return kPow10[k] >> k; }

// floor(m * 2^e * 10^k) and whether the dropped part is below, at or above
// one half (-1, 0, 1), for 0 <= k <= 18.
std::uint64_t Scaled(std::uint64_t m, int e, int k, int& half) {
  u128 p = static_cast<u128>(m) * Pow5(k);
  const int s = e + k;
  half = -1;
  if (s >= 0) return static_cast<std::uint64_t>(p << s);
  const int sh = -s;
  if (sh >= 127) return 0;
  const u128 q = p >> sh;
  const u128 rem = p - (q << sh);
  const u128 h = static_cast<u128>(1) << (sh - 1);
  half = rem < h ? -1 : rem == h ? 0 : 1;
  return static_cast<std::uint64_t>(q);
}

// Binary exponents E (a in [2^E, 2^(E+1))) of the values FifteenDigits takes.
constexpr int kMinBinary = -14;  // 1e-4 >= 2^-14
constexpr int kMaxBinary = 49;   // 1e15 < 2^50

// floor(E * log10(2)): the decimal exponent of 2^E.
constexpr int DecimalExponentOf(int E) {
  return static_cast<int>((static_cast<long long>(E) * 78913) >> 18);
}

// For each binade [2^E, 2^(E+1)): the least 64-bit mantissa m (a = m * 2^(E-63))
// with a >= 10^(DecimalExponentOf(E) + 1), or 2^64 when no value of the binade
// reaches it. A binade spans less than one decade, so a value's decimal
// exponent is DecimalExponentOf(E) or one more.
struct NextPowerTable {
  u128 m[kMaxBinary - kMinBinary + 1] = {};
  constexpr NextPowerTable() {
    for (int E = kMinBinary; E <= kMaxBinary; ++E) {
      const int j = DecimalExponentOf(E) + 1;
      u128 t = 0;
      if (j >= 0) {
        t = static_cast<u128>(kPow10[j]) << (63 - E);
      } else {
        const u128 num = static_cast<u128>(1) << (63 - E);
        const u128 den = kPow10[-j];
        t = (num + den - 1) / den;
      }
      const u128 limit = static_cast<u128>(1) << 64;
      m[E - kMinBinary] = t > limit ? limit : t;
    }
  }
};
constexpr NextPowerTable kNextPower;

// 15 significant digits of a = m * 2^(E-63) (m with its leading bit set),
// a in [1e-4, 1e15), rounded half to even, as an integer N in [1e14, 1e15)
// and the decimal exponent x of its first digit.
bool FifteenDigits(std::uint64_t m, int E, std::uint64_t& n, int& x) {
  if (E < kMinBinary || E > kMaxBinary) return false;
  x = DecimalExponentOf(E);
  if (static_cast<u128>(m) >= kNextPower.m[E - kMinBinary]) ++x;
  // a lies in [10^x, 10^(x+1)), so its scaled floor has exactly 15 digits.
  const int k = 14 - x;
  if (k < 0 || k > 18) return false;
  int half = -1;
  n = Scaled(m, E - 63, k, half);
  if (half > 0 || (half == 0 && (n & 1))) ++n;
  if (n == kPow10[15]) {
    n = kPow10[14];
    ++x;
  }
  return true;
}

// The plain form's digits from the mantissa and binary exponent of |v|.
bool PlainOf(bool inRange, std::uint64_t m, int E, bool neg, PlainDecimal& d) {
  std::uint64_t n = 0;
  int x = 0;
  if (!inRange || !FifteenDigits(m, E, n, x) || x > 14 || x < -4) return false;
  d.digits = n;
  d.exp = static_cast<std::int8_t>(x);
  d.neg = neg;
  return true;
}

}  // namespace

bool ToPlainDecimal(long double v, PlainDecimal& d) {
  // The 80-bit extended layout: a 64-bit mantissa with its leading bit, then
  // 15 bits of biased exponent.
  static_assert(std::numeric_limits<long double>::digits == 64,
                "80-bit extended precision expected");
  const long double a = v < 0 ? -v : v;
  std::uint64_t m = 0;
  std::uint16_t se = 0;
  std::memcpy(&m, &a, sizeof m);
  std::memcpy(&se, reinterpret_cast<const char*>(&a) + 8, sizeof se);
  return PlainOf(a >= 1e-4L && a < 1e15L, m, static_cast<int>(se & 0x7FFF) - 16383, v < 0, d);
}

bool ToPlainDecimal(double v, PlainDecimal& d) {
  // The double's bits, read without going through the extended form: its
  // 52 stored mantissa bits below the leading one.
  static_assert(std::numeric_limits<double>::digits == 53, "IEEE double expected");
  std::uint64_t b = 0;
  std::memcpy(&b, &v, sizeof b);
  const int biased = static_cast<int>((b >> 52) & 0x7FF);
  const std::uint64_t m = ((b & ((1ULL << 52) - 1)) | (1ULL << 52)) << 11;
  const double a = v < 0 ? -v : v;
  return PlainOf(a >= 1e-4L && a < 1e15L, m, biased - 1023, v < 0, d);
}

bool ParsePlainDecimal(std::string_view s, PlainDecimal& d) {
  std::size_t i = 0;
  d.neg = !s.empty() && s[0] == '-';
  if (d.neg) i = 1;
  const std::size_t point = s.find('.', i);
  if (point == std::string_view::npos || point == i || point + 1 >= s.size()) return false;
  if (s.back() == '0') return false;  // a trailing zero of the fraction
  // The whole part: "0" or digits without a leading zero.
  const std::size_t whole = point - i;
  if (whole > 1 && s[i] == '0') return false;
  std::uint64_t n = 0;
  int count = 0;  // significant digits
  int x = 0;      // decimal exponent of the first one
  for (std::size_t k = i; k < s.size(); ++k) {
    if (k == point) continue;
    const char ch = s[k];
    if (ch < '0' || ch > '9') return false;
    if (count == 0 && ch == '0') continue;  // zeros before the first significant digit
    if (count == 0) x = k < point ? static_cast<int>(point - k) - 1 : -static_cast<int>(k - point);
    if (++count > 15) return false;
    n = n * 10 + static_cast<std::uint64_t>(ch - '0');
  }
  if (count == 0 || x < -4 || x > 14) return false;
  d.digits = n * kPow10[15 - count];
  d.exp = static_cast<std::int8_t>(x);
  return true;
}

long double PlainDecimalValue(const PlainDecimal& d) {
  // One correctly rounded division of two exact values gives the nearest
  // extended value to the text, as the decimal parser does.
  const long double v =
      static_cast<long double>(d.digits) / static_cast<long double>(kPow10[14 - d.exp]);
  return d.neg ? -v : v;
}

std::size_t PlainDecimalChars(const PlainDecimal& d, char* buf) {
  // The 15 digits, the last alone and the others two at a time.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char digits[16];
  std::uint64_t t = d.digits;
  digits[14] = static_cast<char>('0' + t % 10);
  t /= 10;
  for (int i = 12; i >= 0; i -= 2) {
    std::memcpy(digits + i, kPairs + 2 * (t % 100), 2);
    t /= 100;
  }
  int last = 14;
  while (last > 0 && digits[last] == '0') --last;
  const int x = d.exp;
  std::size_t len = 0;
  if (d.neg) buf[len++] = '-';
  if (x >= 0) {
    for (int i = 0; i <= x; ++i) buf[len++] = digits[i];
    if (last > x) {
      buf[len++] = '.';
      for (int i = x + 1; i <= last; ++i) buf[len++] = digits[i];
    }
  } else {
    buf[len++] = '0';
    buf[len++] = '.';
    for (int i = 0; i < -x - 1; ++i) buf[len++] = '0';
    for (int i = 0; i <= last; ++i) buf[len++] = digits[i];
  }
  return len;
}

std::string DecimalText(long double v, long double& back) {
  if (v == 0) {
    back = 0;
    return "0";
  }
  PlainDecimal d;
  if (!ToPlainDecimal(v, d)) {
    std::string s = FloatToStr(v);
    back = StrToFloat(s);
    return s;
  }
  back = PlainDecimalValue(d);
  char buf[kDecimalChars];
  return std::string(buf, PlainDecimalChars(d, buf));
}

namespace {

template <class Float>
DecimalValue DecimalValueOf(Float v) {
  DecimalValue d;
  d.value = v;
  if (v == 0) return d;
  d.plain = ToPlainDecimal(v, d.digits);
  d.back = d.plain ? PlainDecimalValue(d.digits) : StrToFloat(FloatToStr(v));
  return d;
}

}  // namespace

DecimalValue ToDecimalValue(long double v) { return DecimalValueOf(v); }
DecimalValue ToDecimalValue(double v) { return DecimalValueOf(v); }

bool TryRoundPrice(std::string_view s, long long& yen) {
  std::size_t i = 0;
  const bool neg = !s.empty() && s[0] == '-';
  if (neg) i = 1;
  long long whole = 0;
  int digits = 0;
  // More digits than the fast path takes go to the general parser before
  // they could overflow the accumulators.
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
    if (digits == 9) return false;
    whole = whole * 10 + (s[i] - '0');
  }
  if (digits == 0) return false;
  long long frac = 0, half = 5;
  int fracDigits = 0;
  if (i < s.size()) {
    if (s[i] != '.') return false;
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++fracDigits) {
      if (fracDigits == 6) return false;
      frac = frac * 10 + (s[i] - '0');
      if (fracDigits > 0) half *= 10;
    }
    if (i != s.size() || fracDigits == 0 || fracDigits > 6) return false;
  }
  // The fraction against one half, compared exactly in its own digits; the
  // parsed extended value lies far closer to the decimal than any of these
  // digits can move it.
  if (fracDigits > 0 && (frac > half || (frac == half && (whole & 1)))) ++whole;
  yen = neg ? -whole : whole;
  return true;
}

}  // namespace tavrine
