// Quick collection of one stock's history from the quote site, with its cache.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/state.h"
#include "web/http_client.h"

namespace tavrine {

class Chains;
class Overlays;
class ChartView;
class Backtest;

class Collection {
 public:
  Collection(State& ws, Chains& chains, Overlays& overlays, ChartView& chartView,
             Backtest& backtest)
      : ws_(ws),
        chains_(chains),
        overlays_(overlays),
        chartView_(chartView),
        backtest_(backtest),
        http_(ws.platform, [&ws](const std::string& t) { ws.setStatus(t); }) {}

  // '実行' (Button89; Enter in Edit18, stand-alone Edit1/'銘柄収集', tally grid): Edit18's history
  // into StockList column 199 from the cache or the site, then shown (Button94Click); arms it for
  // Button104.
  void Button89Click();
  // '閉じる' (Button90) on the collection panel: hides Panel4, Panel14 and StringGrid7.
  void Button90Click();
  // Enter in the collection code box Edit18: runs Button89Click.
  void Edit18KeyPress(int key);
  // Double-click on Edit18: empties it.
  void Edit18DblClick();
  // Hidden; by Button89Click: tavrine/zenncode.txt into WebRows column 0, and the heading of
  // Edit18's code (the bare code when not listed) into StockList[199,0].
  void Button97Click();
  // Hidden; by Button89Click: CacheTable column holding Edit18's code into ctl::CacheColumnFound;
  // when none, ctl::CacheSlot moves on (after 20 it wraps with a message).
  void Button116Click();
  // Hidden; per page, by Button89Click: the saved page tavrine/rireki.txt split into WebRows rows
  // from row 1; rows a longer earlier page left are emptied.
  void Button91Click();
  // Hidden; per page: the date and value cut from WebRows rows 1..50 into its columns 0 and 1;
  // column headings in row 0.
  void Button92Click();
  // Hidden; per page: WebRows column 1 rows 1..50 into StockList column 199 at the page's place
  // (ctl::LastPage) and into SeriesTable column 1 rows 1..50; the rows' days are kept for
  // placing the whole series by date once every page is in.
  void Button93Click();
  // Hidden; per page: thousands commas removed from the values in StockList column 199.
  void Button95Click();
  // Hidden; per page: progress labels from the page's first 10 dates into SeriesTable column 0.
  void Button96Click();
  // Hidden; the show step (Button89Click, candidate views): column 199 made the current stock
  // (ctl::StockColumn, Heading, StockFound, WindowStart "0", Edit1/Edit2), selection chain,
  // trend-line zeros, redraw, S1 run.
  void Button94Click();

  // True while a run fetches pages (the window stays live meanwhile).
  bool running() const { return running_; }

  // The series of the last successful run, as the stock-list update stores
  // it: the code it was collected for and the scratch column's rows 0 .. R
  // (R the last data row of its extraction). Kept apart from the scratch
  // column, which other views reuse, until a save of the list takes it.
  struct Collected {
    std::string code;
    int lastRow = 0;                // R; the update copies rows 0 .. R (none when R < 0)
    std::vector<std::string> rows;  // rows 0 .. max(R, 0); rows[0] is the heading
    const std::string& heading() const { return rows.front(); }
  };
  // nullptr when nothing is armed: no run succeeded since the last start of
  // a run, or its series was stored.
  const Collected* collected() const { return armed_ ? &*armed_ : nullptr; }
  bool scratchReady() const { return armed_.has_value(); }
  // true: arms what the scratch column holds now, under the code in Edit18
  // (rows 0 .. SeriesTable[1,4862]); false: nothing is armed any more.
  void setScratchReady(bool ready);

  HttpClient& http() { return http_; }

 private:
  // WebRows rows as received from the page (EUC-JP bytes). The cells of
  // WebRows get the same texts converted to UTF-8; the cuts work on these.
  std::vector<std::string>& rawRow(int r);
  void publishRow(int r);
  void fetchPages(const std::string& code);
  // Moves each fetched value of the scratch column to the calendar row of its
  // own day (DateTable column 0): a site day the calendar lacks is left out,
  // a calendar day the site lacks stays blank.
  void placeByDate();

  State& ws_;
  Chains& chains_;
  Overlays& overlays_;
  ChartView& chartView_;
  Backtest& backtest_;
  HttpClient http_;
  std::vector<std::vector<std::string>> raw_;
  int rawRowsUsed_ = 0;        // rows 1..rawRowsUsed_ were filled by the last split
  std::vector<int> pageDays_;  // day of WebRows rows 1..50 of the page, -1 for none
  std::vector<int> rowDays_;   // day of each scratch row as fetched, -1 for none
  bool running_ = false;
  std::optional<Collected> armed_;
};

}  // namespace tavrine
