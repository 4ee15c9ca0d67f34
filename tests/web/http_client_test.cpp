// The client's own rules: which answers are pages, and the body limit at
// its exact edge, with and without a declared length.
#include <gtest/gtest.h>

#include <thread>

#include "web_support.h"

namespace tavrine {
namespace {

using namespace webtest;

const char* const kTooLargeText = "株価サイトからのデータが大きすぎます。";

// A loopback server: /fixed/N and /chunked/N answer N bytes, /status/N
// answers status N with a short body.
class PlainServer {
 public:
  PlainServer() {
    svr_.Get(R"(/fixed/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "text/plain");
    });
    svr_.Get(R"(/chunked/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      const std::size_t n = std::stoul(req.matches[1]);
      res.set_chunked_content_provider(
          "text/plain", [n](std::size_t offset, httplib::DataSink& sink) {
            if (offset >= n) {
              sink.done();
              return true;
            }
            const std::string piece(std::min<std::size_t>(n - offset, 3000), 'x');
            return sink.write(piece.data(), piece.size());
          });
    });
    svr_.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      res.status = std::stoi(req.matches[1]);
      if (res.status >= 300 && res.status < 400) res.set_header("Location", "/fixed/10");
      res.set_content("body", "text/plain");
    });
    port_ = svr_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { svr_.listen_after_bind(); });
    for (int i = 0; i < 5000 && !svr_.is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~PlainServer() {
    svr_.stop();
    thread_.join();
  }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::Server svr_;
  std::thread thread_;
  int port_ = -1;
};

class HttpClientRules : public ::testing::Test {
 protected:
  DataFolder folder;
  RecordingPlatform platform;
  Workspace ws{platform};
  HttpClient http{platform, [this](const std::string& t) { ws.setStatus(t); }};
  PlainServer server;

  // The HttpError text of a GET, empty when it succeeds.
  std::string failure(const std::string& path) {
    try {
      http.Get(server.host(), path);
    } catch (const HttpError& e) {
      return e.what();
    }
    return {};
  }
};

TEST_F(HttpClientRules, BodyOfExactlyTheLimitPassesOneByteMoreFails) {
  ClientLimits limits(std::chrono::seconds(10), 10000);
  for (const std::string kind : {"fixed", "chunked"}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(http.Get(server.host(), "/" + kind + "/10000"), std::string(10000, 'x'));
    EXPECT_EQ(platform.statuses.back(), "切断しました");
    EXPECT_EQ(failure("/" + kind + "/10001"), kTooLargeText);
    EXPECT_EQ(platform.statuses.back(), "接続に失敗しました");
  }
}

TEST_F(HttpClientRules, OnlyTwoHundredsArePages) {
  EXPECT_EQ(failure("/status/203"), "");
  for (int status : {301, 302, 304, 307, 404, 500}) {
    SCOPED_TRACE(status);
    EXPECT_EQ(failure("/status/" + std::to_string(status)),
              "株価サイトがエラーを返しました。(HTTP " + std::to_string(status) + ")");
    EXPECT_EQ(platform.statuses.back(), "接続に失敗しました");
  }
}

TEST(HttpClientLimits, DeclaredLengthOverTheLimitFailsBeforeTheBody) {
  DataFolder folder;
  WriteMarket(folder, "7203", Weekdays(DaysFromCivil(2003, 12, 26), 60));
  RecordingPlatform platform;
  Workspace ws{platform};
  HttpClient http{platform, [&ws](const std::string& t) { ws.setStatus(t); }};
  // The site declares 2^64 - 1 bytes, sends a few and stalls: only the
  // declared length can end the request before the deadline.
  ClientLimits limits(std::chrono::seconds(60));
  quotesite::Options o;
  o.hugeLengthPage = 0;
  LiveSite site(folder, o);
  try {
    http.Get("127.0.0.1:" + std::to_string(site.port()),
             "/t?c=1930&a=9&b=16&f=2003&d=12&e=26&g=d&s=7203&y=0");
    ADD_FAILURE() << "no error";
  } catch (const HttpError& e) {
    EXPECT_STREQ(e.what(), kTooLargeText);
  }
  EXPECT_EQ(platform.statuses, (std::vector<std::string>{"接続しました", "接続に失敗しました"}));
}

}  // namespace
}  // namespace tavrine
