// The client of the J-Quants API (version 2), the exchange's data service:
// the trading calendar, the daily bars of every listed stock by day or of
// one stock over a period, and the master of listed stocks. Every request
// carries the key in the x-api-key header and nowhere else; no message,
// status or exception text ever holds it. Requests go over HTTPS with the
// server's certificate checked against the system's certificates; plain
// HTTP only to a loopback host (a stand-in of the service). Requests are
// spaced to the plan's limit (never to a loopback host); a 429 answer is
// waited out (its Retry-After, else two minutes: the service sends none) a
// few times at most; a 5xx answer or a dropped connection is asked again
// after a growing pause. Answers come gzip-compressed. The plan's window of
// dates, which the service names in a 400 answer, is learned and every
// question kept inside it.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/platform.h"

namespace tavrine {

inline constexpr const char* kJQuantsHost = "api.jquants.com";

// Where the client goes and with what key. The key and the plan come from
// TAVRINE_JQUANTS_KEY / TAVRINE_JQUANTS_PLAN when set, else from tavrine.ini
// [update] key= / plan=; the host from TAVRINE_JQUANTS_HOST ("127.0.0.1:PORT"
// or "https://host[:port]"), else api.jquants.com.
struct JQuantsSettings {
  std::string key;
  std::string plan = "free";  // free, light, standard, premium
  std::string host = kJQuantsHost;
};
JQuantsSettings LoadJQuantsSettings();

// Writes the key and the plan to tavrine.ini [update], the file kept
// readable by its owner only (0600). Throws FileError; std::invalid_argument
// for a key that is no header value or an unknown plan (the message never
// holds the key).
void SaveJQuantsSettings(const std::string& key, const std::string& plan);

// Requests a minute the plan allows (free 5, light 60, standard 120,
// premium 500); 0 for an unknown plan.
int PlanRequestsPerMinute(const std::string& plan);
// True for 127.x.x.x, ::1 and localhost, with or without a port or scheme.
bool IsLoopbackHost(const std::string& host);

// A request that failed, or an answer that is not of the documented form.
// The message is Japanese and never holds the key.
struct JQuantsError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// The wait hook said stop: the run was cancelled.
struct JQuantsCancelled {};

// The free plan's data ends this many days before today (12 weeks).
inline constexpr int kFreePlanDelayDays = 84;

// Today's date in Japan (UTC+9), where the exchange's days are counted;
// TAVRINE_TODAY when set.
int JapanToday();

// The dates the plan covers, as the service names them in its 400 answer
// ("Your subscription covers the following dates: 2024-03-21 ~ 2026-03-21."
// or "2016-09-21 ~ ." with an open end).
struct PlanWindow {
  bool known = false;
  int from = 0, to = 0;
  bool openEnd = false;
};

// "無料プランのデータは 2026/03/21 までです（12週間遅れ）".
std::string FreePlanNote(int end);

// One record of the daily bars. A price or volume is empty for null (no
// trade that day).
struct JQuantsBar {
  int day = 0;           // DaysFromCivil
  std::string code;      // as delivered: five characters ("72030", "130A0")
  std::string adjClose;  // decimal text, empty for null (no trade)
  double adjFactor = 1;
  // As traded (O, H, L, C, Vo, Va) and adjusted (AdjO, AdjH, AdjL, AdjVo).
  std::optional<double> open, high, low, close, volume, turnover;
  std::optional<double> adjOpen, adjHigh, adjLow, adjVolume;
  bool stopHigh = false, stopLow = false;  // UL, LL: the day ended at its limit
  std::optional<double> exRT;              // ExRT, where the service gives it
};

// The records of one answer page of the daily bars (the JSON text), as the
// client reads them. Throws JQuantsError for an answer not of that form.
std::vector<JQuantsBar> ParseBarsPage(const std::string& body);

// One stock of the service's master, under the list's four-character code.
struct MasterStock {
  std::string code;
  std::string name;
  std::string market;  // "プライム", "スタンダード", ...
};

class JQuantsClient {
 public:
  struct Options {
    // Certificates to trust instead of the system's (tests).
    std::string caFile;
    // Waits the time given; false stops the run (JQuantsCancelled). Empty:
    // the platform's events are pumped while the time passes.
    std::function<bool(std::chrono::milliseconds)> wait;
    int maxRateLimited = 3;                   // 429 answers waited out a run
    std::chrono::seconds maxRetryAfter{300};  // longest Retry-After honoured
    std::chrono::seconds defaultRetryAfter{
        120};  // when the answer names none (the service never does)
    // 5xx answers and dropped connections asked again per request, after
    // retryPause, then twice that, and so on.
    int retries = 3;
    std::chrono::seconds retryPause{2};
    // Seconds a read may wait: a whole market's day takes about 8 s before
    // its first byte.
    int readTimeout = 30;
    // Asked while an answer is awaited; true stops the run (JQuantsCancelled).
    std::function<bool()> stop;
    // The whole run, from the client's making: past it the run fails.
    std::chrono::milliseconds runLimit{std::chrono::hours(2)};
    // Bytes of one page's answer, and of the fields kept from all the pages
    // of one question; past either the question fails.
    // A page is about 5 MB at most; the cap holds for the inflated body too.
    std::size_t maxPageBytes = 16u << 20;
    std::size_t maxKeptBytes = 256u << 20;
  };

  JQuantsClient(Platform& platform, JQuantsSettings settings, Options options);

  // Trading days (holiday division 1 or 2) from .. to, oldest first.
  std::vector<int> TradingDays(int from, int to);
  // Every stock's bars of one day, all pages; empty when the day has none yet.
  std::vector<JQuantsBar> BarsOfDay(int day);
  // One stock's bars over a period, all pages, oldest first as delivered.
  std::vector<JQuantsBar> BarsOfStock(const std::string& code, int from, int to);
  // The master: name (CoName) by four-character code, for stocks whose
  // five-character code ends in 0.
  std::map<std::string, std::string> Names();
  // The master's stocks with a four-character code, in code order: code,
  // name (CoName, may be empty) and market (MktNm, empty when not given).
  std::vector<MasterStock> MasterStocks();

  int requests() const { return requests_; }
  // The plan's window as learned from the service so far.
  const PlanWindow& window() const { return window_; }
  // The newest day worth asking for up to `today`: the window's end once
  // known, else on the free plan today less its delay.
  int LastDay(int today) const;
  bool FreePlan() const;

 private:
  // GET path with query (the pagination key added when given); the parsed
  // JSON text of a 200 answer. Spacing, 429, statuses and the form checks.
  std::string Get(const std::string& path, const std::string& query);
  bool Wait(std::chrono::milliseconds ms);
  // Throws the run's limit as a JQuantsError once it is past, or would be
  // after `ahead` more.
  void CheckRunLimit(std::chrono::milliseconds ahead = {}) const;
  std::string Scrub(std::string text) const;
  // Runs `ask` over from .. to kept inside the plan's window; a 400 naming
  // the window is learned and the question asked again once inside it.
  // Nothing is asked when the period lies outside the window.
  void InWindow(int from, int to, const std::function<void(int, int)>& ask);

  Platform& platform_;
  JQuantsSettings settings_;
  Options options_;
  std::string base_;  // scheme://host[:port]
  bool loopback_ = false;
  int requests_ = 0;
  int rateLimited_ = 0;
  PlanWindow window_;
  std::chrono::steady_clock::time_point last_{};
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The list's four-character code of a delivered code: "72030" -> "7203",
// "130A0" -> "130A"; empty for codes of other issues (preferred shares).
std::string ListCode(const std::string& delivered);

// The key as messages may show it: never its text.
inline constexpr const char* kHiddenKey = "********";

}  // namespace tavrine
