// Two programs on one data folder: one writer at a time through the folder
// lock, which the kernel drops when its holder dies; no save over a file
// another program changed since it was read; and two driver processes
// importing into one folder never both succeed with one change lost.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/build_paths.h"
#include "../support/data_folder.h"
#include "store/codec.h"
#include "store/folder_lock.h"
#include "store/save_guard.h"
#include "store/text.h"

extern char** environ;

namespace tavrine {
namespace {

namespace fs = std::filesystem;
using testing::DataFolder;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

const std::string kList = "デ-タ一覧.csv";

class SaveGuardTest : public ::testing::Test {
 protected:
  void SetUp() override { EnableSaveGuard("guard-test"); }
  void TearDown() override { DisableSaveGuard(); }
  std::string path(const std::string& rel) const { return folder.path(rel).string(); }
  // The refusal a save of `rel` gives, "" when it saved.
  std::string saveRefusal(const std::string& rel, const std::string& text) {
    try {
      WriteText(path(rel), text);
    } catch (const FileError& e) {
      return e.what();
    }
    return {};
  }
  DataFolder folder;
};

TEST_F(SaveGuardTest, LockIsReleasedWhenItsHolderIsKilled) {
  // The child locks as another program would, with plain system calls (no
  // allocation after fork), and waits to be killed.
  const std::string lockPath = path(kLockFile);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) ::_exit(1);
    char line[64];
    const int n = std::snprintf(line, sizeof line, "child %ld\n", static_cast<long>(::getpid()));
    if (::ftruncate(fd, 0) != 0 || ::write(fd, line, static_cast<std::size_t>(n)) != n) ::_exit(1);
    if (::write(ready[1], "x", 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  // Killed on every way out of the test.
  struct Killer {
    pid_t pid;
    bool done = false;
    ~Killer() {
      if (!done) ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
    }
  } killer{child};
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::close(ready[0]);

  FolderLock::Outcome outcome;
  LockHolder holder;
  EXPECT_FALSE(FolderLock::TryTake(folder.dir().string(), "tavrine", outcome, &holder));
  EXPECT_EQ(outcome, FolderLock::Outcome::Busy);
  EXPECT_EQ(holder.program, "child");
  EXPECT_EQ(holder.pid, static_cast<long>(child));
  // The same through the guard: a save is refused and names the child.
  const std::string list = "\x93\xfa\x95t,1301 A\r\n2003/12/26,100\r\n";  // 日付,...
  WriteFileBytes(path(kList), list);
  const std::string refusal = saveRefusal(kList, "x");
  EXPECT_NE(refusal.find("child（プロセス番号 " + std::to_string(child) + "）"), std::string::npos)
      << refusal;
  EXPECT_EQ(ReadFileBytes(path(kList)), list);

  ::kill(child, SIGKILL);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  killer.done = true;
  EXPECT_TRUE(FolderLock::TryTake(folder.dir().string(), "tavrine", outcome));
  EXPECT_EQ(outcome, FolderLock::Outcome::Taken);
  // A folder where no lock file can be made is no folder to save into.
  EXPECT_FALSE(FolderLock::TryTake(path("none/deeper"), "x", outcome));
  EXPECT_EQ(outcome, FolderLock::Outcome::Unavailable);
}

TEST_F(SaveGuardTest, ASaveNeverReplacesAFileChangedSinceItWasRead) {
  folder.writeLines(kList, {"日付,1301 A", "2003/12/26,100"});
  folder.writeLines("Fname.txt", {"memo"});
  folder.writeLines("tavrine/hizuke.csv", {"日付", "2003/12/26"});
  for (const std::string rel : {kList, std::string("Fname.txt"), std::string("tavrine/hizuke.csv")})
    ReadLines(path(rel));
  // The first save takes the folder; the file read is saved and a second
  // save of our own bytes follows it.
  EXPECT_EQ(saveRefusal(kList, "日付,1301 A\r\n2003/12/26,101\r\n"), "");
  EXPECT_EQ(ReadLockHolder(folder.dir().string()).pid, static_cast<long>(::getpid()));
  EXPECT_EQ(saveRefusal(kList, "日付,1301 A\r\n2003/12/26,102\r\n"), "");

  // Another program writes the same number of bytes: the hash tells.
  const std::string theirs = "\x93\xfa\x95t,1301 A\r\n2003/12/26,999\r\n";
  ASSERT_EQ(theirs.size(), ReadFileBytes(path(kList)).size());
  WriteFileBytes(path(kList), theirs);
  const std::string refusal = saveRefusal(kList, "日付,1301 A\r\n2003/12/26,103\r\n");
  EXPECT_NE(refusal.find("ほかのプログラムが変更しました"), std::string::npos) << refusal;
  EXPECT_EQ(ReadFileBytes(path(kList)), theirs);
  // Once read again, it is ours to save.
  ReadLines(path(kList));
  EXPECT_EQ(saveRefusal(kList, "x"), "");

  // The memo grown by an editor, the calendar removed: both refused.
  WriteFileBytes(path("Fname.txt"), "memo\r\nmore\r\n");
  EXPECT_NE(saveRefusal("Fname.txt", "mine"), "");
  EXPECT_EQ(ReadFileBytes(path("Fname.txt")), "memo\r\nmore\r\n");
  fs::remove(path("tavrine/hizuke.csv"));
  EXPECT_NE(saveRefusal("tavrine/hizuke.csv", "mine"), "");
  EXPECT_FALSE(fs::exists(path("tavrine/hizuke.csv")));

  // The same bytes written anew (a later time) are no change.
  ReadLines(path("Fname.txt"));
  const auto bytes = ReadFileBytes(path("Fname.txt"));
  WriteFileBytes(path("Fname.txt"), bytes);
  fs::last_write_time(path("Fname.txt"),
                      fs::last_write_time(path("Fname.txt")) + std::chrono::seconds(10));
  EXPECT_EQ(saveRefusal("Fname.txt", "mine"), "");

  // A memo found missing must still be missing when it is saved.
  fs::remove(path("memo.txt"));
  EXPECT_FALSE(FileExists(path("memo.txt")));
  WriteFileBytes(path("memo.txt"), "7203");
  EXPECT_NE(saveRefusal("memo.txt", "6758"), "");
  EXPECT_EQ(ReadFileBytes(path("memo.txt")), "7203");

  // Exports and other files are written as before.
  WriteFileBytes(path("stats.csv"), "old");
  ReadLines(path("stats.csv"));
  WriteFileBytes(path("stats.csv"), "older");
  EXPECT_EQ(saveRefusal("stats.csv", "new"), "");
}

TEST_F(SaveGuardTest, ReadingNeedsNoLockAndAHeldFolderRefusesEverySave) {
  const std::string before = "\x93\xfa\x95t,1301 A\r\n2003/12/26,100\r\n";
  WriteFileBytes(path(kList), before);
  FolderLock::Outcome outcome;
  auto other = FolderLock::TryTake(folder.dir().string(), "tavrine", outcome);
  ASSERT_TRUE(other);
  // Another taker, even in this process, is refused at once.
  EXPECT_FALSE(FolderLock::TryTake(folder.dir().string() + "/", "x", outcome));
  EXPECT_EQ(outcome, FolderLock::Outcome::Busy);
  EXPECT_EQ(ReadLines(path(kList)).size(), 2u);  // a reader runs beside the holder
  for (const char* rel : {"デ-タ一覧.csv", "memo.txt", "Fname.txt", "tavrine.ini",
                          "tavrine/hizuke.csv", "listwerk/kabuka/code.txt"})
    EXPECT_NE(saveRefusal(rel, "x").find("が使用中です"), std::string::npos) << rel;
  EXPECT_EQ(ReadFileBytes(path(kList)), before);
  EXPECT_FALSE(fs::exists(path("memo.txt")));
  bool busy = false;
  EXPECT_NE(ClaimDataFolder(&busy), "");
  EXPECT_TRUE(busy);
  other.reset();
  EXPECT_EQ(ClaimDataFolder(&busy), "");
  EXPECT_EQ(saveRefusal("memo.txt", "7203"), "");
}

// Another program (a sibling tool, here a child process) writes the list
// after our new file is written, just before it would replace the old one.
std::string g_racedPath;
std::string g_theirs;
void OtherProgramWrites(const std::string& target) {
  if (target != g_racedPath) return;
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open(g_racedPath.c_str(), O_WRONLY | O_TRUNC);
    const bool ok = fd >= 0 && ::write(fd, g_theirs.data(), g_theirs.size()) ==
                                   static_cast<ssize_t>(g_theirs.size());
    ::_exit(ok ? 0 : 1);
  }
  int status = 1;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ADD_FAILURE() << "the child could not write";
}

TEST_F(SaveGuardTest, AWriteDuringOurSaveKeepsTheOtherProgramsFile) {
  folder.writeLines(kList, {"日付,1301 A", "2003/12/26,100"});
  ReadLines(path(kList));
  g_racedPath = path(kList);
  g_theirs = "\x93\xfa\x95t,1301 A,7203 B\r\n2003/12/26,100,200\r\n";
  SetBeforeReplaceHookForTests(OtherProgramWrites);
  const std::string refusal = saveRefusal(kList, "日付,1301 A\r\n2003/12/26,101\r\n");
  SetBeforeReplaceHookForTests(nullptr);
  EXPECT_NE(refusal.find("ほかのプログラムが変更しました"), std::string::npos) << refusal;
  EXPECT_EQ(ReadFileBytes(path(kList)), g_theirs);
  // Our temporary went with the refusal.
  for (const auto& e : fs::directory_iterator(folder.dir()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  // A write of the same bytes at that moment is no change: the save goes on.
  ReadLines(path(kList));
  SetBeforeReplaceHookForTests(OtherProgramWrites);
  const std::string same = saveRefusal(kList, "日付,1301 A\r\n2003/12/26,102\r\n");
  SetBeforeReplaceHookForTests(nullptr);
  EXPECT_EQ(same, "");
  EXPECT_EQ(ReadFileBytes(path(kList)), Utf8ToCp932("日付,1301 A\r\n2003/12/26,102\r\n"));
}

TEST_F(SaveGuardTest, TemporariesOfAKilledSaveGoWhenTheFolderIsTaken) {
  const std::vector<std::string> left = {
      "デ-タ一覧.csv.tmpAb12Cd", "memo.txt.tmpZZZZZZ", "tavrine/hizuke.csv.tmpx1y2z3",
      "tavrine/backup/00000003_20261209-180501_import.csv.tmpQWErty",
      "listwerk/kabuka/code.txt.tmp000000"};
  const std::vector<std::string> kept = {"notes.tmp", "report.tmpABCDEFG", "report.tmpABCDE",
                                         "a.tmp-12345", "listwerk/other.tmpABCDEF"};
  for (const std::string& rel : left) WriteFileBytes(folder.path(rel), "half");
  for (const std::string& rel : kept) WriteFileBytes(folder.path(rel), "user's");
  fs::create_directories(folder.path("dir.tmpABCDEF"));
  // Nothing goes while another program holds the folder: it may be saving.
  FolderLock::Outcome outcome;
  auto other = FolderLock::TryTake(folder.dir().string(), "tavrine", outcome);
  ASSERT_TRUE(other);
  EXPECT_NE(ClaimDataFolder(), "");
  for (const std::string& rel : left) EXPECT_TRUE(fs::exists(folder.path(rel))) << rel;
  other.reset();

  EXPECT_EQ(ClaimDataFolder(), "");
  for (const std::string& rel : left) EXPECT_FALSE(fs::exists(folder.path(rel))) << rel;
  for (const std::string& rel : kept) EXPECT_EQ(ReadFileBytes(folder.path(rel)), "user's") << rel;
  EXPECT_TRUE(fs::is_directory(folder.path("dir.tmpABCDEF")));
}

TEST_F(SaveGuardTest, AnOddLockFileIsNamedForWhatIsWrongWithIt) {
  auto refusal = [&] {
    DisableSaveGuard();  // forgets the lock taken before
    EnableSaveGuard("guard-test");
    return ClaimDataFolder();
  };
  fs::create_directories(folder.path(kLockFile));
  std::string r = refusal();
  EXPECT_NE(r.find("tavrine.lock がフォルダになっています"), std::string::npos) << r;
  EXPECT_EQ(r.find("権限"), std::string::npos) << r;
  fs::remove(folder.path(kLockFile));
  fs::create_symlink(folder.path("elsewhere"), folder.path(kLockFile));
  r = refusal();
  EXPECT_NE(r.find("リンク"), std::string::npos) << r;
  EXPECT_FALSE(fs::exists(folder.path("elsewhere")));
  fs::remove(folder.path(kLockFile));
  // A folder that cannot be written still says so.
  if (::geteuid() != 0) {
    fs::permissions(folder.dir(), fs::perms::owner_read | fs::perms::owner_exec);
    r = refusal();
    fs::permissions(folder.dir(), fs::perms::owner_all);
    EXPECT_NE(r.find("書き込み権限"), std::string::npos) << r;
  }
  EXPECT_EQ(refusal(), "");
}

// One tavrine-script process with its standard input and output on pipes.
class Driver {
 public:
  Driver() {
    int in[2], out[2];
    // Close-on-exec, so that a driver started later holds no end of this
    // one's pipes (its input would never end).
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
      const char* argv[] = {testing::kScriptExe, nullptr};
      ::execve(testing::kScriptExe, const_cast<char**>(argv), environ);
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
  }
  ~Driver() {
    finish();
    ::close(out_);
  }
  pid_t pid() const { return pid_; }
  void send(const std::string& lines) {
    if (::write(in_, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size()))
      throw std::runtime_error("write");
  }
  // Reads until the output holds `text` (or ends). The driver flushes after
  // every command, so a query's answer marks how far it got.
  bool waitFor(const std::string& text) {
    while (output_.find(text) == std::string::npos)
      if (!readSome()) return false;
    return true;
  }
  // Ends the input and reads the rest; the whole output.
  const std::string& finish() {
    if (in_ >= 0) {
      ::close(in_);
      in_ = -1;
      while (readSome()) {
      }
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    return output_;
  }

 private:
  bool readSome() {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, 120000) <= 0) return false;
    char buf[4096];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n <= 0) return false;
    output_.append(buf, static_cast<std::size_t>(n));
    return true;
  }
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string output_;
};

class TwoDrivers : public ::testing::Test {
 protected:
  void SetUp() override {
    // Forty days of closes for each code, and a first list of one stock.
    for (const char* code : {"1301", "7001", "7002", "7003", "7004", "7101", "7102", "7103", "7104",
                             "7105", "7106", "7107", "7108"}) {
      std::string text = "Date,Close\r\n";
      const int newest = StrToDate("2003/12/26");
      for (int n = 0; n < 40; ++n)
        text += DateToStr(newest - n) + "," + std::to_string(1000 + n) + "\r\n";
      WriteFileBytes(folder.path(std::string(code) + ".csv"), text);
    }
    Driver first;
    first.send("import " + folder.path("1301.csv").string() + " 1301\n");
    ASSERT_NE(first.finish().find("取込完了"), std::string::npos) << first.finish();
  }
  std::string list() const { return ReadFileBytes(folder.path(kList)); }
  std::string import(const std::string& code) const {
    return "import " + folder.path(code + ".csv").string() + " " + code + "\n";
  }
  static bool succeeded(const std::string& out) {
    return out.find("取込完了: 追加 1銘柄") != std::string::npos;
  }
  DataFolder folder;
};

TEST_F(TwoDrivers, ALaterSaveOverAnEarlierOneIsRefused) {
  // B reads the list, then A imports and ends; B's import would drop A's
  // stock, so it is refused and the list keeps A's.
  Driver b;
  b.send("start\necho loaded\n");
  ASSERT_TRUE(b.waitFor("loaded"));
  {
    Driver a;
    a.send("start\n" + import("7001"));
    EXPECT_TRUE(succeeded(a.finish())) << a.finish();
  }
  const std::string afterA = list();
  b.send(import("7002"));
  const std::string out = b.finish();
  EXPECT_FALSE(succeeded(out)) << out;
  EXPECT_NE(out.find("ほかのプログラムが変更しました"), std::string::npos) << out;
  EXPECT_EQ(list(), afterA);
  EXPECT_NE(afterA.find("7001"), std::string::npos);
}

TEST_F(TwoDrivers, AWriterHoldsTheFolderUntilItEnds) {
  Driver a;
  a.send(import("7003") + "echo saved\n");
  ASSERT_TRUE(a.waitFor("saved"));
  const std::string afterA = list();
  {
    Driver b;
    b.send("start\ncell StockList 0 0\n" + import("7004"));
    const std::string out = b.finish();
    // B read the list while A held it, and its save names A.
    EXPECT_NE(out.find("StockList[0,0]="), std::string::npos) << out;
    EXPECT_FALSE(succeeded(out)) << out;
    EXPECT_NE(out.find("tavrine-script（プロセス番号 " + std::to_string(a.pid()) + "）"),
              std::string::npos)
        << out;
  }
  EXPECT_EQ(list(), afterA);
  EXPECT_TRUE(succeeded(a.finish()));
}

TEST_F(TwoDrivers, RacingImportsNeverBothSucceedWithOneLost) {
  const char* codes[][2] = {{"7101", "7102"}, {"7103", "7104"}, {"7105", "7106"}, {"7107", "7108"}};
  int successes = 0;
  for (const auto& pair : codes) {
    Driver a, b;
    a.send("start\n" + import(pair[0]));
    b.send("start\n" + import(pair[1]));
    const std::string outA = a.finish(), outB = b.finish();
    const std::string now = list();
    for (const auto& [code, out] : {std::pair{pair[0], outA}, std::pair{pair[1], outB}}) {
      if (!succeeded(out)) continue;
      ++successes;
      EXPECT_NE(now.find(code), std::string::npos) << code << " reported saved, but is lost";
    }
  }
  EXPECT_GE(successes, 4);  // each round saves at least one
}

TEST_F(TwoDrivers, AnUndoKeepsALaterChangeAndCanBeRedoneByTheNextProgram) {
  // B read the list before A's import: its undo would drop A's stock.
  Driver b;
  b.send("start\necho loaded\n");
  ASSERT_TRUE(b.waitFor("loaded"));
  {
    Driver a;
    a.send("start\n" + import("7001"));
    EXPECT_TRUE(succeeded(a.finish())) << a.finish();
  }
  const std::string afterA = list();
  b.send("undo\n");
  const std::string out = b.finish();
  EXPECT_NE(out.find("error: 元に戻せませんでした。"), std::string::npos) << out;
  EXPECT_EQ(list(), afterA);
  // A program started after it takes A's import back, and puts it back again.
  Driver c;
  c.send("start\nundo\necho undone\n");
  ASSERT_TRUE(c.waitFor("undone"));
  EXPECT_EQ(list().find("7001"), std::string::npos);
  c.send("redo\n");
  const std::string redone = c.finish();
  EXPECT_NE(redone.find("message: 「取込」をやり直しました。"), std::string::npos) << redone;
  EXPECT_EQ(list(), afterA);
}

}  // namespace
}  // namespace tavrine
