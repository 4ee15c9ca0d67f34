// How the chart draws the price and the lower lines; the window remembers it.
#pragma once

#include <string_view>

namespace tavrine::gui {

// 足種: a candle a day, a week (Monday to Friday) or a calendar month.
enum class BarKind { Day, Week, Month };

struct ChartStyle {
  bool candles = true;      // ローソク足 where the day has one; false: the close line
  bool whiteBlack = false;  // 陽線 white and 陰線 black instead of red and blue
  bool overlay = false;     // 重ね表示: the lower lines on the price axis, no pane of their own
  BarKind bars = BarKind::Day;
  bool operator==(const ChartStyle&) const = default;
};

// Comma-separated words onto a style, as an unattended run names it:
// "day", "week" or "month" (足種), "candles" or "line" (ローソク足 or the
// close line), "whiteblack", "overlay" (重ね表示). False, and the style
// untouched, on an empty or unknown word.
inline bool ApplyChartStyleWords(std::string_view words, ChartStyle& style) {
  ChartStyle s = style;
  while (true) {
    const std::size_t comma = words.find(',');
    const std::string_view w = words.substr(0, comma);
    if (w == "day")
      s.bars = BarKind::Day;
    else if (w == "week")
      s.bars = BarKind::Week;
    else if (w == "month")
      s.bars = BarKind::Month;
    else if (w == "candles")
      s.candles = true;
    else if (w == "line")
      s.candles = false;
    else if (w == "whiteblack")
      s.whiteBlack = true;
    else if (w == "overlay")
      s.overlay = true;
    else
      return false;
    if (comma == std::string_view::npos) break;
    words.remove_prefix(comma + 1);
  }
  style = s;
  return true;
}

}  // namespace tavrine::gui
