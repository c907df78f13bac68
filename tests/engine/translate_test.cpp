// Translation rules: the eight relations, the first-hit rule, positions, and bad arguments.

#include "engine/translate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace sorvane
