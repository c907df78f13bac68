#include "authoring/expressionaids.h"

#include <algorithm>
#include <utility>

#include "engine/qstrings.h"

namespace sorvane {

const std::array<const char*, 17> kMetaItems = {
    "-- select to insert metacharacter --",
    ".: any character in line",
    "^: start of line",
    "$: end of line",
    "\\A: start of text",
    "\\Z: end of text",
    "\\t: tab (ht/tab)",
    "\\n: newline (nl)",
    "\\r: car.return (cr)",
    "\\w: an alphanumeric character (including \"_\")",
    "\\W: a nonalphanumeric",
    "\\d: a numeric character",
    "\\D: a non-numeric",
    "\\s: any space (same as [ \\t\\n\\r\\f])",
    "\\S: a non space",
    "\\b: match a word boundary ",
    "\\B: match a non-(word boundary)",
};

const std::array<const char*, 13> kIteratorItems = {
    "-- select to insert iterator --",
    "*: zero or more (greedy)",
    "+: one or more (greedy)",
    "?: zero or one (greedy)",
    "{n}: exactly n times (greedy)",
    "{n,}: at least n times (greedy)",
    "{n,m}: at least n but not more than m times (greedy)",
    "*?: zero or more (non-greedy)",
    "+?: one or more (non-greedy)",
    "??: zero or one (non-greedy)",
    "{n}?: exactly n times (non-greedy)",
    "{n,}?: at least n times (non-greedy)",
    "{n,m}?: at least n but not more than m times (non-greedy)",
};

int CountUnescaped(std::string_view text, char c) {
  std::string trimmed(text);
  TrimInPlace(trimmed);
  if (trimmed.empty()) return 0;
  const char escaped[] = {'\\', c, '\0'};
  const std::string rest = ReplaceStr(ReplaceStr(text, "\\\\", ""), escaped, "");
  return static_cast<int>(std::count(rest.begin(), rest.end(), c));
}

std::string BracketNote(std::string_view expression) {
  if (CountUnescaped(expression, ')') != CountUnescaped(expression, '('))
    return "Round brackets are not matched!";
  if (CountUnescaped(expression, '{') != CountUnescaped(expression, '}'))
    return "Curly brackets are not matched!";
  return {};
}

std::optional<TextSpan> SubExpressionSpan(std::string_view expression, int n) {
  if (n < 0) return std::nullopt;
  if (n == 0) return TextSpan{0, expression.size()};
  // A backslash takes the character after it out of the count: pairs of backslashes and escaped
  // brackets alike.
  std::size_t i = 0;
  int opened = 0;
  for (; i < expression.size(); ++i) {
    if (expression[i] == '\\') {
      ++i;
    } else if (expression[i] == '(' && ++opened == n) {
      break;
    }
  }
  if (i >= expression.size()) return std::nullopt;
  const std::size_t open = i;
  int depth = 1;
  for (i = open + 1; i < expression.size(); ++i) {
    if (expression[i] == '\\') {
      ++i;
    } else if (expression[i] == '(') {
      ++depth;
    } else if (expression[i] == ')' && --depth == 0) {
      return TextSpan{open + 1, i - open - 1};
    }
  }
  return std::nullopt;
}

std::string InsertedText(std::string_view item) {
  return std::string(item.substr(0, item.find(':')));
}

IteratorText FillIterator(std::string_view item, std::string_view n, std::string_view m) {
  IteratorText result;
  std::string text = InsertedText(item);
  if (const std::size_t at = text.find("{n"); at != std::string::npos) {
    if (n.empty()) {
      result.missing = IteratorText::Missing::kN;
      return result;
    }
    text.replace(at, 2, "{" + std::string(n));
  }
  if (const std::size_t at = text.find("m}"); at != std::string::npos) {
    if (m.empty()) {
      result.missing = IteratorText::Missing::kM;
      return result;
    }
    text.replace(at, 2, std::string(m) + "}");
  }
  result.text = std::move(text);
  return result;
}

}  // namespace sorvane
