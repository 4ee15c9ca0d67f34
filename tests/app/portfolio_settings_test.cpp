// The portfolio's settings read from text as the driver's keys and the
// window's boxes give them, and its trade list as text.
#include "app/portfolio_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signals/rules.h"
#include "store/text.h"

namespace tavrine {
namespace {

TEST(PortfolioSettings, EachKeyReadsAndTheEntrySetsBothSides) {
  PortfolioSettings s;
  std::string error;
  ASSERT_TRUE(ReadPortfolioKeys(
      s,
      {"rule=乖離", "entry=sell", "term=short", "slots=2", "capital=5000000",
       "commission=rate:0.1:100", "slip=2", "tax=0", "borrow=2", "fill=close", "priority=code"},
      error))
      << error;
  EXPECT_EQ(PortfolioRuleName(s.inputs.tag), "乖離");
  EXPECT_EQ(s.inputs.entry, EntrySide::Sell);
  EXPECT_FALSE(s.options.entryBuy);  // the replay sells first too
  EXPECT_TRUE(s.inputs.shortTerm);
  EXPECT_EQ(s.options.positions, 2);
  EXPECT_EQ(s.options.capital, 5000000);
  EXPECT_EQ(s.options.costs.slipTicks, 2);
  EXPECT_EQ(s.options.costs.taxPercent, 0);
  EXPECT_EQ(s.options.costs.borrowPercent, 2);
  EXPECT_EQ(s.options.costs.fill, FillAt::Close);
  EXPECT_EQ(s.options.priority, portfolio::Priority::Code);
  ASSERT_TRUE(SetPortfolioKey(s, "entry", "buy", error));
  EXPECT_TRUE(s.options.entryBuy);
  // Every rule's name reads back to its tag.
  for (int t = 0; t < kRuleCount; ++t) {
    ASSERT_TRUE(SetPortfolioKey(s, "rule", PortfolioRuleName(t), error)) << t;
    EXPECT_EQ(s.inputs.tag, t);
  }
}

TEST(PortfolioSettings, AValueThatDoesNotReadChangesNothingAndIsNamed) {
  PortfolioSettings s;
  std::string error;
  ASSERT_TRUE(SetPortfolioKey(s, "slots", "3", error));
  const struct {
    const char *key, *value;
  } bad[] = {{"slots", "0"},     {"slots", "x"},  {"commission", "rate:abc"}, {"slip", "-1"},
             {"capital", "abc"}, {"tax", "x%"},   {"fill", "middle"},         {"rule", "G9"},
             {"entry", "long"},  {"term", "mid"}, {"priority", "name"},       {"window", "3"}};
  for (const auto& b : bad) {
    error.clear();
    EXPECT_FALSE(SetPortfolioKey(s, b.key, b.value, error)) << b.key << "=" << b.value;
    EXPECT_NE(error.find(b.key == std::string("window") ? b.key : b.value), std::string::npos)
        << error;
    EXPECT_EQ(s.options.positions, 3);
    EXPECT_EQ(s.options.capital, 3000000);
  }
  EXPECT_FALSE(ReadPortfolioKeys(s, {"slots=4", "slots"}, error));
  EXPECT_NE(error.find("名前=値"), std::string::npos);
}

TEST(PortfolioSettings, TradeCellsNameTheStockAndAnOpenTradeHasNoExitDay) {
  PortfolioRun run;
  run.codes = {"1301", "7203"};
  portfolio::Trade t;
  t.stock = 1;
  t.entryDay = DaysFromCivil(2021, 3, 1);
  t.shares = 300;
  t.entryPrice = 1234.5L;
  t.exitPrice = 1300;
  t.cost = 99;
  t.pnl = 300 * (1300 - 1234.5L) - 99;
  EXPECT_EQ(PortfolioTradeCells(run, t),
            (std::vector<std::string>{"7203", "2021/03/01", "-", "300", "1234.5", "1300", "99",
                                      "19551"}));
  t.exitDay = DaysFromCivil(2021, 3, 9);
  EXPECT_EQ(PortfolioTradeCells(run, t)[2], "2021/03/09");
  EXPECT_EQ(PortfolioTradeHeadings().size(), PortfolioTradeCells(run, t).size());
}

}  // namespace
}  // namespace tavrine
