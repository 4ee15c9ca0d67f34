#include "store/save_guard.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>

#include "store/codec.h"
#include "store/folder_lock.h"
#include "store/paths.h"
#include "store/text.h"

namespace tavrine {

namespace fs = std::filesystem;

namespace {

// The guarded files: the data folder's own and the calendar under the root.
constexpr const char* kListFile = "デ-タ一覧.csv";
constexpr const char* kHomeGuarded[] = {kListFile, "memo.txt", "Fname.txt"};
constexpr const char* kCalendar = "tavrine/hizuke.csv";

// Files that need the folder but are not compared: they are rewritten whole
// from the list each time.
constexpr const char* kHomeLocked[] = {"tavrine.ini"};
constexpr const char* kRootLocked[] = {"listwerk/kabuka/code.txt"};

struct Known {
  bool present = false;  // false: this process found it missing
  std::uint64_t size = 0;
  std::uint64_t hash = 0;
};

struct Guard {
  std::mutex m;
  bool on = false;
  std::string program;
  std::map<std::string, std::unique_ptr<FolderLock>> locks;  // by folder
  std::map<std::string, Known> known;                        // by normal path
};

Guard& G() {
  static Guard g;
  return g;
}

std::string Normal(const std::string& path) { return fs::path(path).lexically_normal().string(); }

bool IsGuarded(const std::string& normal) {
  for (const char* n : kHomeGuarded)
    if (normal == Normal(HomePath(n))) return true;
  return normal == Normal(RootPath(kCalendar));
}

bool NeedsFolder(const std::string& normal) {
  if (IsGuarded(normal)) return true;
  for (const char* n : kHomeLocked)
    if (normal == Normal(HomePath(n))) return true;
  for (const char* n : kRootLocked)
    if (normal == Normal(RootPath(n))) return true;
  return false;
}

// Takes HomeDir() for this process unless it holds it. Called with g.m held.
std::string ClaimLocked(Guard& g, bool* busy) {
  const std::string folder = HomeDir();
  if (g.locks.count(folder)) return {};
  FolderLock::Outcome outcome;
  LockHolder holder;
  auto lock = FolderLock::TryTake(folder, g.program, outcome, &holder);
  if (busy) *busy = outcome == FolderLock::Outcome::Busy;
  if (outcome == FolderLock::Outcome::Busy) return FolderBusyMessage(folder, holder);
  if (!lock) return FolderUnavailableMessage(folder);
  g.locks.emplace(folder, std::move(lock));
  // The folder is ours now, so a temporary in it is one a killed save left.
  // The root's folders count only when they are the data folder's own.
  for (const std::string& f : {HomeDir(), HomePath("tavrine"), HomePath("tavrine/backup")})
    RemoveLeftTemporaries(f);
  if (Normal(RootDir() + "/") == Normal(HomeDir() + "/"))
    RemoveLeftTemporaries(RootPath("listwerk/kabuka"));
  return {};
}

std::string FileName(const std::string& path) { return fs::path(path).filename().string(); }

std::string ChangedMessage(const std::string& path) {
  return "ファイル \"" + path +
         "\" は、このプログラムが読み込んだ後にほかのプログラムが変更しました。\r" +
         FileName(path) +
         " を上書きすると、その変更が失われるため保存しませんでした。\rtavrine "
         "を起動し直して読み込み直してから、もう一度操作してください。";
}

}  // namespace

void EnableSaveGuard(const std::string& program) {
  Guard& g = G();
  std::lock_guard<std::mutex> l(g.m);
  g.on = true;
  g.program = program;
}

void DisableSaveGuard() {
  Guard& g = G();
  std::lock_guard<std::mutex> l(g.m);
  g.on = false;
  g.locks.clear();
  g.known.clear();
}

bool SaveGuardEnabled() {
  Guard& g = G();
  std::lock_guard<std::mutex> l(g.m);
  return g.on;
}

std::string ClaimDataFolder(bool* busy) {
  Guard& g = G();
  std::lock_guard<std::mutex> l(g.m);
  if (busy) *busy = false;
  return ClaimLocked(g, busy);
}

std::uint64_t BytesHash(std::string_view bytes) {
  // A multiply-and-shift mix over 64-bit words in four independent lanes, so
  // a list of several megabytes hashes at memory speed; any change of the
  // bytes changes it but by a 2^-64 chance.
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ULL;
  auto mix = [](std::uint64_t h, std::uint64_t w) {
    h = (h ^ w) * kMul;
    return h ^ (h >> 29);
  };
  std::uint64_t lane[4] = {0x243F6A8885A308D3ULL ^ (bytes.size() * kMul), 0x13198A2E03707344ULL,
                           0xA4093822299F31D0ULL, 0x082EFA98EC4E6C89ULL};
  std::size_t i = 0;
  for (; i + 32 <= bytes.size(); i += 32) {
    std::uint64_t w[4];
    std::memcpy(w, bytes.data() + i, 32);
    for (int k = 0; k < 4; ++k) lane[k] = mix(lane[k], w[k]);
  }
  std::uint64_t h = lane[0];
  for (int k = 1; k < 4; ++k) h = mix(h, lane[k]);
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, bytes.data() + i, 8);
    h = mix(h, w);
  }
  std::uint64_t tail = 0;
  if (i < bytes.size()) std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
  h = (h ^ tail) * kMul;
  h ^= h >> 32;
  h *= 0xBF58476D1CE4E5B9ULL;
  return h ^ (h >> 31);
}

namespace {
// Remembers what a guarded file held as this process last saw it; seen()
// runs only for a guarded file.
template <class Seen>
void Remember(const std::string& path, Seen seen) {
  Guard& g = G();
  std::lock_guard<std::mutex> l(g.m);
  if (!g.on) return;
  const std::string n = Normal(path);
  if (IsGuarded(n)) g.known[n] = seen();
}
}  // namespace

void NoteRead(const std::string& path, std::string_view bytes) {
  Remember(path, [&] { return Known{true, bytes.size(), BytesHash(bytes)}; });
}

void NoteMissing(const std::string& path) {
  Remember(path, [] { return Known{}; });
}

void NoteSaved(const std::string& path, std::string_view bytes) { NoteRead(path, bytes); }

void CheckBeforeSave(const std::string& path) {
  Guard& g = G();
  std::lock_guard<std::mutex> l(g.m);
  if (!g.on) return;
  const std::string n = Normal(path);
  if (!NeedsFolder(n)) return;
  if (const std::string refusal = ClaimLocked(g, nullptr); !refusal.empty())
    throw FileError(refusal);
  const auto it = g.known.find(n);
  if (it == g.known.end()) return;  // never looked at: nothing to lose
  const Known& k = it->second;
  struct stat st;
  const bool present = ::stat(path.c_str(), &st) == 0;
  if (!k.present) {
    if (present) throw FileError(ChangedMessage(path));
    return;
  }
  if (!present || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) != k.size)
    throw FileError(ChangedMessage(path));
  // Same size: the bytes decide. A file that cannot be read now is no file
  // this save may replace unseen.
  std::ifstream in(path, std::ios::binary);
  std::string now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.eof() && !in.good()) throw FileError(ChangedMessage(path));
  if (now.size() != k.size || BytesHash(now) != k.hash) throw FileError(ChangedMessage(path));
}

bool IsProgramDataFile(const std::string& path) {
  static const char* const kNames[] = {kListFile,     "memo.txt",     "Fname.txt",    "tavrine.ini",
                                       "hizuke.csv",  "code.txt",     "zenncode.txt", "rireki.txt",
                                       "pickrow.csv", "tallysel.csv", "tavrine.lock"};
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) return false;
  const std::string name = p.filename().string();
  bool known = false;
  for (const char* k : kNames) known = known || name == k;
  if (!known) return false;
  const fs::path folder = p.parent_path();
  for (const std::string& f :
       {HomeDir(), RootDir(), RootPath("tavrine"), RootPath("listwerk/kabuka"),
        RootPath("listwerk"), RootPath("pickrow"), RootPath("pullbox")}) {
    std::error_code e2;
    const fs::path c = fs::weakly_canonical(fs::absolute(f, e2), e2);
    if (!e2 && (c == folder || c / "" == folder / "")) return true;
  }
  return false;
}

}  // namespace tavrine
