// The J-Quants API client against the stand-in: pages give what one page
// gives, 429 answers are waited out as long as they say and only a few
// times, the key never appears in a message (not even when the server
// echoes it), plain HTTP goes only to loopback, HTTPS verifies the
// server's certificate, and the key's settings file stays private, even
// when the key was written into it by hand; the run's memory and time are
// bounded. The service's own ways: the plan's window of dates named in a
// 400, 5xx answers and dropped connections asked again, gzip, 210, the 403
// texts, a slow first byte, NO_PROXY, Japan's date, rights-issue factors.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>
#include <thread>

#include "../support/build_paths.h"
#include "../support/recording_platform.h"
#include "jquants_support.h"
#include "list/settings_file.h"
#include "store/codec.h"
#include "store/paths.h"
#include "web/jquants_client.h"
#include "web_support.h"

namespace tavrine {
namespace {

using jquantstest::kKey;
using jquantstest::LiveJQuants;
using jquantstest::SiteDay;
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

// The service cuts its pages by size, not by a count of records.
TEST_F(JQuantsClientTest, PagesCutBySizeGiveTheWhole) {
  const sample::Result data = jquantstest::SampleFolder(f_, 6, 30, 0);
  const int day = data.marketDays[0];
  const auto closes = [](const std::vector<JQuantsBar>& bars) {
    std::string all;
    for (const JQuantsBar& b : bars) all += b.code + "=" + b.adjClose + ";";
    return all;
  };
  std::string whole;
  {
    LiveJQuants site(f_);
    whole = closes(Client().BarsOfDay(day));
  }
  jquantssite::Options o;
  o.pageBytes = 600;  // a few records a page
  LiveJQuants site(f_, o);
  EXPECT_EQ(closes(Client().BarsOfDay(day)), whole);
  EXPECT_GT(site.site().barRequests(), 1);
  EXPECT_LT(site.site().barRequests(), 6);
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
    o.rateLimitAt = 1, o.retryAfter = -1;  // no Retry-After (the service's way): two minutes
    LiveJQuants site(f_, o);
    JQuantsClient c = Client();
    EXPECT_FALSE(c.BarsOfDay(day).empty());
    EXPECT_EQ(waits_, std::vector<long long>{120000});
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
  o.certFile = std::string(testing::kTlsDir) + "/server.pem";
  o.keyFile = std::string(testing::kTlsDir) + "/server.key";
  LiveJQuants site(f_, o);
  ASSERT_GT(site.port(), 0);
  JQuantsClient::Options trusted;
  trusted.caFile = std::string(testing::kTlsDir) + "/ca.pem";
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

// The plan's window as the service names it in its 400: learned, and every
// question kept inside it; a day or stock period outside it is not asked.
TEST_F(JQuantsClientTest, ThePlansWindowIsLearnedAndKeptTo) {
  const sample::Result data = jquantstest::SampleFolder(f_, 3, 60, 0);
  const std::vector<int>& d = data.marketDays;
  const std::string code = data.stocks[0].code;
  const auto within = [](const std::vector<JQuantsBar>& bars, int from, int to) {
    for (const JQuantsBar& b : bars)
      if (b.day < from || b.day > to) return false;
    return !bars.empty();
  };
  jquantssite::Options free;
  free.planFrom = SiteDay(d[40]), free.planTo = SiteDay(d[10]);
  {
    // The free plan's form, both dates: the calendar reaching past the end.
    LiveJQuants site(f_, free, "free");
    JQuantsClient c = Client();
    EXPECT_TRUE(c.FreePlan());
    EXPECT_EQ(c.LastDay(d[0]), d[0] - kFreePlanDelayDays);  // nothing learned yet
    const std::vector<int> days = c.TradingDays(d[50], d[0]);
    ASSERT_FALSE(days.empty());
    EXPECT_EQ(days.front(), d[40]);
    EXPECT_EQ(days.back(), d[10]);
    EXPECT_EQ(site.site().refusedByWindow(), 1);
    EXPECT_TRUE(c.window().known);
    EXPECT_FALSE(c.window().openEnd);
    EXPECT_EQ(c.window().from, d[40]);
    EXPECT_EQ(c.window().to, d[10]);
    EXPECT_EQ(c.LastDay(d[0]), d[10]);
    // Known now: a stock's period is cut to it, a day outside it not asked.
    EXPECT_TRUE(within(c.BarsOfStock(code, d[50], d[0]), d[40], d[10]));
    const long asked = site.site().barRequests();
    EXPECT_TRUE(c.BarsOfDay(d[5]).empty());
    EXPECT_TRUE(c.BarsOfDay(d[45]).empty());
    EXPECT_EQ(site.site().barRequests(), asked);
    EXPECT_EQ(site.site().refusedByWindow(), 1);
  }
  {
    // Bars meet the old edge first, then a day inside the delay: each a
    // 400 of its own to a client that knows nothing yet, neither an error.
    LiveJQuants site(f_, free, "free");
    EXPECT_TRUE(within(Client().BarsOfStock(code, d[50], d[20]), d[40], d[20]));
    EXPECT_TRUE(Client().BarsOfDay(d[5]).empty());
    EXPECT_EQ(site.site().refusedByWindow(), 2);
  }
  {
    // A paid plan: the old edge alone ("2016-09-21 ~ ."); after the data an
    // empty 200.
    jquantssite::Options paid;
    paid.planFrom = SiteDay(d[40]), paid.planOpenEnd = true;
    LiveJQuants site(f_, paid);
    JQuantsClient c = Client();
    const std::vector<int> days = c.TradingDays(d[50], d[0] + 7);
    ASSERT_FALSE(days.empty());
    EXPECT_EQ(days.front(), d[40]);
    EXPECT_GT(days.back(), d[0]);  // the calendar's coming days
    EXPECT_TRUE(c.window().openEnd);
    EXPECT_EQ(c.window().from, d[40]);
    EXPECT_FALSE(c.FreePlan());
    EXPECT_EQ(c.LastDay(d[0]), d[0]);
    EXPECT_FALSE(c.BarsOfDay(d[0]).empty());
    EXPECT_TRUE(c.BarsOfDay(d[0] + 3).empty());
    EXPECT_EQ(site.site().refusedByWindow(), 1);
  }
  // Refused again inside the window it named: an error, not a loop.
  httplib::Server odd;
  odd.Get("/v2/markets/calendar", [](const httplib::Request&, httplib::Response& res) {
    res.status = 400;
    res.set_content(
        "{\"message\":\"Your subscription covers the following dates: 2000-01-04 ~ 2030-01-04. "
        "If you want more data, please check other plans:https://jpx-jquants.com/\"}",
        "application/json");
  });
  const int port = odd.bind_to_any_port("127.0.0.1");
  std::thread t([&] { odd.listen_after_bind(); });
  f_.set("TAVRINE_JQUANTS_HOST", "127.0.0.1:" + std::to_string(port));
  JQuantsClient c = Client();
  const std::string e = What([&] { c.TradingDays(d[5], d[0]); });
  odd.stop();
  t.join();
  EXPECT_NE(e.find("HTTP 400: Your subscription covers the following dates: 2000-01-04 ~ "),
            std::string::npos)
      << e;
  EXPECT_EQ(c.requests(), 2);
}

TEST_F(JQuantsClientTest, ServerErrorsAndDroppedConnectionsAreAskedAgain) {
  const sample::Result data = jquantstest::SampleFolder(f_, 2, 30, 0);
  const int day = data.marketDays[0];
  const std::vector<long long> backoff{2000, 4000, 8000};
  for (int status : {500, 502, 503, 504}) {
    waits_.clear();
    jquantssite::Options o;
    o.serverErrorAt = 1, o.serverErrorTimes = 2, o.serverErrorStatus = status;
    LiveJQuants site(f_, o);
    EXPECT_FALSE(Client().BarsOfDay(day).empty()) << status;
    EXPECT_EQ(waits_, (std::vector<long long>{2000, 4000})) << status;
    EXPECT_EQ(site.site().barRequests(), 3) << status;
  }
  {
    waits_.clear();
    jquantssite::Options o;
    o.dropAt = 1, o.dropTimes = 2;
    LiveJQuants site(f_, o);
    EXPECT_FALSE(Client().BarsOfDay(day).empty());
    EXPECT_EQ(waits_, (std::vector<long long>{2000, 4000}));
    EXPECT_EQ(site.site().barRequests(), 3);
  }
  // Past three retries the question fails, naming what went wrong.
  {
    waits_.clear();
    jquantssite::Options o;
    o.serverErrorAt = 1, o.serverErrorTimes = 10, o.serverErrorStatus = 503;
    LiveJQuants site(f_, o);
    const std::string e = What([&] { Client().BarsOfDay(day); });
    EXPECT_NE(e.find("HTTP 503"), std::string::npos) << e;
    EXPECT_EQ(waits_, backoff);
    EXPECT_EQ(site.site().barRequests(), 4);
  }
  {
    waits_.clear();
    jquantssite::Options o;
    o.dropAt = 1, o.dropTimes = 10;
    LiveJQuants site(f_, o);
    const std::string e = What([&] { Client().BarsOfDay(day); });
    EXPECT_NE(e.find("途中で切れました"), std::string::npos) << e;
    EXPECT_EQ(waits_, backoff);
    EXPECT_EQ(site.site().barRequests(), 4);
  }
  // The pause before a retry is a wait like any other: a cancel stops the run.
  jquantssite::Options o;
  o.serverErrorAt = 1;
  LiveJQuants site(f_, o);
  JQuantsClient::Options stop;
  stop.wait = [](std::chrono::milliseconds) { return false; };
  JQuantsClient c = Client(stop);
  EXPECT_THROW(c.BarsOfDay(day), JQuantsCancelled);
  EXPECT_EQ(site.site().barRequests(), 1);
}

TEST_F(JQuantsClientTest, GzipAnswersAndStatus210) {
  const sample::Result data = jquantstest::SampleFolder(f_, 4, 30, 0);
  const int day = data.marketDays[0];
  const std::string code = data.stocks[0].code;
  const auto closes = [](const std::vector<JQuantsBar>& bars) {
    std::string all;
    for (const JQuantsBar& b : bars) all += b.code + "=" + b.adjClose + ";";
    return all;
  };
  std::string plain;
  {
    LiveJQuants site(f_);
    plain = closes(Client().BarsOfDay(day)) +
            closes(Client().BarsOfStock(code, data.marketDays[20], day));
    EXPECT_EQ(site.site().gzipped(), 0);
  }
  jquantssite::Options o;
  o.gzip = true;
  {
    LiveJQuants site(f_, o);
    EXPECT_EQ(closes(Client().BarsOfDay(day)) +
                  closes(Client().BarsOfStock(code, data.marketDays[20], day)),
              plain);
    EXPECT_EQ(site.site().gzipped(), 2);
  }
  {
    // The cap of a page holds for the inflated body: a small answer that
    // inflates past it is refused.
    o.padBytes = 200000;
    LiveJQuants site(f_, o);
    JQuantsClient::Options small;
    small.maxPageBytes = 100000;
    const std::string e = What([&] { Client(small).BarsOfDay(day); });
    EXPECT_NE(e.find("大きすぎます"), std::string::npos) << e;
    EXPECT_FALSE(Client().BarsOfDay(day).empty());
  }
  {
    // A body that says gzip and is none is refused, not read.
    httplib::Server odd;
    odd.Get("/v2/equities/bars/daily", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Content-Encoding", "gzip");
      const auto text = std::make_shared<std::string>("{\"data\":[]}");
      res.set_content_provider(text->size(), "application/octet-stream",
                               [text](std::size_t offset, std::size_t n, httplib::DataSink& sink) {
                                 sink.write(text->data() + offset,
                                            std::min(n, text->size() - offset));
                                 return true;
                               });
    });
    const int port = odd.bind_to_any_port("127.0.0.1");
    std::thread t([&] { odd.listen_after_bind(); });
    f_.set("TAVRINE_JQUANTS_HOST", "127.0.0.1:" + std::to_string(port));
    const std::string e = What([&] { Client().BarsOfDay(day); });
    odd.stop();
    t.join();
    EXPECT_NE(e.find("圧縮されたデータを読めません"), std::string::npos) << e;
  }
  // 210: no data for the question, no error.
  jquantssite::Options none;
  none.noDataAt = 1;
  LiveJQuants site(f_, none);
  JQuantsClient c = Client();
  EXPECT_TRUE(c.BarsOfDay(day).empty());
  EXPECT_FALSE(c.BarsOfDay(day).empty());
  EXPECT_EQ(c.requests(), 2);
}

// Each of the service's 403 texts names its likely cause, the service's
// text inside the sentence; none is asked again.
TEST_F(JQuantsClientTest, TheForbiddenTextsNameTheCause) {
  jquantstest::SampleFolder(f_, 2, 30, 0);
  const struct {
    const char* forbidden;
    const char* cause;
    const char* text;
  } cases[] = {
      {"invalid", "キーが正しいか、期限が切れていないか",
       "The incoming api key is invalid or expired."},
      {"plan", "ご契約のプランでは使えません", "not available on your subscription"},
      {"inactive", "契約が有効ではありません", "no active subscription"},
      {"bare", "キーとプランが正しいか", "(HTTP 403)"},
  };
  for (const auto& k : cases) {
    jquantssite::Options o;
    o.forbidden = k.forbidden;
    LiveJQuants site(f_, o);
    JQuantsClient c = Client();
    const std::string e =
        What([&] { c.TradingDays(DaysFromCivil(2003, 12, 1), DaysFromCivil(2003, 12, 26)); });
    EXPECT_EQ(e.find("J-Quants API "), 0u) << e;
    EXPECT_NE(e.find(k.cause), std::string::npos) << e;
    EXPECT_NE(e.find(k.text), std::string::npos) << e;
    EXPECT_NE(e.find("HTTP 403"), std::string::npos) << e;
    EXPECT_EQ(c.requests(), 1) << k.forbidden;
  }
}

TEST_F(JQuantsClientTest, AWholeMarketsSlowFirstByteIsWaitedFor) {
  const sample::Result data = jquantstest::SampleFolder(f_, 2, 30, 0);
  jquantssite::Options o;
  o.firstByteMs = 1500;  // longer than a read of one second may wait
  LiveJQuants site(f_, o);
  JQuantsClient::Options hasty;
  hasty.readTimeout = 1;
  EXPECT_NE(What([&] { Client(hasty).BarsOfDay(data.marketDays[0]); }), "(no error)");
  EXPECT_FALSE(Client().BarsOfDay(data.marketDays[0]).empty());
  // A stock's own question is not slowed.
  EXPECT_FALSE(Client(hasty)
                   .BarsOfStock(data.stocks[0].code, data.marketDays[5], data.marketDays[0])
                   .empty());
}

// A proxy that counts the connections made to it and answers none.
class CountingProxy {
 public:
  CountingProxy() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    port_ = ntohs(a.sin_port);
    ::listen(fd_, 8);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const int c = ::accept(fd_, nullptr, nullptr);
        if (c < 0) continue;
        ++accepted_;
        ::close(c);
      }
    });
  }
  ~CountingProxy() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  int port() const { return port_; }
  int accepted() const { return accepted_; }

 private:
  int fd_ = -1, port_ = 0;
  std::atomic<int> accepted_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(JQuantsClientTest, TheProxyIsPassedByForNoProxyHosts) {
  CountingProxy proxy;
  f_.set("TAVRINE_JQUANTS_KEY", kKey);
  f_.set("TAVRINE_JQUANTS_HOST", "https://api.example.invalid");
  f_.set("HTTPS_PROXY", "http://127.0.0.1:" + std::to_string(proxy.port()));
  f_.unset("https_proxy");
  webtest::ClientLimits limits(std::chrono::milliseconds(3000));
  const auto asked = [&](const char* noProxy) {
    f_.set("NO_PROXY", noProxy);
    const int before = proxy.accepted();
    What([&] { Client().TradingDays(1, 2); });
    return proxy.accepted() - before;
  };
  // The proxy closes each connection: asked again a few times.
  EXPECT_GT(asked(""), 0);
  EXPECT_GT(asked("localhost, other.example"), 0);
  EXPECT_GT(asked("xample.invalid"), 0);  // a part of a name is no domain
  EXPECT_EQ(asked("localhost, example.invalid"), 0);
  EXPECT_EQ(asked(".example.invalid"), 0);
  EXPECT_EQ(asked("API.example.invalid:443"), 0);
  EXPECT_EQ(asked("*"), 0);
  f_.unset("NO_PROXY");
  f_.set("no_proxy", "example.invalid");
  const int before = proxy.accepted();
  What([&] { Client().TradingDays(1, 2); });
  EXPECT_EQ(proxy.accepted(), before);
}

TEST(JapanToday, IsTheDateInJapanNotTheLocalOne) {
  DataFolder f;
  f.unset("TAVRINE_TODAY");
  const char* tz = std::getenv("TZ");
  const std::string saved = tz ? tz : "";
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
  const int inJapan = Today();
  // Twelve hours behind UTC: the local date is a day behind Japan's most
  // of the day.
  ::setenv("TZ", "<-12>12", 1);
  ::tzset();
  const int japan = JapanToday();
  const int local = Today();
  if (tz)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
  EXPECT_EQ(japan, inJapan);
  EXPECT_GE(japan, local);
  // TAVRINE_TODAY, as the rest of the program, when set.
  f.set("TAVRINE_TODAY", "2003/12/26");
  EXPECT_EQ(JapanToday(), DaysFromCivil(2003, 12, 26));
}

TEST(StandInRecords, CarryRightsIssueAndLargeFactors) {
  DataFolder f;
  const sample::Result data = jquantstest::SampleFolder(f, 2, 30, 0);
  const std::string code = data.stocks[0].code;
  const int rights = data.marketDays[5], reverse = data.marketDays[2];
  jquantssite::Options o;
  o.splits.push_back({code, SiteDay(rights), 0.9437, "3"});
  o.splits.push_back({code, SiteDay(reverse), 50, ""});
  LiveJQuants site(f, o);
  RecordingPlatform p;
  JQuantsClient c(p, LoadJQuantsSettings(), {});
  std::map<int, double> factors;
  for (const JQuantsBar& b : c.BarsOfStock(code, data.marketDays[8], data.marketDays[0]))
    factors[b.day] = b.adjFactor;
  EXPECT_DOUBLE_EQ(factors.at(rights), 0.9437);
  EXPECT_DOUBLE_EQ(factors.at(reverse), 50);
  EXPECT_DOUBLE_EQ(factors.at(data.marketDays[0]), 1);
  // The ex-rights day is marked so ("3"); other days carry null.
  httplib::Client raw("127.0.0.1", site.port());
  const auto res = raw.Get(
      "/v2/equities/bars/daily?code=" + code + "&date=" + jquantssite::IsoDate(SiteDay(rights)),
      {{"x-api-key", kKey}});
  ASSERT_TRUE(res);
  EXPECT_NE(res->body.find("\"ExRT\":\"3\""), std::string::npos) << res->body;
  const auto other = raw.Get(
      "/v2/equities/bars/daily?code=" + code + "&date=" + jquantssite::IsoDate(SiteDay(reverse)),
      {{"x-api-key", kKey}});
  ASSERT_TRUE(other);
  EXPECT_NE(other->body.find("\"ExRT\":null"), std::string::npos) << other->body;
}

}  // namespace
}  // namespace tavrine
