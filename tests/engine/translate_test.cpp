// Translation rules: the eight relations, the first-hit rule, positions, and bad arguments.

#include "engine/translate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/regexpr.h"
#include "engine/runerror.h"

namespace sorvane {
namespace {

TTrans Rule(int rel, std::string src, std::string dst, int col = 1) {
  return TTrans{col, rel, std::move(src), std::move(dst)};
}

struct Case {
  const char* name;
  std::vector<TTrans> rules;
  std::string value;
  std::string expected;
};

TEST(TranslateValue, RulesApplyInOrderUntilAConditionHits) {
  const std::vector<Case> cases = {
      {"equal hit stops the list", {Rule(0, "N/A", ""), Rule(7, "$", "")}, "N/A", ""},
      {"equal miss goes on", {Rule(0, "N/A", ""), Rule(7, "$", "")}, "12", "$12"},
      {"equal counts letter case", {Rule(0, "n/a", "-")}, "N/A", "N/A"},
      {"empty value equals empty text only", {Rule(0, "", "none")}, "", "none"},
      {"not equal hit", {Rule(1, "ok", "bad"), Rule(7, "<", ">")}, "fine", "bad"},
      {"not equal miss", {Rule(1, "ok", "bad"), Rule(7, "<", ">")}, "ok", "<ok>"},
      {"include counts letter case", {Rule(2, "ABC", "hit")}, "xabcx", "xabcx"},
      {"include hit", {Rule(2, "abc", "hit")}, "xabcx", "hit"},
      {"empty text is never included", {Rule(2, "", "hit")}, "abc", "abc"},
      {"not include hit", {Rule(3, ".jpg", "none")}, "photo.png", "none"},
      {"not include miss", {Rule(3, ".jpg", "none")}, "photo.jpg", "photo.jpg"},
      {"empty text is always not included", {Rule(3, "", "x")}, "", "x"},
      {"replace ignores letter case", {Rule(5, "&amp;", "&")}, "A&amp;B&AMP;C", "A&B&C"},
      {"replace finds what include does not", {Rule(5, "ABC", "-")}, "xabcx", "x-x"},
      {"concat", {Rule(7, "[", "]")}, "v", "[v]"},
      {"transformations chain",
       {Rule(4, "2", "3"), Rule(5, "c", "C"), Rule(7, "(", ")")},
       "abcdef",
       "(bCd)"},
      {"condition replaces the transformed value",
       {Rule(7, "x", ""), Rule(0, "xa", "hit")},
       "a",
       "hit"},
      {"other columns' rules are skipped", {Rule(7, "no", "", 2), Rule(7, "yes", "")}, "v", "yesv"},
      {"a hit ends only its own column", {Rule(0, "v", "w"), Rule(7, "z", "", 2)}, "v", "w"},
      {"unknown relation does nothing", {Rule(9, "a", "b"), Rule(-1, "a", "b")}, "a", "a"},
      {"no rules keep the value", {}, "keep", "keep"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TranslateValue(c.rules, 1, c.value), c.expected) << c.name;
  }
}

struct PositionCase {
  int index;
  int length;
  const char* substr;
  const char* deleted;
};

TEST(TranslateValue, SubstrAndDeletePositions) {
  const std::vector<PositionCase> cases = {
      {3, 100, "cdef", "ab"},
      {1, 2, "ab", "cdef"},
      {0, 2, "ab", "abcdef"},  // Substr counts I below 1 as 1; Delete does nothing
      {-5, 3, "abc", "abcdef"},
      {6, 1, "f", "abcde"},
      {7, 1, "", "abcdef"},  // beyond the end
      {2, 0, "", "abcdef"},
      {2, -1, "", "abcdef"},
      {2147483647, 2147483647, "", "abcdef"},
      {2, 2147483647, "bcdef", "a"},
      {-2147483647 - 1, 1, "a", "abcdef"},
  };
  for (const PositionCase& c : cases) {
    const std::vector<TTrans> substr = {Rule(4, std::to_string(c.index), std::to_string(c.length))};
    const std::vector<TTrans> del = {Rule(6, std::to_string(c.index), std::to_string(c.length))};
    EXPECT_EQ(TranslateValue(substr, 1, "abcdef"), c.substr) << c.index << "," << c.length;
    EXPECT_EQ(TranslateValue(del, 1, "abcdef"), c.deleted) << c.index << "," << c.length;
  }
  EXPECT_EQ(TranslateValue({Rule(4, "1", "3")}, 1, ""), "");
  EXPECT_EQ(TranslateValue({Rule(6, "1", "3")}, 1, ""), "");
}

TEST(TranslateValue, NonNumericPositionArgumentsFail) {
  for (const char* bad : {"", "x", "1x", " 1", "1 ", "2147483648", "-2147483649", "0x10", "+"}) {
    EXPECT_THROW(TranslateValue({Rule(4, bad, "1")}, 1, "abc"), RunError) << bad;
    EXPECT_THROW(TranslateValue({Rule(4, "1", bad)}, 1, "abc"), RunError) << bad;
    EXPECT_THROW(TranslateValue({Rule(6, bad, "1")}, 1, "abc"), RunError) << bad;
    EXPECT_THROW(TranslateValue({Rule(6, "1", bad)}, 1, "abc"), RunError) << bad;
  }
  // Signed numbers are numbers.
  EXPECT_EQ(TranslateValue({Rule(4, "+2", "-1")}, 1, "abc"), "");
  EXPECT_EQ(TranslateValue({Rule(4, "-2", "+2")}, 1, "abc"), "ab");
  // A condition that hits first means the bad rule is never reached.
  EXPECT_EQ(TranslateValue({Rule(0, "abc", "ok"), Rule(4, "x", "y")}, 1, "abc"), "ok");
}

struct CleanUpCase {
  const char* name;
  std::vector<TTrans> rules;
  std::string value;
  const char* charset;
  std::string expected;
};

TEST(TranslateValue, CleanUpRulesOnRealMarkup) {
  const std::vector<CleanUpCase> cases = {
      {"strip keeps the text, wbr joins",
       {Rule(8, "", "")},
       "<code>Get<wbr>Value</code>()",
       "UTF-8",
       "GetValue()"},
      {"br and block ends become a blank",
       {Rule(8, "", "")},
       "<p>one</p><p>two<br/>three</p><ul><li>a</li><li>b</li></ul>",
       "UTF-8",
       "one two three a b  "},
      {"attribute quotes may hold >",
       {Rule(8, "", "")},
       "<a title=\"a > b\" href='x'>link</a>",
       "UTF-8",
       "link"},
      {"comments, scripts and styles go whole",
       {Rule(8, "", "")},
       "a<!-- <b>x</b> --><script>if (a<b) f();</script><STYLE>p{}</style>b",
       "UTF-8",
       "ab"},
      {"a < that starts no tag, and a tag never closed, stay",
       {Rule(8, "", "")},
       "1 < 2 <b>and</b> x<y <i",
       "UTF-8",
       "1 < 2 and x<y <i"},
      {"named, decimal and hex references in UTF-8",
       {Rule(9, "", "")},
       "Caf&eacute; &amp; Co &#8211; &#x20AC;5 &lt;b&gt;",
       "UTF-8",
       "Caf\xC3\xA9 & Co \xE2\x80\x93 \xE2\x82\xAC"
       "5 <b>"},
      {"references into Windows-1252",
       {Rule(9, "", "")},
       "Caf&eacute; &euro; &#8212;",
       "windows-1252",
       "Caf\xE9 \x80 \x97"},
      {"a character the charset lacks stays a reference",
       {Rule(9, "", "")},
       "&#1046;&eacute;",
       "windows-1251",
       "\xC6&eacute;"},
      {"ISO-8859-1 pages are read as Windows-1252",
       {Rule(9, "", "")},
       "&hellip;",
       "ISO-8859-1",
       "\x85"},
      {"unknown, unterminated and invalid references stay",
       {Rule(9, "", "")},
       "&nosuch; AT&T &#0; &#xD800; &#x110000; &amp",
       "UTF-8",
       "&nosuch; AT&T &#0; &#xD800; &#x110000; &amp"},
      {"decoding happens once", {Rule(9, "", "")}, "&amp;lt;", "UTF-8", "&lt;"},
      {"trim ends and inner runs, CR LF of local files included",
       {Rule(10, "", "")},
       " \r\n  first line\r\n\r\n   second\tpart \r\n",
       "UTF-8",
       "first line second part"},
      {"trim takes no-break spaces of UTF-8 text",
       {Rule(9, "", ""), Rule(10, "", "")},
       "&nbsp;12&nbsp;&nbsp;kg&nbsp;",
       "UTF-8",
       "12 kg"},
      {"an 8-bit A0 is a character, not a blank",
       {Rule(10, "", "")},
       "\xA0x y",
       "windows-1252",
       "\xA0x y"},
      {"regreplace with groups",
       {Rule(11, "(\\d+)-(\\d+)-(\\d+)", "$3.$2.$1")},
       "born 1970-01-31, died 2020-12-01",
       "UTF-8",
       "born 31.01.1970, died 01.12.2020"},
      {"regreplace $$, a lone $ and a group beyond 14",
       {Rule(11, "(a)", "$$1$x$15")},
       "ab",
       "UTF-8",
       "$1$xa5b"},
      {"regreplace with an empty match moves on", {Rule(11, "x*", "-")}, "ab", "UTF-8", "-a-b-"},
      {"regreplace uses the dialect: (?i) and . over line breaks",
       {Rule(11, "(?i)<B>.*?</b>", "[b]")},
       "1<b>x\ny</B>2",
       "UTF-8",
       "1[b]2"},
      {"a whole clean-up: strip, decode, trim",
       {Rule(8, "", ""), Rule(9, "", ""), Rule(10, "", "")},
       "<dt class=\"deprecated\">\r\n  <code>Foo<wbr>Bar</code> &amp;\r\n baz</dt>",
       "UTF-8",
       "FooBar & baz"},
      {"a condition after the clean-up sees the clean value",
       {Rule(8, "", ""), Rule(10, "", ""), Rule(0, "n/a", "")},
       "<td> n/a </td>",
       "UTF-8",
       ""},
  };
  for (const CleanUpCase& c : cases) {
    EXPECT_EQ(TranslateValue(c.rules, 1, c.value, c.charset), c.expected) << c.name;
  }
}

TEST(TranslateValue, RegReplaceWithABadExpressionFails) {
  EXPECT_THROW(TranslateValue({Rule(11, "(a", "")}, 1, "a"), RegExprError);
  // The run's own engine is not disturbed by a rule's expression.
  RegExpr re;
  re.SetExpression("(b)");
  ASSERT_TRUE(re.Exec("abc"));
  EXPECT_EQ(TranslateValue({Rule(11, "c", "C")}, 1, "abc"), "abC");
  EXPECT_EQ(re.Match(1), "b");
}

}  // namespace
}  // namespace sorvane
