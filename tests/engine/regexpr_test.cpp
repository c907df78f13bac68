#include "engine/regexpr.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/casetable.h"

namespace sorvane {
namespace {

using namespace std::string_literals;
constexpr std::size_t kNone = std::string::npos;

std::string Hex(int c) {
  const char* digits = "0123456789ABCDEF";
  return "\\x"s + digits[c >> 4] + digits[c & 15];
}

std::string AllBytes() {
  std::string s;
  for (int c = 0; c < 256; ++c)
    s += static_cast<char>(c);
  return s;
}

// Every match of `pattern` over `subject`, as {position, length}.
std::vector<std::pair<std::size_t, std::size_t>> AllMatches(RegExpr& re, const std::string& pattern,
                                                            const std::string& subject) {
  re.SetExpression(pattern);
  std::vector<std::pair<std::size_t, std::size_t>> found;
  // A search that does not move on would find more matches than there are positions.
  for (bool ok = re.Exec(subject); ok && found.size() <= subject.size() + 1; ok = re.ExecNext()) {
    found.emplace_back(re.MatchPos(0), re.MatchLen(0));
  }
  return found;
}

// The bytes a one-byte pattern matches when searched over all 256 bytes.
std::set<int> MatchedBytes(RegExpr& re, const std::string& pattern) {
  std::set<int> bytes;
  for (const auto& [pos, len] : AllMatches(re, pattern, AllBytes())) {
    if (len == 1) bytes.insert(static_cast<int>(pos));
  }
  return bytes;
}

struct FirstMatchCase {
  std::string pattern;
  std::string subject;
  std::size_t pos;  // kNone: no match
  std::string text;
};

TEST(RegExprDialect, EveryElementKeepsItsMeaning) {
  const std::vector<FirstMatchCase> cases = {
      {"abc", "xxabcx", 2, "abc"},
      {"a\\.b", "axb", kNone, ""},
      {"a\\.b", "xa.b", 1, "a.b"},
      {"\\(\\{\\[\\\\\\*\\+\\?\\|\\^\\$\\}\\]\\)", "x({[\\*+?|^$}])", 1, "({[\\*+?|^$}])"},
      {"a.b", "a\nb", 0, "a\nb"},
      {"a.b", "a\r\nb", kNone, ""},
      {"a..b", "a\r\nb", 0, "a\r\nb"},
      {"^b", "a\nb", kNone, ""},
      {"^a", "a\nb", 0, "a"},
      {"a$", "a\nb", kNone, ""},
      {"b$", "ab\n", kNone, ""},  // never before a final line feed
      {"\n$", "ab\n", 2, "\n"},
      {"\\Ab", "a\nb", kNone, ""},
      {"a\\Z", "a\n", kNone, ""},
      {"a\\Z", "aa", 1, "a"},
      {"\\Aab\\Z", "ab", 0, "ab"},
      {"\\t\\n\\r\\f", "x\t\n\r\fy", 1, "\t\n\r\f"},
      {"\\w+", "..ab_9Z..", 2, "ab_9Z"},
      {"\\W+", "ab-\xE0\xC0.c", 2, "-\xE0\xC0."},
      {"\\d+", "ab123c", 2, "123"},
      {"\\D+", "12ab3", 2, "ab"},
      {"\\s+", "a \t\n\r\fb", 1, " \t\n\r\f"},
      {"\\S+", " a\vb ", 1, "a\vb"},  // vertical tab is not white space
      {"\\bcat\\b", "concat cat", 7, "cat"},
      {"\\bx", "\xE0x", 1, "x"},
      {"\\b\xE0", " \xE0", kNone, ""},  // 0xE0 is no word character
      {"\\B\xE0", " \xE0", 1, "\xE0"},
      {"\\Bx", "ax x", 1, "x"},
      {"[a-c]+", "xxabcd", 2, "abc"},
      {"[^a-c]+", "abxyc", 2, "xy"},
      {"[\\d\\s]+", "a1 2b", 1, "1 2"},
      {"[\\]]", "a]", 1, "]"},
      {"[\\w.]+", "#a.b#", 1, "a.b"},
      {"(a)(b)", "xab", 1, "ab"},
      {"cat|dog", "hotdog", 3, "dog"},
      {"a*", "aaa", 0, "aaa"},
      {"a+", "baa", 1, "aa"},
      {"a?", "aa", 0, "a"},
      {"a{2}", "aaaa", 0, "aa"},
      {"a{2,}", "aaaa", 0, "aaaa"},
      {"a{1,3}", "aaaa", 0, "aaa"},
      {"a*?b", "aab", 0, "aab"},
      {"a*?", "aaa", 0, ""},
      {"a+?", "aaa", 0, "a"},
      {"a??", "aa", 0, ""},
      {"a{2,}?", "aaaa", 0, "aa"},
      {"a{1,3}?", "aaaa", 0, "a"},
      {"<.+?>", "<a><b>", 0, "<a>"},
      {"<.+>", "<a><b>", 0, "<a><b>"},
      {"abc", "ABC", kNone, ""},
      {"(?i)abc", "xABC", 1, "ABC"},
      {"(?i)a(?-i)b", "AB", kNone, ""},
      {"(?i)a(?-i)b", "Ab", 0, "Ab"},
      {"(?i:a)b", "AB", kNone, ""},
      {"(?i:a)b", "Ab", 0, "Ab"},
      {"((?i)a)b", "AB", kNone, ""},
      {"((?i)a)b", "Ab", 0, "Ab"},
      {"b", "a\0b"s, 2, "b"},
      {"a\0b"s, "xa\0b"s, 1, "a\0b"s},
      {"\\x00+", "a\0\0b"s, 1, "\0\0"s},
      // \Z is rewritten only where it is the anchor.
      {"a\\\\Z", "a\\Z", 0, "a\\Z"},
      {"a\\\\\\Z", "a\\\n", kNone, ""},
      {"a\\\\\\Z", "a\\", 0, "a\\"},
      {"\\Q\\Z\\E", "x\\Zy", 1, "\\Z"},
      {"[[:alpha:]]\\Z", "ab\n", kNone, ""},
      {"[]a]+\\Z", "x]a", 1, "]a"},
  };
  RegExpr re;
  for (const auto& c : cases) {
    SCOPED_TRACE("pattern=" + c.pattern + " subject=" + c.subject);
    re.SetExpression(c.pattern);
    ASSERT_EQ(re.Exec(c.subject), c.pos != kNone);
    EXPECT_EQ(re.MatchPos(0), c.pos);
    EXPECT_EQ(re.Match(0), c.text);
    EXPECT_EQ(re.MatchLen(0), c.text.size());
  }
}

TEST(RegExprDialect, ClassesAreAsciiAndAgreeInsideBrackets) {
  const auto word = [](int c) { return std::isalnum(c) != 0 || c == '_'; };  // "C" locale
  const auto digit = [](int c) { return c >= '0' && c <= '9'; };
  const auto space = [](int c) { return c != '\v' && std::isspace(c) != 0; };
  const std::vector<std::pair<std::string, std::function<bool(int)>>> cases = {
      {"\\w", word},
      {"[\\w]", word},
      {"(?i)\\w", word},
      {"\\W", std::not_fn(word)},
      {"[^\\w]", std::not_fn(word)},
      {"\\d", digit},
      {"[\\d]", digit},
      {"\\D", std::not_fn(digit)},
      {"\\s", space},
      {"[\\s]", space},
      {"[[:space:]]", space},
      {"\\S", std::not_fn(space)},
      {"[^\\s]", std::not_fn(space)},
  };
  RegExpr re;
  for (const auto& [pattern, expected] : cases) {
    std::set<int> want;
    for (int c = 0; c < 256; ++c) {
      if (expected(c)) want.insert(c);
    }
    // The compiled matcher and the interpreter read different tables for the same class.
    for (const std::string& engine : {""s, "(*NO_JIT)"s}) {
      SCOPED_TRACE(engine + pattern);
      EXPECT_EQ(MatchedBytes(re, engine + pattern), want);
    }
  }
}

TEST(RegExprDialect, CaseInsensitiveFoldsWithTheCaseTable) {
  RegExpr re;
  for (const std::string& engine : {""s, "(*NO_JIT)"s}) {
    for (int c = 0; c < 256; ++c) {
      SCOPED_TRACE(engine + Hex(c));
      const std::set<int> self{c};
      const std::set<int> folded{c, kCasePartner[c]};
      EXPECT_EQ(MatchedBytes(re, engine + Hex(c)), self);
      EXPECT_EQ(MatchedBytes(re, engine + "[" + Hex(c) + "]"), self);
      EXPECT_EQ(MatchedBytes(re, engine + "(?i)" + Hex(c)), folded);
      EXPECT_EQ(MatchedBytes(re, engine + "(?i)[" + Hex(c) + "]"), folded);
    }
  }
  // Written out independently of the table: pattern, subject, whether it matches.
  const std::vector<std::tuple<std::string, std::string, bool>> cases = {
      {"(?i)\xE0", "\xC0", true},
      {"(?i)\xC0", "\xE0", true},
      {"\xE0", "\xC0", false},
      {"(?i)\xB8", "\xA8", true},
      {"(?i)\xA8", "\xB8", true},
      {"\xB8", "\xA8", false},
      {"(?i)\xF7", "\xD7", true},
      {"\xD7", "\xF7", false},
      {"(?i)\xBC", "\xA3", true},
      {"(?i)\xB4", "\xA5", true},
      {"(?i)\x83", "\x81", true},
      {"(?i)\xB9", "\xA9", false},
      {"(?i)\x9B", "\x8B", false},
      {"(?i)\xBB", "\xAB", false},
      {"(?i)\xB5", "\x95", false},
      {"(?i)(\xE0+)-\\1", "\xC0\xE0-\xE0\xC0", true},
      {"(?i)[\xE0-\xFF]{3}", "\xC0\xDF\xFF", true},
      // 0xFF first in or required by a match (PCRE2 itself would not look for its capital).
      {"(?i)\xEC\xEE\xFF", "x\xCC\xCE\xDF", true},
      {"(?i)\xFF\xFF", "\xDF\xFF", true},
      {"(?i)[\xFF]b", "\xDF"s + "b", true},
      {"(?i)a\xFF+", "a\xDF", true},
  };
  for (const std::string& engine : {""s, "(*NO_JIT)"s}) {
    for (const auto& [pattern, subject, matches] : cases) {
      re.SetExpression(engine + pattern);
      EXPECT_EQ(re.Exec(subject), matches) << engine + pattern;
    }
  }
}

struct SequenceCase {
  std::string pattern;
  std::string subject;
  std::vector<std::pair<std::size_t, std::size_t>> matches;
};

TEST(RegExprExecNext, FindsEveryMatchAndMovesOnAfterEmptyOnes) {
  const std::vector<SequenceCase> cases = {
      {"<b>(.+?)</b>", "<b>1</b><b>2</b>", {{0, 8}, {8, 8}}},
      {"x*", "ab", {{0, 0}, {1, 0}, {2, 0}}},
      {"a*", "baa", {{0, 0}, {1, 2}, {3, 0}}},
      {"", "ab", {{0, 0}, {1, 0}, {2, 0}}},
      {"x*", "", {{0, 0}}},
      {"\\d+", "1 22 333", {{0, 1}, {2, 2}, {5, 3}}},
      {"^a", "aaa", {{0, 1}}},  // later searches do not see a new start of text
      {"a$", "a\na", {{2, 1}}},
      {"(?<=a)b", "abab", {{1, 1}, {3, 1}}},  // looking behind the search start
      {"\\ba", "aa a", {{0, 1}, {3, 1}}},
      {"z", "abc", {}},
      // Long subjects, searched in windows of start positions.
      {"(?<=a)b", std::string(300, 'x') + "ab", {{301, 1}}},
      {"^x", "y" + std::string(300, 'x'), {}},
      {"\\Gx", "a" + std::string(300, 'x'), {}},
      {"\\Gx", "xxa" + std::string(300, 'x'), {{0, 1}, {1, 1}}},
      {"a+(*COMMIT)b", "aac" + std::string(300, ' ') + "ab", {}},
  };
  RegExpr re;
  for (const auto& c : cases) {
    SCOPED_TRACE("pattern=" + c.pattern + " subject=" + c.subject);
    EXPECT_EQ(AllMatches(re, c.pattern, c.subject), c.matches);
    EXPECT_FALSE(re.ExecNext());  // stays finished
  }
}

struct GroupCase {
  std::string pattern;
  std::string subject;
  std::vector<std::optional<std::string>> groups;  // 1..n; nullopt: did not take part
  int count;
};

TEST(RegExprGroups, CountAndTextOfSubExpressions) {
  const std::vector<GroupCase> cases = {
      {"(a)?b(c)?", "bc", {std::nullopt, "c"}, 2},
      {"(a)|(b)", "b", {std::nullopt, "b"}, 2},
      {"(a)|b", "b", {std::nullopt}, 0},
      {"(a)(b)?", "a", {"a", std::nullopt}, 1},
      {"(a*)b", "b", {""}, 1},  // an empty group still took part
      {"(?:x)(y)", "xy", {"y"}, 1},
      {"(?<name>n)(o)", "no", {"n", "o"}, 2},
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)",
       "abcdefghijklmn",
       {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n"},
       14},
  };
  RegExpr re;
  for (const auto& c : cases) {
    SCOPED_TRACE("pattern=" + c.pattern);
    re.SetExpression(c.pattern);
    ASSERT_TRUE(re.Exec(c.subject));
    EXPECT_EQ(re.SubExprMatchCount(), c.count);
    for (std::size_t n = 1; n <= c.groups.size(); ++n) {
      const int i = static_cast<int>(n);
      EXPECT_EQ(re.Match(i), c.groups[n - 1].value_or("")) << n;
      EXPECT_EQ(re.MatchPos(i) == kNone, !c.groups[n - 1]) << n;
      EXPECT_EQ(re.MatchLen(i), c.groups[n - 1].value_or("").size()) << n;
    }
    for (int n : {-1, static_cast<int>(c.groups.size()) + 1, 15, 1000}) {
      EXPECT_EQ(re.Match(n), "");
      EXPECT_EQ(re.MatchPos(n), kNone);
      EXPECT_EQ(re.MatchLen(n), 0u);
    }
  }
}

TEST(RegExprErrors, InvalidExpressionsLeaveNoExpression) {
  const std::vector<std::string> invalid = {
      "(abc",
      "abc)",
      "[abc",
      "a{2,1}",
      "*a",
      "a**",
      "\\",
      "(?<n",
      "(?i",
      "[\\Z]",
      "\\y",
      "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)(o)",  // 15 groups
      "(*UTF)a",
      "(*UCP)\\w",  // would leave the byte dialect
  };
  RegExpr re;
  for (const auto& pattern : invalid) {
    SCOPED_TRACE(pattern);
    re.SetExpression("ok");
    ASSERT_TRUE(re.Exec("ok"));
    EXPECT_THROW(re.SetExpression(pattern), RegExprError);
    EXPECT_EQ(re.Expression(), "");
    EXPECT_EQ(re.SubExprMatchCount(), 0);
    EXPECT_EQ(re.Match(0), "");
    EXPECT_THROW(re.Exec("ok"), RegExprError);
    EXPECT_THROW(re.ExecNext(), RegExprError);
    EXPECT_THROW(re.Replace("ok", "x"), RegExprError);
  }
  RegExpr fresh;
  EXPECT_THROW(fresh.Exec("a"), RegExprError);
  fresh.SetExpression("(?:a)(?:b)(?:c)(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)");  // 14 groups
  EXPECT_EQ(fresh.Expression(), "(?:a)(?:b)(?:c)(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)");
}

TEST(RegExprErrors, SettingAnExpressionForgetsTheLastMatch) {
  RegExpr re;
  re.SetExpression("(a)");
  ASSERT_TRUE(re.Exec("aa"));
  re.SetExpression("(a)");  // the same text again
  EXPECT_EQ(re.Match(1), "");
  EXPECT_FALSE(re.ExecNext());
  re.SetExpression("b");
  EXPECT_FALSE(re.Exec("aa"));
  EXPECT_EQ(re.MatchPos(0), kNone);
  EXPECT_FALSE(re.ExecNext());
}

struct RunawayCase {
  std::string pattern;
  std::string subject;
  bool must_throw;  // false: a quick "no match" is as good as the error
};

// Runs of `run` a's, each followed by "!", to `length` bytes: every start position costs the
// expression (a|aa)*$ many steps, each a little under the step limit.
std::string ShortRuns(std::size_t run, std::size_t length) {
  std::string text;
  while (text.size() < length)
    text += std::string(run, 'a') + "!";
  return text;
}

TEST(RegExprErrors, RunawayBacktrackingEndsQuicklyWithAnError) {
  const std::string runs = ShortRuns(28, 18000);
  const std::vector<RunawayCase> cases = {
      // Searched in one call, whatever the start position: still within the time of a search.
      {"(a|aa)*$|(?!)(*SKIP)", runs, true},
      // A long quick stretch before the slow one.
      {"(a|aa)*$", std::string(1000000, 'b') + runs, true},
      // Steps that each scan far ahead.
      {"a*a*[bc]", std::string(100000, 'a'), false},
      {"(a+)+b", std::string(100000, 'a'), false},
      {"(a+)+[bc]", std::string(100000, 'a'), true},
      {"(x+x+)+[yz]", std::string(100000, 'x'), true},
      {"(a|aa)+[bc]", std::string(100000, 'a'), true},
      {"^(a|a?)+$", std::string(100, 'a') + "b", true},
      {"(\\w+\\s?)+$", std::string(5000, 'a') + "!", true},
      // Each start position stays under the step limit, but together they would take minutes.
      {"a{0,1000}a{0,1000}[bc]", std::string(100000, 'a'), true},
      {"(*NO_JIT)(a+)+[bc]", std::string(100000, 'a'), true},
      {"(*NO_JIT)a{0,1000}a{0,1000}[bc]", std::string(100000, 'a'), true},
  };
  RegExpr re;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    re.SetExpression(c.pattern);
    const auto began = std::chrono::steady_clock::now();
    bool threw = false;
    try {
      EXPECT_FALSE(re.Exec(c.subject));
    } catch (const RegExprError&) {
      threw = true;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
    EXPECT_TRUE(threw || !c.must_throw);
    EXPECT_FALSE(re.ExecNext());
    EXPECT_EQ(re.Expression(), c.pattern);  // the expression stays usable
    EXPECT_NO_THROW(re.Exec("aab"));
  }
}

TEST(RegExprInterrupt, StopsALongSearchSoonAndNeverAQuickOne) {
  using Clock = std::chrono::steady_clock;
  const std::string runs = ShortRuns(28, 18000);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"(a|aa)*$|(?!)(*SKIP)", runs},
      {"(a|aa)*$", std::string(1000000, 'b') + runs},
      {"a*a*[bc]", std::string(100000, 'a')},
  };
  RegExpr re;
  int calls = 0;
  Clock::time_point stop_at;
  re.SetInterrupt([&] {
    ++calls;
    return Clock::now() >= stop_at;
  });
  for (const auto& [pattern, subject] : cases) {
    SCOPED_TRACE(pattern);
    re.SetExpression(pattern);
    calls = 0;
    stop_at = Clock::now() + std::chrono::milliseconds(300);
    EXPECT_THROW(re.Exec(subject), RegExprStopped);
    EXPECT_LT(Clock::now() - stop_at, std::chrono::milliseconds(200));
    EXPECT_GE(calls, 2);  // asked all along, not only at the end
  }
  calls = 0;
  re.SetExpression("<b>(.*?)</b>");
  EXPECT_TRUE(re.Exec(std::string(100000, 'x') + "<b>1</b>"));
  EXPECT_EQ(calls, 0);
}

TEST(RegExprInterrupt, CannotChangeTheEngineUnderTheSearch) {
  RegExpr re;
  re.SetInterrupt([&re] {
    re.SetExpression("x");
    return false;
  });
  re.SetExpression("(a|aa)*$|(?!)(*SKIP)");
  EXPECT_THROW(re.Exec(ShortRuns(28, 18000)), RegExprError);
  EXPECT_EQ(re.Expression(), "(a|aa)*$|(?!)(*SKIP)");
  re.SetInterrupt({});
  EXPECT_TRUE(re.Exec("aa"));
}

TEST(RegExprLimits, LongButHonestSearchesSucceed) {
  std::string records;
  for (int i = 0; i < 100000; ++i)
    records += "<b>" + std::to_string(i) + "</b>\n";
  RegExpr re;
  EXPECT_EQ(AllMatches(re, "<b>(.+?)</b>", records).size(), 100000u);
  EXPECT_EQ(AllMatches(re, "(*NO_JIT)<b>(.+?)</b>", records).size(), 100000u);
  EXPECT_EQ(re.Match(0), "");

  std::string pairs;
  for (int i = 0; i < 500000; ++i)
    pairs += i % 3 ? "ab" : "ba";
  // The interpreter's first deep match spends most of its time growing its memory: a megabyte
  // of nesting would take it seconds, beyond any search's time.
  const std::string short_pairs = pairs.substr(0, 100000);
  const std::vector<std::tuple<std::string, const std::string*, std::size_t>> cases = {
      {"(?:ab|ba)*", &pairs, pairs.size()},
      {"(*NO_JIT)(?:ab|ba)*", &short_pairs, short_pairs.size()},
      {"(a|b)*", &pairs, pairs.size()},
      {".*", &pairs, pairs.size()},
      {"(.*?)$", &pairs, pairs.size()}};
  for (const auto& [pattern, subject, len] : cases) {
    SCOPED_TRACE(pattern);
    re.SetExpression(pattern);
    ASSERT_TRUE(re.Exec(*subject));
    EXPECT_EQ(re.MatchLen(0), len);
  }
  re.SetExpression("c");
  EXPECT_TRUE(re.Exec(pairs + "c"));  // the search reaches the far end
  EXPECT_EQ(re.MatchPos(0), pairs.size());

  // A long search is split into pieces; no start position may fall between two of them.
  re.SetExpression("(?<=x)a|^a");
  for (std::size_t n = 0; n < 6000; ++n) {
    const std::string subject = std::string(n, 'x') + "a";
    ASSERT_TRUE(re.Exec(subject)) << n;
    EXPECT_EQ(re.MatchPos(0), n);
  }
}

struct ReplaceCase {
  std::string pattern;
  std::string subject;
  std::string replacement;
  std::string expected;
};

TEST(RegExprReplace, EveryMatchLiterally) {
  const std::vector<ReplaceCase> cases = {
      {"\\d+", "a1b22c", "#", "a#b#c"},
      {"(\\d)", "a1b2", "$1", "a$1b$1"},
      {"(\\d)", "a1", "\\1$0${1}", "a\\1$0${1}"},
      {"x*", "ab", "-", "-a-b-"},
      {"a*", "baa", "-", "-b--"},
      {"z", "abc", "-", "abc"},
      {"a", "", "-", ""},
      {"x*", "", "-", "-"},
      {"^", "ab", ">", ">ab"},
      {"$", "ab\n", "<", "ab\n<"},
      {".", "a\0b"s, "x", "xxx"},
      {"a|b", "abc", "", "c"},
      {"<[^>]*>", "<p>Hi <b>you</b></p>", "", "Hi you"},
      {"b", "abcabc", "\0"s, "a\0ca\0c"s},
  };
  RegExpr re;
  for (const auto& c : cases) {
    SCOPED_TRACE("pattern=" + c.pattern + " subject=" + c.subject);
    re.SetExpression(c.pattern);
    EXPECT_EQ(re.Replace(c.subject, c.replacement), c.expected);
  }
}

}  // namespace
}  // namespace sorvane
