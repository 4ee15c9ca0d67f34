// A generated 197 x 4860 data folder for the benchmarks that load real files;
// TAVRINE_HOME and TAVRINE_ROOT point at it, and it is removed at exit.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "sample.h"
#include "store/text.h"

namespace tavrine::bench {

struct SampleFolder {
  std::string dir;
  explicit SampleFolder(const char* prefix) {
    std::string t =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + ".XXXXXX")).string();
    if (!mkdtemp(t.data())) std::abort();
    dir = t;
    sample::Options o;
    o.dir = dir;
    o.today = DaysFromCivil(2003, 12, 26);
    sample::Generate(o);
    setenv("TAVRINE_HOME", dir.c_str(), 1);
    setenv("TAVRINE_ROOT", dir.c_str(), 1);
  }
  ~SampleFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  SampleFolder(const SampleFolder&) = delete;
  SampleFolder& operator=(const SampleFolder&) = delete;
};

}  // namespace tavrine::bench
