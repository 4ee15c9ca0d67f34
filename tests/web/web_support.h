// Shared pieces of the web tests: the recording platform and the data folder,
// small market folders and the in-process quote site.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "../../tools/quote-server/quote_site.h"
#include "../support/cells.h"
#include "../support/data_folder.h"
#include "../support/events.h"
#include "../support/recording_platform.h"
#include "app/workspace.h"
#include "store/text.h"
#include "web/http_client.h"

namespace tavrine::webtest {

using testing::DataFolder;
using testing::ExpectCells;
using testing::ReadFileBytes;
using testing::RecordingPlatform;
using testing::StartUpCells;
using testing::WaitingPlatform;
using testing::WriteFileBytes;

// Weekdays back from a day, newest first (whole days of the engine's count).
inline std::vector<int> Weekdays(int newest, int count) {
  std::vector<int> days;
  for (int d = newest; static_cast<int>(days.size()) < count; --d) {
    // 1899-12-30 was a Saturday: (d + 6) % 7 gives 0 for Sunday .. 6 Saturday.
    const int wd = ((d % 7) + 7 + 6) % 7;
    if (wd != 0 && wd != 6) days.push_back(d);
  }
  return days;
}

// The adjusted close written for row i (0 = newest) of a test series: 1000
// + 7 i yen with a fraction on every third day, so values of 4 to 8 bytes
// with commas appear.
inline std::string AdjClose(int i) {
  std::string v = std::to_string(1000 + 7 * i);
  if (i % 3 == 1) v += ".5";
  return v;
}

// Writes market/CODE.csv for the given days, newest first.
inline void WriteMarket(const DataFolder& f, const std::string& code,
                        const std::vector<int>& days) {
  std::string text;
  for (std::size_t i = 0; i < days.size(); ++i) {
    const std::string c = AdjClose(static_cast<int>(i));
    text += DateToStr(days[i]) + "," + c + "," + c + "," + c + "," + c + ",123456789," + c + "\n";
  }
  WriteFileBytes(f.path("market/" + code + ".csv"), text);
}

// A workspace ready to collect 7203: the all-codes file names it, the
// calendar holds the 4000 weekdays back from 2003/12/26 (returned newest
// first), the stock list its date column and one stock over 300 of them, and
// the start-up cells are in place.
inline std::vector<int> ReadyToCollect(const DataFolder& f, Workspace& ws) {
  WriteText(f.path("tavrine/zenncode.txt").string(), "コード\t名称\r\n7203\tトヨタ自動車\r\n");
  const std::vector<int> days = Weekdays(DaysFromCivil(2003, 12, 26), 4000);
  ws.DateTable.setRowCount(static_cast<int>(days.size()) + 1);
  ws.DateTable.set(0, 0, "日付");
  for (std::size_t i = 0; i < days.size(); ++i)
    ws.DateTable.set(0, static_cast<int>(i) + 1, DateToStr(days[i]));
  ws.StockList.set(0, 0, "日付");
  ws.StockList.set(1, 0, "1301 極洋");
  for (int r = 1; r <= 300; ++r) {
    ws.StockList.set(0, r, DateToStr(days[static_cast<std::size_t>(r - 1)]));
    ws.StockList.set(1, r, "250");
  }
  ws.StockList.setRowCount(301);
  StartUpCells(ws);
  return days;
}

// The quote site serving the folder's market data on a free loopback port,
// with the workspace's quote host pointed at it.
class LiveSite {
 public:
  LiveSite(const DataFolder& f, quotesite::Options o = {}) {
    o.market = f.dir().string();
    site_ = std::make_unique<quotesite::Site>(o);
    port_ = site_->bind(0);
    site_->start();
    const std::string host = "127.0.0.1:" + std::to_string(port_);
    ::setenv("TAVRINE_QUOTE_HOST", host.c_str(), 1);
  }
  ~LiveSite() { site_->stop(); }
  long count() const { return site_->count(); }
  int port() const { return port_; }

 private:
  std::unique_ptr<quotesite::Site> site_;
  int port_ = -1;
};

// Other client bounds for the length of a test.
class ClientLimits {
 public:
  explicit ClientLimits(std::chrono::milliseconds deadline,
                        std::size_t maxBody = HttpClient::Limits{}.maxBody)
      : saved_(HttpClient::limits()) {
    HttpClient::setLimits({deadline, maxBody});
  }
  ~ClientLimits() { HttpClient::setLimits(saved_); }
  ClientLimits(const ClientLimits&) = delete;
  ClientLimits& operator=(const ClientLimits&) = delete;

 private:
  HttpClient::Limits saved_;
};

}  // namespace tavrine::webtest
