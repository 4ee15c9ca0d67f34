#include "store/stock_list_file.h"

#include <algorithm>

#include "store/codec.h"
#include "store/comma_text.h"
#include "store/text.h"

namespace tavrine {

namespace {

std::string LineNo(std::size_t i) { return std::to_string(i + 1) + "行目"; }

// Valid UTF-8 holding at least one character of two bytes or more.
bool IsMultiByteUtf8(std::string_view s) {
  bool multi = false;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    std::size_t len = 1;
    char32_t cp = b;
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3, cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4, cp = b & 0x07;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are no UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    multi = true;
    i += len;
  }
  return multi;
}

// Where the bytes stop being Shift-JIS text: a lead byte without its trail
// byte, or a byte that stands for no character alone. npos when they are.
std::size_t FirstNonShiftJis(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) continue;
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      const unsigned char t = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
      if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC)) {
        ++i;
        continue;
      }
    }
    return i;
  }
  return std::string_view::npos;
}

// The separator a line uses instead of commas: a tab or a semicolon outside
// quotes on a line with no comma outside quotes; 0 for comma text.
char ForeignSeparator(std::string_view line) {
  bool quoted = false, comma = false, tab = false, semicolon = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    comma |= c == ',';
    tab |= c == '\t';
    semicolon |= c == ';';
  }
  if (comma) return 0;
  return tab ? '\t' : semicolon ? ';' : 0;
}

}  // namespace

void CheckStockListBytes(std::string_view bytes, const std::string& name) {
  const std::size_t nul = bytes.find('\0');
  const auto lines = SplitLineViews(bytes);
  if (nul != std::string_view::npos) {
    // SplitLineViews ends a line at its NUL; count the line breaks before it.
    std::size_t line = 0;
    for (std::size_t i = 0; i < nul; ++i)
      if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= nul || bytes[i + 1] != '\n'))) ++line;
    throw FileError(name + " の" + LineNo(line) +
                    "に NUL 文字 (0x00) があります。保存するとその行の続きが失われるため、"
                    "読み込みませんでした。ファイルを直してから起動して下さい。");
  }
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (const char sep = ForeignSeparator(lines[i]))
      throw FileError(
          name + " の" + LineNo(i) + "は" +
          (sep == '\t' ? std::string("タブ") : std::string("セミコロン")) +
          "で区切られています。コンマ区切りのファイルではないため、読み込みませんでした。"
          "コンマ区切り (CSV) で保存し直すか、「取込」で株価ファイルとして取り込んで下さい。");
  if (IsMultiByteUtf8(bytes)) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (FirstNonShiftJis(lines[i]) != std::string_view::npos)
        throw FileError(name + " は UTF-8 で保存されています (" + LineNo(i) +
                        ")。Shift-JIS として読むと文字が化けるため、読み込みませんでした。"
                        "Shift-JIS で保存し直すか、「取込」で取り込んで下さい。");
  }
}

std::vector<std::string> SplitAtCommas(std::string_view line, std::size_t maxFields) {
  const auto nul = line.find('\0');
  if (nul != std::string_view::npos) line = line.substr(0, nul);
  auto blank = [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
  };
  std::vector<std::string> fields;
  const std::size_t n = line.size();
  std::size_t i = 0;
  while (i < n) {
    while (i < n && blank(line[i])) ++i;
    if (i >= n) break;
    std::string text;
    if (line[i] == '"') {
      ++i;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            text += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        text += line[i++];
      }
      while (i < n && line[i] != ',') ++i;  // what follows a closing quote up to the comma
    } else {
      const std::size_t j = std::min(line.find(',', i), n);
      std::size_t e = j;
      while (e > i && blank(line[e - 1])) --e;
      text.assign(line.substr(i, e - i));
      i = j;
    }
    if (fields.size() < maxFields) fields.push_back(text.empty() ? std::string(" ") : text);
    if (i < n && line[i] == ',') ++i;
  }
  return fields;
}

StockListReading ReadStockList(WorkTable& t, std::string_view bytes, const std::string& name,
                               const std::function<void(int, int)>& progress) {
  constexpr int kCols = 200;
  CheckStockListBytes(bytes, name);
  const auto lines = SplitLineViews(bytes);
  const int n = static_cast<int>(lines.size());
  t.setRowCount(n);
  t.reserveRows(n);
  t.setColCount(kCols);
  for (int a = 0; a < n; a += 100) {
    if (progress) progress(a, n);
    t.setRowsCommaText(a, lines.data() + a, static_cast<std::size_t>(std::min(100, n - a)), kCols,
                       Cp932ToUtf8);
  }
  StockListReading out;
  if (n < 2) return out;
  // A heading line saved without quotes around headings with spaces
  // ("1301 極洋") splits at each space; the data lines give the true width.
  auto count = [](std::string_view line) {
    std::size_t k = 0;
    ForEachCommaFieldOf(line, kCols, [&](std::size_t, std::string_view) { ++k; });
    return k;
  };
  // Only a heading line that splits otherwise at its commas alone can be
  // such a line, so the data lines are counted only then.
  const std::size_t asComma = count(lines[0]);
  const auto headings = SplitAtCommas(lines[0], kCols);
  if (headings.size() >= asComma) return out;
  std::size_t widest = 0;
  for (int r = 1; r < n; ++r) widest = std::max(widest, count(lines[static_cast<std::size_t>(r)]));
  if (asComma <= widest || headings.size() != widest) return out;
  for (int c = 0; c < kCols; ++c) {
    const std::size_t k = static_cast<std::size_t>(c);
    t.set(c, 0, k < headings.size() ? Cp932ToUtf8(headings[k]) : std::string());
  }
  out.headingAtCommas = true;
  return out;
}

}  // namespace tavrine
