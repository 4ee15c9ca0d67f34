// 銘柄追加 against the in-process stand-in of the J-Quants API: a first
// stock on a folder without a list (list, calendar and price store made,
// the stock charted), a stock placed in code order in a list with a backup,
// a stock already listed, a name several stocks hold (chosen, or none
// chosen), a code and a name the master lacks, and a cancel and a failed
// answer leaving every file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "../support/recording_platform.h"
#include "../web/jquants_support.h"
#include "../web/web_support.h"
#include "app/add_stock.h"
#include "app/update.h"
#include "app/workspace.h"
#include "list/list_edit.h"
#include "store/control_cells.h"
#include "store/price_store.h"

namespace tavrine {
namespace {

using jquantstest::LiveJQuants;
using testing::DataFolder;
using testing::FileBytes;
using testing::ReadFileBytes;
using testing::RecordingPlatform;

class AddStockTest : public ::testing::Test {
 protected:
  // The sample folder (the list up to the market's newest day) and a started
  // workspace; without a list and a calendar when `empty`.
  void Start(bool empty = false) {
    data_ = jquantstest::SampleFolder(f_, 6, 300, 0);
    if (empty) {
      std::filesystem::remove(f_.path("デ-タ一覧.csv"));
      std::filesystem::remove(f_.path("tavrine/hizuke.csv"));
    }
    ws_ = std::make_unique<Workspace>(p_);
    Event ev;
    ws_->dispatch("Button52", ev);
    p_.messages.clear(), p_.errors.clear(), p_.statuses.clear();
  }

  AddSummary Add(const std::string& query, AddHooks hooks = {}) {
    hooks.wait = [](std::chrono::milliseconds) { return true; };
    return AddStock(*ws_, query, hooks);
  }

  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> out =
        FileBytes(f_, {"デ-タ一覧.csv", "tavrine/hizuke.csv", "listwerk/kabuka/code.txt",
                       "tavrine.ini", "tavrine/prices.sqlite"});
    for (const std::string& b : StockListBackups()) out["backup " + b] = "";
    return out;
  }

  // A stock of the market the list does not hold, named in the master,
  // with a price on the newest day; the first in code order when `first`.
  const sample::Stock& Unlisted(bool first = true) const {
    const sample::Stock* found = nullptr;
    for (const sample::Stock& s : data_.stocks)
      if (s.column == 0 && s.inZenncode && !s.name.empty() && s.close[0] >= 0 &&
          (!found || (first ? s.code < found->code : s.code > found->code)))
        found = &s;
    if (!found) throw std::runtime_error("no unlisted stock");
    return *found;
  }

  int ColumnOf(const std::string& code) const {
    for (int c = 1; c < ws_->StockList.colCount(); ++c)
      if (ws_->StockList.cell(c, 0).rfind(code, 0) == 0) return c;
    return 0;
  }

  void CancelThenFailure(bool empty);

  DataFolder f_;
  RecordingPlatform p_;
  sample::Result data_;
  std::unique_ptr<Workspace> ws_;
};

TEST_F(AddStockTest, OnAnEmptyFolderMakesTheListTheCalendarAndTheStoreAndCharts) {
  Start(true);
  LiveJQuants site(f_);
  const sample::Stock& st = Unlisted();
  ASSERT_FALSE(std::filesystem::exists(f_.path("デ-タ一覧.csv")));

  const AddSummary s = Add(st.code);
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_TRUE(s.created);
  EXPECT_EQ(s.stock.name, st.name);
  EXPECT_EQ(s.stock.market, "プライム");
  ASSERT_EQ(p_.messages.size(), 1u);
  EXPECT_EQ(p_.messages[0].rfind("銘柄追加完了: " + st.code + " " + st.name + " (プライム)", 0), 0u)
      << p_.messages[0];
  EXPECT_TRUE(p_.errors.empty());

  const WorkTable& list = ws_->StockList;
  EXPECT_EQ(list.cell(1, 0), st.code + " " + st.name);
  int priced = 0;
  for (std::size_t k = 0; k < data_.marketDays.size(); ++k) {
    if (st.close[k] < 0) continue;
    ++priced;
  }
  EXPECT_EQ(s.days, priced);
  // The newest day on top with its close; the calendar holds the list's days.
  EXPECT_EQ(list.cell(0, 1), DateToStr(data_.marketDays[0]));
  EXPECT_EQ(list.cell(1, 1), sample::PriceText(st.close[0]));
  EXPECT_EQ(s.newest, data_.marketDays[0]);
  ASSERT_TRUE(std::filesystem::exists(f_.path("デ-タ一覧.csv")));
  const auto hizuke = ReadLines(f_.path("tavrine/hizuke.csv").string());
  ASSERT_GT(hizuke.size(), 2u);
  EXPECT_EQ(hizuke[1].rfind(DateToStr(data_.marketDays[0]), 0), 0u);
  EXPECT_EQ(ws_->DateTable.cell(0, 1), DateToStr(data_.marketDays[0]));
  // Every traded day in the price store, and the stock on the chart.
  EXPECT_EQ(static_cast<int>(ReadStoredBars(PriceStorePath(), st.code).size()), priced);
  EXPECT_EQ(ctl::Heading.get(ws_->SeriesTable), st.code + " " + st.name);
}

TEST_F(AddStockTest, WithoutAListTheUpdateSaysHowToAddAStock) {
  Start(true);
  LiveJQuants site(f_);
  const UpdateSummary s = UpdateList(*ws_);
  EXPECT_EQ(s.failure,
            "デ-タ一覧に銘柄がありません。銘柄追加で銘柄コードか銘柄名を入れて下さい"
            "（または株価ファイルを取り込んで下さい）。");
  EXPECT_EQ(site.site().requests(), 0);
}

TEST_F(AddStockTest, OnAListPlacesTheStockInCodeOrderWithABackup) {
  Start();
  LiveJQuants site(f_);
  const sample::Stock& st = Unlisted(false);
  const WorkTable before = ws_->StockList;
  ASSERT_TRUE(StockListBackups().empty());

  const AddSummary s = Add(st.code);
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_FALSE(s.created);
  const WorkTable& list = ws_->StockList;
  const int c = ColumnOf(st.code);
  ASSERT_GT(c, 0);
  // Code order across the whole list, the others' columns as they were.
  for (int j = 1; j + 1 < list.colCount() && !list.cell(j + 1, 0).empty(); ++j)
    EXPECT_LT(list.cell(j, 0).substr(0, 4), list.cell(j + 1, 0).substr(0, 4));
  for (int j = 1; j < c; ++j) EXPECT_EQ(list.cell(j, 1), before.cell(j, 1));
  for (int j = c + 1; j <= 7; ++j) EXPECT_EQ(list.cell(j, 0), before.cell(j - 1, 0));
  EXPECT_EQ(list.cell(c, 1), sample::PriceText(st.close[0]));
  EXPECT_EQ(StockListBackups().size(), 1u);
}

TEST_F(AddStockTest, AStockAlreadyListedChangesNothingAndAsksNothing) {
  Start();
  LiveJQuants site(f_);
  const sample::Stock* listed = nullptr;
  for (const sample::Stock& s : data_.stocks)
    if (s.column == 2) listed = &s;
  ASSERT_NE(listed, nullptr);
  const auto files = Files();
  const AddSummary s = Add(listed->code);
  EXPECT_TRUE(s.listed);
  EXPECT_FALSE(s.added());
  EXPECT_EQ(site.site().requests(), 0);
  ASSERT_EQ(p_.messages.size(), 1u);
  EXPECT_NE(p_.messages[0].find("デ-タ一覧にあります"), std::string::npos);
  EXPECT_EQ(Files(), files);

  // Found by its name, it is listed too: the master was asked, nothing else.
  const AddSummary byName = Add(listed->name);
  EXPECT_TRUE(byName.listed);
  EXPECT_EQ(site.site().barRequests(), 0);
  EXPECT_EQ(Files(), files);
}

TEST_F(AddStockTest, ANameSeveralStocksHoldIsChosenOrRefused) {
  Start();
  LiveJQuants site(f_);
  // The end of a name (two characters) most stocks share, one at least unlisted.
  std::map<std::string, std::vector<const sample::Stock*>> byPart;
  for (const sample::Stock& s : data_.stocks)
    if (s.inZenncode && s.name.size() >= 6) byPart[s.name.substr(s.name.size() - 6)].push_back(&s);
  std::string part;
  std::size_t most = 1;
  for (const auto& kv : byPart) {
    bool unlisted = false;
    for (const sample::Stock* s : kv.second) unlisted = unlisted || s->column == 0;
    if (unlisted && kv.second.size() > most) part = kv.first, most = kv.second.size();
  }
  ASSERT_FALSE(part.empty());
  const auto files = Files();

  // No chooser (the driver): refused, naming the candidates.
  const AddSummary refused = AddStock(*ws_, part);
  EXPECT_FALSE(refused.failure.empty());
  for (const sample::Stock* s : byPart[part])
    EXPECT_NE(refused.failure.find(s->code + " " + s->name), std::string::npos) << refused.failure;
  EXPECT_EQ(Files(), files);

  // None chosen: cancelled, nothing asked of the bars.
  AddHooks none;
  std::vector<MasterStock> offered;
  none.choose = [&](const std::vector<MasterStock>& m) {
    offered = m;
    return -1;
  };
  EXPECT_TRUE(Add(part, none).cancelled);
  EXPECT_EQ(offered.size(), byPart[part].size());
  EXPECT_EQ(site.site().barRequests(), 0);
  EXPECT_EQ(Files(), files);

  // An unlisted one chosen: that one is added, the others are not.
  std::size_t pick = 0;
  while (ColumnOf(offered[pick].code) > 0) ++pick;
  AddHooks one;
  one.choose = [pick](const std::vector<MasterStock>&) { return static_cast<int>(pick); };
  const AddSummary s = Add(part, one);
  ASSERT_TRUE(s.failure.empty()) << s.failure;
  EXPECT_EQ(s.stock.code, offered[pick].code);
  EXPECT_GT(ColumnOf(offered[pick].code), 0);
  for (std::size_t i = 0; i < offered.size(); ++i)
    if (i != pick &&
        std::find_if(data_.stocks.begin(), data_.stocks.end(), [&](const sample::Stock& x) {
          return x.code == offered[i].code && x.column > 0;
        }) == data_.stocks.end())
      EXPECT_EQ(ColumnOf(offered[i].code), 0) << offered[i].code;
}

TEST_F(AddStockTest, ACodeOrANameTheMasterLacksIsRefused) {
  Start();
  LiveJQuants site(f_);
  const auto files = Files();
  std::string code = "1000";
  for (const sample::Stock& s : data_.stocks) EXPECT_NE(s.code, code);
  const AddSummary s = Add(code);
  EXPECT_EQ(s.failure, "銘柄コード 1000 は J-Quants API の銘柄一覧にありません。");
  ASSERT_EQ(p_.errors.size(), 1u);
  EXPECT_EQ(p_.errors[0], "銘柄追加できませんでした。" + s.failure);
  const AddSummary n = Add("存在しない名前");
  EXPECT_EQ(n.failure, "「存在しない名前」に当たる銘柄は J-Quants API の銘柄一覧にありません。");
  EXPECT_EQ(site.site().barRequests(), 0);
  EXPECT_EQ(Files(), files);
}

// Cancelled as the bars are about to be asked, then the bars' answer a page
// of HTML: each refused, every file as it was.
void AddStockTest::CancelThenFailure(bool empty) {
  Start(empty);
  jquantssite::Options o;
  o.htmlAt = 1;
  LiveJQuants site(f_, o);
  const sample::Stock& st = Unlisted();
  const auto files = Files();

  AddHooks stop;
  stop.progress = [](const UpdateProgress& p) { return p.done < 1; };
  const AddSummary cancelled = Add(st.code, stop);
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_EQ(site.site().barRequests(), 0);
  EXPECT_EQ(Files(), files);
  ASSERT_EQ(p_.messages.size(), 1u);
  EXPECT_EQ(p_.messages[0], "銘柄追加を中止しました。デ-タ一覧は変わっていません。");

  const AddSummary failed = Add(st.code);
  EXPECT_EQ(site.site().barRequests(), 1);
  EXPECT_NE(failed.failure.find("HTML"), std::string::npos) << failed.failure;
  EXPECT_FALSE(failed.added());
  EXPECT_EQ(p_.errors.size(), 1u);
  EXPECT_EQ(Files(), files);
  EXPECT_EQ(ColumnOf(st.code), 0);
}

TEST_F(AddStockTest, ACancelOrAFailedAnswerLeavesTheListAsItWas) { CancelThenFailure(false); }

TEST_F(AddStockTest, ACancelOrAFailedAnswerLeavesNoListMade) { CancelThenFailure(true); }

}  // namespace
}  // namespace tavrine
