// Which column feeds the chart's fifth lower line.
#pragma once

#include "store/control_cells.h"
#include "store/state.h"

namespace tavrine {

// The fifth lower line (SeriesTable column 11) shows S5 (column 13) in the
// long term while the oscillator selector reads "S"; otherwise it shows the
// close deviation (column 12).
inline bool FifthLineShowsS5(const State& ws) {
  return ctl::ChartSpan.is(ws.SeriesTable, 4800) && ws.form.text("Button81") == "S";
}

}  // namespace tavrine
