// Where the backtest leaves its results in StatsTable: the trade list on the
// left, the statistics block on the right. The backtest writes them here and
// the figures, the scan, the backtest view and the export read them through
// these names only.
//
//   columns 0..6, rows 1..: No., entry date, exit date, holding days, entry
//                           close, exit close, ratio (newest trade first)
//   [8..14, 0]   the seven ratio ranges' captions
//   [8..14, 1]   their average ratio     [8..14, 2]  their trade counts
//   [8,3] overall average ratio   [11,3] trades    [13,3] condition
//   [8,4] annual rate             [11,4] per year  [13,4] average days
//   [13,5] most frequent holding days (rule S1)    [7,5]  truncation note
//   [7, d+6] = d, [8, d+6] = trades held d days (the histogram, from row 7)
//   columns 1..6, rows 1001..1999: the walk's staging rows (StagingRow)
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "store/control_cells.h"
#include "store/work_table.h"

namespace tavrine::stats {

// The trade list's columns.
enum TradeColumn : int {
  kNumber,
  kEntryDate,
  kExitDate,
  kHeldDays,
  kEntryClose,
  kExitClose,
  kRatio
};

// The ratio ranges: columns kFirstRange .. kFirstRange + kRanges - 1.
inline constexpr int kFirstRange = 8;
inline constexpr int kRanges = 7;
inline constexpr int kRangeAverageRow = 1;
inline constexpr int kRangeCountRow = 2;

inline constexpr CellRef kOverallAverage{8, 3};
inline constexpr CellRef kTrades{11, 3};
inline constexpr CellRef kCondition = ctl::Condition;
inline constexpr CellRef kAnnualRate{8, 4};
inline constexpr CellRef kPerYear{11, 4};
inline constexpr CellRef kAverageDays{13, 4};
inline constexpr CellRef kMostFrequentCaption{12, 5};
inline constexpr CellRef kMostFrequentDays{13, 5};
inline constexpr CellRef kTruncatedNote{7, 5};

// The statistics are the first bytes of their general text form: five for
// the ratios' averages, four for the rest ("1.052", "3.45", "217.").
inline constexpr std::size_t kAverageBytes = 5;
inline constexpr std::size_t kStatisticBytes = 4;

// The fixed captions beside the values.
inline constexpr std::pair<CellRef, const char*> kCaptions[] = {
    {{7, 1}, "範囲平均"}, {{7, 2}, "頻度"},   {{7, 3}, "全利率平均"},  {{10, 3}, "全頻度"},
    {{12, 3}, "条件"},    {{7, 4}, "年利率"}, {{10, 4}, "年平均頻度"}, {{12, 4}, "平均日数"}};

// The rows of the block: 1 .. kLastRow, all of them cleared and numbered.
inline constexpr int kLastRow = 2000;
// The staging rows the walk writes each trade into before the list is
// ordered: trade k (k = 1 the oldest) stands in row StagingRow(k) while that
// row is at least kFirstStagingRow; the staging clear empties
// kFirstStagingRow .. kLastRow.
inline constexpr int kFirstStagingRow = 1001;
constexpr int StagingRow(int k) { return kLastRow - k; }
constexpr bool IsStaged(int k) { return StagingRow(k) >= kFirstStagingRow; }

// The histogram: days in column kHistogramDays, counts in kHistogramCounts,
// row d + kHistogramOffset for a holding time of d days.
inline constexpr int kHistogramDays = 7;
inline constexpr int kHistogramCounts = 8;
inline constexpr int kHistogramOffset = 6;
inline constexpr int kFirstHistogramRow = 1 + kHistogramOffset;
inline constexpr int kLastHistogramRow = 1999;

// The statistics a run leaves, as their cells hold them.
struct Summary {
  int trades = 0;           // 全頻度, 0 when blank
  std::string average;      // 全利率平均 ("" without trades)
  std::string perYear;      // 年平均頻度 ("" without trades)
  std::string annualRate;   // 年利率
  std::string averageDays;  // 平均日数 ("" without trades)
};

inline Summary ReadSummary(const WorkTable& t) {
  Summary s;
  const std::string& count = t.cell(kTrades);
  s.trades = IsBlank(count) ? 0 : StrToInt(count);
  if (s.trades > 0) {
    s.average = t.cell(kOverallAverage);
    s.perYear = t.cell(kPerYear);
    s.averageDays = t.cell(kAverageDays);
  }
  s.annualRate = t.cell(kAnnualRate);
  return s;
}

}  // namespace tavrine::stats
