// The quote site's pages as the collection and the calendar probe read them:
// request paths, the row markup, and the byte-exact cuts made on the page
// text as received (EUC-JP; positions and lengths count bytes).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrine::quote {

// Start of every table row's text; the row's date cell follows it.
inline constexpr std::string_view kRowMarker = "align=right bgcolor=\"#ffffff\"><td><small>";
// End of a table row.
inline constexpr std::string_view kRowEnd = "</small></td></tr>";
// Start of a cell's text.
inline constexpr std::string_view kCellStart = "<small>";

inline constexpr int kRowsPerPage = 50;
inline constexpr int kLastPage = 76;  // pages 0..76, at most 3850 rows
// The quick-collection cache: CacheTable columns 1 .. 20 hold the series of
// the last 20 codes collected since start-up, rows 0 .. 3900 of each.
inline constexpr int kCacheSlots = 20;
inline constexpr int kCachedRows = 3900;
inline constexpr std::size_t kKeptWindow = 15000;
inline constexpr std::size_t kValueWindow = 16;
inline constexpr int kProbeDays = 81;

// 1-based position of sub in s, 0 when absent.
std::size_t Pos(std::string_view sub, std::string_view s);
// count bytes from 1-based position index (an index below 1 counts from the
// first byte); fewer when s ends first.
std::string Copy(std::string_view s, long long index, long long count);

// Query text: code values are sent as typed; bytes that would break the
// request line or the query (controls, space, non-ASCII, & = # % + ?) are
// percent-encoded.
std::string EncodeQueryValue(std::string_view v);

// Path and query of page n (0..76) of a stock's daily history up to today
// (whole days).
std::string CollectionPath(int n, std::string_view code, int today);
// Path and query of the single-day request for the index 998407 on day d.
std::string ProbePath(int day);
// A day as the probe writes it: yyyy/m/d without leading zeros.
std::string ProbeDateText(int day);
// The probe's judgement of a page: a "<b>" after the first byte of the 200
// bytes that start 10 bytes after the first row marker (or at byte 10 of the
// page when there is no marker).
bool ProbeIsTradingDay(std::string_view body);

// The part of a page that is kept in rireki.txt: 15000 bytes from the first
// row marker, or the whole page when it has none.
std::string KeptWindow(std::string_view body);
// One line of rireki.txt: every row marker turned into a line break, then
// split at line breaks (a trailing break gives no empty piece).
std::vector<std::string> SplitPageLine(std::string_view line);
// The day of a row text's date cell ("2003年12月26日" in EUC-JP) as a day
// number; false when the row does not begin with such a date.
bool RowDay(std::string_view rowText, int& day);
// Head of a row text: its first 9 bytes (the year and month of the date cell).
std::string DateHead(std::string_view rowText);
// The text of a row's last cell when it is at most 9 bytes long: the 16 bytes
// before the row end, then up to 16 bytes after the first "<small>" in them.
std::string ExtractValue(std::string_view rowText);
// Removes the first comma up to `times` times.
std::string RemoveCommas(std::string s, int times = 4);
// Progress label of a raw date head: bytes 1-4, "・", the bytes from
// position 7 up to the month sign (first byte 0xB7), "・"; as UTF-8.
std::string ProgressLabel(std::string_view rawHead);

}  // namespace tavrine::quote
