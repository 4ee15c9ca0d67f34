// Where the main window's areas and hand-placed controls stand, in pixels
// as designed: the splitter's panes, the grids, the bottom panel, the rule
// and collection panels, and the control tables in creation (tab) order.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace tavrine::gui::layout {

// ---- Layout, in pixels, as designed --------------------------------------

// The splitter's three areas. The chart area and the bottom panel get their
// designed heights when the window first has its size; the statistics grid
// between them takes the rest.
inline constexpr int kChartHeight = 497;
inline constexpr int kBottomHeight = 102;
inline constexpr int kChartMinHeight = 120;
inline constexpr int kStatsMinHeight = 30;
// The bottom panel never gets lower than the control panel's three rows.
inline constexpr int kBottomMinHeight = kBottomHeight;
// The splitter's panes, top to bottom: chart, statistics, bottom panel.
inline const QList<int> kPaneMinimums = {kChartMinHeight, kStatsMinHeight, kBottomMinHeight};
inline constexpr int kSplitterHandle = 5;
// Until the user drags a splitter, each height of the window shares out
// this way: the grids show at least this many rows, then the chart keeps
// at least its share of the height and the grids grow by theirs.
inline constexpr int kRowsWanted = 8;
// The trade list's heading row and eight trades.
inline constexpr int kTradeRowsWanted = kRowsWanted + 1;
inline constexpr int kChartShare = 45;
// The status bar under the splitter, where successes are said.
inline constexpr int kSuccessBarHeight = 20;
// The chart is not made lower than this for the grids: the memo panel then
// still fits under the chart's legend. The status bar's height comes out of
// it, so the grids keep their rows on a low screen.
inline constexpr int kChartKeptHeight = 340 - kSuccessBarHeight;
inline constexpr int kStatsShare = 20;
inline constexpr int kBottomShare = 18;
// The heights of the splitter's three panes in `room` pixels when the
// statistics and the bottom panel want these heights for their rows.
QList<int> SplitForHeight(int room, int statsWant, int bottomWant);

// Grids: row heights and column widths.
inline constexpr int kGridRowHeight = 20;
inline constexpr int kGridMinRowHeight = 12;
inline constexpr int kGridMinColumnWidth = 8;
inline constexpr int kGridResizeStrip = 6;
inline constexpr int kStatsColumnWidth = 45;
inline constexpr int kSeriesColumnWidth = 85;
inline constexpr int kListColumnWidth = 85;
inline constexpr int kPickerColumnWidth = 130;
inline constexpr int kPickerFirstColumnWidth = 24;
inline constexpr int kPickerRowHeight = 22;
inline constexpr int kCandidateColumnWidth = 64;
// Rows of the statistics grid whose texts set its columns' widths (the
// trade list's newest trades and every label of the statistics block), and
// rows of the value grid searched for the base date.
inline constexpr int kStatsRowsFitted = 60;
inline constexpr int kValueRowsSearched = 4800;

// Bottom panel: the series grid at the left, the stock list, the control panel
// at the right.
inline constexpr int kSeriesGridWidth = 256;
inline constexpr int kSeriesGridMinWidth = 80;
inline constexpr int kListMinWidth = 40;
inline constexpr int kControlPanelWidth = 614;

// The save strip at the right of the statistics grid: its buttons stand one
// under the other from its top left, in as many columns as its height needs.
// Wide enough for "資金管理検証".
inline constexpr QSize kSaveButton{88, 24};
inline constexpr int kSaveMargin = 5;
inline constexpr int kSaveTop = 4;
inline constexpr int kSaveStep = 28;

// Buttons and boxes are one height; the control panel's stand in three rows.
inline constexpr int kControlHeight = 26;
inline constexpr int kRowTop[] = {6, 38, 70};
constexpr QRect InRow(int row, int x, int width) {
  return {x, kRowTop[row], width, kControlHeight};
}
// The rule panel stands at the right of the three rows while shown; the
// control panel widens by its width, so it covers none of them. Its third
// row holds the way of judging and "本日の信号".
inline constexpr QRect kRulePanel{kControlPanelWidth, 2, 217, 96};
inline constexpr int kRulePanelRoom = 221;
// From this window width on the control panel keeps the rule panel's room
// while the panel is hidden too, and the list grid still shows a column.
inline constexpr int kRoomKeptFromWidth = 1190;
constexpr QRect InRulePanel(int x, int y, int width) { return {x, y, width, kControlHeight}; }

// The heading box Edit5, centred at the top of the chart.
inline constexpr int kHeadingTop = 4;
inline constexpr int kHeadingHeight = 26;
inline constexpr int kHeadingMinWidth = 120;
inline constexpr int kHeadingMaxWidth = 520;
inline constexpr int kHeadingSideRoom = 200;
// The memo panel at the left of the chart; its top is where it stands in
// the designed chart area, so it keeps its distance from the lower edge.
inline constexpr QRect kMemoPanel{24, 224, 161, 263};
inline constexpr int kMemoMinHeight = 90;
inline constexpr int kMemoMargin = 2;
inline constexpr QSize kMemoSaveButton{81, 25};
inline constexpr int kMemoSaveIndent = 30;
// The candidate table at the lower right, at most half the chart area.
inline constexpr int kCandidateMaxWidth = 620;
inline constexpr int kCandidateMaxHeight = 280;
inline constexpr int kOverlayMargin = 4;
// The stock picker's heading strip.
inline constexpr int kPickerHeadingHeight = 34;
inline constexpr int kPickerHeadingMargin = 4;
inline constexpr int kPickerHeadingSpacing = 6;
inline constexpr int kPickerTitleWidth = 340;
inline constexpr int kPickerVersionWidth = 150;
// The collection panel at the upper right of the picker, below its heading.
inline constexpr QSize kCollectionPanel{440, 236};
inline constexpr int kCollectionRight = 16;
inline constexpr int kCollectionTop = 44;
inline constexpr int kStatusBarHeight = 24;

// ---- Hand-placed controls ------------------------------------------------

// Labels show their caption (a link is a label that is clicked); a number
// box is a text box aligned right.
enum class Make { Label, Link, Edit, NumberBox, Button };

// A control of the Form, how the window makes it and where it stands in its
// panel. Each table is in creation order, which is also the tab order.
struct Placed {
  const char* name;
  Make make;
  QRect at;
};

inline constexpr Placed kControlPanel[] = {
    // Row 1: base date, day steps, manual price, price collection.
    {"Label1", Make::Link, InRow(0, 4, 38)},
    {"Edit2", Make::Edit, InRow(0, 44, 78)},
    {"Button25", Make::Button, InRow(0, 124, 44)},
    {"Button61", Make::Button, InRow(0, 170, 36)},
    {"Button62", Make::Button, InRow(0, 208, 36)},
    {"Edit10", Make::NumberBox, InRow(0, 246, 24)},
    {"Label4", Make::Label, InRow(0, 274, 50)},
    {"Edit6", Make::NumberBox, InRow(0, 326, 52)},
    {"Button34", Make::Button, InRow(0, 380, 36)},
    {"Button35", Make::Button, InRow(0, 418, 36)},
    {"BitBtn1", Make::Button, InRow(0, 458, 78)},
    // Window-only: "取込" under "株価収集", in the room the second row leaves;
    // "一括更新" beside it and its settings under it, in a column of their own,
    // with "銘柄追加" above them.
    {"UndoButton", Make::Button, InRow(1, 404, 52)},
    {"ImportButton", Make::Button, InRow(1, 458, 78)},
    {"AddStockButton", Make::Button, InRow(0, 540, 70)},
    {"UpdateButton", Make::Button, InRow(1, 540, 70)},
    {"UpdateSettingsButton", Make::Button, InRow(2, 540, 70)},
    // Row 2: stock code, memo, width, lower lines, direction, print.
    {"Label2", Make::Label, InRow(1, 4, 56)},
    {"Edit1", Make::Edit, InRow(1, 62, 56)},
    {"Button58", Make::Button, InRow(1, 122, 40)},
    {"Button118", Make::Button, InRow(1, 164, 28)},
    {"Button81", Make::Button, InRow(1, 194, 40)},
    {"Button13", Make::Button, InRow(1, 236, 40)},
    {"Button47", Make::Button, InRow(1, 278, 40)},
    {"Button59", Make::Button, InRow(1, 320, 40)},
    {"Button130", Make::Button, InRow(1, 362, 40)},
    // Row 3: stock button, terms, rules, minimum ratio, usage.
    {"Label3", Make::Label, InRow(2, 4, 50)},
    {"Button17", Make::Button, InRow(2, 56, 74)},
    {"Button2", Make::Button, InRow(2, 132, 38)},
    {"DrawChart", Make::Button, InRow(2, 172, 38)},
    {"Button4", Make::Button, InRow(2, 212, 38)},
    {"Label5", Make::Link, InRow(2, 256, 86)},
    {"Button37", Make::Button, InRow(2, 344, 30)},
    {"Button38", Make::Button, InRow(2, 376, 30)},
    {"Button39", Make::Button, InRow(2, 408, 30)},
    {"MaskEdit1", Make::NumberBox, InRow(2, 440, 36)},
    {"Button88", Make::Button, InRow(2, 478, 58)},
};

// The rule panel's two rows: the seven rule buttons and the term and
// explanation buttons, with "一括検証" at the end of the second row.
inline constexpr Placed kRulePanelControls[] = {
    {"Button73", Make::Button, InRulePanel(4, 4, 40)},
    {"Button74", Make::Button, InRulePanel(46, 4, 40)},
    {"Button75", Make::Button, InRulePanel(88, 4, 40)},
    {"Button76", Make::Button, InRulePanel(130, 4, 40)},
    {"Button77", Make::Button, InRulePanel(172, 4, 40)},
    {"Button1", Make::Button, InRulePanel(4, 34, 36)},
    {"Button83", Make::Button, InRulePanel(42, 34, 30)},
    {"Button79", Make::Button, InRulePanel(74, 34, 30)},
    {"Button78", Make::Button, InRulePanel(106, 34, 36)},
};
inline constexpr QRect kScanButton = InRulePanel(144, 34, 68);

inline constexpr Placed kCollectionControls[] = {
    {"Label21", Make::Label, {12, 8, 416, 76}},
    {"Label22", Make::Label, {12, 88, 140, 18}},
    {"Edit18", Make::Edit, {12, 108, 90, kControlHeight}},
    {"Button89", Make::Button, {110, 108, 70, kControlHeight}},
    {"Button90", Make::Button, {186, 108, 70, kControlHeight}},
    {"Button110", Make::Button, {12, 146, 100, kControlHeight}},
    {"Button87", Make::Button, {118, 146, 112, kControlHeight}},
    {"Button104", Make::Button, {236, 146, 112, kControlHeight}},
};

}  // namespace tavrine::gui::layout
