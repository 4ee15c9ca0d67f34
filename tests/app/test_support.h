// Shared pieces of the app tests: the recording platform and a temporary
// data folder that TAVRINE_HOME and TAVRINE_ROOT point to for the length of
// a test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "../support/recording_platform.h"
#include "store/codec.h"

namespace tavrine::testing {

// A fresh folder under the system's temporary directory, removed at the end;
// TAVRINE_HOME and TAVRINE_ROOT point to it while it lives.
class DataFolder {
 public:
  DataFolder() {
    namespace fs = std::filesystem;
    std::string tmpl = (fs::temp_directory_path() / "tavrine-app-test.XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    save("TAVRINE_HOME", oldHome_, hadHome_);
    save("TAVRINE_ROOT", oldRoot_, hadRoot_);
    setenv("TAVRINE_HOME", dir_.c_str(), 1);
    setenv("TAVRINE_ROOT", dir_.c_str(), 1);
  }
  ~DataFolder() {
    restore("TAVRINE_HOME", oldHome_, hadHome_);
    restore("TAVRINE_ROOT", oldRoot_, hadRoot_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  DataFolder(const DataFolder&) = delete;
  DataFolder& operator=(const DataFolder&) = delete;

  const std::string& dir() const { return dir_; }
  std::string path(const std::string& rel) const { return dir_ + "/" + rel; }

  // Writes UTF-8 lines as a CP932 file with CR LF, creating folders.
  void writeLines(const std::string& rel, const std::vector<std::string>& lines) const {
    std::filesystem::create_directories(std::filesystem::path(path(rel)).parent_path());
    WriteLines(path(rel), lines, true);
  }
  // An empty file (a sibling tool's executable).
  void touch(const std::string& rel) const { writeLines(rel, {}); }
  void remove(const std::string& rel) const { std::filesystem::remove(path(rel)); }

 private:
  static void save(const char* name, std::string& old, bool& had) {
    const char* v = std::getenv(name);
    had = v != nullptr;
    if (v) old = v;
  }
  static void restore(const char* name, const std::string& old, bool had) {
    if (had)
      setenv(name, old.c_str(), 1);
    else
      unsetenv(name);
  }

  std::string dir_;
  std::string oldHome_, oldRoot_;
  bool hadHome_ = false, hadRoot_ = false;
};

}  // namespace tavrine::testing
