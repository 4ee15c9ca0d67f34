// One writer a data folder. A program that saves into the folder first holds
// an advisory lock (flock) on "tavrine.lock" in it; the file names the holder
// (program name and process id) so that a refused program can say who has
// the folder. The kernel drops the lock when the holder's process ends,
// however it ends, so a crashed program never leaves the folder taken.
// Taking never waits: a folder another process holds is refused at once.
#pragma once

#include <memory>
#include <string>

namespace tavrine {

inline constexpr const char* kLockFile = "tavrine.lock";

// Who holds a folder, as its lock file says; pid 0 when the file could not
// be read (the holder is still writing it).
struct LockHolder {
  std::string program;
  long pid = 0;
};

class FolderLock {
 public:
  enum class Outcome { Taken, Busy, Unavailable };

  // Tries to take `folder` (ending in "/" or not) for `program`. Busy: another
  // open lock holds it, *holder says who. Unavailable: the lock file cannot be
  // opened or written (a read-only folder).
  static std::unique_ptr<FolderLock> TryTake(const std::string& folder, const std::string& program,
                                             Outcome& outcome, LockHolder* holder = nullptr);
  // Releases the lock.
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  const std::string& folder() const { return folder_; }

 private:
  FolderLock(int fd, std::string folder) : fd_(fd), folder_(std::move(folder)) {}
  int fd_;
  std::string folder_;
};

// The holder named in the lock file of `folder`.
LockHolder ReadLockHolder(const std::string& folder);

// The refusal shown when another program holds the folder.
std::string FolderBusyMessage(const std::string& folder, const LockHolder& holder);
// The window's refusal to open on a folder another program holds.
std::string FolderBusyAtStartMessage(const std::string& folder, const LockHolder& holder);
// The refusal shown when the folder cannot be locked at all.
std::string FolderUnavailableMessage(const std::string& folder);

}  // namespace tavrine
