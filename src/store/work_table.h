// A work table: cells addressed [c, r] with a settable displayed size.
// Cells outside the displayed size are stored and read back like any other.
// Cells are kept column by column: most work sweeps one column down the days,
// which then reads and writes neighbouring memory. A column holds only the
// rows up to the last one written.
//
// A cell holds a text or a number. A number keeps no text: its text is made
// when the cell is read as text, and it is the text a string cell would have
// held (IntToStr of an integer, FloatToStr of a decimal), so no reader can
// tell the two apart. Numeric reads of a number cell take the number without
// the text.
#pragma once

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/decimal_form.h"
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
  // Room for rows 0 .. rows-1 in every column written, for a fill of that
  // many rows (a file read), so the columns need not grow step by step.
  void reserveRows(int rows);

  // The cell's text; a cell never written (or at a negative address) gives "".
  std::string cell(int c, int r) const {
    const Cell* x = find(c, r);
    return x ? x->text(pool_) : std::string();
  }
  // Stores the text. A text that is exactly IntToStr of its integer is kept
  // as that integer.
  void set(int c, int r, std::string_view v);

  // Cell read as a strict integer or decimal (ConversionError otherwise):
  // StrToInt and StrToFloat of its text.
  int getInt(int c, int r) const;
  long double getFloat(int c, int r) const;
  // getInt and getFloat without raising: false exactly where they would raise.
  bool tryInt(int c, int r, long long& v) const;
  bool tryFloat(int c, int r, long double& v) const;
  void setInt(int c, int r, long long v) {
    if (Cell* x = place(c, r)) {
      storeInt(*x, v);
      ++version_;
    }
  }
  // Keeps v's 15-digit decimal: the text is FloatToStr(v), getFloat the
  // value StrToFloat gives for it.
  void setFloat(int c, int r, long double v);
  // setFloat(d.value), its digits already worked out.
  void setDecimal(int c, int r, const DecimalValue& d) {
    if (!d.plain) return setFloat(c, r, d.value);
    if (Cell* x = place(c, r)) {
      release(*x);
      x->setDecimal(d.digits);
      ++version_;
    }
  }

  // Text tests without making the text.
  bool isEmpty(int c, int r) const { return !filled(c, r); }
  // IsBlank of the text: empty or one space.
  bool isBlank(int c, int r) const;
  // Whether the text is s.
  bool textIs(int c, int r, std::string_view s) const;

  // Integer v into every cell of column c, rows first .. last, that is empty
  // (fillEmpty), or empty, one space or one full-width space (fillBlankWide).
  void fillEmpty(int c, int first, int last, long long v);
  void fillBlankWide(int c, int first, int last, long long v);

  // The same reads and writes of a named cell.
  std::string cell(CellRef c) const { return cell(c.col, c.row); }
  void set(CellRef c, std::string_view v) { set(c.col, c.row, v); }
  int getInt(CellRef c) const { return getInt(c.col, c.row); }
  long double getFloat(CellRef c) const { return getFloat(c.col, c.row); }
  void setInt(CellRef c, long long v) { setInt(c.col, c.row, v); }

  // Empties every text cell of columns 0 .. lastCol and rows 0 .. lastRow
  // whose text starts with `first` and match accepts (number cells are never
  // passed to it). A table that never stored such a text is not swept.
  template <class Match>
  void clearTextsStartingWith(char first, int lastCol, int lastRow, Match match) {
    if (!textLeads_.test(static_cast<unsigned char>(first))) return;
    const std::size_t cols =
        std::min(data_.size(), static_cast<std::size_t>(std::max(lastCol + 1, 0)));
    for (std::size_t c = 0; c < cols; ++c) {
      auto& column = data_[c];
      const std::size_t rows =
          std::min(column.size(), static_cast<std::size_t>(std::max(lastRow + 1, 0)));
      for (std::size_t r = 0; r < rows; ++r) {
        Cell& x = column[r];
        if (!x.isText()) continue;
        char buf[Cell::kDateChars];
        const std::string_view v = x.textView(pool_, buf);
        if (!v.empty() && v[0] == first && match(v)) {
          release(x);
          ++version_;
        }
      }
    }
  }

  // Row r as comma text over columns 0 .. colCount-1.
  std::string rowCommaText(int r) const;
  // rowCommaText appended to out.
  void appendRowCommaText(int r, std::string& out) const;
  // Clears row r, then fills it from comma text, one field a column from 0;
  // fields past maxCols (default: 200) are dropped.
  void setRowCommaText(int r, std::string_view line, int maxCols = 200);
  // setRowCommaText of lines[i] into row first + i, for count lines: a
  // file's rows read in one sweep. With decode, the lines are a file's bytes
  // and a field holding a byte past ASCII is stored as decode makes it; the
  // comma text's quotes, commas, separators and line ends are ASCII bytes no
  // multi-byte character holds, so this reads what decoding the whole text
  // first would.
  void setRowsCommaText(int first, const std::string_view* lines, std::size_t count,
                        int maxCols = 200, std::string (*decode)(std::string_view) = nullptr);

  // Row r as a list of cells, columns 0 .. colCount-1.
  std::vector<std::string> rowCells(int r) const;
  // Clears row r, then fills it from a list; an empty item arrives as " ".
  void setRowCells(int r, const std::vector<std::string>& cells);
  // Row dst of this table := row src of from, as a list of from's cells.
  void copyRowFrom(const WorkTable& from, int src, int dst);
  // copyRowFrom for count rows: src+i of from to dst+i, i = 0 .. count-1.
  void copyRowsFrom(const WorkTable& from, int src, int dst, int count);
  // Cell [c, r] := cell [fc, fr] of from (this table or another), as it is:
  // an empty source empties it.
  void copyCell(const WorkTable& from, int fc, int fr, int c, int r) {
    const Cell* x = from.filled(fc, fr);
    if (!x) {
      if (find(c, r)) release(*place(c, r));  // never grown for an empty cell
    } else if (Cell* to = place(c, r)) {
      if (x->isText()) textLeads_ |= from.textLeads_;
      storeCopy(*to, *x, from.pool_);
    }
    ++version_;
  }

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
  // One cell in 8 bytes: its kind in the low three bits and, by kind, an
  // integer of up to 61 bits, a decimal of the plain form (50 bits of
  // digits, its exponent and sign), a text of up to 7 bytes in place, a date
  // "yyyy/mm/dd" as its digits, or the slot of a longer text in the table's
  // pool. Whatever does not fit (a larger integer, a decimal written with an
  // exponent) is kept as its text.
  class Cell {
   public:
    enum Kind : std::uint8_t { kEmpty, kInt, kDecimal, kDate, kShort, kLong };
    static constexpr std::size_t kShortMax = 7;
    static constexpr std::size_t kDateChars = 10;
    static constexpr long long kIntMax = (1LL << 60) - 1;

    Kind kind() const { return static_cast<Kind>(w_ & 7); }
    // A text cell: its text is stored (in place, as a date or in the pool).
    bool isText() const { return kind() >= kDate; }
    long long integer() const { return static_cast<long long>(w_) >> 3; }
    PlainDecimal decimal() const {
      PlainDecimal d;
      d.neg = (w_ >> 3) & 1;
      d.exp = static_cast<std::int8_t>(static_cast<int>((w_ >> 4) & 31) - 4);
      d.digits = w_ >> 9;
      return d;
    }
    std::uint32_t slot() const { return static_cast<std::uint32_t>(w_ >> 32); }
    std::string_view shortText() const {
      return std::string_view(reinterpret_cast<const char*>(&w_) + 1, (w_ >> 3) & 7);
    }

    static bool FitsInteger(long long v) { return v >= -kIntMax - 1 && v <= kIntMax; }
    void setEmpty() { w_ = kEmpty; }
    // v must fit (FitsInteger).
    void setInteger(long long v) { w_ = static_cast<std::uint64_t>(v) << 3 | kInt; }
    void setDecimal(const PlainDecimal& d) {
      w_ = d.digits << 9 | static_cast<std::uint64_t>(d.exp + 4) << 4 |
           static_cast<std::uint64_t>(d.neg) << 3 | kDecimal;
    }
    // s at most kShortMax bytes.
    void setShort(std::string_view s) {
      std::uint64_t w = 0;
      std::memcpy(reinterpret_cast<char*>(&w) + 1, s.data(), s.size());
      w_ = w | s.size() << 3 | kShort;
    }
    // Keeps s when it is a date "dddd/dd/dd"; false otherwise.
    bool setDate(std::string_view s);
    void setSlot(std::uint32_t s) { w_ = static_cast<std::uint64_t>(s) << 32 | kLong; }

    // The text of a text cell, without copying where it is stored as it
    // stands; a date is written into buf (kDateChars). Number cells give "".
    std::string_view textView(const std::vector<std::string>& pool, char* buf) const {
      switch (kind()) {
        case kShort:
          return shortText();
        case kLong:
          return pool[slot()];
        case kDate:
          return dateText(buf);
        default:
          return {};
      }
    }
    std::string text(const std::vector<std::string>& pool) const;
    // The text appended to out.
    void appendText(const std::vector<std::string>& pool, std::string& out) const;

   private:
    std::string_view dateText(char* buf) const;
    std::uint64_t w_ = kEmpty;
  };
  static_assert(sizeof(Cell) == 8);

  const Cell* find(int c, int r) const {
    if (r < 0 || c < 0 || static_cast<std::size_t>(c) >= data_.size()) return nullptr;
    const auto& column = data_[c];
    if (static_cast<std::size_t>(r) >= column.size()) return nullptr;
    return &column[r];
  }
  // The cell at [c, r] when it holds something, else null.
  const Cell* filled(int c, int r) const {
    const Cell* x = find(c, r);
    return x && x->kind() != Cell::kEmpty ? x : nullptr;
  }
  // The cell at [c, r], its column grown to hold it; null at a negative address.
  Cell* place(int c, int r) {
    if (c >= 0 && r >= 0 && static_cast<std::size_t>(c) < data_.size()) {
      auto& column = data_[static_cast<std::size_t>(c)];
      if (static_cast<std::size_t>(r) < column.size()) return &column[static_cast<std::size_t>(r)];
    }
    return placeGrown(c, r);
  }
  Cell* placeGrown(int c, int r);
  // Empties a cell, giving back its pool slot.
  void release(Cell& x) {
    if (x.kind() == Cell::kLong) [[unlikely]]
      freeSlot(x.slot());
    x.setEmpty();
  }
  void freeSlot(std::uint32_t slot);
  // Stores a text in a cell: as an integer when it is one, else in place or
  // in the pool.
  void store(Cell& x, std::string_view v);
  void storeText(Cell& x, std::string_view v);
  // An integer into a cell: in place when it fits, else as its text.
  void storeInt(Cell& x, long long v) {
    if (Cell::FitsInteger(v)) {
      release(x);
      x.setInteger(v);
    } else {
      storeText(x, IntToStr(v));
    }
  }
  template <class Test>
  void fillWhere(int c, int first, int last, long long v, Test test);
  // A cell of another table (or this one) copied in.
  void storeCopy(Cell& x, const Cell& from, const std::vector<std::string>& fromPool) {
    if (from.kind() == Cell::kLong || x.kind() == Cell::kLong) [[unlikely]]
      return storeCopyPooled(x, from, fromPool);
    x = from;
  }
  void storeCopyPooled(Cell& x, const Cell& from, const std::vector<std::string>& fromPool);

  std::string name_;
  int cols_;
  int rows_;
  std::vector<std::vector<Cell>> data_;  // [column][row]
  std::vector<std::string> pool_;        // texts too long for a cell
  std::vector<std::uint32_t> free_;      // pool slots no cell holds
  std::bitset<256> textLeads_;           // first bytes of the texts stored since clearAll
  std::size_t rowHint_ = 0;              // rows a new column makes room for
  std::uint64_t version_ = 0;
  int suspended_ = 0;
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
