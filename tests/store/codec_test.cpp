// The file encodings: any bytes decode to text that encodes back to the same
// bytes, text of the encodings' characters survives the way back, and what a
// person sees is each character in its usual form.
#include <iconv.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "store/codec.h"
#include "store/codec_tables.h"
#include "store/text.h"

namespace tavrine {
namespace {

// glibc's own conversion of the whole input; false when it fails.
bool Glibc(const char* to, const char* from, const std::string& in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char buf[64];
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size(), room = sizeof buf;
  char* dst = buf;
  const bool ok = iconv(cd, &src, &left, &dst, &room) != static_cast<std::size_t>(-1) && left == 0;
  iconv_close(cd);
  out.assign(buf, static_cast<std::size_t>(dst - buf));
  return ok;
}

bool GlibcDecode(const char* from, const std::string& in, std::string& out) {
  return Glibc("UTF-8", from, in, out);
}

// Code points of UTF-8 text (well-formed).
std::u32string CodePoints(const std::string& s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += cp;
    i += static_cast<std::size_t>(n);
  }
  return out;
}

bool IsRawByte(char32_t cp) { return cp >= 0xF780 && cp <= 0xF87F; }

std::string Bytes(unsigned a, unsigned b) { return {static_cast<char>(a), static_cast<char>(b)}; }

// Random byte strings weighted toward the bytes that matter: leads of
// duplicates, other leads, trail bytes, stray bytes, line ends.
std::string RandomBytes(std::mt19937& rng) {
  static const unsigned char kSome[] = {0x87, 0x90, 0xED, 0x40, 0xEE, 0xEE, 0x6C, 0xFA, 0x5C,
                                        0xFB, 0xFC, 0x4B, 0x81, 0xE0, 0x82, 0xA0, 0x80, 0xA0,
                                        0xFD, 0xFE, 0xFF, 0x8E, 0x8F, 0xA1, 0xAD, 0xF0, 0xF3,
                                        0xF4, 0xFE, '\r', '\n', ',',  '"',  0x00, 0x5C, 'a'};
  std::uniform_int_distribution<int> len(0, 40), pick(0, 2), any(0, 255),
      some(0, static_cast<int>(sizeof kSome) - 1);
  std::string s(static_cast<std::size_t>(len(rng)), '\0');
  for (char& c : s) c = static_cast<char>(pick(rng) == 0 ? any(rng) : kSome[some(rng)]);
  return s;
}

TEST(ShiftJis, EveryPairReadsAsGlibcReadsItAndComesBackAsItWas) {
  int characters = 0;
  for (unsigned a = 0x80; a < 0x100; ++a)
    for (unsigned b = 0; b < 0x100; ++b) {
      const std::string bytes = Bytes(a, b);
      const std::string text = Cp932ToUtf8(bytes);
      ASSERT_EQ(Utf8ToCp932(text), bytes) << std::hex << a << " " << b;
      // Behind a stray byte, and with a lone lead byte after it.
      for (const char* stray : {"\xEE", "\x81", "\xFF"})
        ASSERT_EQ(Utf8ToCp932(Cp932ToUtf8(stray + bytes + "\x81")), stray + bytes + "\x81")
            << std::hex << a << b;
      std::string glibc, lone;
      if (GlibcDecode("CP932", bytes.substr(0, 1), lone))
        continue;  // a one-byte character: not a pair
      if (!GlibcDecode("CP932", bytes, glibc)) {
        ASSERT_TRUE(IsRawByte(CodePoints(text)[0])) << std::hex << a << " " << b;
        continue;
      }
      // One character, shown as glibc reads the code; that character, typed,
      // is written with its usual code and reads back as itself.
      ++characters;
      const std::u32string cps = CodePoints(text);
      ASSERT_EQ(cps.size(), 1u) << std::hex << a << " " << b;
      ASSERT_FALSE(IsRawByte(cps[0]));
      ASSERT_EQ(DisplayText(text), glibc) << std::hex << a << " " << b;
      ASSERT_EQ(Cp932ToUtf8(Utf8ToCp932(glibc)), glibc) << std::hex << a << " " << b;
    }
  EXPECT_GT(characters, 7000);
}

TEST(ShiftJis, AnyBytesComeBackAsTheyWereAndMeasureTheirLength) {
  std::mt19937 rng(20261208);
  for (int k = 0; k < 4000; ++k) {
    const std::string bytes = RandomBytes(rng);
    const std::string text = Cp932ToUtf8(bytes);
    ASSERT_EQ(Utf8ToCp932(text), bytes) << k;
    // The text measures as the file holds it.
    ASSERT_EQ(ByteLength(text), bytes.size()) << k;
    const std::size_t n = static_cast<std::size_t>(k) % (bytes.size() + 2);
    const std::string cut = Utf8ToCp932(LeftBytes(text, n));
    ASSERT_EQ(bytes.compare(0, cut.size(), cut), 0) << k;
    ASSERT_TRUE(cut.size() == std::min(n, bytes.size()) || cut.size() + 1 == n) << k;
  }
  // Lone lead bytes at the end, NUL inside, nothing at all.
  for (const std::string& bytes :
       {std::string("\x81"), std::string("ab\x87"), std::string("\xED\x40\xED"),
        std::string("a\0\x82\xA0\0", 5), std::string()})
    EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8(bytes)), bytes);
}

TEST(ShiftJis, DuplicatesKeepTheirCodeAndShowTheirCharacter) {
  struct Case {
    const char* duplicate;
    const char* usual;
    const char* shown;
  };
  for (const Case& c : {Case{"\xED\x40", "\xFA\x5C", "纊"}, Case{"\x87\x90", "\x81\xE0", "≒"},
                        Case{"\x87\x9A", "\x81\xE6", "∵"}, Case{"\xFA\x5B", "\x81\xE6", "∵"},
                        Case{"\xFA\x4A", "\x87\x54", "Ⅰ"}, Case{"\xFA\x54", "\x81\xCA", "￢"},
                        Case{"\xEE\xEF", "\xFA\x40", "ⅰ"}}) {
    const std::string dup = Cp932ToUtf8(c.duplicate);
    EXPECT_NE(dup, Cp932ToUtf8(c.usual)) << c.shown;
    EXPECT_EQ(DisplayText(dup), Cp932ToUtf8(c.usual)) << c.shown;
    EXPECT_EQ(DisplayText(dup), c.shown);
    EXPECT_EQ(Utf8ToCp932(dup), c.duplicate);
    EXPECT_EQ(Utf8ToCp932(c.shown), c.usual);
    EXPECT_EQ(DisplayText("a" + dup + "b"), std::string("a") + c.shown + "b");
  }
  // A stray byte before a duplicate stays apart from it: EE EE is no
  // character, EE 6C is one.
  const std::string merged = Cp932ToUtf8("\xEE\xEE\x6C");
  EXPECT_EQ(Utf8ToCp932(merged), "\xEE\xEE\x6C");
  // U+F86E for the stray byte, then the kanji (U+FA1D) that FB89 reads as.
  EXPECT_EQ(DisplayText(merged), "\xEF\xA1\xAE" + Cp932ToUtf8("\xFB\x89"));
  EXPECT_EQ(Utf8ToCp932(DisplayText(merged)), "\xEE\xFB\x89");
  // Characters of the user area and the usual codes are no duplicates.
  EXPECT_EQ(Cp932ToUtf8("\xF0\x40"), "\xEE\x80\x80");  // U+E000
  EXPECT_EQ(DisplayText(Cp932ToUtf8("\xF0\x40\x81\xE0\xFA\x5C")),
            Cp932ToUtf8("\xF0\x40\x81\xE0\xFA\x5C"));
  // Private-use text that records no code is no duplicate either.
  EXPECT_EQ(DisplayText("\xEF\x80\x80"), "\xEF\x80\x80");  // U+F000: 87 40 is no duplicate
}

TEST(ShiftJis, WhatItCannotHoldIsOneQuestionMark) {
  EXPECT_EQ(Utf8ToCp932("€"), "?");
  EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");
  EXPECT_EQ(Utf8ToCp932("\xE3\x81"
                        "a"),
            "?a");  // a cut sequence does not swallow the next letter
  EXPECT_EQ(Utf8ToCp932("\x80\xC0\xAF"), "???");
  EXPECT_EQ(Utf8ToCp932("\xED\xA0\x80"), "???");  // a surrogate is no character
  EXPECT_EQ(ByteLength("€😀"), 2u);
  EXPECT_EQ(LeftBytes("€長", 2), "€");
}

// The tables are made at build time; each character is written as the
// converters of the machine write it, or as '?' when they cannot write it as
// one character of the file. Duplicates and raw bytes are private-use
// characters no converter knows: the round trips above cover them.
TEST(Codec, EveryCharacterIsWrittenAsGlibcWritesIt) {
  int sjisCharacters = 0, eucCharacters = 0;
  for (unsigned cp = 0x80; cp < 0x10000; ++cp) {
    if ((cp >= 0xD800 && cp < 0xE000) || (cp >= 0xF000 && cp < 0xF880)) continue;
    const std::string text = codec_tables::Utf8Of(cp);
    std::string sjis, euc;
    const bool inSjis =
        Glibc("CP932", "UTF-8", text, sjis) &&
        (sjis.size() == 1 || (sjis.size() == 2 && static_cast<unsigned char>(sjis[0]) >= 0x80));
    ASSERT_EQ(Utf8ToCp932(text), inSjis ? sjis : "?") << std::hex << cp;
    const bool inEuc = Glibc("EUC-JP-MS", "UTF-8", text, euc) && !euc.empty() && euc.size() <= 3;
    ASSERT_EQ(Utf8ToEucJp(text), inEuc ? euc : "?") << std::hex << cp;
    sjisCharacters += inSjis;
    eucCharacters += inEuc;
  }
  EXPECT_GT(sjisCharacters, 7000);
  EXPECT_GT(eucCharacters, 14000);
}

TEST(EucJp, EveryCodeReadsAsGlibcReadsItAndComesBackAsItWas) {
  int characters = 0;
  auto check = [&](const std::string& bytes) {
    const std::string text = EucJpToUtf8(bytes);
    ASSERT_EQ(Utf8ToEucJp(text), bytes);
    ASSERT_EQ(Utf8ToEucJp(EucJpToUtf8("\xA1" + bytes + "\x8F")), "\xA1" + bytes + "\x8F");
    std::string glibc;
    if (!GlibcDecode("EUC-JP-MS", bytes, glibc) || CodePoints(text).size() != 1) return;
    ++characters;
    ASSERT_EQ(DisplayText(text), glibc);
  };
  for (unsigned a = 0x80; a < 0x100; ++a)
    for (unsigned b = 0; b < 0x100; ++b) {
      ASSERT_NO_FATAL_FAILURE(check(Bytes(a, b))) << std::hex << a << " " << b;
      if (a >= 0xA1 && b >= 0xA1) {
        ASSERT_NO_FATAL_FAILURE(check("\x8F" + Bytes(a, b))) << std::hex << a << " " << b;
      }
    }
  EXPECT_GT(characters, 14000);  // JIS X 0208 and 0212 with the extensions

  std::mt19937 rng(8);
  for (int k = 0; k < 4000; ++k) {
    const std::string bytes = RandomBytes(rng);
    ASSERT_EQ(Utf8ToEucJp(EucJpToUtf8(bytes)), bytes) << k;
  }
  EXPECT_EQ(Utf8ToEucJp("2003年"), "2003\xC7\xAF");
  EXPECT_EQ(Utf8ToEucJp("€"), "?");
}

TEST(EucJp, DuplicatesShowTheirCharacterAndCrossToShiftJisAsIt) {
  const std::string nearly = EucJpToUtf8("\xAD\xF0");  // NEC row 13's ≒; A2E2 is the usual code
  EXPECT_EQ(Utf8ToEucJp(nearly), "\xAD\xF0");
  EXPECT_EQ(DisplayText(nearly), "≒");
  EXPECT_EQ(Utf8ToEucJp("≒"), "\xA2\xE2");
  EXPECT_EQ(Utf8ToCp932(nearly), "\x81\xE0");  // a name from a quote page saved in the stock list
  EXPECT_EQ(ByteLength(nearly), 2u);
  const std::string roman = EucJpToUtf8("\x8F\xF3\xFD");  // IBM Ⅰ; ADB5 is the usual code
  EXPECT_EQ(Utf8ToEucJp(roman), "\x8F\xF3\xFD");
  EXPECT_EQ(DisplayText(roman), "Ⅰ");
  EXPECT_EQ(Utf8ToCp932(roman), "\x87\x54");
  // And the other way: a Shift-JIS duplicate becomes its character's EUC-JP.
  EXPECT_EQ(Utf8ToEucJp(Cp932ToUtf8("\xED\x40")), Utf8ToEucJp("纊"));
  EXPECT_NE(Utf8ToEucJp("纊"), "?");
}

}  // namespace
// Lines end at LF, CR or CR LF and stop at a NUL, for any mix of them.
TEST(Codec, LinesSplitAtEveryKindOfLineEnd) {
  auto reference = [](std::string_view text) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < text.size()) {
      std::size_t j = i;
      while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
      std::string line(text.substr(i, j - i));
      line = line.substr(0, line.find('\0'));
      lines.push_back(line);
      i = j + (j + 1 < text.size() && text[j] == '\r' && text[j + 1] == '\n' ? 2 : 1);
    }
    return lines;
  };
  std::mt19937 gen(7);
  const std::string pieces[] = {"\r", "\n", "\r\n", "\n\r", std::string(1, '\0'), "ab", "x"};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int n = std::uniform_int_distribution<int>(0, 12)(gen); n > 0; --n)
      text += pieces[std::uniform_int_distribution<int>(0, 6)(gen)];
    const auto views = SplitLineViews(text);
    ASSERT_EQ(std::vector<std::string>(views.begin(), views.end()), reference(text))
        << ::testing::PrintToString(text);
  }
}

}  // namespace tavrine
