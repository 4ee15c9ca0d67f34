// CalcTable's columns: one day a row (row 1 the newest), one series a
// column. The extraction writes the closes and averages, the indicator
// passes the trend lines and oscillators, the rule passes the signal columns
// (a rule's number is its column), the overlays the deviation view. SeriesTable
// holds the chart window of the same columns.
#pragma once

namespace tavrine::calc {

inline constexpr int kDate = 0;
inline constexpr int kClose = 1;  // whole yen
// Rounded moving averages of the close.
inline constexpr int kMA5 = 2;
inline constexpr int kMA25 = 3;
inline constexpr int kMA75 = 4;
inline constexpr int kMA200 = 5;
inline constexpr int kMA1000 = 6;
// Trend lines: how fast an average moves, in units of the price scale. S1,
// S2 and S3 are also the signal columns of rules S1, S2, S3.
inline constexpr int kS1 = 7;
inline constexpr int kS2 = 8;
inline constexpr int kS3 = 9;
inline constexpr int kS4 = 10;
inline constexpr int kFifthLine = 11;       // S5 or the close deviation, in SeriesTable
inline constexpr int kCloseDeviation = 12;  // "S1補助": the close against MA5
inline constexpr int kS5 = 13;
inline constexpr int kS3AtNewer = 14;  // S3 stored at the newer row of its pair
inline constexpr int kS4AtNewer = 15;  // S4 stored at the newer row of its pair
inline constexpr int kZeroLine = 17;
inline constexpr int kRowNumber = 18;
// Signal columns of the term-dependent rules.
inline constexpr int kG3 = 20;
inline constexpr int kG4 = 21;
inline constexpr int kG5 = 22;
inline constexpr int kG6 = 23;
inline constexpr int kG7 = 24;
// The deviation view: the deviation line, S2..S4 beside it, its bands.
inline constexpr int kDeviation = 25;
inline constexpr int kS2Beside = 26;
inline constexpr int kS3Beside = 27;
inline constexpr int kS4Beside = 28;
inline constexpr int kUpperBand = 29;
inline constexpr int kLowerBand = 30;
inline constexpr int kKairi = 31;  // rule "乖離"
// Stochastics: highest and lowest close, the 9-day fast and slow lines, the
// 80 % and 20 % guides, the 65-day fast and slow lines, and rule ST.
inline constexpr int kHigh = 32;
inline constexpr int kLow = 33;
inline constexpr int kFast9 = 34;
inline constexpr int kSlow9 = 35;
inline constexpr int kGuide80 = 36;
inline constexpr int kGuide20 = 37;
inline constexpr int kFast65 = 38;
inline constexpr int kSlow65 = 39;
inline constexpr int kST = 40;

}  // namespace tavrine::calc
