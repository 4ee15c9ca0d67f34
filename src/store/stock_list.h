// The stock list's layout, shared by every handler that reads or writes it:
// column 0 the dates, stock columns 1 .. 197 (the list proper; the update
// refuses a stock when 197 is taken), column 199 the scratch column a
// collected or viewed series is written into before it is shown, and the day
// rows 1 .. 4860, newest first.
#pragma once

namespace tavrine::stocklist {

inline constexpr int kFirstStockColumn = 1;
inline constexpr int kLastStockColumn = 197;
inline constexpr int kScratchColumn = 199;
inline constexpr int kLastDayRow = 4860;

}  // namespace tavrine::stocklist
