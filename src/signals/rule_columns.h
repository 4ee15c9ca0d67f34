// The rule columns of one stock as numbers, without the work tables:
// what the walk of each rule button reads after the selection chain (and,
// for the short-term set, one press of the term switch), computed from the
// stock's closes with the same arithmetic the table passes use
// (series/series_math.h, signals/rule_math.h, signals/honest.h).
#pragma once

#include <array>
#include <vector>

#include "signals/honest.h"
#include "signals/rules.h"
#include "signals/walk.h"

namespace tavrine::rule_columns {

// The columns in rule-button tag order (kRules).
using RuleSet = std::array<walk::SignalColumn, kRuleCount>;

// Closes by row (close[r] for rows first .. last, whole yen that a strict
// integer read accepts), with at least the price scale's 25 rows after the
// first: the case in which no pass of the extraction can fail.
struct Closes {
  const std::vector<long long>& close;
  int first, last;
};

// With hindsight: the centred lines and the rule columns of the term set,
// after the zero fill (a cell without a value reads 0; ST's column stays
// blank there). The long set is the extraction's (G columns and "乖離" of
// terms.deviation when the series reaches 200 rows, ST of 65 days); the short
// set is the term switch's (ST of 9 days with S3).
void Hindsight(const Closes& c, const honest::Terms& terms, RuleSet& out);
// Judged honestly: honest::Compute's columns, "0" where a column has no
// value, ST blank there.
void Honest(const Closes& c, const honest::Terms& terms, RuleSet& out);

// ctl::PricedRows after the selection chain at window start 0: the last
// data row less the rows 2 .. last whose close the window shows as "0" or
// blank (those before the first data row, zero closes, and the last row,
// which the window copy leaves out).
int PricedRows(const Closes& c);

}  // namespace tavrine::rule_columns
