#include "web/quote_page.h"

#include <cstdio>

#include "store/codec.h"
#include "store/text.h"

namespace tavrine::quote {

std::size_t Pos(std::string_view sub, std::string_view s) {
  auto p = s.find(sub);
  return p == std::string_view::npos ? 0 : p + 1;
}

std::string Copy(std::string_view s, long long index, long long count) {
  if (index < 1) index = 1;
  if (count <= 0 || index > static_cast<long long>(s.size())) return {};
  return std::string(
      s.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count)));
}

std::string EncodeQueryValue(std::string_view v) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (char ch : v) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool unsafe = c <= 0x20 || c >= 0x7F || c == '&' || c == '=' || c == '#' || c == '%' ||
                        c == '+' || c == '?' || c == '"' || c == '<' || c == '>' || c == '\\';
    if (unsafe) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

std::string CollectionPath(int n, std::string_view code, int today) {
  const std::string t = DateToStr(today);  // yyyy/mm/dd
  const std::string Y = t.substr(0, 4), M = t.substr(5, 2), D = t.substr(8, 2);
  const std::string K = EncodeQueryValue(code);
  const std::string R = std::to_string(n * kRowsPerPage);
  if (n == 0)
    return "/t?c=1930&a=9&b=16&f=" + Y + "&d=" + M + "&e=" + D + "&g=d&s=" + K + "&y=" + R +
           "&z=9984.t";
  return "/t?s=" + K + "&a=9&b=16&c=1930&d=" + M + "&e=" + D + "&f=" + Y + "&g=d&q=t&y=" + R +
         "&z=9984.t&x=.csv";
}

namespace {
// Drops one leading "0" of a two-digit month or day.
std::string NoLeadingZero(std::string s) {
  if (!s.empty() && s[0] == '0') s.erase(0, 1);
  return s;
}
}  // namespace

std::string ProbePath(int day) {
  const std::string t = DateToStr(day);
  const std::string Y = t.substr(0, 4);
  const std::string md = t.substr(5, 5);  // mm/dd
  const auto slash = md.find('/');
  const std::string M = NoLeadingZero(md.substr(0, slash));
  const std::string D = NoLeadingZero(md.substr(slash + 1, 2));
  return "/t?c=" + Y + "&a=" + M + "&b=" + D + "&f=" + Y + "&d=" + M + "&e=" + D +
         "&g=d&s=998407&y=0&z=";
}

std::string ProbeDateText(int day) {
  std::string t = DateToStr(day);  // yyyy/mm/dd
  if (t.size() >= 9 && t[8] == '0') t.erase(8, 1);
  if (t.size() >= 6 && t[5] == '0') t.erase(5, 1);
  return t;
}

bool ProbeIsTradingDay(std::string_view body) {
  const std::size_t p = Pos(kRowMarker, body);
  const std::string w = Copy(body, static_cast<long long>(p) + 10, 200);
  return Pos("<b>", w) > 1;
}

std::string KeptWindow(std::string_view body) {
  const std::size_t p = Pos(kRowMarker, body);
  if (p == 0) return std::string(body);
  return Copy(body, static_cast<long long>(p), static_cast<long long>(kKeptWindow));
}

std::vector<std::string> SplitPageLine(std::string_view line) {
  std::string s;
  s.reserve(line.size());
  std::size_t i = 0;
  while (i < line.size()) {
    if (line.compare(i, kRowMarker.size(), kRowMarker) == 0) {
      s += '\n';
      i += kRowMarker.size();
    } else {
      s += line[i++];
    }
  }
  return SplitLines(s);
}

bool RowDay(std::string_view rowText, int& day) {
  static constexpr std::string_view kSigns[] = {"\xC7\xAF", "\xB7\xEE", "\xC6\xFC"};  // 年 月 日
  std::string text;
  std::size_t i = 0;
  for (int part = 0; part < 3; ++part) {
    const std::size_t start = i;
    while (i < rowText.size() && rowText[i] >= '0' && rowText[i] <= '9') ++i;
    if (i == start || rowText.compare(i, kSigns[part].size(), kSigns[part]) != 0) return false;
    if (part > 0) text += '/';
    text.append(rowText.substr(start, i - start));
    i += kSigns[part].size();
  }
  return TryParseDate(text, day);
}

std::string DateHead(std::string_view rowText) { return Copy(rowText, 1, 9); }

std::string ExtractValue(std::string_view rowText) {
  std::string v(rowText);
  if (const std::size_t e = Pos(kRowEnd, v); e > 0)
    v = Copy(v, static_cast<long long>(e) - static_cast<long long>(kValueWindow), kValueWindow);
  if (const std::size_t s = Pos(kCellStart, v); s > 0)
    v = Copy(v, static_cast<long long>(s) + 7, kValueWindow);
  return v;
}

std::string RemoveCommas(std::string s, int times) {
  for (int i = 0; i < times; ++i) {
    auto c = s.find(',');
    if (c == std::string::npos) break;
    s.erase(c, 1);
  }
  return s;
}

std::string ProgressLabel(std::string_view rawHead) {
  std::size_t m = 0;
  for (std::size_t i = 0; i < rawHead.size(); ++i)
    if (static_cast<unsigned char>(rawHead[i]) == 0xB7) {
      m = i + 1;
      break;
    }
  std::string label = EucJpToUtf8(Copy(rawHead, 1, 4)) + "・";
  const long long len = static_cast<long long>(m) - 7;
  if (len >= 1) label += EucJpToUtf8(Copy(rawHead, 7, len));
  return label + "・";
}

}  // namespace tavrine::quote
