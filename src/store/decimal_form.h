// Fast forms of the decimal text that the indicator passes write, with the
// value a reader gets back when it parses that text. Both agree exactly with
// FloatToStr / StrToFloat; the fast path only saves the printf/strtold work
// for the thousands of cells one extraction writes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrine {

// Text of v in the general 15-digit form (as FloatToStr) and, in back, the
// value StrToFloat gives for that text.
std::string DecimalText(long double v, long double& back);

// Room DecimalChars needs.
inline constexpr std::size_t kDecimalChars = 32;
// The value StrToFloat gives for FloatToStr(v), for 0 and the plain form
// (1e-4 <= |v| < 1e15); false for any other value, which then needs the text.
bool DecimalBack(long double v, long double& back);
// FloatToStr(v) written into buf, its length returned, for the values
// DecimalBack takes; 0 for any other value.
std::size_t DecimalChars(long double v, char* buf);

// Round(sum / w) for an integer sum, the quotient taken exactly.
long long RoundQuotient(long long sum, long long w);

// Round of a price cell read as a decimal number, for the plain forms
// "123", "-123", "123.45" (up to 9 integer and 6 fraction digits); false for
// any other text, which then takes the general parser.
bool TryRoundPrice(std::string_view s, long long& yen);

// Strict integer read as StrToInt does it, without raising: false where
// StrToInt would raise its conversion error.
bool TryStrictInt(std::string_view s, int& v);

}  // namespace tavrine
