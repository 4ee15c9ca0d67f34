#include "store/text.h"

#include <gtest/gtest.h>

#include <limits>

#include "store/codec.h"

namespace tavrine {
namespace {

TEST(Numbers, StrictIntegerParsing) {
  EXPECT_EQ(StrToInt("1234"), 1234);
  EXPECT_EQ(StrToInt("-2"), -2);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("007"), 7);
  EXPECT_EQ(StrToInt("-0"), 0);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483648LL);
  for (const char* bad : {"", " ", "1.5", "1,234", "12a", "2147483648", "-2147483649", "-", "+",
                          " 12", "12 ", "１２", "99999999999999999999"}) {
    int v = 42;
    EXPECT_FALSE(TryStrictInt(bad, v)) << bad;
    EXPECT_EQ(v, 42) << "changed by '" << bad << "'";
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()),
                "「" + std::string(bad) + "」は整数として読めません（例 10）");
    }
  }
}

TEST(Numbers, DecimalParsingAndErrors) {
  EXPECT_EQ(StrToFloat("1234.5"), 1234.5L);
  EXPECT_EQ(StrToFloat("-2"), -2.0L);
  EXPECT_EQ(StrToFloat(".5"), 0.5L);
  EXPECT_EQ(StrToFloat("1E3"), 1000.0L);
  EXPECT_EQ(StrToFloat(" 12 "), 12.0L);
  for (const char* bad : {"", " ", "abc", "1,234", "1.2.3", "e5", "inf", "nan", "１"})
    EXPECT_THROW(StrToFloat(bad), ConversionError) << bad;
  try {
    StrToFloat("abc");
  } catch (const ConversionError& e) {
    EXPECT_EQ(std::string(e.what()), "「abc」は数値として読めません（例 1.05）");
  }
}

TEST(Text, FullWidthFormsAsHalfWidth) {
  EXPECT_EQ(HalfWidth("２０２４／０１／０５"), "2024/01/05");
  EXPECT_EQ(HalfWidth("　－１．５　"), " -1.5 ");
  EXPECT_EQ(HalfWidth("−７‐１"), "-7-1");  // minus sign and hyphen
  EXPECT_EQ(HalfWidth("１３０ａ　ＡＺ～！"), "130a AZ~!");
  // Everything else passes through, also a cut-off sequence at the end.
  EXPECT_EQ(HalfWidth("令和６年"), "令和6年");
  EXPECT_EQ(HalfWidth("ｱ1\xEF\xBC"), "ｱ1\xEF\xBC");
}

TEST(Numbers, RoundIsHalfToEvenAndTruncDropsTheFraction) {
  EXPECT_EQ(Round(2.5L), 2);
  EXPECT_EQ(Round(3.5L), 4);
  EXPECT_EQ(Round(-2.5L), -2);
  EXPECT_EQ(Round(1234.5L), 1234);
  EXPECT_EQ(Round(1235.5L), 1236);
  EXPECT_EQ(Round(2.5000001L), 3);
  EXPECT_EQ(Trunc(3.99L), 3);
  EXPECT_EQ(Trunc(-3.99L), -3);
  // No 64-bit integer: an error, never an arbitrary value.
  EXPECT_THROW(Round(1e30L), std::range_error);
  EXPECT_THROW(Round(std::numeric_limits<long double>::infinity()), std::range_error);
  EXPECT_THROW(Trunc(std::numeric_limits<long double>::quiet_NaN()), std::range_error);
}

TEST(Numbers, GeneralDecimalForm) {
  EXPECT_EQ(FloatToStr(1.052L), "1.052");
  EXPECT_EQ(FloatToStr(1.0L), "1");
  EXPECT_EQ(FloatToStr(-2.0L), "-2");
  EXPECT_EQ(FloatToStr(1234 * 0.4L), "493.6");
  EXPECT_EQ(FloatToStr(1234 * 0.1L), "123.4");
  EXPECT_EQ(FloatToStr(20.0L / 19.0L).substr(0, 5), "1.052");
  EXPECT_EQ(FloatToStr(3.23L / 3.0L), "1.07666666666667");
  EXPECT_EQ(FloatToStr(0.0001L), "0.0001");
  EXPECT_EQ(FloatToStr(0.00001L), "1E-5");
  EXPECT_EQ(FloatToStr(1.5e20L), "1.5E20");
  EXPECT_EQ(FloatToStr(123456789012345.0L), "123456789012345");
  EXPECT_EQ(FloatToStr(-0.0L), "0");
}

TEST(Text, BlankCells) {
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank(" "));
  EXPECT_FALSE(IsBlank("  "));
  EXPECT_FALSE(IsBlank("\xE3\x80\x80"));
  EXPECT_TRUE(IsBlankWide("\xE3\x80\x80"));
}

TEST(Text, CutsCountShiftJisBytes) {
  EXPECT_EQ(LeftBytes("7203 トヨタ自動車", 4), "7203");
  EXPECT_EQ(LeftBytes("72", 4), "72");
  EXPECT_EQ(LeftBytes("長", 2), "長");
  EXPECT_EQ(LeftBytes("長期", 3), "長");     // half a character is left out
  EXPECT_EQ(LeftBytes("ｱｲｳｴｵ", 4), "ｱｲｳｴ");  // half-width katakana take one byte
  EXPECT_EQ(ByteLength("乖31"), 4u);
  EXPECT_EQ(MidBytes("乖31", 3, 2), "31");
  EXPECT_EQ(MidBytes("abcdef", 3, 100), "cdef");
  EXPECT_EQ(MidBytes("abc", 5, 2), "");
}

TEST(Text, CutsCountDuplicateCodesAsTwoBytesAndStrayBytesAsOne) {
  // ED40 (a duplicate of FA5C), 'A', a stray FF, 8790 (a duplicate of 81E0), 'B'.
  const std::string s = Cp932ToUtf8(
      "\xED\x40"
      "A\xFF\x87\x90"
      "B");
  EXPECT_EQ(ByteLength(s), 7u);
  EXPECT_EQ(Utf8ToCp932(LeftBytes(s, 1)), "");
  EXPECT_EQ(Utf8ToCp932(LeftBytes(s, 2)), "\xED\x40");
  EXPECT_EQ(Utf8ToCp932(LeftBytes(s, 4)),
            "\xED\x40"
            "A\xFF");
  EXPECT_EQ(Utf8ToCp932(LeftBytes(s, 5)),
            "\xED\x40"
            "A\xFF");  // half of 8790 is left out
  EXPECT_EQ(Utf8ToCp932(MidBytes(s, 4, 3)), "\xFF\x87\x90");
  EXPECT_EQ(Utf8ToCp932(MidBytes(s, 7, 1)), "B");
  // A lone lead byte at the end is one byte too.
  EXPECT_EQ(ByteLength(Cp932ToUtf8("72\x81")), 3u);
  EXPECT_EQ(Utf8ToCp932(LeftBytes(Cp932ToUtf8("7203\x88"), 4)), "7203");
}

TEST(Dates, BothTextFormsParseToTheSameDay) {
  EXPECT_EQ(StrToDate("2003/01/06"), StrToDate("2003/1/6"));
  EXPECT_EQ(StrToDate("2003/12/26") - StrToDate("2003/12/19"), 7);
  EXPECT_EQ(StrToDate("2004/03/01") - StrToDate("2004/02/28"), 2);  // leap year
  EXPECT_EQ(StrToDate("1899/12/30"), 0);
  EXPECT_EQ(DateToStr(StrToDate("2003/1/6")), "2003/01/06");
  int d;
  for (const char* bad :
       {"", "2003/13/01", "2003/02/30", "2003-01-06", "2003/1", "abc", "2003/1/6 "})
    EXPECT_FALSE(TryParseDate(bad, d)) << bad;
  EXPECT_THROW(StrToDate("x"), ConversionError);
  // Files keep their one form: the typed forms are for boxes only.
  EXPECT_FALSE(TryParseDate("R6.1.5", d));
}

TEST(Dates, TypedFormsAllMeanTheSameDay) {
  const int day = DaysFromCivil(2024, 1, 5);
  for (const char* typed : {"2024/01/05",       "2024/1/5",       "2024-01-05",
                            "2024-1-5",         "2024.1.5",       "20240105",
                            "2024年1月5日",     "2024年01月05日", "令和6年1月5日",
                            "令和06年1月5日",   "R6.1.5",         "r6.1.5",
                            "R06/01/05",        "R6-1-5",         "２０２４／０１／０５",
                            "２０２４０１０５", "Ｒ６．１．５",   "令和６年１月５日",
                            " 2024/1/5 ",       "　2024/1/5"}) {
    int d = 0;
    EXPECT_TRUE(TryReadDate(typed, d)) << typed;
    EXPECT_EQ(d, day) << typed;
  }
  EXPECT_EQ(ReadDate("平成31年4月30日"), DaysFromCivil(2019, 4, 30));
  EXPECT_EQ(ReadDate("H1.1.8"), DaysFromCivil(1989, 1, 8));
  EXPECT_EQ(ReadDate("令和元年5月1日"), DaysFromCivil(2019, 5, 1));
  EXPECT_EQ(ReadDate("S64.1.7"), DaysFromCivil(1989, 1, 7));
  EXPECT_EQ(ReadDate("2024/02/29"), DaysFromCivil(2024, 2, 29));
}

TEST(Dates, TypedTextThatIsNoDay) {
  int d = 0;
  for (const char* bad :
       {"",          "abc",         "2024/13/01", "2023/02/29",     "2024/1/5/6", "2024/1",
        "2024年1/5", "2024/1/5日",  "20241305",   "2024015",        "240105",     "R1.4.30",
        "H0.1.1",    "R.1.5",       "R6.1.5日",   "令和6年1月5日x", "X6.1.5",     "2024//5",
        "2024/1/-5", "令和6/1月5日"})
    EXPECT_FALSE(TryReadDate(bad, d)) << bad;
  try {
    ReadDate("2024-13-05");
    ADD_FAILURE() << "accepted";
  } catch (const ConversionError& e) {
    EXPECT_EQ(std::string(e.what()), "「2024-13-05」は日付として読めません（例 2024/01/05）");
  }
}

}  // namespace
}  // namespace tavrine
