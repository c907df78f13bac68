#include "engine/qstrings.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/casetable.h"

namespace sorvane {
namespace {

using namespace std::string_literals;

constexpr std::size_t kHuge = std::numeric_limits<std::size_t>::max();

struct FindCase {
  std::string find;
  std::string source;
  std::size_t start;
  std::size_t exact;   // expected PosStr
  std::size_t folded;  // expected PosText
};

TEST(QStringsFind, FromStartPosition) {
  const std::vector<FindCase> cases = {
      {"b", "abc", 2, 2, 2},
      {"b", "abc", 3, 0, 0},
      {"ABC", "xabc", 1, 0, 2},
      {"", "abc", 1, 0, 0},
      {"", "", 1, 0, 0},
      {"a", "", 1, 0, 0},
      {"a", "abc", 0, 1, 1},  // a start below 1 counts as 1
      {"c", "abc", 1, 3, 3},
      {"bc", "abc", 2, 2, 2},
      {"bc", "abc", 3, 0, 0},  // would not fit any more
      {"abcd", "abc", 1, 0, 0},
      {"a", "abc", 4, 0, 0},
      {"a", "abc", kHuge, 0, 0},
      {"ab", "abc", kHuge, 0, 0},
      {"ab", "xabab", 3, 4, 4},
      {"aa", "aaaa", 2, 2, 2},
      {"aa", "aaaa", 4, 0, 0},
      {"Ab", "xaBAb", 1, 4, 2},
      {"TD CLASS", "<tr><td class=\"c\">", 1, 0, 6},
      {"td class", "<TR><TD CLASS=\"c\">", 1, 0, 6},
      {"<", "ab<c", 1, 3, 3},
      {"x", "abc", 1, 0, 0},
      // Zero bytes are ordinary characters in both texts.
      {"\0"s, "ab\0c"s, 1, 3, 3},
      {"a\0B"s, "xA\0ba\0B"s, 1, 5, 2},
      {"b\0"s, "b\0b\0"s, 2, 3, 3},
      {"\0\0"s, "a\0b\0"s, 1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("find=" + c.find + " source=" + c.source + " start=" + std::to_string(c.start));
    EXPECT_EQ(PosStr(c.find, c.source, c.start), c.exact);
    EXPECT_EQ(PosText(c.find, c.source, c.start), c.folded);
  }
}

TEST(QStringsFind, DefaultStartIsOne) {
  EXPECT_EQ(PosStr("a", "abca"), 1u);
  EXPECT_EQ(PosText("A", "abca"), 1u);
}

// The fold classes listed for the case table, written out independently of casetable.h.
std::vector<std::pair<int, int>> ListedPairs() {
  std::vector<std::pair<int, int>> pairs;  // {lower, upper}
  for (int c = 'a'; c <= 'z'; ++c)
    pairs.emplace_back(c, c - 0x20);
  for (int c = 0xE0; c <= 0xFF; ++c)
    pairs.emplace_back(c, c - 0x20);
  const std::vector<std::pair<int, int>> extra = {
      {0x83, 0x81}, {0x90, 0x80}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D},
      {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xB3, 0xB2}, {0xB4, 0xA5},
      {0xB8, 0xA8}, {0xBA, 0xAA}, {0xBC, 0xA3}, {0xBE, 0xBD}, {0xBF, 0xAF},
  };
  pairs.insert(pairs.end(), extra.begin(), extra.end());
  return pairs;
}

std::string Byte1(int b) {
  return std::string(1, static_cast<char>(b));
}

TEST(QStringsCaseTable, ListedPairsFoldBothWays) {
  for (const auto& [lower, upper] : ListedPairs()) {
    SCOPED_TRACE("lower=" + std::to_string(lower) + " upper=" + std::to_string(upper));
    EXPECT_EQ(kUpperCase[lower], upper);
    EXPECT_EQ(kUpperCase[upper], upper);  // a capital stays where it is
    EXPECT_EQ(kCasePartner[lower], upper);
    EXPECT_EQ(kCasePartner[upper], lower);
    const std::string dot_upper = {'.', static_cast<char>(upper)};
    const std::string dot_lower = {'.', static_cast<char>(lower)};
    EXPECT_EQ(PosText(Byte1(lower), dot_upper), 2u);
    EXPECT_EQ(PosText(Byte1(upper), dot_lower), 2u);
    EXPECT_EQ(PosStr(Byte1(lower), dot_upper), 0u);
  }
}

TEST(QStringsCaseTable, OnlyListedPairsMatch) {
  std::set<std::pair<int, int>> equal;
  for (int b = 0; b < 256; ++b)
    equal.insert({b, b});
  for (const auto& [lower, upper] : ListedPairs()) {
    equal.insert({lower, upper});
    equal.insert({upper, lower});
  }
  ASSERT_EQ(equal.size(), 256u + 2u * (26u + 32u + 15u));
  for (int f = 0; f < 256; ++f) {
    for (int s = 0; s < 256; ++s) {
      const std::size_t expected = equal.count({f, s}) ? 1 : 0;
      ASSERT_EQ(PosText(Byte1(f), Byte1(s)), expected) << "find " << f << " source " << s;
    }
  }
}

TEST(QStringsCaseTable, SignsAndNeighboursDoNotFold) {
  struct Case {
    int find;
    int source;
    std::size_t expected;
  };
  const std::vector<Case> cases = {
      {0xF7, 0xD7, 1}, {0xD7, 0xF7, 1},  // division and multiplication sign fold together
      {0xFF, 0xDF, 1}, {0xDF, 0xFF, 1},  // as do y-diaeresis and sharp s
      {0xD7, 0xB7, 0}, {0xF7, 0xB7, 0},  // a capital never folds any further down
      {'@', '`', 0},   {'[', '{', 0},   {'^', '~', 0},   {0xC0, 0xA0, 0},
      {0x81, 0x80, 0}, {0x83, 0x80, 0}, {0xB5, 0x95, 0}, {0xB9, 0x99, 0},
      {0xA0, 0x80, 0}, {0xAD, 0x8D, 0}, {0x98, 0xB8, 0}, {0xDF, 0xBF, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("find=" + std::to_string(c.find) + " source=" + std::to_string(c.source));
    EXPECT_EQ(PosText(Byte1(c.find), Byte1(c.source)), c.expected);
    // The same inside longer texts, where the scan looks at several bytes at once.
    const std::string source = std::string(40, '.') + Byte1(c.source) + "q" + std::string(40, '.');
    EXPECT_EQ(PosText(Byte1(c.find) + "Q", source), c.expected ? 41u : 0u);
  }
  EXPECT_EQ(kUpperCase[0xD7], 0xD7);
  EXPECT_EQ(kUpperCase[0xF7], 0xD7);
}

TEST(QStringsFind, NeverLooksPastTheSource) {
  // The view covers the first 40 bytes of a larger buffer whose remainder would complete a match.
  std::string buffer(100, 'x');
  buffer.replace(38, 4, "<Td>");
  const std::string_view view(buffer.data(), 40);
  EXPECT_EQ(PosStr("<Td>", view), 0u);
  EXPECT_EQ(PosText("<td>", view), 0u);
  EXPECT_EQ(PosStr("d", view), 0u);
  EXPECT_EQ(PosText("D", view), 0u);
  EXPECT_EQ(PosText("x", view, 41), 0u);
  EXPECT_EQ(PosStr("x", view, 41), 0u);
  EXPECT_EQ(PosText("<T", view), 39u);
  const std::string_view one_short(buffer.data(), 41);
  EXPECT_EQ(PosStr("<Td>", one_short), 0u);
  EXPECT_EQ(PosText("<TD>", one_short), 0u);
  const std::string_view whole(buffer.data(), 42);
  EXPECT_EQ(PosStr("<Td>", whole), 39u);
  EXPECT_EQ(PosText("<TD>", whole), 39u);
  EXPECT_EQ(PosText("<TD>", whole, 40), 0u);

  // A find that would complete one byte past the view, for every view length around the block
  // sizes the scan works in.
  for (std::size_t len = 3; len <= 70; ++len) {
    std::string larger(len + 40, 'x');
    larger.replace(len - 3, 4, "<tD>");
    const std::string_view part(larger.data(), len);
    EXPECT_EQ(PosText("<td>", part), 0u) << len;
    EXPECT_EQ(PosStr("<tD>", part), 0u) << len;
    EXPECT_EQ(PosText("<TD", part), len - 2) << len;
    EXPECT_EQ(PosText("X<", part), len > 3 ? len - 3 : 0u) << len;
  }

  // Small views over a buffer that continues with matching bytes.
  const std::string tail = "abcABC";
  for (std::size_t len = 0; len <= 3; ++len) {
    const std::string_view part(tail.data(), len);
    EXPECT_EQ(PosText("cA", part), 0u) << len;
    EXPECT_EQ(PosStr("cA", part), 0u) << len;
    EXPECT_EQ(PosText("a", part, len + 1), 0u) << len;
  }
}

// Straightforward finds to compare the scanning ones against.
std::size_t NaivePos(std::string_view find, std::string_view source, std::size_t start, bool fold) {
  if (start < 1) start = 1;
  if (find.empty() || source.empty() || find.size() > source.size()) return 0;
  for (std::size_t p = start - 1; p + find.size() <= source.size(); ++p) {
    bool ok = true;
    for (std::size_t k = 0; k < find.size() && ok; ++k) {
      const auto s = static_cast<unsigned char>(source[p + k]);
      const auto f = static_cast<unsigned char>(find[k]);
      ok = fold ? kUpperCase[s] == kUpperCase[f] : s == f;
    }
    if (ok) return p + 1;
  }
  return 0;
}

std::string NaiveReplace(std::string_view source, std::string_view find, std::string_view with,
                         bool fold) {
  if (find.empty()) return std::string(source);
  std::string out;
  std::size_t copied = 0;
  for (std::size_t at = NaivePos(find, source, 1, fold); at != 0;
       at = NaivePos(find, source, at + find.size(), fold)) {
    out.append(source.substr(copied, at - 1 - copied));
    out.append(with);
    copied = at - 1 + find.size();
  }
  out.append(source.substr(copied));
  return out;
}

TEST(QStringsFind, AgreesWithStraightforwardFindOnRandomTexts) {
  // Few distinct bytes, with case partners among them, so that matches and near misses are dense.
  const std::string alphabet = "aAbB<\x83\x81\xE0\xC0\xF7\xD7"s + '\0';
  std::mt19937 rng(12345);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  const auto random_text = [&](std::size_t len) {
    std::string t;
    for (std::size_t k = 0; k < len; ++k)
      t += alphabet[pick(rng)];
    return t;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::string source = random_text(round % 97);
    const std::string find = random_text(1 + round % 4);
    for (std::size_t start = 0; start <= source.size() + 2; start += 1 + round % 3) {
      ASSERT_EQ(PosText(find, source, start), NaivePos(find, source, start, true))
          << "round " << round << " start " << start;
      ASSERT_EQ(PosStr(find, source, start), NaivePos(find, source, start, false))
          << "round " << round << " start " << start;
    }
    ASSERT_EQ(ReplaceText(source, find, "-"), NaiveReplace(source, find, "-", true)) << round;
    ASSERT_EQ(ReplaceStr(source, find, "<>"), NaiveReplace(source, find, "<>", false)) << round;
  }
}

TEST(QStringsFind, FindsAtEveryOffsetOfALongText) {
  // Every placement relative to a 16-byte block, including the very last place that fits.
  for (std::size_t len = 3; len <= 70; ++len) {
    for (std::size_t at = 0; at + 3 <= len; ++at) {
      std::string source(len, 'a');
      source.replace(at, 3, "\xE0\x83Z");
      SCOPED_TRACE("len=" + std::to_string(len) + " at=" + std::to_string(at));
      EXPECT_EQ(PosText("\xC0\x81z", source), at + 1);
      EXPECT_EQ(PosText("\xC0\x81z", source, at + 2), 0u);
      EXPECT_EQ(PosText("A\xC0\x81z", source), at == 0 ? 0u : at);
      EXPECT_EQ(PosStr("\xE0\x83Z", source), at + 1);
    }
  }
}

struct ReplaceCase {
  std::string source;
  std::string find;
  std::string replacement;
  std::string exact;   // expected ReplaceStr
  std::string folded;  // expected ReplaceText
};

TEST(QStringsReplace, ReplacesEveryOccurrence) {
  const std::vector<ReplaceCase> cases = {
      {"a,b", ",", ";", "a;b", "a;b"},
      {"a,b", "", ";", "a,b", "a,b"},
      {"abc", "x", "y", "abc", "abc"},
      {"", "a", "b", "", ""},
      {"aaa", "aa", "b", "ba", "ba"},  // occurrences never overlap
      {"aaaa", "aa", "b", "bb", "bb"},
      {"aAaA", "aa", "b", "aAaA", "bb"},
      {"Abc abc", "ABC", "x", "Abc abc", "x x"},
      {"aXA", "a", "Bb", "BbXA", "BbXBb"},  // the replacement keeps its own case
      {"ab", "a", "aa", "aab", "aab"},      // the replacement is not searched again
      {"abc", "abc", "", "", ""},
      {"aaa", "a", "", "", ""},
      {"aAa", "A", "", "aa", ""},
      {"a.b.c", ".", "...", "a...b...c", "a...b...c"},
      {"a\0b\0"s, "\0"s, "-", "a-b-", "a-b-"},
      {"x\0y"s, "y", "\0\0"s, "x\0\0\0"s, "x\0\0\0"s},
      {"\xE0\xC0", "\xC0", "!", "\xE0!", "!!"},
      {"<TR><tr>", "<tr>", "|", "<TR>|", "||"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("source=" + c.source + " find=" + c.find + " replacement=" + c.replacement);
    EXPECT_EQ(ReplaceStr(c.source, c.find, c.replacement), c.exact);
    EXPECT_EQ(ReplaceText(c.source, c.find, c.replacement), c.folded);
  }
}

TEST(QStringsReplace, LongTextWithManyOccurrences) {
  std::string source;
  std::string expected;
  for (int k = 0; k < 5000; ++k) {
    source += k % 2 ? "<TD>" : "<td>";
    source += std::to_string(k);
    expected += '[';
    expected += std::to_string(k);
  }
  EXPECT_EQ(ReplaceText(source, "<td>", "["), expected);
  EXPECT_EQ(ReplaceStr(ReplaceStr(source, "<td>", "["), "<TD>", "["), expected);
}

TEST(QStringsTrim, RemovesControlsAndSpacesAtBothEnds) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"  abc  ", "abc"},
      {" \t\r\n", ""},
      {"", ""},
      {"abc", "abc"},
      {"\0\x01 a b\x1F\x20"s, "a b"},
      {"\0a\0b\0"s, "a\0b"s},  // zero bytes inside stay
      {"\x80x\xFF", "\x80x\xFF"},
      {"\xA0 text \xA0", "\xA0 text \xA0"},
      {"\n\xE9\n", "\xE9"},
      {"\x7F", "\x7F"},
      {"!", "!"},
      {"\0"s, ""},
      {"\x0B\x0C\x1B word\x7F \x10"s, "word\x7F"},
  };
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE("input=" + input);
    std::string text = input;
    TrimInPlace(text);
    EXPECT_EQ(text, expected);
  }
}

TEST(QStringsTrim, EveryByteUpToSpaceIsRemoved) {
  for (int b = 0; b < 256; ++b) {
    std::string text = Byte1(b) + "m" + Byte1(b);
    TrimInPlace(text);
    EXPECT_EQ(text, b <= 32 ? "m" : Byte1(b) + "m" + Byte1(b)) << b;
  }
}

}  // namespace
}  // namespace sorvane
