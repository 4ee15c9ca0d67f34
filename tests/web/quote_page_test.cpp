// The byte-exact cuts on quote pages and the request paths.
#include <gtest/gtest.h>

#include "store/text.h"
#include "web/http_client.h"
#include "web/quote_page.h"
#include "web_support.h"

namespace tavrine {
namespace {

using namespace quote;

// EUC-JP bytes of 年, 月 and 日, written out by hand.
const std::string kNen = "\xC7\xAF", kTsuki = "\xB7\xEE", kHi = "\xC6\xFC";
const std::string kMarker = "align=right bgcolor=\"#ffffff\"><td><small>";

std::string Cell(const std::string& v) { return "<td><small>" + v + "</small></td>"; }

// Text of a table row after its marker, as it stands on a page.
std::string RowText(const std::string& date, const std::string& last) {
  return date + "</small></td>" + Cell("3,600") + Cell("3,650") + Cell("3,580") +
         "<td><small><b>3,610</b></small></td>" + Cell("1,234,500") + "<td><small>" + last +
         "</small></td></tr>";
}

TEST(QuotePage, ValueIsTheLastCellUpToNineBytes) {
  const std::string date = "2003" + kNen + "12" + kTsuki + "26" + kHi;
  EXPECT_EQ(ExtractValue(RowText(date, "3,610")), "3,610");
  EXPECT_EQ(ExtractValue(RowText(date, "1,234,567")), "1,234,567");
  EXPECT_EQ(RemoveCommas(ExtractValue(RowText(date, "9,999,999"))), "9999999");
  // Ten bytes no longer fit the 16-byte window behind "<small>": a fragment
  // stays, never the number.
  const std::string big = RemoveCommas(ExtractValue(RowText(date, "12,345,678")));
  EXPECT_NE(big, "12345678");
  EXPECT_EQ(big, "small>12345678");
  // A decimal value keeps its point.
  EXPECT_EQ(RemoveCommas(ExtractValue(RowText(date, "10,284.51"))), "10284.51");
}

TEST(QuotePage, ValueCutsNearTheStartAndWithoutRowEnd) {
  // Row end at byte 5: the window starts at byte 1 and runs 16 bytes.
  EXPECT_EQ(ExtractValue("1234</small></td></tr>"), "1234</small></td");
  // No row end: only the cut after the first "<small>" applies.
  EXPECT_EQ(ExtractValue("x<small>0123456789abcdefXYZ"), "0123456789abcdef");
  EXPECT_EQ(ExtractValue("plain text"), "plain text");
  EXPECT_EQ(ExtractValue(""), "");
}

TEST(QuotePage, CommaRemovalStopsAfterFour) {
  EXPECT_EQ(RemoveCommas("1,2,3,4,5,6"), "12345,6");
  EXPECT_EQ(RemoveCommas("1,234,567,890,123,456"), "1234567890123,456");
  EXPECT_EQ(RemoveCommas("3610"), "3610");
}

TEST(QuotePage, DateHeadAndProgressLabel) {
  const std::string date = "2003" + kNen + "12" + kTsuki + "26" + kHi;
  const std::string head = DateHead(RowText(date, "1"));
  EXPECT_EQ(head, "2003" + kNen + "12" + "\xB7");  // 9 bytes, half of 月
  EXPECT_EQ(ProgressLabel(head), "2003・12・");
  const std::string jan = DateHead("2004" + kNen + "1" + kTsuki + "5" + kHi + "</small>");
  EXPECT_EQ(ProgressLabel(jan), "2004・1・");
  // No month sign: nothing between the dots.
  EXPECT_EQ(ProgressLabel("2003abcde"), "2003・・");
  EXPECT_EQ(ProgressLabel(""), "・・");
}

TEST(QuotePage, KeptWindowStartsAtTheFirstMarker) {
  const std::string head = "<html>no rows here\n";
  std::string rows;
  while (rows.size() < 20000) rows += "<tr " + kMarker + "x</small></td></tr>\n";
  const std::string w = KeptWindow(head + rows);
  EXPECT_EQ(w.size(), 15000u);
  EXPECT_EQ(w.substr(0, kMarker.size()), kMarker);
  EXPECT_EQ(KeptWindow(head), head);
  EXPECT_EQ(KeptWindow(head + kMarker + "x"), kMarker + "x");
}

TEST(QuotePage, SplitTurnsMarkersIntoPieces) {
  std::vector<std::string> expect = {"<tr ", "A", "B"};
  EXPECT_EQ(SplitPageLine("<tr " + kMarker + "A" + kMarker + "B"), expect);
  expect = {"", "A"};
  EXPECT_EQ(SplitPageLine(kMarker + "A"), expect);
  // A marker at the end gives no empty last piece.
  expect = {"A"};
  EXPECT_EQ(SplitPageLine("A" + kMarker), expect);
  EXPECT_TRUE(SplitPageLine("").empty());
  // A marker cut short is plain text.
  expect = {"align=right bgcolor"};
  EXPECT_EQ(SplitPageLine("align=right bgcolor"), expect);
}

TEST(QuotePage, CollectionRequestPaths) {
  const int today = DaysFromCivil(2003, 12, 26);
  EXPECT_EQ(CollectionPath(0, "7203", today),
            "/t?c=1930&a=9&b=16&f=2003&d=12&e=26&g=d&s=7203&y=0&z=9984.t");
  EXPECT_EQ(CollectionPath(1, "7203", today),
            "/t?s=7203&a=9&b=16&c=1930&d=12&e=26&f=2003&g=d&q=t&y=50&z=9984.t&x=.csv");
  EXPECT_EQ(CollectionPath(76, "7203", DaysFromCivil(2004, 1, 5)),
            "/t?s=7203&a=9&b=16&c=1930&d=01&e=05&f=2004&g=d&q=t&y=3800&z=9984.t&x=.csv");
  // A typed code cannot add keys or break the request line.
  EXPECT_EQ(CollectionPath(0, "7&s=", today),
            "/t?c=1930&a=9&b=16&f=2003&d=12&e=26&g=d&s=7%26s%3D&y=0&z=9984.t");
  EXPECT_EQ(EncodeQueryValue("7 03"), "7%2003");
}

TEST(QuotePage, ProbePathsAndDates) {
  EXPECT_EQ(ProbePath(DaysFromCivil(2003, 1, 6)),
            "/t?c=2003&a=1&b=6&f=2003&d=1&e=6&g=d&s=998407&y=0&z=");
  EXPECT_EQ(ProbePath(DaysFromCivil(2003, 10, 10)),
            "/t?c=2003&a=10&b=10&f=2003&d=10&e=10&g=d&s=998407&y=0&z=");
  EXPECT_EQ(ProbePath(DaysFromCivil(2003, 12, 5)),
            "/t?c=2003&a=12&b=5&f=2003&d=12&e=5&g=d&s=998407&y=0&z=");
  EXPECT_EQ(ProbeDateText(DaysFromCivil(2003, 1, 6)), "2003/1/6");
  EXPECT_EQ(ProbeDateText(DaysFromCivil(2003, 10, 10)), "2003/10/10");
  EXPECT_EQ(ProbeDateText(DaysFromCivil(2003, 10, 5)), "2003/10/5");
  EXPECT_EQ(ProbeDateText(DaysFromCivil(2003, 2, 20)), "2003/2/20");
}

TEST(QuotePage, ProbeJudgesTheWindowAfterTheMarker) {
  // The site's own pages: an index row is a trading day, no row is not.
  quotesite::Row r;
  r.y = 2003, r.m = 12, r.d = 26;
  r.open = r.high = r.low = r.close = r.adjclose = "10284.51";
  r.volume = "1234567890";
  EXPECT_TRUE(ProbeIsTradingDay(quotesite::RenderPage("998407", {&r})));
  EXPECT_FALSE(ProbeIsTradingDay(quotesite::RenderPage("998407", {})));
  // Without a marker the window starts at byte 10; "<b>" right there is at
  // its first byte and does not count, one byte later it does.
  EXPECT_FALSE(ProbeIsTradingDay("123456789<b>"));
  EXPECT_TRUE(ProbeIsTradingDay("1234567890<b>"));
  // Beyond the 200-byte window.
  EXPECT_FALSE(ProbeIsTradingDay(kMarker + std::string(200, 'x') + "<b>"));
  EXPECT_TRUE(ProbeIsTradingDay(kMarker + std::string(150, 'x') + "<b>"));
}

TEST(QuotePage, PacketStatusText) {
  EXPECT_EQ(PacketStatus(4096, 13675), "受信中：4096/13675　byte");
}

TEST(QuoteSite, RowsCarryThousandsCommas) {
  EXPECT_EQ(quotesite::WithCommas("1234567"), "1,234,567");
  EXPECT_EQ(quotesite::WithCommas("999"), "999");
  EXPECT_EQ(quotesite::WithCommas("10284.51"), "10,284.51");
  EXPECT_EQ(quotesite::WithCommas("-1000"), "-1,000");
  quotesite::Row r;
  r.y = 2003, r.m = 1, r.d = 6;
  r.open = r.high = r.low = r.close = "3610";
  r.volume = "1234500";
  r.adjclose = "9999999";
  const std::string row = quotesite::RenderRow(r);
  // What the collection reads back from it.
  const auto pieces = SplitPageLine(row.substr(0, row.size() - 1));
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(ProgressLabel(DateHead(pieces[1])), "2003・1・");
  EXPECT_EQ(RemoveCommas(ExtractValue(pieces[1])), "9999999");
}

}  // namespace
}  // namespace tavrine
