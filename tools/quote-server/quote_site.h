// The stand-in quote site: daily price tables of a market folder served as
// EUC-JP pages in the markup the collection reads, the manual (docs/manual,
// compiled in by docs/CMakeLists.txt) under /tavrine/, a
// request counter and fault injection for tests. Header-only so tests and
// benchmarks can run it in-process.
#pragma once

#include <arpa/inet.h>
#include <httplib.h>
#include <iconv.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "manual_files.h"

namespace tavrine::quotesite {

struct Options {
  std::string market;        // folder holding market/CODE.csv
  int closeAtPage = -1;      // drop the connection when this page is asked for
  int delayMs = 0;           // wait before each quote page
  int emptyPage = -1;        // this page has no rows
  int missingRowsPage = -1;  // this page lacks its last 10 rows
  int garbagePage = -1;      // this page is garbage bytes
  int aheadDays = 0;         // the site's history goes on this many weekdays past the newest
                             // day of the market file (a list behind the site), each day's
                             // prices 5000 + its number counted back from the newest
  // Hostile answers, for the client's bounds:
  int endlessPage = -1;   // this page's body never ends (chunked)
  int dripPage = -1;      // this page's body comes one byte every dripMs
  int dripHeadPage = -1;  // this page's whole response, status line and headers too, comes one
                          // byte every dripMs; the site then runs on a plain socket of its own
                          // serving only /t and /_count, and one connection at a time
  int dripMs = 1000;
  int hugeLengthPage = -1;  // this page declares 18446744073709551615 bytes, sends a few and stalls
  int redirectPage = -1;    // this page answers 302 with its own address
};

// One trading day of a series.
struct Row {
  int day = 0;  // days since 1970-01-01
  int y = 0, m = 0, d = 0;
  std::string open, high, low, close, volume, adjclose;
};

inline constexpr int kRowsPerPage = 50;

inline int DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int>(doe) - 719468;
}

inline void CivilFromDays(int z, int& y, int& m, int& d) {
  z += 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe) + era * 400 + (m <= 2);
}

inline bool ParseInt(const std::string& s, int& v) {
  if (s.empty() || s.size() > 9) return false;
  v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  return true;
}

// A decimal number with thousands commas in its whole part: 1234567.5 ->
// 1,234,567.5. Anything that is not a plain decimal stays as it is.
inline std::string WithCommas(const std::string& s) {
  std::size_t start = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  std::size_t dot = s.find('.');
  std::size_t end = dot == std::string::npos ? s.size() : dot;
  for (std::size_t i = start; i < end; ++i)
    if (s[i] < '0' || s[i] > '9') return s;
  std::string whole = s.substr(start, end - start);
  std::string out;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out += ',';
    out += whole[i];
  }
  return s.substr(0, start) + out + s.substr(end);
}

inline std::string ToEucJp(const std::string& utf8) {
  iconv_t cd = iconv_open("EUC-JP-MS", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
      // Characters EUC-JP cannot hold become '?'.
      if (outLeft == 0) break;
      *o++ = '?';
      --outLeft;
      ++in;
      --inLeft;
    }
  }
  out.resize(out.size() - outLeft);
  iconv_close(cd);
  return out;
}

// Reads a market file: yyyy/mm/dd,open,high,low,close,volume,adjclose per
// line, newest first. Lines that do not fit are skipped.
inline std::vector<Row> ReadMarketFile(const std::string& path) {
  std::vector<Row> rows;
  std::ifstream in(path, std::ios::binary);
  if (!in) return rows;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string item;
    while (std::getline(ss, item, ',')) f.push_back(item);
    if (f.size() < 7 || f[0].size() != 10 || f[0][4] != '/' || f[0][7] != '/') continue;
    Row r;
    if (!ParseInt(f[0].substr(0, 4), r.y) || !ParseInt(f[0].substr(5, 2), r.m) ||
        !ParseInt(f[0].substr(8, 2), r.d))
      continue;
    r.day = DaysFromCivil(r.y, r.m, r.d);
    r.open = f[1];
    r.high = f[2];
    r.low = f[3];
    r.close = f[4];
    r.volume = f[5];
    r.adjclose = f[6];
    rows.push_back(std::move(r));
  }
  return rows;
}

// One table row of a page, ending in a line break.
inline std::string RenderRow(const Row& r) {
  static const std::string nen = ToEucJp("年"), tsuki = ToEucJp("月"), hi = ToEucJp("日");
  std::string s = "<tr align=right bgcolor=\"#ffffff\"><td><small>";
  s += std::to_string(r.y) + nen + std::to_string(r.m) + tsuki + std::to_string(r.d) + hi +
       "</small></td>";
  s += "<td><small>" + WithCommas(r.open) + "</small></td>";
  s += "<td><small>" + WithCommas(r.high) + "</small></td>";
  s += "<td><small>" + WithCommas(r.low) + "</small></td>";
  s += "<td><small><b>" + WithCommas(r.close) + "</b></small></td>";
  s += "<td><small>" + WithCommas(r.volume) + "</small></td>";
  s += "<td><small>" + WithCommas(r.adjclose) + "</small></td></tr>\n";
  return s;
}

// A whole page (EUC-JP) with the given rows, newest first.
inline std::string RenderPage(const std::string& code, const std::vector<const Row*>& rows) {
  std::string s =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">\n";
  s += ToEucJp("<title>" + code + " 時系列</title></head>\n<body>\n");
  s += "<table border=0 cellpadding=2 cellspacing=1 width=\"100%\">\n";
  s += ToEucJp(
      "<tr "
      "bgcolor=\"#dcdcdc\"><th><small>日付</small></th><th><small>始値</small></"
      "th><th><small>高値</small></th>"
      "<th><small>安値</small></th><th><small>終値</small></th><th><small>出来高</small></th>"
      "<th><small>調整後終値*</small></th></tr>\n");
  for (const Row* r : rows) s += RenderRow(*r);
  s += "</table>\n</body></html>\n";
  return s;
}

// Deterministic junk: stray bytes, broken markup and row markers followed by
// nonsense.
inline std::string GarbagePage(unsigned seed) {
  std::string s;
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (int i = 0; i < 6000; ++i) {
    x = x * 1664525u + 1013904223u;
    const unsigned v = (x >> 24) & 0xFF;
    if (v < 6)
      s += "align=right bgcolor=\"#ffffff\"><td><small>";
    else if (v < 9)
      s += "</small></td></tr>";
    else if (v < 14)
      s += "<small>";
    else if (v < 20)
      s += '\n';
    else
      s += static_cast<char>(v);
  }
  return s;
}

class Site {
 public:
  explicit Site(Options o) : opt_(std::move(o)) {
    // --market names the data folder (files in its market/ folder) or the
    // market folder itself.
    std::error_code ec;
    marketDir_ = std::filesystem::is_directory(opt_.market + "/market", ec)
                     ? opt_.market + "/market"
                     : opt_.market;
    routes();
  }
  ~Site() { stop(); }
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;

  // Binds to 127.0.0.1 (port 0: any free port); returns the port, -1 on failure.
  int bind(int port) {
    if (raw()) return port_ = bindRaw(port);
    port_ = port == 0 ? svr_.bind_to_any_port("127.0.0.1")
                      : (svr_.bind_to_port("127.0.0.1", port) ? port : -1);
    return port_;
  }
  // Serves until stop().
  bool listen() {
    if (raw()) return serveRaw();
    return svr_.listen_after_bind();
  }
  // Serves on a thread of its own; returns once requests are answered.
  void start() {
    if (raw()) {
      // The socket already listens: connections queue until the loop takes them.
      thread_ = std::thread([this] { serveRaw(); });
      return;
    }
    thread_ = std::thread([this] { svr_.listen_after_bind(); });
    for (int i = 0; i < 5000 && !svr_.is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // Also ends every answer still dripping or stalling.
  void stop() {
    stopping_ = true;
    if (!raw()) svr_.stop();
    if (thread_.joinable()) thread_.join();
    if (rawSock_ >= 0) {
      ::close(rawSock_);
      rawSock_ = -1;
    }
  }
  int port() const { return port_; }
  long count() const { return count_.load(); }

  // The page for a quote request's query keys (also used by tests).
  std::string page(const httplib::Params& q, int& pageNo) {
    pageNo = -1;
    auto get = [&](const char* k, int& v) {
      auto it = q.find(k);
      return it != q.end() && ParseInt(it->second, v);
    };
    int c = 0, a = 0, b = 0, f = 0, d = 0, e = 0, y = 0;
    auto s = q.find("s");
    std::string code = s == q.end() ? std::string() : s->second;
    bool ok = get("c", c) && get("a", a) && get("b", b) && get("f", f) && get("d", d) &&
              get("e", e) && get("y", y) && !code.empty() && code.size() <= 16;
    for (char ch : code)
      if (!std::isalnum(static_cast<unsigned char>(ch))) ok = false;
    std::vector<const Row*> rows;
    if (!ok) return RenderPage(code.empty() ? "-" : "-", rows);
    pageNo = y / kRowsPerPage;
    const int from = DaysFromCivil(c, a, b), to = DaysFromCivil(f, d, e);
    auto series = load(code);
    std::vector<Row> ahead;  // newest first
    if (opt_.aheadDays > 0 && !series->empty()) {
      int day = series->front().day;
      std::vector<int> added;
      while (static_cast<int>(added.size()) < opt_.aheadDays) {
        ++day;
        const int weekday = ((day % 7) + 11) % 7;  // 1970-01-01 was a Thursday; 0 = Sunday
        if (weekday != 0 && weekday != 6) added.push_back(day);
      }
      for (auto it = added.rbegin(); it != added.rend(); ++it) {
        Row r;
        r.day = *it;
        CivilFromDays(r.day, r.y, r.m, r.d);
        r.open = r.high = r.low = r.close = r.adjclose =
            std::to_string(5000 + static_cast<int>(ahead.size()));
        r.volume = "1000";
        ahead.push_back(std::move(r));
      }
    }
    std::vector<const Row*> inRange;
    for (const Row& r : ahead)
      if (r.day >= from && r.day <= to) inRange.push_back(&r);
    for (const Row& r : *series)
      if (r.day >= from && r.day <= to) inRange.push_back(&r);
    int take = kRowsPerPage;
    if (pageNo == opt_.emptyPage) take = 0;
    if (pageNo == opt_.missingRowsPage) take = kRowsPerPage - 10;
    for (int i = y; i < y + take && i < static_cast<int>(inRange.size()); ++i)
      rows.push_back(inRange[static_cast<std::size_t>(i)]);
    if (pageNo == opt_.garbagePage) return GarbagePage(static_cast<unsigned>(y + 1));
    return RenderPage(code, rows);
  }

 private:
  std::shared_ptr<const std::vector<Row>> load(const std::string& code) {
    std::lock_guard<std::mutex> lk(m_);
    auto it = cache_.find(code);
    if (it != cache_.end()) return it->second;
    auto rows =
        std::make_shared<const std::vector<Row>>(ReadMarketFile(marketDir_ + "/" + code + ".csv"));
    cache_[code] = rows;
    return rows;
  }

  // A fixed-length body, never compressed, so Content-Length is always sent.
  static void send(httplib::Response& res, std::string body, const char* type,
                   bool dropHalfway = false) {
    auto shared = std::make_shared<std::string>(std::move(body));
    const std::size_t len = shared->size();
    res.set_content_provider(
        len, type,
        [shared, dropHalfway](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          if (dropHalfway) {
            if (offset == 0 && shared->size() > 1) sink.write(shared->data(), shared->size() / 2);
            return false;  // the connection is closed before the document ends
          }
          sink.write(shared->data() + offset, std::min(length, shared->size() - offset));
          return true;
        });
  }

  bool raw() const { return opt_.dripHeadPage >= 0; }

  // Waits ms in short steps; false once the site is stopping.
  bool pause(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (stopping_) return false;
      const auto now = std::chrono::steady_clock::now();
      if (now >= end) return true;
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(20)));
    }
  }

  // The page, then filler, without end; ends when the client stops reading.
  void sendEndless(httplib::Response& res, std::string body) {
    auto shared = std::make_shared<std::string>(std::move(body));
    res.set_chunked_content_provider(
        "text/html; charset=EUC-JP", [this, shared](std::size_t offset, httplib::DataSink& sink) {
          static const std::string filler = [] {
            std::string f;
            while (f.size() < 16384) f += "<!-- more of the page follows -->\n";
            return f;
          }();
          if (stopping_) return false;
          return offset == 0 ? sink.write(shared->data(), shared->size())
                             : sink.write(filler.data(), filler.size());
        });
  }

  // The page with its true length, one byte every dripMs.
  void sendDrip(httplib::Response& res, std::string body) {
    auto shared = std::make_shared<std::string>(std::move(body));
    res.set_content_provider(
        shared->size(), "text/html; charset=EUC-JP",
        [this, shared](std::size_t offset, std::size_t, httplib::DataSink& sink) {
          return pause(opt_.dripMs) && sink.write(shared->data() + offset, 1);
        });
  }

  // Declares the largest length there is, sends the page's first bytes and
  // then nothing until the client leaves (at most two minutes).
  void sendHugeLength(httplib::Response& res, std::string body) {
    auto head = std::make_shared<std::string>(body.substr(0, 200));
    res.set_content_provider(
        std::numeric_limits<std::size_t>::max(), "text/html; charset=EUC-JP",
        [this, head](std::size_t offset, std::size_t, httplib::DataSink& sink) {
          if (offset == 0) return sink.write(head->data(), head->size());
          for (int i = 0; i < 120 * 20 && sink.is_writable(); ++i)
            if (!pause(50)) break;
          return false;
        });
  }

  // --- The plain-socket site of dripHeadPage. ---

  int bindRaw(int port) {
    rawSock_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (rawSock_ < 0) return -1;
    int yes = 1;
    ::setsockopt(rawSock_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(rawSock_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(rawSock_, 16) != 0 ||
        ::getsockname(rawSock_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      ::close(rawSock_);
      rawSock_ = -1;
      return -1;
    }
    return ntohs(a.sin_port);
  }

  // Answers one connection after another until stop().
  bool serveRaw() {
    if (rawSock_ < 0) return false;
    while (!stopping_) {
      pollfd p{rawSock_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int c = ::accept(rawSock_, nullptr, nullptr);
      if (c < 0) continue;
      answerRaw(c);
      ::close(c);
    }
    return true;
  }

  // Sends bytes; false when the client is gone.
  static bool sendAll(int sock, const char* p, std::size_t n) {
    while (n > 0) {
      const ssize_t w = ::send(sock, p, n, MSG_NOSIGNAL);
      if (w <= 0) return false;
      p += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  }

  void answerRaw(int sock) {
    // The request head, read for at most 5 s.
    std::string req;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (req.find("\r\n\r\n") == std::string::npos && req.size() < 16384 && !stopping_) {
      if (std::chrono::steady_clock::now() >= until) return;
      pollfd p{sock, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buf[2048];
      const ssize_t r = ::recv(sock, buf, sizeof buf, 0);
      if (r <= 0) return;
      req.append(buf, static_cast<std::size_t>(r));
    }
    // "GET /t?query HTTP/1.1"
    const auto sp1 = req.find(' '), sp2 = req.find(' ', sp1 == std::string::npos ? 0 : sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) return;
    const std::string target = req.substr(sp1 + 1, sp2 - sp1 - 1);
    const auto q = target.find('?');
    const std::string path = target.substr(0, q);
    httplib::Params params;
    if (q != std::string::npos) httplib::detail::parse_query_text(target.substr(q + 1), params);

    std::string status = "200 OK", type = "text/html; charset=EUC-JP", body;
    int pageNo = -1;
    if (path == "/t") {
      ++count_;
      if (opt_.delayMs > 0 && !pause(opt_.delayMs)) return;
      body = page(params, pageNo);
    } else if (path == "/_count") {
      type = "text/plain; charset=US-ASCII";
      body = std::to_string(count_.load()) + "\n";
    } else {
      status = "404 Not Found";
      type = "text/plain; charset=US-ASCII";
      body = "not found\n";
    }
    const std::string whole = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                              "\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body;
    if (pageNo < 0 || pageNo != opt_.dripHeadPage) {
      sendAll(sock, whole.data(), whole.size());
      return;
    }
    for (char ch : whole)
      if (!pause(opt_.dripMs) || !sendAll(sock, &ch, 1)) return;
  }

  void routes() {
    svr_.set_keep_alive_max_count(100);
    svr_.set_read_timeout(5, 0);
    svr_.set_write_timeout(5, 0);
    svr_.Get("/t", [this](const httplib::Request& req, httplib::Response& res) {
      ++count_;
      if (opt_.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(opt_.delayMs));
      int pageNo = -1;
      std::string body = page(req.params, pageNo);
      if (pageNo >= 0 && pageNo == opt_.redirectPage) {
        res.status = 302;
        res.set_header("Location", req.target);
        res.set_content("moved\n", "text/plain; charset=US-ASCII");
      } else if (pageNo >= 0 && pageNo == opt_.endlessPage) {
        sendEndless(res, std::move(body));
      } else if (pageNo >= 0 && pageNo == opt_.dripPage) {
        sendDrip(res, std::move(body));
      } else if (pageNo >= 0 && pageNo == opt_.hugeLengthPage) {
        sendHugeLength(res, std::move(body));
      } else {
        send(res, std::move(body), "text/html; charset=EUC-JP",
             pageNo >= 0 && pageNo == opt_.closeAtPage);
      }
    });
    svr_.Get("/_count", [this](const httplib::Request&, httplib::Response& res) {
      send(res, std::to_string(count_.load()) + "\n", "text/plain; charset=US-ASCII");
    });
    // The manual's pages and pictures, found by their path in the manual.
    svr_.Get(R"(/tavrine/(.+))", [](const httplib::Request& req, httplib::Response& res) {
      const manual::ManualFile* f = manual::FindManualFile(req.matches[1].str());
      if (!f) {
        res.status = 404;
        send(res, "not found\n", "text/plain; charset=US-ASCII");
        return;
      }
      send(res, std::string(reinterpret_cast<const char*>(f->data), f->size), f->contentType);
    });
  }

  Options opt_;
  std::string marketDir_;
  httplib::Server svr_;
  std::thread thread_;
  int port_ = -1;
  std::atomic<long> count_{0};
  std::atomic<bool> stopping_{false};
  int rawSock_ = -1;
  std::mutex m_;
  std::map<std::string, std::shared_ptr<const std::vector<Row>>> cache_;
};

}  // namespace tavrine::quotesite
