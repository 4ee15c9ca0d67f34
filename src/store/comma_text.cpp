#include "store/comma_text.h"

#include <functional>

namespace tavrine {

namespace {
inline bool IsSep(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}
}  // namespace

void ForEachCommaField(std::string_view line, std::size_t maxFields,
                       const std::function<void(std::size_t, std::string_view)>& field) {
  auto nul = line.find('\0');
  if (nul != std::string_view::npos) line = line.substr(0, nul);
  const std::size_t n = line.size();
  std::size_t i = 0;
  std::size_t count = 0;
  std::string unquoted;  // a quoted field's text, its doubled quotes made one
  while (i < n && IsSep(line[i])) ++i;
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
      std::size_t j = i;
      while (j < n && line[j] != ',' && !IsSep(line[j])) ++j;
      text = line.substr(i, j - i);
      i = j;
    }
    if (count < maxFields) field(count++, text.empty() ? std::string_view(" ") : text);
    while (i < n && IsSep(line[i])) ++i;
    if (i < n && line[i] == ',') {
      ++i;
      while (i < n && IsSep(line[i])) ++i;
    }
  }
}

std::vector<std::string> ParseCommaText(std::string_view line, std::size_t maxFields) {
  std::vector<std::string> fields;
  ForEachCommaField(line, maxFields,
                    [&](std::size_t, std::string_view f) { fields.emplace_back(f); });
  return fields;
}

bool NeedsQuotes(std::string_view s) {
  for (char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 32 || c == '"' || c == ',') return true;
  }
  return false;
}

void AppendCommaField(std::string_view s, std::string& out) {
  if (!NeedsQuotes(s)) {
    out += s;
    return;
  }
  out += '"';
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string ToCommaText(const std::vector<std::string>& cells) {
  std::string out;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    if (k) out += ',';
    AppendCommaField(cells[k], out);
  }
  return out;
}

}  // namespace tavrine
