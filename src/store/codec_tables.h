// The character tables of the file encodings, as the codec (codec.cpp) reads
// them and the generator (codec_tables_main.cpp) writes them at build time from
// glibc's converters, and the pieces both use.
//
// Every byte sequence decodes to text that encodes back to the same bytes:
//   - a character whose usual code is the sequence decodes to the character;
//   - a "duplicate", a code whose character the encoder writes with another
//     code (NEC and IBM extensions that repeat each other), decodes to a
//     private-use character that records the code;
//   - a byte that starts no character decodes to U+F780+byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrine::codec_tables {

constexpr char32_t kRawBase = 0xF780;  // U+F780..U+F87F: a byte that is no character
constexpr char32_t kBad = 0xFFFFFFFF;  // a UTF-8 step that is no character either file can hold

// Shift-JIS duplicates: U+F000 + lead index * 0xC0 + (trail - 0x40),
// U+F000..U+F47F, clear of U+E000..U+E757 (the user area F040..F9FC).
constexpr char32_t kSjisDupBase = 0xF000;
constexpr unsigned char kSjisDupLeads[] = {0x87, 0xED, 0xEE, 0xFA, 0xFB, 0xFC};
constexpr std::size_t kSjisDupSlots = sizeof kSjisDupLeads * 0xC0;

// EUC-JP duplicates: U+F500 + row index * 0x60 + (last byte - 0xA0),
// U+F500..U+F67F; a row is a lead byte or 0x8F with the second byte.
constexpr char32_t kEucDupBase = 0xF500;
constexpr unsigned kEucDupRows[] = {0xAD, 0x8FA2, 0x8FF3, 0x8FF4};
constexpr std::size_t kEucDupSlots = sizeof kEucDupRows / sizeof kEucDupRows[0] * 0x60;

// A short byte string packed into 32 bits: its length in the low byte and up
// to three bytes above it. 0 is "nothing". Decoded characters are packed
// UTF-8, encoded EUC-JP characters packed EUC-JP.
using Packed = std::uint32_t;

inline Packed PackBytes(std::string_view b) {
  Packed p = static_cast<Packed>(b.size());
  for (std::size_t k = 0; k < b.size() && k < 3; ++k)
    p |= static_cast<Packed>(static_cast<unsigned char>(b[k])) << (8 * (k + 1));
  return p;
}

inline std::string Utf8Of(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

inline Packed PackChar(char32_t cp) { return PackBytes(Utf8Of(cp)); }

inline bool Cont(std::string_view s, std::size_t i, unsigned lo = 0x80, unsigned hi = 0xBF) {
  if (i >= s.size()) return false;
  const unsigned char c = static_cast<unsigned char>(s[i]);
  return c >= lo && c <= hi;
}

// One character of UTF-8 text at s[i]: its code point and length. A malformed
// sequence (stray continuation byte, cut, overlong or surrogate sequence) is
// one step of its first byte and the continuation bytes that fit, with code
// point kBad; so is a character beyond the Basic Multilingual Plane, which
// neither file encoding holds.
struct Step {
  char32_t cp;
  std::size_t len;
};

inline Step NextStep(std::string_view s, std::size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return {c, 1};
  if (c >= 0xC2 && c <= 0xDF) {
    if (!Cont(s, i + 1)) return {kBad, 1};
    return {static_cast<char32_t>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F)), 2};
  }
  if (c >= 0xE0 && c <= 0xEF) {
    const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    if (!Cont(s, i + 1, lo, hi)) return {kBad, 1};
    if (!Cont(s, i + 2)) return {kBad, 2};
    return {
        static_cast<char32_t>(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F)),
        3};
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    if (!Cont(s, i + 1, lo, hi)) return {kBad, 1};
    if (!Cont(s, i + 2)) return {kBad, 2};
    if (!Cont(s, i + 3)) return {kBad, 3};
    return {kBad, 4};
  }
  return {kBad, 1};
}

// The tables over 16-bit keys (a code point, or two bytes) are kept in pages
// of 256 slots: Page[key >> 8] is the page of the key, Rows[page][key & 0xFF]
// its value. Page 0 holds only the empty value, so a key whose page has
// nothing costs no room, and a Shift-JIS lead byte is one with a page.
template <class T>
inline T At(const std::uint8_t (&page)[256], const T (*rows)[256], unsigned key) {
  return rows[page[key >> 8]][key & 0xFF];
}

// Shift-JIS (code page 932).
constexpr std::uint16_t kSjisNone = 0xFFFF;
// A byte read alone: its character or its raw-byte character.
extern const Packed kSjisSingle[256];
// lead << 8 | trail: the character, 0 when none.
extern const std::uint8_t kSjisPairPage[256];
extern const Packed kSjisPair[][256];
// Code point: a byte (< 0x100), lead << 8 | trail, or kSjisNone.
extern const std::uint8_t kSjisCodePage[256];
extern const std::uint16_t kSjisCode[][256];
// Duplicate slot: its character.
extern const char32_t kSjisCanonical[kSjisDupSlots];

// EUC-JP as Microsoft extends it (glibc "EUC-JP-MS").
extern const Packed kEucSingle[256];
// 2: leads two-byte characters; 3: 0x8F, leads three-byte ones.
extern const std::uint8_t kEucWidth[256];
// lead << 8 | trail.
extern const std::uint8_t kEucPairPage[256];
extern const Packed kEucPair[][256];
// second << 8 | third, after 0x8F.
extern const std::uint8_t kEucTriplePage[256];
extern const Packed kEucTriple[][256];
// Code point: its packed EUC-JP bytes, 0 when none.
extern const std::uint8_t kEucCodePage[256];
extern const Packed kEucCode[][256];
extern const char32_t kEucCanonical[kEucDupSlots];

}  // namespace tavrine::codec_tables
