// Number reads of the signal code.
#pragma once

#include "store/work_table.h"

namespace tavrine::signals {

// A cell read as StrToFloat reads its text: a number cell gives its number
// without making the text; a bad text raises the same conversion error.
inline long double ReadDecimal(const WorkTable& t, int c, int r) { return t.getFloat(c, r); }

}  // namespace tavrine::signals
