// Comma text: the line form of the stock-list file and of every list file the
// system reads (calendar, candidate and portfolio lists).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrine {

// Reads one line into fields. Leading characters 1..32 are skipped; a field
// starting with a double quote runs to its closing quote (a doubled quote is
// one quote; an unclosed quote takes the rest of the line); any other field
// runs to the next comma or character <= 32. An empty field becomes " ".
// At most maxFields fields are kept.
std::vector<std::string> ParseCommaText(std::string_view line, std::size_t maxFields = 200);
// The same reading, each field handed to field(index, text) as it is read;
// the text lives until the next field.
void ForEachCommaField(std::string_view line, std::size_t maxFields,
                       const std::function<void(std::size_t, std::string_view)>& field);
// ForEachCommaField with the handler inlined, for bulk reads.
template <class Field>
void ForEachCommaFieldOf(std::string_view line, std::size_t maxFields, Field&& field) {
  auto isSep = [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
  };
  // The end of an unquoted field from i: the first comma or byte below '!'
  // (a separator; the line holds no NUL), eight bytes at a time. The lowest
  // flagged byte of each mask is exact.
  auto fieldEnd = [&line](std::size_t j) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    const std::size_t n = line.size();
    for (; j + 8 <= n; j += 8) {
      std::uint64_t w;
      std::memcpy(&w, line.data() + j, 8);
      const std::uint64_t x = w ^ (kOnes * ',');
      const std::uint64_t m = ((w - kOnes * '!') & ~w & kHigh) | ((x - kOnes) & ~x & kHigh);
      if (m) return j + static_cast<std::size_t>(std::countr_zero(m) >> 3);
    }
    while (j < n && line[j] != ',' && static_cast<unsigned char>(line[j]) > 32) ++j;
    return j;
  };
  auto nul = line.find('\0');
  if (nul != std::string_view::npos) line = line.substr(0, nul);
  const std::size_t n = line.size();
  std::size_t i = 0;
  std::size_t count = 0;
  std::string unquoted;  // a quoted field's text, its doubled quotes made one
  while (i < n && isSep(line[i])) ++i;
  while (i < n) {
    std::string_view text;
    if (line[i] == '"') {
      ++i;
      unquoted.clear();
      while (i < n) {
        const std::size_t j = line.find('"', i);
        if (j == std::string_view::npos) {
          unquoted.append(line.substr(i));
          i = n;
        } else if (j + 1 < n && line[j + 1] == '"') {
          unquoted.append(line.substr(i, j + 1 - i));
          i = j + 2;
        } else {
          unquoted.append(line.substr(i, j - i));
          i = j + 1;
          break;
        }
      }
      text = unquoted;
    } else {
      const std::size_t j = fieldEnd(i);
      text = line.substr(i, j - i);
      i = j;
    }
    if (count < maxFields) field(count++, text.empty() ? std::string_view(" ") : text);
    while (i < n && isSep(line[i])) ++i;
    if (i < n && line[i] == ',') {
      ++i;
      while (i < n && isSep(line[i])) ++i;
    }
  }
}

// Joins cells with ","; a cell holding a character <= 32, a double quote or a
// comma is quoted with inner quotes doubled.
std::string ToCommaText(const std::vector<std::string>& cells);
// Whether a cell needs quotes in comma text, and one cell appended to out
// as ToCommaText writes it.
bool NeedsQuotes(std::string_view s);
void AppendCommaField(std::string_view s, std::string& out);

}  // namespace tavrine
