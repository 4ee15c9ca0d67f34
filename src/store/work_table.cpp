#include "store/work_table.h"

#include "store/comma_text.h"

#include <algorithm>

namespace tavrine {

const std::string WorkTable::empty_;

WorkTable::WorkTable(std::string name, int cols, int rows)
    : name_(std::move(name)), cols_(cols), rows_(rows) {}

WorkTable::WorkTable(const WorkTable& other)
    : name_(other.name_),
      cols_(other.cols_),
      rows_(other.rows_),
      data_(other.data_),
      version_(other.version_) {}

WorkTable& WorkTable::operator=(const WorkTable& other) {
  if (this == &other) return *this;
  name_ = other.name_;
  cols_ = other.cols_;
  rows_ = other.rows_;
  data_ = other.data_;
  version_ = std::max(version_, other.version_) + 1;
  return *this;
}

void WorkTable::setColCount(int c) {
  cols_ = c < 0 ? 0 : c;
  ++version_;
}

void WorkTable::setRowCount(int r) {
  rows_ = r < 0 ? 0 : r;
  ++version_;
}

std::vector<std::string>& WorkTable::columnFor(int c, int r) {
  // A new column or a grown one takes the displayed size at once, so filling
  // it row by row does not reallocate it again and again.
  if (static_cast<std::size_t>(c) >= data_.size())
    data_.resize(static_cast<std::size_t>(std::max(c + 1, cols_)));
  auto& column = data_[c];
  if (static_cast<std::size_t>(r) >= column.size())
    column.resize(static_cast<std::size_t>(std::max(r + 1, rows_)));
  return column;
}

void WorkTable::setOutside(int c, int r, std::string v) {
  if (c < 0 || r < 0 || v.empty()) return;  // an empty cell needs no storage
  columnFor(c, r)[r] = std::move(v);
  ++version_;
}

std::string WorkTable::rowCommaText(int r) const { return ToCommaText(rowCells(r)); }

void WorkTable::setRowCommaText(int r, std::string_view line, int maxCols) {
  if (r < 0) return;
  auto fields = ParseCommaText(line, static_cast<std::size_t>(maxCols < 0 ? 0 : maxCols));
  clearRow(r);
  for (std::size_t c = 0; c < fields.size(); ++c)
    if (!fields[c].empty()) columnFor(static_cast<int>(c), r)[r] = std::move(fields[c]);
  ++version_;
}

std::vector<std::string> WorkTable::rowCells(int r) const {
  std::vector<std::string> out(static_cast<std::size_t>(cols_));
  for (int c = 0; c < cols_; ++c) out[c] = cell(c, r);
  return out;
}

void WorkTable::setRowCells(int r, const std::vector<std::string>& cells) {
  if (r < 0) return;
  clearRow(r);
  for (std::size_t c = 0; c < cells.size(); ++c) {
    auto& v = columnFor(static_cast<int>(c), r)[r];
    if (cells[c].empty())
      v.assign(1, ' ');
    else
      v = cells[c];
  }
  ++version_;
}

void WorkTable::copyRowFrom(const WorkTable& from, int src, int dst) {
  copyRowsFrom(from, src, dst, 1);
}

void WorkTable::copyRowsFrom(const WorkTable& from, int src, int dst, int count) {
  if (count <= 0 || dst < 0) return;
  const int n = from.colCount();
  // Within one table, rows moving down are copied from the bottom up so that
  // no source row is overwritten before it is read.
  const bool backwards = &from == this && src < dst;
  auto each = [&](auto&& copy) {
    if (backwards)
      for (int i = count - 1; i >= 0; --i) copy(i);
    else
      for (int i = 0; i < count; ++i) copy(i);
  };
  const int last = dst + count - 1;
  for (int c = 0; c < n; ++c) {
    auto& column = columnFor(c, last);
    // Cells are assigned in place, keeping their storage; an empty source
    // cell arrives as " ".
    each([&](int i) {
      const std::string& v = from.cell(c, src + i);
      if (v.empty())
        column[dst + i].assign(1, ' ');
      else
        column[dst + i] = v;
    });
  }
  for (std::size_t c = static_cast<std::size_t>(std::max(n, 0)); c < data_.size(); ++c) {
    auto& column = data_[c];
    for (int r = dst; r <= last && static_cast<std::size_t>(r) < column.size(); ++r)
      column[r].clear();
  }
  ++version_;
}

void WorkTable::clearRow(int r) { clearRows(r, r); }

void WorkTable::clearRows(int first, int last) {
  first = std::max(first, 0);
  if (last < first) return;
  // The cells are emptied but keep their storage for the next fill.
  for (auto& column : data_)
    for (int r = first; r <= last && static_cast<std::size_t>(r) < column.size(); ++r)
      column[r].clear();
  ++version_;
}

void WorkTable::clearAll() {
  data_.clear();
  ++version_;
}

}  // namespace tavrine
