// Half-to-even rounding written out by hand, so that the tests' reference
// values do not lean on the engine's own Round.
#pragma once

#include <cmath>

namespace tavrine::testing {

inline long long HalfEven(long double x) {
  const long double f = std::floor(x);
  const long double d = x - f;
  if (d > 0.5L) return static_cast<long long>(f) + 1;
  if (d < 0.5L) return static_cast<long long>(f);
  return std::fmod(f, 2.0L) == 0 ? static_cast<long long>(f) : static_cast<long long>(f) + 1;
}

}  // namespace tavrine::testing
