// Text-tag cutting: every open-tag form, the close tags, and both record loops of the method.

#include "engine/texttag.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "engine/decimal.h"
#include "engine/qstrings.h"
#include "engine/regexpr.h"
#include "engine/runerror.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

struct CutCase {
  const char* name;
  std::string text;
  std::string open;
  std::string close;
  std::size_t pos;
  bool found;
  std::string value;
  std::size_t new_pos;  // expected position afterwards (unchanged on failure)
};

TEST(CutTag, OpenAndCloseTagForms) {
  const std::vector<CutCase> cases = {
      {"tags in any letter case", "<B>x</B>", "<b>", "</b>", 1, true, "x", 9},
      {"blanks at both ends go", "<td> \t a b \r\n </td>", "<td>", "</td>", 1, true, "a b", 20},
      {"empty value is not found", "<td></td><td>y</td>", "<td>", "</td>", 1, false, "", 1},
      {"blank value is a found empty value", "<td> </td>", "<td>", "</td>", 1, true, "", 11},
      {"search starts at pos", "<b>1</b><b>2</b>", "<b>", "</b>", 2, true, "2", 17},
      {"open tag missing", "abc", "<b>", "</b>", 1, false, "", 1},
      {"close tag missing", "<b>abc", "<b>", "</b>", 1, false, "", 1},
      {"close tag only before the open tag", "</b><b>x", "<b>", "</b>", 1, false, "", 1},
      {"last close tag form", "ab|cd|", "[..]", "|", 4, true, "cd", 7},
      {"last close tag form needs a value", "ab||", "[..]", "|", 3, false, "", 3},
      {"CRLF close tag", "a: x \r\ny", "a:", "[CRLF]", 1, true, "x", 8},
      {"CRLF close tag needs both bytes", "a: x\ny", "a:", "[CRLF]", 1, false, "", 1},
      {"CRLF only as the whole close tag", "a:x[CRLF]", "a:", "x[CRLF]", 1, false, "", 1},
      {"repetition skips n words", "<tr>a<tr>b<tr>c<", "<tr>{2}", "<", 1, true, "b", 12},
      {"repetition beyond the words fails", "<tr>a<tr>b<", "<tr>{3}", "<", 1, false, "", 1},
      {"repetition zero starts here", "abc<x", "<tr>{0}", "<", 1, true, "abc", 5},
      {"repetition ignores what follows", "a1a2b;", "a{2}b{3}", ";", 1, true, "2b", 7},
      {"repetition word may hold braces", "a{x}1a{x}2;", "a{x}{2}", ";", 1, true, "2", 12},
      {"repetition with leading zeros", "x1x2;", "x{002}", ";", 1, true, "2", 6},
      {"brace group first is plain text", "x{3}y;", "{3}", ";", 1, true, "y", 7},
      {"empty brace group is plain text", "ab{}c;", "ab{}", ";", 1, true, "c", 7},
      {"brace group with a letter is plain", "ab{2x}c;", "ab{2x}", ";", 1, true, "c", 9},
      {"ellipsis finds head then tail", "<a href=x>val</a>", "<a...>", "</a>", 1, true, "val", 18},
      {"ellipsis head in any case", "<A HREF=x>val</a>", "<a...>", "</A>", 1, true, "val", 18},
      {"ellipsis without head fails", "<a>val</a>", "...>", "</a>", 1, false, "", 1},
      {"ellipsis without tail fails", "<a>val</a>", "<a...", "</a>", 1, false, "", 1},
      {"repetition then ellipsis", "<tr a><tr b>v</tr>", "<tr{2}...>", "</tr>", 1, true, "v", 19},
      {"ellipsis inside a repeated word", "a...b1a...b2b{2}x;", "a...b{2}", ";", 1, true, "x", 19},
      {"ellipsis tail after a brace group", "a...b1a...b2b;", "a...b{2}", ";", 1, false, "", 1},
      {"empty open tag fails", "abc;", "", ";", 1, false, "", 1},
      {"empty close tag fails", "<b>abc", "<b>", "", 1, false, "", 1},
      {"value keeps inner markup", "<td><i>x</i> y</td>", "<td>", "</td>", 1, true, "<i>x</i> y",
       20},
      {"Cyrillic letters fold", "\xE0x\xC0", "\xC0", "\xE0", 1, true, "x", 4},
  };
  for (const CutCase& c : cases) {
    std::string value = "stale";
    std::size_t pos = c.pos;
    EXPECT_EQ(CutTag(c.text, c.open, value, pos, c.close), c.found) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
    EXPECT_EQ(pos, c.new_pos) << c.name;
  }
}

TEST(CutTag, RepetitionCountBeyond32BitsEndsTheRun) {
  std::string value;
  std::size_t pos = 1;
  EXPECT_THROW(CutTag("a1a2;", "a{99999999999}", value, pos, ";"), RunError);
  EXPECT_EQ(pos, 1u);
  // The largest count that fits is just a count: the word runs out first.
  EXPECT_FALSE(CutTag("a1a2;", "a{2147483647}", value, pos, ";"));
}

TEST(FindAfter, MovesPastTheWordOrFails) {
  std::size_t p = 1;
  EXPECT_TRUE(FindAfter("AB", "xxabyy", p));
  EXPECT_EQ(p, 5u);
  EXPECT_FALSE(FindAfter("ab", "xxabyy", p));
  p = 1;
  EXPECT_FALSE(FindAfter("", "abc", p));
}

// The literal steps of the cut with the expression engine for the repetition form, to check the
// hand-written reading of the open tag against it.
bool ReferenceCut(RegExpr& re, std::string_view text, const std::string& open, std::string& value,
                  std::size_t& pos, const std::string& close_tag) {
  value.clear();
  std::size_t p = pos;
  re.SetExpression(R"((.+?)\{(\d+)\})");
  const bool repetition = re.Exec(open);
  if (repetition) {
    const std::string word = re.Match(1);
    const int n = RequireDecimalInt32(re.Match(2));
    for (int k = 0; k < n; ++k) {
      if (!FindAfter(word, text, p)) return false;
    }
  }
  const std::size_t d = PosText("...", open, 1);
  if (d > 0) {
    if (!repetition && !FindAfter(open.substr(0, d - 1), text, p)) return false;
    if (!FindAfter(open.substr(d + 2), text, p)) return false;
  }
  if (!repetition && d == 0 && open != "[..]" && !FindAfter(open, text, p)) return false;
  const std::string close = close_tag == "[CRLF]" ? "\r\n" : close_tag;
  const std::size_t c = PosText(close, text, p);
  if (!(p > 0 && c > p)) return false;
  value = std::string(text.substr(p - 1, c - p));
  TrimInPlace(value);
  pos = c + close.size();
  return true;
}

TEST(CutTag, AgreesWithTheExpressionReadingOfRandomTags) {
  RegExpr re;
  std::mt19937 rng(7);
  const std::string alphabet = "ab{}1.<> ";
  const auto random_text = [&](int max_len) {
    std::string s;
    for (int n = std::uniform_int_distribution<int>(0, max_len)(rng); n > 0; --n) {
      s += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
    }
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string open = random_text(8);
    const std::string close = random_text(2);
    const std::string text = random_text(30);
    const std::size_t start = std::uniform_int_distribution<std::size_t>(1, 4)(rng);
    std::string got, want;
    std::size_t got_pos = start, want_pos = start;
    const bool got_found = CutTag(text, open, got, got_pos, close);
    const bool want_found = ReferenceCut(re, text, open, want, want_pos, close);
    ASSERT_EQ(got_found, want_found) << open << " / " << close << " on " << text;
    ASSERT_EQ(got, want) << open << " / " << close << " on " << text;
    ASSERT_EQ(got_pos, want_pos) << open << " / " << close << " on " << text;
  }
}

// One page through the text-tag record loops.
struct PageRun {
  test::TestHost host;
  std::vector<TCol> cols;
  std::vector<TTrans> rules;
  int extracted = 0;
  bool result = false;

  bool Run(std::string_view page, std::string_view record_open, std::string_view record_close,
           std::size_t pos = 1, std::string_view field_value = {}) {
    host.Columns(static_cast<int>(cols.size()));
    TextTagPlan plan(cols, record_open, record_close);
    RecordAppender appender(host, host.grid, cols, rules, field_value, nullptr, extracted);
    result = plan.ExtractRecords(appender, page, pos);
    return result;
  }
};

TCol Col(std::string open, std::string close, int kind = kColNormal, int id = 0) {
  TCol col;
  col.ColID = id;
  col.OpenTag = std::move(open);
  col.CloseTag = std::move(close);
  col.Kind = kind;
  return col;
}

struct LoopCase {
  const char* name;
  std::vector<TCol> cols;
  std::string record_open;
  std::string record_close;
  std::string page;
  std::vector<std::string> rows;
};

TEST(TextTagRecords, LoopsOverRecordsAndColumns) {
  const TCol td = Col("<td>", "</td>");
  const std::vector<LoopCase> cases = {
      {"record blocks",
       {td, td},
       "<tr>",
       "</tr>",
       "<table><tr><td>1</td><td>a</td></tr>\r\n<TR><TD>2</TD><TD>b</TD></TR></table>",
       {"1|a", "2|b"}},
      {"a block without a column's tags leaves the next column its place",
       {Col("<i>", "</i>"), td},
       "<tr>",
       "</tr>",
       "<tr><td>x</td></tr><tr><i>1</i><td>y</td></tr>",
       {"|x", "1|y"}},
      {"columns do not reach into the next block",
       {td, Col("<b>", "</b>")},
       "<tr>",
       "</tr>",
       "<tr><td>1</td></tr><tr><td>2</td><b>z</b></tr>",
       {"1|", "2|z"}},
      {"two columns with the same tags take consecutive values",
       {td, td, td},
       "",
       "",
       "<td>1</td><td>2</td><td>3</td><td>4</td><td>5</td><td>6</td>",
       {"1|2|3", "4|5|6"}},
      {"lines as records up to the first empty line",
       {Col("[..]", ";")},
       "[..]",
       "[CRLF]",
       "a;b\r\nc;d\r\n\r\ne;f\r\n",
       {"a", "c"}},
      {"lines ending in LF alone are no records",
       {Col("[..]", ";")},
       "[..]",
       "[CRLF]",
       "a;b\nc;d\n",
       {}},
      {"without record tags a missing column takes the next record's value",
       {Col("<n>", "</n>"), Col("<p>", "</p>")},
       "",
       "",
       "<n>a</n><n>b</n><p>2</p>",
       {"a|2"}},
      {"without record tags the first column's tags are searched as written",
       {Col("[..]", ";")},
       "",
       "",
       "a;b;c;",
       {}},
      {"with record tags a templet without columns gives rows of row numbers only",
       {},
       "<tr>",
       "</tr>",
       "<tr>1</tr><tr>2</tr>",
       {"", ""}},
      {"without record tags a templet without columns gives nothing", {}, "", "", "<td>1</td>", {}},
      {"only one of the record tags means none",
       {td},
       "<tr>",
       "",
       "<td>1</td><td>2</td>",
       {"1", "2"}},
  };
  for (const LoopCase& c : cases) {
    PageRun run;
    run.cols = c.cols;
    run.Run(c.page, c.record_open, c.record_close);
    EXPECT_EQ(run.host.Rows(), c.rows) << c.name;
    EXPECT_EQ(run.extracted, static_cast<int>(c.rows.size())) << c.name;
    EXPECT_EQ(run.result, !c.rows.empty()) << c.name;
  }
}

TEST(TextTagRecords, ARecordThatDoesNotMoveOnEndsThePage) {
  // Empty first cells: the presence tests keep finding the tags, the cut never moves.
  PageRun run;
  run.cols = {Col("<td>", "</td>"), Col("<b>", "</b>")};
  run.Run("<td>1</td><td></td><td>3</td>", "", "");
  EXPECT_EQ(run.host.Rows(), (std::vector<std::string>{"1|", "|"}));
  EXPECT_EQ(run.extracted, 2);  // the record that did not move stays and is counted

  // The close tag of the first column only before its next open tag.
  PageRun other;
  other.cols = {Col("<x>", "</x>")};
  other.Run("<x>1</x>abc</x><x>", "", "");
  EXPECT_EQ(other.host.Rows(), (std::vector<std::string>{"1", ""}));
}

TEST(TextTagRecords, FieldValueColumnsTakeTheValueAndLeaveThePositionAlone) {
  PageRun run;
  run.cols = {Col("<td>", "</td>"), Col("", "", kColFieldValue), Col("<td>", "</td>")};
  run.Run("<tr><td>1</td><td>2</td></tr>", "<tr>", "</tr>", 1, "V");
  EXPECT_EQ(run.host.Rows(), (std::vector<std::string>{"1|V|2"}));

  PageRun only_field;
  only_field.cols = {Col("<td>", "</td>", kColFieldValue)};
  only_field.Run("<td>1</td>", "", "", 1, "V");
  EXPECT_TRUE(only_field.host.Rows().empty());
}

TEST(TextTagRecords, StartsAtTheGivenPosition) {
  PageRun run;
  run.cols = {Col("<td>", "</td>")};
  run.Run("<td>1</td><td>2</td>", "", "", 11);
  EXPECT_EQ(run.host.Rows(), (std::vector<std::string>{"2"}));
}

TEST(TextTagRecords, StopEndsThePageBetweenRecords) {
  const std::string page = "<tr><td>1</td></tr><tr><td>2</td></tr><tr><td>3</td></tr>";
  for (const char* record_open : {"<tr>", ""}) {
    PageRun run;
    run.cols = {Col("<td>", "</td>")};
    run.host.stop_at_rows = 2;
    run.Run(page, record_open, record_open[0] ? "</tr>" : "");
    EXPECT_EQ(run.host.Rows(), (std::vector<std::string>{"1", "2"})) << record_open;
  }
}

TEST(TextTagRecords, StatusCountsEveryRecord) {
  PageRun run;
  run.cols = {Col("<td>", "</td>")};
  run.extracted = 10;  // the count goes on over the pages of a run
  run.Run("<td>1</td><td>2</td>", "", "");
  EXPECT_EQ(run.host.statuses,
            (std::vector<std::string>{"11 records extrated.", "12 records extrated."}));

  // A page of many records shows the count a few times, not once a record, and ends on the
  // exact count; so does a page that a translation error ends.
  std::string page;
  for (int i = 0; i < 200000; ++i)
    page += "<td>" + std::to_string(i) + "</td>";
  for (const bool fails : {false, true}) {
    PageRun big;
    big.cols = {Col("<td>", "</td>", kColNormal, 1)};
    if (fails) {
      big.cols[0].IsTrans = true;
      // Every value but the last is rewritten; the last meets a rule that fails.
      big.rules = {{1, kRelNotInclude, "199999", "ok"}, {1, kRelSubstr, "x", "1"}};
      EXPECT_THROW(big.Run(page, "", ""), RunError);
    } else {
      big.Run(page, "", "");
    }
    const int records = fails ? 199999 : 200000;
    EXPECT_EQ(big.extracted, records) << fails;
    EXPECT_LT(big.host.statuses.size(), 1000u) << fails;
    ASSERT_FALSE(big.host.statuses.empty()) << fails;
    EXPECT_EQ(big.host.statuses.back(), std::to_string(records) + " records extrated.") << fails;
  }
}

TEST(TextTagRecords, TranslationErrorKeepsThePartRowUncountedAndEndsTheRun) {
  PageRun run;
  run.cols = {Col("<a>", "</a>", kColNormal, 1), Col("<b>", "</b>", kColNormal, 2),
              Col("<c>", "</c>", kColNormal, 3)};
  run.cols[1].IsTrans = true;
  run.rules = {{
      2,
      kRelSubstr,
      "x",
      "2",
  }};
  EXPECT_THROW(run.Run("<tr><a>1</a><b>2</b><c>3</c></tr>", "<tr>", "</tr>"), RunError);
  ASSERT_EQ(run.host.grid.DataRowCount(), 1);
  EXPECT_EQ(run.host.Row(1), (std::vector<std::string>{"1", "", ""}));
  EXPECT_EQ(run.extracted, 0);
  EXPECT_TRUE(run.host.statuses.empty());
}

}  // namespace
}  // namespace sorvane
