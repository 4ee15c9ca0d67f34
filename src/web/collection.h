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
  Collection(State& ws, Chains& chains, Overlays& overlays, ChartView& chartView, Backtest& backtest)
      : ws_(ws),
        chains_(chains),
        overlays_(overlays),
        chartView_(chartView),
        backtest_(backtest),
        http_(ws.platform, [&ws](const std::string& t) { ws.setStatus(t); }) {}

  void Button89Click();
  void Button90Click();
  void Edit18KeyPress(int key);
  void Edit18DblClick();
  void Button97Click();
  void Button116Click();
  void Button91Click();
  void Button92Click();
  void Button93Click();
  void Button95Click();
  void Button96Click();
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

  State& ws_;
  Chains& chains_;
  Overlays& overlays_;
  ChartView& chartView_;
  Backtest& backtest_;
  HttpClient http_;
  std::vector<std::vector<std::string>> raw_;
  int rawRowsUsed_ = 0;  // rows 1..rawRowsUsed_ were filled by the last split
  bool running_ = false;
  std::optional<Collected> armed_;
};

}  // namespace tavrine
