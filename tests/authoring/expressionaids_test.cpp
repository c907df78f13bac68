// The expression aids of the templet editor: bracket counts, warnings, sub-expression spans and
// the texts the metacharacter and iterator lists insert.

#include "authoring/expressionaids.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorvane {
namespace {

TEST(ExpressionAidsTest, CountsUnescapedBracketsAndWarns) {
  struct Case {
    std::string expression;
    int groups;
    std::string note;
  };
  const std::vector<Case> cases = {
      {"", 0, ""},
      {" \t\r\n", 0, ""},
      {"a(b)\\(c\\)(d)", 2, ""},
      // A backslash pair does not escape the bracket after it.
      {"\\\\(x)", 1, ""},
      {"\\\\\\(x\\)", 0, ""},
      {"(?i)<td>(.*?)</td>", 2, ""},
      {"(a))", 1, "Round brackets are not matched!"},
      {"a{2", 0, "Curly brackets are not matched!"},
      {"a\\{2", 0, ""},
      // With both faults only the round-bracket warning shows.
      {"((a{2", 2, "Round brackets are not matched!"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GroupCount(c.expression), c.groups) << c.expression;
    EXPECT_EQ(BracketNote(c.expression), c.note) << c.expression;
  }
}

TEST(ExpressionAidsTest, FindsSubExpressionSpans) {
  struct Case {
    std::string expression;
    int n;
    bool found;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"a(b)\\(c\\)(d)", 2, true, "d"},
      {"a(b)\\(c\\)(d)", 1, true, "b"},
      {"a(b)", 0, true, "a(b)"},
      {"(x(y)z)(w)", 1, true, "x(y)z"},
      {"(x(y)z)(w)", 2, true, "y"},
      {"(x(y)z)(w)", 3, true, "w"},
      {"(a\\)b)", 1, true, "a\\)b"},
      {"\\\\(a)", 1, true, "a"},
      {"()", 1, true, ""},
      {"(a)", 2, false, ""},
      {"(a", 1, false, ""},
      {"(a)", -1, false, ""},
  };
  for (const Case& c : cases) {
    const std::optional<TextSpan> span = SubExpressionSpan(c.expression, c.n);
    ASSERT_EQ(span.has_value(), c.found) << c.expression << " #" << c.n;
    if (span) {
      EXPECT_EQ(c.expression.substr(span->start, span->length), c.text);
    }
  }
}

TEST(ExpressionAidsTest, InsertsListEntriesUpToTheirColon) {
  EXPECT_EQ(kMetaItems.size(), 17u);
  EXPECT_EQ(kIteratorItems.size(), 13u);
  EXPECT_EQ(InsertedText(kMetaItems[9]), "\\w");
  EXPECT_EQ(InsertedText(kMetaItems[1]), ".");
  EXPECT_EQ(std::string(kMetaItems[15]), "\\b: match a word boundary ");
  EXPECT_EQ(InsertedText(kIteratorItems[7]), "*?");
}

TEST(ExpressionAidsTest, FillsIteratorNumbers) {
  using Missing = IteratorText::Missing;
  struct Case {
    int item;
    std::string n;
    std::string m;
    Missing missing;
    std::string text;
  };
  const std::vector<Case> cases = {
      {12, "2", "5", Missing::kNone, "{2,5}?"},
      {5, "2", "5", Missing::kNone, "{2,}"},
      {4, "3", "", Missing::kNone, "{3}"},
      {4, "", "5", Missing::kN, ""},
      {6, "", "", Missing::kN, ""},
      {6, "1", "", Missing::kM, ""},
      {1, "", "", Missing::kNone, "*"},
      {9, "7", "8", Missing::kNone, "??"},
  };
  for (const Case& c : cases) {
    const IteratorText filled = FillIterator(kIteratorItems[c.item], c.n, c.m);
    EXPECT_EQ(filled.missing, c.missing) << kIteratorItems[c.item];
    EXPECT_EQ(filled.text, c.text) << kIteratorItems[c.item];
  }
}

}  // namespace
}  // namespace sorvane
