// The collection run: page split and cell steps on pages written by hand, the
// all-codes lookup, the cache ring, and whole runs against the loopback site.
#include <gtest/gtest.h>

#include <algorithm>

#include "store/codec.h"
#include "store/paths.h"
#include "web/quote_page.h"
#include "web_support.h"

namespace tavrine {
namespace {

using namespace webtest;

const std::string kMarker = "align=right bgcolor=\"#ffffff\"><td><small>";

std::string PageRow(const std::string& date, const std::string& value) {
  return "<tr " + kMarker + date + "</small></td><td><small>1</small></td><td><small>" + value +
         "</small></td></tr>";
}

class CollectionSteps : public ::testing::Test {
 protected:
  DataFolder folder;
  RecordingPlatform platform;
  Workspace ws{platform};

  void writeRireki(const std::string& bytes) {
    WriteFileBytes(folder.path("tavrine/rireki.txt"), bytes);
  }
};

TEST_F(CollectionSteps, ShorterPageLeavesNoRowsOfTheLongerOne) {
  std::string longPage;
  for (int i = 0; i < 50; ++i)
    longPage += PageRow(
                    "2003\xC7\xAF"
                    "12\xB7\xEE"
                    "1\xC6\xFC",
                    IntToStr(100 + i)) +
                "\n";
  longPage += "</table>\n";
  writeRireki(longPage);
  ws.SeriesTable.set(14, 4864, "0");
  ws.collection.Button91Click();
  ws.collection.Button92Click();
  ws.collection.Button93Click();
  EXPECT_EQ(ws.StockList.cell(199, 50), "149");
  EXPECT_EQ(ws.WebRows.cell(0, 51), "</table>");

  // The next page holds two rows and nothing after them.
  writeRireki(PageRow("2003\xC7\xAF"
                      "9\xB7\xEE"
                      "1\xC6\xFC",
                      "7") +
              "\r\n" +
              PageRow("2003\xC7\xAF"
                      "8\xB7\xEE"
                      "29\xC6\xFC",
                      "8"));
  ws.SeriesTable.set(14, 4864, "1");
  ws.collection.Button91Click();
  for (int r = 3; r <= 51; ++r) {
    EXPECT_EQ(ws.WebRows.cell(0, r), "") << r;
    EXPECT_EQ(ws.WebRows.cell(1, r), "") << r;
  }
  ws.collection.Button92Click();
  ws.collection.Button93Click();
  EXPECT_EQ(ws.StockList.cell(199, 51), "7");
  EXPECT_EQ(ws.StockList.cell(199, 52), "8");
  for (int r = 53; r <= 100; ++r) EXPECT_EQ(ws.StockList.cell(199, r), "") << r;
  EXPECT_EQ(ws.SeriesTable.cell(1, 3), "");
  ws.collection.Button96Click();
  EXPECT_EQ(ws.SeriesTable.cell(0, 1), "2003・9・");
  EXPECT_EQ(ws.SeriesTable.cell(0, 2), "2003・8・");
  EXPECT_EQ(ws.SeriesTable.cell(0, 3), "・・");
  // The cells hold the text converted from the page: the date head is the
  // first 9 bytes, so its last byte is half a character.
  EXPECT_EQ(ws.WebRows.cell(1, 1), "7");
  EXPECT_EQ(ws.WebRows.cell(7, 0), "調整後終値");
}

TEST_F(CollectionSteps, SplitPutsTheTextBeforeTheMarkerInColumnZero) {
  writeRireki(kMarker + "A\nhead<tr " + kMarker + "B" + kMarker + "C\n\n");
  ws.collection.Button91Click();
  EXPECT_EQ(ws.WebRows.colCount(), 50);
  ExpectCells(ws.WebRows, {{0, 1, " "},  // empty piece kept as one space
                           {1, 1, "A"},
                           {0, 2, "head<tr "},
                           {1, 2, "B"},
                           {2, 2, "C"},
                           {0, 3, ""}});
}

TEST_F(CollectionSteps, CommaRemovalCoversThePageRangeAndKeepsAFifthComma) {
  ws.SeriesTable.set(14, 4864, "0");
  ws.StockList.set(199, 1, "1,2,3,4,5,6");
  ws.StockList.set(199, 2500, "9,999");  // (0 + 50) x 50
  ws.StockList.set(199, 2501, "8,888");
  ws.collection.Button95Click();
  EXPECT_EQ(ws.StockList.cell(199, 1), "12345,6");
  EXPECT_EQ(ws.StockList.cell(199, 2500), "9999");
  EXPECT_EQ(ws.StockList.cell(199, 2501), "8,888");
}

TEST_F(CollectionSteps, AllCodesLookupTakesTheLastMatchingLine) {
  WriteText(
      folder.path("tavrine/zenncode.txt").string(),
      "コード\t銘柄名\r\n7203\tトヨタ自動車\t東証1部\r\n7203\t豊田自動織機\r\n8058\t三菱商事\r\n");
  // The scratch heading after a look-up of the code.
  auto lookUp = [&](const std::string& code) {
    ws.form.setText("Edit18", code);
    ws.collection.Button97Click();
    return ws.StockList.cell(199, 0);
  };
  EXPECT_EQ(lookUp("7203"), "7203,豊田自動織機");
  EXPECT_EQ(ws.WebRows.cell(0, 1), "7203,トヨタ自動車,東証1部");
  EXPECT_EQ(lookUp("1301"), "1301");
  EXPECT_EQ(lookUp("コー"), "コー");  // line 0 is a heading and never matches
}

TEST_F(CollectionSteps, CacheRingWrapsAfterTwentyCodes) {
  StartUpCells(ws);
  // Codes 1000..1019 fill columns 1..20 as finished runs would.
  for (int i = 0; i < 20; ++i) {
    ws.form.setText("Edit18", IntToStr(1000 + i));
    ws.collection.Button116Click();
    EXPECT_EQ(ws.CacheTable.cell(0, 0), "0");
    const int slot = StrToInt(ws.SeriesTable.cell(17, 4863)) + 1;
    EXPECT_EQ(slot, i + 1);
    ws.CacheTable.set(slot, 0, IntToStr(1000 + i) + " name");
  }
  EXPECT_TRUE(platform.messages.empty());
  // A cached code is found in its column.
  ws.form.setText("Edit18", "1007");
  ws.collection.Button116Click();
  EXPECT_EQ(ws.CacheTable.cell(0, 0), "8");
  // The 21st code: the ring message, and column 1 is next.
  ws.form.setText("Edit18", "2000");
  ws.collection.Button116Click();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0],
            "簡易収集の一時保存銘柄数は20銘柄までです。\r先データに上書きします。");
  EXPECT_EQ(ws.CacheTable.cell(0, 0), "0");
  EXPECT_EQ(ws.SeriesTable.cell(17, 4863), "0");
}

TEST_F(CollectionSteps, RefusedCodesFetchNothing) {
  WriteText(folder.path("tavrine/zenncode.txt").string(), "head\r\n7203\tトヨタ\r\n");
  StartUpCells(ws);
  for (const char* code : {"0101", "01012", "0200"}) {
    ws.form.setText("Edit18", code);
    ws.collection.Button89Click();
  }
  EXPECT_TRUE(platform.messages.empty());
  // A full-width code is the code itself (the box holds it half-width), so
  // it is not among the refused.
  for (const char* code : {"720", "72030", ""}) {
    ws.form.setText("Edit18", code);
    ws.collection.Button89Click();
  }
  ASSERT_EQ(platform.messages.size(), 3u);
  for (const auto& m : platform.messages) EXPECT_EQ(m, "銘柄コードを入れ直して下さい。");
  EXPECT_TRUE(platform.statuses.empty());  // no connection was tried
  EXPECT_FALSE(ws.form.visible("Button104"));
}

// Runs against the loopback site.
class CollectionRun : public ::testing::Test {
 protected:
  DataFolder folder;
  RecordingPlatform platform;
  Workspace ws{platform};
  std::vector<int> days;

  void SetUp() override {
    days = ReadyToCollect(folder, ws);
    // The calendar on disk too.
    std::vector<std::string> lines = {"日付"};
    for (int d : days) lines.push_back(DateToStr(d));
    WriteLines(folder.path("tavrine/hizuke.csv").string(), lines, true);
  }

  void collect(const std::string& code) { testing::TypeAndEnter(ws, "Edit18", code); }
  // The site's history of 7203: the newest `rows` days of the calendar.
  void market(int rows) {
    WriteMarket(folder, "7203", std::vector<int>(days.begin(), days.begin() + rows));
  }
};

TEST_F(CollectionRun, HundredTwentyRowsMakeThreePagesAndOneEmpty) {
  market(120);
  LiveSite site(folder);
  collect("7203");
  EXPECT_EQ(site.count(), 4);  // pages 0..3, the rest skipped
  EXPECT_EQ(ws.SeriesTable.cell(14, 4864), "3");
  EXPECT_EQ(ws.StockList.cell(199, 0).substr(0, 4), "7203");
  for (int r = 1; r <= 120; ++r) {
    std::string expect = AdjClose(r - 1);
    EXPECT_EQ(ws.StockList.cell(199, r), expect) << r;
  }
  EXPECT_EQ(ws.StockList.cell(199, 121), "");
  EXPECT_EQ(ws.form.text("Edit1").substr(0, 4), "7203");
  EXPECT_EQ(ws.CacheTable.cell(1, 0), ws.StockList.cell(199, 0));
  EXPECT_EQ(ws.CacheTable.cell(1, 120), AdjClose(119));
  // Progress up to the last page fetched: 3 x 100 / 76 = 3.9 -> 3.
  ASSERT_FALSE(platform.progresses.empty());
  EXPECT_EQ(platform.progresses.front(), "WEBよりデータ収集中(0％)...");
  EXPECT_EQ(platform.progresses.back(), "WEBよりデータ収集中(3％)...");
  // Every page: connected, packets, disconnected.
  ASSERT_GE(platform.statuses.size(), 4u);
  EXPECT_EQ(platform.statuses.front(), "接続しました");
  EXPECT_EQ(platform.statuses.back(), "切断しました");
  EXPECT_EQ(std::count(platform.statuses.begin(), platform.statuses.end(), "切断しました"), 4);
  EXPECT_GE(platform.pumps, 4);  // the window's events run during every page
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  // rireki.txt holds the last page as received: no rows.
  EXPECT_EQ(quote::Pos(kMarker, ReadFileBytes(folder.path("tavrine/rireki.txt"))), 0u);
}

// The list's calendar ends five trading days before the site's newest day;
// the site lacks one calendar day and has a Saturday the calendar lacks.
TEST_F(CollectionRun, ListBehindTheSitePlacesEveryCloseOnItsOwnDay) {
  std::vector<int> site;
  bool saturdayAdded = false;
  for (int i = 0; i < 130; ++i) {
    if (i == 7) continue;
    if (!saturdayAdded && i > 20 && days[i] + 3 == days[i - 1]) {
      site.push_back(days[i] + 1);
      saturdayAdded = true;
    }
    site.push_back(days[static_cast<std::size_t>(i)]);
  }
  ASSERT_TRUE(saturdayAdded);
  WriteMarket(folder, "7203", site);
  quotesite::Options o;
  o.aheadDays = 5;
  LiveSite live(folder, o);
  collect("7203");
  EXPECT_TRUE(platform.messages.empty()) << platform.messages.front();
  auto expected = [&](int r) {
    const auto it = std::find(site.begin(), site.end(), days[static_cast<std::size_t>(r - 1)]);
    return it == site.end() ? std::string() : AdjClose(static_cast<int>(it - site.begin()));
  };
  for (int r = 1; r <= 130; ++r) EXPECT_EQ(ws.StockList.cell(199, r), expected(r)) << r;
  EXPECT_EQ(ws.StockList.cell(199, 8), "");  // the day the site lacks
  EXPECT_EQ(ws.StockList.cell(199, 131), "");
  EXPECT_EQ(ws.CacheTable.cell(1, 9), expected(9));
  // From the cache it comes back placed the same way.
  ws.StockList.set(199, 9, "changed");
  collect("7203");
  EXPECT_EQ(ws.StockList.cell(199, 9), expected(9));
}

TEST(QuotePage, RowDayReadsOnlyAWholeDateCell) {
  int day = 0;
  ASSERT_TRUE(
      quote::RowDay("2003\xC7\xAF"
                    "12\xB7\xEE"
                    "26\xC6\xFC</small></td>",
                    day));
  EXPECT_EQ(DateToStr(day), "2003/12/26");
  EXPECT_FALSE(
      quote::RowDay("2003\xC7\xAF"
                    "12\xB7\xEE</small>",
                    day));
  EXPECT_FALSE(
      quote::RowDay("2003\xC7\xAF"
                    "2\xB7\xEE"
                    "30\xC6\xFC",
                    day));
  EXPECT_FALSE(quote::RowDay("2003/12/26", day));
  EXPECT_FALSE(quote::RowDay("", day));
}

TEST_F(CollectionRun, CachedCodeIsShownWithoutRequests) {
  market(60);
  LiveSite site(folder);
  collect("7203");
  const long first = site.count();
  EXPECT_EQ(first, 3);
  ws.StockList.set(199, 5, "changed");
  collect("7203");
  EXPECT_EQ(site.count(), first);
  EXPECT_EQ(ws.StockList.cell(199, 5), AdjClose(4));
  EXPECT_EQ(ws.StockList.cell(199, 60), AdjClose(59));
}

TEST_F(CollectionRun, DroppedConnectionEndsTheRunUncached) {
  market(400);
  WriteFileBytes(folder.path("デ-タ一覧.csv"), "日付,1301 極洋\r\n2003/12/26,250\r\n");
  const std::string listBefore = ReadFileBytes(folder.path("デ-タ一覧.csv"));
  quotesite::Options o;
  o.closeAtPage = 5;
  {
    LiveSite site(folder, o);
    collect("7203");
    EXPECT_EQ(site.count(), 6);
  }
  ASSERT_FALSE(platform.statuses.empty());
  EXPECT_EQ(platform.statuses.back(), "接続に失敗しました");
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], "株価サイトからの受信が途中で切れました。");
  EXPECT_EQ(ReadFileBytes(folder.path("デ-タ一覧.csv")), listBefore);
  EXPECT_FALSE(ws.form.visible("Button104"));
  EXPECT_EQ(ws.CacheTable.cell(1, 0), "");
  EXPECT_EQ(ws.SeriesTable.cell(17, 4863), "0");
  // The pages before the failure stay in the scratch column.
  EXPECT_EQ(ws.StockList.cell(199, 250), AdjClose(249));
  // Asked again, the code is fetched anew from a site that now answers.
  LiveSite again(folder);
  collect("7203");
  EXPECT_EQ(again.count(), 9);  // pages 0..8, 400 rows
  EXPECT_EQ(ws.StockList.cell(199, 400), AdjClose(399));
  EXPECT_EQ(ws.CacheTable.cell(1, 400), AdjClose(399));
}

TEST_F(CollectionRun, MissingPageInsideTheHistoryIsInterrupted) {
  market(400);
  quotesite::Options o;
  o.missingRowsPage = 2;
  LiveSite site(folder, o);
  collect("7203");
  ASSERT_FALSE(platform.messages.empty());
  EXPECT_EQ(platform.messages.back(), "サイトへの接続が中断されました。再度、実行して下さい。");
  EXPECT_EQ(ws.StockList.cell(199, 0), "0");
  EXPECT_FALSE(ws.form.visible("Button104"));
  EXPECT_EQ(ws.CacheTable.cell(1, 0), "");
  // Not cached: the next request fetches again.
  const long before = site.count();
  collect("7203");
  EXPECT_GT(site.count(), before);
}

TEST_F(CollectionRun, TooFewRowsKeepTheButtonAsItWas) {
  market(24);
  LiveSite site(folder);
  collect("7203");
  ASSERT_FALSE(platform.messages.empty());
  EXPECT_EQ(platform.messages.back(), "収集データが不足しています。\r銘柄コードも確認して下さい。");
  EXPECT_FALSE(ws.form.visible("Button104"));
  EXPECT_EQ(ws.StockList.cell(199, 24), AdjClose(23));
}

TEST_F(CollectionRun, GarbagePageDoesNotBreakTheRun) {
  market(300);
  quotesite::Options o;
  o.garbagePage = 1;
  LiveSite site(folder, o);
  // Page 1 is junk: many of its lines carry no row, so rows among 51..100
  // stay empty while the later pages go on, and the run is interrupted.
  collect("7203");
  EXPECT_EQ(ws.StockList.cell(199, 50), AdjClose(49));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0], "サイトへの接続が中断されました。再度、実行して下さい。");
  EXPECT_TRUE(platform.errors.empty());
  EXPECT_FALSE(ws.form.visible("Button104"));
  EXPECT_EQ(ws.CacheTable.cell(1, 0), "");
}

TEST_F(CollectionRun, DeadPortIsAConnectionFailure) {
  int port = 0;
  {
    LiveSite site(folder);  // a port that was free a moment ago
    port = site.port();
  }
  const std::string host = "127.0.0.1:" + std::to_string(port);
  ::setenv("TAVRINE_QUOTE_HOST", host.c_str(), 1);
  collect("7203");
  ASSERT_EQ(platform.statuses.size(), 1u);
  EXPECT_EQ(platform.statuses[0], "接続に失敗しました");
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0].rfind("株価サイトに接続できませんでした。", 0), 0u);
  EXPECT_FALSE(ws.collection.running());
}

TEST_F(CollectionRun, RefusedCodeLeavesNothingToAdd) {
  market(120);
  LiveSite site(folder);
  collect("7203");
  ASSERT_TRUE(ws.collection.scratchReady());
  // Five characters whose first four are a listed stock: refused, but the
  // look-up has rewritten the scratch heading by then.
  collect("13010");
  EXPECT_EQ(platform.messages.back(), "銘柄コードを入れ直して下さい。");
  EXPECT_FALSE(ws.collection.scratchReady());
  ws.form.setText("Edit18", "1301");
  platform.messages.clear();
  ws.dispatch("Button104", Event{});
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0],
            "追加更新する収集データがありません。\r簡易収集を実行してから押して下さい。");
  EXPECT_EQ(ws.StockList.cell(1, 0), "1301 極洋");
  EXPECT_EQ(ws.StockList.cell(1, 1), "250");
  EXPECT_FALSE(std::filesystem::exists(folder.path("デ-タ一覧.csv")));
}

TEST_F(CollectionRun, ActionsDuringAPageWaitAreRefused) {
  market(120);
  WriteFileBytes(folder.path("pickrow/pickrow.csv"), "9999 x,1,2\r\n9432 y,500,501\r\n");
  LiveSite site(folder, [] {
    quotesite::Options o;
    o.delayMs = 30;
    return o;
  }());
  RecordingPlatform p;  // its event pump plays the user's actions while a page is awaited
  Workspace w{p};
  w.StockList = ws.StockList;
  w.DateTable = ws.DateTable;
  StartUpCells(w);
  w.StockPicker.set(1, 1, "1301 極洋");
  w.form.setText("Edit1", "1301");
  w.form.setText("Edit6", "999");
  const WorkTable seriesBefore = w.SeriesTable;
  p.duringWait = [&] {
    auto press = [&](const std::string& control, Event::Kind kind, int key = 0, int col = -1,
                     int row = -1) {
      Event ev;
      ev.kind = kind;
      ev.key = key;
      ev.col = col;
      ev.row = row;
      EXPECT_TRUE(w.dispatch(control, ev)) << control;
    };
    press("Button110", Event::Click);  // candidate list
    press("Button87", Event::Click);   // portfolio
    press("StringGrid7", Event::MouseUp, 0, 1, 1);
    press("StringGrid5", Event::MouseUp, 0, 1, 1);  // stock picker
    press("Edit1", Event::KeyPress, 13);            // selection by code
    press("Button34", Event::Click);                // manual entry
    press("Edit6", Event::KeyPress, 13);
    press("Button61", Event::Click);  // navigation
    press("Button104", Event::Click);
    press("Button89", Event::Click);  // a second run
    press("Button88", Event::Click);  // the help window may open
    // Mid-run: the series cells are the collection's scratch space.
    EXPECT_EQ(w.CandidateTable.cell(0, 1), "");
    EXPECT_EQ(w.StockList.cell(1, 1), "250");
  };
  testing::TypeAndEnter(w, "Edit18", "7203");
  EXPECT_TRUE(p.errors.empty()) << p.errors.front();
  EXPECT_EQ(std::count(p.statuses.begin(), p.statuses.end(),
                       "株価の受信中です。終わってから操作して下さい。"),
            10);
  EXPECT_TRUE(w.form.visible("TForm4"));
  // The run went on as if nothing had been pressed.
  EXPECT_EQ(site.count(), 4);
  EXPECT_EQ(w.StockList.cell(199, 120), AdjClose(119));
  EXPECT_EQ(w.CacheTable.cell(1, 120), AdjClose(119));
  EXPECT_TRUE(w.collection.scratchReady());
  EXPECT_EQ(w.CandidateTable.cell(0, 1), "");
  EXPECT_EQ(w.StockList.cell(1, 0), "1301 極洋");
  EXPECT_EQ(w.SeriesTable.cell(4, 4862), "199");
  EXPECT_FALSE(w.busy());
  // Afterwards the same actions work again.
  w.dispatch("Button87", Event{});
  EXPECT_TRUE(w.form.visible("StringGrid7"));
}

}  // namespace
}  // namespace tavrine
