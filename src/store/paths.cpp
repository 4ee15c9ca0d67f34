#include "store/paths.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "store/text.h"

namespace tavrine {

namespace {
std::string g_exeDir;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string WithSlash(std::string d) {
  if (!d.empty() && d.back() != '/') d += '/';
  return d;
}
}  // namespace

void SetExecutablePath(const char* argv0) {
  std::error_code ec;
  auto p = std::filesystem::canonical("/proc/self/exe", ec);
  if (ec && argv0) p = std::filesystem::absolute(argv0, ec);
  g_exeDir = p.parent_path().string();
}

std::string HomeDir() {
  std::string h = Env("TAVRINE_HOME");
  if (!h.empty()) return WithSlash(h);
  if (g_exeDir.empty()) SetExecutablePath(nullptr);
  return WithSlash(g_exeDir);
}

std::string RootDir() {
  std::string r = Env("TAVRINE_ROOT");
  if (!r.empty()) return WithSlash(r);
  return HomeDir();
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
