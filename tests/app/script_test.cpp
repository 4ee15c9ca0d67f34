// The headless driver: escapes, query output forms, and refusal of lines it
// cannot understand.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "../support/data_folder.h"
#include "app/script.h"

namespace tavrine {
namespace {

struct Run {
  int status;
  std::string out, err;
};

Run Play(const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out, err;
  const int status = RunScript(in, out, err);
  return {status, out.str(), err.str()};
}

TEST(ScriptEscapes, TextArgumentsResolveTheFiveEscapes) {
  EXPECT_EQ(UnescapeText("a\\rb\\nc\\td\\se\\\\f"), "a\rb\nc\td e\\f");
  EXPECT_EQ(UnescapeText("\\s"), " ");
  EXPECT_EQ(UnescapeText("x\\s"), "x ");
  EXPECT_EQ(UnescapeText("\\\\n"), "\\n");  // an escaped backslash, then a plain n
  EXPECT_EQ(UnescapeText("\\q"), "\\q");    // not an escape: kept as written
  EXPECT_EQ(UnescapeText("end\\"), "end\\");
  EXPECT_EQ(UnescapeText("銘柄 コード"), "銘柄 コード");
}

TEST(ScriptEscapes, OutputEscapesControlCharactersAndBackslash) {
  EXPECT_EQ(EscapeText("a\rb\nc\td\\e"), "a\\rb\\nc\\td\\\\e");
  EXPECT_EQ(EscapeText(" x "), " x ");  // spaces stay as they are
  EXPECT_EQ(EscapeText("日付"), "日付");
}

TEST(ScriptQueries, TextOfABoxRoundTripsThroughSet) {
  auto r = Play(
      "set Edit18 a\\tb\\\\c\\r\\nd\n"
      "text Edit18\n"
      "set Edit18 x\\s\n"
      "text Edit18\n"
      "set Edit18\n"
      "text Edit18\n"
      "set Edit18 two  spaces\n"
      "text Edit18\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Edit18=a\\tb\\\\c\\r\\nd\n"
            "Edit18=x \n"
            "Edit18=\n"
            "Edit18=two  spaces\n");
}

TEST(ScriptQueries, DesignStateOfControls) {
  auto r = Play(
      "text Button17\n"
      "text BitBtn1\n"
      "text Edit1\n"
      "text LabelProg\n"
      "visible Panel14\n"
      "visible TForm4\n"
      "visible Button17\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Button17=銘柄ボタン\n"
            "BitBtn1=株価収集\n"
            "Edit1=0\n"
            "LabelProg=---\n"
            "Panel14 visible=0\n"
            "TForm4 visible=0\n"
            "Button17 visible=1\n");
}

TEST(ScriptQueries, CellDumpAndSizeForms) {
  auto r = Play(
      "size StockList\n"
      "size SeriesTable\n"
      "size StockPicker\n"
      "size StatsTable\n"
      "cell StockList 3 5\n"
      "cell CacheTable 0 0\n"
      "dump SeriesTable 0-2 4862-4863\n"
      "dump DateTable 1-1 7-7\n"
      "echo done\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "StockList 200 x 5000\n"
            "SeriesTable 42 x 4865\n"
            "StockPicker 7 x 21\n"
            "StatsTable 15 x 2000\n"
            "StockList[3,5]=\n"
            "CacheTable[0,0]=\n"
            "4862\t\t\t\n"
            "4863\t\t\t\n"
            "7\t\n"
            "done\n");
}

TEST(ScriptQueries, EchoResolvesEscapesAndSkipsCommentsAndBlankLines) {
  auto r = Play("# a comment\n\necho a\\tb\\sc\\\\\r\n#echo hidden\necho 日本語 テキスト\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "a\tb c\\\n日本語 テキスト\n");
}

TEST(ScriptQueries, ChartLineWithoutPoints) {
  auto r = Play("chart owarine\nchart jiku\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "owarine 0\njiku 0\n");
}

TEST(ScriptQueries, FiguresAndMarkerLinesBeforeAnyBacktest) {
  // The marker lines are found by name like the fixed lines, for the query
  // and for a press on the chart, which picks nothing from them.
  auto r = Play("figures\nchart buys\nchart sells\nchartdown buys:0 sells:0\ntext Edit2\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "figures trades=0 wins=- equity=- maxdd=- pf=- streak=- exposure=- hold=-\n"
            "buys 0\n"
            "sells 0\n"
            "Edit2=\n");
  r = Play("figures now\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("line 1"), std::string::npos) << r.err;
}

TEST(ScriptRefusal, UnknownLinesStopWithStatusTwoAndTheLineNumber) {
  struct Case {
    const char* bad;
    const char* word;  // named in the message
  } cases[] = {
      {"bogus Edit1", "bogus"},
      {"click Button9999", "Button9999"},
      {"text NoSuchControl", "NoSuchControl"},
      {"cell NoTable 0 0", "NoTable"},
      {"size StringGrid5", "StringGrid5"},  // tables are named by table name
      {"dump StockList 0-1", "dump"},
      {"cell StockList x 0", "cell"},
      {"key Edit1 enter", "key"},
      {"chart nosuchline", "nosuchline"},
      {"mouseup StringGrid1 0 0", "mouseup"},
      {"chartdown owarine", "owarine"},
      {"clicks Button9", "unknown command clicks"},
      {"click Edit1 Edit2", ": click needs one control"},
      {"dblclick Edit1 Edit2", ": dblclick needs one control"},
      {"mode fast", "mode needs"},
      {"undo now", "undo takes"},
      {"signals both", "signals needs"},
      {"bars 1001 year", "bars CODE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bad);
    // Line 4: two skipped lines count too.
    auto r = Play(std::string("echo before\n\n# note\n") + c.bad + "\necho after\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "before\n");  // nothing after the bad line runs
    EXPECT_NE(r.err.find("line 4"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.word), std::string::npos) << r.err;
  }
}

TEST(ScriptRefusal, SystemErrorsAreNormalOutput) {
  // A start whose stock list is gone (the calendar is still there) ends in
  // the file error; the script goes on and exits with 0.
  testing::DataFolder folder;
  folder.writeLines("tavrine/hizuke.csv", {"日付,新日付", "2003/12/26"});
  auto r = Play("start\necho next\ntext Button17\n");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string path = folder.path("デ-タ一覧.csv").string();
  EXPECT_EQ(r.out,
            "progress: データ読込中...\n"
            "progress: データ読込中...\n"
            "error: ファイル \"" +
                path +
                "\" を開けません。\n"
                "next\n"
                "Button17=銘柄ボタン\n");
}

}  // namespace
}  // namespace tavrine
