// Files written whole or not at all: the old file survives every failure, and no temporary file
// is left behind.

#include "output/atomicfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/filesizelimit.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicFile, ReplacesWholeAndKeepsPermissions) {
  test::TempDir dir;
  const std::string path = dir.Write("out.csv", "old content that is longer than the new one");
  chmod(path.c_str(), 0640);
  WriteFileAtomically(path, "new");
  EXPECT_EQ(ReadAll(path), "new");
  struct stat st {};
  stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.csv"});

  // A new file, and one written in several pieces.
  {
    AtomicFile file(dir.File("new.txt"));
    file.Write("a");
    file.Write("");
    file.Write("bc");
    EXPECT_FALSE(fs::exists(dir.File("new.txt"))) << "visible before it is complete";
    file.Commit();
  }
  EXPECT_EQ(ReadAll(dir.File("new.txt")), "abc");
}

TEST(AtomicFile, FailuresLeaveTheOldFileAndNoTemporaryFile) {
  test::TempDir dir;
  const std::string old_text = "old";
  const std::string path = dir.Write("out.csv", old_text);
  fs::create_directory(dir.File("folder"));
  struct Case {
    const char* name;
    std::string target;
  };
  const std::vector<Case> cases = {
      {"a folder", dir.File("folder")},
      {"a missing folder", dir.File("no/such/file.csv")},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(WriteFileAtomically(c.target, "x"), OutputError) << c.name;
  }
  {
    // The disk fills up (here: the size limit) in the middle of the writing.
    test::FileSizeLimit limit(1000);
    EXPECT_THROW(WriteFileAtomically(path, std::string(5000, 'x')), OutputError);
  }
  {
    // Abandoned before Commit.
    AtomicFile file(path);
    file.Write("half");
  }
  EXPECT_EQ(ReadAll(path), old_text);
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"folder", "out.csv"}));

  if (geteuid() != 0) {
    // A read-only file is refused, though its folder would allow a rename over it.
    chmod(path.c_str(), 0444);
    EXPECT_THROW(WriteFileAtomically(path, "x"), OutputError);
    EXPECT_EQ(ReadAll(path), old_text);
  }
}

TEST(AtomicFile, LinksAreFollowedAndDevicesWrittenInPlace) {
  test::TempDir dir;
  const std::string target = dir.Write("target.txt", "old");
  fs::create_symlink("target.txt", dir.File("link.txt"));
  WriteFileAtomically(dir.File("link.txt"), "new");
  EXPECT_TRUE(fs::is_symlink(dir.File("link.txt")));
  EXPECT_EQ(ReadAll(target), "new");

  // A device stores nothing to keep: it is written, never replaced.
  WriteFileAtomically("/dev/null", "nothing");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  if (fs::exists("/dev/full")) {
    EXPECT_THROW(WriteFileAtomically("/dev/full", std::string(100000, 'x')), OutputError);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
  }
}

}  // namespace
}  // namespace sorvane
