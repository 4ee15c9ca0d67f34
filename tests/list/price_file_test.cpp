// Daily-price files from brokers and price sites: each form, the closes and
// dates taken, the code and name, and every way a file is refused.
#include "list/price_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/codec.h"
#include "store/text.h"

namespace tavrine {
namespace {

using namespace std::string_literals;

// Rows as "yyyy/mm/dd close" joined by " | ", newest first as returned.
std::string Rows(const PriceFile& f) {
  std::string out;
  for (const auto& r : f.rows) {
    if (!out.empty()) out += " | ";
    out += DateToStr(r.day) + " " + r.close;
  }
  return out;
}

struct Refusal {
  std::string message;
  int line = -1;
};

// The refusal of a file; an empty message when it was taken.
Refusal RefusalOf(std::string_view bytes, const std::string& name = "/home/u/Downloads/7203.csv") {
  try {
    const PriceFile f = ParsePriceFile(bytes, name);
    return {"", static_cast<int>(f.rows.size())};
  } catch (const PriceFileError& e) {
    return {e.what(), e.line()};
  }
}

// ---------------------------------------------------------------- forms

TEST(PriceFileForms, EachFormGivesClosesNewestFirst) {
  struct Case {
    const char* label;
    std::string bytes;
    std::string rows;
    int skipped;
  };
  const std::string jpOldest =
      "7203 トヨタ自動車 東証プライム\r\n"
      "日付,始値,高値,安値,終値,出来高,終値調整値\r\n"
      "2023/1/4,\"1,800\",\"1,810\",\"1,790\",\"1,805\",\"1,000\",\"902.5\"\r\n"
      "2023/1/5,\"1,805\",\"1,815\",\"1,795\",\"1,810.5\",\"2,000\",\"905.25\"\r\n";
  const Case cases[] = {
      {"Adj Close form, LF, null row left out, never the adjusted close",
       "Date,Open,High,Low,Close,Adj Close,Volume\n"
       "2023-01-04,1800.0,1810.0,1790.0,1805.000000,1750.123456,1000\n"
       "2023-01-05,null,null,null,null,null,null\n"
       "2023-01-06,1810,1820,1800,1812.500000,1760.5,2000\n",
       "2023/01/06 1812.5 | 2023/01/04 1805", 1},
      {"Adj Close form, BOM, CR LF, quoted header words, no final break",
       "\xEF\xBB\xBF\"Date\" , \"Open\",\"High\",\"Low\",\" Close \",\"Adj Close\",\"Volume\"\r\n"
       "2023-01-04,1,1,1,100,50,10\r\n2023-01-05,1,1,1,101,51,10",
       "2023/01/05 101 | 2023/01/04 100", 0},
      {"six-column form, upper-case header",
       "DATE,OPEN,HIGH,LOW,CLOSE,VOLUME\n2023-01-04,1,1,1,2500.5,10\n2023-01-05,1,1,1,2510,10\n",
       "2023/01/05 2510 | 2023/01/04 2500.5", 0},
      {"Japanese UTF-8, newest first, quoted thousands",
       "日付,始値,高値,安値,終値,出来高\n"
       "\"2023/01/06\",\"12,010\",\"12,100\",\"11,990\",\"12,050\",\"1,234,500\"\n"
       "\"2023/01/05\",\"11,900\",\"12,000\",\"11,800\",\"11,950.5\",\"998,000\"\n",
       "2023/01/06 12050 | 2023/01/05 11950.5", 0},
      {"Japanese Shift-JIS with a title line, oldest first, CR LF", Utf8ToCp932(jpOldest),
       "2023/01/05 1810.5 | 2023/01/04 1805", 0},
      {"tab separated, thousands without quotes",
       "日付\t始値\t高値\t安値\t終値\t出来高\n2023/01/05\t1,800\t1,810\t1,790\t1,805\t1,000\n",
       "2023/01/05 1805", 0},
      {"semicolon separated", "Date;Open;High;Low;Close;Volume\r\n2023-01-05;1;1;1;99.9;5\r\n",
       "2023/01/05 99.9", 0},
      {"date,close without header, yyyymmdd, blank lines at the end",
       "20230105,1805\n20230104,1800\n\n\r\n  \n", "2023/01/05 1805 | 2023/01/04 1800", 0},
      {"date,close under any header words", "日付,株価\n2023/01/04,1800\n2023/01/05,1805\n",
       "2023/01/05 1805 | 2023/01/04 1800", 0},
      {"columns found by name in any order",
       "Volume,Close,Date\n10,300,2023-01-04\n10,301,2023-01-05\n",
       "2023/01/05 301 | 2023/01/04 300", 0},
      {"spreadsheet blank rows and a trailing empty field",
       "日付,終値,\n2023/01/04,1800,\n,,\n2023/01/05,1805,\n,,\n,,\n",
       "2023/01/05 1805 | 2023/01/04 1800", 0},
      {"days out of order are sorted",
       "Date,Close\n2023-01-05,2\n2023-01-09,4\n2023-01-04,1\n2023-01-06,3\n",
       "2023/01/09 4 | 2023/01/06 3 | 2023/01/05 2 | 2023/01/04 1", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    try {
      const PriceFile f = ParsePriceFile(c.bytes, "prices.csv");
      EXPECT_EQ(Rows(f), c.rows);
      EXPECT_EQ(f.skipped, c.skipped);
    } catch (const PriceFileError& e) {
      ADD_FAILURE() << e.what();
    }
  }
}

TEST(PriceFileForms, LongFileReadsTheSameInEitherOrder) {
  constexpr int kRows = 4860;
  const int first = DaysFromCivil(2004, 1, 5);
  std::string oldest = "Date,Open,High,Low,Close,Adj Close,Volume\n";
  std::string newest = Utf8ToCp932("日付,始値,高値,安値,終値,出来高,終値調整値\r\n");
  for (int k = 0; k < kRows; ++k) {
    int y, m, d;
    CivilFromDays(first + k, y, m, d);
    char line[160];
    std::snprintf(line, sizeof line, "%04d-%02d-%02d,1,1,1,%d.%d00000,7.0,100\n", y, m, d, 1000 + k,
                  k % 10);
    oldest += line;
  }
  for (int k = kRows - 1; k >= 0; --k) {
    int y, m, d;
    CivilFromDays(first + k, y, m, d);
    char line[160];
    std::snprintf(line, sizeof line, "%d/%d/%d,\"1\",\"1\",\"1\",\"%d,%03d.%d\",\"100\",\"7\"\r\n",
                  y, m, d, (1000 + k) / 1000, (1000 + k) % 1000, k % 10);
    newest += line;
  }
  const PriceFile a = ParsePriceFile(oldest, "7203.T.csv");
  const PriceFile b = ParsePriceFile(newest, "7203.csv");
  ASSERT_EQ(a.rows.size(), static_cast<std::size_t>(kRows));
  EXPECT_EQ(Rows(a), Rows(b));
  EXPECT_EQ(a.rows.front().day, first + kRows - 1);
  EXPECT_EQ(a.rows.front().close, "5859.9");
  EXPECT_EQ(a.rows.back().close, "1000");
}

// ---------------------------------------------------------------- closes

TEST(PriceFileCloses, DecimalTextAsTheListKeepsIt) {
  const std::pair<const char*, const char*> taken[] = {
      {"1805.000000", "1805"},
      {"\"1,234.5\"", "1234.5"},
      {"\"12,345,678\"", "12345678"},
      {"0012.50", "12.5"},
      {".5", "0.5"},
      {"0.0001", "0.0001"},
      {"1.5e3", "1500"},
      {"1234.56789012345678", "1234.56789012346"},
      {" \"  980 \" ", "980"},
  };
  for (const auto& [text, close] : taken) {
    SCOPED_TRACE(text);
    try {
      const PriceFile f =
          ParsePriceFile(std::string("Date,Close\n2023-01-04,") + text + "\n", "p.csv");
      ASSERT_EQ(f.rows.size(), 1u);
      EXPECT_EQ(f.rows[0].close, close);
    } catch (const PriceFileError& e) {
      ADD_FAILURE() << e.what();
    }
  }
  const std::pair<const char*, const char*> refused[] = {
      {"abc", "終値が数値ではありません (abc)"},
      {"1.2.3", "終値が数値ではありません (1.2.3)"},
      {"\"1,23\"", "終値が数値ではありません (1,23)"},
      {"\"12,34,567\"", "終値が数値ではありません (12,34,567)"},
      {"\"1234,5\"", "終値が数値ではありません (1234,5)"},
      {"\",123\"", "終値が数値ではありません (,123)"},
      {"1e", "終値が数値ではありません (1e)"},
      {"1e999999", "終値が数値ではありません (1e999999)"},
      {"1e20", "終値が数値ではありません (1e20)"},
      {"null", "終値が数値ではありません (null)"},  // missing values only in the Adj Close form
      {"１２３", "終値が数値ではありません (１２３)"},
      {"\"12\"3", "終値が数値ではありません (\"12\"3)"},
      {"\"100", "終値が数値ではありません (\"100)"},
      {"0", "終値が0以下です (0)"},
      {"0.000", "終値が0以下です (0.000)"},
      {"-5", "終値が0以下です (-5)"},
      {"\"-1,234\"", "終値が0以下です (-1,234)"},
      {"-1e3", "終値が0以下です (-1e3)"},
  };
  for (const auto& [text, message] : refused) {
    const Refusal r = RefusalOf(std::string("Date,Close\n2023-01-04,") + text + "\n");
    EXPECT_EQ(r.message, std::string("7203.csv: 2行目: ") + message) << text;
    EXPECT_EQ(r.line, 2) << text;
  }
}

// ---------------------------------------------------------------- dates

TEST(PriceFileDates, AcceptedFormsAndTheCalendar) {
  const std::pair<const char*, int> taken[] = {
      {"2024-02-29", DaysFromCivil(2024, 2, 29)},  {"2024/02/29", DaysFromCivil(2024, 2, 29)},
      {"2024/2/29", DaysFromCivil(2024, 2, 29)},   {"20240229", DaysFromCivil(2024, 2, 29)},
      {"2023-1-5", DaysFromCivil(2023, 1, 5)},     {"2000/02/29", DaysFromCivil(2000, 2, 29)},
      {"1999/12/31", DaysFromCivil(1999, 12, 31)},
  };
  for (const auto& [text, day] : taken) {
    SCOPED_TRACE(text);
    try {
      const PriceFile f = ParsePriceFile(std::string("日付,終値\n") + text + ",100\n", "p.csv");
      ASSERT_EQ(f.rows.size(), 1u);
      EXPECT_EQ(f.rows[0].day, day);
    } catch (const PriceFileError& e) {
      ADD_FAILURE() << e.what();
    }
  }
  for (const char* bad :
       {"2023-02-30", "2023/02/29", "2100-02-29", "2023/13/01", "2023/00/10", "2023-01-32",
        "2023-04-31", "20231301", "20230100", "2023/01/05 00:00", "23/01/05", "2023-01/05",
        "202301051", "2023/001/05", "2023//05", "1899/12/31", "２０２３/01/05", "2023.01.05", ""}) {
    const Refusal r = RefusalOf(std::string("日付,終値\n") + bad + ",100\n");
    EXPECT_EQ(r.message, std::string("7203.csv: 2行目: 日付を読めません (") + bad + ")");
  }
}

// ---------------------------------------------------------------- code and name

TEST(PriceFileCode, CodeFromTheFileNameThenTheTitleLineNameFromTheTitleThenTheFileName) {
  const std::string data = "Date,Close\n2023-01-04,100\n";
  const std::string jpData = "日付,終値\n2023/01/04,100\n";
  struct Case {
    std::string fileName, bytes, code, name, heading;
  };
  const Case cases[] = {
      {"7203.T.csv", data, "7203", "", "7203"},
      {"C:\\Users\\u\\Downloads\\7203_daily.csv", data, "7203", "", "7203"},
      {"130a.jp.csv", data, "130A", "", "130A"},
      {"20230104.csv", data, "", "", ""},
      {"72035.csv", data, "", "", ""},
      {"720.csv", data, "", "", ""},
      {"prices.csv", "7203 トヨタ自動車 東証プライム\n" + jpData, "7203", "トヨタ自動車",
       "7203 トヨタ自動車"},
      {"prices.csv", "7203,トヨタ自動車\n" + jpData, "7203", "トヨタ自動車", "7203 トヨタ自動車"},
      // The title's name belongs to the title's code.
      {"9984.csv", "7203　トヨタ自動車　東証プライム\n" + jpData, "9984", "", "9984"},
      {"x.csv", "\"130A\",\"ＡＢＣホールディングス\",\"東証グロース\"\n" + jpData, "130A",
       "ＡＢＣホールディングス", "130A ＡＢＣホールディングス"},
      {"x.csv", "5020 ENEOS ホールディングス (東証プライム) 日足\n" + jpData, "5020",
       "ENEOS ホールディングス", "5020 ENEOS ホールディングス"},
      {"x.csv", "7203.T トヨタ自動車\n" + jpData, "7203", "トヨタ自動車", "7203 トヨタ自動車"},
      {"x.csv", "トヨタ自動車 東証1部\n" + jpData, "", "トヨタ自動車", "トヨタ自動車"},
      {"x.csv", "7203 トヨタ自動車\n2023/01/04,100\n", "7203", "トヨタ自動車", "7203 トヨタ自動車"},
      {"x.csv", Utf8ToCp932("6758 ソニーグループ 東証プライム\r\n日付,終値\r\n2023/01/04,100\r\n"),
       "6758", "ソニーグループ", "6758 ソニーグループ"},
      // The code and the period words are no part of the name; a legal form is.
      {"x.csv", "6758 ソニーグループ(株) 日足\n" + jpData, "6758", "ソニーグループ(株)",
       "6758 ソニーグループ(株)"},
      {"x.csv", "６７５８　ソニーグループ(株)　株価時系列\n" + jpData, "6758", "ソニーグループ(株)",
       "6758 ソニーグループ(株)"},
      {"x.csv", "6758ソニーグループ(株)日足\n" + jpData, "6758", "ソニーグループ(株)",
       "6758 ソニーグループ(株)"},
      {"x.csv", "6758 ソニーグループ(株) (6758) 【週足】 6758.T\n" + jpData, "6758",
       "ソニーグループ(株)", "6758 ソニーグループ(株)"},
      {"x.csv", "ソニーグループ(株)（6758） 月足\n" + jpData, "", "ソニーグループ(株)",
       "ソニーグループ(株)"},
      {"x.csv", "6758 日足\n" + jpData, "6758", "", "6758"},
      {"x.csv", "6758 株価 東証プライム\n" + jpData, "6758", "", "6758"},
      // Without a title, the file name's words that are not ASCII.
      {"/tmp/6758_ソニー.csv", data, "6758", "ソニー", "6758 ソニー"},
      {"トヨタ自動車.csv", data, "", "トヨタ自動車", "トヨタ自動車"},
      {"6758.T_ソニー_日足 (1).csv", data, "6758", "ソニー", "6758 ソニー"},
      {"ソニーグループ(株)-2024-01-05.txt", data, "", "ソニーグループ(株)", "ソニーグループ(株)"},
      {"6758_sony_daily.csv", data, "6758", "", "6758"},
      {"株価_6758.csv", data, "", "", ""},
      {"7203\x83\x67\x83\x88\x83\x5E.csv", data, "7203", "", "7203"},  // not UTF-8: no name
      {"7203_ト\tヨタ.csv", data, "7203", "", "7203"},  // a control character: no name
      // The title's name first; a name goes only with its own code.
      {"6758_ソニー.csv", "6758 ソニーグループ 日足\n" + jpData, "6758", "ソニーグループ",
       "6758 ソニーグループ"},
      {"7203_トヨタ.csv", "6758 ソニーグループ\n" + jpData, "7203", "トヨタ", "7203 トヨタ"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fileName + " / " + c.bytes.substr(0, c.bytes.find('\n')));
    try {
      const PriceFile f = ParsePriceFile(c.bytes, c.fileName);
      EXPECT_EQ(f.code, c.code);
      EXPECT_EQ(StockName(f, f.code), c.name);
      EXPECT_EQ(Heading(f), c.heading);
      EXPECT_EQ(f.rows.size(), 1u);
    } catch (const PriceFileError& e) {
      ADD_FAILURE() << e.what();
    }
  }
}

// ---------------------------------------------------------------- what is never guessed

// The close column of each header, as the closes it gives; a refusal as its message.
std::string CloseOf(const std::string& header, const std::string& row) {
  try {
    return Rows(ParsePriceFile(header + "\n" + row + "\n", "7203.csv", DaysFromCivil(2026, 12, 9)));
  } catch (const PriceFileError& e) {
    return e.what();
  }
}

TEST(PriceFileHeaders, TheCloseIsFoundByNameOrTheFileIsRefused) {
  // Each row holds 1 .. 5 in the other columns and 700 in the close.
  const std::pair<const char*, const char*> named[] = {
      {"Date,Open,High,Low,Last,Volume", "2026-12-09,1,2,3,700,5"},
      {"Date,Open,High,Low,Close Price,Volume", "2026-12-09,1,2,3,700,5"},
      {"Date,Open,High,Low,Closing_Price,Adj. Close,Volume", "2026-12-09,1,2,3,700,4,5"},
      {"日付,始値,高値,安値,終値(円),出来高(株)", "2026/12/09,1,2,3,700,5"},
      {"日付,始値,高値,安値,終値（円）,出来高", "2026/12/09,1,2,3,700,5"},
      {"日付,始値,高値,安値,終 値,出来高", "2026/12/09,1,2,3,700,5"},
      {"日付け,始値,高値,安値,終値,出来高", "2026/12/09,1,2,3,700,5"},
      {"年月日,出来高,終値", "2026/12/09,5,700"},
      {"Date,Volume,Price", "2026-12-09,5,700"},
      {"\"Trade Date\",\"Volume\",\"Last Price [JPY]\"", "2026-12-09,5,700"},
  };
  for (const auto& [header, row] : named)
    EXPECT_EQ(CloseOf(header, row), "2026/12/09 700") << header;

  // Headers without one column that surely is the close: the header line is named.
  const char* refused[] = {
      "Date,Open,High,Low,Volume",  // no close: not the second column either
      "day,volume,price",           // no date word: price is not enough
      "Date,Open",                  // two columns, but the second is surely no close
      "Date,Adj Close,Volume",
      "日付,\"1301 極洋\",\"7203 トヨタ\",\"9984 ソフトバンク\"",  // a copy of the stock list
      "Date,Bid Price,Ask Price",
  };
  for (const char* header : refused)
    EXPECT_EQ(CloseOf(header, "2026-12-09,1,700,3"), "7203.csv: 1行目: 見出し行を認識できません")
        << header;
  EXPECT_EQ(CloseOf("Date,Close,Last,Volume", "2026-12-09,700,701,5"),
            "7203.csv: 1行目: 見出し行を認識できません (終値か日付の列が複数あります)");
  EXPECT_EQ(CloseOf("Date,Price,株価", "2026-12-09,700,701"),
            "7203.csv: 1行目: 見出し行を認識できません (終値か日付の列が複数あります)");
  // After a title line the header named is the second line.
  EXPECT_EQ(CloseOf("7203 トヨタ自動車\n日付,始値,高値,安値,出来高", "2026/12/09,1,2,3,5"),
            "7203.csv: 2行目: 見出し行を認識できません");
  // A two-column file may still have any header words.
  EXPECT_EQ(CloseOf("日にち,値段", "2026/12/09,700"), "2026/12/09 700");
}

TEST(PriceFileRows, WithoutAHeaderALineIsADateAndACloseOnly) {
  const std::string extra =
      "見出し行がないため、日付と終値のほかに項目がある行は読めません "
      "(桁区切りのある数値は \"1,234\" のように引用符で囲みます)";
  const int today = DaysFromCivil(2026, 12, 9);
  const auto refusal = [&](const std::string& bytes) {
    try {
      ParsePriceFile(bytes, "7203.csv", today);
      return std::string();
    } catch (const PriceFileError& e) {
      return std::string(e.what());
    }
  };
  EXPECT_EQ(refusal("2026/12/09,1,000\n2026/12/08,1,010\n"), "7203.csv: 1行目: " + extra);
  EXPECT_EQ(refusal("2026/12/09,1000\n2026/12/08,1,010\n"), "7203.csv: 2行目: " + extra);
  EXPECT_EQ(refusal("7203 トヨタ自動車\n2026/12/09,1,000\n"), "7203.csv: 2行目: " + extra);
  EXPECT_EQ(refusal("2026/12/09,1,2,3,1000,100\n"), "7203.csv: 1行目: " + extra);
  // Quoted thousands and the empty fields a spreadsheet leaves are a date and a close.
  const PriceFile f =
      ParsePriceFile("2026/12/09,\"1,000\",,\n2026/12/08,990,\n", "7203.csv", today);
  EXPECT_EQ(Rows(f), "2026/12/09 1000 | 2026/12/08 990");
}

TEST(PriceFileRows, ADayAfterTodayRefusesTheWholeFile) {
  const int today = DaysFromCivil(2026, 12, 9);
  const std::string typo = "Date,Close\n2026-12-08,1490\n2062-12-10,1500\n2026-12-07,1480\n";
  try {
    ParsePriceFile(typo, "7203.csv", today);
    ADD_FAILURE() << "taken";
  } catch (const PriceFileError& e) {
    EXPECT_STREQ(e.what(), "7203.csv: 3行目: 今日 (2026/12/09) より後の日付です (2062-12-10)");
    EXPECT_EQ(e.line(), 3);
  }
  // Today itself is taken; a missing close after today is refused all the same.
  EXPECT_EQ(Rows(ParsePriceFile("Date,Close\n20261209,1\n", "7203.csv", today)), "2026/12/09 1");
  EXPECT_EQ(CloseOf("Date,Open,High,Low,Close,Adj Close,Volume",
                    "2026-12-08,1,1,1,5,5,1\n2026-12-10,null,null,null,null,null,null"),
            "7203.csv: 3行目: 今日 (2026/12/09) より後の日付です (2026-12-10)");
}

TEST(PriceFileCloses, AClosePastTheListsWholeYenIsRefused) {
  const std::pair<const char*, const char*> cases[] = {
      {"2147483647", "2026/12/09 2147483647"},
      {"2147483647.49", "2026/12/09 2147483647.49"},
      {"2147483647.5", "7203.csv: 2行目: 終値が大きすぎます (2147483647.5、2147483647まで)"},
      {"999999999999999", "7203.csv: 2行目: 終値が大きすぎます (999999999999999、2147483647まで)"},
      {"\"2,147,483,648\"", "7203.csv: 2行目: 終値が大きすぎます (2,147,483,648、2147483647まで)"},
      {"3e9", "7203.csv: 2行目: 終値が大きすぎます (3e9、2147483647まで)"},
      {"12345678901234567890",
       "7203.csv: 2行目: 終値が大きすぎます (12345678901234567890、2147483647まで)"},
  };
  for (const auto& [close, result] : cases)
    EXPECT_EQ(CloseOf("Date,Close", std::string("2026-12-09,") + close), result);
}

TEST(PriceFileCloses, ASeparatorReadingTwoWaysInASemicolonFileIsRefused) {
  const std::string head = "Date;Close\n2026-12-07;1500\n";
  const std::string refused = "終値の区切りが桁区切りか小数点か決められません";
  for (const char* close : {"2,001", "1.500", "-12,345", "999,000"}) {
    const Refusal r = RefusalOf(head + "2026-12-08;" + close + "\n2026-12-06;1510\n");
    EXPECT_EQ(r.message, "7203.csv: 3行目: " + refused + " (" + close + ")");
    EXPECT_EQ(r.line, 3);
  }
  // One reading only: taken as before.
  const std::pair<const char*, const char*> taken[] = {
      {"1,234,567", "1234567"}, {"1234.500", "1234.5"}, {"12.5", "12.5"}, {"2001", "2001"}};
  for (const auto& [close, kept] : taken) {
    EXPECT_EQ(CloseOf("Date;Close", std::string("2026-12-09;") + close),
              std::string("2026/12/09 ") + kept);
  }
  // The same text in a comma file is a quoted thousands separator.
  EXPECT_EQ(CloseOf("Date,Close", "2026-12-09,\"2,001\""), "2026/12/09 2001");
}

TEST(PriceFileCode, TheTitleLinesCodeIsKeptBesideTheFileNames) {
  const std::string jp =
      Utf8ToCp932("\r\n6758 ソニーグループ 東証プライム\r\n日付,終値\r\n2023/01/04,100\r\n");
  const PriceFile named = ParsePriceFile(jp, "7208_x.csv", DaysFromCivil(2026, 12, 9));
  EXPECT_EQ(named.code, "7208");
  EXPECT_EQ(named.titleCode, "6758");
  EXPECT_EQ(named.titleLine, 2);
  const PriceFile lower =
      ParsePriceFile("130a 銘柄\n2023/01/04,100\n", "130A.csv", DaysFromCivil(2026, 12, 9));
  EXPECT_EQ(lower.code, "130A");
  EXPECT_EQ(lower.titleCode, "130A");
}

// ---------------------------------------------------------------- refusals

TEST(PriceFileErrors, EachFaultNamesTheFileAndLine) {
  struct Case {
    const char* label;
    std::string bytes;
    int line;
    std::string message;
  };
  const std::string yahoo = "Date,Open,High,Low,Close,Adj Close,Volume\n";
  const Case cases[] = {
      {"bad date", "Date,Close\n2023-01-04,100\n2023-02-30,101\n", 3,
       "日付を読めません (2023-02-30)"},
      {"bad date in the first line of a file without header", "2023-02-30,100\n2023-03-01,101\n", 1,
       "日付を読めません (2023-02-30)"},
      {"bad date after a title line", "7203 トヨタ自動車\n2023/02/30,100\n", 2,
       "日付を読めません (2023/02/30)"},
      {"line numbers count blank lines, CR LF and the title",
       "7203 トヨタ\r\n日付,終値\r\n\r\n2023/01/04,100\r\n\r\n2023/01/05,x\r\n", 6,
       "終値が数値ではありません (x)"},
      {"date repeated, oldest first",
       "Date,Close\n2023-01-04,100\n2023-01-05,101\n2023-01-05,102\n", 4,
       "日付が重複しています (2023/01/05)"},
      {"date repeated out of order: the first line that repeats",
       "Date,Close\n2023-01-06,1\n2023-01-04,1\n2023-01-05,1\n2023-01-04,1\n2023-01-06,1\n", 5,
       "日付が重複しています (2023/01/04)"},
      {"date repeated in another form", "Date,Close\n2023-01-05,1\n20230105,1\n", 3,
       "日付が重複しています (2023/01/05)"},
      {"close zero", "Date,Close\n2023-01-04,0\n", 2, "終値が0以下です (0)"},
      {"too few fields", yahoo + "2023-01-04,1,1,1,100,100,5\n2023-01-05,1,1,1\n", 3,
       "項目が足りません"},
      {"too few fields without header", "20230104,100\n20230105\n", 2, "項目が足りません"},
      {"unquoted thousands cut the line",
       "日付,始値,高値,安値,終値,出来高\n2023/01/04,1,234,1,240,1,230,1,235,100\n", 2,
       "項目が多すぎます (桁区切りのある数値は \"1,234\" のように引用符で囲みます)"},
      {"no header", "hello world\nfoo bar\n", 1, "見出し行を認識できません"},
      {"title then no header", "7203 トヨタ自動車\nfoo,bar\n2023/01/04,100\n", 1,
       "見出し行を認識できません"},
      {"one word then data", "prices\n2023/01/04,100\n", 1, "見出し行を認識できません"},
      {"only an adjusted close", "Date,Adj Close\n2023-01-04,100\n", 1, "見出し行を認識できません"},
      {"a null close outside the Adj Close form",
       "Date,Open,High,Low,Close,Volume\n2023-01-04,1,1,1,null,0\n", 2,
       "終値が数値ではありません (null)"},
      {"only a header", "Date,Open,High,Low,Close,Volume\r\n", 0, "株価の行がありません"},
      {"only null rows", yahoo + "2023-01-04,null,null,null,null,null,null\n", 0,
       "株価の行がありません"},
      {"empty", "", 0, "データがありません"},
      {"blank lines only", "\r\n\r\n  \n,,,\n", 0, "データがありません"},
      {"NUL byte",
       "Date,Close\n2023-01-04,100\n2023-01-05,1\0"
       "01\n"s,
       3, "読めない文字 (NUL) があります"},
      {"UTF-16",
       std::string("\xFF\xFE"
                   "D\0a\0t\0e\0",
                   10),
       1, "UTF-16 のファイルは読めません (UTF-8 か Shift-JIS で保存してください)"},
      {"Shift-JIS text quoted back in UTF-8", Utf8ToCp932("日付,終値\r\n２０２３年1月4日,100\r\n"),
       2, "日付を読めません (２０２３年1月4日)"},
  };
  for (const auto& c : cases) {
    const Refusal r = RefusalOf(c.bytes);
    const std::string where = c.line > 0 ? std::to_string(c.line) + "行目: " : "";
    EXPECT_EQ(r.message, "7203.csv: " + where + c.message) << c.label;
    EXPECT_EQ(r.line, c.line) << c.label;
  }
}

TEST(PriceFileErrors, HostileInputEndsInAMessage) {
  // Pseudo-random bytes, with and without NULs.
  std::string junk(1 << 16, '\0');
  unsigned x = 12345;
  for (char& c : junk) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  EXPECT_NE(RefusalOf(junk).message.find("読めない文字 (NUL)"), std::string::npos);
  for (char& c : junk)
    if (c == '\0') c = 'x';
  const Refusal noNul = RefusalOf(junk);
  EXPECT_NE(noNul.message.find("見出し行を認識できません"), std::string::npos) << noNul.message;

  // One enormous line, and an enormous field quoted back only in part.
  EXPECT_EQ(RefusalOf(std::string(10 << 20, 'A')).message,
            "7203.csv: 1行目: 見出し行を認識できません");
  const Refusal longDate =
      RefusalOf("Date,Close\n2023-01-04" + std::string(1 << 20, '9') + ",100\n");
  EXPECT_EQ(longDate.line, 2);
  EXPECT_LT(longDate.message.size(), 120u);
  EXPECT_NE(longDate.message.find("日付を読めません (2023-01-04999"), std::string::npos);
  const Refusal longClose = RefusalOf("Date,Close\n2023-01-04," + std::string(1 << 20, '7') + "\n");
  EXPECT_EQ(longClose.line, 2);
  EXPECT_NE(longClose.message.find("終値が数値ではありません (777"), std::string::npos)
      << longClose.message;

  // Too large a file is refused before any line is read.
  std::string big = "Date,Close\n2023-01-04,100\n";
  big.resize(kPriceFileMaxBytes + 1, '\n');
  EXPECT_EQ(RefusalOf(big).message, "7203.csv: ファイルが大きすぎます (16MBまで)");
  big.resize(kPriceFileMaxBytes);
  EXPECT_EQ(RefusalOf(big).message, "");

  // More data lines than a daily file can hold, in a file under the size
  // limit, with CR line ends (no LF to search for).
  std::string many = "Date,Close\r";
  for (int k = 0; k <= kPriceFileMaxRows; ++k) many += "20230104,1\r";
  const Refusal manyRows = RefusalOf(many);
  EXPECT_EQ(manyRows.line, kPriceFileMaxRows + 2);
  EXPECT_EQ(manyRows.message, "7203.csv: " + std::to_string(kPriceFileMaxRows + 2) +
                                  "行目: 行が多すぎます (" + std::to_string(kPriceFileMaxRows) +
                                  "行まで)");

  // Broken UTF-8 after a byte-order mark and control characters stay printable.
  const Refusal broken = RefusalOf(
      "\xEF\xBB\xBF"
      "Date,Close\n2023-01-\xE3\x81\x01\x1B,1\n");
  EXPECT_EQ(broken.message, "7203.csv: 2行目: 日付を読めません (2023-01-?\?\?\?)");
}

}  // namespace
}  // namespace tavrine

namespace tavrine {
namespace {

// The open, high, low and volume beside the close, for the price store:
// read where the header names them, never a reason to refuse a file.
TEST(PriceFileCandles, OpenHighLowAndVolumeAreReadWhereTheHeaderNamesThem) {
  const PriceFile jp = ParsePriceFile(
      "日付,始値,高値,安値,終値,出来高\n2024/03/05,\"1,010\",1020,990.5,1000,\"12,300\"\n"
      "2024/03/04,-,1010,980,995,0\n",
      "7203.csv", DaysFromCivil(2024, 3, 5));
  EXPECT_TRUE(jp.candles);
  ASSERT_EQ(jp.rows.size(), 2u);
  EXPECT_EQ(*jp.rows[0].open, 1010);
  EXPECT_EQ(*jp.rows[0].high, 1020);
  EXPECT_EQ(*jp.rows[0].low, 990.5);
  EXPECT_EQ(*jp.rows[0].volume, 12300);
  EXPECT_EQ(jp.rows[0].close, "1000");
  EXPECT_FALSE(jp.rows[1].open.has_value());  // "-" is no price, and refuses nothing
  EXPECT_EQ(*jp.rows[1].volume, 0);

  const PriceFile yahoo =
      ParsePriceFile("Date,Open,High,Low,Close,Adj Close,Volume\n2024-03-05,1,3,0.5,2,1.5,700\n",
                     "7203.csv", DaysFromCivil(2024, 3, 5));
  EXPECT_TRUE(yahoo.candles);
  EXPECT_EQ(*yahoo.rows[0].low, 0.5);
  EXPECT_EQ(yahoo.rows[0].close, "2");  // the close, never the adjusted one
  EXPECT_EQ(*yahoo.rows[0].volume, 700);

  const PriceFile closes =
      ParsePriceFile("Date,Close\n2024-03-05,2\n", "7203.csv", DaysFromCivil(2024, 3, 5));
  EXPECT_FALSE(closes.candles);
  EXPECT_FALSE(closes.rows[0].open.has_value());
}

}  // namespace
}  // namespace tavrine
