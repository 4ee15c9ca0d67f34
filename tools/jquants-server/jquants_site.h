// The stand-in of the J-Quants API (version 2): the daily bars, the master
// of listed stocks and the trading calendar, as JSON of the documented form,
// from a data folder's market/CODE.csv files (the days, closes and volumes)
// and tavrine/zenncode.txt (the names). Every request must carry the key in
// x-api-key. Faults on request: pages, 429 with or without Retry-After, a
// wrong key's 401 or 403, an HTML page with status 200, a body cut short or
// dripping, a split factor, a stock without a name, a delisted stock, a
// suspended stock's day (nulls), a holiday, days not delivered yet, a day
// of nulls for every stock, a stock missing from a delivered day, records
// sent twice (equal or not), padded answers, a huge or broken master, a body
// that never ends; and the ways of the real service, each noted where it is
// made with the reference it follows: the service's reference pages on
// response statuses (210, the 403 texts, 429 without Retry-After, 500),
// rate limits, paging (pages split near 5,000,000 bytes) and the daily
// bars (AdjFactor, ExRT), and what users of the official
// client (jquants-api-client) quote of its answers: the plan's window of
// dates in a 400, a slow first byte, 502/503/504 and dropped connections,
// gzip. Over plain HTTP on 127.0.0.1,
// or HTTPS with a certificate given. Header-only, so tests and benchmarks run it in-process.
#pragma once

#include <httplib.h>
#include <iconv.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tavrine::jquantssite {

// Days since 1970-01-01 of a civil date, and back.
inline int DayOf(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int>(doe) - 719468;
}

inline void CivilOf(int z, int& y, int& m, int& d) {
  z += 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int yy = static_cast<int>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yy + (m <= 2);
}

// "YYYY-MM-DD" of a day.
inline std::string IsoDate(int day) {
  int y, m, d;
  CivilOf(day, y, m, d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

// A day from "YYYY-MM-DD", "YYYYMMDD" or "YYYY/MM/DD"; -1 when it does not read.
inline int ParseDay(const std::string& s) {
  std::string digits;
  for (char c : s)
    if (c >= '0' && c <= '9')
      digits += c;
    else if (c != '-' && c != '/')
      return -1;
  if (digits.size() != 8) return -1;
  const int y = std::stoi(digits.substr(0, 4)), m = std::stoi(digits.substr(4, 2)),
            d = std::stoi(digits.substr(6, 2));
  if (m < 1 || m > 12 || d < 1 || d > 31) return -1;
  return DayOf(y, m, d);
}

inline bool Weekday(int day) {
  const int wd = ((day % 7) + 7 + 4) % 7;  // 1970-01-01 was a Thursday: 0 Sunday .. 6 Saturday
  return wd != 0 && wd != 6;
}

struct Split {
  std::string code;  // four characters
  int day = 0;       // the day it takes effect
  double factor = 1;
  std::string exrt;  // the record's ExRT on the day ("3": ex-rights of a rights issue)
};

struct Options {
  std::string data;  // the data folder (market/, tavrine/zenncode.txt) or its market folder
  std::string key = "test-key";  // the key every request must carry; empty: any
  int wrongKeyStatus = 403;      // the answer to a wrong or missing key (401 or 403)
  int pageSize = 0;              // records a page; 0: one page
  // Counting the requests of daily bars from 1:
  int rateLimitAt = -1;  // this one, and rateLimitTimes - 1 after it, answer 429
  int rateLimitTimes = 1;
  int retryAfter = 0;   // the 429's Retry-After seconds; -1: no header
  int htmlAt = -1;      // this one answers an HTML page with status 200
  int truncateAt = -1;  // this one sends half its declared body and closes
  int dripAt = -1;      // this one sends its body one byte every dripMs
  int dripMs = 1000;
  int newest = -1;  // days after this one are not delivered yet (empty data); -1: none
  std::vector<Split> splits;
  std::set<std::string> nameless;                  // the master gives these an empty name
  std::map<std::string, int> delisted;             // no bars after this day, not in the master
  std::set<int> holidays;                          // weekdays the exchange was closed: no bars
  std::map<std::string, std::set<int>> suspended;  // a record with nulls on these days
  std::set<int> nullDays;  // every stock's record of these days has nulls (a halted market)
  std::map<std::string, std::set<int>> missing;      // no record on these days, delivered
  std::map<std::string, std::set<int>> twice;        // the record is sent twice, alike
  std::map<std::string, std::set<int>> conflicting;  // sent again with ten times the close
  int padBytes = 0;               // each answer of daily bars carries an unused field this long
  int masterPadBytes = 0;         // the master's answer carries an unused field this long
  bool masterBroken = false;      // the master's answer is JSON cut short
  int endlessAt = -1;             // this request of daily bars sends a body that never ends
  std::string certFile, keyFile;  // HTTPS with this certificate and key

  // The plan's window of dates (stand-in days; -1: none). A question
  // reaching outside it is answered 400 naming the window, in the words
  // users of the official client quote: "Your subscription covers the
  // following dates: A ~ B. If you want more data, ..." on the free plan
  // (two years up to 12 weeks ago; the calendar too), "A ~ ." on a paid
  // plan, whose end is open (a day not delivered yet is an empty 200, see
  // newest).
  int planFrom = -1, planTo = -1;
  bool planOpenEnd = false;
  // Milliseconds before a whole market's day is answered (users measure
  // about 8 s before the first byte, 3 s for a day without records).
  int firstByteMs = 0, emptyFirstByteMs = 0;
  // Counting the requests of daily bars from 1, as the faults above:
  int serverErrorAt = -1;  // this one, and serverErrorTimes - 1 after it, answer serverErrorStatus
  int serverErrorTimes = 1;
  int serverErrorStatus = 503;
  int dropAt = -1;  // this one, and dropTimes - 1 after it, close the connection without a byte
  int dropTimes = 1;
  int truncateTimes = 1;  // truncateAt and this many - 1 after it are cut
  int noDataAt = -1;      // this one answers status 210 (no data)
  // Every answer 403 with one of the service's texts: "invalid" (a key
  // that is not one), "plan" (data outside the subscription), "inactive" (no
  // subscription), "bare" (no message at all); empty: none.
  std::string forbidden;
  // An answer of daily bars compressed when the request accepts gzip (the
  // other answers, fixed texts and the endless body, httplib compresses by
  // itself when asked, as the service does).
  bool gzip = false;
  // Records of a page cut at this many bytes of JSON (the paging page: cut
  // near 5,000,000 bytes, the count per page not fixed); 0: pageSize decides.
  std::size_t pageBytes = 0;
};

// One day of a stock from its market file.
struct Bar {
  int day = 0;
  double open = 0, high = 0, low = 0, close = 0, volume = 0, adjClose = 0;
};

inline std::string FromCp932(const std::string& in) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  std::string out(in.size() * 3 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char* dst = out.data();
  std::size_t room = out.size();
  while (left > 0)
    if (iconv(cd, &src, &left, &dst, &room) == static_cast<std::size_t>(-1)) {
      ++src, --left;  // a byte that does not convert is left out
    }
  out.resize(out.size() - room);
  iconv_close(cd);
  return out;
}

class Site {
 public:
  explicit Site(Options o) : opt_(std::move(o)) {
    load();
    if (!opt_.certFile.empty())
      svr_ = std::make_unique<httplib::SSLServer>(opt_.certFile.c_str(), opt_.keyFile.c_str());
    else
      svr_ = std::make_unique<httplib::Server>();
    routes();
  }
  ~Site() { stop(); }
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;

  // Binds to 127.0.0.1 (port 0: any free port); returns the port, -1 on failure.
  int bind(int port) {
    if (!svr_->is_valid()) return port_ = -1;
    port_ = port == 0 ? svr_->bind_to_any_port("127.0.0.1")
                      : (svr_->bind_to_port("127.0.0.1", port) ? port : -1);
    return port_;
  }
  bool listen() { return svr_->listen_after_bind(); }
  // Serves on a thread of its own; returns once requests are answered.
  void start() {
    thread_ = std::thread([this] { svr_->listen_after_bind(); });
    for (int i = 0; i < 5000 && !svr_->is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void stop() {
    stopping_ = true;
    svr_->stop();
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return port_; }
  long requests() const { return requests_.load(); }               // every request
  long barRequests() const { return bars_.load(); }                // requests of daily bars
  long gzipped() const { return gzipped_.load(); }                 // answers sent compressed
  long refusedByWindow() const { return windowRefusals_.load(); }  // 400s naming the window
  // The keys the requests carried were all the expected one.
  bool keysRight() const { return !wrongKeySeen_.load(); }
  // Trading days the data holds, oldest first.
  const std::vector<int>& tradingDays() const { return days_; }

 private:
  using Json = nlohmann::json;

  void load() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string market =
        fs::is_directory(opt_.data + "/market", ec) ? opt_.data + "/market" : opt_.data;
    std::set<int> days;
    for (const auto& e : fs::directory_iterator(market, ec)) {
      const std::string name = e.path().filename().string();
      if (name.size() != 8 || name.substr(4) != ".csv") continue;
      const std::string code = name.substr(0, 4);
      std::vector<Bar>& bars = bars_by_code_[code];
      std::ifstream in(e.path(), std::ios::binary);
      std::string line;
      while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string item;
        while (std::getline(ss, item, ',')) f.push_back(item);
        if (f.size() < 7) continue;
        Bar b;
        b.day = ParseDay(f[0]);
        if (b.day < 0) continue;
        try {
          b.open = std::stod(f[1]), b.high = std::stod(f[2]), b.low = std::stod(f[3]);
          b.close = std::stod(f[4]), b.volume = std::stod(f[5]), b.adjClose = std::stod(f[6]);
        } catch (...) {
          continue;
        }
        bars.push_back(b);
        days.insert(b.day);
      }
      std::sort(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.day < b.day; });
    }
    for (int d : opt_.holidays) days.erase(d);
    days_.assign(days.begin(), days.end());
    std::ifstream names(opt_.data + "/tavrine/zenncode.txt", std::ios::binary);
    std::string line;
    while (std::getline(names, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const auto tab = line.find('\t');
      if (tab != 4) continue;
      const auto tab2 = line.find('\t', tab + 1);
      names_[line.substr(0, 4)] = FromCp932(line.substr(tab + 1, tab2 - tab - 1));
    }
  }

  // The factor of a split on the stock's day, and what its adjusted prices
  // are multiplied by: every split after the day.
  double factorOn(const std::string& code, int day) const {
    double f = 1;
    for (const Split& s : opt_.splits)
      if (s.code == code && s.day == day) f *= s.factor;
    return f;
  }
  double adjustment(const std::string& code, int day) const {
    double f = 1;
    for (const Split& s : opt_.splits)
      if (s.code == code && s.day > day) f *= s.factor;
    return f;
  }

  bool delivered(const std::string& code, int day) const {
    if (opt_.holidays.count(day)) return false;
    if (opt_.newest >= 0 && day > opt_.newest) return false;
    const auto d = opt_.delisted.find(code);
    return d == opt_.delisted.end() || day <= d->second;
  }

  // The record of one stock's day.
  Json record(const std::string& code, const Bar& b) const {
    // The market file's prices carry every split (adjusted, times all the
    // stock's factors); the traded prices of a day only the splits up to it.
    double total = 1;
    for (const Split& s : opt_.splits)
      if (s.code == code) total *= s.factor;
    const double raw = total / adjustment(code, b.day);
    const auto round1 = [](double v) { return std::round(v * 10) / 10; };
    Json r;
    r["Date"] = IsoDate(b.day);
    r["Code"] = code + "0";
    r["O"] = b.open * raw;
    r["H"] = b.high * raw;
    r["L"] = b.low * raw;
    r["C"] = b.close * raw;
    r["UL"] = "0";
    r["LL"] = "0";
    r["Vo"] = b.volume;
    r["Va"] = b.volume * b.close * raw;
    r["AdjFactor"] = factorOn(code, b.day);
    r["AdjO"] = round1(b.open * total);
    r["AdjH"] = round1(b.high * total);
    r["AdjL"] = round1(b.low * total);
    r["AdjC"] = round1(b.adjClose * total);
    r["AdjVo"] = b.volume / total;
    // ExRT is null but on an ex-rights day ("3" for a rights issue, whose
    // AdjFactor is no simple ratio: the daily bars page adjusts for splits,
    // reverse splits and rights issues).
    r["ExRT"] = nullptr;
    for (const Split& sp : opt_.splits)
      if (sp.code == code && sp.day == b.day && !sp.exrt.empty()) r["ExRT"] = sp.exrt;
    const auto halt = opt_.suspended.find(code);
    if ((halt != opt_.suspended.end() && halt->second.count(b.day)) || opt_.nullDays.count(b.day))
      for (const char* k :
           {"O", "H", "L", "C", "Vo", "Va", "AdjO", "AdjH", "AdjL", "AdjC", "AdjVo"})
        r[k] = nullptr;
    return r;
  }

  // The records of a question, the page the pagination key asks for, and
  // the key of the next.
  void page(Json& answer, std::vector<Json> records, const httplib::Request& req,
            httplib::Response& res) const {
    std::size_t from = 0;
    if (req.has_param("pagination_key")) {
      const std::string k = req.get_param_value("pagination_key");
      if (k.size() < 2 || k[0] != 'p' ||
          k.find_first_not_of("0123456789", 1) != std::string::npos) {
        res.status = 400;
        answer = Json{{"message", "pagination_key is invalid"}};
        return;
      }
      from = std::stoul(k.substr(1));
    }
    std::size_t size = opt_.pageSize > 0 ? static_cast<std::size_t>(opt_.pageSize) : records.size();
    if (opt_.pageBytes > 0) {
      // The service cuts its pages by size, not by a count of records.
      std::size_t bytes = 0;
      size = 0;
      for (std::size_t i = from; i < records.size(); ++i, ++size) {
        bytes += records[i].dump().size() + 1;
        if (bytes > opt_.pageBytes && size > 0) break;
      }
      size = std::max<std::size_t>(size, 1);
    }
    Json data = Json::array();
    for (std::size_t i = from; i < records.size() && i < from + size; ++i)
      data.push_back(std::move(records[i]));
    answer["data"] = std::move(data);
    if (from + size < records.size()) answer["pagination_key"] = "p" + std::to_string(from + size);
  }

  static void sendJson(httplib::Response& res, const Json& j) {
    res.set_content(j.dump(), "application/json");
  }

  // False, with the answer made, when the key is wrong.
  bool keyRight(const httplib::Request& req, httplib::Response& res) {
    ++requests_;
    if (!opt_.forbidden.empty()) {
      // The texts of the service's 403 by cause (the response-status page:
      // a body need not hold a message at all).
      res.status = 403;
      if (opt_.forbidden == "bare") {
        res.set_content("", "application/json");
      } else {
        const char* text =
            opt_.forbidden == "plan"       ? "This API is not available on your subscription."
            : opt_.forbidden == "inactive" ? "The api key has no active subscription."
                                           : "The incoming api key is invalid or expired.";
        sendJson(res, Json{{"message", text}});
      }
      return false;
    }
    if (opt_.key.empty() || req.get_header_value("x-api-key") == opt_.key) return true;
    wrongKeySeen_ = true;
    res.status = opt_.wrongKeyStatus;
    sendJson(res, Json{{"message", "The incoming api key is invalid or expired."}});
    return false;
  }

  static std::string Gzip(const std::string& in) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(in.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
  }

  // A fixed-length body sent whole, cut in half, or one byte at a time;
  // compressed when the stand-in gzips and the request accepts it.
  void sendBody(const httplib::Request& req, httplib::Response& res, std::string body,
                const char* type, bool cut, bool drip, bool drop = false) {
    if (opt_.gzip && req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos) {
      body = Gzip(body);
      res.set_header("Content-Encoding", "gzip");
      ++gzipped_;
    }
    auto shared = std::make_shared<std::string>(std::move(body));
    res.set_content_provider(shared->size(), type,
                             [this, shared, cut, drip, drop](std::size_t offset, std::size_t length,
                                                             httplib::DataSink& sink) {
                               // A dropped connection: the headers went, then the socket closes.
                               if (drop) return false;
                               if (cut) {
                                 if (offset == 0 && shared->size() > 1)
                                   sink.write(shared->data(), shared->size() / 2);
                                 return false;
                               }
                               if (drip) {
                                 for (int waited = 0; waited < opt_.dripMs; waited += 10) {
                                   if (stopping_) return false;
                                   std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                 }
                                 return sink.write(shared->data() + offset, 1);
                               }
                               sink.write(shared->data() + offset,
                                          std::min(length, shared->size() - offset));
                               return true;
                             });
  }

  static bool on(const std::map<std::string, std::set<int>>& m, const std::string& code, int day) {
    const auto it = m.find(code);
    return it != m.end() && it->second.count(day) > 0;
  }

  // The records of a stock's day as sent: none, one, or the same day twice.
  void add(std::vector<Json>& records, const std::string& code, const Bar& b) const {
    if (on(opt_.missing, code, b.day)) return;
    records.push_back(record(code, b));
    if (on(opt_.twice, code, b.day)) records.push_back(records.back());
    if (on(opt_.conflicting, code, b.day)) {
      Json again = records.back();
      if (again["AdjC"].is_number()) again["AdjC"] = again["AdjC"].get<double>() * 10;
      records.push_back(std::move(again));
    }
  }

  // A body that opens an answer and then sends blanks until the client
  // gives up or the server stops.
  void sendEndless(httplib::Response& res) {
    res.set_chunked_content_provider("application/json",
                                     [this](std::size_t offset, httplib::DataSink& sink) {
                                       if (stopping_) return false;
                                       if (offset == 0) return sink.write("{\"data\":[", 9);
                                       static const std::string blanks(64 * 1024, ' ');
                                       std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                       return sink.write(blanks.data(), blanks.size());
                                     });
  }

  // Waits ms, or until the stand-in stops.
  void pause(int ms) const {
    for (int waited = 0; waited < ms && !stopping_; waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  // True, with the 400 made, when from .. to reaches outside the plan's
  // window. The text is the service's, as its users quote it: both dates on
  // the free plan, an open end on a paid one.
  bool outsideWindow(int from, int to, httplib::Response& res) {
    if (opt_.planFrom < 0) return false;
    const bool before = from < opt_.planFrom;
    const bool after = !opt_.planOpenEnd && opt_.planTo >= 0 && to > opt_.planTo;
    if (!before && !after) return false;
    ++windowRefusals_;
    res.status = 400;
    const std::string end = opt_.planOpenEnd ? std::string("") : IsoDate(opt_.planTo);
    sendJson(res, Json{{"message", "Your subscription covers the following dates: " +
                                       IsoDate(opt_.planFrom) + " ~ " + end +
                                       ". If you want more data, please check other "
                                       "plans:https://jpx-jquants.com/#dataset"}});
    return true;
  }

  void routes() {
    svr_->set_read_timeout(5, 0);
    svr_->set_write_timeout(5, 0);
    svr_->Get("/v2/equities/bars/daily", [this](const httplib::Request& req,
                                                httplib::Response& res) {
      if (!keyRight(req, res)) return;
      const long n = ++bars_;
      if (opt_.rateLimitAt > 0 && n >= opt_.rateLimitAt &&
          n < opt_.rateLimitAt + opt_.rateLimitTimes) {
        res.status = 429;
        if (opt_.retryAfter >= 0) res.set_header("Retry-After", std::to_string(opt_.retryAfter));
        sendJson(res, Json{{"message", "Rate limit exceeded"}});
        return;
      }
      // 5xx answers happen: 500 with a message (the response-status page:
      // retry after a while), the gateway's 502/503/504 as HTML.
      if (opt_.serverErrorAt > 0 && n >= opt_.serverErrorAt &&
          n < opt_.serverErrorAt + opt_.serverErrorTimes) {
        res.status = opt_.serverErrorStatus;
        if (opt_.serverErrorStatus == 500)
          sendJson(res, Json{{"message", "Internal Server Error"}});
        else
          res.set_content(
              "<html><body><h1>" + std::to_string(opt_.serverErrorStatus) + "</h1></body></html>",
              "text/html");
        return;
      }
      if (n == opt_.noDataAt) {
        // 210 No Content (Partial): no data for the question (the
        // response-status page).
        res.status = 210;
        sendJson(res, Json::object());
        return;
      }
      if (n == opt_.htmlAt) {
        res.set_content(
            "<!DOCTYPE html><html><head><title>Just a moment...</title></head>"
            "<body>Please enable JavaScript and cookies to continue</body></html>",
            "text/html; charset=UTF-8");
        return;
      }
      if (n == opt_.endlessAt) {
        sendEndless(res);
        return;
      }
      std::vector<Json> records;
      const std::string code =
          req.has_param("code") ? req.get_param_value("code").substr(0, 4) : "";
      const int date = req.has_param("date") ? ParseDay(req.get_param_value("date")) : -2;
      if (code.empty() && date == -2) {
        res.status = 400;
        sendJson(res,
                 Json{{"message", "This API requires at least 1 parameter as follows; date,code"}});
        return;
      }
      if (!code.empty()) {
        int from = req.has_param("from") ? ParseDay(req.get_param_value("from")) : 0;
        int to = req.has_param("to") ? ParseDay(req.get_param_value("to")) : 1 << 30;
        if (date >= 0) from = to = date;
        if (outsideWindow(from, to, res)) return;
        const auto it = bars_by_code_.find(code);
        if (it != bars_by_code_.end())
          for (const Bar& b : it->second)
            if (b.day >= from && b.day <= to && delivered(code, b.day)) add(records, code, b);
      } else {
        if (outsideWindow(date, date, res)) return;
        for (const auto& [c, bars] : bars_by_code_) {
          const auto it = std::lower_bound(bars.begin(), bars.end(), date,
                                           [](const Bar& b, int d) { return b.day < d; });
          if (it != bars.end() && it->day == date && delivered(c, date)) add(records, c, *it);
        }
      }
      // A whole market's day is slow to start (users of the official client
      // report seconds before the first byte).
      if (code.empty()) pause(records.empty() ? opt_.emptyFirstByteMs : opt_.firstByteMs);
      Json answer;
      page(answer, std::move(records), req, res);
      if (opt_.padBytes > 0)
        answer["Padding"] = std::string(static_cast<std::size_t>(opt_.padBytes), 'x');
      const bool cut =
          opt_.truncateAt > 0 && n >= opt_.truncateAt && n < opt_.truncateAt + opt_.truncateTimes;
      const bool drop = opt_.dropAt > 0 && n >= opt_.dropAt && n < opt_.dropAt + opt_.dropTimes;
      sendBody(req, res, answer.dump(), "application/json", cut, n == opt_.dripAt, drop);
    });
    svr_->Get("/v2/equities/master", [this](const httplib::Request& req, httplib::Response& res) {
      if (!keyRight(req, res)) return;
      std::set<std::string> codes;
      for (const auto& [c, bars] : bars_by_code_) codes.insert(c);
      for (const auto& [c, name] : names_) codes.insert(c);
      std::vector<Json> records;
      for (const std::string& c : codes) {
        if (opt_.delisted.count(c)) continue;
        if (req.has_param("code") && req.get_param_value("code").substr(0, 4) != c) continue;
        const auto n = names_.find(c);
        Json r;
        r["Date"] = days_.empty() ? "" : IsoDate(days_.back());
        r["Code"] = c + "0";
        r["CoName"] = opt_.nameless.count(c) || n == names_.end() ? "" : n->second;
        r["CoNameEn"] = "";
        r["S17"] = "99";
        r["S33"] = "9999";
        r["Mkt"] = "0111";
        r["MktNm"] = "プライム";
        records.push_back(std::move(r));
      }
      Json answer;
      page(answer, std::move(records), req, res);
      if (opt_.masterPadBytes > 0)
        answer["Padding"] = std::string(static_cast<std::size_t>(opt_.masterPadBytes), 'x');
      if (opt_.masterBroken) {
        const std::string text = answer.dump();
        res.set_content(text.substr(0, text.size() / 2), "application/json");
        return;
      }
      sendJson(res, answer);
    });
    svr_->Get("/v2/markets/calendar", [this](const httplib::Request& req, httplib::Response& res) {
      if (!keyRight(req, res)) return;
      const int from = req.has_param("from") ? ParseDay(req.get_param_value("from")) : -1;
      const int to = req.has_param("to") ? ParseDay(req.get_param_value("to")) : -1;
      if (from < 0 || to < 0 || to - from > 20000) {
        res.status = 400;
        sendJson(res, Json{{"message", "from and to are required"}});
        return;
      }
      if (outsideWindow(from, to, res)) return;
      const std::set<int> trading(days_.begin(), days_.end());
      const int last = days_.empty() ? 0 : days_.back();
      std::vector<Json> records;
      for (int d = from; d <= to; ++d) {
        // After the data's newest day the weekdays are the coming trading days.
        const bool open = d > last ? Weekday(d) && !opt_.holidays.count(d) : trading.count(d) > 0;
        records.push_back(Json{{"Date", IsoDate(d)}, {"HolDiv", open ? "1" : "0"}});
      }
      Json answer;
      page(answer, std::move(records), req, res);
      sendJson(res, answer);
    });
  }

  Options opt_;
  std::unique_ptr<httplib::Server> svr_;
  std::thread thread_;
  int port_ = -1;
  std::atomic<long> requests_{0}, bars_{0}, gzipped_{0}, windowRefusals_{0};
  std::atomic<bool> stopping_{false}, wrongKeySeen_{false};
  std::map<std::string, std::vector<Bar>> bars_by_code_;
  std::map<std::string, std::string> names_;
  std::vector<int> days_;
};

}  // namespace tavrine::jquantssite
