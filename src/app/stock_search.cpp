#include "app/stock_search.h"

#include "app/scan.h"
#include "store/codec.h"
#include "store/text.h"

namespace tavrine {

namespace {

// A byte that starts no UTF-8 character, kept as it is.
constexpr char32_t kStrayByte = 0x110000;

// Decodes one UTF-8 character at s[i].
char32_t Next(std::string_view s, std::size_t& i) {
  const auto b = static_cast<unsigned char>(s[i]);
  int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (len == 0 || i + len > s.size()) {
    ++i;
    return kStrayByte + b;
  }
  char32_t c = len == 1 ? b : len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
  for (int k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += len;
  return c;
}

void Append(std::u32string_view cs, std::string& out) {
  for (char32_t c : cs) {
    if (c >= kStrayByte) {
      out += static_cast<char>(c - kStrayByte);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

// Half-width katakana U+FF61..U+FF9F in their full-width forms.
constexpr char16_t kHalfKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C};

// Kana of the rows カ .. ト take the voiced mark as the next code point,
// ハ .. ホ both marks (voiced +1, semi-voiced +2), ウ becomes ヴ.
bool TakesVoicedMark(char32_t c) {
  if (c >= 0x30AB && c <= 0x30C2) return (c - 0x30AB) % 2 == 0;
  if (c == 0x30C4 || c == 0x30C6 || c == 0x30C8) return true;
  return c >= 0x30CF && c <= 0x30DD && (c - 0x30CF) % 3 == 0;
}
bool TakesSemiVoicedMark(char32_t c) { return c >= 0x30CF && c <= 0x30DD && (c - 0x30CF) % 3 == 0; }

}  // namespace

std::string FoldForSearch(std::string_view utf8) {
  std::u32string cs;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = Next(utf8, i);
    if (c >= 0xFF01 && c <= 0xFF5E) {
      c -= 0xFF01 - 0x21;
    } else if (c == 0x3000) {
      c = U' ';
    } else if (c >= 0x3041 && c <= 0x3096) {
      c += 0x60;
    } else if (c == 0xFF9E && !cs.empty() && (TakesVoicedMark(cs.back()) || cs.back() == 0x30A6)) {
      cs.back() = cs.back() == 0x30A6 ? 0x30F4 : cs.back() + 1;
      continue;
    } else if (c == 0xFF9F && !cs.empty() && TakesSemiVoicedMark(cs.back())) {
      cs.back() += 2;
      continue;
    } else if (c >= 0xFF61 && c <= 0xFF9F) {
      c = kHalfKana[c - 0xFF61];
    }
    if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
    cs += c;
  }
  std::string out;
  Append(cs, out);
  return out;
}

std::vector<StockMatch> FindStocks(const WorkTable& stockList, std::string_view query) {
  std::string q = FoldForSearch(query);
  const auto first = q.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  q = q.substr(first, q.find_last_not_of(' ') - first + 1);
  std::vector<StockMatch> found;
  for (int c : ScanColumns(stockList)) {
    const std::string& heading = stockList.cell(c, 0);
    StockMatch m{c, LeftBytes(heading, 4), ScanNameOf(heading)};
    const std::string code = FoldForSearch(DisplayText(m.code));
    if (code.starts_with(q) || FoldForSearch(DisplayText(m.name)).find(q) != std::string::npos ||
        FoldForSearch(DisplayText(heading)).starts_with(q))
      found.push_back(std::move(m));
  }
  return found;
}

}  // namespace tavrine
