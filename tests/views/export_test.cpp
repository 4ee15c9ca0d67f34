// CSV files saved from the statistics grid and the scan table: CP932 bytes,
// CR LF line ends, and the stock-list reader brings back the same cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/data_folder.h"
#include "app/scan.h"
#include "store/table_file.h"
#include "store/text.h"
#include "store/work_table.h"
#include "views/export.h"

namespace tavrine {
namespace {

namespace fs = std::filesystem;

using testing::ReadFileBytes;

// Lines split at CR LF only; a bare LF or CR inside the file is reported.
std::vector<std::string> CrLfLines(const std::string& bytes, bool& bareBreak) {
  std::vector<std::string> lines;
  bareBreak = false;
  std::string cur;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      lines.push_back(cur);
      cur.clear();
      ++i;
    } else if (bytes[i] == '\r' || bytes[i] == '\n') {
      bareBreak = true;
    } else {
      cur += bytes[i];
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

class Export : public ::testing::Test {
 protected:
  testing::DataFolder folder;
  const fs::path& dir = folder.dir();
};

// A StatsTable as a backtest without a minimum leaves it: headers, the
// numbering of every row, three trades, the statistics block and a
// histogram whose longest holding time lands lowest in the table.
WorkTable FilledStats() {
  WorkTable t("StatsTable", 15, 2000);
  const char* head[] = {"No.",       "買い日",    "売り日",    "所要日数",  "買い値",
                        "売り値",    "売値/買値", "",          "-0.95",     "0.95-1.00",
                        "1.00-1.05", "1.05-1.10", "1.10-1.15", "1.15-1.20", "1.20-"};
  for (int c = 0; c < 15; ++c) t.set(c, 0, head[c]);
  for (int r = 1; r <= 2000; ++r) t.setInt(0, r, r);
  const char* trades[3][6] = {{"2026/11/02", "2026/12/07", "35", "1000", "1052", "1.052"},
                              {"2026/06/01", "2026/06/10", "9", "1000", "930", "0.93"},
                              {"2026/01/20", "2026/02/03", "14", "800", "1000", "1.25"}};
  for (int i = 0; i < 3; ++i)
    for (int c = 0; c < 6; ++c) t.set(c + 1, i + 1, trades[i][c]);
  t.set(7, 1, "範囲平均");
  t.set(7, 2, "頻度");
  for (int c = 8; c <= 14; ++c) {
    t.set(c, 1, "0");
    t.set(c, 2, "0");
  }
  t.set(8, 1, "0.93");
  t.set(8, 2, "1");
  t.set(7, 3, "全利率平均");
  t.set(8, 3, "1.077");
  t.set(10, 3, "全頻度");
  t.set(11, 3, "3");
  t.set(12, 3, "条件");
  t.set(13, 3, "S1");
  t.set(7, 4, "年利率");
  t.set(8, 4, "1.28");
  t.set(10, 4, "年平均頻度");
  t.set(11, 4, "3.41");
  t.set(12, 4, "平均日数");
  t.set(13, 4, "19.3");
  t.set(7, 6, "所要日数");
  t.set(8, 6, "回数");
  for (int d : {9, 14, 35}) {
    t.setInt(7, d + 6, d);
    t.set(8, d + 6, "1");
  }
  // A cell that needs quoting, and a single blank as copied rows leave them.
  t.set(12, 5, "a,\"b\" c");
  t.set(3, 5, " ");
  return t;
}

TEST_F(Export, StatsCsvReadsBackIntoTheSameCells) {
  const WorkTable t = FilledStats();
  const fs::path p = dir / "stats.csv";
  SaveStatsCsv(t, p.string());

  // The lowest row holding anything besides its number is the histogram
  // row of the 35-day trade: rows 0 .. 41.
  const int last = 35 + 6;
  bool bare = true;
  const std::string bytes = ReadFileBytes(p);
  const auto lines = CrLfLines(bytes, bare);
  EXPECT_FALSE(bare);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(last + 1));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  // "買い日" in Shift-JIS (CP932) bytes.
  EXPECT_NE(lines[0].find("\x94\x83\x82\xa2\x93\xfa"), std::string::npos);

  WorkTable back("StockList", 200, 1);
  LoadTableFile(back, p.string(), 200);
  ASSERT_EQ(back.rowCount(), last + 1);
  for (int r = 0; r <= last; ++r)
    for (int c = 0; c < 15; ++c) {
      const std::string& want = t.cell(c, r);
      const std::string& got = back.cell(c, r);
      // The reader gives a blank field as " "; blank is blank either way.
      if (IsBlank(want))
        EXPECT_TRUE(IsBlank(got)) << c << "," << r << ": " << got;
      else
        EXPECT_EQ(got, want) << c << "," << r;
    }
  EXPECT_TRUE(IsBlank(back.cell(15, 0)));
}

TEST_F(Export, StatsCsvOfAnEmptyListIsTheHeaderRow) {
  WorkTable t("StatsTable", 15, 2000);
  t.set(0, 0, "No.");
  t.set(1, 0, "売り日");
  for (int r = 1; r <= 2000; ++r) t.setInt(0, r, r);
  const fs::path p = dir / "empty.csv";
  SaveStatsCsv(t, p.string());
  bool bare = true;
  const auto lines = CrLfLines(ReadFileBytes(p), bare);
  ASSERT_EQ(lines.size(), 1u);
  // Fifteen columns: fourteen separators.
  EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ','), 14);
}

TEST_F(Export, ScanCsvHasHeadingAndRowsInTheGivenOrder) {
  std::vector<ScanRow> rows(3);
  rows[0] = {5, "1801", "大成建設", 9, "ST", 12, "1.031", "2.15", "1.06", "58.3%", "44.5"};
  rows[1] = {2, "1332", "日本水産, 本社", 0, "S1", 0, "", "", "0", "", ""};
  rows[2] = {7, "9999", "\"引用\" 社", 3, "G3", 1, "0.9", "0.5", "0.94", "0.0%", "12"};
  // The CSV carries each cell as the scan window shows it.
  const std::vector<std::vector<std::string>> shown = {
      {"1801", "大成建設", "ST", "12", "1.031", "2.2", "1.06", "58.3%", "45"},
      {"1332", "日本水産, 本社", "S1", "0", "", "", "0.00", "", ""},
      {"9999", "\"引用\" 社", "G3", "1", "0.900", "0.5", "0.94", "0.0%", "12"}};
  const fs::path p = dir / "scan.csv";
  SaveScanCsv(rows, p.string());

  bool bare = true;
  const auto lines = CrLfLines(ReadFileBytes(p), bare);
  EXPECT_FALSE(bare);
  ASSERT_EQ(lines.size(), 4u);
  WorkTable back("StockList", 200, 1);
  LoadTableFile(back, p.string(), 200);
  ASSERT_EQ(back.rowCount(), 4);
  const char* heading[] = {"コード",     "銘柄名", "規則", "全頻度",  "全利率平均",
                           "年平均頻度", "年利率", "勝率", "平均日数"};
  for (int c = 0; c < 9; ++c) EXPECT_EQ(back.cell(c, 0), heading[c]);
  for (int i = 0; i < 3; ++i) {
    const auto& want = shown[static_cast<std::size_t>(i)];
    for (int c = 0; c < 9; ++c) {
      const std::string& w = want[static_cast<std::size_t>(c)];
      if (w.empty())
        EXPECT_TRUE(IsBlank(back.cell(c, i + 1))) << c << "," << i + 1;
      else
        EXPECT_EQ(back.cell(c, i + 1), w) << c << "," << i + 1;
    }
  }
}

TEST_F(Export, UnwritableTargetThrowsAndLeavesNoFile) {
  const fs::path p = dir / "missing-folder" / "stats.csv";
  EXPECT_THROW(SaveStatsCsv(FilledStats(), p.string()), FileError);
  EXPECT_THROW(SaveScanCsv({}, p.string()), FileError);
  EXPECT_FALSE(fs::exists(p));
}

}  // namespace
}  // namespace tavrine
