// The stand-in quote site serves the manual of docs/manual under /tavrine/:
// every page, style sheet and picture byte for byte with its content type,
// and nothing else.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>

#include "../support/build_paths.h"
#include "web_support.h"

namespace tavrine {
namespace {

using namespace webtest;
namespace fs = std::filesystem;

std::string TypeOf(const fs::path& p) {
  const std::string ext = p.extension().string();
  if (ext == ".htm") return "text/html; charset=UTF-8";
  if (ext == ".css") return "text/css; charset=UTF-8";
  return "image/png";
}

TEST(ManualSite, ServesEveryFileOfTheManualAsItIs) {
  DataFolder f;
  LiveSite site(f);
  httplib::Client client("127.0.0.1", site.port());
  const fs::path root = testing::kManualDir;
  std::set<std::string> onDisk;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string ext = e.path().extension().string();
    if (!e.is_regular_file() || (ext != ".htm" && ext != ".css" && ext != ".png")) continue;
    const std::string rel = fs::relative(e.path(), root).generic_string();
    onDisk.insert(rel);
    const auto res = client.Get("/tavrine/" + rel);
    ASSERT_TRUE(res) << rel;
    EXPECT_EQ(res->status, 200) << rel;
    EXPECT_EQ(res->get_header_value("Content-Type"), TypeOf(e.path())) << rel;
    EXPECT_TRUE(res->body == testing::ReadFileBytes(e.path())) << rel << " differs from the file";
  }
  // The two pages the help window's buttons open, pictures and the sheet.
  EXPECT_TRUE(onDisk.count("tavrine.htm"));
  EXPECT_TRUE(onDisk.count("tavrinekanni.htm"));
  EXPECT_TRUE(onDisk.count("style.css"));
  EXPECT_TRUE(onDisk.count("images/main.png"));
  // The compiled-in table holds exactly the files of the folder.
  std::set<std::string> embedded;
  for (auto* m = manual::ManualFilesBegin(); m != manual::ManualFilesEnd(); ++m)
    embedded.insert(std::string(m->path));
  EXPECT_EQ(embedded, onDisk);
}

TEST(ManualSite, AnswersNotFoundOutsideTheManual) {
  DataFolder f;
  LiveSite site(f);
  httplib::Client client("127.0.0.1", site.port());
  for (const char* path :
       {"/tavrine/nothing.htm", "/tavrine/../CMakeLists.txt", "/tavrine/images/",
        "/tavrine/images/../../CMakeLists.txt", "/tavrine/TAVRINE.HTM", "/manual/tavrine.htm"}) {
    const auto res = client.Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 404) << path;
  }
  EXPECT_EQ(manual::FindManualFile("../tavrine.htm"), nullptr);
  EXPECT_EQ(manual::FindManualFile(""), nullptr);
}

}  // namespace
}  // namespace tavrine
