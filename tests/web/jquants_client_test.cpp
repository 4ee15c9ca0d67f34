// The J-Quants API client against the stand-in: pages give what one page
// gives, 429 answers are waited out as long as they say and only a few
// times, the key never appears in a message (not even when the server
// echoes it), plain HTTP goes only to loopback, HTTPS verifies the
// server's certificate, and the key's settings file stays private, even
// when the key was written into it by hand; the run's memory and time are
// bounded.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <chrono>

#include "../support/recording_platform.h"
#include "jquants_support.h"
#include "list/settings_file.h"
#include "store/codec.h"
#include "web/jquants_client.h"
#include "web_support.h"

namespace tavrine {
namespace {

using jquantstest::kKey;
using jquantstest::LiveJQuants;
using testing::DataFolder;
using testing::RecordingPlatform;

class JQuantsClientTest : public ::testing::Test {
 protected:
  JQuantsClient Client(JQuantsClient::Options o = {}) {
    if (!o.wait)
      o.wait = [this](std::chrono::milliseconds ms) {
        waits_.push_back(ms.count());
        return true;
      };
    return JQuantsClient(p_, LoadJQuantsSettings(), o);
  }
  static std::string What(const std::function<void()>& f) {
    try {
      f();
    } catch (const JQuantsError& e) {
      return e.what();
    }
    return "(no error)";
  }

  DataFolder f_;
  RecordingPlatform p_;
  std::vector<long long> waits_;
};

TEST_F(JQuantsClientTest, PagesGiveWhatOnePageGives) {
  const sample::Result data = jquantstest::SampleFolder(f_, 5, 60, 3);
  const int from = data.marketDays[20], to = data.marketDays[0];
  const std::string code = data.stocks[0].code;
  const auto ask = [&](JQuantsClient& c) {
    std::string all;
    for (int d : c.TradingDays(from - 5, to + 5)) all += DateToStr(d) + ";";
    for (const JQuantsBar& b : c.BarsOfDay(data.marketDays[1]))
      all += b.code + "=" + b.adjClose + ";";
    for (const JQuantsBar& b : c.BarsOfStock(code, from, to)) all += DateToStr(b.day) + b.adjClose;
    for (const auto& [k, v] : c.Names()) all += k + v + ";";
    return all;
  };
  std::string whole, paged;
  int wholeRequests = 0;
  {
    LiveJQuants site(f_);
    JQuantsClient c = Client();
    whole = ask(c);
    wholeRequests = c.requests();
  }
  jquantssite::Options o;
  o.pageSize = 3;
  LiveJQuants site(f_, o);
  JQuantsClient c = Client();
  paged = ask(c);
  EXPECT_EQ(paged, whole);
  EXPECT_GT(c.requests(), wholeRequests + 5);
  // The calendar's weekdays beyond the data are the coming trading days.
  EXPECT_NE(whole.find(DateToStr(to + 3) + ";"), std::string::npos);  // the Monday after
  EXPECT_NE(whole.find(data.stocks[0].code + data.stocks[0].name), std::string::npos);
  EXPECT_TRUE(waits_.empty());  // a loopback stand-in is never waited for
}

TEST_F(JQuantsClientTest, RateLimitsAreWaitedOutAFewTimesAtMost) {
  const sample::Result data = jquantstest::SampleFolder(f_, 2, 30, 0);
  const int day = data.marketDays[0];
  {
    jquantssite::Options o;
    o.rateLimitAt = 1, o.rateLimitTimes = 2, o.retryAfter = 7;
    LiveJQuants site(f_, o);
    JQuantsClient c = Client();
    EXPECT_FALSE(c.BarsOfDay(day).empty());
    EXPECT_EQ(waits_, (std::vector<long long>{7000, 7000}));
  }
  waits_.clear();
  {
    jquantssite::Options o;
    o.rateLimitAt = 1, o.retryAfter = -1;  // no Retry-After: a minute
    LiveJQuants site(f_, o);
    JQuantsClient c = Client();
    EXPECT_FALSE(c.BarsOfDay(day).empty());
    EXPECT_EQ(waits_, std::vector<long long>{60000});
  }
  waits_.clear();
  {
    jquantssite::Options o;
    o.rateLimitAt = 1, o.rateLimitTimes = 50, o.retryAfter = 100000;  // longer than allowed
    LiveJQuants site(f_, o);
    JQuantsClient c = Client();
    EXPECT_NE(What([&] { c.BarsOfDay(day); }).find("HTTP 429"), std::string::npos);
    EXPECT_EQ(waits_, (std::vector<long long>{300000, 300000, 300000}));
    EXPECT_EQ(site.site().barRequests(), 4);
  }
  // A cancel during the wait stops the run.
  jquantssite::Options o;
  o.rateLimitAt = 1;
  LiveJQuants site(f_, o);
  JQuantsClient::Options stop;
  stop.wait = [](std::chrono::milliseconds) { return false; };
  JQuantsClient c = Client(stop);
  EXPECT_THROW(c.BarsOfDay(day), JQuantsCancelled);
}

TEST_F(JQuantsClientTest, TheKeyIsNeverShown) {
  // A server that puts the key it was sent into its error message.
  httplib::Server echo;
  echo.Get("/v2/markets/calendar", [](const httplib::Request& req, httplib::Response& res) {
    res.status = 403;
    res.set_content("{\"message\":\"key " + req.get_header_value("x-api-key") + " is expired\"}",
                    "application/json");
  });
  const int port = echo.bind_to_any_port("127.0.0.1");
  std::thread t([&] { echo.listen_after_bind(); });
  f_.set("TAVRINE_JQUANTS_HOST", "127.0.0.1:" + std::to_string(port));
  f_.set("TAVRINE_JQUANTS_KEY", kKey);
  const std::string e = What([&] { Client().TradingDays(1, 2); });
  echo.stop();
  t.join();
  EXPECT_EQ(e.find(kKey), std::string::npos) << e;
  EXPECT_NE(e.find("key ******** is expired"), std::string::npos) << e;
  EXPECT_NE(e.find("HTTP 403"), std::string::npos) << e;

  // A key that is no header value is refused before any request, unshown.
  f_.set("TAVRINE_JQUANTS_KEY", std::string(kKey) + "\r\nX-Other: 1");
  const std::string bad = What([&] { Client().TradingDays(1, 2); });
  EXPECT_EQ(bad.find(kKey), std::string::npos) << bad;
  EXPECT_NE(bad.find("使えない文字"), std::string::npos) << bad;
}

TEST_F(JQuantsClientTest, PlainHttpOnlyToLoopback) {
  f_.set("TAVRINE_JQUANTS_KEY", kKey);
  f_.set("TAVRINE_JQUANTS_HOST", "http://example.invalid");
  EXPECT_NE(What([&] { Client().TradingDays(1, 2); }).find("https"), std::string::npos);
  // A host without a scheme that is not loopback is asked over HTTPS.
  f_.set("TAVRINE_JQUANTS_HOST", "127.0.0.2.invalid:1");
  webtest::ClientLimits limits(std::chrono::milliseconds(3000));
  EXPECT_NE(What([&] { Client().TradingDays(1, 2); }).find("接続できませんでした"),
            std::string::npos);
  EXPECT_FALSE(IsLoopbackHost("127.0.0.2.invalid:1"));
  EXPECT_TRUE(IsLoopbackHost("127.0.0.1:8080"));
  EXPECT_TRUE(IsLoopbackHost("https://localhost:1"));
  EXPECT_TRUE(IsLoopbackHost("[::1]:80"));
  EXPECT_FALSE(IsLoopbackHost("api.jquants.com"));
  EXPECT_FALSE(IsLoopbackHost("localhost.example.com"));
}

TEST_F(JQuantsClientTest, HttpsVerifiesTheServersCertificate) {
  const sample::Result data = jquantstest::SampleFolder(f_, 2, 30, 0);
  jquantssite::Options o;
  o.certFile = TAVRINE_TEST_TLS_DIR "/server.pem";
  o.keyFile = TAVRINE_TEST_TLS_DIR "/server.key";
  LiveJQuants site(f_, o);
  ASSERT_GT(site.port(), 0);
  JQuantsClient::Options trusted;
  trusted.caFile = TAVRINE_TEST_TLS_DIR "/ca.pem";
  EXPECT_FALSE(Client(trusted).BarsOfDay(data.marketDays[0]).empty());
  // The system's certificates do not know the test authority.
  const std::string e = What([&] { Client().BarsOfDay(data.marketDays[0]); });
  EXPECT_NE(e.find("J-Quants API"), std::string::npos) << e;
  EXPECT_EQ(site.site().barRequests(), 1);
}

TEST_F(JQuantsClientTest, TheSettingsFileKeepsTheKeyPrivate) {
  f_.unset("TAVRINE_JQUANTS_KEY");
  f_.unset("TAVRINE_JQUANTS_PLAN");
  f_.writeLines("tavrine.ini", {"[list]", "maintainer=import", "[update]", "plan=free"});
  ::chmod(f_.path("tavrine.ini").c_str(), 0644);
  SaveJQuantsSettings(kKey, "Light");
  struct stat st {};
  ASSERT_EQ(::stat(f_.path("tavrine.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadLines(f_.path("tavrine.ini").string()),
            (std::vector<std::string>{"[list]", "maintainer=import", "[update]",
                                      "key=" + std::string(kKey), "plan=light"}));
  EXPECT_EQ(LoadJQuantsSettings().key, kKey);
  EXPECT_EQ(LoadJQuantsSettings().plan, "light");
  f_.set("TAVRINE_JQUANTS_KEY", "from-the-environment");
  EXPECT_EQ(LoadJQuantsSettings().key, "from-the-environment");
  // A later save of the file by the import keeps it private.
  WriteSettings("list", {{"maintainer", "import"}, {"other", "1"}});
  ASSERT_EQ(::stat(f_.path("tavrine.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A new file is private from the start.
  f_.remove("tavrine.ini");
  SaveJQuantsSettings("k", "premium");
  ASSERT_EQ(::stat(f_.path("tavrine.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  try {
    SaveJQuantsSettings("two words", "free");
    ADD_FAILURE();
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()).find("two words"), std::string::npos);
  }
  EXPECT_THROW(SaveJQuantsSettings("k", "gold"), std::invalid_argument);
}

TEST_F(JQuantsClientTest, NearCopiesOfTheKeyAreMaskedToo) {
  // A server that echoes pieces of the key it was sent.
  const std::string key = kKey;  // "sekret-KEY-2718"
  httplib::Server echo;
  echo.Get("/v2/markets/calendar", [&](const httplib::Request&, httplib::Response& res) {
    res.status = 400;
    res.set_content("{\"message\":\"a " + key.substr(0, 7) + " b " + key.substr(4) + " c " +
                        key.substr(0, 14) + "9 d " + key.substr(7, 8) + "\"}",
                    "application/json");
  });
  const int port = echo.bind_to_any_port("127.0.0.1");
  std::thread t([&] { echo.listen_after_bind(); });
  f_.set("TAVRINE_JQUANTS_HOST", "127.0.0.1:" + std::to_string(port));
  f_.set("TAVRINE_JQUANTS_KEY", kKey);
  const std::string e = What([&] { Client().TradingDays(1, 2); });
  echo.stop();
  t.join();
  // Runs of 8 characters of the key or more are masked; a shorter one is not the key.
  EXPECT_NE(e.find("a sekret- b ******** c ********9 d ********)"), std::string::npos) << e;
}

TEST_F(JQuantsClientTest, AKeyWrittenByHandIsMadePrivate) {
  f_.unset("TAVRINE_JQUANTS_KEY");
  struct stat st {};
  const auto mode = [&] {
    EXPECT_EQ(::stat(f_.path("tavrine.ini").c_str(), &st), 0);
    return st.st_mode & 0777;
  };
  // No key: the file is left as it is.
  f_.writeLines("tavrine.ini", {"[update]", "plan=free", "key="});
  ::chmod(f_.path("tavrine.ini").c_str(), 0644);
  EXPECT_TRUE(LoadJQuantsSettings().key.empty());
  EXPECT_EQ(mode(), 0644u);
  // A key typed into the file: the next read of the settings makes it private,
  // even while the environment gives another key.
  f_.writeLines("tavrine.ini", {"[update]", "key=" + std::string(kKey)});
  ::chmod(f_.path("tavrine.ini").c_str(), 0644);
  f_.set("TAVRINE_JQUANTS_KEY", "from-the-environment");
  EXPECT_EQ(LoadJQuantsSettings().key, "from-the-environment");
  EXPECT_EQ(mode(), 0600u);
  // So does any other read of the file, as the start-up's.
  ::chmod(f_.path("tavrine.ini").c_str(), 0604);
  EXPECT_TRUE(ReadSetting("list", "maintainer").empty());
  EXPECT_EQ(mode(), 0600u);
  // Any save of a file that holds a key makes it private.
  ::chmod(f_.path("tavrine.ini").c_str(), 0640);
  WriteSettings("list", {{"maintainer", "import"}});
  EXPECT_EQ(mode(), 0600u);
  EXPECT_EQ(ReadSetting("update", "key"), kKey);
}

TEST_F(JQuantsClientTest, BoundsOfTheRun) {
  const sample::Result data = jquantstest::SampleFolder(f_, 5, 60, 3);
  const std::string code = data.stocks[0].code;
  {
    // The fields kept of all the pages of one question are bounded.
    jquantssite::Options o;
    o.pageSize = 4;
    LiveJQuants site(f_, o);
    JQuantsClient::Options small;
    small.maxKeptBytes = 2000;
    JQuantsClient c = Client(small);
    const std::string e =
        What([&] { c.BarsOfStock(code, data.marketDays[59], data.marketDays[0]); });
    EXPECT_NE(e.find("J-Quants API からのデータが多すぎます"), std::string::npos) << e;
    EXPECT_LT(site.site().barRequests(), 15);
    // Within the bound, the same question is answered.
    EXPECT_GT(Client().BarsOfStock(code, data.marketDays[59], data.marketDays[0]).size(), 40u);
  }
  {
    // A pagination key is sent back and remembered: a huge one is refused.
    httplib::Server odd;
    odd.Get("/v2/markets/calendar", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("{\"data\":[],\"pagination_key\":\"" + std::string(5000, 'k') + "\"}",
                      "application/json");
    });
    const int port = odd.bind_to_any_port("127.0.0.1");
    std::thread t([&] { odd.listen_after_bind(); });
    f_.set("TAVRINE_JQUANTS_HOST", "127.0.0.1:" + std::to_string(port));
    const std::string e = What([&] { Client().TradingDays(1, 2); });
    odd.stop();
    t.join();
    EXPECT_NE(e.find("pagination_key が長すぎます"), std::string::npos) << e;
  }
  // A wait for the service's limit that would outlast the run fails at once.
  jquantssite::Options o;
  o.rateLimitAt = 1, o.retryAfter = 7;
  LiveJQuants site(f_, o);
  JQuantsClient::Options brief;
  brief.runLimit = std::chrono::milliseconds(5000);
  JQuantsClient c = Client(brief);
  const std::string e = What([&] { c.BarsOfDay(data.marketDays[0]); });
  EXPECT_NE(e.find("5秒 の制限時間内に終わりませんでした"), std::string::npos) << e;
  EXPECT_TRUE(waits_.empty());
}

}  // namespace
}  // namespace tavrine
