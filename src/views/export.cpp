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

const std::vector<std::string>& ScanColumnHeadings() {
  static const std::vector<std::string> headings = {"コード", "銘柄名", "規則", "全頻度", "全利率平均",
                                                     "年平均頻度", "年利率", "勝率", "平均日数"};
  return headings;
}

std::vector<std::string> ScanRowCells(const ScanRow& row) {
  return {row.code,       row.name,          row.rule,     std::to_string(row.trades), row.average,
          row.perYear,    row.annualRate,    row.winShare, row.averageDays};
}

void SaveScanCsv(const std::vector<ScanRow>& rows, const std::string& path) {
  std::vector<std::string> lines;
  lines.reserve(rows.size() + 1);
  lines.push_back(ToCommaText(ScanColumnHeadings()));
  for (const ScanRow& row : rows) lines.push_back(ToCommaText(ScanRowCells(row)));
  WriteLines(path, lines, true);
}

}  // namespace tavrine
