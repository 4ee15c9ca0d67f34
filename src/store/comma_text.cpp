#include "store/comma_text.h"

namespace tavrine {

namespace {
inline bool IsSep(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}
}  // namespace

std::vector<std::string> ParseCommaText(std::string_view line, std::size_t maxFields) {
  auto nul = line.find('\0');
  if (nul != std::string_view::npos) line = line.substr(0, nul);
  std::vector<std::string> fields;
  const std::size_t n = line.size();
  std::size_t i = 0;
  while (i < n && IsSep(line[i])) ++i;
  while (i < n) {
    std::string field;
    if (line[i] == '"') {
      ++i;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            field += '"';
            i += 2;
          } else {
            ++i;
            break;
          }
        } else {
          field += line[i++];
        }
      }
    } else {
      std::size_t j = i;
      while (j < n && line[j] != ',' && !IsSep(line[j])) ++j;
      field.assign(line.substr(i, j - i));
      i = j;
    }
    if (fields.size() < maxFields)
      fields.push_back(field.empty() ? std::string(" ") : std::move(field));
    while (i < n && IsSep(line[i])) ++i;
    if (i < n && line[i] == ',') {
      ++i;
      while (i < n && IsSep(line[i])) ++i;
    }
  }
  return fields;
}

std::string ToCommaText(const std::vector<std::string>& cells) {
  std::string out;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    if (k) out += ',';
    const std::string& s = cells[k];
    bool quote = false;
    for (char c : s) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u <= 32 || c == '"' || c == ',') {
        quote = true;
        break;
      }
    }
    if (!quote) {
      out += s;
      continue;
    }
    out += '"';
    for (char c : s) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

}  // namespace tavrine
