// The grid as JSON Lines: every line parses with a strict JSON parser, whatever bytes the cells
// hold, and no byte is lost.

#include "output/jsonlines.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "core/resultgrid.h"

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

std::vector<nlohmann::json> Parse(const ResultGrid& grid) {
  std::string text;
  WriteJsonLines(grid, [&text](std::string_view bytes) { text.append(bytes); });
  std::vector<nlohmann::json> objects;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    objects.push_back(nlohmann::json::parse(line));  // throws on anything but strict JSON
  EXPECT_TRUE(text.empty() || text.back() == '\n');
  return objects;
}

TEST(JsonLines, AnyCellBytesGiveStrictJsonKeepingEveryCharacter) {
  struct Case {
    const char* name;
    std::string cell;
    std::string utf8;  // the value the parser reads
  };
  const std::vector<Case> cases = {
      {"quote and backslash", "say \"a\\b\"", "say \"a\\b\""},
      {"control bytes", std::string("t\tn\nr\rz\0e\x1f\x7f", 11),
       std::string("t\tn\nr\rz\0e\x1f\x7f", 11)},
      {"valid UTF-8 as it is", "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80",
       "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"an invalid byte: the value read as Windows-1252", "caf\xE9 \x80 \x81 \xC3\xA9",
       "caf\xC3\xA9 \xE2\x82\xAC \xC2\x81 \xC3\x83\xC2\xA9"},
      {"a truncated sequence", "ab\xE2\x82", "ab\xC3\xA2\xE2\x80\x9A"},
      {"an overlong form", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
      {"an encoded surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    const std::vector<nlohmann::json> objects = Parse(Grid({"v"}, {{c.cell}}));
    ASSERT_EQ(objects.size(), 1u) << c.name;
    EXPECT_EQ(objects[0].at("v").get<std::string>(), c.utf8) << c.name;
  }
}

TEST(JsonLines, MembersAreNamedByUniqueTitlesInGridOrder) {
  const std::vector<nlohmann::json> objects =
      Parse(Grid({"Name", "Name", "Name_2", "\xE9t\xE9", ""}, {{"a", "b", "c", "d", "e"}, {}}));
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0].dump(), R"({"":"e","Name":"a","Name_2":"c","Name_3":"b","été":"d"})");
  EXPECT_EQ(objects[1].dump(), R"({"":"","Name":"","Name_2":"","Name_3":"","été":""})");
  EXPECT_TRUE(Parse(Grid({"a"}, {})).empty()) << "titles only: no line";
  std::string text;
  WriteJsonLines(Grid({"b", "a", "b"}, {{"1", "2", "3"}}),
                 [&text](std::string_view bytes) { text.append(bytes); });
  EXPECT_EQ(text, "{\"b\":\"1\",\"a\":\"2\",\"b_2\":\"3\"}\n");

  EXPECT_EQ(UniqueNames({"a", "a", "a", "a_2"}),
            (std::vector<std::string>{"a", "a_3", "a_4", "a_2"}));
}

}  // namespace
}  // namespace sorvane
