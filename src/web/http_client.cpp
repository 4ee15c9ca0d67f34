#include "web/http_client.h"

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace tavrine {

std::string PacketStatus(std::size_t received, std::size_t total) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "受信中：%d/%d　byte", static_cast<int>(received),
                static_cast<int>(total));
  return buf;
}

namespace {

std::mutex gLimitsMutex;
HttpClient::Limits gLimits;

const char* const kQuoteSite = "株価サイト";

// What the worker hands to the calling thread.
struct Exchange {
  std::mutex m;
  std::condition_variable cv;
  std::deque<std::string> statuses;
  bool done = false;
  bool failed = false;
  std::string error;
  std::string body;
  int status = 0;
  std::string retryAfter, contentType, contentEncoding;
  bool dropped = false;  // closed by the server after connecting
  // Set by the calling thread at the deadline; the worker's callbacks give up
  // when they see it.
  std::atomic<bool> abort{false};

  void post(std::string s) {
    {
      std::lock_guard<std::mutex> lk(m);
      statuses.push_back(std::move(s));
    }
    cv.notify_one();
  }
  void finish(bool ok, std::string err, std::string text, int code = 0) {
    {
      std::lock_guard<std::mutex> lk(m);
      status = code;
      failed = !ok;
      error = std::move(err);
      body = std::move(text);
      done = true;
    }
    cv.notify_one();
  }
};

void SplitHost(const std::string& hostPort, std::string& host, int& port) {
  host = hostPort;
  port = 80;
  const auto colon = hostPort.rfind(':');
  const auto bracket = hostPort.rfind(']');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    host = hostPort.substr(0, colon);
    try {
      port = std::stoi(hostPort.substr(colon + 1));
    } catch (...) {
      port = 80;
    }
  }
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
}

// How one transfer goes: the server's name in messages, the request's
// headers, and whether an answer other than 2xx is read as well.
struct Transfer {
  std::string site;
  httplib::Headers headers;
  bool anyStatus = false;
  bool gzip = false;
  int readTimeout = HttpClient::kReadTimeout;
};

bool EqualsNoCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

// Inflates a gzip stream as it arrives, so an answer that would grow past
// the cap is refused as soon as it does, not after its last byte.
class Gunzip {
 public:
  explicit Gunzip(std::size_t cap) : cap_(cap) {
    ready_ = inflateInit2(&z_, 16 + MAX_WBITS) == Z_OK;
  }
  ~Gunzip() {
    if (ready_) inflateEnd(&z_);
  }
  Gunzip(const Gunzip&) = delete;
  Gunzip& operator=(const Gunzip&) = delete;

  // Appends what `data` inflates to; false when the stream is broken (or
  // goes on past its end) or `out` would grow past the cap (tooLarge()).
  bool feed(const char* data, std::size_t len, std::string& out) {
    if (!ready_) return false;
    if (len == 0) return true;
    if (done_) return false;
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z_.avail_in = static_cast<uInt>(len);
    char buf[65536];
    // Until the input is used up and no output is held back inside zlib.
    do {
      z_.next_out = reinterpret_cast<Bytef*>(buf);
      z_.avail_out = sizeof buf;
      const int rc = inflate(&z_, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return false;
      const std::size_t n = sizeof buf - z_.avail_out;
      if (n > cap_ - out.size()) {
        tooLarge_ = true;
        return false;
      }
      out.append(buf, n);
      if (rc == Z_STREAM_END) {
        done_ = true;
        return z_.avail_in == 0;
      }
      if (rc == Z_BUF_ERROR) break;  // nothing more without more input
    } while (z_.avail_in > 0 || z_.avail_out == 0);
    return true;
  }
  bool done() const { return done_; }
  bool tooLarge() const { return tooLarge_; }

 private:
  z_stream z_{};
  std::size_t cap_;
  bool ready_ = false, done_ = false, tooLarge_ = false;
};

void Fetch(Exchange& ex, httplib::Client& cli, const std::string& path, std::size_t maxBody,
           const Transfer& how) {
  // Why a callback ended the transfer early.
  enum class Cut { None, Status, TooLarge, Broken };
  Cut cut = Cut::None;
  std::size_t total = 0, received = 0;
  int status = 0;
  bool connected = false;
  std::string body;
  std::unique_ptr<Gunzip> gunzip;  // set when the answer comes gzip-compressed
  httplib::Headers headers = how.headers;
  headers.emplace("Accept-Encoding", how.gzip ? "gzip" : "identity");
  auto onResponse = [&](const httplib::Response& res) {
    status = res.status;
    connected = true;
    ex.post("接続しました");
    if (ex.abort) return false;
    ex.retryAfter = res.get_header_value("Retry-After");
    ex.contentType = res.get_header_value("Content-Type");
    ex.contentEncoding = res.get_header_value("Content-Encoding");
    if (how.gzip && EqualsNoCase(ex.contentEncoding, "gzip"))
      gunzip = std::make_unique<Gunzip>(maxBody);
    // Only a 2xx answer is a page; a redirect or an error page is not read.
    if (!how.anyStatus && (status < 200 || status >= 300)) {
      cut = Cut::Status;
      return false;
    }
    if (res.has_header("Content-Length")) {
      try {
        total = static_cast<std::size_t>(std::stoull(res.get_header_value("Content-Length")));
      } catch (...) {
        total = 0;
      }
    }
    // A declared length over the limit fails before anything is reserved.
    if (total > maxBody) {
      cut = Cut::TooLarge;
      return false;
    }
    if (total > 0) body.reserve(total);
    return true;
  };
  auto onData = [&](const char* data, std::size_t len) {
    if (ex.abort) return false;
    if (len > maxBody - received) {
      cut = Cut::TooLarge;
      return false;
    }
    const std::size_t before = received / HttpClient::kPacket;
    if (!gunzip) {
      body.append(data, len);
    } else if (!gunzip->feed(data, len, body)) {
      cut = gunzip->tooLarge() ? Cut::TooLarge : Cut::Broken;
      return false;
    }
    received += len;
    // Notified per 4096-byte block, so the texts do not depend on how the
    // network happens to cut the stream.
    for (std::size_t b = before + 1; b <= received / HttpClient::kPacket; ++b)
      ex.post(PacketStatus(b * HttpClient::kPacket, total));
    return true;
  };
  auto res = cli.Get(path, headers, onResponse, onData);

  bool ok = static_cast<bool>(res) && cut == Cut::None && (total == 0 || received == total);
  // A gzip stream that stops short of its end is no whole answer.
  if (ok && gunzip && !gunzip->done()) {
    ok = false;
    cut = Cut::Broken;
  }
  std::string error;
  if (ok) {
    if (received % HttpClient::kPacket != 0)
      ex.post(PacketStatus(received, total == 0 ? received : total));
    ex.post("切断しました");
  } else {
    if (cut == Cut::TooLarge)
      error = how.site + "からのデータが大きすぎます。";
    else if (cut == Cut::Broken)
      error = how.site + "からの圧縮されたデータを読めません。";
    else if (cut == Cut::Status)
      error = how.site + "がエラーを返しました。(HTTP " + std::to_string(status) + ")";
    else if (ex.abort)
      error = how.site + "の応答が時間内に終わりませんでした。";
    else if (!res && !connected)
      error = how.site + "に接続できませんでした。(" + httplib::to_string(res.error()) + ")";
    else
      error = how.site + "からの受信が途中で切れました。";
    // Closed by the server before the answer was whole, with nothing cut here.
    ex.dropped =
        cut == Cut::None && !ex.abort && (connected || res.error() == httplib::Error::Read);
    ex.post("接続に失敗しました");
  }
  ex.finish(ok, std::move(error), std::move(body), status);
}

}  // namespace

HttpClient::Limits HttpClient::limits() {
  std::lock_guard<std::mutex> lk(gLimitsMutex);
  return gLimits;
}

void HttpClient::setLimits(const Limits& l) {
  std::lock_guard<std::mutex> lk(gLimitsMutex);
  gLimits = l;
}

namespace {

// Runs one transfer on a worker thread while this thread pumps the
// platform's events and passes the statuses on; aborts it at the deadline.
std::shared_ptr<Exchange> Run(Platform& platform,
                              const std::function<void(const std::string&)>& status,
                              httplib::Client& cli, const std::string& pathAndQuery,
                              const Transfer& how, const HttpClient::Limits& lim,
                              const std::function<bool()>& stopHook = {}) {
  const auto deadline = std::chrono::steady_clock::now() + lim.deadline;
  cli.set_connection_timeout(HttpClient::kConnectTimeout, 0);
  cli.set_read_timeout(how.readTimeout, 0);
  cli.set_write_timeout(HttpClient::kReadTimeout, 0);
  cli.set_keep_alive(false);
  cli.set_decompress(false);
  cli.set_follow_location(false);

  auto ex = std::make_shared<Exchange>();
  // Gives up on the request: the callbacks refuse further data and stop()
  // shuts the socket, which ends a read that waits for the status line or
  // the headers. stop() has no effect before the socket is connected, so it
  // is repeated until the worker reports.
  auto abort = [&] {
    ex->abort = true;
    cli.stop();
  };
  std::thread worker([ex, &cli, pathAndQuery, maxBody = lim.maxBody, how] {
    try {
      Fetch(*ex, cli, pathAndQuery, maxBody, how);
    } catch (const std::exception& e) {
      ex->post("接続に失敗しました");
      ex->finish(false, how.site + "に接続できませんでした。(" + e.what() + ")", {});
    }
  });
  // Joined on every way out; a way out by exception aborts the request first,
  // so the join does not wait on a server that never finishes.
  struct Join {
    std::thread& t;
    Exchange& ex;
    decltype(abort)& stop;
    ~Join() {
      if (!t.joinable()) return;
      std::unique_lock<std::mutex> lk(ex.m);
      while (!ex.done) {
        lk.unlock();
        stop();
        lk.lock();
        ex.cv.wait_for(lk, std::chrono::milliseconds(10), [&] { return ex.done; });
      }
      lk.unlock();
      t.join();
    }
  } join{worker, *ex, abort};
  bool stopped = false;

  for (;;) {
    platform.processEvents();
    std::deque<std::string> batch;
    bool done = false;
    {
      std::unique_lock<std::mutex> lk(ex->m);
      ex->cv.wait_for(lk, std::chrono::milliseconds(10),
                      [&] { return !ex->statuses.empty() || ex->done; });
      batch.swap(ex->statuses);
      done = ex->done;
    }
    for (auto& s : batch) status(s);
    if (done) break;
    if (!stopped && stopHook && stopHook()) {
      stopped = true;
      abort();
    }
    if (std::chrono::steady_clock::now() >= deadline) abort();
  }
  worker.join();
  // Statuses posted between the last drain and done.
  std::deque<std::string> rest;
  {
    std::lock_guard<std::mutex> lk(ex->m);
    rest.swap(ex->statuses);
  }
  for (auto& s : rest) status(s);
  if (stopped) throw HttpStopped(how.site + "への問い合わせを中止しました。");
  if (ex->failed && ex->dropped) throw HttpDropped(ex->error);
  if (ex->failed) throw HttpError(ex->error);
  return ex;
}

}  // namespace

std::string HttpClient::Get(const std::string& hostPort, const std::string& pathAndQuery) {
  std::string host;
  int port = 80;
  SplitHost(hostPort, host, port);
  // Owned here, not by the worker, so this thread can stop() it.
  httplib::Client cli(host, port);
  Transfer how;
  how.site = kQuoteSite;
  return std::move(Run(platform_, status_, cli, pathAndQuery, how, limits())->body);
}

HttpResponse HttpClient::Fetch(const HttpRequest& request) {
  Transfer how;
  how.site = request.site;
  how.anyStatus = true;
  how.gzip = request.gzip;
  if (request.readTimeout > 0) how.readTimeout = request.readTimeout;
  for (const auto& [k, v] : request.headers) how.headers.emplace(k, v);
  std::unique_ptr<httplib::Client> cli;
  try {
    cli = std::make_unique<httplib::Client>(request.base);
  } catch (const std::exception& e) {
    throw HttpError(request.site + "に接続できませんでした。(" + e.what() + ")");
  }
  if (!cli->is_valid()) throw HttpError(request.site + "のアドレスが正しくありません。");
  cli->enable_server_certificate_verification(true);
  if (!request.caFile.empty()) cli->set_ca_cert_path(request.caFile);
  if (!request.proxyHost.empty()) {
    cli->set_proxy(request.proxyHost, request.proxyPort);
    if (!request.proxyUser.empty())
      cli->set_proxy_basic_auth(request.proxyUser, request.proxyPassword);
  }
  HttpClient::Limits lim = limits();
  if (request.maxBody > 0) lim.maxBody = request.maxBody;
  if (request.deadline.count() > 0) lim.deadline = std::min(lim.deadline, request.deadline);
  auto ex = Run(platform_, status_, *cli, request.pathAndQuery, how, lim, request.stop);
  HttpResponse r;
  r.status = ex->status;
  r.body = std::move(ex->body);
  r.retryAfter = std::move(ex->retryAfter);
  r.contentType = std::move(ex->contentType);
  return r;
}

}  // namespace tavrine
