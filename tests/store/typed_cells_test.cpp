// Number cells against the texts a cell of strings held for the same writes:
// every read (text, integer, decimal, row texts, files) must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>

#include "../support/data_folder.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/table_file.h"
#include "store/work_table.h"

namespace tavrine {
namespace {

// What a reader gets from a text: the value, or that the read raises.
template <class T>
struct Read {
  bool ok = false;
  T value{};
  bool operator==(const Read& o) const {
    if (ok != o.ok) return false;
    if (!ok) return true;
    if constexpr (std::is_floating_point_v<T>)
      return std::memcmp(&value, &o.value, 10) == 0;  // the same extended bits
    else
      return value == o.value;
  }
};

template <class T, class F>
Read<T> ReadOf(F&& f) {
  try {
    return {true, f()};
  } catch (const ConversionError&) {
    return {};
  }
}

// Every read of cell [c, r] agrees with a string cell holding want.
void ExpectCellReadsAs(const WorkTable& t, int c, int r, const std::string& want) {
  SCOPED_TRACE("[" + std::to_string(c) + "," + std::to_string(r) + "] '" + want + "'");
  EXPECT_EQ(t.cell(c, r), want);
  EXPECT_EQ(t.isEmpty(c, r), want.empty());
  EXPECT_EQ(t.isBlank(c, r), IsBlank(want));
  EXPECT_TRUE(t.textIs(c, r, want));
  EXPECT_FALSE(t.textIs(c, r, want + "0"));
  const auto i = ReadOf<int>([&] { return t.getInt(c, r); });
  EXPECT_TRUE(i == ReadOf<int>([&] { return StrToInt(want); }));
  long long ti = 0;
  EXPECT_EQ(t.tryInt(c, r, ti), i.ok);
  if (i.ok) {
    EXPECT_EQ(ti, i.value);
  }
  const auto f = ReadOf<long double>([&] { return t.getFloat(c, r); });
  EXPECT_TRUE(f == ReadOf<long double>([&] { return StrToFloat(want); }));
  long double tf = 0;
  EXPECT_EQ(t.tryFloat(c, r, tf), f.ok);
}

TEST(TypedCells, IntegersReadAsTheirText) {
  const long long values[] = {0,
                              1,
                              -1,
                              7,
                              -42,
                              4860,
                              std::numeric_limits<int>::max(),
                              std::numeric_limits<int>::min(),
                              2147483648LL,
                              -2147483649LL,
                              std::numeric_limits<long long>::max(),
                              std::numeric_limits<long long>::min()};
  WorkTable t("T", 1, 1);
  for (long long v : values) {
    t.setInt(0, 0, v);
    ExpectCellReadsAs(t, 0, 0, IntToStr(v));
    t.set(0, 1, IntToStr(v));  // the same text written as text
    ExpectCellReadsAs(t, 0, 1, IntToStr(v));
  }
}

TEST(TypedCells, DecimalsReadAsTheirFifteenDigitText) {
  const long double values[] = {0.5L,
                                -0.5L,
                                2.5L,
                                0.1L,
                                1.0L / 3,
                                -2.0L / 3,
                                100.0L,
                                -0.0L,
                                1e-4L,
                                0.99999999999999994e-4L,
                                1.00000000000000006e-4L,
                                9.99999999999999e-5L,
                                1e15L,
                                999999999999999.4L,
                                999999999999999.5L,
                                123456789012345.6L,
                                12345678901234.5L,
                                1234567890123456.0L,
                                0.1234567890123456L,
                                1.5e20L,
                                1e-5L,
                                -3.25e-7L,
                                2147483647.0L,
                                2147483648.0L,
                                -2147483648.0L,
                                std::numeric_limits<long double>::max(),
                                std::numeric_limits<long double>::denorm_min(),
                                std::numeric_limits<long double>::infinity(),
                                -std::numeric_limits<long double>::infinity(),
                                std::numeric_limits<long double>::quiet_NaN()};
  WorkTable t("T", 1, 1);
  for (long double v : values) {
    t.setFloat(0, 0, v);
    ExpectCellReadsAs(t, 0, 0, FloatToStr(v));
    t.set(0, 1, FloatToStr(v));
    ExpectCellReadsAs(t, 0, 1, FloatToStr(v));
  }
  // Many magnitudes, signs and digit counts.
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> mant(-10, 10);
  std::uniform_int_distribution<int> exp10(-8, 18);
  for (int i = 0; i < 3000; ++i) {
    long double v = mant(gen) * std::pow(10.0L, exp10(gen));
    if (i % 3 == 0) v = std::round(v * 2) / 2;  // halves and whole values
    t.setFloat(0, 0, v);
    ExpectCellReadsAs(t, 0, 0, FloatToStr(v));
  }
}

TEST(TypedCells, TextsStayTheTextsTheyWere) {
  const char* const texts[] = {"0012",
                               "+5",
                               "1.50",
                               "1e3",
                               " ",
                               "-0",
                               "-",
                               "12.5",
                               "0.0001",
                               "1E-5",
                               "0.00001",
                               "-.5",
                               "5.",
                               "1.0",
                               "00.5",
                               "0.50",
                               "\" \"",
                               "2003/12/26",
                               "0000/00/00",
                               "9999/99/99",
                               "2003/12/2x",
                               "2003-12-26",
                               "2003/1/026",
                               "12003/12/26",
                               "1234567",
                               "12345678",
                               "日付",
                               "7203 トヨタ自動車",
                               "123456789012345678901",
                               "1234.56789012345",
                               "1234.567890123456"};
  WorkTable t("T", 1, 1);
  for (const char* s : texts) {
    t.set(0, 0, s);
    ExpectCellReadsAs(t, 0, 0, s);
  }
  t.set(0, 0, "");
  ExpectCellReadsAs(t, 0, 0, "");
}

// A table of strings: what every read must keep giving.
struct Model {
  int cols;
  std::map<std::pair<int, int>, std::string> cells;
  std::string get(int c, int r) const {
    auto it = cells.find({c, r});
    return it == cells.end() ? std::string() : it->second;
  }
  void put(int c, int r, std::string v) {
    if (v.empty())
      cells.erase({c, r});
    else
      cells[{c, r}] = std::move(v);
  }
  void clearRows(int a, int b) {
    for (auto it = cells.begin(); it != cells.end();)
      it = it->first.second >= a && it->first.second <= b ? cells.erase(it) : std::next(it);
  }
  void copyRows(const Model& from, int src, int dst, int count) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < count; ++i) {
      rows.emplace_back();
      for (int c = 0; c < from.cols; ++c) {
        const std::string v = from.get(c, src + i);
        rows.back().push_back(v.empty() ? " " : v);
      }
    }
    clearRows(dst, dst + count - 1);
    for (int i = 0; i < count; ++i)
      for (int c = 0; c < from.cols; ++c) put(c, dst + i, rows[i][c]);
  }
};

TEST(TypedCells, RandomWritesReadAsAStringTableReadsThem) {
  constexpr int kCols = 6, kRows = 12;
  std::mt19937 gen(20240601);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen); };
  const std::vector<std::string> texts = {"",
                                          " ",
                                          "0",
                                          "-7",
                                          "0012",
                                          "+5",
                                          "1.50",
                                          "12.5",
                                          "1e3",
                                          "-0.5",
                                          "x",
                                          "a b",
                                          "q\"q",
                                          "c,d",
                                          "2003/12/26",
                                          "0001/02/03",
                                          "abcdefg",
                                          "\" \"",
                                          "\"\"",
                                          "7203 トヨタ自動車",
                                          "1234.56789012345",
                                          "\xE3\x80\x80"};
  auto someFloat = [&]() -> long double {
    const long double m = std::uniform_real_distribution<double>(-1000, 1000)(gen);
    switch (pick(4)) {
      case 0:
        return std::round(m);
      case 1:
        return m / 7;
      case 2:
        return m * 1e13L;
      default:
        return m * 1e-6L;
    }
  };
  WorkTable t("T", kCols, kRows), other("O", kCols - 2, kRows);
  Model m{kCols, {}}, mo{kCols - 2, {}};
  for (int step = 0; step < 3000; ++step) {
    const int c = pick(kCols + 1), r = pick(kRows);
    const std::uint64_t before = t.version();
    const int op = pick(12);
    SCOPED_TRACE("op " + std::to_string(op));
    switch (op) {
      case 0: {
        const std::string& s = texts[pick(static_cast<int>(texts.size()))];
        t.set(c, r, s);
        m.put(c, r, s);
        break;
      }
      case 1: {
        const long long v = static_cast<long long>(gen()) - (1LL << 31);
        t.setInt(c, r, v);
        m.put(c, r, IntToStr(v));
        break;
      }
      case 2: {
        const long double v = someFloat();
        t.setFloat(c, r, v);
        m.put(c, r, FloatToStr(v));
        break;
      }
      case 3: {
        const int last = std::min(r + pick(4), kRows - 1);
        t.clearRows(r, last);
        m.clearRows(r, last);
        break;
      }
      case 4: {
        const int src = pick(kRows), count = 1 + pick(4);
        const int dst = pick(kRows - count + 1);
        t.copyRowsFrom(t, std::min(src, kRows - count), dst, count);
        m.copyRows(m, std::min(src, kRows - count), dst, count);
        break;
      }
      case 5: {
        const int count = 1 + pick(3);
        const int dst = pick(kRows - count + 1);
        t.copyRowsFrom(other, r, dst, count);
        m.copyRows(mo, r, dst, count);
        break;
      }
      case 6: {
        std::vector<std::string> cells;
        for (int k = pick(kCols + 1); k > 0; --k)
          cells.push_back(texts[pick(static_cast<int>(texts.size()))]);
        const std::string line = ToCommaText(cells);
        t.setRowCommaText(r, line, kCols);
        for (int k = 0; k <= kCols; ++k) m.put(k, r, "");
        const auto fields = ParseCommaText(line, kCols);
        for (std::size_t k = 0; k < fields.size(); ++k) m.put(static_cast<int>(k), r, fields[k]);
        break;
      }
      case 7: {
        const std::string& s = texts[pick(static_cast<int>(texts.size()))];
        other.set(c % (kCols - 2), r, s);
        mo.put(c % (kCols - 2), r, s);
        if (pick(2)) {
          const long double v = someFloat();
          other.setFloat(c % (kCols - 2), r, v);
          mo.put(c % (kCols - 2), r, FloatToStr(v));
        }
        continue;
      }
      case 8: {
        // The quoted-blank clean-up, also of texts that came by copies.
        ClearQuotedBlanks(t);
        for (int k = 0; k <= kCols; ++k)
          for (int j = 0; j < kRows; ++j)
            if (m.get(k, j) == "\" \"" || m.get(k, j) == "\"\"") m.put(k, j, "");
        break;
      }
      case 9: {
        // One cell copied as it is, from this table or the other.
        const bool self = pick(2);
        const int fc = pick(self ? kCols + 1 : kCols - 2), fr = pick(kRows);
        t.copyCell(self ? t : other, fc, fr, c, r);
        m.put(c, r, (self ? m : mo).get(fc, fr));
        break;
      }
      case 10: {
        const int last = std::min(r + pick(6), kRows - 1);
        const bool wide = pick(2);
        if (wide)
          t.fillBlankWide(c, r, last, 0);
        else
          t.fillEmpty(c, r, last, -3);
        for (int k = r; k <= last; ++k) {
          const std::string v = m.get(c, k);
          if (v.empty() || (wide && IsBlankWide(v))) m.put(c, k, wide ? "0" : "-3");
        }
        break;
      }
      case 11: {
        const long double v = someFloat();
        const DecimalValue d = ToDecimalValue(v);
        EXPECT_EQ(d.back, StrToFloat(FloatToStr(v)));
        t.setDecimal(c, r, d);
        m.put(c, r, FloatToStr(v));
        break;
      }
      default: {
        // A copy of the table reads the same and writes apart.
        WorkTable copy(t);
        copy.set(0, 0, "apart");
        t = WorkTable(t);
        break;
      }
    }
    if (op != 8) {
      ASSERT_GT(t.version(), before) << "step " << step;
    }
    for (int rr = 0; rr < kRows; ++rr) {
      for (int cc = 0; cc <= kCols; ++cc) {
        ASSERT_EQ(t.cell(cc, rr), m.get(cc, rr))
            << "step " << step << " [" << cc << "," << rr << "]";
        if (step % 50 == 0) {
          ExpectCellReadsAs(t, cc, rr, m.get(cc, rr));
          for (const std::string& s : texts) EXPECT_EQ(t.textIs(cc, rr, s), m.get(cc, rr) == s);
          EXPECT_EQ(t.textIs(cc, rr, m.get(cc, rr)), true);
        }
      }
      std::vector<std::string> row;
      for (int cc = 0; cc < kCols; ++cc) row.push_back(m.get(cc, rr));
      ASSERT_EQ(t.rowCommaText(rr), ToCommaText(row)) << "step " << step;
      ASSERT_EQ(t.rowCells(rr), row);
    }
  }
}

TEST(TypedCells, QuotedBlankCleanUpEmptiesTextsOnly) {
  WorkTable t("StockList", 200, 3);
  t.set(1, 1, "\" \"");
  t.set(2, 1, "\"\"");
  t.set(3, 1, "\"x\"");
  t.setInt(4, 1, 5);
  t.set(201, 1, "\"\"");  // past the columns the clean-up covers
  const std::uint64_t before = t.version();
  ClearQuotedBlanks(t);
  EXPECT_EQ(t.cell(1, 1), "");
  EXPECT_EQ(t.cell(2, 1), "");
  EXPECT_EQ(t.cell(3, 1), "\"x\"");
  EXPECT_EQ(t.cell(4, 1), "5");
  EXPECT_EQ(t.cell(201, 1), "\"\"");
  EXPECT_GT(t.version(), before);

  // Quoted blanks that came only by copies from another table are cleared too.
  WorkTable from("T", 3, 3), u("StockList", 200, 3), v("StockList", 200, 3);
  from.set(0, 0, "\" \"");
  u.copyCell(from, 0, 0, 1, 1);
  v.copyRowsFrom(from, 0, 1, 1);
  ClearQuotedBlanks(u);
  ClearQuotedBlanks(v);
  EXPECT_EQ(u.cell(1, 1), "");
  EXPECT_EQ(v.cell(0, 1), "");
}

TEST(TypedCells, ListFileLoadsAndSavesBackByteForByte) {
  testing::DataFolder folder;
  const std::string path = folder.path("list.csv").string();
  // Shift-JIS: 日付 and a quoted heading; leading zeros, signs, decimals in
  // every form, blanks, quoted fields with quotes and commas inside.
  const std::string bytes =
      "\x93\xfa\x95\x74,\"7203 \x83\x67\x83\x88\x83\x5e\",0012,+5,-0,00,-,.5,5.,\"\"\"\"\r\n"
      "2003/12/26,3610,-12,1.50,1e3,\" \",12.5,0.0001,-0.5,1234.56789012345\r\n"
      "2003/12/25,\" \",\"a,b\",\"say \"\"hi\"\"\",4020.5,2147483648,-9223372036854775808,"
      "1E-5,0.00001,100000000000000000000\r\n";
  testing::WriteFileBytes(path, bytes);
  WorkTable t("StockList", 10, 1);
  LoadTableFile(t, path, 200);
  EXPECT_EQ(t.cell(2, 0), "0012");
  EXPECT_EQ(t.cell(9, 0), "\"");
  EXPECT_EQ(t.cell(1, 2), " ");
  EXPECT_EQ(t.getInt(1, 1), 3610);
  EXPECT_EQ(t.getFloat(6, 1), StrToFloat("12.5"));
  EXPECT_THROW(t.getInt(5, 2), ConversionError);
  SaveTableFile(t, path);
  EXPECT_EQ(testing::ReadFileBytes(path), bytes);

  // Short lines fill up to the table's width; an empty field came back as " ".
  testing::WriteFileBytes(path, "7,,-3.5\r\n\r\n");
  WorkTable u("StockList", 4, 1);
  LoadTableFile(u, path, 200);
  SaveTableFile(u, path);
  EXPECT_EQ(testing::ReadFileBytes(path), "7,\" \",-3.5,\r\n,,,\r\n");
}

// Lines read from a file's bytes, each field decoded on its own, against the
// whole text decoded first and then read line by line: the same cells, also
// over a table that already held longer rows and pooled texts.
TEST(TypedCells, FieldsDecodedFromBytesReadAsTheDecodedText) {
  std::mt19937 gen(20261209);
  // Comma-text syntax, digits and dates, Shift-JIS lead and trail bytes
  // (alone, in pairs, before a comma or quote), half-width katakana, NUL.
  const std::vector<std::string> pieces = {",",
                                           "\"",
                                           "\"\"",
                                           " ",
                                           "\t",
                                           "\r",
                                           "\n",
                                           "\r\n",
                                           "12",
                                           "-3.5",
                                           "2003/12/26",
                                           "x",
                                           "\x93\xfa\x95\x74",
                                           "\x82",
                                           "\x82\xa0",
                                           "\x81\x40",
                                           "\xb1",
                                           "\xff",
                                           "\x87\x40",
                                           "\xed\x40",
                                           "\x5c",
                                           std::string(1, '\0'),
                                           "\x83\x67\x83\x88\x83\x5e\x83"};
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const int n = std::uniform_int_distribution<int>(0, 40)(gen);
    for (int i = 0; i < n; ++i)
      bytes += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(gen)];
    SCOPED_TRACE(::testing::PrintToString(bytes));
    const int maxCols = round % 3 == 0 ? 3 : 200;
    WorkTable raw("A", 5, 0), decoded("B", 5, 0);
    for (WorkTable* t : {&raw, &decoded})
      for (int r = 0; r < 12; ++r)
        for (int c = 0; c < 8; ++c) t->set(c, r, c % 2 ? "a long text in the pool" : "7");
    const auto lines = SplitLineViews(bytes);
    raw.setRowsCommaText(1, lines.data(), lines.size(), maxCols, Cp932ToUtf8);
    const std::string text = Cp932ToUtf8(bytes);
    const auto textLines = SplitLineViews(text);
    ASSERT_EQ(textLines.size(), lines.size());
    for (std::size_t i = 0; i < textLines.size(); ++i)
      decoded.setRowCommaText(static_cast<int>(i) + 1, textLines[i], maxCols);
    for (int r = 0; r < 14; ++r)
      for (int c = 0; c < 12; ++c) ASSERT_EQ(raw.cell(c, r), decoded.cell(c, r)) << c << "," << r;
  }
}

// Fields read in bulk keep exactly their text and read as that text does:
// integers of every length beside signs, leading zeros, the bytes either
// side of the digits, decimals and quoted numbers.
TEST(TypedCells, BulkReadFieldsReadAsTheirText) {
  std::mt19937 gen(42);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen); };
  const std::string chars = "0123456789-/:.\" \x7f\xb0";
  std::string text;
  for (int r = 0; r < 300; ++r) {
    for (int c = pick(12); c > 0; --c) {
      std::string f;
      for (int k = pick(12); k > 0; --k)
        f += pick(3) ? chars[static_cast<std::size_t>(pick(10))]
                     : chars[static_cast<std::size_t>(pick(static_cast<int>(chars.size())))];
      text += f + ",";
    }
    text += "123456789\r\n";  // a long integer ends every line
  }
  const auto lines = SplitLineViews(text);
  WorkTable t("T", 20, 0);
  t.setRowsCommaText(0, lines.data(), lines.size(), 200);
  for (std::size_t r = 0; r < lines.size(); ++r) {
    const auto fields = ParseCommaText(lines[r]);
    for (std::size_t c = 0; c < fields.size(); ++c)
      ExpectCellReadsAs(t, static_cast<int>(c), static_cast<int>(r), fields[c]);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace tavrine
