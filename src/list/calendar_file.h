// The trading-day calendar tavrine/hizuke.csv and its place in DateTable:
// column 0 the trading days newest first, column 1 new days about to be
// merged on top.
#pragma once

#include "store/state.h"
#include "store/work_table.h"

namespace tavrine::calendar {

inline constexpr const char* kFile = "tavrine/hizuke.csv";

// hizuke.csv into DateTable, whose column 0 takes the StockList dates
// instead when the list's newest date is newer. Throws FileError, and the
// conversion error for a newest list date that is no date.
void Load(State& ws);
// DateTable column 0 shifted down by n with the new days of column 1 on top;
// hizuke.csv saved when more than 5 came.
void Merge(State& ws, int n);
// dates saved as hizuke.csv, its folder made first. Throws FileError.
void Save(const WorkTable& dates);

}  // namespace tavrine::calendar
