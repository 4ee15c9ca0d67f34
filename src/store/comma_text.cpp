#include "store/comma_text.h"

#include <functional>

namespace tavrine {

void ForEachCommaField(std::string_view line, std::size_t maxFields,
                       const std::function<void(std::size_t, std::string_view)>& field) {
  ForEachCommaFieldOf(line, maxFields, field);
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
