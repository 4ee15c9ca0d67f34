#include "store/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

#include "store/text.h"

namespace tavrine {

namespace {
namespace fs = std::filesystem;

// The executable's folder and its facts, probed once.
std::string g_exeDir;
bool g_exeDirWritable = true;
bool g_installed = false;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string WithSlash(std::string d) {
  if (!d.empty() && d.back() != '/') d += '/';
  return d;
}

bool InGroup(gid_t gid) {
  if (gid == getegid()) return true;
  const int n = getgroups(0, nullptr);
  if (n <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(n));
  const int got = getgroups(n, groups.data());
  for (int i = 0; i < got; ++i)
    if (groups[static_cast<size_t>(i)] == gid) return true;
  return false;
}

std::string PasswdHome() {
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && pw.pw_dir)
    return pw.pw_dir;
  return {};
}

void ReadEnvironment(DataFolderInputs& in) {
  in.tavrineHome = Env("TAVRINE_HOME");
  in.tavrineRoot = Env("TAVRINE_ROOT");
  in.xdgDataHome = Env("XDG_DATA_HOME");
  in.home = Env("HOME");
  if (in.home.empty()) in.home = PasswdHome();
}

// The environment is read on every call: tests and the driver change it.
DataFolders Current() {
  if (g_exeDir.empty()) SetExecutablePath(nullptr);
  DataFolderInputs in;
  in.exeDir = g_exeDir;
  in.exeDirWritable = g_exeDirWritable;
  in.installed = g_installed;
  ReadEnvironment(in);
  return ChooseDataFolders(in);
}
}  // namespace

void SetExecutablePath(const char* argv0) {
  std::error_code ec;
  auto p = fs::canonical("/proc/self/exe", ec);
  if (ec && argv0) p = fs::absolute(argv0, ec);
  g_exeDir = p.parent_path().string();
  const DataFolderInputs facts = ProbeDataFolderInputs(g_exeDir);
  g_exeDirWritable = facts.exeDirWritable;
  g_installed = facts.installed;
}

bool FolderWritable(const fs::path& dir) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  mode_t bit = S_IWOTH;
  if (st.st_uid == geteuid())
    bit = S_IWUSR;
  else if (InGroup(st.st_gid))
    bit = S_IWGRP;
  return (st.st_mode & bit) != 0 && ::access(dir.c_str(), W_OK) == 0;
}

DataFolderInputs ProbeDataFolderInputs(const fs::path& exeDir) {
  DataFolderInputs in;
  in.exeDir = exeDir.string();
  in.exeDirWritable = FolderWritable(exeDir);
  std::error_code ec;
  const fs::path metainfo =
      exeDir.parent_path() / "share" / "metainfo" / (std::string(kAppId) + ".metainfo.xml");
  in.installed = exeDir.filename() == "bin" && fs::is_regular_file(metainfo, ec);
  ReadEnvironment(in);
  return in;
}

DataFolders ChooseDataFolders(const DataFolderInputs& in) {
  DataFolders out;
  if (!in.tavrineHome.empty()) {
    out.home = WithSlash(in.tavrineHome);
  } else if (in.exeDirWritable && !in.installed) {
    out.home = WithSlash(in.exeDir);
  } else if (!in.xdgDataHome.empty() && in.xdgDataHome.front() == '/') {
    out.home = WithSlash(in.xdgDataHome) + "tavrine/";
    out.userData = true;
  } else if (!in.home.empty()) {
    out.home = WithSlash(in.home) + ".local/share/tavrine/";
    out.userData = true;
  } else {
    // Nowhere of the user's: the files beside the executable, whose writes
    // then fail with their messages.
    out.home = WithSlash(in.exeDir);
  }
  out.root = in.tavrineRoot.empty() ? out.home : WithSlash(in.tavrineRoot);
  return out;
}

bool CreatePrivateFolder(const fs::path& dir) {
  std::error_code ec;
  if (dir.empty()) return false;
  if (fs::is_directory(dir, ec)) return true;
  fs::path p;
  for (const auto& part : dir) {
    p /= part;
    if (fs::is_directory(p, ec)) continue;
    if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return fs::is_directory(dir, ec);
}

std::string HomeDir() {
  const DataFolders f = Current();
  if (f.userData) CreatePrivateFolder(f.home);
  return f.home;
}

bool HomeIsUserData() { return Current().userData; }

std::string RootDir() {
  const DataFolders f = Current();
  if (f.userData && f.root == f.home) CreatePrivateFolder(f.home);
  return f.root;
}

std::string HomePath(std::string_view name) { return HomeDir() + std::string(name); }

std::string RootPath(std::string_view relative) { return RootDir() + std::string(relative); }

std::string QuoteHost() {
  std::string h = Env("TAVRINE_QUOTE_HOST");
  return h.empty() ? std::string("127.0.0.1:8930") : h;
}

std::string ManualHost() {
  std::string h = Env("TAVRINE_MANUAL_HOST");
  return h.empty() ? QuoteHost() : h;
}

int Today() {
  int days = 0;
  std::string t = Env("TAVRINE_TODAY");
  if (!t.empty() && TryParseDate(t, days)) return days;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace tavrine
