#include "store/work_table.h"

#include "store/comma_text.h"

#include <algorithm>

namespace tavrine {

const std::string WorkTable::empty_;

WorkTable::WorkTable(std::string name, int cols, int rows) : name_(std::move(name)), cols_(cols), rows_(rows) {}

void WorkTable::setColCount(int c) {
  cols_ = c < 0 ? 0 : c;
  ++version_;
}

void WorkTable::setRowCount(int r) {
  rows_ = r < 0 ? 0 : r;
  ++version_;
}

std::vector<std::string>& WorkTable::rowRef(int r) {
  if (static_cast<std::size_t>(r) >= data_.size()) data_.resize(static_cast<std::size_t>(r) + 1);
  return data_[r];
}

void WorkTable::set(int c, int r, std::string v) {
  if (c < 0 || r < 0) return;
  auto& row = rowRef(r);
  if (static_cast<std::size_t>(c) >= row.size()) {
    if (v.empty()) return;
    // Grow to the displayed width at once, so filling a row column by column
    // does not reallocate it again and again.
    row.resize(static_cast<std::size_t>(std::max(c + 1, cols_)));
  }
  row[c] = std::move(v);
  ++version_;
}

std::string WorkTable::rowCommaText(int r) const { return ToCommaText(rowCells(r)); }

void WorkTable::setRowCommaText(int r, std::string_view line, int maxCols) {
  if (r < 0) return;
  auto fields = ParseCommaText(line, static_cast<std::size_t>(maxCols < 0 ? 0 : maxCols));
  auto& row = rowRef(r);
  row = std::move(fields);
  ++version_;
}

std::vector<std::string> WorkTable::rowCells(int r) const {
  std::vector<std::string> out(static_cast<std::size_t>(cols_));
  for (int c = 0; c < cols_; ++c) out[c] = cell(c, r);
  return out;
}

void WorkTable::setRowCells(int r, const std::vector<std::string>& cells) {
  if (r < 0) return;
  auto& row = rowRef(r);
  row.assign(cells.size(), std::string());
  for (std::size_t c = 0; c < cells.size(); ++c) row[c] = cells[c].empty() ? std::string(" ") : cells[c];
  ++version_;
}

void WorkTable::copyRowFrom(const WorkTable& from, int src, int dst) {
  if (dst < 0) return;
  auto& row = rowRef(dst);
  const std::size_t n = static_cast<std::size_t>(from.colCount());
  if (row.size() < n) row.resize(n);
  // Cells are assigned in place, keeping their storage.
  for (std::size_t c = 0; c < n; ++c) {
    const std::string& v = from.cell(static_cast<int>(c), src);
    if (v.empty())
      row[c].assign(1, ' ');
    else
      row[c] = v;
  }
  for (std::size_t c = n; c < row.size(); ++c) row[c].clear();
  ++version_;
}

void WorkTable::clearRow(int r) {
  if (r < 0 || static_cast<std::size_t>(r) >= data_.size()) return;
  // The cells are emptied but the row keeps its width for the next fill.
  for (auto& cell : data_[r]) cell.clear();
  ++version_;
}

void WorkTable::clearAll() {
  data_.clear();
  ++version_;
}

}  // namespace tavrine
