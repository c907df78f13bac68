// Custom-format output: tags replaced per record, file names that stay in the output folder, one
// file per record, and the pattern kept in the store.

#include "output/customoutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/resultgrid.h"
#include "engine/runerror.h"
#include "output/atomicfile.h"
#include "support/storefixture.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;

// A grid whose columns have the column ids 5, 7 and 9, titled "A", "B", "C".
ResultGrid Grid(const std::vector<std::vector<std::string>>& rows) {
  ResultGrid grid;
  grid.SetColumns({{"A", {5, 0}, 0}, {"B", {7, 0}, 0}, {"C", {9, 0}, 0}});
  for (const auto& row : rows)
    grid.AppendRow(0, row);
  return grid;
}

std::string Text(const ResultGrid& grid, const std::string& pattern, bool for_sql = false) {
  std::string text;
  ExpandToText(grid, {pattern, for_sql, 0, ""}, text);
  return text;
}

std::string ReadAll(const fs::path& path) {
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

TEST(CustomOutput, TagsAreReplacedByEachRecordsValues) {
  struct Case {
    const char* name;
    std::vector<std::vector<std::string>> rows;
    std::string pattern;
    bool for_sql;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"SQL with O'Neil",
       {{"1", "O'Neil"}},
       "insert into p(n) values('<CID:7/>');",
       true,
       "insert into p(n) values('O''Neil');\n"},
      {"quotes stay without For SQL", {{"1", "O'Neil"}}, "'<CID:7/>'", false, "'O'Neil'\n"},
      {"tags in lower case", {{"x", "y"}}, "<cid:5/>-<Cid:7/>", false, "x-y\n"},
      {"an unknown column gives nothing", {{"x"}}, "[<CID:6/>][<CID:0/>]", false, "[][]\n"},
      {"no tags: the pattern once per record", {{"x"}, {"y"}}, "line", false, "line\nline\n"},
      {"a tag used twice", {{"x"}}, "<CID:5/><CID:5/>", false, "xx\n"},
      {"a value holding a tag the pattern lacks",
       {{"<CID:7/>", "b"}},
       "<CID:5/>",
       false,
       "<CID:7/>\n"},
      {"a value holding a later tag's text, both in the pattern",
       {{"<cid:7/>", "b"}},
       "<CID:5/>|<CID:7/>",
       false,
       "b|b\n"},
      {"leading zeros", {{"x"}}, "<CID:005/>", false, "x\n"},
      {"not tags", {{"x"}}, "<CID:/> <CID:5> <CID: 5/>", false, "<CID:/> <CID:5> <CID: 5/>\n"},
      {"titles only: nothing", {}, "<CID:5/>", false, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Text(Grid(c.rows), c.pattern, c.for_sql), c.text) << c.name;

  EXPECT_THROW(Text(Grid({{"x"}}), "a <CID:99999999999/>"), RunError);
  EXPECT_EQ(Text(Grid({}), "a <CID:99999999999/>"), "") << "no record, no conversion";
  EXPECT_EQ(FindGridColumn(Grid({}), 9), 3);
  EXPECT_EQ(FindGridColumn(Grid({}), 8), 0);
}

TEST(CustomOutput, FileNamesStayInTheOutputFolder) {
  struct Case {
    std::string value;
    std::string name;
  };
  const std::vector<Case> cases = {
      {"a/b:c?.html", "abc.html"},
      {"\\*\"<>|x", "x"},
      {std::string("a\0b\tc\x7f\r\n", 9), "abc"},
      {"..", ""},
      {".", ""},
      {" . . ", ""},
      {"/..", ""},
      {"../x", "..x"},
      {".hidden", ".hidden"},
      {std::string(249, 'a') + "/bc", std::string(249, 'a')},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CleanFileName(c.value), c.name) << c.value;
}

TEST(CustomOutput, WritesOneFilePerRecord) {
  test::TempDir dir;
  const fs::path out = dir.Path() / "out";
  fs::create_directory(out);
  struct Case {
    const char* name;
    std::vector<std::vector<std::string>> rows;
    int name_column;
    std::string extension;
    std::vector<std::string> files;  // name=content, sorted by name
  };
  const std::vector<Case> cases = {
      {"by row number, .txt by default", {{"x"}, {"y"}}, 0, "", {"1.txt=x", "2.txt=y"}},
      {"by a column", {{"x", "a/b:c?.html"}}, 7, "", {"abc.html.txt=x"}},
      {"an extension of the user", {{"x", "p"}}, 7, ".html", {"p.html=x"}},
      {"dots, empty and missing names",
       {{"x", ".."}, {"y", ""}, {"z", "."}},
       7,
       ".t",
       {"1.t=x", "2.t=y", "3.t=z"}},
      {"the same name twice: the later one stays", {{"x", "n"}, {"y", "n"}}, 7, ".t", {"n.t=y"}},
      {"a name column not in the grid", {{"x"}}, 4, ".t", {"1.t=x"}},
  };
  for (const Case& c : cases) {
    fs::remove_all(out);
    fs::create_directory(out);
    std::vector<int> seen;
    WriteOutputFiles(Grid(c.rows), {"<CID:5/>", false, c.name_column, c.extension}, out.string(),
                     [&seen](int row) { seen.push_back(row); });
    std::vector<std::string> files;
    for (const std::string& name : Names(out))
      files.push_back(name + "=" + ReadAll(out / name));
    EXPECT_EQ(files, c.files) << c.name;
    EXPECT_EQ(seen.size(), c.rows.size()) << c.name;
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out"}) << c.name << ": nothing outside";
  }

  fs::remove_all(out);
  fs::create_directory(out);
  EXPECT_THROW(WriteOutputFiles(Grid({{"x"}}), {"p", false, 0, "./../x"}, out.string(), {}),
               OutputError);
  EXPECT_TRUE(Names(out).empty());
  // A folder that is gone: the first record fails.
  EXPECT_THROW(WriteOutputFiles(Grid({{"x"}}), {"p", false, 0, ""}, (out / "gone").string(), {}),
               OutputError);
}

TEST(CustomOutput, ThePatternIsStoredWithItsTemplet) {
  test::StoreFixture f;
  const int id = f.AddTemplet("T");
  EXPECT_EQ(LoadOutputPattern(f.Store(), id), std::string()) << "a null reads as empty";
  const std::string pattern = "insert into t values('<CID:1/>');\r\n-- it's\n";
  SaveOutputPattern(f.Store(), id, pattern);
  EXPECT_EQ(LoadOutputPattern(f.Store(), id), pattern);
  EXPECT_EQ(LoadOutputPattern(f.Store(), id + 1), std::nullopt);
}

}  // namespace
}  // namespace sorvane
