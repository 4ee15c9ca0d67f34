// Conversion between the UTF-8 held in cells and the Shift-JIS (code page 932)
// of the system's files, and EUC-JP of quote pages. Any bytes decode to text
// that encodes back to the same bytes:
//  - bytes that do not decode are kept as private-use characters U+F780+byte
//    and written back as the same byte;
//  - a code whose character the encoder would write with another code (the
//    NEC and IBM extensions repeat some characters: ED40 and FA5C are both
//    U+7E8A) decodes to a private-use character recording that code. Shown to
//    a person it is the character: see DisplayText.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrine {

std::string Cp932ToUtf8(std::string_view bytes);
// Characters that Shift-JIS cannot hold are written as '?'.
std::string Utf8ToCp932(std::string_view utf8);
std::string EucJpToUtf8(std::string_view bytes);
// Characters that EUC-JP cannot hold are written as '?'.
std::string Utf8ToEucJp(std::string_view utf8);

// The text as a person should see it: each recorded duplicate code becomes its
// character. Bytes kept from undecodable input stay as they are.
std::string DisplayText(std::string_view utf8);

// The first character of the text that Shift-JIS cannot hold (as UTF-8), or
// "" when every one can: a name is checked with it before it is kept, as the
// file would hold '?' in its place.
std::string CharOutsideCp932(std::string_view utf8);

// Bytes the character starting at utf8[i] takes once written by Utf8ToCp932
// (1 or 2), and its length in the UTF-8 text.
std::size_t Cp932CharBytes(std::string_view utf8, std::size_t i, std::size_t& utf8Len);

// Whole-file text access in Shift-JIS. Lines end at CR, LF or CR LF; a NUL
// byte ends its line. Throws FileError when the file cannot be read or is
// no regular file.
std::vector<std::string> ReadLines(const std::string& path);
// The whole file as UTF-8, for SplitLineViews.
std::string ReadText(const std::string& path);
// The file's bytes as they stand, and writing bytes through a temporary file
// that then replaces the target. Throw FileError. Only a regular file (or a
// link to one) is read. A save to a link writes the file the link leads to,
// and the link stays; a replaced file keeps its permissions.
std::string ReadBytes(const std::string& path);
// The same bytes without noting them for the save guard: a copy taken of a
// file (a backup) must not make another program's change look like our own.
std::string ReadCopyBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);
// Writes the text (UTF-8 converted to Shift-JIS) through a temporary file
// that then replaces the target, so a failed write leaves the old file intact.
void WriteText(const std::string& path, std::string_view utf8);
// Lines joined with CR LF, optionally with a final CR LF.
void WriteLines(const std::string& path, const std::vector<std::string>& lines, bool finalBreak);
// Removes the temporaries WriteBytes leaves in `folder` when the program is
// killed while it saves (NAME.tmp and six letters or digits, regular files
// only). Only for a folder no other writer uses now. Returns how many went.
int RemoveLeftTemporaries(const std::string& folder);
// For tests: called with the path after the temporary is written, just
// before the save checks the target a second time and replaces it.
void SetBeforeReplaceHookForTests(void (*hook)(const std::string& path));
// Splits text into lines by the reading rule above.
std::vector<std::string> SplitLines(std::string_view text);
// The same lines as views into text.
std::vector<std::string_view> SplitLineViews(std::string_view text);

}  // namespace tavrine
