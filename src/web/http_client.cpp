#include "web/http_client.h"

#include <httplib.h>

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
  std::snprintf(buf, sizeof buf, "受信中：%d/%d　byte", static_cast<int>(received), static_cast<int>(total));
  return buf;
}

namespace {

// What the worker hands to the calling thread.
struct Exchange {
  std::mutex m;
  std::condition_variable cv;
  std::deque<std::string> statuses;
  bool done = false;
  bool failed = false;
  std::string error;
  std::string body;

  void post(std::string s) {
    {
      std::lock_guard<std::mutex> lk(m);
      statuses.push_back(std::move(s));
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
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
}

void Fetch(const std::shared_ptr<Exchange>& ex, const std::string& hostPort, const std::string& path) {
  std::string host;
  int port = 80;
  SplitHost(hostPort, host, port);
  httplib::Client cli(host, port);
  cli.set_connection_timeout(HttpClient::kConnectTimeout, 0);
  cli.set_read_timeout(HttpClient::kReadTimeout, 0);
  cli.set_write_timeout(HttpClient::kReadTimeout, 0);
  cli.set_keep_alive(false);
  cli.set_decompress(false);
  cli.set_follow_location(false);

  std::size_t total = 0, received = 0;
  int status = 0;
  bool connected = false;
  std::string body;
  httplib::Headers headers = {{"Accept-Encoding", "identity"}};
  auto onResponse = [&](const httplib::Response& res) {
    status = res.status;
    connected = true;
    if (res.has_header("Content-Length")) {
      try {
        total = static_cast<std::size_t>(std::stoull(res.get_header_value("Content-Length")));
      } catch (...) {
        total = 0;
      }
    }
    if (total > 0) body.reserve(total);
    ex->post("接続しました");
    return true;
  };
  auto onData = [&](const char* data, std::size_t len) {
    const std::size_t before = received / HttpClient::kPacket;
    body.append(data, len);
    received += len;
    // Notified per 4096-byte block, so the texts do not depend on how the
    // network happens to cut the stream.
    for (std::size_t b = before + 1; b <= received / HttpClient::kPacket; ++b)
      ex->post(PacketStatus(b * HttpClient::kPacket, total));
    return true;
  };
  auto res = cli.Get(path, headers, onResponse, onData);

  bool ok = static_cast<bool>(res) && (total == 0 || received == total);
  std::string error;
  if (!res && !connected) {
    error = "株価サイトに接続できませんでした。(" + httplib::to_string(res.error()) + ")";
  } else if (!res || (total != 0 && received != total)) {
    error = "株価サイトからの受信が途中で切れました。";
  } else if (status >= 400) {
    ok = false;
    error = "株価サイトがエラーを返しました。(HTTP " + std::to_string(status) + ")";
  }
  if (ok) {
    if (received % HttpClient::kPacket != 0) ex->post(PacketStatus(received, total == 0 ? received : total));
    ex->post("切断しました");
  } else {
    ex->post("接続に失敗しました");
  }
  {
    std::lock_guard<std::mutex> lk(ex->m);
    ex->failed = !ok;
    ex->error = error;
    ex->body = std::move(body);
    ex->done = true;
  }
  ex->cv.notify_one();
}

}  // namespace

std::string HttpClient::Get(const std::string& hostPort, const std::string& pathAndQuery) {
  auto ex = std::make_shared<Exchange>();
  std::thread worker([ex, hostPort, pathAndQuery] {
    try {
      Fetch(ex, hostPort, pathAndQuery);
    } catch (const std::exception& e) {
      {
        std::lock_guard<std::mutex> lk(ex->m);
        ex->statuses.push_back("接続に失敗しました");
        ex->failed = true;
        ex->error = std::string("株価サイトに接続できませんでした。(") + e.what() + ")";
        ex->done = true;
      }
      ex->cv.notify_one();
    }
  });
  // The worker always ends (its timeouts bound it); join it on every way out.
  struct Join {
    std::thread& t;
    ~Join() {
      if (t.joinable()) t.join();
    }
  } join{worker};

  for (;;) {
    platform_.processEvents();
    std::deque<std::string> batch;
    bool done = false;
    {
      std::unique_lock<std::mutex> lk(ex->m);
      ex->cv.wait_for(lk, std::chrono::milliseconds(10), [&] { return !ex->statuses.empty() || ex->done; });
      batch.swap(ex->statuses);
      done = ex->done;
    }
    for (auto& s : batch) status_(s);
    if (done) break;
  }
  worker.join();
  // Statuses posted between the last drain and done.
  std::deque<std::string> rest;
  {
    std::lock_guard<std::mutex> lk(ex->m);
    rest.swap(ex->statuses);
  }
  for (auto& s : rest) status_(s);
  if (ex->failed) throw HttpError(ex->error);
  return std::move(ex->body);
}

}  // namespace tavrine
