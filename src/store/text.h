// Text and number forms shared by every handler: strict parsing with the
// conversion error, the 15-digit decimal form, half-to-even rounding, blank
// cells, date texts and byte-measured cuts of Shift-JIS text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavrine {

// Raised when a cell or box does not hold the number or date a handler needs.
// The message names the offending text in Japanese with an example of a good
// one (「abc」は数値として読めません（例 1.05）); the dispatcher shows it and
// stops the running chain.
struct ConversionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Raised when a file cannot be opened, created or written.
struct FileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Full-width ASCII forms (１２．５, －, ／, ＡＢＣ), the full-width space and
// the minus and dash signs as their half-width characters; the rest as it is.
std::string HalfWidth(std::string_view utf8);

// Optional sign and decimal digits only, 32-bit range.
int StrToInt(std::string_view s);
// StrToInt without raising: false where it would raise, v then unchanged.
bool TryStrictInt(std::string_view s, int& v);
// Decimal number (optional surrounding blanks, sign, point, exponent), parsed
// to the nearest extended value.
long double StrToFloat(std::string_view s);
// StrToFloat without raising: false where it would raise.
bool TryStrToFloat(std::string_view s, long double& v);

std::string IntToStr(long long v);
// Room IntChars needs.
inline constexpr std::size_t kIntChars = 24;
// IntToStr(v) written into buf; its length.
std::size_t IntChars(long long v, char* buf);
// General form: up to 15 significant digits, no trailing zeros, exponent
// written as "1E-5" / "1.5E20" outside 1e-4 .. 1e15.
std::string FloatToStr(long double v);

// Nearest integer, halves to the even neighbour.
long long Round(long double v);
// Drops the fraction toward zero.
long long Trunc(long double v);

// Empty or exactly one space.
inline bool IsBlank(std::string_view s) { return s.empty() || s == " "; }
// Empty, one space or one full-width space.
inline bool IsBlankWide(std::string_view s) { return s.empty() || s == " " || s == "\xE3\x80\x80"; }

// The first n characters of a text as the system measures them: bytes of its
// Shift-JIS form. A double-byte character that would be cut in half is left out.
std::string LeftBytes(std::string_view utf8, std::size_t n);
// Bytes from 1-based position pos, count bytes long, measured the same way.
std::string MidBytes(std::string_view utf8, std::size_t pos, std::size_t count);
// Length in Shift-JIS bytes.
std::size_t ByteLength(std::string_view utf8);

// Whole days since 1899-12-30 (the usual day numbering of desktop date
// values). Accepts yyyy/mm/dd and yyyy/m/d.
bool TryParseDate(std::string_view s, int& days);
int StrToDate(std::string_view s);  // throws ConversionError
// A date as people type it into a box: yyyy/m/d, yyyy-m-d, yyyy.m.d,
// yyyymmdd, yyyy年m月d日, and in the eras 令和, 平成, 昭和 and 大正 (also R, H,
// S, T: 令和6年1月5日, R6.1.5, H31/4/30, 令和元年5月1日); full-width forms
// and surrounding blanks too.
bool TryReadDate(std::string_view typed, int& days);
int ReadDate(std::string_view typed);  // throws ConversionError
std::string DateToStr(int days);       // yyyy/mm/dd
int DaysFromCivil(int y, int m, int d);
void CivilFromDays(int days, int& y, int& m, int& d);
// The local time now in a strftime format ("%Y%m%d-%H%M%S").
std::string LocalTimeText(const char* format);

// A stock code as the list keeps it ("7203", "130A"): four digits, or three
// digits and a letter, a small letter made capital. Empty when the text is
// no such code; blanks and full-width forms are the caller's to fold first.
std::string StockCodeForm(std::string plain);

}  // namespace tavrine
