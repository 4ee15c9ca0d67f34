// The service's daily bars as the price store keeps them: every field of a
// record read, a record without a trade adding nothing, a record sent twice
// counting once and two different records of a day neither.
#include "web/service_prices.h"

#include <gtest/gtest.h>

#include "store/text.h"

namespace tavrine {
namespace {

const char* kPage = R"({"data":[
 {"Date":"2024-03-05","Code":"72030","O":2500,"H":2550.5,"L":2490,"C":2520,"UL":"1","LL":"0",
  "Vo":1200300,"Va":3024756000,"AdjFactor":0.5,"AdjO":2500,"AdjH":2550.5,"AdjL":2490,
  "AdjC":2520,"AdjVo":1200300,"ExRT":1.5},
 {"Date":"2024-03-05","Code":"130A0","O":null,"H":null,"L":null,"C":null,"UL":"0","LL":"0",
  "Vo":null,"Va":null,"AdjFactor":1,"AdjO":null,"AdjH":null,"AdjL":null,"AdjC":null,
  "AdjVo":null},
 {"Date":"2024-03-05","Code":"25935","O":90,"H":91,"L":89,"C":90,"UL":"0","LL":"1",
  "Vo":10,"Va":900,"AdjFactor":1,"AdjO":90,"AdjH":91,"AdjL":89,"AdjC":90,"AdjVo":10}
],"pagination_key":null})";

TEST(ServiceBars, EveryFieldOfARecordIsRead) {
  const std::vector<JQuantsBar> bars = ParseBarsPage(kPage);
  ASSERT_EQ(bars.size(), 3u);
  const JQuantsBar& b = bars[0];
  EXPECT_EQ(b.day, DaysFromCivil(2024, 3, 5));
  EXPECT_EQ(b.adjClose, "2520");
  EXPECT_EQ(*b.open, 2500);
  EXPECT_EQ(*b.high, 2550.5);
  EXPECT_EQ(*b.low, 2490);
  EXPECT_EQ(*b.close, 2520);
  EXPECT_EQ(*b.volume, 1200300);
  EXPECT_EQ(*b.turnover, 3024756000.0);
  EXPECT_EQ(*b.adjVolume, 1200300);
  EXPECT_EQ(*b.exRT, 1.5);
  EXPECT_TRUE(b.stopHigh);
  EXPECT_FALSE(b.stopLow);
  EXPECT_EQ(b.adjFactor, 0.5);
  EXPECT_FALSE(bars[1].close.has_value());
  EXPECT_FALSE(bars[1].exRT.has_value());
  EXPECT_TRUE(bars[2].stopLow);

  EXPECT_THROW(ParseBarsPage(R"({"data":[{"Date":"2024-03-05","Code":"72030","AdjC":1,)"
                             R"("AdjFactor":1,"O":"abc"}]})"),
               JQuantsError);
}

TEST(ServiceBars, AnAdjustmentsKindReadsAsTextAndAnOddFactorIsLeftToTheUpdate) {
  // ExRT as its text reads as the number; a factor of zero is no fault of
  // the page (the update refuses that stock alone); an ExRT that is no
  // number is.
  const std::vector<JQuantsBar> bars = ParseBarsPage(
      R"({"data":[{"Date":"2024-03-05","Code":"72030","AdjC":950,"AdjFactor":0.9437,"ExRT":"3"},)"
      R"({"Date":"2024-03-05","Code":"67580","AdjC":10,"AdjFactor":0}]})");
  ASSERT_EQ(bars.size(), 2u);
  EXPECT_EQ(*bars[0].exRT, 3);
  EXPECT_EQ(bars[0].adjFactor, 0.9437);
  EXPECT_EQ(bars[1].adjFactor, 0);
  EXPECT_THROW(ParseBarsPage(R"({"data":[{"Date":"2024-03-05","Code":"72030","AdjC":1,)"
                             R"("AdjFactor":1,"ExRT":"x"}]})"),
               JQuantsError);
}

TEST(ServiceBars, ATradedRecordIsOneStoredDayUnderTheListsCode) {
  std::vector<JQuantsBar> bars = ParseBarsPage(kPage);
  const std::vector<StoredBar> kept = ServiceBars(bars);
  ASSERT_EQ(kept.size(), 2u);        // the record of nulls adds nothing
  EXPECT_EQ(kept[0].code, "25935");  // an issue the list cannot hold keeps its own code
  EXPECT_EQ(kept[1].code, "7203");
  EXPECT_EQ(*kept[1].turnover, 3024756000.0);
  EXPECT_EQ(kept[1].adjFactor, 0.5);
  EXPECT_TRUE(kept[1].stopHigh);
  EXPECT_EQ(kept[1].source, PriceSource::Service);

  // The same record twice counts once; two different ones of a day leave it out.
  bars.push_back(bars[0]);
  EXPECT_EQ(ServiceBars(bars).size(), 2u);
  bars.back().close = 9999;
  const std::vector<StoredBar> left = ServiceBars(bars);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].code, "25935");
}

}  // namespace
}  // namespace tavrine
