// Conversion between the UTF-8 held in cells and the Shift-JIS (code page 932)
// of the system's files, and EUC-JP of quote pages. Bytes that do not decode
// are kept as private-use characters U+F780+byte and written back as the same
// byte, so a file with stray bytes survives a load and save unchanged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrine {

std::string Cp932ToUtf8(std::string_view bytes);
// Characters that Shift-JIS cannot hold are written as '?'.
std::string Utf8ToCp932(std::string_view utf8);
std::string EucJpToUtf8(std::string_view bytes);

// Whole-file text access in Shift-JIS. Lines end at CR, LF or CR LF; a NUL
// byte ends its line. Throws FileError when the file cannot be read.
std::vector<std::string> ReadLines(const std::string& path);
// The file's bytes as they stand, and writing bytes through a temporary file
// that then replaces the target. Throw FileError.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);
// Writes the text (UTF-8 converted to Shift-JIS) through a temporary file
// that then replaces the target, so a failed write leaves the old file intact.
void WriteText(const std::string& path, std::string_view utf8);
// Lines joined with CR LF, optionally with a final CR LF.
void WriteLines(const std::string& path, const std::vector<std::string>& lines, bool finalBreak);
// Splits text into lines by the reading rule above.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace tavrine
