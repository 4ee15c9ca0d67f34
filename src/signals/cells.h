// Number reads of the signal code. Averages and trend lines are whole
// numbers written as integer text almost everywhere, so a decimal read of a
// plain integer text is done without the general parser; the value is the
// same (every such integer is exact in extended precision).
#pragma once

#include <string>

#include "store/text.h"
#include "store/work_table.h"

namespace tavrine::signals {

inline long double ReadDecimal(const WorkTable& t, int c, int r) {
  const std::string& s = t.cell(c, r);
  std::size_t i = 0;
  const bool neg = !s.empty() && s[0] == '-';
  if (neg || (!s.empty() && s[0] == '+')) i = 1;
  const std::size_t digits = s.size() - i;
  if (digits >= 1 && digits <= 18) {
    long long v = 0;
    for (; i < s.size(); ++i) {
      const char ch = s[i];
      if (ch < '0' || ch > '9') return StrToFloat(s);
      v = v * 10 + (ch - '0');
    }
    return neg ? -static_cast<long double>(v) : static_cast<long double>(v);
  }
  return StrToFloat(s);
}

}  // namespace tavrine::signals
