#include "store/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace tavrine {

namespace {

std::string LockPath(const std::string& folder) {
  if (!folder.empty() && folder.back() == '/') return folder + kLockFile;
  return folder + "/" + kLockFile;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::unique_ptr<FolderLock> FolderLock::TryTake(const std::string& folder,
                                                const std::string& program, Outcome& outcome,
                                                LockHolder* holder) {
  // The lock file is never removed: removing it while another process waits
  // to lock the old file would let two processes hold "the" lock.
  const std::string path = LockPath(folder);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    outcome = Outcome::Unavailable;
    return nullptr;
  }
  int r;
  do r = ::flock(fd, LOCK_EX | LOCK_NB);
  while (r != 0 && errno == EINTR);
  if (r != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    outcome = busy ? Outcome::Busy : Outcome::Unavailable;
    if (busy && holder) *holder = ReadLockHolder(folder);
    return nullptr;
  }
  // The holder's line: "PROGRAM PID". Written after the lock is ours, so a
  // refused reader may find it empty for a moment, never another's name.
  const std::string line = program + " " + std::to_string(static_cast<long>(::getpid())) + "\n";
  if (::ftruncate(fd, 0) != 0 || !WriteAll(fd, line)) {
    ::close(fd);
    outcome = Outcome::Unavailable;
    return nullptr;
  }
  outcome = Outcome::Taken;
  return std::unique_ptr<FolderLock>(new FolderLock(fd, folder));
}

FolderLock::~FolderLock() {
  // Closing the only descriptor of the open file releases the lock.
  ::close(fd_);
}

LockHolder ReadLockHolder(const std::string& folder) {
  LockHolder h;
  const int fd = ::open(LockPath(folder).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return h;
  char buf[256];
  ssize_t n;
  do n = ::read(fd, buf, sizeof buf - 1);
  while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n <= 0) return h;
  std::string line(buf, static_cast<std::size_t>(n));
  if (const auto nl = line.find('\n'); nl != std::string::npos) line.resize(nl);
  const auto sp = line.rfind(' ');
  if (sp == std::string::npos) return h;
  char* end = nullptr;
  const long pid = std::strtol(line.c_str() + sp + 1, &end, 10);
  if (pid <= 0 || *end != '\0') return h;
  h.program = line.substr(0, sp);
  h.pid = pid;
  return h;
}

namespace {
std::string Who(const LockHolder& holder) {
  return holder.pid > 0 ? holder.program + "（プロセス番号 " + std::to_string(holder.pid) + "）"
                        : std::string("別のプログラム");
}
}  // namespace

std::string FolderBusyAtStartMessage(const std::string& folder, const LockHolder& holder) {
  return "データフォルダ " + folder + " は " + Who(holder) +
         " が使用中です。\r同じフォルダを二つのプログラムで開くと互いの変更が失われるため、"
         "tavrine を開けません。\rそのプログラムを終了してから、もう一度起動してください。";
}

std::string FolderBusyMessage(const std::string& folder, const LockHolder& holder) {
  const std::string who = Who(holder);
  return "データフォルダ " + folder + " は " + who +
         " が使用中です。\r同じフォルダに二つのプログラムから保存すると互いの変更が失われるため、"
         "保存できません。\rそのプログラムを終了してから、もう一度操作してください。";
}

std::string FolderUnavailableMessage(const std::string& folder) {
  // A lock file that is there but is no plain writable file: say what it is,
  // as the folder's permissions are not what is wrong then.
  struct stat st;
  const std::string path = LockPath(folder);
  if (::lstat(path.c_str(), &st) == 0) {
    const char* what = nullptr;
    if (S_ISDIR(st.st_mode))
      what = "フォルダになっています";
    else if (S_ISLNK(st.st_mode))
      what = "ほかのファイルへのリンクになっています";
    else if (!S_ISREG(st.st_mode))
      what = "普通のファイルではありません";
    else if (::access(path.c_str(), W_OK) != 0 && errno == EACCES)
      what = "書き込みのできないファイルです";
    if (what)
      return "データフォルダ " + folder + " の " + kLockFile + " が" + what +
             "。\rこのままでは保存できません。" + kLockFile +
             " を取り除いてから、もう一度操作してください。";
  }
  return "データフォルダ " + folder + " に " + kLockFile +
         " を作成できないため、保存できません。\rフォルダの書き込み権限を確かめてください。";
}

}  // namespace tavrine
