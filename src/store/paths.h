// Where the system's files live on this port, and today's date.
#pragma once

#include <string>
#include <string_view>

namespace tavrine {

// Folder of the stock list, memo.txt and Fname.txt: $TAVRINE_HOME, else the
// folder of the executable.
std::string HomeDir();
// Folder standing for "C:\program Files\tavrine\tavrine\": $TAVRINE_ROOT,
// else HomeDir().
std::string RootDir();
// A file beside the executable.
std::string HomePath(std::string_view name);
// A path under the root, written with "/" (for example "pullbox/pullbox.exe").
std::string RootPath(std::string_view relative);
// The quote site as host:port: $TAVRINE_QUOTE_HOST, else the bundled server's.
std::string QuoteHost();
// The manual pages' host: $TAVRINE_MANUAL_HOST, else the quote host.
std::string ManualHost();
// Today in whole days: $TAVRINE_TODAY (yyyy/mm/dd) when set, else the clock.
int Today();

// Records the executable's folder (called once from main).
void SetExecutablePath(const char* argv0);

}  // namespace tavrine
