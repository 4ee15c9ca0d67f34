// Where the system's files live on this port, and today's date.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tavrine {

// The program's reverse-DNS id: the name of its desktop entry, icon and
// AppStream metainfo (packaging/).
inline constexpr std::string_view kAppId = "jp.tavrine.tavrine";
// The stock list file, in the data folder (HomePath).
inline constexpr const char* kStockListFile = "デ-タ一覧.csv";

// Folder of the stock list, memo.txt and Fname.txt: $TAVRINE_HOME, else the
// folder of the executable, or, for an installed program, the user's data
// folder (created on first use); see ChooseDataFolders.
std::string HomeDir();
// True when HomeDir() is the user's data folder of an installed program, a
// hidden folder the user did not choose.
bool HomeIsUserData();
// Folder standing for "C:\program Files\tavrine\tavrine\": $TAVRINE_ROOT,
// else HomeDir().
std::string RootDir();
// A file in HomeDir().
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

// What decides the data folders: facts about the executable's folder and the
// environment's values ("" when unset).
struct DataFolderInputs {
  std::string exeDir;
  // The folder's write permission for this user (root included: the mode
  // bits decide, not root's right to write anywhere).
  bool exeDirWritable = true;
  // The executable sits in <prefix>/bin of an installed tavrine (the
  // prefix holds share/metainfo/<kAppId>.metainfo.xml).
  bool installed = false;
  std::string tavrineHome, tavrineRoot, xdgDataHome, home;
};

struct DataFolders {
  std::string home, root;  // both end in "/"
  // True when home is the user's data folder, which the program creates.
  bool userData = false;
};

// A build tree or a folder of the user's own (writable, not installed) keeps
// the data beside the executable, as the program always has. An installed
// program keeps it in $XDG_DATA_HOME/tavrine/ (an absolute XDG_DATA_HOME
// only), else $HOME/.local/share/tavrine/. TAVRINE_HOME and TAVRINE_ROOT
// override either; the root defaults to the home.
DataFolders ChooseDataFolders(const DataFolderInputs& in);

// The inputs for the executable's folder and the process environment.
DataFolderInputs ProbeDataFolderInputs(const std::filesystem::path& exeDir);

// True when this user may create files in the folder by its mode bits and
// access(2) agrees (a read-only mount, an ACL).
bool FolderWritable(const std::filesystem::path& dir);

// Creates the folder and any missing parents with mode 0700, as the XDG
// base directory rules ask; true when it exists as a folder afterwards.
bool CreatePrivateFolder(const std::filesystem::path& dir);

}  // namespace tavrine
