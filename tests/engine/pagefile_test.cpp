// Local files as page text: line ends, dropped CRs, the end-of-file byte, unreadable files.

#include "engine/pagefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/runerror.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

using namespace std::string_literals;

struct Case {
  const char* name;
  std::string bytes;
  std::string page;
};

TEST(PageFile, LinesAreJoinedWithCrLf) {
  const std::vector<Case> cases = {
      {"empty file", "", ""},
      {"LF ends lines", "a\nb\n", "a\r\nb\r\n"},
      {"CR LF ends lines", "a\r\nb\r\n", "a\r\nb\r\n"},
      {"last line without end", "a\nb", "a\r\nb\r\n"},
      {"empty lines stay", "a\n\n\nb\n", "a\r\n\r\n\r\nb\r\n"},
      {"a lone CR is dropped", "a\rb\r\n", "ab\r\n"},
      {"CR CR LF is one line end", "a\r\r\nb", "a\r\nb\r\n"},
      {"LF CR is a line end and a dropped CR", "a\n\rb", "a\r\nb\r\n"},
      {"a lone CR at the end still makes a line", "a\n\r", "a\r\n\r\n"},
      {"only a CR", "\r", "\r\n"},
      {"only a LF", "\n", "\r\n"},
      {"0x1A ends the file",
       "a\nb\x1A"
       "c\nd\n",
       "a\r\nb\r\n"},
      {"0x1A first gives nothing",
       "\x1A"
       "abc",
       ""},
      {"0x1A after a line end", "a\n\x1A\n", "a\r\n"},
      {"zero bytes and high bytes stay", "a\0b\xFF\n"s, "a\0b\xFF\r\n"s},
      {"mixed line ends", "1\r\n2\n3\r4", "1\r\n2\r\n34\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PageTextOf(c.bytes), c.page) << c.name;
  }
}

TEST(PageFile, ReadsRealFilesAndTellsWhichExist) {
  test::TempDir dir;
  const std::string file = dir.Write("page.txt", "<b>x</b>\n<b>y</b>");
  EXPECT_TRUE(PageFileExists(file));
  EXPECT_EQ(ReadPageFile(file), "<b>x</b>\r\n<b>y</b>\r\n");

  const std::string big(300000, 'z');  // longer than one read
  EXPECT_EQ(ReadPageFile(dir.Write("big.txt", big + "\n")), big + "\r\n");

  EXPECT_FALSE(PageFileExists(dir.File("missing.txt")));
  EXPECT_FALSE(PageFileExists(dir.Path().string()));  // a folder is no file
  EXPECT_FALSE(PageFileExists(""));
}

TEST(PageFile, AFileThatExistsButCannotBeReadIsAnError) {
  // Reading this process's memory file from offset 0 fails although the file opens.
  const std::string unreadable = "/proc/self/mem";
  if (!std::filesystem::exists(unreadable)) GTEST_SKIP() << "no " << unreadable;
  ASSERT_TRUE(PageFileExists(unreadable));
  try {
    ReadPageFile(unreadable);
    FAIL() << "no error";
  } catch (const RunError& e) {
    EXPECT_NE(std::string(e.what()).find(unreadable), std::string::npos) << e.what();
  }
  test::TempDir dir;
  EXPECT_THROW(ReadPageFile(dir.File("missing.txt")), RunError);
}

}  // namespace
}  // namespace sorvane
