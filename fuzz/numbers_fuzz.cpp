// Number and date texts. The input is read as a cell text by every parser;
// its first bytes also build the values whose texts must read back.
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "store/decimal_form.h"
#include "store/text.h"

using namespace tavrine;

namespace {

// The input's bytes from offset on as an integer, zero past the end.
std::uint64_t Bytes(const std::uint8_t* data, std::size_t size, std::size_t offset, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v = v << 8 | (offset + i < size ? data[offset + i] : 0);
  return v;
}

// Significant digits of a decimal text's mantissa.
std::size_t SignificantDigits(std::string_view t) {
  std::string d;
  for (char c : t.substr(0, t.find_first_of("eE")))
    if (c >= '0' && c <= '9') d += c;
  const auto first = d.find_first_not_of('0');
  return first == d.npos ? 0 : d.find_last_not_of('0') - first + 1;
}

// The fast decimal form agrees with the general one, and rounding stays
// within half of the value.
void CheckValue(long double x) {
  long double back = 0;
  const std::string text = DecimalText(x, back);
  FUZZ_CHECK(text == FloatToStr(x));
  FUZZ_CHECK(back == StrToFloat(text));
  if (std::fabs(x) < 1e18L) {
    const long long r = Round(x), t = Trunc(x);
    FUZZ_CHECK(std::fabs(x - static_cast<long double>(r)) <= 0.5L);
    FUZZ_CHECK(std::fabs(x - static_cast<long double>(t)) < 1 &&
               std::fabs(static_cast<long double>(t)) <= std::fabs(x));
  } else {
    try {
      (void)Round(x);
      (void)Trunc(x);
    } catch (const std::range_error&) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // The input as a cell: a whole number read writes back to text that reads
  // the same; the non-raising price reader agrees with the raising one.
  int fastInt = 0;
  if (TryStrictInt(text, fastInt)) {
    int again = 0;
    FUZZ_CHECK(TryStrictInt(IntToStr(fastInt), again) && again == fastInt);
  }
  long long yen = 0;
  const bool priceOk = TryRoundPrice(text, yen);
  try {
    const long double x = StrToFloat(text);
    FUZZ_CHECK(!priceOk || yen == Round(x));
    CheckValue(x);
    if (SignificantDigits(text) <= 15 && (x == 0 || std::fabs(x) >= LDBL_MIN))
      FUZZ_CHECK(StrToFloat(FloatToStr(x)) == x);
  } catch (const ConversionError&) {
    FUZZ_CHECK(!priceOk);
  }
  int days = 0;
  if (TryParseDate(text, days)) FUZZ_CHECK(StrToDate(DateToStr(days)) == days);

  // Values built from the first bytes.
  const std::uint64_t m = Bytes(data, size, 0, 8);
  const int e = static_cast<int>(Bytes(data, size, 8, 1)) % 80 - 90;  // about 1e-8 .. 1e15
  const long double any = std::ldexp(static_cast<long double>(m | 1ULL << 63), e);
  CheckValue(Bytes(data, size, 9, 1) & 1 ? -any : any);

  const long double decimal =
      StrToFloat(IntToStr(static_cast<long long>(m % 1000000000000000ULL)) + "E" +
                 IntToStr(static_cast<int>(Bytes(data, size, 8, 1)) - 128));
  FUZZ_CHECK(StrToFloat(FloatToStr(decimal)) == decimal);

  const auto v32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(m));
  FUZZ_CHECK(StrToInt(IntToStr(v32)) == v32);

  static const int firstDay = DaysFromCivil(1, 1, 1), lastDay = DaysFromCivil(9999, 12, 31);
  const int d = firstDay + static_cast<int>(m % static_cast<std::uint64_t>(lastDay - firstDay + 1));
  FUZZ_CHECK(StrToDate(DateToStr(d)) == d);

  // Rounded quotients of the window sums, against the extended division.
  const auto sum = static_cast<long long>(m >> 14) - (1LL << 49);
  const long long w = 1 + static_cast<long long>(Bytes(data, size, 8, 2) % 1024);
  FUZZ_CHECK(RoundQuotient(sum, w) ==
             Round(static_cast<long double>(sum) / static_cast<long double>(w)));
  return 0;
}
