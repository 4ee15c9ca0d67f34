// GET of a whole document from the quote site, or from any HTTP or HTTPS
// server with headers of its own. The request runs on a worker thread while
// the calling thread keeps the window's events flowing; the client's
// notifications arrive on the collection panel's status line, always set
// from the calling thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/platform.h"
#include "store/text.h"

namespace tavrine {

// A GET that could not be completed (no connection, connection dropped,
// timeout, error response). A FileError, so every handler chain reports it the
// standard way.
struct HttpError : FileError {
  using FileError::FileError;
};

// One request of Fetch.
struct HttpRequest {
  std::string base;  // "http://host:port" or "https://host[:port]"
  std::string pathAndQuery;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string site;  // how messages name the server ("J-Quants API")
  // HTTPS: certificates to trust instead of the system's (tests); the
  // server's certificate and host name are always verified.
  std::string caFile;
  std::string proxyHost;  // empty: no proxy
  int proxyPort = 0;
  std::string proxyUser, proxyPassword;
  // Bounds of this request in place of limits() (0: those of limits()).
  std::size_t maxBody = 0;
  std::chrono::milliseconds deadline{0};
  // Seconds a read may wait for the server (0: kReadTimeout). A server that
  // prepares a large answer before its status line needs more.
  int readTimeout = 0;
  // Asks for a gzip-compressed answer (Accept-Encoding: gzip) and inflates
  // it; the inflated body is bounded by maxBody too.
  bool gzip = false;
  // Asked while the answer is awaited; true gives the request up (HttpStopped).
  std::function<bool()> stop;
};

// The connection was closed before the answer was whole (after connecting):
// worth asking again.
struct HttpDropped : HttpError {
  using HttpError::HttpError;
};

// The request's stop hook gave it up.
struct HttpStopped : HttpError {
  using HttpError::HttpError;
};

// A complete answer of any status.
struct HttpResponse {
  int status = 0;
  std::string body;
  std::string retryAfter;  // the Retry-After header, empty when none
  std::string contentType;
};

class HttpClient {
 public:
  // Statuses go to `status` (the collection panel's status line), always
  // from the calling thread; the platform's event pump runs while a page is
  // awaited.
  HttpClient(Platform& platform, std::function<void(const std::string&)> status)
      : platform_(platform), status_(std::move(status)) {}

  // Seconds allowed for connecting and for each read; a dead server becomes a
  // connection failure after that.
  static constexpr int kConnectTimeout = 3;
  static constexpr int kReadTimeout = 5;
  // Bytes of one "packet" of the received-notification.
  static constexpr std::size_t kPacket = 4096;

  // Bounds of every request. A page is about 15 KB, so both leave a wide
  // margin; they exist so that no server can keep a request (and the window
  // waiting on it) going forever or fill the memory.
  struct Limits {
    std::chrono::milliseconds deadline{30000};  // from the start of Get to the last byte
    std::size_t maxBody = 4 * 1024 * 1024;      // bytes of the body
  };
  static Limits limits();
  // Applies to the requests started afterwards (tests shorten the deadline).
  static void setLimits(const Limits& l);

  // GET http://host:port + pathAndQuery; returns the body as received. Only a
  // 2xx answer is a document; redirects are not followed.
  // Notifications: "接続しました" when the response starts, one
  // "受信中：%d/%d　byte" per 4096 bytes received (and one for the rest),
  // "切断しました" when the document is complete, "接続に失敗しました" when
  // the request fails (also past the deadline or the body limit); then throws
  // HttpError.
  std::string Get(const std::string& hostPort, const std::string& pathAndQuery);

  // GET of request.base + request.pathAndQuery with the request's headers.
  // An answer of any status is returned whole (within the same deadline and
  // body limit); redirects are not followed. A request that cannot be
  // completed throws HttpError, its message naming request.site. The same
  // notifications as Get.
  HttpResponse Fetch(const HttpRequest& request);

 private:
  Platform& platform_;
  std::function<void(const std::string&)> status_;
};

// The received-notification text.
std::string PacketStatus(std::size_t received, std::size_t total);

}  // namespace tavrine
