// Fast forms of the decimal text that the indicator passes write, with the
// value a reader gets back when it parses that text. Both agree exactly with
// FloatToStr / StrToFloat; the fast path only saves the printf/strtold work
// for the thousands of cells one extraction writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrine {

// Text of v in the general 15-digit form (as FloatToStr) and, in back, the
// value StrToFloat gives for that text.
std::string DecimalText(long double v, long double& back);

// A value in the plain form of that text (1e-4 <= |v| < 1e15, no exponent):
// its 15 significant digits rounded half to even as digits in [1e14, 1e15),
// the decimal exponent of the first one and the sign.
struct PlainDecimal {
  std::uint64_t digits = 0;
  std::int8_t exp = 0;
  bool neg = false;
};
// Room PlainDecimalChars needs.
inline constexpr std::size_t kDecimalChars = 32;
// v's 15-digit decimal when FloatToStr writes it in the plain form; false
// for 0 and any value written with an exponent.
bool ToPlainDecimal(long double v, PlainDecimal& d);
// The same of a double, read from its own bits.
bool ToPlainDecimal(double v, PlainDecimal& d);
// True when s is exactly FloatToStr of a plain-form value with a fraction
// ("-12.5", "0.0001"): no leading or trailing zeros, up to 15 significant
// digits; d is then that decimal.
bool ParsePlainDecimal(std::string_view s, PlainDecimal& d);
// The value StrToFloat gives for the decimal's text.
long double PlainDecimalValue(const PlainDecimal& d);
// The decimal's text (FloatToStr of its value) written into buf; its length.
std::size_t PlainDecimalChars(const PlainDecimal& d, char* buf);

// v as a pass keeps what it writes: the value StrToFloat gives for
// FloatToStr(v) and, for the plain form, its digits, so a table stores the
// cell without working them out again.
struct DecimalValue {
  long double value = 0;  // v
  long double back = 0;   // StrToFloat(FloatToStr(v))
  PlainDecimal digits;
  bool plain = false;  // false for 0 and the exponent form
};
DecimalValue ToDecimalValue(long double v);
// The same of a double (the passes' double lines), read from its own bits.
DecimalValue ToDecimalValue(double v);

// Round(sum / w) for an integer sum, the quotient taken exactly. Inline, so
// that a constant w divides by multiplication.
inline long long RoundQuotient(long long sum, long long w) {
  long long q = sum / w;  // toward zero
  long long r = sum % w;  // same sign as sum
  if (r < 0) {
    r = -r;
    if (2 * r > w || (2 * r == w && (q & 1))) --q;
  } else if (2 * r > w || (2 * r == w && (q & 1))) {
    ++q;
  }
  return q;
}

// Round of a price cell read as a decimal number, for the plain forms
// "123", "-123", "123.45" (up to 9 integer and 6 fraction digits); false for
// any other text, which then takes the general parser.
bool TryRoundPrice(std::string_view s, long long& yen);

}  // namespace tavrine
