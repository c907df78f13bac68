// Regular-expression records: the whole-page and record-block loops, column references, and
// what an error inside a page or a block leaves behind.

#include "engine/regexrecords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/regexpr.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

TCol Ref(std::string open, int kind = kColNormal, int id = 0) {
  TCol col;
  col.ColID = id;
  col.OpenTag = std::move(open);
  col.Kind = kind;
  return col;
}

struct PageRun {
  test::TestHost host;
  RegExpr re;
  std::vector<TCol> cols;
  std::vector<TTrans> rules;
  int extracted = 0;
  bool result = false;

  void Run(const std::string& expression, std::string_view page, std::string_view record_open = {},
           std::string_view record_close = {}, std::size_t pos = 1) {
    host.Columns(static_cast<int>(cols.size()));
    RegexPlan plan(cols, expression, record_open, record_close);
    RecordAppender appender(host, host.grid, cols, rules, "F", nullptr, extracted);
    result = plan.ExtractRecords(appender, host, re, page, pos);
  }
};

struct Case {
  const char* name;
  std::vector<TCol> cols;
  std::string expression;
  std::string page;
  std::string record_open;
  std::string record_close;
  std::vector<std::string> rows;
};

TEST(RegexRecords, MatchesBecomeRows) {
  const std::vector<Case> cases = {
      {"every match a row", {Ref("$1")}, "<b>(.+?)</b>", "<b>1</b><b>2</b>", "", "", {"1", "2"}},
      {"$0 is the whole match",
       {Ref("$0")},
       "<b>(.+?)</b>",
       "<b>1</b><b>2</b>",
       "",
       "",
       {"<b>1</b>", "<b>2</b>"}},
      {"a group beyond the expression's is empty",
       {Ref("$1"), Ref("$2")},
       "<b>(.+?)</b>",
       "<b>1</b>",
       "",
       "",
       {"1|"}},
      {"groups that took no part are empty",
       {Ref("$1"), Ref("$2")},
       "(a)?b(c)?",
       "bc",
       "",
       "",
       {"|c"}},
      {"empty matches move on by one", {Ref("$0")}, "x*", "ab", "", "", {"", "", ""}},
      {"letter case counts", {Ref("$0")}, "ABC", "abc", "", "", {}},
      {"(?i) ignores it", {Ref("$0")}, "(?i)ABC", "abc", "", "", {"abc"}},
      {"references read characters 2 to 11", {Ref("$00000000012")}, "(a)(b)", "ab", "", "", {"a"}},
      {"negative reference is empty", {Ref("$-1")}, "(a)", "a", "", "", {""}},
      {"field value column", {Ref("$1"), Ref("", kColFieldValue)}, "<(.)>", "<x>", "", "", {"x|F"}},
      {"one record per block",
       {Ref("$1")},
       "<i>(.)</i>",
       "<tr><i>1</i><i>2</i></tr><tr><i>3</i></tr>",
       "<tr>",
       "</tr>",
       {"1", "3"}},
      {"blocks without a match leave no row",
       {Ref("$1")},
       "<i>(.)</i>",
       "<tr><i>1</i></tr><tr>none</tr><tr><i>3</i></tr>",
       "<tr>",
       "</tr>",
       {"1", "3"}},
      {"anchors are the block's",
       {Ref("$1")},
       "^(.)",
       "<tr>ab</tr><tr>cd</tr>",
       "<tr>",
       "</tr>",
       {"a", "c"}},
      {"without columns rows hold nothing", {}, "a", "aa", "", "", {"", ""}},
  };
  for (const Case& c : cases) {
    PageRun run;
    run.cols = c.cols;
    run.Run(c.expression, c.page, c.record_open, c.record_close);
    EXPECT_EQ(run.host.Rows(), c.rows) << c.name;
    EXPECT_EQ(run.extracted, static_cast<int>(c.rows.size())) << c.name;
    EXPECT_EQ(run.result, !c.rows.empty()) << c.name;
    EXPECT_TRUE(run.host.statuses.empty() ||
                run.host.statuses.back().ends_with(" records extrated."))
        << c.name;
  }
}

TEST(RegexRecords, WholePageMatchingStartsAtTheFirstByte) {
  PageRun run;
  run.cols = {Ref("$1")};
  run.Run("<b>(.)</b>", "<b>1</b>START<b>2</b>", "", "", 9);
  EXPECT_EQ(run.host.Rows(), (std::vector<std::string>{"1", "2"}));

  PageRun blocks;
  blocks.cols = {Ref("$1")};
  blocks.Run("<b>(.)</b>", "<tr><b>1</b></tr>START<tr><b>2</b></tr>", "<tr>", "</tr>", 18);
  EXPECT_EQ(blocks.host.Rows(), (std::vector<std::string>{"2"}));
}

TEST(RegexRecords, InvalidExpressionShowsTheStatusAndAddsNothing) {
  PageRun run;
  run.cols = {Ref("$1")};
  run.Run("(<b>", "<b>1</b>");
  EXPECT_TRUE(run.host.Rows().empty());
  EXPECT_EQ(run.host.statuses, (std::vector<std::string>{"Regular expression is invalide."}));
  EXPECT_FALSE(run.result);

  PageRun blocks;
  blocks.cols = {Ref("$1")};
  blocks.Run("(<b>", "<tr>1</tr><tr>2</tr>", "<tr>", "</tr>");
  EXPECT_TRUE(blocks.host.Rows().empty());
  EXPECT_EQ(blocks.host.statuses, (std::vector<std::string>{"Regular expression is wrong.",
                                                            "Regular expression is wrong."}));
}

TEST(RegexRecords, AnErrorInARowKeepsTheRowUncounted) {
  // Whole page: the bad reference in the second column ends the page at its first match.
  PageRun run;
  run.cols = {Ref("$1"), Ref("$x"), Ref("$1")};
  run.Run("<b>(.)</b>", "<b>1</b><b>2</b>");
  EXPECT_EQ(run.host.Rows(), (std::vector<std::string>{"1||"}));
  EXPECT_EQ(run.extracted, 0);
  EXPECT_FALSE(run.result);
  EXPECT_EQ(run.host.statuses, (std::vector<std::string>{"Regular expression is invalide."}));

  // Blocks: a translation error in the second block; the third is still read.
  PageRun blocks;
  blocks.cols = {Ref("$1", kColNormal, 7), Ref("$2", kColNormal, 8)};
  blocks.cols[1].IsTrans = true;
  blocks.rules = {{8, kRelInclude, "bad", "1"}, {8, kRelSubstr, "one", "1"}};
  blocks.Run("(.)(.+)", "<tr>1bad</tr><tr>2ok</tr><tr>3bad</tr>", "<tr>", "</tr>");
  EXPECT_EQ(blocks.host.Rows(), (std::vector<std::string>{"1|1", "2|", "3|1"}));
  EXPECT_EQ(blocks.extracted, 2);
  EXPECT_EQ(blocks.host.statuses,
            (std::vector<std::string>{"1 records extrated.", "Regular expression is wrong.",
                                      "2 records extrated."}));
}

TEST(RegexRecords, ReferencesReadCharactersTwoToEleven) {
  EXPECT_EQ(RegexPlan::SubExpressionOf("$3"), 3);
  EXPECT_EQ(RegexPlan::SubExpressionOf("$0000000003"), 3);
  EXPECT_EQ(RegexPlan::SubExpressionOf("$00000000031"), 3);  // the twelfth character is ignored
  EXPECT_EQ(RegexPlan::SubExpressionOf("$"), std::nullopt);
  EXPECT_EQ(RegexPlan::SubExpressionOf(""), std::nullopt);
  EXPECT_EQ(RegexPlan::SubExpressionOf("$1a"), std::nullopt);
  EXPECT_EQ(RegexPlan::SubExpressionOf("$99999999999"), std::nullopt);
}

TEST(RegexRecords, StopEndsThePageBetweenRecords) {
  for (const char* record_open : {"", "<b>"}) {
    PageRun run;
    run.cols = {Ref("$1")};
    run.host.stop_after = 1;
    run.Run("(\\d)", "<b>1</b><b>2</b><b>3</b>", record_open, record_open[0] ? "</b>" : "");
    EXPECT_EQ(run.host.Rows(), (std::vector<std::string>{"1"})) << record_open;
  }
}

}  // namespace
}  // namespace sorvane
