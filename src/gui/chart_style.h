// How the chart draws the price and the lower lines; the window remembers it.
#pragma once

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

}  // namespace tavrine::gui
