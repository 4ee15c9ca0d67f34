// Finding a stock by a code prefix or a part of its name over the stock
// list's headings, with full- and half-width forms folded alike.
#include "app/stock_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrine {
namespace {

WorkTable Headings(const std::vector<std::pair<int, std::string>>& cells) {
  WorkTable t("StockList", 200, 2);
  t.set(0, 0, "日付");
  for (const auto& [c, h] : cells) t.set(c, 0, h);
  return t;
}

std::vector<std::string> Codes(const std::vector<StockMatch>& ms) {
  std::vector<std::string> out;
  for (const auto& m : ms) out.push_back(m.code);
  return out;
}

TEST(FoldForSearch, WidthsKanaAndCase) {
  EXPECT_EQ(FoldForSearch("７２０３"), "7203");
  EXPECT_EQ(FoldForSearch("ＡＢＣ　ｄｅｆ"), "abc def");
  EXPECT_EQ(FoldForSearch("ABC"), "abc");
  EXPECT_EQ(FoldForSearch("ｿﾆｰ"), "ソニー");
  EXPECT_EQ(FoldForSearch("とよた"), "トヨタ");
  // Voiced and semi-voiced marks join the kana before them.
  EXPECT_EQ(FoldForSearch("ｶﾞｽ ﾊﾟﾙﾌﾟ ｳﾞ ﾄﾞ"), "ガス パルプ ヴ ド");
  // A mark after a kana that takes none stays a mark of its own.
  EXPECT_EQ(FoldForSearch("ｱﾞ"), "ア゛");
  EXPECT_EQ(FoldForSearch("電機"), "電機");
  // Bytes that are no UTF-8 pass through.
  EXPECT_EQ(FoldForSearch(std::string("a\xFF") + "b"), std::string("a\xFF") + "b");
}

TEST(FindStocks, CodePrefixNamePartAndListOrder) {
  const WorkTable list = Headings({{1, "1301 極洋"},
                                   {2, "6501 日立製作所"},
                                   {3, "6503 三菱電機"},
                                   {4, "7201 日産自動車"},
                                   {5, "7203 トヨタ自動車"},
                                   {6, "6758　ソニーグループ"},
                                   {7, "1372 ７２ホールディングス"},
                                   {9, "6752 パナソニック"},
                                   {197, "9984ＳＢＧ"}});
  EXPECT_EQ(Codes(FindStocks(list, "72")), (std::vector<std::string>{"7201", "7203", "1372"}));
  EXPECT_EQ(Codes(FindStocks(list, "７２０")), (std::vector<std::string>{"7201", "7203"}));
  EXPECT_EQ(Codes(FindStocks(list, "トヨ")), std::vector<std::string>{"7203"});
  EXPECT_EQ(Codes(FindStocks(list, "とよ")), std::vector<std::string>{"7203"});
  EXPECT_EQ(Codes(FindStocks(list, "電機")), std::vector<std::string>{"6503"});
  EXPECT_EQ(Codes(FindStocks(list, "ｿﾆｰ")), (std::vector<std::string>{"6758"}));
  EXPECT_EQ(Codes(FindStocks(list, "ソニ")), (std::vector<std::string>{"6758", "6752"}));
  EXPECT_EQ(Codes(FindStocks(list, "自動車")), (std::vector<std::string>{"7201", "7203"}));
  EXPECT_EQ(Codes(FindStocks(list, "sbg")), std::vector<std::string>{"9984"});
  // The whole heading from its start, as the picker shows it.
  EXPECT_EQ(Codes(FindStocks(list, "7203 トヨ")), std::vector<std::string>{"7203"});
  // A code's digits elsewhere do not propose it: "30" is no prefix of 1301.
  EXPECT_TRUE(FindStocks(list, "30").empty());
  EXPECT_TRUE(FindStocks(list, "").empty());
  EXPECT_TRUE(FindStocks(list, "　 ").empty());
  EXPECT_TRUE(FindStocks(list, "9999").empty());

  const auto m = FindStocks(list, "ソニー");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].column, 6);
  EXPECT_EQ(m[0].code, "6758");
  EXPECT_EQ(m[0].name, "ソニーグループ");
}

TEST(FindStocks, OnlyTheListProper) {
  // Blank headings and the scratch column are no stocks of the list.
  const WorkTable list = Headings({{1, " "}, {2, "　"}, {3, "7203 トヨタ"}, {199, "7267 ホンダ"}});
  EXPECT_EQ(Codes(FindStocks(list, "7")), std::vector<std::string>{"7203"});
  EXPECT_TRUE(FindStocks(list, "ホンダ").empty());
}

TEST(FindStocks, CodeAsTheListHoldsIt) {
  // A heading whose code is full-width is found by the half-width query and
  // proposes the code exactly as held, which is what the look-up compares.
  const WorkTable list = Headings({{1, "７２ ワイド"}});
  const auto m = FindStocks(list, "72");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].code, "７２");
}

}  // namespace
}  // namespace tavrine
