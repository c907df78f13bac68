// The grid as CSV text: quoting, line ends, titles, and files that cannot be written.

#include "output/csv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/resultgrid.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

ResultGrid Grid(const std::vector<std::string>& titles,
                const std::vector<std::vector<std::string>>& rows) {
  ResultGrid grid;
  std::vector<GridColumn> columns;
  for (const std::string& t : titles)
    columns.push_back({t, {}, 0});
  grid.SetColumns(std::move(columns));
  for (const auto& row : rows)
    grid.AppendRow(0, row);
  return grid;
}

std::string Csv(const ResultGrid& grid) {
  std::ostringstream out;
  WriteCsv(grid, out);
  return out.str();
}

TEST(Csv, FieldsAreQuotedAndLinesEndWithCrLf) {
  struct Case {
    const char* name;
    ResultGrid grid;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"titles and a record with quotes and commas",
       Grid({"Name", "Price"}, {{"5\" disc", "3,50"}}),
       "\"Name\",\"Price\"\r\n\"5\"\" disc\",\"3,50\"\r\n"},
      {"titles only", Grid({"a", "b"}, {}), "\"a\",\"b\"\r\n"},
      {"empty cells", Grid({"a", "b"}, {{"", "x"}}), "\"a\",\"b\"\r\n\"\",\"x\"\r\n"},
      {"line breaks stay inside the quotes", Grid({"a"}, {{"1\r\n2"}}), "\"a\"\r\n\"1\r\n2\"\r\n"},
      {"no shown columns: one empty line per row", Grid({}, {{}, {}}), "\r\n\r\n\r\n"},
      {"bytes as they are", Grid({"\xE4"}, {{std::string("a\0b", 3)}}),
       std::string("\"\xE4\"\r\n\"a\0b\"\r\n", 12)},
      {"only quotes", Grid({"\"\""}, {}), "\"\"\"\"\"\"\r\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Csv(c.grid), c.text) << c.name;

  std::string with_bom;
  WriteCsv(Grid({"a"}, {}), [&with_bom](std::string_view bytes) { with_bom.append(bytes); },
           {.utf8_bom = true});
  EXPECT_EQ(with_bom, "\xEF\xBB\xBF\"a\"\r\n");
}

TEST(Csv, FilesAreReplacedAndUnwritablePathsFail) {
  test::TempDir dir;
  const std::string path = dir.Write("out.csv", "old content that is longer than the new one");
  WriteCsvFile(Grid({"a"}, {{"1"}}), path);
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "\"a\"\r\n\"1\"\r\n");

  EXPECT_THROW(WriteCsvFile(Grid({"a"}, {}), dir.Path().string()), OutputError);
  EXPECT_THROW(WriteCsvFile(Grid({"a"}, {}), dir.File("no/such/folder.csv")), OutputError);
  if (std::ofstream("/dev/full")) {
    EXPECT_THROW(WriteCsvFile(Grid({"a"}, {{std::string(100000, 'x')}}), "/dev/full"), OutputError);
  }
}

}  // namespace
}  // namespace sorvane
