// 一括更新 against the in-process stand-in of the J-Quants API: new days on
// top with the right closes through pages and a 429, the calendar and code
// list in step, a split's older days adjusted and logged, a stock held by
// code alone named, a delisted stock's history kept, a suspended stock's
// days given the close before, days not delivered yet,
// and every failure (wrong key, HTML answer, cut body, dead host, endless
// 429s, a dripping answer, a cancel) leaving every file as it was, with the
// key never shown; days of nulls only skipped, a delivered day without the
// list's stocks kept blank, records sent twice, a master that fails, large
// and endless pages, the run's time limit, and a signal ending the driver;
// every record of the market the run brought kept in the price store.
// The service's own ways: the plan's window (free and paid), 429 without
// Retry-After waited in steps, 5xx answers, dropped connections, gzip, 210
// and its 403 texts.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>
#include <utility>

#include "../support/build_paths.h"
#include "../support/recording_platform.h"
#include "../web/jquants_support.h"
#include "../web/web_support.h"
#include "app/update.h"
#include "app/workspace.h"
#include "list/list_edit.h"
#include "list/placement.h"
#include "store/codec.h"
#include "store/price_store.h"

namespace tavrine {
namespace {

using jquantstest::kKey;
using jquantstest::LiveJQuants;
using jquantstest::SiteDay;
using testing::DataFolder;
using testing::FileBytes;
using testing::ReadFileBytes;
using testing::RecordingPlatform;
using testing::WaitingPlatform;

class UpdateTest : public ::testing::Test {
 protected:
  // The sample folder, the list `lag` days behind, and a started workspace.
  void Start(int stocks = 6, int days = 300, int lag = 4) {
    data_ = jquantstest::SampleFolder(f_, stocks, days, lag);
    ws_ = std::make_unique<Workspace>(p_);
    Event ev;
    ws_->dispatch("Button52", ev);
    p_.messages.clear(), p_.errors.clear(), p_.statuses.clear();
  }

  // Runs the update; waits are recorded, never slept.
  UpdateSummary Update(UpdateHooks hooks = {}) {
    if (!hooks.wait)
      hooks.wait = [this](std::chrono::milliseconds ms) {
        waits_.push_back(ms.count());
        return true;
      };
    return UpdateList(*ws_, hooks);
  }

  // The bytes of every file an update may write, and the backups' names.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> out =
        FileBytes(f_, {"デ-タ一覧.csv", "tavrine/hizuke.csv", "listwerk/kabuka/code.txt",
                       "tavrine.ini", "tavrine/adjust.log"});
    for (const std::string& b : StockListBackups()) out["backup " + b] = "";
    return out;
  }

  // Nothing the program showed holds the key.
  void ExpectKeyNeverShown() const {
    for (const auto* texts : {&p_.messages, &p_.errors, &p_.statuses, &p_.progresses})
      for (const std::string& t : *texts) EXPECT_EQ(t.find(kKey), std::string::npos) << t;
  }

  const sample::Stock& StockInColumn(int c) const {
    for (const sample::Stock& s : data_.stocks)
      if (s.column == c) return s;
    throw std::runtime_error("no stock in that column");
  }

  // The market's close of a stock on market day k (0 = the newest), as the list writes it.
  static std::string Close(const sample::Stock& s, int k) {
    return s.close[static_cast<std::size_t>(k)] < 0
               ? std::string(" ")
               : sample::PriceText(s.close[static_cast<std::size_t>(k)]);
  }

  int Day(int k) const { return data_.marketDays[static_cast<std::size_t>(k)]; }

  DataFolder f_;
  RecordingPlatform p_;
  sample::Result data_;
  std::unique_ptr<Workspace> ws_;
  std::vector<long long> waits_;
};

TEST_F(UpdateTest, NewDaysComeOnTopThroughPagesAndARateLimit) {
  Start();
  jquantssite::Options o;
  o.pageSize = 2;
  o.rateLimitAt = 3;
  o.retryAfter = 7;
  LiveJQuants site(f_, o);
  const WorkTable before = ws_->StockList;

  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 4);
  EXPECT_EQ(waits_, std::vector<long long>{7000});
  // Six stocks on two-record pages: more requests than days.
  EXPECT_GT(site.site().barRequests(), 4 * 3);
  ASSERT_EQ(p_.messages.size(), 1u);
  EXPECT_EQ(p_.messages[0].substr(0, p_.messages[0].find('\r')),
            "一括更新完了: 2003/12/26 まで 4日分、更新 " + IntToStr(s.stocks) + "銘柄");

  const WorkTable& list = ws_->StockList;
  for (int r = 1; r <= 4; ++r) EXPECT_EQ(list.cell(0, r), DateToStr(Day(r - 1)));
  for (int c = 1; c <= 6; ++c) {
    const sample::Stock& st = StockInColumn(c);
    for (int r = 1; r <= 4; ++r)
      if (st.close[static_cast<std::size_t>(r - 1)] >= 0)
        EXPECT_EQ(list.cell(c, r), Close(st, r - 1)) << "column " << c << " row " << r;
    // The days held before stay as they were, one row further down each new day.
    for (int r = 1; r <= 296; ++r) ASSERT_EQ(list.cell(c, r + 4), before.cell(c, r));
  }
  // The calendar follows the list; the code list is written where its folder is.
  const auto hizuke = ReadLines(f_.path("tavrine/hizuke.csv").string());
  ASSERT_GT(hizuke.size(), 5u);
  for (int r = 1; r <= 5; ++r)
    EXPECT_EQ(hizuke[static_cast<std::size_t>(r)].rfind(list.cell(0, r), 0), 0u) << r;
  EXPECT_EQ(ws_->DateTable.cell(0, 1), "2003/12/26");
  EXPECT_EQ(ReadFileBytes(f_.path("listwerk/kabuka/code.txt")), CodeText(list, 6));
  ASSERT_FALSE(StockListBackups().empty());
  EXPECT_NE(StockListBackups().front().find("update"), std::string::npos);
  EXPECT_TRUE(site.site().keysRight());
  ExpectKeyNeverShown();

  // Again: nothing new, nothing written.
  const auto files = Files();
  p_.messages.clear();
  const UpdateSummary again = Update();
  EXPECT_EQ(again.days, 0);
  ASSERT_EQ(p_.messages.size(), 1u);
  EXPECT_EQ(p_.messages[0], "デ-タ一覧は最新です (2003/12/26 まで)");
  EXPECT_EQ(Files(), files);
}

TEST_F(UpdateTest, ASplitAdjustsTheOlderDaysAndIsLogged) {
  Start();
  const sample::Stock& st = StockInColumn(1);
  jquantssite::Options o;
  o.splits.push_back({st.code, SiteDay(Day(1)), 0.5, ""});
  LiveJQuants site(f_, o);
  const WorkTable before = ws_->StockList;

  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  const WorkTable& list = ws_->StockList;
  // New days: the adjusted closes, halved before the split and after it alike.
  for (int r = 1; r <= 4; ++r) {
    const long double market = StrToFloat(Close(st, r - 1));
    EXPECT_EQ(StrToFloat(list.cell(1, r)), std::round(market * 0.5L * 10) / 10) << r;
  }
  // Older days: halved exactly, as the import scales them.
  int oldest = 0;
  for (int r = 1; r <= 300; ++r) {
    if (IsBlank(before.cell(1, r))) continue;
    EXPECT_EQ(list.cell(1, r + 4), FloatToStr(StrToFloat(before.cell(1, r)) / 2)) << r;
    oldest = r;
  }
  // The other stocks are not touched.
  for (int r = 1; r <= 296; ++r) ASSERT_EQ(list.cell(2, r + 4), before.cell(2, r));
  ASSERT_EQ(s.adjustments.size(), 1u);
  EXPECT_EQ(s.adjustments[0].num, 1);
  EXPECT_EQ(s.adjustments[0].den, 2);
  EXPECT_NE(p_.messages.at(0).find(st.code + ": 分割調整: 1/2, " + before.cell(0, 1) + " 以前"),
            std::string::npos);
  const std::string log = Cp932ToUtf8(ReadFileBytes(f_.path("tavrine/adjust.log")));
  EXPECT_NE(log.find("," + st.code + ",1/2," + before.cell(0, oldest) + "," + before.cell(0, 1) +
                     ",\"J-Quants API\","),
            std::string::npos)
      << log;
}

TEST_F(UpdateTest, ARightsIssueIsAppliedAndAFactorTheListCannotFollowRefusesItsStockAlone) {
  // The service's rights issue: ExRT "3" and an arbitrary factor; a factor
  // past 1000 on another stock.
  Start();
  const sample::Stock& rights = StockInColumn(1);
  const sample::Stock& odd = StockInColumn(2);
  jquantssite::Options o;
  o.splits.push_back({rights.code, SiteDay(Day(1)), 0.9437, "3"});
  o.splits.push_back({odd.code, SiteDay(Day(2)), 1001, ""});
  LiveJQuants site(f_, o);
  const WorkTable before = ws_->StockList;

  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  ASSERT_EQ(s.days, 4);
  const WorkTable& list = ws_->StockList;
  // The older closes times the factor, rounded to one decimal half up as
  // the service rounds its adjusted closes: in whole units of 0.000001 yen,
  // close (in sen) x 9437.
  int ties = 0;
  for (int r = 1; r <= 300; ++r) {
    if (IsBlank(before.cell(1, r))) continue;
    const long long sen = std::llround(StrToFloat(before.cell(1, r)) * 100);
    const long long tenths = (sen * 9437 + 50000) / 100000;
    ties += (sen * 9437) % 100000 == 50000;
    EXPECT_EQ(list.cell(1, r + 4), FloatToStr(tenths / 10.0L)) << r << " " << before.cell(1, r);
  }
  EXPECT_GT(ties, 0);  // the half-up rounding is met at least once
  // The refused stock keeps its column; the new days have no close of it.
  for (int r = 1; r <= 4; ++r) EXPECT_TRUE(IsBlank(list.cell(2, r))) << r;
  for (int r = 1; r <= 296; ++r) ASSERT_EQ(list.cell(2, r + 4), before.cell(2, r));
  EXPECT_FALSE(IsBlank(list.cell(3, 1)));
  ASSERT_EQ(s.adjustments.size(), 1u);
  const std::string& message = p_.messages.at(0);
  EXPECT_NE(message.find(rights.code + ": 株主割当調整: 0.9437, " + before.cell(0, 1) + " 以前"),
            std::string::npos)
      << message;
  EXPECT_NE(message.find(odd.code + ": " + DateToStr(Day(2)) +
                         " の調整係数 (1001) は扱えません。この銘柄は更新しませんでした"),
            std::string::npos)
      << message;
  const std::string log = Cp932ToUtf8(ReadFileBytes(f_.path("tavrine/adjust.log")));
  EXPECT_NE(log.find("," + rights.code + ",0.9437,"), std::string::npos) << log;
  EXPECT_NE(log.find(",株主割当\r\n"), std::string::npos) << log;
}

TEST_F(UpdateTest, NamesFromTheMasterDelistedAndSuspendedStocks) {
  Start();
  const sample::Stock& named = StockInColumn(2);
  const sample::Stock& nameless = StockInColumn(3);
  const sample::Stock& delisted = StockInColumn(4);
  const sample::Stock& suspended = StockInColumn(5);
  ws_->StockList.set(2, 0, named.code);
  ws_->StockList.set(3, 0, nameless.code + " ");
  jquantssite::Options o;
  o.nameless.insert(nameless.code);
  o.delisted[delisted.code] = SiteDay(data_.marketDays[4]);  // the list's newest day
  o.suspended[suspended.code] = {SiteDay(Day(2)), SiteDay(Day(1))};
  LiveJQuants site(f_, o);
  const WorkTable before = ws_->StockList;

  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  const WorkTable& list = ws_->StockList;
  EXPECT_EQ(list.cell(2, 0), named.code + " " + named.name);
  EXPECT_EQ(list.cell(3, 0), nameless.code + " ");
  EXPECT_NE(p_.messages.at(0).find(named.code + ": 見出しを「" + named.code + " " + named.name +
                                   "」にしました"),
            std::string::npos);
  for (int r = 1; r <= 4; ++r) EXPECT_EQ(list.cell(4, r), " ") << r;
  for (int r = 1; r <= 296; ++r) ASSERT_EQ(list.cell(4, r + 4), before.cell(4, r));
  EXPECT_EQ(list.cell(2, 1), Close(named, 0));
  // Suspended for two days (records with nulls): the close before them.
  ASSERT_NE(Close(suspended, 3), " ");
  EXPECT_EQ(list.cell(5, 1), Close(suspended, 0));
  EXPECT_EQ(list.cell(5, 2), Close(suspended, 3));
  EXPECT_EQ(list.cell(5, 3), Close(suspended, 3));
  EXPECT_EQ(s.filled, 2);
  EXPECT_EQ(s.stocks, 5);
  // The saved list holds the name too.
  EXPECT_NE(
      Cp932ToUtf8(ReadFileBytes(f_.path("デ-タ一覧.csv"))).find(named.code + " " + named.name),
      std::string::npos);
}

TEST_F(UpdateTest, DaysNotDeliveredYetStopTheRunAfterTheDaysBefore) {
  Start();
  jquantssite::Options o;
  o.newest = SiteDay(Day(2));
  {
    LiveJQuants site(f_, o);
    const UpdateSummary s = Update();
    ASSERT_TRUE(s.failure.empty()) << s.failure;
    EXPECT_EQ(s.days, 2);
    EXPECT_EQ(s.undelivered, Day(1));
    EXPECT_EQ(ws_->StockList.cell(0, 1), DateToStr(Day(2)));
    ASSERT_EQ(p_.messages.size(), 1u);
    const std::string& m = p_.messages[0];
    EXPECT_EQ(m.substr(0, m.find('\r')),
              "一括更新完了: " + DateToStr(Day(2)) + " まで 2日分、更新 6銘柄");
    EXPECT_EQ(m.substr(m.rfind('\r') + 1),
              "最新のデータはまだ配信されていません (" + DateToStr(Day(2)) + " まで)");
    // The request of the day after was the last new day asked; then the
    // list's newest day, to see whether its closes moved.
    EXPECT_EQ(site.site().barRequests(), 4);
  }
  // Nothing new delivered: nothing written, the same line alone.
  LiveJQuants site(f_, o);
  const auto files = Files();
  p_.messages.clear();
  const UpdateSummary s = Update();
  EXPECT_EQ(s.days, 0);
  ASSERT_EQ(p_.messages.size(), 1u);
  EXPECT_EQ(p_.messages[0],
            "最新のデータはまだ配信されていません (" + DateToStr(Day(2)) + " まで)");
  EXPECT_EQ(Files(), files);
}

TEST_F(UpdateTest, AHolidayOfTheCalendarIsSkipped) {
  Start();
  jquantssite::Options o;
  o.holidays.insert(SiteDay(Day(2)));
  LiveJQuants site(f_, o);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 3);
  EXPECT_EQ(s.undelivered, 0);
  EXPECT_EQ(ws_->StockList.cell(0, 2), DateToStr(Day(1)));
  EXPECT_EQ(ws_->StockList.cell(0, 3), DateToStr(Day(3)));
  // Three new days and the list's newest.
  EXPECT_EQ(site.site().barRequests(), 4);
}

TEST_F(UpdateTest, FewStocksOverManyDaysAreFetchedByStock) {
  Start(2, 300, 12);
  LiveJQuants site(f_);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 12);
  EXPECT_EQ(site.site().barRequests(), 2);
  for (int c = 1; c <= 2; ++c)
    for (int r = 1; r <= 12; ++r)
      if (StockInColumn(c).close[static_cast<std::size_t>(r - 1)] >= 0)
        EXPECT_EQ(ws_->StockList.cell(c, r), Close(StockInColumn(c), r - 1));
  // The stocks' records are kept in the price store as well.
  for (int c = 1; c <= 2; ++c) {
    int traded = 0;
    for (int k = 0; k < 12; ++k) traded += StockInColumn(c).close[static_cast<std::size_t>(k)] >= 0;
    EXPECT_EQ(static_cast<int>(ReadStoredBars(PriceStorePath(), StockInColumn(c).code).size()),
              traded);
  }
}

// By day, every record of the market is kept in the price store as traded
// (not only the list's stocks): the raw prices, the volume, the day's
// split factor; a stock's day of nulls adds no row.
TEST_F(UpdateTest, TheWholeMarketsRecordsAreKeptInThePriceStore) {
  Start();
  const sample::Stock& split = StockInColumn(1);
  const sample::Stock& halted = StockInColumn(2);
  jquantssite::Options o;
  o.splits.push_back({split.code, SiteDay(Day(1)), 0.5, ""});
  o.suspended[halted.code] = {SiteDay(Day(2))};
  LiveJQuants site(f_, o);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  ASSERT_EQ(s.days, 4);

  int rows = 0, marketOnly = 0;
  for (const auto& e : std::filesystem::directory_iterator(f_.path("market"))) {
    const std::string code = e.path().stem().string();
    if (code.size() != 4) continue;
    std::map<int, StoredBar> stored;
    for (StoredBar& b : ReadStoredBars(PriceStorePath(), code)) stored[b.day] = b;
    int expected = 0;
    for (const std::string& line : ReadLines(e.path().string())) {
      // date, open, high, low, close, volume, adjusted close
      std::vector<double> v;
      std::size_t from = line.find(',');
      int day = 0;
      if (from == std::string::npos || !TryParseDate(line.substr(0, from), day) || day < Day(3))
        continue;
      while (from != std::string::npos) {
        v.push_back(std::stod(line.substr(from + 1)));
        from = line.find(',', from + 1);
      }
      ASSERT_EQ(v.size(), 6u) << line;
      SCOPED_TRACE(code + " " + line);
      const auto it = stored.find(day);
      if (code == halted.code && day == Day(2)) {
        EXPECT_EQ(it, stored.end());
        continue;
      }
      ++expected;
      ASSERT_NE(it, stored.end());
      const StoredBar& b = it->second;
      const double raw = code == split.code && day >= Day(1) ? 0.5 : 1;
      EXPECT_DOUBLE_EQ(*b.open, v[0] * raw);
      EXPECT_DOUBLE_EQ(*b.high, v[1] * raw);
      EXPECT_DOUBLE_EQ(*b.low, v[2] * raw);
      EXPECT_DOUBLE_EQ(*b.close, v[3] * raw);
      EXPECT_EQ(*b.volume, v[4]);
      EXPECT_EQ(b.adjFactor, code == split.code && day == Day(1) ? 0.5 : 1);
      EXPECT_EQ(b.source, PriceSource::Service);
    }
    EXPECT_EQ(static_cast<int>(stored.size()), expected) << code;
    rows += expected;
    bool listed = false;
    for (int c = 1; c <= 6; ++c) listed = listed || StockInColumn(c).code == code;
    if (!listed && expected > 0) ++marketOnly;
  }
  EXPECT_GT(rows, 6 * 3);
  EXPECT_GT(marketOnly, 0);  // stocks the list does not hold are kept too
}

// One way of failing: the stand-in's fault, the key and host the program
// is given, what the message says.
struct Fault {
  const char* name;
  void (*set)(jquantssite::Options&);
  const char* key;   // nullptr: the right key
  const char* host;  // nullptr: the stand-in
  const char* says;
  bool onADay;  // the failure names the day being fetched
};

class UpdateFailure : public UpdateTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(UpdateFailure, ChangesNothingAndSaysWhy) {
  const Fault& fault = GetParam();
  Start();
  const auto files = Files();
  const WorkTable list = ws_->StockList, dates = ws_->DateTable;
  jquantssite::Options o;
  fault.set(o);
  LiveJQuants site(f_, o);
  if (fault.key) f_.set("TAVRINE_JQUANTS_KEY", fault.key);
  if (fault.host) f_.set("TAVRINE_JQUANTS_HOST", fault.host);
  webtest::ClientLimits limits(std::chrono::milliseconds(1500));

  const UpdateSummary s = Update();
  EXPECT_FALSE(s.failure.empty());
  EXPECT_EQ(s.days, 0);
  EXPECT_EQ(Files(), files);
  EXPECT_EQ(ws_->StockList.cell(0, 1), list.cell(0, 1));
  EXPECT_EQ(ws_->StockList.rowCount(), list.rowCount());
  EXPECT_EQ(ws_->DateTable.cell(0, 1), dates.cell(0, 1));
  EXPECT_TRUE(p_.messages.empty());
  ASSERT_EQ(p_.errors.size(), 1u);
  const std::string& e = p_.errors[0];
  EXPECT_EQ(e.find("一括更新できませんでした。デ-タ一覧は変わっていません。\r"), 0u) << e;
  EXPECT_NE(e.find(fault.says), std::string::npos) << e;
  if (fault.onADay)
    EXPECT_NE(e.find(DateToStr(Day(2)) + " の株価を取得できませんでした。"), std::string::npos)
        << e;
  if (fault.key && *fault.key) EXPECT_EQ(e.find(fault.key), std::string::npos);
  ExpectKeyNeverShown();
}

void NoFault(jquantssite::Options&) {}

INSTANTIATE_TEST_SUITE_P(
    Faults, UpdateFailure,
    ::testing::Values(
        Fault{"wrong_key", NoFault, "wrong-KEY-1414", nullptr, "HTTP 403", false},
        Fault{"wrong_key_401", [](jquantssite::Options& o) { o.wrongKeyStatus = 401; },
              "wrong-KEY-1414", nullptr, "HTTP 401", false},
        Fault{"html", [](jquantssite::Options& o) { o.htmlAt = 2; }, nullptr, nullptr, "HTML",
              true},
        // Cut short past the retries: a body cut once is asked again.
        Fault{"cut_body",
              [](jquantssite::Options& o) {
                o.truncateAt = 2;
                o.truncateTimes = 4;
              },
              nullptr, nullptr, "途中で切れました", true},
        Fault{"drip",
              [](jquantssite::Options& o) {
                o.dripAt = 2;
                o.dripMs = 200;
              },
              nullptr, nullptr, "時間内に終わりませんでした", true},
        Fault{"endless_429",
              [](jquantssite::Options& o) {
                o.rateLimitAt = 2;
                o.rateLimitTimes = 100;
              },
              nullptr, nullptr, "HTTP 429", true},
        Fault{"host_down", NoFault, nullptr, "127.0.0.1:9", "接続できませんでした", false},
        // The service's 403 texts, each naming its likely cause.
        Fault{"forbidden_invalid", [](jquantssite::Options& o) { o.forbidden = "invalid"; },
              nullptr, nullptr, "キーが正しいか、期限が切れていないか確かめて下さい", false},
        Fault{"forbidden_plan", [](jquantssite::Options& o) { o.forbidden = "plan"; }, nullptr,
              nullptr,
              "ご契約のプランでは使えません (HTTP 403: This API is not available on your "
              "subscription.)",
              false},
        Fault{"forbidden_inactive", [](jquantssite::Options& o) { o.forbidden = "inactive"; },
              nullptr, nullptr, "契約が有効ではありません (HTTP 403: The api key has no active",
              false},
        Fault{"forbidden_bare", [](jquantssite::Options& o) { o.forbidden = "bare"; }, nullptr,
              nullptr, "キーを受け付けませんでした (HTTP 403)。", false},
        // Past the retries of a 5xx answer and of a dropped connection.
        Fault{"server_errors",
              [](jquantssite::Options& o) {
                o.serverErrorAt = 2;
                o.serverErrorTimes = 4;
                o.serverErrorStatus = 504;
              },
              nullptr, nullptr, "HTTP 504", true},
        Fault{"dropped",
              [](jquantssite::Options& o) {
                o.dropAt = 2;
                o.dropTimes = 4;
              },
              nullptr, nullptr, "途中で切れました", true},
        Fault{"no_key", NoFault, "", nullptr, "キーが設定されていません", false}),
    [](const ::testing::TestParamInfo<Fault>& i) { return std::string(i.param.name); });

// The free plan: asked up to today less 12 weeks from the start; where the
// service's window ends earlier, its 400 names the end and the run stops
// there. Either way the summary names the end.
TEST_F(UpdateTest, AFreePlanRunEndsAtThePlansWindowWithANote) {
  Start(6, 300, 70);
  const int guess = DaysFromCivil(2003, 12, 26) - 84;  // 2003/10/03
  int k = 0;
  while (Day(k) > guess - 3) ++k;  // a trading day before the guess
  ASSERT_LT(k, 65);
  for (const bool earlier : {true, false}) {
    SCOPED_TRACE(earlier ? "window ends earlier" : "window ends at the delay");
    const int end = earlier ? Day(k) : guess;
    int newest = 0;
    while (Day(newest) > end) ++newest;
    jquantssite::Options o;
    o.planFrom = SiteDay(Day(299)), o.planTo = SiteDay(end);
    LiveJQuants site(f_, o, "free");
    p_.messages.clear();
    const UpdateSummary s = Update();
    ASSERT_TRUE(s.failure.empty()) << s.failure;
    EXPECT_EQ(site.site().refusedByWindow(), earlier ? 1 : 0);
    EXPECT_EQ(ws_->StockList.cell(0, 1), DateToStr(Day(newest)));
    ASSERT_EQ(p_.messages.size(), 1u);
    EXPECT_NE(
        p_.messages[0].find("\r無料プランのデータは " + DateToStr(end) + " までです（12週間遅れ）"),
        std::string::npos)
        << p_.messages[0];
    if (earlier) EXPECT_EQ(s.days, 70 - newest);
  }
}

// A paid plan's window has an old edge and an open end: the days before the
// edge are not asked, and no plan note is given.
TEST_F(UpdateTest, APaidPlansOldEdgeLeavesTheDaysBeforeItOut) {
  Start(6, 300, 10);
  jquantssite::Options o;
  o.planFrom = SiteDay(Day(5)), o.planOpenEnd = true;
  LiveJQuants site(f_, o);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 6);
  EXPECT_EQ(site.site().refusedByWindow(), 1);
  EXPECT_EQ(ws_->StockList.cell(0, 1), DateToStr(Day(0)));
  EXPECT_EQ(ws_->StockList.cell(0, 6), DateToStr(Day(5)));
  EXPECT_EQ(ws_->StockList.cell(0, 7), DateToStr(Day(10)));
  ASSERT_EQ(p_.messages.size(), 1u);
  EXPECT_EQ(p_.messages[0].find("無料プラン"), std::string::npos) << p_.messages[0];
}

// The service's 429 names no wait: two minutes, in steps of ten seconds
// through the wait hook, the seconds left shown, each step a chance to cancel.
TEST_F(UpdateTest, ARateLimitWithoutRetryAfterIsWaitedInSteps) {
  Start();
  jquantssite::Options o;
  o.rateLimitAt = 2, o.retryAfter = -1;
  std::vector<int> shown;
  UpdateHooks hooks;
  hooks.progress = [&](const UpdateProgress& p) {
    if (p.waitSeconds > 0) shown.push_back(p.waitSeconds);
    return true;
  };
  {
    LiveJQuants site(f_, o);
    const UpdateSummary s = Update(hooks);
    ASSERT_TRUE(s.failure.empty()) << s.failure;
    EXPECT_EQ(s.days, 4);
    EXPECT_EQ(waits_, std::vector<long long>(12, 10000));
    EXPECT_EQ(shown, (std::vector<int>{120, 110, 100, 90, 80, 70, 60, 50, 40, 30, 20, 10}));
  }
  // Cancelled while the seconds run down: nothing changes.
  Start();
  const auto files = Files();
  waits_.clear();
  hooks.progress = [](const UpdateProgress& p) { return p.waitSeconds != 90; };
  LiveJQuants site(f_, o);
  const UpdateSummary s = Update(hooks);
  EXPECT_TRUE(s.cancelled);
  EXPECT_EQ(waits_.size(), 3u);
  EXPECT_EQ(Files(), files);
}

// 5xx answers and a dropped connection asked again, gzip answers inflated:
// the run ends as if none had happened. A 210 is a day without data.
TEST_F(UpdateTest, TheServicesPassingFaultsAreRiddenOut) {
  Start();
  jquantssite::Options o;
  o.serverErrorAt = 2, o.serverErrorStatus = 502;
  o.dropAt = 4;
  o.gzip = true;
  {
    LiveJQuants site(f_, o);
    const UpdateSummary s = Update();
    ASSERT_TRUE(s.failure.empty()) << s.failure;
    EXPECT_EQ(s.days, 4);
    EXPECT_EQ(waits_, (std::vector<long long>{2000, 2000}));
    EXPECT_GT(site.site().gzipped(), 4);
    for (int c = 1; c <= 6; ++c)
      if (StockInColumn(c).close[0] >= 0)
        EXPECT_EQ(ws_->StockList.cell(c, 1), Close(StockInColumn(c), 0)) << c;
  }
  Start();
  jquantssite::Options none;
  none.noDataAt = 2;  // the second new day
  LiveJQuants site(f_, none);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 1);
  EXPECT_EQ(s.undelivered, Day(2));
}

TEST_F(UpdateTest, ACancelLeavesTheListUntouched) {
  Start();
  LiveJQuants site(f_);
  const auto files = Files();
  UpdateHooks hooks;
  hooks.progress = [](const UpdateProgress& p) { return p.done < 2; };
  const UpdateSummary s = Update(hooks);
  EXPECT_TRUE(s.cancelled);
  EXPECT_EQ(Files(), files);
  EXPECT_EQ(ws_->StockList.cell(0, 1), DateToStr(Day(4)));
  ASSERT_EQ(p_.messages.size(), 1u);
  EXPECT_EQ(p_.messages[0], "一括更新を中止しました。デ-タ一覧は変わっていません。");
  EXPECT_EQ(site.site().barRequests(), 2);
}

TEST(UpdateDuringAPageWait, IsRefusedAndAsksNothing) {
  DataFolder f;
  const std::vector<int> days = webtest::Weekdays(DaysFromCivil(2003, 12, 26), 120);
  webtest::WriteMarket(f, "7203", days);
  webtest::LiveSite quotes(f);
  LiveJQuants api(f);
  WaitingPlatform p;
  Workspace ws{p};
  webtest::ReadyToCollect(f, ws);
  UpdateSummary during;
  p.duringWait = [&] { during = UpdateList(ws); };
  ws.form.setText("Edit18", "7203");
  Event enter;
  enter.kind = Event::KeyPress;
  enter.key = 13;
  ws.dispatch("Edit18", enter);  // the collection waits for its pages
  EXPECT_TRUE(during.busy);
  EXPECT_EQ(std::count(p.statuses.begin(), p.statuses.end(), kBusyStatus), 1);
  EXPECT_EQ(api.site().requests(), 0);
  EXPECT_TRUE(p.errors.empty());
}

TEST(UpdateProgressText, NamesTheStepOfTheRun) {
  // Asked while the calendar is awaited: no day is named yet.
  EXPECT_EQ(UpdateProgressText(UpdateProgress{}), "一括更新: 営業日を問い合わせています");
  UpdateProgress p;
  p.done = 2, p.total = 4, p.day = DaysFromCivil(2003, 12, 24);
  EXPECT_EQ(UpdateProgressText(p), "一括更新: 2003/12/24 の株価を取得しています (3/4日)");
  p.byStock = true, p.code = "7203", p.day = 0;
  EXPECT_EQ(UpdateProgressText(p), "一括更新: 7203 の株価を取得しています (3/4銘柄)");
}

TEST_F(UpdateTest, ADayWithoutAnyPriceIsNoTradingDayByDay) {
  Start();
  jquantssite::Options o;
  o.nullDays.insert(SiteDay(Day(2)));  // every record of the day holds nulls
  LiveJQuants site(f_, o);
  const WorkTable before = ws_->StockList;
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 3);
  const WorkTable& list = ws_->StockList;
  EXPECT_EQ(list.cell(0, 1), DateToStr(Day(0)));
  EXPECT_EQ(list.cell(0, 2), DateToStr(Day(1)));
  EXPECT_EQ(list.cell(0, 3), DateToStr(Day(3)));
  for (int c = 1; c <= 6; ++c)
    for (int r = 1; r <= 297; ++r) ASSERT_EQ(list.cell(c, r + 3), before.cell(c, r)) << c;
  EXPECT_NE(p_.messages.at(0).find("\r" + DateToStr(Day(2)) + ": どの銘柄にも株価がない"),
            std::string::npos)
      << p_.messages[0];
}

TEST_F(UpdateTest, ADayWithoutAnyPriceIsNoTradingDayByStock) {
  Start(2, 300, 12);
  jquantssite::Options o;
  o.nullDays.insert(SiteDay(Day(5)));
  LiveJQuants site(f_, o);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 11);
  EXPECT_EQ(ws_->StockList.cell(0, 5), DateToStr(Day(4)));
  EXPECT_EQ(ws_->StockList.cell(0, 6), DateToStr(Day(6)));
  EXPECT_NE(p_.messages.at(0).find(DateToStr(Day(5)) + ": どの銘柄にも株価がない"),
            std::string::npos);
}

TEST_F(UpdateTest, ADeliveredDayWithoutTheListsStocksIsABlankDay) {
  // Two stocks by stock: neither has a record of one day the market has.
  Start(2, 300, 12);
  const sample::Stock& a = StockInColumn(1);
  const sample::Stock& b = StockInColumn(2);
  jquantssite::Options o;
  o.missing[a.code] = {SiteDay(Day(5))};
  o.missing[b.code] = {SiteDay(Day(5))};
  o.newest = SiteDay(Day(2));  // and the last two days are not delivered yet
  LiveJQuants site(f_, o);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 10);
  EXPECT_EQ(s.undelivered, Day(1));
  const WorkTable& list = ws_->StockList;
  EXPECT_EQ(list.cell(0, 1), DateToStr(Day(2)));
  EXPECT_EQ(list.cell(0, 4), DateToStr(Day(5)));
  // The blank day takes the close before it, as any day without a trade.
  for (int c = 1; c <= 2; ++c) {
    ASSERT_NE(list.cell(c, 5), " ");
    EXPECT_EQ(list.cell(c, 4), list.cell(c, 5)) << c;
  }
}

TEST_F(UpdateTest, RecordsSentTwiceCountOnceOrRefuseTheirStock) {
  Start();
  const sample::Stock& split = StockInColumn(1);
  const sample::Stock& torn = StockInColumn(2);
  jquantssite::Options o;
  o.pageSize = 5;  // a pair may be cut between two pages
  o.splits.push_back({split.code, SiteDay(Day(1)), 0.5, ""});
  o.twice[split.code] = {SiteDay(Day(1))};
  o.twice[StockInColumn(3).code] = {SiteDay(Day(0)), SiteDay(Day(3))};
  o.conflicting[torn.code] = {SiteDay(Day(2))};
  LiveJQuants site(f_, o);
  const WorkTable before = ws_->StockList;
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 4);
  const WorkTable& list = ws_->StockList;
  // The split sent twice halves the history once.
  ASSERT_EQ(s.adjustments.size(), 1u);
  EXPECT_EQ(s.adjustments[0].den, 2);
  for (int r = 1; r <= 296; ++r) {
    if (!IsBlank(before.cell(1, r))) {
      ASSERT_EQ(list.cell(1, r + 4), FloatToStr(StrToFloat(before.cell(1, r)) / 2)) << r;
    }
  }
  for (int r = 1; r <= 4; ++r) {
    if (Close(StockInColumn(3), r - 1) != " ") {
      EXPECT_EQ(list.cell(3, r), Close(StockInColumn(3), r - 1)) << r;
    }
  }
  // Two different closes of one day: the stock gets none of the new days.
  for (int r = 1; r <= 4; ++r) EXPECT_EQ(list.cell(2, r), " ") << r;
  for (int r = 1; r <= 296; ++r) ASSERT_EQ(list.cell(2, r + 4), before.cell(2, r));
  EXPECT_EQ(s.stocks, 5);
  EXPECT_NE(p_.messages.at(0).find("\r" + torn.code + ": " + DateToStr(Day(2)) +
                                   " の株価が異なる二つの記録で届いた"),
            std::string::npos)
      << p_.messages[0];
}

TEST_F(UpdateTest, RecordsSentTwiceByStock) {
  Start(2, 300, 12);
  const sample::Stock& split = StockInColumn(1);
  const sample::Stock& torn = StockInColumn(2);
  jquantssite::Options o;
  o.splits.push_back({split.code, SiteDay(Day(3)), 0.5, ""});
  o.twice[split.code] = {SiteDay(Day(3)), SiteDay(Day(0))};
  o.conflicting[torn.code] = {SiteDay(Day(6))};
  LiveJQuants site(f_, o);
  const WorkTable before = ws_->StockList;
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 12);
  ASSERT_EQ(s.adjustments.size(), 1u);
  EXPECT_EQ(s.adjustments[0].num, 1);
  EXPECT_EQ(s.adjustments[0].den, 2);
  EXPECT_EQ(s.stocks, 1);
  for (int r = 1; r <= 12; ++r) EXPECT_EQ(ws_->StockList.cell(2, r), " ") << r;
  EXPECT_NE(p_.messages.at(0).find(torn.code + ": " + DateToStr(Day(6)) + " の株価が異なる"),
            std::string::npos)
      << p_.messages[0];
}

TEST_F(UpdateTest, AMasterThatCannotBeHadLeavesTheNamesOut) {
  Start();
  const sample::Stock& nameless = StockInColumn(3);
  ws_->StockList.set(3, 0, nameless.code);
  for (const bool broken : {true, false}) {
    SCOPED_TRACE(broken ? "broken" : "too large");
    jquantssite::Options o;
    o.masterBroken = broken;
    o.masterPadBytes = broken ? 0 : 300000;
    o.newest = SiteDay(Day(broken ? 2 : 0));
    LiveJQuants site(f_, o);
    UpdateHooks hooks;
    hooks.maxPageBytes = 200000;
    p_.messages.clear();
    const UpdateSummary s = Update(hooks);
    ASSERT_TRUE(s.failure.empty()) << s.failure;
    EXPECT_EQ(s.days, 2);
    EXPECT_EQ(ws_->StockList.cell(3, 0), nameless.code);
    EXPECT_EQ(ws_->StockList.cell(3, 1), Close(nameless, broken ? 2 : 0));
    EXPECT_NE(p_.messages.at(0).find("\r銘柄一覧を取得できなかったため、名前のない銘柄は名前なし"
                                     "のままです: " +
                                     nameless.code),
              std::string::npos)
        << p_.messages[0];
  }
}

TEST_F(UpdateTest, LargePagesAreReadAndEndlessOnesRefused) {
  Start();
  const auto files = Files();
  {
    // Past the quote site's limit of one answer, within the service's.
    jquantssite::Options o;
    o.padBytes = 6 << 20;
    o.endlessAt = 3;
    LiveJQuants site(f_, o);
    UpdateHooks hooks;
    hooks.maxPageBytes = 8 << 20;
    const UpdateSummary s = Update(hooks);
    EXPECT_NE(s.failure.find(DateToStr(Day(1)) + " の株価を取得できませんでした。J-Quants "
                                                 "APIからのデータが大きすぎます。"),
              std::string::npos)
        << s.failure;
    EXPECT_EQ(Files(), files);
  }
  jquantssite::Options o;
  o.padBytes = 6 << 20;
  LiveJQuants site(f_, o);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 4);
}

TEST_F(UpdateTest, TheWholeRunHasATimeLimit) {
  Start();
  const auto files = Files();
  jquantssite::Options o;
  o.dripAt = 2;  // one byte a second: minutes for a page
  LiveJQuants site(f_, o);
  UpdateHooks hooks;
  hooks.runLimit = std::chrono::milliseconds(2000);
  const UpdateSummary s = Update(hooks);
  EXPECT_NE(s.failure.find("J-Quants API からの取得が 2秒 の制限時間内に終わりませんでした"),
            std::string::npos)
      << s.failure;
  EXPECT_EQ(Files(), files);
}

// The driver runs an update against a stand-in that stalls on its first
// page; SIGTERM or SIGINT ends it: the cancel is said, the driver ends as the
// signal asks, no file has changed.
TEST_F(UpdateTest, ASignalEndsTheDriversUpdateCleanly) {
  Start();
  ws_.reset();
  const auto files = Files();
  for (const int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    jquantssite::Options o;
    o.dripAt = 1;
    o.dripMs = 60000;
    LiveJQuants site(f_, o);
    int in[2], out[2];
    ASSERT_EQ(::pipe(in), 0);
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
      const char* argv[] = {testing::kScriptExe, nullptr};
      ::execve(testing::kScriptExe, const_cast<char**>(argv), environ);
      ::_exit(127);
    }
    ::close(in[0]), ::close(out[1]);
    const std::string script = "start\nupdate\ncell StockList 0 1\n";
    ASSERT_EQ(::write(in[1], script.data(), script.size()), static_cast<ssize_t>(script.size()));
    ::close(in[1]);
    // The first page is asked: the update waits for its answer.
    int status = 0;
    while (site.site().barRequests() < 1) {
      ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the driver ended before its request";
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, sig);
    std::string output;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
      output.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << status << output;
    EXPECT_EQ(WTERMSIG(status), sig);
    const std::string& said = output;
    EXPECT_NE(said.find("一括更新を中止しました。デ-タ一覧は変わっていません。"), std::string::npos)
        << said;
    EXPECT_EQ(said.find("StockList[0,1]"), std::string::npos) << said;  // nothing runs after it
    EXPECT_EQ(Files(), files);
  }
}

// The service adjusts every past close once a split takes effect. A split
// it has not delivered yet (inside the free plan's delay, or a day not out)
// moves the closes of the list's newest day: the stock's column is rebuilt
// from the service's history, by day and by stock alike.
class MovedCloses : public UpdateTest, public ::testing::WithParamInterface<bool> {
 protected:
  // The list's newest day (market day index) and the run's options: by
  // stock, the free plan seventy days behind; by day, a paid plan whose last
  // two days are not out.
  int Setup(jquantssite::Options& o) {
    if (GetParam()) {
      Start(6, 300, 70);
      o.planFrom = SiteDay(Day(299)), o.planTo = SiteDay(DaysFromCivil(2003, 12, 26) - 84);
      plan_ = "free";
      return 70;
    }
    Start();
    o.newest = SiteDay(Day(2));
    return 4;
  }
  // A listed stock with a close on market day k.
  const sample::Stock& PricedOn(int k, int skip = 0) const {
    for (int c = 1; c <= 6; ++c)
      if (StockInColumn(c).close[static_cast<std::size_t>(k)] >= 0 && skip-- == 0)
        return StockInColumn(c);
    throw std::runtime_error("no stock priced that day");
  }
  std::string plan_ = "standard";
};

TEST_P(MovedCloses, AHiddenSplitRebuildsTheStocksColumn) {
  jquantssite::Options o;
  const int newest = Setup(o);
  const sample::Stock& st = PricedOn(newest);
  const sample::Stock& other = PricedOn(newest, 1);
  o.splits.push_back({st.code, SiteDay(Day(0)), 0.5, ""});  // never delivered
  LiveJQuants site(f_, o, plan_);
  const WorkTable before = ws_->StockList;
  const std::string newestDate = before.cell(0, 1);
  ASSERT_EQ(newestDate, DateToStr(Day(newest)));

  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  ASSERT_GT(s.days, 0);
  const WorkTable& list = ws_->StockList;
  // Every stored day halved: the service's closes in the window, the ratio
  // before it, both to one decimal.
  int oldest = 0, checked = 0;
  for (int r = 1; r < before.rowCount() && !before.cell(0, r).empty(); ++r) {
    ASSERT_EQ(list.cell(0, r + s.days), before.cell(0, r));
    const std::string was = before.cell(st.column, r);
    if (IsBlank(was)) continue;
    EXPECT_EQ(StrToFloat(list.cell(st.column, r + s.days)),
              std::round(StrToFloat(was) * 0.5L * 10) / 10)
        << before.cell(0, r);
    oldest = r, ++checked;
  }
  EXPECT_GT(checked, 200);
  // The other stocks are not touched.
  for (int r = 1; r + s.days < list.rowCount() && r < 290; ++r)
    ASSERT_EQ(list.cell(other.column, r + s.days), before.cell(other.column, r)) << r;
  ASSERT_EQ(s.adjustments.size(), 1u);
  EXPECT_EQ(s.adjustments[0].code, st.code);
  EXPECT_EQ(s.adjustments[0].RatioText(), "1/2");
  EXPECT_NE(
      p_.messages.at(0).find(st.code + ": 終値の調整が変わりました: 1/2, " + newestDate + " 以前"),
      std::string::npos)
      << p_.messages[0];
  const std::string log = Cp932ToUtf8(ReadFileBytes(f_.path("tavrine/adjust.log")));
  EXPECT_NE(log.find("," + st.code + ",1/2," + before.cell(0, oldest) + "," + newestDate +
                     ",\"J-Quants API\","),
            std::string::npos)
      << log;
  // Backed up as every update.
  ASSERT_FALSE(StockListBackups().empty());
  EXPECT_NE(StockListBackups().front().find("update"), std::string::npos);
}

// A stock without a price on the list's newest day has nothing to compare:
// it is left alone, its new days as the service gives them.
TEST_P(MovedCloses, AStockSuspendedOnTheNewestDayIsLeftAlone) {
  jquantssite::Options o;
  const int newest = Setup(o);
  const sample::Stock& st = PricedOn(newest);
  o.splits.push_back({st.code, SiteDay(Day(0)), 0.5, ""});
  o.suspended[st.code] = {SiteDay(Day(newest))};
  LiveJQuants site(f_, o, plan_);
  const WorkTable before = ws_->StockList;
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  ASSERT_GT(s.days, 0);
  for (int r = 1; r < 290; ++r)
    ASSERT_EQ(ws_->StockList.cell(st.column, r + s.days), before.cell(st.column, r)) << r;
  EXPECT_TRUE(s.adjustments.empty());
  EXPECT_EQ(p_.messages.at(0).find("終値の調整が変わりました"), std::string::npos);
}

// Cancelled or failed while the history is asked: every file as it was.
TEST_P(MovedCloses, ACancelOrAFailureWhileRebuildingChangesNothing) {
  for (const bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "cancel" : "failure");
    jquantssite::Options o;
    const int newest = Setup(o);
    const sample::Stock& st = PricedOn(newest);
    o.splits.push_back({st.code, SiteDay(Day(0)), 0.5, ""});
    // By day: two days, the day not out, the newest; by stock: six stocks.
    o.serverErrorAt = cancel ? -1 : (GetParam() ? 7 : 5);
    o.serverErrorTimes = 10, o.serverErrorStatus = 500;
    const auto files = Files();
    LiveJQuants site(f_, o, plan_);
    UpdateHooks hooks;
    bool rebuilding = false;
    // The history is asked once the new days are in.
    hooks.progress = [&](const UpdateProgress& p) {
      if (p.code == st.code && p.byStock && p.total == 1) rebuilding = true;
      return !(cancel && rebuilding);
    };
    const UpdateSummary s = Update(hooks);
    EXPECT_TRUE(rebuilding);
    if (cancel)
      EXPECT_TRUE(s.cancelled);
    else
      EXPECT_FALSE(s.failure.empty());
    EXPECT_EQ(Files(), files);
    EXPECT_EQ(ws_->StockList.cell(0, 1), DateToStr(Day(newest)));
  }
}

INSTANTIATE_TEST_SUITE_P(ByStockAndByDay, MovedCloses, ::testing::Bool());

// No new day out yet, but the closes moved: the rebuilt column is saved alone.
TEST_F(UpdateTest, MovedClosesAreSavedWithoutANewDay) {
  Start();
  const sample::Stock& st = StockInColumn(1);
  ASSERT_NE(ws_->StockList.cell(1, 1), " ");
  jquantssite::Options o;
  o.newest = SiteDay(Day(4));  // the list's newest
  o.splits.push_back({st.code, SiteDay(Day(0)), 0.5, ""});
  LiveJQuants site(f_, o);
  const WorkTable before = ws_->StockList;
  const auto files = Files();
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 0);
  EXPECT_EQ(s.undelivered, Day(3));
  ASSERT_EQ(s.adjustments.size(), 1u);
  EXPECT_EQ(StrToFloat(ws_->StockList.cell(1, 2)),
            std::round(StrToFloat(before.cell(1, 2)) * 0.5L * 10) / 10);
  EXPECT_NE(Files().at("デ-タ一覧.csv"), files.at("デ-タ一覧.csv"));
  EXPECT_NE(p_.messages.at(0).find(st.code + ": 終値の調整が変わりました: 1/2"), std::string::npos)
      << p_.messages[0];
}

// A split the fetched days show moves nothing further: the list's newest
// day is asked once more, and no history.
TEST_F(UpdateTest, AVisibleSplitAsksOnlyTheNewestDayMore) {
  Start();
  const sample::Stock& st = StockInColumn(1);
  jquantssite::Options o;
  o.splits.push_back({st.code, SiteDay(Day(1)), 0.5, ""});
  LiveJQuants site(f_, o);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 4);
  EXPECT_EQ(site.site().barRequests(), 5);
  ASSERT_EQ(s.adjustments.size(), 1u);
  EXPECT_EQ(s.adjustments[0].Kind(), "分割");
  EXPECT_EQ(p_.messages.at(0).find("終値の調整が変わりました"), std::string::npos);
}

// A list whose newest day is older than the plan's window gets the window's
// days: the days between are named, and no close is carried across them.
TEST_F(UpdateTest, AListOlderThanTheWindowIsNotBridged) {
  Start(6, 300, 10);
  const sample::Stock& st = StockInColumn(1);
  ASSERT_NE(ws_->StockList.cell(st.column, 1), " ");
  jquantssite::Options o;
  o.planFrom = SiteDay(Day(5)), o.planOpenEnd = true;
  o.suspended[st.code] = {SiteDay(Day(5))};
  LiveJQuants site(f_, o);
  const UpdateSummary s = Update();
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.days, 6);
  const WorkTable& list = ws_->StockList;
  EXPECT_EQ(list.cell(0, 6), DateToStr(Day(5)));
  EXPECT_EQ(list.cell(st.column, 6), " ");
  EXPECT_NE(p_.messages.at(0).find("\r" + DateToStr(Day(10) + 1) + " から " +
                                   DateToStr(Day(5) - 1) + " までは"),
            std::string::npos)
      << p_.messages[0];
}

}  // namespace
}  // namespace tavrine
