// A work table: text cells addressed [c, r] with a settable displayed size.
// Cells outside the displayed size are stored and read back like any other.
// Cells are kept column by column: most work sweeps one column down the days,
// which then reads and writes neighbouring memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/text.h"

namespace tavrine {

// One fixed cell of a table, as the control cells name them (store/control_cells.h).
struct CellRef {
  int col;
  int row;
};

class WorkTable {
 public:
  WorkTable(std::string name, int cols, int rows);
  // A copy has the cells and size of its source and no redraw suspension.
  WorkTable(const WorkTable& other);
  // Takes the other table's cells and size; counts as a write, so views
  // refresh. Its own redraw suspension stays as it is.
  WorkTable& operator=(const WorkTable& other);

  const std::string& name() const { return name_; }

  int colCount() const { return cols_; }
  int rowCount() const { return rows_; }
  void setColCount(int c);
  void setRowCount(int r);

  // Reading a cell never written (or at a negative address) gives "".
  const std::string& cell(int c, int r) const {
    if (r < 0 || c < 0 || static_cast<std::size_t>(c) >= data_.size()) return empty_;
    const auto& column = data_[c];
    if (static_cast<std::size_t>(r) >= column.size()) return empty_;
    return column[r];
  }
  void set(int c, int r, std::string v) {
    if (c >= 0 && r >= 0 && static_cast<std::size_t>(c) < data_.size()) {
      auto& column = data_[c];
      if (static_cast<std::size_t>(r) < column.size()) {
        column[r] = std::move(v);
        ++version_;
        return;
      }
    }
    setOutside(c, r, std::move(v));
  }

  // Cell read as a strict integer or decimal (ConversionError otherwise).
  int getInt(int c, int r) const { return StrToInt(cell(c, r)); }
  long double getFloat(int c, int r) const { return StrToFloat(cell(c, r)); }
  void setInt(int c, int r, long long v) { set(c, r, IntToStr(v)); }
  void setFloat(int c, int r, long double v) { set(c, r, FloatToStr(v)); }

  // The same reads and writes of a named cell.
  const std::string& cell(CellRef c) const { return cell(c.col, c.row); }
  void set(CellRef c, std::string v) { set(c.col, c.row, std::move(v)); }
  int getInt(CellRef c) const { return getInt(c.col, c.row); }
  long double getFloat(CellRef c) const { return getFloat(c.col, c.row); }
  void setInt(CellRef c, long long v) { setInt(c.col, c.row, v); }

  // Row r as comma text over columns 0 .. colCount-1.
  std::string rowCommaText(int r) const;
  // Clears row r, then fills it from comma text, one field a column from 0;
  // fields past maxCols (default: 200) are dropped.
  void setRowCommaText(int r, std::string_view line, int maxCols = 200);

  // Row r as a list of cells, columns 0 .. colCount-1.
  std::vector<std::string> rowCells(int r) const;
  // Clears row r, then fills it from a list; an empty item arrives as " ".
  void setRowCells(int r, const std::vector<std::string>& cells);
  // Row dst of this table := row src of from, as a list of from's cells.
  void copyRowFrom(const WorkTable& from, int src, int dst);
  // copyRowFrom for count rows: src+i of from to dst+i, i = 0 .. count-1.
  void copyRowsFrom(const WorkTable& from, int src, int dst, int count);

  // Empties every cell of row r.
  void clearRow(int r);
  // Empties every cell of rows first .. last.
  void clearRows(int first, int last);
  // Empties every cell of every row.
  void clearAll();

  // Incremented on every write; views compare it to know when to refresh.
  std::uint64_t version() const { return version_; }
  // Redraw suspension; the window refreshes the view once when it ends.
  void suspend() { ++suspended_; }
  void resume() {
    if (suspended_ > 0) --suspended_;
  }
  bool suspended() const { return suspended_ > 0; }

 private:
  std::vector<std::string>& columnFor(int c, int r);
  // set() for a cell not yet stored.
  void setOutside(int c, int r, std::string v);

  std::string name_;
  int cols_;
  int rows_;
  std::vector<std::vector<std::string>> data_;  // [column][row]
  std::uint64_t version_ = 0;
  int suspended_ = 0;
  static const std::string empty_;
};

// Suspends the redraw of one to three tables for the length of a scope,
// resuming them in reverse order on every way out.
class SuspendRedraw {
 public:
  template <class... Tables>
  explicit SuspendRedraw(Tables&... tables) : tables_{&tables...}, count_(sizeof...(Tables)) {
    static_assert(sizeof...(Tables) >= 1 && sizeof...(Tables) <= 3);
    for (int i = 0; i < count_; ++i) tables_[i]->suspend();
  }
  ~SuspendRedraw() {
    for (int i = count_; i-- > 0;) tables_[i]->resume();
  }
  SuspendRedraw(const SuspendRedraw&) = delete;
  SuspendRedraw& operator=(const SuspendRedraw&) = delete;

 private:
  WorkTable* tables_[3];
  int count_;
};

}  // namespace tavrine
