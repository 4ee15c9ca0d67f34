// Sites that never finish, send too much or redirect: the collection and the
// calendar refresh end with their usual failure within the client's bounds,
// and nothing is cached or saved.
#include <gtest/gtest.h>

#include <chrono>

#include "store/codec.h"
#include "web_support.h"

namespace tavrine {
namespace {

using namespace webtest;
using Clock = std::chrono::steady_clock;

const char* const kDeadlineText = "株価サイトの応答が時間内に終わりませんでした。";
const char* const kTooLargeText = "株価サイトからのデータが大きすぎます。";

struct Hostile {
  const char* name;
  void (*make)(quotesite::Options&, int page);
  const char* error;  // the client's error text
};

const Hostile kHostile[] = {
    {"EndlessBody", [](quotesite::Options& o, int p) { o.endlessPage = p; }, kTooLargeText},
    {"DripInTheBody",
     [](quotesite::Options& o, int p) {
       o.dripPage = p;
       o.dripMs = 300;
     },
     kDeadlineText},
    {"DripInTheHeaders",
     [](quotesite::Options& o, int p) {
       o.dripHeadPage = p;
       o.dripMs = 300;
     },
     kDeadlineText},
    {"HugeDeclaredLength", [](quotesite::Options& o, int p) { o.hugeLengthPage = p; },
     kTooLargeText},
    {"RedirectLoop", [](quotesite::Options& o, int p) { o.redirectPage = p; },
     "株価サイトがエラーを返しました。(HTTP 302)"},
};

void PrintTo(const Hostile& h, std::ostream* os) { *os << h.name; }

std::string CaseName(const ::testing::TestParamInfo<Hostile>& info) { return info.param.name; }

// "Hangs forever" only: the deadline in these tests is 2 s.
constexpr auto kBound = std::chrono::seconds(20);

class HostileCollection : public ::testing::TestWithParam<Hostile> {
 protected:
  DataFolder folder;
  RecordingPlatform platform;
  Workspace ws{platform};
  ClientLimits limits{std::chrono::seconds(2), 1024 * 1024};
  std::vector<int> days;

  void SetUp() override {
    days = ReadyToCollect(folder, ws);
    WriteFileBytes(folder.path("デ-タ一覧.csv"), "日付,1301 極洋\r\n2003/12/26,250\r\n");
    WriteMarket(folder, "7203", std::vector<int>(days.begin(), days.begin() + 400));
  }

  void collect() { testing::TypeAndEnter(ws, "Edit18", "7203"); }
};

TEST_P(HostileCollection, RunEndsWithTheFailureAndKeepsNothing) {
  const std::string listBefore = ReadFileBytes(folder.path("デ-タ一覧.csv"));
  quotesite::Options o;
  GetParam().make(o, 2);  // pages 0 and 1 arrive whole
  {
    LiveSite site(folder, o);
    const auto start = Clock::now();
    collect();
    EXPECT_LT(Clock::now() - start, kBound);
    EXPECT_EQ(site.count(), 3);  // a redirect is not followed
  }
  EXPECT_FALSE(ws.collection.running());
  ASSERT_FALSE(platform.statuses.empty());
  EXPECT_EQ(platform.statuses.back(), "接続に失敗しました");
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0], GetParam().error);
  EXPECT_EQ(ws.CacheTable.cell(1, 0), "");
  EXPECT_EQ(ws.SeriesTable.cell(17, 4863), "0");
  EXPECT_FALSE(ws.form.visible("Button104"));
  ws.maintenance.Button104Click();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0],
            "追加更新する収集データがありません。\r簡易収集を実行してから押して下さい。");
  EXPECT_EQ(ReadFileBytes(folder.path("デ-タ一覧.csv")), listBefore);

  // The client is not left in a bad state: a site that answers is collected.
  LiveSite again(folder);
  collect();
  EXPECT_EQ(again.count(), 9);
  EXPECT_EQ(ws.StockList.cell(199, 400), AdjClose(399));
  EXPECT_EQ(ws.CacheTable.cell(1, 400), AdjClose(399));
  EXPECT_EQ(platform.errors.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Sites, HostileCollection, ::testing::ValuesIn(kHostile), CaseName);

class HostileCalendar : public ::testing::TestWithParam<Hostile> {
 protected:
  DataFolder folder{"2003/12/26"};
  RecordingPlatform platform;
  Workspace ws{platform};
  ClientLimits limits{std::chrono::seconds(2), 1024 * 1024};
  // A stock list older than the calendar, so the probe asks the site.
  void SetUp() override { ws.StockList.set(0, 1, "2003/11/28"); }
};

TEST_P(HostileCalendar, RefreshEndsWithItsStatusAndTheFileUntouched) {
  std::vector<std::string> lines = {"日付,"};
  for (int d = DaysFromCivil(2003, 12, 19); d >= DaysFromCivil(2003, 12, 1); --d)
    lines.push_back(DateToStr(d) + ",");
  WriteLines(folder.path("tavrine/hizuke.csv").string(), lines, true);
  const std::string fileBefore = ReadFileBytes(folder.path("tavrine/hizuke.csv"));
  WriteMarket(folder, "998407", Weekdays(DaysFromCivil(2003, 12, 26), 30));
  quotesite::Options o;
  GetParam().make(o, 0);  // every probe asks for page 0
  {
    LiveSite site(folder, o);
    const auto start = Clock::now();
    ws.calendar.Button112Click();
    EXPECT_LT(Clock::now() - start, kBound);
    EXPECT_EQ(site.count(), 1);  // the first failed probe ends the refresh
  }
  EXPECT_TRUE(platform.errors.empty());
  ASSERT_GE(platform.statuses.size(), 2u);
  EXPECT_EQ(platform.statuses[platform.statuses.size() - 2], "接続に失敗しました");
  EXPECT_EQ(platform.statuses.back(), "営業日カレンダーを更新できませんでした。");
  EXPECT_EQ(ws.DateTable.cell(0, 1), "2003/12/19");
  EXPECT_EQ(ws.SeriesTable.cell(18, 4862), "");
  EXPECT_EQ(ReadFileBytes(folder.path("tavrine/hizuke.csv")), fileBefore);
}

INSTANTIATE_TEST_SUITE_P(Sites, HostileCalendar, ::testing::ValuesIn(kHostile), CaseName);

}  // namespace
}  // namespace tavrine
