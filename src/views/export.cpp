#include "views/export.h"

#include "store/codec.h"
#include "store/comma_text.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

void SaveStatsCsv(const WorkTable& stats, const std::string& path) {
  const int cols = stats.colCount();
  int last = 0;
  for (int r = 0; r < stats.rowCount(); ++r)
    for (int c = 1; c < cols; ++c)
      if (!IsBlank(stats.cell(c, r))) {
        last = r;
        break;
      }
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(last) + 1);
  std::vector<std::string> cells(static_cast<std::size_t>(cols));
  for (int r = 0; r <= last; ++r) {
    for (int c = 0; c < cols; ++c) {
      const std::string& v = stats.cell(c, r);
      cells[static_cast<std::size_t>(c)] = IsBlank(v) ? std::string() : v;
    }
    lines.push_back(ToCommaText(cells));
  }
  WriteLines(path, lines, true);
}

}  // namespace tavrine
