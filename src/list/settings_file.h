// tavrine.ini beside the stock list: "[section]" lines and "key=value" lines
// under them (Shift-JIS, CR LF). Section names match without regard to case;
// lines this program does not know are kept as they are.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

inline constexpr const char* kSettingsFile = "tavrine.ini";

// The value of key in section, trimmed; empty when there is none (or no file).
// A file that holds a key under [update] is made readable by its owner only
// by any read. Throws FileError when the file exists but cannot be read.
std::string ReadSetting(const std::string& section, const std::string& key);

// Sets each key of section to its value, replacing the key's line in the
// section, adding it below the section's line, or adding the section at the
// end. With privateFile the file is made readable by its owner only (0600)
// before the new text is written, so the text is never readable by others;
// so is a file that holds a key under [update], whoever wrote it.
// Throws FileError.
void WriteSettings(const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& values,
                   bool privateFile = false);

// Makes an existing tavrine.ini readable by its owner only (0600) when it
// holds a key under [update] (a key written into it by hand). False when the
// file's permissions could not be changed.
bool KeepKeyPrivate();

}  // namespace tavrine
