// The words of a daily-price file, apart from its rows: which columns its
// header line names, and the stock code and name its title line and its file
// name give. Also the text checks the reading of the rows shares with them.
// Only list/price_file.cpp uses these; callers go through list/price_file.h.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tavrine::price_words {

enum class Encoding { Utf8, Cp932 };

// Header lines and title lines longer than this are not headers or titles;
// anything longer is junk and is not decoded.
inline constexpr std::size_t kMaxHeaderBytes = 4096;
inline constexpr std::size_t kMaxHeaderFields = 64;

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsAsciiAlnum(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline char ToLowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Length of the well-formed UTF-8 sequence at s[i], 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i);
bool IsValidUtf8(std::string_view s);
// UTF-8 that is safe to show: broken sequences and control characters become '?'.
std::string Printable(std::string_view s);
// raw in its file's encoding as printable UTF-8.
std::string ToUtf8(std::string_view raw, Encoding enc);

enum class HeaderKind {
  None,        // no header words at all
  Known,       // date and close found
  TwoColumns,  // two words neither a date nor a close; taken as date, close
  Unknown,     // a header, but no single close column
  Ambiguous,   // more than one column names the close or the date
};

struct HeaderColumns {
  HeaderKind kind = HeaderKind::None;
  std::size_t dateCol = 0;  // with Known only
  std::size_t closeCol = 1;
  bool nullRows = false;  // "null" closes are left out (the Adj Close form)
  // The open, high, low and volume columns, each named once (with Known
  // only); kNoColumn where none or more than one names it.
  static constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);
  std::size_t openCol = kNoColumn, highCol = kNoColumn, lowCol = kNoColumn, volumeCol = kNoColumn;
};

// What the fields of a header line (UTF-8, split) name; see list/price_file.h
// for the words taken.
HeaderColumns ColumnsOfHeader(std::span<const std::string_view> fields);

// Code and name from a title line such as "7203 トヨタ自動車 東証プライム";
// each empty when the line gives none.
void ReadTitle(std::string_view raw, Encoding enc, std::string& code, std::string& name);

// Code and name from the last component of a file's path ("6758_ソニー.csv").
void ReadFileName(std::string_view base, std::string& code, std::string& name);

}  // namespace tavrine::price_words
