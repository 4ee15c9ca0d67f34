// A temporary data folder for a test, and the bytes of files read and
// written without the engine's own file code.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/codec.h"

namespace tavrine::testing {

inline std::string ReadFileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file with the bytes, creating its folders.
inline void WriteFileBytes(const std::filesystem::path& p, std::string_view bytes) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary directory that stands for both
// the executable's folder and the root: TAVRINE_HOME and TAVRINE_ROOT point
// to it, today is fixed and nothing listens at the quote host unless a test
// starts a site. It holds the empty folders the collection writes into. At
// the end the folder goes and the environment is put back as it was.
class DataFolder {
 public:
  explicit DataFolder(const std::string& today = "2003/12/26") : DataFolder(today, true) {}
  // The same folder without the collection's folders: empty, as the first
  // start of an installed program finds it.
  struct Empty {};
  DataFolder(const std::string& today, Empty) : DataFolder(today, false) {}
  ~DataFolder() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->had)
        ::setenv(it->name, it->value.c_str(), 1);
      else
        ::unsetenv(it->name);
    }
    std::error_code ec;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 ec);  // a test may have locked it
    std::filesystem::remove_all(dir_, ec);
  }
  DataFolder(const DataFolder&) = delete;
  DataFolder& operator=(const DataFolder&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path path(const std::string& rel) const { return dir_ / rel; }

  // Writes UTF-8 lines as a CP932 file with CR LF, creating folders.
  void writeLines(const std::string& rel, const std::vector<std::string>& lines) const {
    std::filesystem::create_directories(path(rel).parent_path());
    WriteLines(path(rel).string(), lines, true);
  }
  // An empty file (a sibling tool's executable).
  void touch(const std::string& rel) const { writeLines(rel, {}); }
  void remove(const std::string& rel) const { std::filesystem::remove(path(rel)); }

  // Sets or clears a variable for the test; the destructor puts it back.
  void set(const char* name, const std::string& value) {
    save(name);
    ::setenv(name, value.c_str(), 1);
  }
  void unset(const char* name) {
    save(name);
    ::unsetenv(name);
  }

 private:
  DataFolder(const std::string& today, bool collectionFolders) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavrine-test.XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    if (collectionFolders)
      for (const char* sub : {"tavrine", "listwerk/kabuka", "market"})
        std::filesystem::create_directories(dir_ / sub);
    set("TAVRINE_HOME", dir_.string());
    set("TAVRINE_ROOT", dir_.string());
    set("TAVRINE_TODAY", today);
    set("TAVRINE_QUOTE_HOST", "127.0.0.1:9");
  }

  struct Saved {
    const char* name;
    bool had;
    std::string value;
  };
  void save(const char* name) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old != nullptr, old ? old : ""});
  }

  std::filesystem::path dir_;
  std::vector<Saved> saved_;
};

// The bytes of each file (relative to the folder), "-" for one that is not
// there: what a failed run must leave as it was.
inline std::map<std::string, std::string> FileBytes(const DataFolder& f,
                                                    std::initializer_list<const char*> files) {
  std::map<std::string, std::string> out;
  for (const char* rel : files)
    out[rel] = std::filesystem::exists(f.path(rel)) ? ReadFileBytes(f.path(rel)) : "-";
  return out;
}

}  // namespace tavrine::testing
