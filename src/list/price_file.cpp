#include "list/price_file.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <span>

#include "list/price_words.h"
#include "store/codec.h"
#include "store/paths.h"

namespace tavrine {

using namespace price_words;

namespace {

// Texts quoted back in messages are cut to this many bytes.
constexpr std::size_t kMaxExcerptBytes = 40;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  return true;
}

// [[noreturn]] thrower shared by every check; line 0 leaves the line out.
[[noreturn]] void Fail(const std::string& shown, int line, const std::string& what) {
  std::string msg;
  if (!shown.empty()) msg = shown + ": ";
  if (line > 0) msg += std::to_string(line) + "行目: ";
  msg += what;
  throw PriceFileError(msg, line);
}

std::string_view BaseName(std::string_view path) {
  const auto cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// A field as quoted back in a message: decoded, printable, cut short.
std::string Excerpt(std::string_view raw, Encoding enc) {
  if (raw.size() <= kMaxExcerptBytes) return ToUtf8(raw, enc);
  return ToUtf8(raw.substr(0, kMaxExcerptBytes), enc) + "…";
}

// Lines ending in CR LF, LF or CR, numbered from 1; no empty line after a
// final line break.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const char* begin = text_.data() + pos_;
    const char* end = text_.data() + text_.size();
    // The next LF, then a CR before it (memchr runs many bytes at a time).
    // The LF found is kept, so a file of CR line ends is not searched to its
    // end for every line.
    if (!searched_ || lf_ < pos_) {
      const void* lf = std::memchr(begin, '\n', static_cast<std::size_t>(end - begin));
      lf_ =
          lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text_.data()) : text_.size();
      searched_ = true;
    }
    const char* p = text_.data() + lf_;
    if (const void* cr = std::memchr(begin, '\r', static_cast<std::size_t>(p - begin)))
      p = static_cast<const char*>(cr);
    line = std::string_view(begin, static_cast<std::size_t>(p - begin));
    if (p < end && *p == '\r' && p + 1 < end && p[1] == '\n') ++p;
    pos_ = static_cast<std::size_t>(p - text_.data()) + 1;
    ++number_;
    return true;
  }
  int Number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t lf_ = 0;  // position of the next LF, or the end
  bool searched_ = false;
  int number_ = 0;
};

// Blank, or nothing but separators and quotes (spreadsheets end files with
// lines like ",,,,,").
bool IsBlankLine(std::string_view line) {
  for (char c : line)
    if (c != ' ' && c != '\t' && c != ',' && c != ';' && c != '"') return false;
  return true;
}

// Tab when the line has one outside quotes, else semicolon, else comma.
char PickSeparator(std::string_view line) {
  bool quoted = false, semicolon = false;
  for (char c : line) {
    if (c == '"')
      quoted = !quoted;
    else if (!quoted && c == '\t')
      return '\t';
    else if (!quoted && c == ';')
      semicolon = true;
  }
  return semicolon ? ';' : ',';
}

// Splits at sep into at most max fields and returns how many were stored.
// Blanks around a field and one pair of surrounding double quotes (and blanks
// inside them) are dropped;
// a quoted field may hold the separator. Text after a closing quote keeps the
// field whole, quotes and all, so it fails as a number or date; so does an
// unclosed quote.
std::size_t SplitFields(std::string_view line, char sep, std::string_view* out, std::size_t max) {
  const auto blank = [sep](char c) { return c == ' ' || (c == '\t' && sep != '\t'); };
  std::size_t count = 0, i = 0;
  const std::size_t n = line.size();
  while (count < max) {
    while (i < n && blank(line[i])) ++i;
    const std::size_t start = i;
    std::string_view field;
    if (i < n && line[i] == '"') {
      std::size_t j = i + 1;
      while (j < n && !(line[j] == '"' && !(j + 1 < n && line[j + 1] == '"')))
        j += line[j] == '"' ? 2 : 1;
      std::size_t k = j + 1;
      while (k < n && blank(line[k])) ++k;
      if (j < n && (k >= n || line[k] == sep)) {
        field = line.substr(i + 1, j - i - 1);
        while (!field.empty() && blank(field.front())) field.remove_prefix(1);
        while (!field.empty() && blank(field.back())) field.remove_suffix(1);
        i = k;
      } else {
        while (k < n && line[k] != sep) ++k;
        std::size_t e = std::min(k, n);
        while (e > start && blank(line[e - 1])) --e;
        field = line.substr(start, e - start);
        i = k;
      }
    } else {
      while (i < n && line[i] != sep) ++i;
      std::size_t e = i;
      while (e > start && blank(line[e - 1])) --e;
      field = line.substr(start, e - start);
    }
    out[count++] = field;
    if (i >= n) break;
    ++i;  // the separator
  }
  return count;
}

// Dates yyyy-mm-dd, yyyy/mm/dd, yyyy/m/d (either mark, not mixed) and yyyymmdd,
// checked against the calendar.
bool ParseDay(std::string_view s, int& day) {
  int y = 0, m = 0, d = 0;
  if (s.size() == 8 && std::all_of(s.begin(), s.end(), IsDigit)) {
    y = (s[0] - '0') * 1000 + (s[1] - '0') * 100 + (s[2] - '0') * 10 + (s[3] - '0');
    m = (s[4] - '0') * 10 + (s[5] - '0');
    d = (s[6] - '0') * 10 + (s[7] - '0');
  } else {
    if (s.size() < 8 || s.size() > 10) return false;
    for (int k = 0; k < 4; ++k) {
      if (!IsDigit(s[k])) return false;
      y = y * 10 + (s[k] - '0');
    }
    const char mark = s[4];
    if (mark != '-' && mark != '/') return false;
    std::size_t i = 5;
    const auto part = [&](int& v) {
      const std::size_t from = i;
      while (i < s.size() && IsDigit(s[i]) && i - from < 2) v = v * 10 + (s[i++] - '0');
      return i > from;
    };
    if (!part(m) || i >= s.size() || s[i] != mark) return false;
    ++i;
    if (!part(d) || i != s.size()) return false;
  }
  if (y < 1900 || m < 1 || m > 12 || d < 1) return false;
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kMonthDays[m - 1] + (m == 2 && leap ? 1 : 0)) return false;
  day = DaysFromCivil(y, m, d);
  return true;
}

// Closes from this value on round to more whole yen than the list reads.
constexpr long double kMaxCloseBound = kPriceFileMaxClose + 0.5L;

enum class CloseResult { Ok, NotNumber, NotPositive, TooLarge };

// A close as the stock list keeps it: thousands separators (in groups of
// three) removed, leading zeros and trailing fraction zeros dropped. More than
// 15 significant digits, or an exponent, go through the 15-digit form; a value
// that would need an exponent there is not taken, nor one whose whole yen
// would not fit the list's 32-bit reading.
CloseResult ReadClose(std::string_view s, std::string& out) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  char digits[48];
  std::size_t nd = 0, intDigits = 0;
  bool overflow = false, separators = false;
  const auto keep = [&](char c) {
    if (nd == 0 && c == '0' && intDigits == 0) return;  // leading zero
    if (nd < sizeof digits)
      digits[nd++] = c;
    else
      overflow = true;
  };
  // Integer part, with groups of three after each separator.
  std::size_t group = 0, seen = 0;
  while (i < n && (IsDigit(s[i]) || s[i] == ',')) {
    if (s[i] == ',') {
      if (seen == 0 || (separators ? group != 3 : group > 3)) return CloseResult::NotNumber;
      separators = true;
      group = 0;
    } else {
      ++group;
      ++seen;
      keep(s[i]);
      if (nd > 0) intDigits = nd;
    }
    ++i;
  }
  if (separators && group != 3) return CloseResult::NotNumber;
  std::size_t fracStart = nd, fracSeen = 0;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && IsDigit(s[i])) {
      if (nd < sizeof digits)
        digits[nd++] = s[i];
      else
        overflow = true;
      ++fracSeen;
      ++i;
    }
  }
  if (seen + fracSeen == 0) return CloseResult::NotNumber;
  bool exponent = false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t from = j;
    while (j < n && IsDigit(s[j])) ++j;
    if (j == from) return CloseResult::NotNumber;
    exponent = true;
    i = j;
  }
  if (i != n) return CloseResult::NotNumber;

  // Trailing zeros of the fraction carry nothing.
  while (nd > fracStart && digits[nd - 1] == '0') --nd;
  std::size_t lead = 0;
  while (lead < nd && digits[lead] == '0') ++lead;
  const std::size_t significant = nd - lead;
  if (!exponent && !overflow && significant <= 15) {
    if (significant == 0 || negative) return CloseResult::NotPositive;
    if (intDigits > 10) return CloseResult::TooLarge;
    out.clear();
    if (intDigits == 0) out += '0';
    out.append(digits, intDigits);
    if (nd > fracStart) {
      out += '.';
      out.append(digits + fracStart, nd - fracStart);
    }
    return StrToFloat(out) < kMaxCloseBound ? CloseResult::Ok : CloseResult::TooLarge;
  }
  std::string plain;
  plain.reserve(n);
  for (char c : s)
    if (c != ',') plain += c;
  long double v;
  try {
    v = StrToFloat(plain);
  } catch (const ConversionError&) {
    return CloseResult::NotNumber;
  }
  if (!(v > 0)) return CloseResult::NotPositive;
  if (!exponent && !(v < kMaxCloseBound)) return CloseResult::TooLarge;  // many plain digits
  out = FloatToStr(v);
  if (out.find('E') != std::string::npos) return CloseResult::NotNumber;
  if (!(StrToFloat(out) < kMaxCloseBound)) return CloseResult::TooLarge;
  return CloseResult::Ok;
}

// In a semicolon-separated file the comma is as likely a decimal mark as a
// thousands separator (and the point the other way round): one mark followed
// by exactly three digits after one to three digits ("2,001", "1.500") reads
// both ways, so such a close cannot be taken for sure.
bool ReadsTwoWays(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t from = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  const std::size_t before = i - from;
  if (before < 1 || before > 3 || i >= s.size() || (s[i] != ',' && s[i] != '.')) return false;
  const std::size_t mark = i++;
  while (i < s.size() && IsDigit(s[i])) ++i;
  return i == s.size() && i - mark - 1 == 3;
}

// Where the date and close are, and how the lines are cut.
struct Layout {
  char sep = ',';
  std::size_t dateCol = 0;
  std::size_t closeCol = 1;
  bool nullRows = false;  // "null" closes are left out (the Adj Close form)
  std::size_t openCol = HeaderColumns::kNoColumn, highCol = HeaderColumns::kNoColumn,
              lowCol = HeaderColumns::kNoColumn, volumeCol = HeaderColumns::kNoColumn;
  // Fields of the header, or of the first data line when there is none. A
  // line with more filled fields was most likely cut at an unquoted thousands
  // separator ("1,234") and would give a wrong close.
  std::size_t width = 0;
  // No header: a line is a date and a close and nothing else, since a
  // third filled field leaves no way to tell which one is the close.
  bool headerless = false;
};

// Finds the date and close columns of a header line.
HeaderKind ReadHeader(std::string_view raw, Encoding enc, Layout& layout) {
  if (raw.size() > kMaxHeaderBytes) return HeaderKind::None;
  const std::string text = enc == Encoding::Cp932 ? Cp932ToUtf8(raw) : std::string(raw);
  const char sep = PickSeparator(text);
  std::array<std::string_view, kMaxHeaderFields> fields;
  const std::size_t count = SplitFields(text, sep, fields.data(), fields.size());
  const HeaderColumns found = ColumnsOfHeader(std::span(fields.data(), count));
  if (found.kind == HeaderKind::Known) {
    layout.sep = sep;
    layout.dateCol = found.dateCol;
    layout.closeCol = found.closeCol;
    layout.nullRows = found.nullRows;
    layout.openCol = found.openCol, layout.highCol = found.highCol;
    layout.lowCol = found.lowCol, layout.volumeCol = found.volumeCol;
    layout.width = count;
  } else if (found.kind == HeaderKind::TwoColumns) {
    layout.sep = sep;
    layout.width = 2;
  }
  return found.kind;
}

// A price or volume beside the close: digits with optional thousands
// separators and a fraction, quotes and blanks around allowed; empty for
// anything else ("null", "-", a blank).
std::optional<double> ReadAmount(std::string_view s, bool positive) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '"')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '"')) s.remove_suffix(1);
  std::string digits;
  bool point = false;
  for (char c : s) {
    if (IsDigit(c)) {
      digits += c;
    } else if (c == '.' && !point && !digits.empty()) {
      point = true;
      digits += c;
    } else if (c != ',' || point || digits.empty()) {
      return std::nullopt;
    }
  }
  if (digits.empty() || digits.back() == '.' || digits.size() > 30) return std::nullopt;
  const double v = std::strtod(digits.c_str(), nullptr);
  if (positive && !(v > 0)) return std::nullopt;
  return v;
}

std::optional<double> AmountAt(const std::array<std::string_view, kMaxHeaderFields>& fields,
                               std::size_t count, std::size_t col, bool positive) {
  if (col == HeaderColumns::kNoColumn || col >= count) return std::nullopt;
  return ReadAmount(fields[col], positive);
}

std::string_view FirstField(std::string_view raw) {
  std::string_view first;
  SplitFields(raw, PickSeparator(raw), &first, 1);
  return first;
}

// A line whose first field is a date.
bool IsDateRow(std::string_view raw) {
  int day;
  return ParseDay(FirstField(raw), day);
}

// A line whose first field is meant as a date even if it is not a valid one
// ("2023-02-30", "20231301"), so it is read as data and reported as such
// rather than taken for a title.
bool LooksLikeDateRow(std::string_view raw) {
  const std::string_view f = FirstField(raw);
  if (f.size() < 5 || !std::all_of(f.begin(), f.begin() + 4, IsDigit)) return false;
  return f[4] == '-' || f[4] == '/' || (f.size() == 8 && std::all_of(f.begin(), f.end(), IsDigit));
}

// Rows newest first. A strictly ordered file is only turned round when
// needed; any other order is sorted, and a date met twice names the first
// line (in file order) that repeats an earlier one.
void PutNewestFirst(std::vector<PriceRow>& rows, const std::string& shown) {
  const std::size_t n = rows.size();
  bool descending = true, ascending = true;
  for (std::size_t k = 1; k < n && (descending || ascending); ++k) {
    if (rows[k].day >= rows[k - 1].day) descending = false;
    if (rows[k].day <= rows[k - 1].day) ascending = false;
  }
  if (descending) return;
  if (ascending) {
    std::reverse(rows.begin(), rows.end());
    return;
  }
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return rows[a].day != rows[b].day ? rows[a].day > rows[b].day : a < b;
  });
  int repeatLine = 0;
  std::size_t repeat = 0;
  for (std::size_t k = 1; k < n; ++k)
    if (rows[order[k]].day == rows[order[k - 1]].day &&
        (repeatLine == 0 || rows[order[k]].line < repeatLine)) {
      repeatLine = rows[order[k]].line;
      repeat = order[k];
    }
  if (repeatLine > 0)
    Fail(shown, repeatLine, "日付が重複しています (" + DateToStr(rows[repeat].day) + ")");
  std::vector<PriceRow> sorted;
  sorted.reserve(n);
  for (std::size_t k : order) sorted.push_back(std::move(rows[k]));
  rows = std::move(sorted);
}

[[noreturn]] void FailTooLarge(const std::string& shown) {
  Fail(shown, 0,
       "ファイルが大きすぎます (" + std::to_string(kPriceFileMaxBytes / (1024 * 1024)) + "MBまで)");
}

}  // namespace

std::string ShownFileName(std::string_view path) { return Printable(BaseName(path)); }

PriceFile ReadPriceFile(const std::string& path) {
  const std::string shown = ShownFileName(path);
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > kPriceFileMaxBytes) FailTooLarge(shown);
  std::string bytes;
  try {
    bytes = ReadBytes(path);
  } catch (const FileError&) {
    Fail(shown, 0, "ファイルを読めません");
  }
  return ParsePriceFile(bytes, path);
}

PriceFile ParsePriceFile(std::string_view bytes, const std::string& fileName) {
  return ParsePriceFile(bytes, fileName, Today());
}

PriceFile ParsePriceFile(std::string_view bytes, const std::string& fileName, int today) {
  const std::string shown = ShownFileName(fileName);
  if (bytes.size() > kPriceFileMaxBytes) FailTooLarge(shown);
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
    Fail(shown, 1, "UTF-16 のファイルは読めません (UTF-8 か Shift-JIS で保存してください)");

  std::string_view text = bytes;
  Encoding enc = Encoding::Cp932;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
    enc = Encoding::Utf8;
  } else if (IsValidUtf8(text)) {  // plain ASCII included
    enc = Encoding::Utf8;
  }

  if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
    LineReader counter(text.substr(0, nul + 1));
    std::string_view unused;
    while (counter.Next(unused)) {
    }
    Fail(shown, counter.Number(), "読めない文字 (NUL) があります");
  }

  LineReader reader(text);
  std::string_view line;
  const auto nextFilled = [&reader](std::string_view& out) {
    while (reader.Next(out))
      if (!IsBlankLine(out)) return true;
    return false;
  };

  PriceFile result;
  std::string titleCode, titleName;
  Layout layout;
  if (!nextFilled(line)) Fail(shown, 0, "データがありません");
  const int firstNumber = reader.Number();
  const std::string_view first = line;
  // The first data line, when the header search had to read it already.
  bool pending = false;
  const auto isData = [](std::string_view l) { return IsDateRow(l) || LooksLikeDateRow(l); };
  const HeaderKind firstKind = ReadHeader(first, enc, layout);
  const auto failHeader = [&shown](int number, HeaderKind kind) {
    Fail(shown, number,
         kind == HeaderKind::Ambiguous ? "見出し行を認識できません (終値か日付の列が複数あります)"
                                       : "見出し行を認識できません");
  };
  int titleLine = 0;
  if (firstKind == HeaderKind::Ambiguous) failHeader(firstNumber, firstKind);
  if (firstKind == HeaderKind::Known) {
  } else if (isData(first)) {
    layout.sep = PickSeparator(first);
    layout.headerless = true;
    pending = true;
  } else {
    std::string_view second;
    const bool hasSecond = nextFilled(second);
    const int secondNumber = reader.Number();
    Layout secondLayout;
    const HeaderKind secondKind =
        hasSecond ? ReadHeader(second, enc, secondLayout) : HeaderKind::None;
    if (secondKind == HeaderKind::Known) {
      ReadTitle(first, enc, titleCode, titleName);
      titleLine = firstNumber;
      layout = secondLayout;
    } else if (hasSecond && isData(second)) {
      // A title line starting with a code, or a header of two columns
      // neither of which is surely no close, then data.
      std::string code, name;
      ReadTitle(first, enc, code, name);
      if (!code.empty()) {
        titleCode = code;
        titleName = name;
        titleLine = firstNumber;
        layout.headerless = true;
      } else if (firstKind != HeaderKind::TwoColumns) {
        failHeader(firstNumber, firstKind);
      }
      layout.sep = PickSeparator(second);
      line = second;
      pending = true;
    } else if (secondKind == HeaderKind::Unknown || secondKind == HeaderKind::Ambiguous) {
      failHeader(secondNumber, secondKind);  // a title, then a header without a close
    } else {
      failHeader(firstNumber, firstKind);
    }
  }

  const std::size_t needed = std::max(layout.dateCol, layout.closeCol) + 1;
  std::array<std::string_view, kMaxHeaderFields> fields;
  // A daily file has about one line per 50 bytes; a guess, bounded by the cap.
  const std::size_t guess = std::min<std::size_t>(text.size() / 32 + 1, kPriceFileMaxRows);
  result.rows.reserve(guess);
  int dataLines = 0;
  while (pending || nextFilled(line)) {
    pending = false;
    const int number = reader.Number();
    if (++dataLines > kPriceFileMaxRows)
      Fail(shown, number, "行が多すぎます (" + std::to_string(kPriceFileMaxRows) + "行まで)");
    const std::size_t count = SplitFields(line, layout.sep, fields.data(), fields.size());
    if (count < needed) Fail(shown, number, "項目が足りません");
    if (layout.headerless) {
      for (std::size_t k = 2; k < count; ++k)
        if (!fields[k].empty())
          Fail(shown, number,
               "見出し行がないため、日付と終値のほかに項目がある行は読めません "
               "(桁区切りのある数値は \"1,234\" のように引用符で囲みます)");
    } else {
      if (layout.width == 0) layout.width = count;
      for (std::size_t k = layout.width; k < count; ++k)
        if (!fields[k].empty())
          Fail(shown, number,
               "項目が多すぎます (桁区切りのある数値は \"1,234\" のように引用符で囲みます)");
    }
    const std::string_view dateText = fields[layout.dateCol];
    const std::string_view closeText = fields[layout.closeCol];
    int day;
    if (!ParseDay(dateText, day))
      Fail(shown, number, "日付を読めません (" + Excerpt(dateText, enc) + ")");
    if (day > today)
      Fail(shown, number,
           "今日 (" + DateToStr(today) + ") より後の日付です (" + Excerpt(dateText, enc) + ")");
    if (layout.nullRows && EqualsNoCase(closeText, "null")) {
      ++result.skipped;
      continue;
    }
    if (layout.sep == ';' && ReadsTwoWays(closeText))
      Fail(shown, number,
           "終値の区切りが桁区切りか小数点か決められません (" + Excerpt(closeText, enc) + ")");
    PriceRow& row = result.rows.emplace_back();
    row.day = day;
    row.line = number;
    switch (ReadClose(closeText, row.close)) {
      case CloseResult::Ok:
        break;
      case CloseResult::NotNumber:
        Fail(shown, number, "終値が数値ではありません (" + Excerpt(closeText, enc) + ")");
      case CloseResult::NotPositive:
        Fail(shown, number, "終値が0以下です (" + Excerpt(closeText, enc) + ")");
      case CloseResult::TooLarge:
        Fail(shown, number,
             "終値が大きすぎます (" + Excerpt(closeText, enc) + "、" +
                 IntToStr(kPriceFileMaxClose) + "まで)");
    }
    row.open = AmountAt(fields, count, layout.openCol, true);
    row.high = AmountAt(fields, count, layout.highCol, true);
    row.low = AmountAt(fields, count, layout.lowCol, true);
    row.volume = AmountAt(fields, count, layout.volumeCol, false);
  }
  result.candles = layout.openCol != HeaderColumns::kNoColumn &&
                   layout.highCol != HeaderColumns::kNoColumn &&
                   layout.lowCol != HeaderColumns::kNoColumn;
  if (result.rows.empty()) Fail(shown, 0, "株価の行がありません");
  PutNewestFirst(result.rows, shown);

  ReadFileName(BaseName(fileName), result.fileNameCode, result.fileNameName);
  result.code = result.fileNameCode.empty() ? titleCode : result.fileNameCode;
  result.titleCode = titleCode;
  result.titleLine = titleCode.empty() ? 0 : titleLine;
  result.name = titleName;
  return result;
}

std::string StockName(const PriceFile& file, const std::string& code) {
  // A name belongs to the code beside it: a title line's name to the title
  // line's code, a file name's to the file name's.
  if (!file.name.empty() && (file.titleCode.empty() || file.titleCode == code)) return file.name;
  if (!file.fileNameName.empty() && (file.fileNameCode.empty() || file.fileNameCode == code))
    return file.fileNameName;
  return {};
}

std::string Heading(const PriceFile& file) {
  const std::string name = StockName(file, file.code);
  if (name.empty()) return file.code;
  if (file.code.empty()) return name;
  return file.code + " " + name;
}

}  // namespace tavrine
