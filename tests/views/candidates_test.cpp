#include <gtest/gtest.h>

#include "../support/cells.h"
#include "../support/data_folder.h"
#include "../support/events.h"
#include "../support/recording_platform.h"
#include "app/workspace.h"

namespace tavrine {
namespace {

using Recorder = testing::RecordingPlatform;
using testing::MouseUpEvent;

class CandidatesTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::StartUpCells(ws, 4); }
  // A candidate line: heading, an unread column, then n closes.
  static std::string candidate(const std::string& heading, int n, int base) {
    std::string line = "\"" + heading + "\",x";
    for (int k = 0; k < n; ++k) line += "," + std::to_string(base + k);
    return line;
  }
  void writePickrow(const std::vector<std::string>& rows) {
    std::string dates = "候補";
    for (int j = 1; j <= 751; ++j) dates += ",2003/12/" + std::to_string(j % 28 + 1);
    std::vector<std::string> lines{dates};
    lines.insert(lines.end(), rows.begin(), rows.end());
    folder.writeLines("pickrow/pickrow.csv", lines);
  }
  testing::DataFolder folder;
  Recorder rec;
  Workspace ws{rec};
};

TEST_F(CandidatesTest, OpeningTheListShowsItsFirstCandidate) {
  writePickrow({candidate("7203 トヨタ自動車", 750, 3000), candidate("6758 ソニー", 750, 5000)});
  ws.form.setVisible("Panel4", true);
  ws.form.setVisible("Panel14", true);
  ws.form.setVisible("Button104", true);
  ASSERT_TRUE(ws.dispatch("Button110", Event{}));
  ASSERT_TRUE(rec.errors.empty()) << rec.errors.front();
  EXPECT_TRUE(ws.form.visible("StringGrid7"));
  EXPECT_EQ(ws.CandidateTable.colCount(), 751);
  EXPECT_EQ(ws.CandidateTable.rowCount(), 3);
  EXPECT_EQ(ws.SeriesTable.cell(17, 4862), "2");
  EXPECT_EQ(ws.StockList.cell(199, 0), "7203 トヨタ自動車");
  EXPECT_EQ(ws.StockList.cell(199, 1), "3000");    // column 2 of the candidate row
  EXPECT_EQ(ws.StockList.cell(199, 749), "3748");  // column 750
  EXPECT_EQ(ws.StockList.cell(199, 750), "");      // column 751 lies past the 751 columns kept
  EXPECT_EQ(ws.form.text("Edit1"), "7203");
  EXPECT_EQ(ws.form.text("Edit18"), "7203");
  EXPECT_FALSE(ws.form.visible("Panel4"));
  EXPECT_FALSE(ws.form.visible("Panel14"));
  EXPECT_FALSE(ws.form.visible("Button104"));
  EXPECT_TRUE(ws.form.visible("Panel7"));

  // A click on the second candidate takes its prices.
  ws.dispatch("StringGrid7", MouseUpEvent(3, 2));
  EXPECT_EQ(ws.StockList.cell(199, 0), "6758 ソニー");
  EXPECT_EQ(ws.StockList.cell(199, 1), "5000");
  EXPECT_EQ(ws.form.text("Edit18"), "6758");
  EXPECT_EQ(ws.SeriesTable.cell(17, 4862), "2");
}

TEST_F(CandidatesTest, ShortCandidateAndEmptyCellsAndTheHeadingRow) {
  writePickrow({candidate("1301 極洋", 20, 300), candidate("7203 トヨタ自動車", 750, 3000)});
  ws.dispatch("Button110", Event{});
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0], "収集データが不足しています。\r銘柄コードも確認して下さい。");

  ws.form.setText("Edit1", "keep");
  ws.CandidateTable.set(5, 2, " ");
  ws.dispatch("StringGrid7", MouseUpEvent(5, 2));    // a single blank
  ws.dispatch("StringGrid7", MouseUpEvent(760, 2));  // an empty cell
  ws.dispatch("StringGrid7", MouseUpEvent(-1, -1));  // no cell
  ws.dispatch("StringGrid7", MouseUpEvent(3, 0));    // dates, not prices
  EXPECT_EQ(ws.form.text("Edit1"), "keep");
  EXPECT_EQ(ws.StockList.cell(199, 0), "1301 極洋");
}

TEST_F(CandidatesTest, PortfolioHeadingMessagesAndCodeClicks) {
  folder.writeLines("tavrine/tallysel.csv", {"\"ABC 2003/12/26\",a,b,c,d,e,f,g,h,i,j,k,l,m,n",
                                             "2003/12/19,7203,6758,,,,,,,,,9984,1301"});
  ws.dispatch("Button87", Event{});
  ASSERT_TRUE(rec.errors.empty()) << rec.errors.front();
  EXPECT_EQ(ws.CandidateTable.colCount(), 13);
  EXPECT_EQ(ws.CandidateTable.cell(12, 0), "l");  // fields past column 12 dropped
  EXPECT_EQ(ws.CandidateTable.cell(13, 0), "");
  EXPECT_EQ(ws.SeriesTable.cell(17, 4862), "3");

  ws.dispatch("StringGrid7", MouseUpEvent(0, 1));  // column 0 does nothing
  EXPECT_TRUE(rec.messages.empty());
  ws.dispatch("StringGrid7", MouseUpEvent(2, 0));
  ws.dispatch("StringGrid7", MouseUpEvent(11, 0));
  ASSERT_EQ(rec.messages.size(), 2u);
  EXPECT_EQ(rec.messages[0], "2003/12/26日のABC のデータです。");
  EXPECT_EQ(rec.messages[1], "2003/12/19日のpickrowデータとの組み合わせによるデータです。");

  ws.CandidateTable.set(0, 0, "ポートフォリオ 2003/12/26");
  ws.dispatch("StringGrid7", MouseUpEvent(1, 0));
  EXPECT_EQ(rec.messages.back(), "2003/12/26日のポートフォリオ のデータです。");

  // A code cell hands its code to the collection; the view stays the portfolio.
  ws.dispatch("StringGrid7", MouseUpEvent(2, 1));
  EXPECT_EQ(ws.form.text("Edit18"), "6758");
  EXPECT_EQ(ws.SeriesTable.cell(17, 4862), "3");
}

TEST_F(CandidatesTest, MissingListKeepsTheTableAndReportsTheFile) {
  writePickrow({candidate("7203 トヨタ自動車", 750, 3000)});
  ws.dispatch("Button110", Event{});
  folder.remove("pickrow/pickrow.csv");
  ws.dispatch("Button110", Event{});
  ASSERT_EQ(rec.errors.size(), 1u);
  EXPECT_NE(rec.errors[0].find("pickrow.csv"), std::string::npos);
  EXPECT_EQ(ws.CandidateTable.cell(0, 1), "7203 トヨタ自動車");
  ws.dispatch("Button87", Event{});  // no tallysel.csv either
  EXPECT_EQ(rec.errors.size(), 2u);
}

}  // namespace
}  // namespace tavrine
