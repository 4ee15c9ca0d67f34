#include "store/table_file.h"

#include "store/codec.h"
#include "store/stock_list.h"

namespace tavrine {

void LoadTableFile(WorkTable& t, const std::string& path, int maxCols,
                   const std::function<void(int, int)>& progress) {
  // The lines of the file's bytes, each field decoded as it is stored.
  const std::string bytes = ReadBytes(path);
  const auto lines = SplitLineViews(bytes);
  const int n = static_cast<int>(lines.size());
  t.setRowCount(n);
  t.reserveRows(n);
  if (!progress) return t.setRowsCommaText(0, lines.data(), lines.size(), maxCols, Cp932ToUtf8);
  for (int i = 0; i < n; ++i) {
    progress(i, n);
    t.setRowsCommaText(i, &lines[static_cast<std::size_t>(i)], 1, maxCols, Cp932ToUtf8);
  }
}

void SaveTableFile(const WorkTable& t, const std::string& path) {
  // The lines as WriteLines joins them: each ended by CR LF.
  std::string text;
  for (int r = 0; r < t.rowCount(); ++r) {
    t.appendRowCommaText(r, text);
    text += "\r\n";
  }
  WriteText(path, text);
}

void ClearQuotedBlanks(WorkTable& list) {
  // A number's text is never one of these, so only text cells are looked at.
  list.clearTextsStartingWith('"', 200, stocklist::kLastDayRow,
                              [](std::string_view v) { return v == "\" \"" || v == "\"\""; });
}

}  // namespace tavrine
