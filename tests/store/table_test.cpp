#include <gtest/gtest.h>

#include <filesystem>

#include "../support/data_folder.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/table_file.h"
#include "store/work_table.h"

namespace tavrine {
namespace {

std::vector<std::string> Row(const WorkTable& t, int r, int n) {
  std::vector<std::string> v;
  for (int c = 0; c < n; ++c) v.push_back(t.cell(c, r));
  return v;
}

using V = std::vector<std::string>;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

TEST(CommaText, ReadingRules) {
  EXPECT_EQ(ParseCommaText("2003/12/26,,1234"), (V{"2003/12/26", " ", "1234"}));
  EXPECT_EQ(ParseCommaText(",,"), (V{" ", " "}));
  EXPECT_EQ(ParseCommaText("a,"), (V{"a"}));
  EXPECT_EQ(ParseCommaText("\"7203 トヨタ\",x"), (V{"7203 トヨタ", "x"}));
  EXPECT_EQ(ParseCommaText("7203 トヨタ,x"), (V{"7203", "トヨタ", "x"}));
  EXPECT_EQ(ParseCommaText("  \t a , b"), (V{"a", "b"}));
  EXPECT_EQ(ParseCommaText("\"say \"\"hi\"\"\",z"), (V{"say \"hi\"", "z"}));
  EXPECT_EQ(ParseCommaText("\"\",z"), (V{" ", "z"}));
  EXPECT_EQ(ParseCommaText("\"unclosed, rest"), (V{"unclosed, rest"}));
  EXPECT_EQ(ParseCommaText(std::string("a,b\0c,d", 7)), (V{"a", "b"}));
  EXPECT_EQ(ParseCommaText(""), V{});
  std::string many;
  for (int i = 0; i < 250; ++i) many += std::to_string(i) + ",";
  auto f = ParseCommaText(many, 200);
  ASSERT_EQ(f.size(), 200u);
  EXPECT_EQ(f.back(), "199");
}

TEST(CommaText, WritingQuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(ToCommaText({"a", "b c", "", "x,y", "q\"q", "\t"}),
            "a,\"b c\",,\"x,y\",\"q\"\"q\",\"\t\"");
  EXPECT_EQ(ToCommaText({"日付", "7203"}), "日付,7203");
}

TEST(WorkTable, CellsOutsideTheSizeAreKept) {
  WorkTable t("T", 2, 2);
  EXPECT_EQ(t.cell(5, 4862), "");
  t.set(5, 4862, "x");
  EXPECT_EQ(t.cell(5, 4862), "x");
  EXPECT_EQ(t.colCount(), 2);
  EXPECT_EQ(t.cell(-1, 0), "");
  t.setInt(1, 1, -2);
  EXPECT_EQ(t.getInt(1, 1), -2);
  EXPECT_THROW(t.getInt(0, 0), ConversionError);
}

TEST(WorkTable, RowCopiesTurnEmptyCellsIntoOneSpace) {
  WorkTable a("A", 4, 3), b("B", 4, 3);
  a.set(0, 1, "d");
  a.set(2, 1, "x");
  b.set(3, 2, "old");
  b.copyRowFrom(a, 1, 2);
  EXPECT_EQ(Row(b, 2, 4), (V{"d", " ", "x", " "}));
  b.setRowCells(0, {"", "y"});
  EXPECT_EQ(Row(b, 0, 3), (V{" ", "y", ""}));
  EXPECT_EQ(a.rowCells(1), (V{"d", "", "x", ""}));
}

TEST(WorkTable, BlockCopiesWithinOneTableAndRowClears) {
  // Rows 0..4 hold "r0".."r4" in column 0 and a marker in column 2.
  auto fill = [](WorkTable& t) {
    t.clearAll();
    for (int r = 0; r < 5; ++r) {
      t.set(0, r, "r" + std::to_string(r));
      t.set(2, r, "m");
    }
  };
  WorkTable t("T", 3, 5);
  fill(t);
  t.copyRowsFrom(t, 0, 1, 4);  // every row down one, overlapping
  EXPECT_EQ(Row(t, 0, 1), V{"r0"});
  for (int r = 1; r < 5; ++r)
    EXPECT_EQ(Row(t, r, 3), (V{"r" + std::to_string(r - 1), " ", "m"})) << r;

  fill(t);
  t.copyRowsFrom(t, 2, 0, 3);  // up two, overlapping
  EXPECT_EQ(Row(t, 0, 1), V{"r2"});
  EXPECT_EQ(Row(t, 2, 1), V{"r4"});
  EXPECT_EQ(Row(t, 3, 1), V{"r3"});

  // A copy from a narrower table empties the columns past its width.
  WorkTable narrow("N", 1, 5);
  narrow.set(0, 0, "n");
  t.copyRowsFrom(narrow, 0, 3, 1);
  EXPECT_EQ(Row(t, 3, 3), (V{"n", "", ""}));

  t.clearRows(1, 2);
  EXPECT_EQ(Row(t, 1, 3), (V{"", "", ""}));
  EXPECT_EQ(Row(t, 2, 3), (V{"", "", ""}));
  EXPECT_EQ(Row(t, 0, 1), V{"r2"});
  EXPECT_EQ(Row(t, 4, 1), V{"r4"});
}

TEST(WorkTable, CommaTextRowReplacesTheWholeRow) {
  WorkTable t("T", 200, 2);
  t.set(150, 0, "stale");
  t.setRowCommaText(0, "a,b");
  EXPECT_EQ(t.cell(0, 0), "a");
  EXPECT_EQ(t.cell(1, 0), "b");
  EXPECT_EQ(t.cell(150, 0), "");
}

class TableFile : public ::testing::Test {
 protected:
  std::string path(const char* n) { return folder.path(n).string(); }
  testing::DataFolder folder;
};

TEST_F(TableFile, SaveAndLoadRoundTripKeepsCellsButEmptyBecomesSpace) {
  WorkTable t("T", 200, 3);
  t.set(0, 0, "日付");
  t.set(1, 0, "7203 トヨタ自動車");
  t.set(2, 0, "6758 \"ソニー\"");
  t.set(0, 1, "2003/12/26");
  t.set(1, 1, "3610");
  t.set(0, 2, "2003/12/25");
  t.set(2, 2, "4020.5");
  t.set(199, 2, "");
  SaveTableFile(t, path("list.csv"));
  const std::string bytes = ReadFileBytes(path("list.csv"));
  EXPECT_NE(bytes.find("\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("\x93\xfa\x95\x74"), std::string::npos);  // 日付 in Shift-JIS

  WorkTable u("U", 200, 5000);
  LoadTableFile(u, path("list.csv"), 200);
  EXPECT_EQ(u.rowCount(), 3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 199; ++c) {
      const std::string want = t.cell(c, r).empty() ? " " : t.cell(c, r);
      ASSERT_EQ(u.cell(c, r), want) << c << "," << r;
    }
  EXPECT_EQ(u.cell(199, 2), "");  // the line ends with a comma: no further field
}

TEST_F(TableFile, AwkwardFilesLoadByTheRules) {
  // Mixed line ends, an unclosed quote, control characters, stray bytes.
  WriteFileBytes(path("odd.csv"), "a,b\rc\x01,d\n\"open,x\r\n\xff\xfe,\x82\xa0\r\n");
  WorkTable t("T", 200, 5);
  LoadTableFile(t, path("odd.csv"), 200);
  ASSERT_EQ(t.rowCount(), 4);
  EXPECT_EQ(Row(t, 0, 2), (V{"a", "b"}));
  EXPECT_EQ(Row(t, 1, 2), (V{"c", "d"}));
  EXPECT_EQ(t.cell(0, 2), "open,x");
  EXPECT_EQ(t.cell(1, 3), "あ");
  // Undecodable bytes survive a save unchanged.
  SaveTableFile(t, path("odd2.csv"));
  EXPECT_NE(ReadFileBytes(path("odd2.csv")).find("\xff\xfe,\x82\xa0"), std::string::npos);

  WriteFileBytes(path("empty.csv"), "");
  LoadTableFile(t, path("empty.csv"), 200);
  EXPECT_EQ(t.rowCount(), 0);
  EXPECT_THROW(LoadTableFile(t, path("missing.csv"), 200), FileError);
}

TEST_F(TableFile, FailedWriteLeavesTheOldFile) {
  WriteFileBytes(path("keep.txt"), "old");
  std::filesystem::create_directory(path("keep.txt.tmp"));  // the temporary cannot be created
  EXPECT_THROW(WriteText(path("keep.txt"), "new"), FileError);
  EXPECT_EQ(ReadFileBytes(path("keep.txt")), "old");
}

TEST(Codec, ShiftJisAsWindowsWritesIt) {
  // Backslash stays a backslash, the wave dash and NEC extensions decode.
  EXPECT_EQ(Cp932ToUtf8("C:\\x"), "C:\\x");
  EXPECT_EQ(Cp932ToUtf8("\x81\x60"), "～");
  EXPECT_EQ(Cp932ToUtf8("\x87\x40"), "①");
  EXPECT_EQ(Utf8ToCp932("①～"), "\x87\x40\x81\x60");
  EXPECT_EQ(Utf8ToCp932("€"), "?");
  EXPECT_EQ(EucJpToUtf8("2003\xc7\xaf"), "2003年");
}

}  // namespace
}  // namespace tavrine
