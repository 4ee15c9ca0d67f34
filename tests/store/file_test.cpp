// The data files on disk: a load and save gives back the very bytes the user
// had, a save never writes through a planted link or leaves a temporary
// behind, and only regular files are read.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "../support/data_folder.h"
#include "store/codec.h"
#include "store/table_file.h"
#include "store/work_table.h"

namespace tavrine {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

// Every two-byte code that reads as a character, each once.
std::vector<std::string> EveryPair() {
  std::vector<std::string> out;
  for (unsigned a = 0x81; a <= 0xFC; ++a) {
    if (a >= 0xA0 && a <= 0xDF) continue;  // one-byte characters and a byte that is none
    for (unsigned b = 0x40; b <= 0xFC; ++b) {
      const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
      // A pair that is no character reads as its lead byte kept alone,
      // U+F780+byte (EF 9E 80 .. EF A1 BF), and what follows.
      const std::string text = Cp932ToUtf8(bytes);
      const auto second = static_cast<unsigned char>(text[1]);
      if (!(text[0] == '\xEF' && second >= 0x9E && second <= 0xA1)) out.push_back(bytes);
    }
  }
  return out;
}

// Cells of stray bytes, written as they sit in the file: bytes that start
// nothing, lone lead bytes before a comma, a stray byte that would merge with
// the code after it.
const char* const kStrayCells[] = {"\x80",  "\xA0", "\xFD",        "\xFE\xFF",
                                   "\x81",  "\x9F", "\xE0",        "\xEE\xEE\x6C",
                                   "a\x87", "\xFC", "\xED\x40\xEE"};

class SavedFiles : public ::testing::Test {
 protected:
  std::string path(const std::string& n) const { return folder.path(n).string(); }
  // Names in the folder that look like a temporary.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string().find(".tmp") != std::string::npos)
        out.push_back(e.path().filename());
    return out;
  }
  static mode_t modeOf(const std::string& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_mode & 07777;
  }
  testing::DataFolder folder;
  const fs::path& dir = folder.dir();
};

TEST_F(SavedFiles, StockListWithEveryCodeAndStrayBytesSavesBackUnchanged) {
  // Lines of 200 cells, as the list save writes them, CR LF between them.
  const auto pairs = EveryPair();
  ASSERT_GT(pairs.size(), 7000u);
  std::vector<std::string> cells(pairs);
  cells.insert(cells.begin() + 300, std::begin(kStrayCells), std::end(kStrayCells));
  std::string file;
  std::size_t k = 0;
  for (int line = 0; k < cells.size(); ++line) {
    for (int c = 0; c < 200; ++c) {
      if (c) file += ',';
      file += k < cells.size() ? cells[k++] : std::to_string(line * 1000 + c);
    }
    // The last cell ends in a lone lead byte on some lines.
    if (line % 3 == 0) file += "\x88";
    file += "\r\n";
  }
  WriteFileBytes(path("list.csv"), file);

  WorkTable t("StockList", 200, 5000);
  LoadTableFile(t, path("list.csv"), 200);
  EXPECT_EQ(t.rowCount(), static_cast<int>((cells.size() + 199) / 200));
  SaveTableFile(t, path("list.csv"));
  EXPECT_EQ(ReadFileBytes(path("list.csv")), file);
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(SavedFiles, MemoAndCalendarWithEveryCodeSaveBackUnchanged) {
  // The memo: lines of codes and stray bytes, one ending in a lone lead byte.
  const auto pairs = EveryPair();
  std::string memo;
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    memo += pairs[k];
    if (k % 97 == 96) memo += "\r\n";
  }
  for (const char* stray : kStrayCells) memo += std::string(stray) + " \t\"\r\n";
  memo += "\x81\r\n\r\n";
  WriteFileBytes(path("Fname.txt"), memo);
  WriteLines(path("Fname.txt"), ReadLines(path("Fname.txt")), true);
  EXPECT_EQ(ReadFileBytes(path("Fname.txt")), memo);

  // The calendar: a heading and a date with a note on every line.
  std::string calendar = "\x93\xFA\x95\x74,\xED\x40\x87\x90\r\n";  // 日付
  for (std::size_t k = 0; k < pairs.size(); k += 3)
    calendar +=
        "2026/12/" + std::to_string(k % 28 + 1) + "," + pairs[k] + kStrayCells[k % 11] + "\r\n";
  WriteFileBytes(path("hizuke.csv"), calendar);
  WorkTable dates("DateTable", 2, 4860);
  LoadTableFile(dates, path("hizuke.csv"), 200);
  SaveTableFile(dates, path("hizuke.csv"));
  EXPECT_EQ(ReadFileBytes(path("hizuke.csv")), calendar);
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(SavedFiles, PlantedTemporaryLinksAreNeverWrittenThrough) {
  WriteFileBytes(path("list.csv"), "the stock list");
  WriteFileBytes(path("Fname.txt"), "old memo");
  fs::create_symlink(path("list.csv"), path("Fname.txt.tmp"));
  fs::create_symlink(path("nowhere.csv"), path("memo.txt.tmp"));  // a link to a file yet to exist
  WriteLines(path("Fname.txt"), {"new memo"}, true);
  WriteText(path("memo.txt"), "7203");
  EXPECT_EQ(ReadFileBytes(path("list.csv")), "the stock list");
  EXPECT_FALSE(fs::exists(path("nowhere.csv")));
  EXPECT_EQ(ReadFileBytes(path("Fname.txt")), "new memo\r\n");
  EXPECT_EQ(ReadFileBytes(path("memo.txt")), "7203");
  EXPECT_FALSE(fs::is_symlink(path("Fname.txt")));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(SavedFiles, SaveThroughALinkWritesItsTargetAndKeepsTheLink) {
  fs::create_directories(dir / "data");
  WriteFileBytes(path("data/list.csv"), "old");
  ::chmod(path("data/list.csv").c_str(), 0640);
  // list.csv -> data/link.csv -> list.csv in data, both relative.
  fs::create_symlink("list.csv", path("data/link.csv"));
  fs::create_symlink("data/link.csv", path("list.csv"));
  WriteText(path("list.csv"), "new");
  EXPECT_TRUE(fs::is_symlink(path("list.csv")));
  EXPECT_TRUE(fs::is_symlink(path("data/link.csv")));
  EXPECT_EQ(ReadFileBytes(path("data/list.csv")), "new");
  EXPECT_EQ(modeOf(path("data/list.csv")), 0640u);
  EXPECT_TRUE(leftovers().empty());
  for (const auto& e : fs::directory_iterator(dir / "data"))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();

  // A link that leads round in a circle is no file to write.
  fs::create_symlink("loop-b", path("loop-a"));
  fs::create_symlink("loop-a", path("loop-b"));
  EXPECT_THROW(WriteText(path("loop-a"), "x"), FileError);
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(SavedFiles, ReplacedFileKeepsItsModeAndANewOneFollowsTheUmask) {
  WriteFileBytes(path("list.csv"), "old");
  ::chmod(path("list.csv").c_str(), 0640);
  WriteText(path("list.csv"), "new");
  EXPECT_EQ(ReadFileBytes(path("list.csv")), "new");
  EXPECT_EQ(modeOf(path("list.csv")), 0640u);

  const mode_t mask = ::umask(022);
  WriteText(path("fresh.csv"), "x");
  ::umask(mask);
  EXPECT_EQ(modeOf(path("fresh.csv")), 0644u);
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(SavedFiles, FailedSavesLeaveTheOldFileAndNoTemporary) {
  // A folder where the file should go: the temporary cannot replace it.
  fs::create_directories(dir / "list.csv" / "inside");
  try {
    WriteText(path("list.csv"), "new");
    ADD_FAILURE() << "saved over a folder";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "ファイル \"" + path("list.csv") +
                                         "\" に書き込めません（同じ名前のフォルダがあります）。");
  }
  EXPECT_TRUE(fs::is_directory(path("list.csv")));
  EXPECT_TRUE(leftovers().empty());

  // A folder nobody may write in. Root writes anywhere, so the save runs in
  // a child that gives root up first.
  WriteFileBytes(path("memo.txt"), "old memo");
  ::chmod(dir.c_str(), 0555);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    try {
      WriteText(path("memo.txt"), "new memo");
    } catch (const FileError& e) {
      ::_exit(std::string(e.what()) == "ファイル \"" + path("memo.txt") +
                                           "\" を作成できません（書き込みの許可がありません）。"
                  ? 0
                  : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved, 2: another message, 3: could not give root up";
  ::chmod(dir.c_str(), 0755);
  EXPECT_EQ(ReadFileBytes(path("memo.txt")), "old memo");
  EXPECT_TRUE(leftovers().empty());
}

// Runs a read that must end at once; a read hanging on a FIFO is let go by
// opening the FIFO's other end, so the test fails rather than hangs.
template <typename Read>
void ExpectPromptRefusal(const std::string& p, Read read) {
  auto done = std::async(std::launch::async, [&] {
    try {
      read();
      return std::string("read without an error");
    } catch (const FileError& e) {
      return std::string(e.what());
    }
  });
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    ADD_FAILURE() << p << ": the read hangs";
    const int fd = ::open(p.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  }
  EXPECT_EQ(done.get(), "ファイル \"" + p + "\" を開けません。");
}

TEST_F(SavedFiles, OnlyRegularFilesAreRead) {
  fs::create_directories(dir / "list.csv");
  ASSERT_EQ(::mkfifo(path("memo.txt").c_str(), 0600), 0);
  WriteFileBytes(path("real.csv"), "a,b\r\n");
  fs::create_symlink("real.csv", path("link.csv"));
  WorkTable t("T", 200, 10);
  for (const std::string& p : {path("list.csv"), path("memo.txt")}) {
    ExpectPromptRefusal(p, [&] { ReadBytes(p); });
    ExpectPromptRefusal(p, [&] { ReadLines(p); });
    ExpectPromptRefusal(p, [&] { LoadTableFile(t, p, 200); });
  }
  // A link to a regular file reads as the file.
  EXPECT_EQ(ReadBytes(path("link.csv")), "a,b\r\n");
}

}  // namespace
}  // namespace tavrine
