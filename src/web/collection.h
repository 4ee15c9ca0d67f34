// Quick collection of one stock's history from the quote site, with its cache.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "web/http_client.h"

namespace tavrine {

class Workspace;

class Collection {
 public:
  explicit Collection(Workspace& ws) : ws_(ws), http_(ws) {}

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
  // True when the scratch column holds the series of the last successful run
  // and it has not been stored by the stock-list update yet.
  bool scratchReady() const { return scratchReady_; }
  void setScratchReady(bool ready) { scratchReady_ = ready; }

  HttpClient& http() { return http_; }

 private:
  // WebRows rows as received from the page (EUC-JP bytes). The cells of
  // WebRows get the same texts converted to UTF-8; the cuts work on these.
  std::vector<std::string>& rawRow(int r);
  void publishRow(int r);
  void fetchPages(const std::string& code);

  Workspace& ws_;
  HttpClient http_;
  std::vector<std::vector<std::string>> raw_;
  int rawRowsUsed_ = 0;  // rows 1..rawRowsUsed_ were filled by the last split
  bool running_ = false;
  bool scratchReady_ = false;
};

}  // namespace tavrine
