// What every benchmark shares: a platform that shows nothing and keeps the
// last error, so a benchmark can tell a failed run from a fast one.
#pragma once

#include <string>

#include "store/platform.h"

namespace tavrine::bench {

class QuietPlatform : public SilentPlatform {
 public:
  void error(const std::string& text) override { lastError = text; }
  std::string lastError;
};

}  // namespace tavrine::bench
