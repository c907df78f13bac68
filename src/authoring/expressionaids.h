#pragma once

// The aids for writing a templet's regular expression in the editor: counting its brackets (the
// group count and the bracket warnings), locating a sub-expression, and the texts that the
// metacharacter and iterator lists insert. Pure functions on the expression's bytes.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sorvane {

// The number of unescaped `c` in `text`: 0 when the text is only blanks and control characters;
// otherwise every backslash pair is removed, then every backslash followed by `c`, and the
// remaining `c` are counted.
int CountUnescaped(std::string_view text, char c);

// The number of sub-expressions the column dialog offers: the unescaped opening round brackets
// (an option group such as "(?i)" counts like any other).
inline int GroupCount(std::string_view expression) {
  return CountUnescaped(expression, '(');
}

// The note beside the step-3 heading after the expression changed: "Round brackets are not
// matched!" when the unescaped round brackets do not pair up in number, else "Curly brackets are
// not matched!" when the curly ones do not, else empty.
std::string BracketNote(std::string_view expression);

// Where sub-expression `n` lies in `expression` (byte offset and length): the whole expression
// for 0; for n >= 1 the text strictly between the n-th unescaped opening round bracket and its
// matching closing one. Nothing for a negative n, or when that bracket or its match is missing.
struct TextSpan {
  std::size_t start = 0;
  std::size_t length = 0;
};
std::optional<TextSpan> SubExpressionSpan(std::string_view expression, int n);

// The entries of the metacharacter list (the first one inserts nothing) and of the iterator list
// (likewise).
extern const std::array<const char*, 17> kMetaItems;
extern const std::array<const char*, 13> kIteratorItems;

// The text an entry inserts: the part before its first ":".
std::string InsertedText(std::string_view item);

// An iterator entry's text with its n and m filled in from the two number boxes: "{n" becomes "{"
// and n, then "m}" becomes m and "}". A needed number that is empty refuses the insertion.
struct IteratorText {
  enum class Missing { kNone, kN, kM };
  Missing missing = Missing::kNone;
  std::string text;  // what to insert, when nothing is missing
};
IteratorText FillIterator(std::string_view item, std::string_view n, std::string_view m);

}  // namespace sorvane
