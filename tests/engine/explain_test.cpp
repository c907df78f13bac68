// Why a page gives no record, and the records preview that says it: each reason in the words
// of the editor, checked on pages that lack one thing each.

#include "engine/explain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/preview.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "support/storefixture.h"

namespace sorvane {
namespace {

TCol Col(std::string open, std::string close, int kind = kColNormal) {
  TCol col;
  col.OpenTag = std::move(open);
  col.CloseTag = std::move(close);
  col.Kind = kind;
  return col;
}

RunDefinitions TextTags(std::vector<TCol> cols, std::string start = {}, std::string open = {},
                        std::string close = {}) {
  RunDefinitions defs;
  defs.IsTextTag = true;
  for (std::size_t i = 0; i < cols.size(); ++i)
    defs.Titles.push_back("C" + std::to_string(i + 1));
  defs.Cols = std::move(cols);
  defs.StartMarker = std::move(start);
  defs.RecordOpenTag = std::move(open);
  defs.RecordCloseTag = std::move(close);
  return defs;
}

RunDefinitions Expression(std::string expression, std::string open = {}, std::string close = {}) {
  RunDefinitions defs = TextTags({Col("$1", "")}, {}, std::move(open), std::move(close));
  defs.IsTextTag = false;
  defs.Expression = std::move(expression);
  return defs;
}

struct Case {
  const char* name;
  RunDefinitions defs;
  std::string page;
  std::vector<std::string> reasons;  // each the start of one reason, in order
};

const std::string kPage =
    "<h1>Index</h1>\r\n<dl>\r\n<dt>alpha</dt><dd>first</dd>\r\n<dt class=\"x\">beta</dt>"
    "<dd>second</dd>\r\n</dl>\r\n";

TEST(ExplainNoRecords, NamesWhatThePageLacks) {
  const std::vector<Case> cases = {
      {"start marker, letter case counts",
       TextTags({Col("<dt>", "</dt>")}, "<H1>"),
       kPage,
       {"The start marker \"<H1>\" was never found on the page"}},
      {"record open tag",
       TextTags({Col("<dt>", "</dt>")}, {}, "<table>", "</table>"),
       kPage,
       {"The record open tag \"<table>\" was never found on the page."}},
      {"record open tag after the start marker",
       TextTags({Col("<dt>", "</dt>")}, "</dl>", "<dl>", "</dl>"),
       kPage,
       {"The record open tag \"<dl>\" was never found on the page after the start marker."}},
      {"record close tag",
       TextTags({Col("<dt>", "</dt>")}, {}, "<dl>", "</table>"),
       kPage,
       {"The record close tag \"</table>\" was never found after the record open tag."}},
      {"[CRLF] on a page of LF lines",
       TextTags({Col("<dt>", "</dt>")}, {}, "<dl>", "[CRLF]"),
       "<dl>\n<dt>a</dt>\n",
       {"The record close tag \"[CRLF]\" was never found after the record open tag. The page's "
        "lines end in LF alone"}},
      {"first column's open tag, without record tags",
       TextTags({Col("<td>", "</td>"), Col("<dd>", "</dd>")}),
       kPage,
       {"Column \"C1\": its open tag \"<td>\" was never found on the page."}},
      {"first column's close tag",
       TextTags({Col("<dt>", "</td>")}),
       kPage,
       {"Column \"C1\": its close tag \"</td>\" was never found after its open tag on the page."}},
      {"a special open tag first, without record tags",
       TextTags({Col("[..]", "</dt>")}),
       kPage,
       {"Column \"C1\": its open tag \"[..]\" was never found on the page. Without record tags"}},
      {"no column takes its value from the page",
       TextTags({Col("", "", kColFieldValue)}),
       kPage,
       {"The templet has no column that takes its value from the page."}},
      {"an expression that does not compile, with its position",
       Expression("<dt>(.*?</dt>"),
       kPage,
       {"The expression does not compile: invalid expression at offset 13"}},
      {"an expression that matches nowhere",
       Expression("<td>(.*?)</td>"),
       kPage,
       {"The expression matched nowhere on the page."}},
      {"an expression that starts with the record open tag",
       Expression("<dt>(.*?)</dt>", "<dt", "</dd>"),
       kPage,
       {"The expression matched in none of the 2 record blocks. A record block is the text "
        "between the record tags, without the tags themselves"}},
      {"several at once: the marker and a column",
       TextTags({Col("<dt>", "</dt>"), Col("<dd>", "</li>")}, "<H1>", "<dl>", "</dl>"),
       kPage,
       {"The start marker",
        "Column \"C2\": its close tag \"</li>\" was never found after its "
        "open tag in the first record block."}},
      {"an empty page", TextTags({Col("<dt>", "</dt>")}), "", {"The page is empty."}},
  };
  RegExpr re;
  for (const Case& c : cases) {
    const std::vector<std::string> reasons = ExplainNoRecords(re, c.defs, c.page);
    ASSERT_EQ(reasons.size(), c.reasons.size()) << c.name << ": " << ExplanationText(reasons);
    for (std::size_t i = 0; i < reasons.size(); ++i) {
      EXPECT_TRUE(reasons[i].starts_with(c.reasons[i])) << c.name << ": " << reasons[i];
    }
  }
}

TEST(PreviewPage, CutsAsARunWithoutTouchingAnythingElse) {
  test::StoreFixture f;
  RegExpr re;
  RunDefinitions defs = Expression("<dt[^>]*>(.*?)</dt><dd>(.*?)</dd>");
  defs.Cols = {Col("$1", ""), Col("$2", "")};
  defs.Titles = {"C1", "C2"};
  std::vector<TTrans> rules = {{7, kRelConcat, "[", "]"}};
  defs.Cols[1].ColID = 7;
  defs.Cols[1].IsTrans = true;
  const PreviewResult found = PreviewPage(f.Store(), re, defs, rules, kPage, "text/html");
  EXPECT_EQ(found.count, 2);
  EXPECT_EQ(found.grid.Columns()[1].title, "C2");
  EXPECT_EQ(found.grid.Cell(1, 2), "beta");
  EXPECT_EQ(found.grid.Cell(2, 2), "[second]");
  EXPECT_TRUE(found.reasons.empty());

  // A 1251 page converted before cutting, so a tag typed in UTF-8 matches.
  defs = TextTags({Col("\xD0\xB8\xD0\xBC\xD1\x8F:", "<")});
  defs.Page.convert_to_utf8 = true;
  const PreviewResult converted =
      PreviewPage(f.Store(), re, defs, {}, "\xE8\xEC\xFF: \xC8\xE2\xE0\xED<",
                  "text/html; "
                  "charset=windows-1251");
  ASSERT_EQ(converted.count, 1);
  EXPECT_EQ(converted.grid.Cell(1, 1), "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD");

  const PreviewResult none = PreviewPage(f.Store(), re, Expression("(x"), {}, kPage, {});
  EXPECT_EQ(none.count, 0);
  ASSERT_EQ(none.reasons.size(), 1u);
  EXPECT_FALSE(none.errors.empty());  // the record loop's own report of the same error
}

}  // namespace
}  // namespace sorvane
