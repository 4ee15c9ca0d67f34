// Judging without hindsight: every value a rule reads for a day is computed
// from the closes up to and including that day.
//
// The original placement of the trend lines is centred: the line stored at a
// day compares the average of that day with the average of a NEWER day (2, 12,
// 37 and 100 rows newer for S1 .. S4), and the price scale P that multiplies
// the lines, deviations and bands is the rounded average of the 25 closes
// after the list's newest day. Both read closes that the day could not know.
// Here instead:
//
//  - a trend line's value sits on the day it becomes known, its newer day:
//    S(r) = Round(P(r) x f x (A(r) - A(r+g)) / A(r)), the same formula and
//    order of operations as the centred line stored at r+g;
//  - P(r) is the price scale the day r would have had as the list's newest
//    day, by the same rule: Round((close(r+1) + ... + close(r+25)) / 25);
//  - every other input (averages, highs and lows, stochastics) already ends
//    at its day.
//
// A column has a value on a day when every close it reads exists; that is
// rows first .. oldest(column), so the newest priced day always has one when
// the history is long enough. Nothing computed for a day changes when newer
// days arrive: cutting the closes at a day leaves every value up to it as it
// was.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "signals/rules.h"
#include "store/calc_columns.h"

namespace tavrine {

class WorkTable;

namespace honest {

// Which average the deviation rule "乖離" tests the close against.
enum class Deviation { Short25, Long75, Long200 };

// The term-dependent choices of the rule columns.
struct Terms {
  bool longTerm = true;                     // G3 .. G7: the long- or short-term set
  Deviation deviation = Deviation::Long75;  // the line "乖離" tests
  bool stLong = true;                       // ST: 65-day (long) or 9-day (short) stochastics
  bool operator==(const Terms&) const = default;
};
// The long-term set as an extraction leaves it (75-day deviation mode), and
// the short-term set as the term switch computes it.
inline constexpr Terms kLongTerms{true, Deviation::Long75, true};
inline constexpr Terms kShortTerms{false, Deviation::Short25, false};

// The CalcTable columns written: the trend-line rules S1 .. S3 and the trend
// line S4 that the agreements read, then the term-dependent rule columns (G3
// .. G7, "乖離", ST), each part in tag order.
inline constexpr std::array<int, kRuleCount + 1> kColumns = [] {
  std::array<int, kRuleCount + 1> c{};
  std::size_t i = 0;
  for (const RuleDef& r : kRules)
    if (!r.termDependent()) c[i++] = r.number;
  c[i++] = calc::kS4;
  for (const RuleDef& r : kRules)
    if (r.termDependent()) c[i++] = r.number;
  return c;
}();
// Index into kColumns of a CalcTable column; -1 for any other.
constexpr int IndexOfColumn(int column) {
  for (std::size_t i = 0; i < kColumns.size(); ++i)
    if (kColumns[i] == column) return static_cast<int>(i);
  return -1;
}

struct Columns {
  int first = 0, last = 0;  // the data rows the closes came from
  // values[i][r]: column kColumns[i] on row r, for rows first .. oldest[i].
  std::array<std::vector<long long>, kColumns.size()> values;
  std::array<int, kColumns.size()> oldest{};

  bool has(int i, int r) const { return r >= first && r <= oldest[i]; }
};

// Sets of kColumns by index (bit i: kColumns[i]).
inline constexpr unsigned kAllColumns = (1u << kColumns.size()) - 1;
static_assert(kColumns.size() < 32);
// A column of kColumns and the columns its values read (an agreement reads
// its trend line, the short-term ST reads S3); every column for any other.
unsigned Needs(int column, const Terms& terms);

// The columns for closes indexed by row (close[r] for rows first .. last,
// newest first; other entries are not read). `only` limits the work to the
// columns it holds and those they read, each with exactly the values the
// full computation gives it; every other column has no values (its
// `values` empty, `has` false on every row).
Columns Compute(const std::vector<long long>& close, int first, int last, const Terms& terms,
                unsigned only = kAllColumns);

// Compute with the last few results kept: a term switch goes back and forth
// between two term sets on the same closes, and each comes back unchanged.
// A result is reused only for the same closes, rows and terms.
class ComputeCache {
 public:
  const Columns& get(const std::vector<long long>& close, int first, int last, const Terms& terms);

 private:
  struct Entry {
    std::vector<long long> close;
    int first = 0, last = 0;
    Terms terms;
    Columns columns;
  };
  static constexpr std::size_t kEntries = 4;
  std::vector<Entry> entries_;  // the most recently used last
};

// The rows of one column: the value as integer text where it has one, "0"
// elsewhere in rows 1 .. kLastDayRow (what the zero fill leaves in a column without
// a value) except in ST's column 40, which stays empty there as the
// stochastics leave it.
void WriteColumns(WorkTable& calc, const Columns& c);

// The sign of a value as the signal list shows it: "+", "-" or "0".
const char* SignText(long long v);

}  // namespace honest
}  // namespace tavrine
