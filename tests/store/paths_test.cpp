// Where the data files live: beside the executable in a build tree or a
// folder of the user's own, in the user's data folder for an installed
// program, and wherever TAVRINE_HOME / TAVRINE_ROOT say.
#include "store/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../support/data_folder.h"

namespace tavrine {
namespace {

namespace fs = std::filesystem;
using testing::DataFolder;
using testing::WriteFileBytes;

DataFolderInputs Inputs(bool writable, bool installed) {
  DataFolderInputs in;
  in.exeDir = "/opt/t/bin";
  in.exeDirWritable = writable;
  in.installed = installed;
  in.home = "/home/u";
  return in;
}

mode_t Mode(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

TEST(DataFolders, ABuildTreeKeepsItsFilesBesideTheExecutable) {
  DataFolderInputs in = Inputs(true, false);
  in.xdgDataHome = "/home/u/xdg";
  const DataFolders f = ChooseDataFolders(in);
  EXPECT_EQ(f.home, "/opt/t/bin/");
  EXPECT_EQ(f.root, "/opt/t/bin/");
  EXPECT_FALSE(f.userData);
}

TEST(DataFolders, AnInstalledProgramUsesTheUsersDataFolder) {
  // Read-only folder, or a writable one of an installed prefix (~/.local/bin).
  for (const auto& [writable, installed] : {std::pair{false, false}, {false, true}, {true, true}}) {
    SCOPED_TRACE(std::string(writable ? "writable" : "read-only") +
                 (installed ? ", installed" : ""));
    DataFolderInputs in = Inputs(writable, installed);
    in.xdgDataHome = "/home/u/xdg";
    DataFolders f = ChooseDataFolders(in);
    EXPECT_EQ(f.home, "/home/u/xdg/tavrine/");
    EXPECT_EQ(f.root, f.home);
    EXPECT_TRUE(f.userData);

    // Unset, empty or relative XDG_DATA_HOME counts as unset.
    for (const char* xdg : {"", "xdg/relative"}) {
      in.xdgDataHome = xdg;
      f = ChooseDataFolders(in);
      EXPECT_EQ(f.home, "/home/u/.local/share/tavrine/") << xdg;
      EXPECT_EQ(f.root, f.home);
      EXPECT_TRUE(f.userData);
    }
  }
}

TEST(DataFolders, TheEnvironmentOverridesWin) {
  for (bool writable : {true, false}) {
    DataFolderInputs in = Inputs(writable, !writable);
    in.xdgDataHome = "/home/u/xdg";
    in.tavrineHome = "/data/home";
    DataFolders f = ChooseDataFolders(in);
    EXPECT_EQ(f.home, "/data/home/");
    EXPECT_EQ(f.root, "/data/home/");  // the root follows the home
    EXPECT_FALSE(f.userData);          // the user's own folder: never created

    in.tavrineRoot = "/data/root/";
    f = ChooseDataFolders(in);
    EXPECT_EQ(f.home, "/data/home/");
    EXPECT_EQ(f.root, "/data/root/");

    // The root alone moves only the sibling tools' folder.
    in.tavrineHome.clear();
    f = ChooseDataFolders(in);
    EXPECT_EQ(f.home, writable ? "/opt/t/bin/" : "/home/u/xdg/tavrine/");
    EXPECT_EQ(f.root, "/data/root/");
  }
}

TEST(DataFolders, WithNoHomeAtAllTheFilesStayBesideTheExecutable) {
  DataFolderInputs in = Inputs(false, true);
  in.home.clear();
  const DataFolders f = ChooseDataFolders(in);
  EXPECT_EQ(f.home, "/opt/t/bin/");
  EXPECT_FALSE(f.userData);
}

TEST(DataFolders, TheProbeTellsReadOnlyAndInstalledFolders) {
  DataFolder tmp;
  const fs::path bin = tmp.path("prefix/bin");
  fs::create_directories(bin);
  EXPECT_TRUE(FolderWritable(bin));
  DataFolderInputs in = ProbeDataFolderInputs(bin);
  EXPECT_TRUE(in.exeDirWritable);
  EXPECT_FALSE(in.installed);

  // The installed layout: <prefix>/bin beside <prefix>/share/metainfo/<id>.
  WriteFileBytes(tmp.path("prefix/share/metainfo/" + std::string(kAppId) + ".metainfo.xml"),
                 "<component/>");
  in = ProbeDataFolderInputs(bin);
  EXPECT_TRUE(in.exeDirWritable);
  EXPECT_TRUE(in.installed);
  // Only a bin folder of that prefix counts.
  fs::create_directories(tmp.path("prefix/tools"));
  EXPECT_FALSE(ProbeDataFolderInputs(tmp.path("prefix/tools")).installed);

  // Read-only by its mode bits, even for root.
  fs::permissions(bin, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  EXPECT_FALSE(FolderWritable(bin));
  EXPECT_FALSE(ProbeDataFolderInputs(bin).exeDirWritable);
  fs::permissions(bin, fs::perms::owner_all);

  EXPECT_FALSE(FolderWritable(tmp.path("missing")));
  WriteFileBytes(tmp.path("file"), "x");
  EXPECT_FALSE(FolderWritable(tmp.path("file")));
}

TEST(DataFolders, TheUsersFolderIsCreatedPrivateWithItsParents) {
  DataFolder tmp;
  const fs::path dir = tmp.path("xdg/deeper/tavrine");
  ASSERT_TRUE(CreatePrivateFolder(dir.string() + "/"));
  EXPECT_TRUE(fs::is_directory(dir));
  for (const char* rel : {"xdg", "xdg/deeper", "xdg/deeper/tavrine"})
    EXPECT_EQ(Mode(tmp.path(rel)), 0700u) << rel;

  // An existing folder and what it holds are left as they are.
  WriteFileBytes(dir / "memo.txt", "memo");
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  EXPECT_TRUE(CreatePrivateFolder(dir));
  EXPECT_EQ(Mode(dir), 0750u);
  EXPECT_EQ(testing::ReadFileBytes(dir / "memo.txt"), "memo");

  // A file in the way is no folder.
  WriteFileBytes(tmp.path("plain"), "x");
  EXPECT_FALSE(CreatePrivateFolder(tmp.path("plain/tavrine")));
}

TEST(DataFolders, ATestRunFromTheBuildTreeUsesItsOwnFolder) {
  // The test program sits in the writable build tree, like the program run
  // from there: without TAVRINE_HOME its files are beside it, and no user
  // data folder is made.
  DataFolder tmp;
  tmp.unset("TAVRINE_HOME");
  tmp.unset("TAVRINE_ROOT");
  tmp.set("XDG_DATA_HOME", tmp.path("xdg").string());
  const std::string exeDir = fs::canonical("/proc/self/exe").parent_path().string() + "/";
  EXPECT_EQ(HomeDir(), exeDir);
  EXPECT_EQ(RootDir(), exeDir);
  EXPECT_EQ(HomePath("memo.txt"), exeDir + "memo.txt");
  EXPECT_FALSE(fs::exists(tmp.path("xdg")));

  tmp.set("TAVRINE_HOME", tmp.path("home").string());
  EXPECT_EQ(HomeDir(), tmp.path("home").string() + "/");
  EXPECT_EQ(RootPath("pullbox/pullbox.exe"), tmp.path("home").string() + "/pullbox/pullbox.exe");
}

}  // namespace
}  // namespace tavrine
