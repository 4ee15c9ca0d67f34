// Whether the tests run under AddressSanitizer. The exhaustive comparisons
// (every stock, term, direction and day) take minutes there, ten times their
// normal time; under the sanitizer they walk a sample that still reaches
// every path, and the normal build walks them all.
#pragma once

namespace tavrine {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderSanitizer = true;
#else
inline constexpr bool kUnderSanitizer = false;
#endif
#else
inline constexpr bool kUnderSanitizer = false;
#endif

}  // namespace tavrine
