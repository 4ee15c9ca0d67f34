// The sample data folder: what the scenario tests, the quote server and the
// benchmarks rely on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sample.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/table_file.h"
#include "store/text.h"

namespace tavrine::sample {
namespace {

namespace fs = std::filesystem;

class Folder {
 public:
  Folder() {
    std::string t = (fs::temp_directory_path() / "tavrine-sample-test.XXXXXX").string();
    if (!mkdtemp(t.data())) throw std::runtime_error("mkdtemp");
    dir = t;
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string operator/(const std::string& rel) const { return dir + "/" + rel; }
  std::string dir;
};

Options Small(const std::string& dir) {
  Options o;
  o.dir = dir;
  o.stocks = 12;
  o.days = 400;
  o.seed = 5;
  o.today = DaysFromCivil(2003, 12, 26);  // a Friday
  return o;
}

// Market rows of a code: date -> adjclose text, plus the dates in file order.
struct Market {
  std::vector<std::string> dates;
  std::map<std::string, std::string> adj;
};
Market ReadMarket(const std::string& path) {
  Market m;
  for (const auto& line : ReadLines(path)) {
    std::vector<std::string> f;
    std::size_t a = 0;
    for (;;) {
      auto b = line.find(',', a);
      f.push_back(line.substr(a, b - a));
      if (b == std::string::npos) break;
      a = b + 1;
    }
    EXPECT_EQ(f.size(), 7u) << line;
    m.dates.push_back(f[0]);
    m.adj[f[0]] = f.back();
  }
  return m;
}

TEST(SampleData, SameSeedSameFilesOtherSeedOtherPrices) {
  Folder a, b, c;
  Options o = Small(a.dir);
  Generate(o);
  o.dir = b.dir;
  Generate(o);
  o.dir = c.dir;
  o.seed = 6;
  Generate(o);
  for (const char* f : {"デ-タ一覧.csv", "tavrine/zenncode.txt", "tavrine/tallysel.csv",
                        "pickrow/pickrow.csv", "market/998407.csv"})
    EXPECT_EQ(ReadLines(a / f), ReadLines(b / f)) << f;
  EXPECT_NE(ReadLines(a / "デ-タ一覧.csv"), ReadLines(c / "デ-タ一覧.csv"));
}

TEST(SampleData, StockListLoadsWithoutBlanksInsideAnySeries) {
  Folder f;
  Options o = Small(f.dir);
  Generate(o);
  WorkTable t("StockList", 200, 5000);
  LoadTableFile(t, f / "デ-タ一覧.csv", 200);
  ASSERT_EQ(t.rowCount(), o.days + 1);
  EXPECT_EQ(t.cell(0, 0), "日付");
  // Dates: weekdays, newest first, ending today.
  EXPECT_EQ(t.cell(0, 1), "2003/12/26");
  EXPECT_EQ(t.cell(0, 2), "2003/12/25");
  EXPECT_EQ(t.cell(0, 6), "2003/12/19");  // the weekend is skipped
  for (int r = 2; r <= o.days; ++r) {
    const int d = StrToDate(t.cell(0, r));
    EXPECT_LT(d, StrToDate(t.cell(0, r - 1)));
    const int w = d % 7;  // 0 Saturday, 1 Sunday
    EXPECT_TRUE(w >= 2) << t.cell(0, r);
  }
  // Headings: "CODE NAME", codes ascending, nothing after the last stock.
  std::string prev;
  for (int c = 1; c <= o.stocks; ++c) {
    const std::string& h = t.cell(c, 0);
    ASSERT_GE(ByteLength(h), 6u) << c;
    const std::string code = LeftBytes(h, 4);
    EXPECT_EQ(h[4], ' ');
    EXPECT_NO_THROW(StrToInt(code));
    EXPECT_LT(prev, code);
    prev = code;
  }
  for (int c = o.stocks + 1; c < 200; ++c) EXPECT_TRUE(IsBlank(t.cell(c, 0))) << c;
  // Each column: blanks only at the top (at most 3) and below the oldest price.
  int withTopBlanks = 0;
  for (int c = 1; c <= o.stocks; ++c) {
    int top = 0;
    while (top < o.days && IsBlank(t.cell(c, top + 1))) ++top;
    EXPECT_LE(top, 3) << c;
    if (top) ++withTopBlanks;
    int last = o.days;
    while (last > 0 && IsBlank(t.cell(c, last))) --last;
    EXPECT_GE(last - top, 100) << c;  // enough history for every indicator pass
    for (int r = top + 1; r <= last; ++r) {
      const long double v = StrToFloat(t.cell(c, r));  // throws on a bad cell
      EXPECT_GE(v, 1.0L);
      EXPECT_LE(v, 40000.0L);
    }
    if (c == 1 || c == 4) {
      EXPECT_EQ(top, 0);
      EXPECT_EQ(last, o.days);
    }
  }
  EXPECT_GE(withTopBlanks, 1);
  EXPECT_TRUE(IsBlank(t.cell(3, 1)));  // column 3 always misses its newest day
  for (int r = 0; r <= o.days; ++r) {
    EXPECT_EQ(t.cell(198, r), "");
    EXPECT_EQ(t.cell(199, r), "");
  }
}

TEST(SampleData, MarketAgreesWithTheListAndRunsToToday) {
  Folder f;
  Options o = Small(f.dir);
  o.lag = 3;
  const Result res = Generate(o);
  WorkTable t("StockList", 200, 5000);
  LoadTableFile(t, f / "デ-タ一覧.csv", 200);
  EXPECT_EQ(t.cell(0, 1), "2003/12/23");  // three trading days before today

  const Market index = ReadMarket(f / "market/998407.csv");
  ASSERT_EQ(index.dates.size(), static_cast<std::size_t>(o.days + o.lag));
  EXPECT_EQ(index.dates[0], "2003/12/26");
  for (int r = 1; r <= o.days; ++r)
    EXPECT_EQ(index.dates[static_cast<std::size_t>(o.lag + r - 1)], t.cell(0, r));

  for (int c = 1; c <= o.stocks; ++c) {
    const std::string code = LeftBytes(t.cell(c, 0), 4);
    const Market m = ReadMarket(f / ("market/" + code + ".csv"));
    ASSERT_FALSE(m.dates.empty()) << code;
    int priced = 0;
    for (int r = 1; r <= o.days; ++r) {
      const std::string& v = t.cell(c, r);
      auto it = m.adj.find(t.cell(0, r));
      if (IsBlank(v)) {
        EXPECT_TRUE(it == m.adj.end()) << code << " " << t.cell(0, r);
        continue;
      }
      ++priced;
      ASSERT_TRUE(it != m.adj.end()) << code << " " << t.cell(0, r);
      EXPECT_EQ(StrToFloat(it->second), StrToFloat(v)) << code << " " << t.cell(0, r);
    }
    // The market has the list's priced days plus the lag days on top.
    EXPECT_EQ(m.dates.size(), static_cast<std::size_t>(priced + o.lag)) << code;
  }
  EXPECT_EQ(res.memoCode, LeftBytes(t.cell(4, 0), 4));
  EXPECT_EQ(ReadLines(f / "memo.txt"), std::vector<std::string>{res.memoCode});
}

TEST(SampleData, FixedMarketCodesForParserAndShortHistoryTests) {
  Folder f;
  Options o = Small(f.dir);
  Generate(o);
  EXPECT_EQ(ReadMarket(f / "market/1001.csv").dates.size(), 120u);
  EXPECT_EQ(ReadMarket(f / "market/1002.csv").dates.size(), 30u);
  EXPECT_TRUE(FileExists(f / "market/1003.csv"));
  EXPECT_EQ(fs::file_size(f / "market/1003.csv"), 0u);
  EXPECT_EQ(ReadMarket(f / "market/9999.csv").dates.size(), 300u);

  const Market huge = ReadMarket(f / "market/9997.csv");
  EXPECT_EQ(huge.adj.at(huge.dates[0]), "12345678");
  for (const auto& [d, v] : huge.adj)
    EXPECT_GE(StrToFloat(v), 10000000.0L) << d;  // 10 bytes with commas
  const Market max9 = ReadMarket(f / "market/9998.csv");
  EXPECT_EQ(max9.adj.at(max9.dates[0]), "9999999");
  for (const auto& [d, v] : max9.adj) {
    EXPECT_LE(StrToFloat(v), 9999999.0L) << d;
    EXPECT_GE(StrToFloat(v), 1000000.0L) << d;
  }
}

TEST(SampleData, AllCodesListCoversTheListAndMore) {
  Folder f;
  Options o = Small(f.dir);
  Generate(o);
  const auto lines = ReadLines(f / "tavrine/zenncode.txt");
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(1 + o.stocks + o.marketExtra));
  EXPECT_EQ(lines[0], "コード\t銘柄名\t市場");
  std::set<std::string> codes;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto tab = lines[i].find('\t');
    ASSERT_EQ(tab, 4u) << lines[i];
    EXPECT_NE(lines[i].find('\t', tab + 1), std::string::npos);
    codes.insert(lines[i].substr(0, 4));
    EXPECT_TRUE(FileExists(f / ("market/" + lines[i].substr(0, 4) + ".csv"))) << lines[i];
  }
  EXPECT_EQ(codes.size(), lines.size() - 1);  // no code twice
  EXPECT_EQ(codes.count("9999"), 0u);
  for (const char* c : {"1001", "1002", "1003", "9997", "9998"}) EXPECT_EQ(codes.count(c), 1u) << c;

  WorkTable t("StockList", 200, 5000);
  LoadTableFile(t, f / "デ-タ一覧.csv", 200);
  for (int c = 1; c <= o.stocks; ++c) {
    const std::string code = LeftBytes(t.cell(c, 0), 4);
    EXPECT_EQ(codes.count(code), 1u) << code;
    // The heading and the zenncode line name the same company.
    for (const auto& l : lines)
      if (l.rfind(code + "\t", 0) == 0) {
        EXPECT_EQ(l.substr(5, l.find('\t', 5) - 5), t.cell(c, 0).substr(5));
      }
  }
}

TEST(SampleData, CandidateAndPortfolioListsMatchTheStockList) {
  Folder f;
  Options o = Small(f.dir);
  o.days = 800;
  Generate(o);
  WorkTable list("StockList", 200, 5000);
  LoadTableFile(list, f / "デ-タ一覧.csv", 200);
  WorkTable cand("CandidateTable", 751, 5);
  LoadTableFile(cand, f / "pickrow/pickrow.csv", 751);
  ASSERT_GE(cand.rowCount(), 2);
  EXPECT_LE(cand.rowCount(), 11);
  EXPECT_EQ(cand.cell(0, 0), "候補銘柄 2003/12/26");
  for (int j = 1; j <= 750; ++j) EXPECT_EQ(cand.cell(j, 0), list.cell(0, j)) << j;
  for (int r = 1; r < cand.rowCount(); ++r) {
    int col = 0;
    for (int c = 1; c <= o.stocks; ++c)
      if (list.cell(c, 0) == cand.cell(0, r)) col = c;
    ASSERT_GT(col, 0) << cand.cell(0, r);
    // The value in column j + 1 belongs to the date in column j.
    for (int j = 1; j <= 749; ++j)
      EXPECT_EQ(cand.cell(j + 1, r), list.cell(col, j)) << r << " " << j;
  }

  WorkTable port("CandidateTable", 13, 5);
  LoadTableFile(port, f / "tavrine/tallysel.csv", 13);
  ASSERT_GE(port.rowCount(), 3);
  const std::string title = port.cell(0, 0);
  const auto slash = title.find('/');
  ASSERT_NE(slash, std::string::npos);
  EXPECT_EQ(title.substr(slash - 4, 10), "2003/12/26");  // the date begins 4 before the first "/"
  EXPECT_EQ(title[slash - 5], ' ');
  int d = 0;
  EXPECT_TRUE(TryParseDate(port.cell(0, 1), d));
  const auto zen = ReadLines(f / "tavrine/zenncode.txt");
  std::set<std::string> known;
  for (const auto& l : zen) known.insert(l.substr(0, 4));
  int codes = 0, notListed = 0;
  for (int r = 1; r < port.rowCount(); ++r)
    for (int c = 1; c <= 12; ++c) {
      const std::string& v = port.cell(c, r);
      if (IsBlank(v)) continue;
      ++codes;
      EXPECT_EQ(ByteLength(v), 4u) << v;
      EXPECT_EQ(known.count(v), 1u) << v;
      bool listed = false;
      for (int k = 1; k <= o.stocks; ++k) listed = listed || LeftBytes(list.cell(k, 0), 4) == v;
      if (!listed) ++notListed;
    }
  EXPECT_GT(codes, 20);
  EXPECT_GT(notListed, 0);
}

TEST(SampleData, CalendarSiblingToolsAndBadCell) {
  Folder f;
  Options o = Small(f.dir);
  o.badColumn = 4;
  Generate(o);
  const auto cal = ReadLines(f / "tavrine/hizuke.csv");
  ASSERT_EQ(cal.size(), static_cast<std::size_t>(o.days + 1));
  WorkTable list("StockList", 200, 5000);
  LoadTableFile(list, f / "デ-タ一覧.csv", 200);
  for (int r = 1; r <= o.days; ++r)
    EXPECT_EQ(ParseCommaText(cal[static_cast<std::size_t>(r)])[0], list.cell(0, r));
  EXPECT_TRUE(FileExists(f / "pullbox/pullbox.exe"));
  EXPECT_TRUE(FileExists(f / "listwerk/listwerk.exe"));
  EXPECT_TRUE(fs::is_directory(f / "listwerk/kabuka"));
  EXPECT_FALSE(ReadLines(f / "Fname.txt").empty());
  EXPECT_EQ(list.cell(4, 10), "1,234");
  EXPECT_THROW(StrToFloat(list.cell(4, 10)), ConversionError);
}

TEST(SampleData, CommandLine) {
  Options o;
  std::vector<std::string> args{"tavrine-sample", "/x", "--stocks",  "6",          "--days", "300",
                                "--seed",         "9",  "--today",   "2003/12/26", "--lag",  "2",
                                "--market-extra", "7",  "--bad-cell"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  EXPECT_EQ(ParseArgs(static_cast<int>(argv.size()), argv.data(), o), "");
  EXPECT_EQ(o.dir, "/x");
  EXPECT_EQ(o.stocks, 6);
  EXPECT_EQ(o.days, 300);
  EXPECT_EQ(o.seed, 9u);
  EXPECT_EQ(o.today, DaysFromCivil(2003, 12, 26));
  EXPECT_EQ(o.lag, 2);
  EXPECT_EQ(o.marketExtra, 7);
  EXPECT_EQ(o.badColumn, 4);

  for (std::vector<std::string> bad : {std::vector<std::string>{"p"},
                                       {"p", "/x", "--days", "0"},
                                       {"p", "/x", "--today", "2003/2/3"},
                                       {"p", "/x", "--stocks"},
                                       {"p", "/x", "/y"},
                                       {"p", "/x", "--what", "1"},
                                       {"p", "/x", "--seed", "1x"}}) {
    Options b;
    std::vector<char*> v;
    for (auto& a : bad) v.push_back(a.data());
    EXPECT_NE(ParseArgs(static_cast<int>(v.size()), v.data(), b), "") << bad.back();
  }
}

TEST(SampleData, ListHoldsAtMost197Stocks) {
  Options o;
  o.stocks = 199;
  o.days = 30;
  o.today = DaysFromCivil(2003, 12, 26);
  const Result r = Build(o);
  int listed = 0, maxCol = 0;
  for (const auto& s : r.stocks)
    if (s.column > 0) {
      ++listed;
      maxCol = std::max(maxCol, s.column);
    }
  EXPECT_EQ(listed, 197);
  EXPECT_EQ(maxCol, 197);
}

}  // namespace
}  // namespace tavrine::sample
