#include "engine/regexpr.h"

#include "core/chandle.h"
#include "engine/casetable.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace sorvane {
namespace {

// Character tables in the layout pcre2_compile expects from pcre2_maketables: the lower-case
// table, the case-flip table, ten 32-byte class bitmaps and the character-type table. The
// offsets and bits below are that layout's; the matcher reads \d, \s and \w from the type table
// and the compiler builds classes from the bitmaps, so both describe the same sets.
constexpr std::size_t kLowerCaseAt = 0;
constexpr std::size_t kFlipCaseAt = 256;
constexpr std::size_t kClassBitsAt = 512;
constexpr std::size_t kClassBitsLength = 320;
constexpr std::size_t kTypesAt = kClassBitsAt + kClassBitsLength;
constexpr std::size_t kTablesLength = kTypesAt + 256;

enum ClassBitmap : std::size_t {
  kSpaceBits = 0,
  kHexDigitBits = 32,
  kDigitBits = 64,
  kUpperBits = 96,
  kLowerBits = 128,
  kWordBits = 160,
  kGraphBits = 192,
  kPrintBits = 224,
  kPunctBits = 256,
  kControlBits = 288,
};

enum TypeBit : std::uint8_t {
  kTypeSpace = 0x01,
  kTypeLetter = 0x02,
  kTypeLowerLetter = 0x04,
  kTypeDigit = 0x08,
  kTypeWord = 0x10,
};

// Every class is ASCII (\s is exactly space, tab, LF, CR and FF; vertical tab is not white
// space). Only case folding reaches beyond ASCII: a byte's partner comes from the fixed case
// table, so `(?i)` pairs the Cyrillic letters while \w still knows only ASCII.
constexpr std::array<std::uint8_t, kTablesLength> MakeTables() {
  std::array<std::uint8_t, kTablesLength> t{};
  auto set_bit = [&t](std::size_t bitmap, int c) {
    t[kClassBitsAt + bitmap + static_cast<std::size_t>(c) / 8] |=
        static_cast<std::uint8_t>(1u << (c % 8));
  };
  for (int c = 0; c < 256; ++c) {
    const std::uint8_t partner = kCasePartner[c];
    const bool is_capital = partner != c && kUpperCase[c] == c;
    t[kLowerCaseAt + c] = is_capital ? partner : static_cast<std::uint8_t>(c);
    t[kFlipCaseAt + c] = partner;

    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    const bool digit = c >= '0' && c <= '9';
    const bool upper = c >= 'A' && c <= 'Z';
    const bool lower = c >= 'a' && c <= 'z';
    const bool hex = digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    const bool word = digit || upper || lower || c == '_';
    const bool graph = c > 0x20 && c < 0x7F;
    const bool print = c >= 0x20 && c < 0x7F;
    const bool punct = graph && !digit && !upper && !lower;
    const bool control = c < 0x20 || c == 0x7F;
    if (space) set_bit(kSpaceBits, c);
    if (hex) set_bit(kHexDigitBits, c);
    if (digit) set_bit(kDigitBits, c);
    if (upper) set_bit(kUpperBits, c);
    if (lower) set_bit(kLowerBits, c);
    if (word) set_bit(kWordBits, c);
    if (graph) set_bit(kGraphBits, c);
    if (print) set_bit(kPrintBits, c);
    if (punct) set_bit(kPunctBits, c);
    if (control) set_bit(kControlBits, c);

    std::uint8_t type = 0;
    if (space) type |= kTypeSpace;
    if (upper || lower) type |= kTypeLetter;
    if (lower) type |= kTypeLowerLetter;
    if (digit) type |= kTypeDigit;
    if (word) type |= kTypeWord;
    t[kTypesAt + c] = type;
  }
  return t;
}

// Compiled code keeps a pointer to its tables, so they live as long as the program.
constexpr std::array<std::uint8_t, kTablesLength> kTables = MakeTables();

// UTF and Unicode properties would turn the byte dialect into a code-point one (\w matching
// Latin-1 letters, invalid UTF-8 failing the match), so a pattern may not switch them on.
// The offset limit lets a search be split into windows of start positions (see SearchWindows).
constexpr std::uint32_t kCompileOptions = PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF |
                                          PCRE2_NEVER_UCP | PCRE2_USE_OFFSET_LIMIT;

// Bounds on one search. The match limit counts backtracking steps per start position (the JIT
// counts its own way); 5 million steps take up to about 80 ms. The heap limit (KiB) caps the
// interpreter's backtracking frames, the JIT stack the compiled matcher's.
constexpr std::uint32_t kMatchLimit = 5'000'000;
constexpr std::uint32_t kHeapLimitKiB = 256 * 1024;
constexpr PCRE2_SIZE kJitStackStart = 64 * 1024;
constexpr PCRE2_SIZE kJitStackMax = 64 * 1024 * 1024;

// A search runs in windows of start positions (see SearchWindows) and stops once it has taken
// this long; between two windows, and inside the guarded matcher, the interrupt is asked at this
// interval whether to stop. A window grows while it is quick and shrinks when it is slow, so the
// check comes often when it matters and costs nothing when the search is fast.
constexpr std::chrono::milliseconds kSearchTimeBudget{1000};
constexpr std::chrono::milliseconds kInterruptInterval{20};
constexpr std::chrono::milliseconds kQuickWindow{2};
constexpr std::chrono::milliseconds kSlowWindow{50};
constexpr std::size_t kFirstWindow = 16;

// A window is searched in one call that nothing can interrupt, so what one call may cost is
// bounded by the steps it may take: the start positions it covers times the step limit of each,
// at most kCallSteps (some 80 ms of backtracking). The first call over a window has the low limit
// kQuickMatchLimit, which honest searches rarely reach. When some start position needs more, the
// window is searched again with a limit that grows by kLimitGrowth as long as the call stays
// within kCallSteps (beyond, the window is split into kWindowParts parts, each searched the same
// way) and the last call was well below kLongestCall (beyond, the guarded matcher searches the
// window). See SearchRange.
constexpr std::size_t kLargestWindow = 4096;
constexpr std::uint32_t kQuickMatchLimit = 250;
constexpr std::uint64_t kCallSteps = 5'000'000;
constexpr std::uint32_t kLimitGrowth = 4;
constexpr std::chrono::milliseconds kLongestCall{50};
constexpr std::size_t kWindowParts = 16;

// The guarded matcher is the expression compiled with a callout before every item, so that it can
// look at the clock in the middle of one start position; the clock is read every this many
// callouts. It is some twenty times slower than the plain matcher and serves only the windows
// whose steps are slow and the expressions that must be searched in one call.
constexpr int kCalloutsPerCheck = 64;

// What a search returns when its time is up or its interrupt asked it to stop; a callout returns
// the same codes to end the match it is in.
constexpr int kRunaway = PCRE2_ERROR_MATCHLIMIT;
constexpr int kStopped = PCRE2_ERROR_CALLOUT;

using Clock = std::chrono::steady_clock;

std::string ErrorText(int code) {
  std::array<PCRE2_UCHAR, 256> buffer{};
  if (pcre2_get_error_message(code, buffer.data(), buffer.size()) < 0) {
    return "error " + std::to_string(code);
  }
  return reinterpret_cast<const char*>(buffer.data());
}

// An expression as handed to pcre2_compile.
struct Pattern {
  std::string text;
  // The pattern uses \G, (*COMMIT), (*SKIP) or (*NOTEMPTY_ATSTART), whose meaning depends on
  // where a single search call started or how it moves on; such a pattern is searched in one call.
  bool needs_one_call = false;
};

// PCRE2's \Z also matches before a final line feed; in this dialect it is the very end of the
// text, which PCRE2 spells \z. Only a real \Z escape is rewritten: not an escaped backslash
// followed by Z, not text quoted by \Q...\E, and not inside a class, where \Z stays the error it
// is. The rewrite keeps the length, so compile error offsets still point into the original.
Pattern PreparePattern(std::string_view expression) {
  Pattern p{std::string(expression)};
  std::string& out = p.text;
  const std::size_t n = out.size();
  bool quoted = false;
  bool in_class = false;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = out[i];
    if (quoted) {
      if (c == '\\' && i + 1 < n && out[i + 1] == 'E') {
        quoted = false;
        ++i;
      }
      continue;
    }
    if (c == '\\') {
      if (i + 1 >= n) break;
      const char e = out[i + 1];
      if (e == 'Q') {
        quoted = true;
      } else if (e == 'Z' && !in_class) {
        out[i + 1] = 'z';
      } else if (e == 'G') {
        p.needs_one_call = true;
      } else if (e == 'c' && i + 2 < n) {
        ++i;  // \c takes the next character, a backslash included, as its operand
      }
      ++i;
      continue;
    }
    if (in_class) {
      if (c == '[' && i + 1 < n && (out[i + 1] == ':' || out[i + 1] == '.' || out[i + 1] == '=')) {
        // A POSIX class such as [:alpha:] ends at its own ":]", not at the first ']'.
        const std::size_t close = out.find(']', i + 2);
        if (close != std::string::npos && close > i + 2 && out[close - 1] == out[i + 1]) i = close;
      } else if (c == ']') {
        in_class = false;
      }
      continue;
    }
    if (c == '(' && i + 1 < n && out[i + 1] == '*') {
      const std::string_view verb = std::string_view(out).substr(i + 2);
      for (std::string_view v : {"COMMIT", "SKIP", "NOTEMPTY_ATSTART"}) {
        if (verb.starts_with(v)) p.needs_one_call = true;
      }
    }
    if (c == '[') {
      in_class = true;
      // A ']' right after the opening bracket (or after its '^') is a member, not the end.
      std::size_t j = i + 1;
      if (j < n && out[j] == '^') ++j;
      if (j < n && out[j] == ']') ++j;
      i = j - 1;
    }
  }
  return p;
}

// The clock of one search: its time budget, and the moments at which the interrupt is asked.
// Reading the clock is left to the first check, which comes only once the first window has
// failed: most searches end in it.
class SearchClock {
 public:
  explicit SearchClock(const std::function<bool()>& interrupt) : interrupt_(interrupt) {}

  // 0 while the search may go on; kRunaway once its time is up; kStopped when the interrupt asked
  // to stop or threw (Rethrow passes on what it threw).
  int Check(Clock::time_point now) {
    if (!deadline_) {
      deadline_ = now + kSearchTimeBudget;
      next_interrupt_ = now + kInterruptInterval;
      return 0;
    }
    if (now >= *deadline_) return kRunaway;
    if (!interrupt_ || now < next_interrupt_) return 0;
    try {
      if (interrupt_()) return kStopped;
    } catch (...) {
      // The guarded matcher calls this from inside the library, where no exception may pass.
      error_ = std::current_exception();
      return kStopped;
    }
    next_interrupt_ = Clock::now() + kInterruptInterval;
    return 0;
  }

  // What the guarded matcher calls before every item of the expression.
  int Callout() {
    if (--callouts_left_ > 0) return 0;
    callouts_left_ = kCalloutsPerCheck;
    return Check(Clock::now());
  }

  void Rethrow() const {
    if (error_) std::rethrow_exception(error_);
  }

 private:
  const std::function<bool()>& interrupt_;
  std::optional<Clock::time_point> deadline_;
  Clock::time_point next_interrupt_{};
  int callouts_left_ = 1;
  std::exception_ptr error_;
};

int OnCallout(pcre2_callout_block*, void* clock) {
  return static_cast<SearchClock*>(clock)->Callout();
}

}  // namespace

struct RegExpr::Impl {
  using MatchContext = CHandle<pcre2_match_context, pcre2_match_context_free>;

  CHandle<pcre2_compile_context, pcre2_compile_context_free> compile_context{
      pcre2_compile_context_create(nullptr)};
  // The plain matcher's context, whose step limit SearchRange sets call by call, and the guarded
  // matcher's.
  MatchContext step_context{pcre2_match_context_create(nullptr)};
  MatchContext guarded_context{pcre2_match_context_create(nullptr)};
  CHandle<pcre2_jit_stack, pcre2_jit_stack_free> jit_stack{
      pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr)};
  CHandle<pcre2_match_data, pcre2_match_data_free> match_data{
      pcre2_match_data_create(kMaxGroups + 1, nullptr)};
  CHandle<pcre2_code, pcre2_code_free> code;
  // The same expression with a callout before every item; compiled when first needed.
  CHandle<pcre2_code, pcre2_code_free> guarded;
  std::string expression;
  std::string pattern_text;  // as handed to pcre2_compile
  std::uint32_t pattern_options = 0;

  bool needs_one_call = false;
  std::function<bool()> interrupt;
  bool searching = false;

  // The last search: its subject, and how many ovector pairs hold a match (0 = no match).
  std::string_view subject;
  int pairs = 0;

  Impl() {
    if (!compile_context || !step_context || !guarded_context || !match_data) {
      throw RegExprError("the expression engine could not allocate its memory");
    }
    pcre2_set_character_tables(compile_context.get(), kTables.data());
    pcre2_set_newline(compile_context.get(), PCRE2_NEWLINE_LF);
    for (pcre2_match_context* context : {step_context.get(), guarded_context.get()}) {
      pcre2_set_depth_limit(context, kMatchLimit);
      pcre2_set_heap_limit(context, kHeapLimitKiB);
      // No JIT stack when the library was built without JIT; the interpreter needs none.
      if (jit_stack) pcre2_jit_stack_assign(context, nullptr, jit_stack.get());
    }
    pcre2_set_match_limit(guarded_context.get(), kMatchLimit);
  }

  void Compile(std::string_view text) {
    code.reset();
    guarded.reset();
    expression.clear();
    Forget();
    const Pattern pattern = PreparePattern(text);
    std::uint32_t options = kCompileOptions;
    code = CompilePattern(pattern.text, options);
    std::uint32_t groups = 0;
    pcre2_pattern_info(code.get(), PCRE2_INFO_CAPTURECOUNT, &groups);
    if (groups > static_cast<std::uint32_t>(kMaxGroups)) {
      code.reset();
      throw RegExprError("invalid expression: " + std::to_string(groups) +
                         " capturing groups, at most " + std::to_string(kMaxGroups) +
                         " are allowed");
    }
    // PCRE2 never marks byte 0xFF as a caseless first or last code unit (no Latin-1 capital
    // pairs with it), but here it does: the search would skip the capital 0xDF. Without the
    // start optimizations the search looks at every position instead.
    if (KnownCodeUnit(PCRE2_INFO_FIRSTCODETYPE, PCRE2_INFO_FIRSTCODEUNIT) == 0xFF ||
        KnownCodeUnit(PCRE2_INFO_LASTCODETYPE, PCRE2_INFO_LASTCODEUNIT) == 0xFF) {
      options |= PCRE2_NO_START_OPTIMIZE;
      code = CompilePattern(pattern.text, options);
    }
    // Without JIT support, or when the JIT compiler gives up, the interpreter matches instead.
    pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);
    needs_one_call = pattern.needs_one_call;
    pattern_text = pattern.text;
    pattern_options = options;
    expression.assign(text);
  }

  CHandle<pcre2_code, pcre2_code_free> CompilePattern(const std::string& text,
                                                      std::uint32_t options) const {
    int error = 0;
    PCRE2_SIZE offset = 0;
    CHandle<pcre2_code, pcre2_code_free> compiled(
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.c_str()), text.size(), options, &error,
                      &offset, compile_context.get()));
    if (!compiled) {
      throw RegExprError("invalid expression at offset " + std::to_string(offset) + ": " +
                         ErrorText(error));
    }
    return compiled;
  }

  pcre2_code* Guarded() {
    if (!guarded) {
      // The text compiled once already; with callouts it can only fail for want of memory.
      guarded = CompilePattern(pattern_text, pattern_options | PCRE2_AUTO_CALLOUT);
      pcre2_jit_compile(guarded.get(), PCRE2_JIT_COMPLETE);
    }
    return guarded.get();
  }

  // The code unit every match starts with (or must contain), or -1 when PCRE2 knows none.
  int KnownCodeUnit(std::uint32_t type_info, std::uint32_t unit_info) const {
    std::uint32_t type = 0;
    std::uint32_t unit = 0;
    pcre2_pattern_info(code.get(), type_info, &type);
    if (type != 1) return -1;
    pcre2_pattern_info(code.get(), unit_info, &unit);
    return static_cast<int>(unit);
  }

  void Forget() {
    subject = {};
    pairs = 0;
  }

  void RequireExpression() const {
    if (!code) throw RegExprError("no expression is set");
  }

  // Refuses what would change the engine under a search that is still going on: the interrupt
  // runs in the middle of one.
  void RequireIdle() const {
    if (searching) throw RegExprError("the expression engine is busy with another search");
  }

  // One pcre2_match call over the whole subject whose match must start at or before `last`.
  int MatchOnce(const pcre2_code* with, pcre2_match_context* context, std::size_t start,
                PCRE2_SIZE last) {
    pcre2_set_offset_limit(context, last);
    // An empty view may have no storage; PCRE2 wants a real pointer.
    const char* text = subject.data() != nullptr ? subject.data() : "";
    return pcre2_match(with, reinterpret_cast<PCRE2_SPTR>(text), subject.size(), start, 0,
                       match_data.get(), context);
  }

  int MatchGuarded(SearchClock& clock, std::size_t start, PCRE2_SIZE last) {
    pcre2_set_callout(guarded_context.get(), &OnCallout, &clock);
    return MatchOnce(Guarded(), guarded_context.get(), start, last);
  }

  // The leftmost match starting in from..last, with the full step limit but in calls that stay
  // short. A long but honest match (its steps cheap) costs a few plain calls of growing limit;
  // steps that are slow (each scans far ahead, or there are very many) soon lead to smaller parts
  // of the range and finally to the guarded matcher, which looks at the clock as it goes.
  int SearchRange(SearchClock& clock, std::size_t from, std::size_t last) {
    const std::size_t width = last - from + 1;
    for (std::uint32_t limit = kQuickMatchLimit;;) {
      pcre2_set_match_limit(step_context.get(), limit);
      // Most searches end in their first call, whose low limit keeps it short anyway: only the
      // later ones read the clock.
      const bool timed = limit != kQuickMatchLimit;
      const Clock::time_point began = timed ? Clock::now() : Clock::time_point{};
      const int rc = MatchOnce(code.get(), step_context.get(), from, last);
      if (rc != PCRE2_ERROR_MATCHLIMIT || limit == kMatchLimit) return rc;
      const Clock::time_point now = Clock::now();
      if (const int stop = clock.Check(now); stop != 0) return stop;
      // Steps this slow would make the next call run long: the guarded matcher goes on.
      if (timed && (now - began) * kLimitGrowth > kLongestCall) {
        return MatchGuarded(clock, from, last);
      }
      const std::uint32_t next = std::min(limit * kLimitGrowth, kMatchLimit);
      if (width * next > kCallSteps) break;
      limit = next;
    }
    const std::size_t part = std::max<std::size_t>(width / kWindowParts, 1);
    for (std::size_t at = from;; at += part) {
      const std::size_t end = std::min(at + part - 1, last);
      const int rc = SearchRange(clock, at, end);
      if (rc != PCRE2_ERROR_NOMATCH || end == last) return rc;
      if (const int stop = clock.Check(Clock::now()); stop != 0) return stop;
    }
  }

  // The same leftmost match as one call from `start` would give: each window passes the whole
  // subject (so lookbehind and ^ see the real text) and only limits where a match may begin.
  int SearchWindows(SearchClock& clock, std::size_t start) {
    Clock::time_point began{};
    bool first = true;
    std::size_t window = kFirstWindow;
    for (std::size_t from = start;;) {
      const std::size_t last = subject.size() - from < window ? subject.size() : from + window - 1;
      const int rc = SearchRange(clock, from, last);
      if (rc != PCRE2_ERROR_NOMATCH || last == subject.size()) return rc;
      const Clock::time_point now = Clock::now();
      if (const int stop = clock.Check(now); stop != 0) return stop;
      if (!first) {
        if (now - began > kSlowWindow) {
          window = std::max<std::size_t>(window / 8, 1);
        } else if (now - began < kQuickWindow) {
          window = std::min(window * 4, kLargestWindow);
        }
      }
      first = false;
      began = now;
      from = last + 1;
    }
  }

  bool Search(std::size_t start) {
    if (start > subject.size()) {
      Forget();
      return false;
    }
    SearchClock clock(interrupt);
    int rc = 0;
    searching = true;
    try {
      rc = needs_one_call ? MatchGuarded(clock, start, PCRE2_UNSET) : SearchWindows(clock, start);
    } catch (...) {
      searching = false;
      Forget();
      throw;
    }
    searching = false;
    if (rc == PCRE2_ERROR_NOMATCH) {
      Forget();
      return false;
    }
    if (rc < 0) {
      Forget();
      clock.Rethrow();
      switch (rc) {
        case kStopped:
          throw RegExprStopped("expression stopped: the search was interrupted");
        case PCRE2_ERROR_MATCHLIMIT:
        case PCRE2_ERROR_DEPTHLIMIT:
          throw RegExprError("expression stopped: too much backtracking");
        case PCRE2_ERROR_HEAPLIMIT:
        case PCRE2_ERROR_JIT_STACKLIMIT:
          throw RegExprError("expression stopped: it needs too much memory");
        default:
          throw RegExprError("matching failed: " + ErrorText(rc));
      }
    }
    // 0 would mean the ovector is too small, which 15 pairs for at most 14 groups rule out.
    pairs = rc > 0 ? rc : kMaxGroups + 1;
    return true;
  }

  bool Took(int n) const {
    return n >= 0 && n < pairs && pcre2_get_ovector_pointer(match_data.get())[2 * n] != PCRE2_UNSET;
  }
  std::size_t Start(int n) const { return pcre2_get_ovector_pointer(match_data.get())[2 * n]; }
  std::size_t End(int n) const { return pcre2_get_ovector_pointer(match_data.get())[2 * n + 1]; }
};

RegExpr::RegExpr() : impl_(std::make_unique<Impl>()) {}
RegExpr::~RegExpr() = default;

void RegExpr::SetExpression(std::string_view expression) {
  impl_->RequireIdle();
  // Callers set the expression before every use; recompiling the same text would only cost time.
  if (impl_->code && expression == impl_->expression) {
    impl_->Forget();
    return;
  }
  impl_->Compile(expression);
}

void RegExpr::SetInterrupt(std::function<bool()> interrupt) {
  impl_->interrupt = std::move(interrupt);
}

const std::string& RegExpr::Expression() const {
  return impl_->expression;
}

bool RegExpr::Exec(std::string_view subject) {
  impl_->RequireIdle();
  impl_->RequireExpression();
  impl_->Forget();
  impl_->subject = subject;
  return impl_->Search(0);
}

bool RegExpr::ExecNext() {
  impl_->RequireIdle();
  impl_->RequireExpression();
  if (impl_->pairs == 0) return false;
  const std::size_t start = impl_->Start(0);
  std::size_t next = impl_->End(0);
  // An empty match would be found again at the same place: move on by one byte.
  if (next <= start) next = start + 1;
  return impl_->Search(next);
}

int RegExpr::SubExprMatchCount() const {
  for (int n = std::min(impl_->pairs - 1, kMaxGroups); n >= 1; --n) {
    if (impl_->Took(n)) return n;
  }
  return 0;
}

std::string RegExpr::Match(int n) const {
  return std::string(MatchView(n));
}

std::string_view RegExpr::MatchView(int n) const {
  if (n > kMaxGroups || !impl_->Took(n)) return {};
  return impl_->subject.substr(impl_->Start(n), impl_->End(n) - impl_->Start(n));
}

std::size_t RegExpr::MatchPos(int n) const {
  if (n > kMaxGroups || !impl_->Took(n)) return std::string::npos;
  return impl_->Start(n);
}

std::size_t RegExpr::MatchLen(int n) const {
  if (n > kMaxGroups || !impl_->Took(n)) return 0;
  return impl_->End(n) - impl_->Start(n);
}

std::string RegExpr::Replace(std::string_view subject, std::string_view replacement) {
  if (!Exec(subject)) return std::string(subject);
  std::string out;
  out.reserve(subject.size());
  std::size_t copied = 0;
  do {
    const std::size_t start = impl_->Start(0);
    out.append(subject.substr(copied, start - copied));
    out.append(replacement);
    copied = impl_->End(0);
  } while (ExecNext());
  out.append(subject.substr(copied));
  return out;
}

}  // namespace sorvane
