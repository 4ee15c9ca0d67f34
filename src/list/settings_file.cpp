#include "list/settings_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "store/codec.h"
#include "store/paths.h"
#include "store/text.h"

namespace tavrine {

namespace {

std::string Trim(const std::string& s) {
  const auto a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  const auto b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool IsSection(const std::string& line) {
  const std::string t = Trim(line);
  return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

bool IsSectionNamed(const std::string& line, const std::string& name) {
  return Lower(Trim(line)) == "[" + Lower(name) + "]";
}

// The key of a "key=value" line, trimmed; empty for other lines.
std::string KeyOf(const std::string& line, std::string* value = nullptr) {
  const auto eq = line.find('=');
  if (eq == std::string::npos) return {};
  if (value) *value = Trim(line.substr(eq + 1));
  return Trim(line.substr(0, eq));
}

bool HoldsKey(const std::vector<std::string>& lines);

// Makes the file readable by its owner only unless it is; false when that failed.
bool OwnerOnly(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & 0077) == 0 || ::chmod(path.c_str(), 0600) == 0;
}

// The file's lines. A file that holds a key (written into it by hand, say)
// is made private by every read, so no start leaves it readable by others.
std::vector<std::string> SettingsLines() {
  const std::string path = HomePath(kSettingsFile);
  if (!FileExists(path)) return {};
  std::vector<std::string> lines = ReadLines(path);
  if (HoldsKey(lines)) OwnerOnly(path);
  return lines;
}

// Leaves the settings file readable by its owner only; a missing one is
// first written empty, through the save every data file takes.
void MakePrivate(const std::string& path) {
  if (!FileExists(path)) WriteText(path, "");
  if (::chmod(path.c_str(), 0600) != 0)
    throw FileError(path + " の権限を変更できません (" + std::strerror(errno) + ")");
}

// The lines hold a key of the data service: [update] key= with a value.
bool HoldsKey(const std::vector<std::string>& lines) {
  bool inUpdate = false;
  for (const std::string& line : lines) {
    if (IsSection(line)) {
      inUpdate = IsSectionNamed(line, "update");
      continue;
    }
    std::string value;
    if (inUpdate && KeyOf(line, &value) == "key" && !value.empty()) return true;
  }
  return false;
}

}  // namespace

bool KeepKeyPrivate() {
  const std::string path = HomePath(kSettingsFile);
  try {
    if (!FileExists(path) || !HoldsKey(SettingsLines())) return true;
  } catch (const FileError&) {
    return false;
  }
  return OwnerOnly(path);
}

std::string ReadSetting(const std::string& section, const std::string& key) {
  bool inSection = false;
  for (const std::string& line : SettingsLines()) {
    if (IsSection(line)) {
      inSection = IsSectionNamed(line, section);
      continue;
    }
    std::string value;
    if (inSection && KeyOf(line, &value) == key) return value;
  }
  return {};
}

void WriteSettings(const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& values,
                   bool privateFile) {
  std::vector<std::string> lines = SettingsLines();
  for (const auto& [key, value] : values) {
    const std::string line = key + "=" + value;
    int start = -1, end = static_cast<int>(lines.size());
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
      if (!IsSection(lines[i])) continue;
      if (start >= 0) {
        end = i;
        break;
      }
      if (IsSectionNamed(lines[i], section)) start = i;
    }
    if (start < 0) {
      lines.push_back("[" + section + "]");
      lines.push_back(line);
      continue;
    }
    bool replaced = false;
    for (int i = start + 1; i < end && !replaced; ++i)
      if (KeyOf(lines[i]) == key) {
        lines[i] = line;
        replaced = true;
      }
    if (!replaced) lines.insert(lines.begin() + start + 1, line);
  }
  const std::string path = HomePath(kSettingsFile);
  if (privateFile || HoldsKey(lines)) MakePrivate(path);
  WriteLines(path, lines, true);
}

}  // namespace tavrine
