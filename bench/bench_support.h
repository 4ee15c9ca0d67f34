// What every benchmark shares: a platform that shows nothing and keeps the
// last error, so a benchmark can tell a failed run from a fast one.
#pragma once

#include <string>

#include "store/platform.h"

namespace tavrine::bench {

class QuietPlatform : public Platform {
 public:
  void message(const std::string&) override {}
  void error(const std::string& text) override { lastError = text; }
  void progress(const std::string&) override {}
  void status(const std::string&) override {}
  void navigate(const std::string&) override {}
  std::string printChart() override { return {}; }
  std::string lastError;
};

}  // namespace tavrine::bench
