#pragma once

// The expression engine: one compiled expression and the last match over a subject text.
//
// Dialect: `.` matches line breaks; `^`/`$` (and `\A`/`\Z`) are the start and end of the whole
// subject, never before a final line feed; matching is case-sensitive unless `(?i)`, which folds
// letters with the fixed case table of casetable.h and lasts to the end of its enclosing group.
// At most 14 capturing groups. Positions are byte offsets into the subject; \w, \d, \s and \b
// know only ASCII (\s is space, tab, LF, CR and FF). A subject may contain zero bytes.
//
// A search that needs too much backtracking, memory or time (about a second, whatever the
// expression holds) ends with RegExprError ("expression stopped: too much backtracking") instead
// of running on; the expression stays set and the last match is forgotten. While a search runs,
// the interrupt (SetInterrupt) is asked about every 20 ms whether to stop; a yes ends it with
// RegExprStopped.
//
// Not thread-safe; one instance serves one caller at a time. The subject passed to Exec (or
// Replace) must stay alive and unchanged until the last ExecNext/Match call that refers to it.
// Nothing may set an expression or search from inside the interrupt: that throws RegExprError.

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sorvane {

// A syntax error in an expression, a runaway match, or any other failure of the engine.
class RegExprError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A search that ended because its interrupt asked it to stop.
class RegExprStopped : public RegExprError {
 public:
  using RegExprError::RegExprError;
};

class RegExpr {
 public:
  static constexpr int kMaxGroups = 14;

  RegExpr();
  ~RegExpr();
  RegExpr(const RegExpr&) = delete;
  RegExpr& operator=(const RegExpr&) = delete;

  // Compiles `expression`; throws RegExprError on a syntax error or more than 14 groups. On
  // failure the engine holds no expression and Exec throws until one is set.
  void SetExpression(std::string_view expression);
  const std::string& Expression() const;

  // Called about every 20 ms while a search goes on (not at all by a quick one); true ends the
  // search with RegExprStopped. An exception from it ends the search and propagates. Empty:
  // nothing is called. Stays set for later searches and expressions.
  void SetInterrupt(std::function<bool()> interrupt);

  // Searches `subject` from its first byte for the leftmost match. Throws RegExprError when no
  // expression is set or the search runs away.
  bool Exec(std::string_view subject);
  // Searches again from the end of the previous match; after an empty match, one byte further.
  // False once the last search found nothing or the end of the subject has been passed.
  bool ExecNext();

  // The highest n in 1..14 whose group took part in the last match; 0 when none did.
  int SubExprMatchCount() const;
  // Text of sub-expression n of the last match; empty when n is outside 0..14 or the group did
  // not take part.
  std::string Match(int n) const;
  // The same as a view into the subject, valid while the subject is.
  std::string_view MatchView(int n) const;
  // 0-based byte offset and length of sub-expression n; npos / 0 when it did not take part.
  std::size_t MatchPos(int n) const;
  std::size_t MatchLen(int n) const;

  // `subject` with every match (left to right, as Exec/ExecNext find them) replaced by
  // `replacement` taken literally ("$1" stays "$1"); unchanged when nothing matches. Throws as
  // Exec does.
  std::string Replace(std::string_view subject, std::string_view replacement);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sorvane
