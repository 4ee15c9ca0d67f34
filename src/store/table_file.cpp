#include "store/table_file.h"

#include "store/codec.h"
#include "store/stock_list.h"

namespace tavrine {

void LoadTableFile(WorkTable& t, const std::string& path, int maxCols,
                   const std::function<void(int, int)>& progress) {
  const auto lines = ReadLines(path);
  const int n = static_cast<int>(lines.size());
  t.setRowCount(n);
  for (int i = 0; i < n; ++i) {
    if (progress) progress(i, n);
    t.setRowCommaText(i, lines[i], maxCols);
  }
}

void SaveTableFile(const WorkTable& t, const std::string& path) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(t.rowCount()));
  for (int r = 0; r < t.rowCount(); ++r) lines.push_back(t.rowCommaText(r));
  WriteLines(path, lines, true);
}

void ClearQuotedBlanks(WorkTable& list) {
  for (int c = 0; c <= 200; ++c)
    for (int r = 0; r <= stocklist::kLastDayRow; ++r) {
      const std::string& v = list.cell(c, r);
      if (v == "\" \"" || v == "\"\"") list.set(c, r, "");
    }
}

}  // namespace tavrine
