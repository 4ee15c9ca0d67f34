// Shared pieces of the fuzz targets: the check that ends a run on a broken
// property, and a private scratch folder for the files a target writes.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// A property that does not hold is a finding: print it and abort so that
// libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

namespace tavrine::fuzz {

// A folder under the system's temporary directory, made on first use and
// removed when the process exits normally.
inline const std::string& ScratchDir() {
  static std::string dir;
  if (dir.empty()) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavrine-fuzz.XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    dir = tmpl;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    });
  }
  return dir;
}

}  // namespace tavrine::fuzz
