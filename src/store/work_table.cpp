#include "store/work_table.h"

#include <algorithm>
#include <cstring>

#include "store/comma_text.h"
#include "store/decimal_form.h"

namespace tavrine {

namespace {

// Whether s is exactly IntToStr of an integer: "0", or an optional minus and
// a digit string without leading zeros, short enough for 64 bits.
inline bool IntegerText(std::string_view s, long long& v) {
  std::size_t i = s.size() > 0 && s[0] == '-' ? 1 : 0;
  const std::size_t digits = s.size() - i;
  if (digits == 0 || digits > 18) return false;
  if (s[i] == '0') {
    if (s.size() != 1) return false;  // "-0" and leading zeros stay texts
    v = 0;
    return true;
  }
  long long x = 0;
  for (; i < s.size(); ++i) {
    const char ch = s[i];
    if (ch < '0' || ch > '9') return false;
    x = x * 10 + (ch - '0');
  }
  v = s[0] == '-' ? -x : x;
  return true;
}

// IntegerText of a field of the line [begin, end): when eight bytes can be
// read from its first digit inside the line, up to eight digits are checked
// and converted at once, without a branch a digit.
inline bool FieldInteger(std::string_view s, const char* begin, const char* end, long long& v) {
  const std::size_t neg = !s.empty() && s[0] == '-' ? 1 : 0;
  const char* p = s.data() + neg;
  const std::size_t digits = s.size() - neg;
  const auto at = reinterpret_cast<std::uintptr_t>(p);  // the field may lie outside the line
  const bool inLine = at >= reinterpret_cast<std::uintptr_t>(begin) &&
                      at + 8 <= reinterpret_cast<std::uintptr_t>(end);
  if (digits == 0 || digits > 8 || !inLine) return IntegerText(s, v);
  if (*p == '0') return IntegerText(s, v);  // "0", or a leading zero that stays a text
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  const std::uint64_t keep = digits == 8 ? ~0ULL : (1ULL << (8 * digits)) - 1;
  const std::uint64_t t = w & keep, zeros = (kOnes * '0') & keep, high = (kOnes * 0xF0) & keep;
  // Each kept byte is 0x30..0x39: its high nibble is 3, also after adding 6.
  if ((t & high) != zeros || ((t + ((kOnes * 6) & keep)) & high) != zeros) return false;
  // The digits as bytes 0..9, the first the most significant, moved up so
  // the bytes below them are leading zeros; then pairs, fours and eights.
  std::uint64_t d = (t - zeros) << (8 * (8 - digits));
  d = (d * 2561) >> 8 & 0x00FF00FF00FF00FFULL;
  d = (d * 6553601) >> 16 & 0x0000FFFF0000FFFFULL;
  d = (d * 42949672960001ULL) >> 32;
  v = neg ? -static_cast<long long>(d) : static_cast<long long>(d);
  return true;
}

std::uint64_t kPow10Of(int k) {
  std::uint64_t p = 1;
  while (k-- > 0) p *= 10;
  return p;
}

// The first character of any number's text.
bool CanStartNumber(std::string_view s) {
  return !s.empty() && (s[0] == '-' || (s[0] >= '0' && s[0] <= '9'));
}

bool IsAscii(std::string_view s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

bool WorkTable::Cell::setDate(std::string_view s) {
  if (s.size() != kDateChars || s[4] != '/' || s[7] != '/') return false;
  std::uint64_t digits = 0;  // the eight digits as one decimal number
  for (std::size_t i = 0; i < kDateChars; ++i) {
    if (i == 4 || i == 7) continue;
    const char ch = s[i];
    if (ch < '0' || ch > '9') return false;
    digits = digits * 10 + static_cast<std::uint64_t>(ch - '0');
  }
  w_ = digits << 3 | kDate;
  return true;
}

std::string_view WorkTable::Cell::dateText(char* buf) const {
  std::uint64_t digits = w_ >> 3;
  for (int i = static_cast<int>(kDateChars) - 1; i >= 0; --i) {
    if (i == 4 || i == 7) {
      buf[i] = '/';
      continue;
    }
    buf[i] = static_cast<char>('0' + digits % 10);
    digits /= 10;
  }
  return std::string_view(buf, kDateChars);
}

std::string WorkTable::Cell::text(const std::vector<std::string>& pool) const {
  char buf[kDecimalChars];
  switch (kind()) {
    case kEmpty:
      return {};
    case kInt:
      return std::string(buf, IntChars(integer(), buf));
    case kDecimal:
      return std::string(buf, PlainDecimalChars(decimal(), buf));
    default:
      return std::string(textView(pool, buf));
  }
}

void WorkTable::Cell::appendText(const std::vector<std::string>& pool, std::string& out) const {
  char buf[kDecimalChars];
  switch (kind()) {
    case kEmpty:
      return;
    case kInt:
      out.append(buf, IntChars(integer(), buf));
      return;
    case kDecimal:
      out.append(buf, PlainDecimalChars(decimal(), buf));
      return;
    default:
      out += textView(pool, buf);
      return;
  }
}

WorkTable::WorkTable(std::string name, int cols, int rows)
    : name_(std::move(name)), cols_(cols), rows_(rows) {}

WorkTable::WorkTable(const WorkTable& other)
    : name_(other.name_),
      cols_(other.cols_),
      rows_(other.rows_),
      data_(other.data_),
      pool_(other.pool_),
      free_(other.free_),
      textLeads_(other.textLeads_),
      rowHint_(other.rowHint_),
      version_(other.version_) {}

WorkTable& WorkTable::operator=(const WorkTable& other) {
  if (this == &other) return *this;
  name_ = other.name_;
  cols_ = other.cols_;
  rows_ = other.rows_;
  data_ = other.data_;
  pool_ = other.pool_;
  free_ = other.free_;
  textLeads_ = other.textLeads_;
  rowHint_ = other.rowHint_;
  version_ = std::max(version_, other.version_) + 1;
  return *this;
}

void WorkTable::setColCount(int c) {
  cols_ = c < 0 ? 0 : c;
  ++version_;
}

void WorkTable::reserveRows(int rows) {
  rowHint_ = static_cast<std::size_t>(std::max(rows, 0));
  for (auto& column : data_) column.reserve(rowHint_);
}

void WorkTable::setRowCount(int r) {
  rows_ = r < 0 ? 0 : r;
  ++version_;
}

WorkTable::Cell* WorkTable::placeGrown(int c, int r) {
  if (c < 0 || r < 0) return nullptr;
  if (static_cast<std::size_t>(c) >= data_.size()) data_.resize(static_cast<std::size_t>(c) + 1);
  auto& column = data_[c];
  const auto row = static_cast<std::size_t>(r);
  if (column.empty() && rowHint_ > row) column.reserve(rowHint_);
  if (row == column.size())
    column.emplace_back();  // the usual growth: filling a column downwards
  else if (row > column.size())
    column.resize(row + 1);
  return &column[row];
}

void WorkTable::storeText(Cell& x, std::string_view v) {
  if (!v.empty()) textLeads_.set(static_cast<unsigned char>(v[0]));
  if (v.size() <= Cell::kShortMax) {
    release(x);
    x.setShort(v);
    return;
  }
  if (v.size() == Cell::kDateChars) {
    Cell date;
    if (date.setDate(v)) {
      release(x);
      x = date;
      return;
    }
  }
  if (x.kind() == Cell::kLong) {
    pool_[x.slot()].assign(v);  // the cell's own slot, its storage kept
    return;
  }
  std::uint32_t slot;
  if (!free_.empty()) {
    slot = free_.back();
    free_.pop_back();
    pool_[slot].assign(v);
  } else {
    slot = static_cast<std::uint32_t>(pool_.size());
    std::string text(v);  // v may lie in the pool, which may move as it grows
    pool_.push_back(std::move(text));
  }
  x.setSlot(slot);
}

void WorkTable::store(Cell& x, std::string_view v) {
  long long i = 0;
  PlainDecimal d;
  if (v.empty()) {
    release(x);
  } else if (!CanStartNumber(v)) {
    storeText(x, v);
  } else if (IntegerText(v, i)) {
    release(x);
    x.setInteger(i);  // 18 digits at most: it fits
  } else if (ParsePlainDecimal(v, d)) {
    release(x);
    x.setDecimal(d);
  } else {
    storeText(x, v);
  }
}

void WorkTable::freeSlot(std::uint32_t slot) { free_.push_back(slot); }

void WorkTable::storeCopyPooled(Cell& x, const Cell& from,
                                const std::vector<std::string>& fromPool) {
  if (from.kind() == Cell::kLong) {
    storeText(x, fromPool[from.slot()]);
  } else {
    const Cell copy = from;  // from may be x itself
    release(x);
    x = copy;
  }
}

void WorkTable::set(int c, int r, std::string_view v) {
  if (v.empty() && !find(c, r)) return;  // an empty cell needs no storage
  if (Cell* x = place(c, r)) {
    store(*x, v);
    ++version_;
  }
}

void WorkTable::setFloat(int c, int r, long double v) {
  Cell* x = place(c, r);
  if (!x) return;
  ++version_;
  PlainDecimal d;
  if (v == 0) {
    release(*x);
    x->setInteger(0);  // FloatToStr(0) is "0"
    return;
  }
  if (ToPlainDecimal(v, d)) {
    release(*x);
    x->setDecimal(d);
    return;
  }
  // The exponent form, infinities and NaN are kept as their text.
  storeText(*x, FloatToStr(v));
}

int WorkTable::getInt(int c, int r) const {
  long long v = 0;
  if (tryInt(c, r, v)) return static_cast<int>(v);
  return StrToInt(cell(c, r));  // raises the conversion error of the text
}

long double WorkTable::getFloat(int c, int r) const {
  long double v = 0;
  if (tryFloat(c, r, v)) return v;
  return StrToFloat(cell(c, r));  // raises the conversion error of the text
}

bool WorkTable::tryInt(int c, int r, long long& v) const {
  const Cell* x = filled(c, r);
  if (!x) return false;
  switch (x->kind()) {
    case Cell::kInt: {
      const long long i = x->integer();
      if (i < INT32_MIN || i > INT32_MAX) return false;
      v = i;
      return true;
    }
    case Cell::kDecimal: {
      // A decimal without a fraction has its digits as its text.
      const PlainDecimal d = x->decimal();
      if (d.exp < 0 || d.exp > 9) return false;
      const std::uint64_t unit = kPow10Of(14 - d.exp);
      if (d.digits % unit != 0) return false;
      const long long i = static_cast<long long>(d.digits / unit);
      v = d.neg ? -i : i;
      return v >= INT32_MIN && v <= INT32_MAX;
    }
    default: {
      char buf[Cell::kDateChars];
      int i = 0;
      if (!TryStrictInt(x->textView(pool_, buf), i)) return false;
      v = i;
      return true;
    }
  }
  return false;
}

bool WorkTable::tryFloat(int c, int r, long double& v) const {
  const Cell* x = filled(c, r);
  if (!x) return false;
  switch (x->kind()) {
    case Cell::kInt:
      v = static_cast<long double>(x->integer());  // exact: 64 bits of mantissa
      return true;
    case Cell::kDecimal:
      v = PlainDecimalValue(x->decimal());
      return true;
    default: {
      char buf[Cell::kDateChars];
      return TryStrToFloat(x->textView(pool_, buf), v);
    }
  }
  return false;
}

bool WorkTable::isBlank(int c, int r) const {
  const Cell* x = find(c, r);
  return !x || x->kind() == Cell::kEmpty || (x->kind() == Cell::kShort && x->shortText() == " ");
}

bool WorkTable::textIs(int c, int r, std::string_view s) const {
  const Cell* x = filled(c, r);
  if (!x) return s.empty();
  if (x->isText()) {
    char buf[Cell::kDateChars];
    return x->textView(pool_, buf) == s;
  }
  if (!CanStartNumber(s)) return false;
  char buf[kDecimalChars];
  if (x->kind() == Cell::kInt) return std::string_view(buf, IntChars(x->integer(), buf)) == s;
  if (x->kind() == Cell::kDecimal)
    return std::string_view(buf, PlainDecimalChars(x->decimal(), buf)) == s;
  return x->text(pool_) == s;
}

template <class Test>
void WorkTable::fillWhere(int c, int first, int last, long long v, Test test) {
  first = std::max(first, 0);
  if (c < 0 || last < first) return;
  place(c, last);  // the column reaches the last row
  auto& column = data_[static_cast<std::size_t>(c)];
  const bool fits = Cell::FitsInteger(v);
  Cell fill;
  if (fits) fill.setInteger(v);
  for (int r = first; r <= last; ++r) {
    Cell& x = column[static_cast<std::size_t>(r)];
    if (!test(x)) continue;
    if (fits)
      x = fill;  // an empty or short text cell holds no pool slot
    else
      storeInt(x, v);
  }
  ++version_;
}

void WorkTable::fillEmpty(int c, int first, int last, long long v) {
  fillWhere(c, first, last, v, [](const Cell& x) { return x.kind() == Cell::kEmpty; });
}

void WorkTable::fillBlankWide(int c, int first, int last, long long v) {
  fillWhere(c, first, last, v, [](const Cell& x) {
    return x.kind() == Cell::kEmpty || (x.kind() == Cell::kShort && IsBlankWide(x.shortText()));
  });
}

std::string WorkTable::rowCommaText(int r) const {
  std::string out;
  appendRowCommaText(r, out);
  return out;
}

void WorkTable::appendRowCommaText(int r, std::string& out) const {
  for (int c = 0; c < cols_; ++c) {
    if (c) out += ',';
    const Cell* x = find(c, r);
    if (!x) continue;
    char buf[Cell::kDateChars];
    if (x->isText())
      AppendCommaField(x->textView(pool_, buf), out);
    else
      x->appendText(pool_, out);  // a number's text needs no quotes
  }
}

void WorkTable::setRowCommaText(int r, std::string_view line, int maxCols) {
  setRowsCommaText(r, &line, 1, maxCols);
}

void WorkTable::setRowsCommaText(int first, const std::string_view* lines, std::size_t count,
                                 int maxCols, std::string (*decode)(std::string_view)) {
  if (first < 0) return;
  const std::size_t end = static_cast<std::size_t>(first) + count;
  Cell blank;
  blank.setShort(" ");  // an empty field
  textLeads_.set(' ');
  std::size_t columns = data_.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t r = static_cast<std::size_t>(first) + i;
    std::size_t used = 0;  // columns the line gave a field
    const std::string_view line = lines[i];
    ForEachCommaFieldOf(line, static_cast<std::size_t>(std::max(maxCols, 0)),
                        [&](std::size_t c, std::string_view field) {
                          // The cell is made first: blanks and integers, most of a list's
                          // fields, without the general path.
                          Cell x;
                          long long v = 0;
                          if (field.size() == 1 && field[0] == ' ')
                            x = blank;
                          else if (FieldInteger(field, line.data(), line.data() + line.size(), v))
                            x.setInteger(v);
                          else if (decode && !IsAscii(field))
                            store(x, decode(field));
                          else
                            store(x, field);
                          if (c >= columns) data_.resize(columns = c + 1);
                          auto& column = data_[c];
                          if (r < column.size()) {
                            release(column[r]);
                            column[r] = x;
                          } else {
                            // A column filled downwards, its room taken once.
                            if (column.empty()) column.reserve(std::max(rowHint_, end));
                            if (r > column.size()) column.resize(r);
                            column.push_back(x);
                          }
                          used = c + 1;
                        });
    // The rest of the row is emptied, as the whole row is replaced.
    for (std::size_t c = used; c < data_.size(); ++c)
      if (r < data_[c].size()) release(data_[c][r]);
  }
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
  for (std::size_t c = 0; c < cells.size(); ++c)
    store(*place(static_cast<int>(c), r), cells[c].empty() ? std::string_view(" ") : cells[c]);
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
  Cell space;
  space.setShort(" ");  // what an empty source cell arrives as
  textLeads_ |= from.textLeads_;
  textLeads_.set(' ');
  for (int c = 0; c < n; ++c) {
    place(c, last);
    auto& column = data_[c];
    const std::vector<Cell>* fromColumn =
        static_cast<std::size_t>(c) < from.data_.size() ? &from.data_[c] : nullptr;
    each([&](int i) {
      const int s = src + i;
      const Cell* x = fromColumn && s >= 0 && static_cast<std::size_t>(s) < fromColumn->size()
                          ? &(*fromColumn)[s]
                          : nullptr;
      Cell& to = column[dst + i];
      if (!x || x->kind() == Cell::kEmpty)
        storeCopy(to, space, pool_);
      else
        storeCopy(to, *x, from.pool_);
    });
  }
  for (std::size_t c = static_cast<std::size_t>(std::max(n, 0)); c < data_.size(); ++c) {
    auto& column = data_[c];
    for (int r = dst; r <= last && static_cast<std::size_t>(r) < column.size(); ++r)
      release(column[r]);
  }
  ++version_;
}

void WorkTable::clearRow(int r) { clearRows(r, r); }

void WorkTable::clearRows(int first, int last) {
  first = std::max(first, 0);
  if (last < first) return;
  for (auto& column : data_) {
    const std::size_t end = std::min(column.size(), static_cast<std::size_t>(last) + 1);
    if (pool_.size() == free_.size()) {
      // No cell holds a pooled text: emptying is a reset of the kinds.
      for (std::size_t r = static_cast<std::size_t>(first); r < end; ++r) column[r].setEmpty();
    } else {
      for (std::size_t r = static_cast<std::size_t>(first); r < end; ++r) release(column[r]);
    }
  }
  ++version_;
}

void WorkTable::clearAll() {
  data_.clear();
  textLeads_.reset();
  pool_.clear();
  free_.clear();
  ++version_;
}

}  // namespace tavrine
