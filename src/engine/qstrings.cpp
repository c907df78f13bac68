#include "engine/qstrings.h"

#include <string.h>  // memmem

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/casetable.h"

namespace sorvane {
namespace {

using Byte = unsigned char;

// The 0-based candidate range [first, last] of a find, or false when the find text is empty, the
// source is empty, or the find text no longer fits from `start`. Nothing is read here.
bool CandidateRange(std::size_t find_len, std::size_t source_len, std::size_t start,
                    std::size_t& first, std::size_t& last) {
  if (find_len == 0 || source_len == 0 || find_len > source_len) return false;
  first = start < 1 ? 0 : start - 1;
  last = source_len - find_len;
  return first <= last;
}

const Byte* Bytes(std::string_view text) {
  return reinterpret_cast<const Byte*>(text.data());
}

bool MatchesFolded(const Byte* at, const Byte* find, std::size_t len) {
  for (std::size_t k = 0; k < len; ++k) {
    if (kUpperCase[at[k]] != kUpperCase[find[k]]) return false;
  }
  return true;
}

// A rough guess of how often a byte, in either letter case, turns up in web pages and plain text
// (higher is more frequent). It only decides which two bytes of the find text the scan looks for
// first; every candidate is still compared in full, so a poor guess costs speed, never
// correctness.
constexpr std::array<std::uint8_t, 256> MakeCommonnessTable() {
  std::array<std::uint8_t, 256> folded{};
  for (int b = 0; b < 256; ++b) {
    folded[b] = 40;  // other controls, symbols and 0x80-0xBF
  }
  for (int b = 0xC0; b <= 0xDF; ++b) {
    folded[b] = 100;  // the capitals the Cyrillic letters fold onto
  }
  for (int b = '0'; b <= '9'; ++b) {
    folded[b] = 130;
  }
  constexpr const char* kLetters = "ETAOINSRHLDCUMFPGWYBVKXJQZ";  // most frequent first
  for (int k = 0; kLetters[k] != '\0'; ++k) {
    folded[static_cast<Byte>(kLetters[k])] = static_cast<std::uint8_t>(200 - 5 * k);
  }
  constexpr struct {
    char byte;
    std::uint8_t score;
  } kMarkup[] = {
      {' ', 250},  {'<', 200},  {'>', 200}, {'"', 190},  {'=', 190}, {'/', 180}, {'\n', 170},
      {'\r', 140}, {'\t', 140}, {'-', 140}, {'.', 140},  {':', 120}, {',', 120}, {';', 110},
      {'_', 100},  {'#', 100},  {'&', 100}, {'\'', 100}, {'(', 90},  {')', 90},
  };
  for (const auto& m : kMarkup) {
    folded[static_cast<Byte>(m.byte)] = m.score;
  }
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    t[b] = folded[kUpperCase[b]];
  }
  return t;
}

constexpr std::array<std::uint8_t, 256> kCommonness = MakeCommonnessTable();

// Only the first bytes of a long find text are considered as probes, which keeps the set-up of
// each call short.
constexpr std::size_t kProbeWindow = 16;

// The two offsets into the find text whose bytes the scan tests before a full comparison: the
// rarest-looking byte (the earliest of equals) and the next rarest (the latest of equals, as bytes
// further apart are less likely to occur together by chance). A one-byte find uses its only byte
// twice.
struct Probes {
  std::size_t first;
  std::size_t second;
};

Probes ChooseProbes(const Byte* find, std::size_t len) {
  if (len == 1) return {0, 0};
  std::size_t a = 0;
  std::size_t b = 1;
  unsigned a_score = kCommonness[find[0]];
  unsigned b_score = kCommonness[find[1]];
  if (b_score < a_score) {
    std::swap(a, b);
    std::swap(a_score, b_score);
  }
  const std::size_t window = std::min(len, kProbeWindow);
  for (std::size_t k = 2; k < window; ++k) {
    const unsigned score = kCommonness[find[k]];
    if (score < a_score) {
      b = a;
      b_score = a_score;
      a = k;
      a_score = score;
    } else if (score <= b_score) {
      b = k;
      b_score = score;
    }
  }
  return {a, b};
}

constexpr std::size_t npos = std::numeric_limits<std::size_t>::max();

// First candidate in [first, last] (0-based) where the whole find text matches through the case
// table, or `npos`. The caller guarantees last + len <= the source's length, so no byte past the
// source is read.
std::size_t FindFolded(const Byte* src, std::size_t first, std::size_t last, const Byte* find,
                       std::size_t len) {
  const Probes probes = ChooseProbes(find, len);
  const Byte a = find[probes.first];
  const Byte a_partner = kCasePartner[a];
  const Byte b = find[probes.second];
  const Byte b_partner = kCasePartner[b];
  std::size_t p = first;
#if defined(__SSE2__)
  // Sixteen candidates at a time: one load at each probe offset, compared against both case
  // variants of the probe byte. Candidates p..p+15 must all be <= last.
  const __m128i va = _mm_set1_epi8(static_cast<char>(a));
  const __m128i va_partner = _mm_set1_epi8(static_cast<char>(a_partner));
  const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
  const __m128i vb_partner = _mm_set1_epi8(static_cast<char>(b_partner));
  const Byte* at_a = src + probes.first;
  const Byte* at_b = src + probes.second;
  while (p <= last && last - p >= 15) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at_a + p));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at_b + p));
    const __m128i hit_x = _mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, va_partner));
    const __m128i hit_y = _mm_or_si128(_mm_cmpeq_epi8(y, vb), _mm_cmpeq_epi8(y, vb_partner));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(hit_x, hit_y)));
    while (mask != 0) {
      const std::size_t candidate = p + static_cast<std::size_t>(std::countr_zero(mask));
      if (MatchesFolded(src + candidate, find, len)) return candidate;
      mask &= mask - 1;
    }
    p += 16;
  }
#endif
  for (; p <= last; ++p) {
    const Byte x = src[p + probes.first];
    const Byte y = src[p + probes.second];
    if ((x == a || x == a_partner) && (y == b || y == b_partner) &&
        MatchesFolded(src + p, find, len)) {
      return p;
    }
  }
  return npos;
}

// Every non-overlapping occurrence of `find` replaced, with `pos` as the find (PosStr or
// PosText). The occurrences are counted first so that the result is allocated once.
template <typename Pos>
std::string ReplaceAll(std::string_view source, std::string_view find, std::string_view replacement,
                       Pos pos) {
  if (find.empty()) return std::string(source);
  std::size_t count = 0;
  for (std::size_t at = pos(find, source, 1); at != 0; at = pos(find, source, at + find.size())) {
    ++count;
  }
  if (count == 0) return std::string(source);

  std::size_t length = source.size() - count * find.size();
  if (replacement.size() > 0 && count > (std::string().max_size() - length) / replacement.size()) {
    throw std::length_error("replacement result too long");
  }
  length += count * replacement.size();

  std::string result;
  result.reserve(length);
  std::size_t copied = 0;  // 0-based index of the first source byte not yet in the result
  for (std::size_t at = pos(find, source, 1); at != 0; at = pos(find, source, at + find.size())) {
    result.append(source.substr(copied, at - 1 - copied));
    result.append(replacement);
    copied = at - 1 + find.size();
  }
  result.append(source.substr(copied));
  return result;
}

}  // namespace

std::size_t PosStr(std::string_view find, std::string_view source, std::size_t start) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!CandidateRange(find.size(), source.size(), start, first, last)) return 0;
  // The search area ends with the last byte of the last candidate, which is the source's last.
  const void* hit = memmem(source.data() + first, source.size() - first, find.data(), find.size());
  if (hit == nullptr) return 0;
  return static_cast<std::size_t>(static_cast<const char*>(hit) - source.data()) + 1;
}

std::size_t PosText(std::string_view find, std::string_view source, std::size_t start) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!CandidateRange(find.size(), source.size(), start, first, last)) return 0;
  const Byte* src = Bytes(source);
  const Byte* pattern = Bytes(find);
  if (find.size() == 1 && kCasePartner[pattern[0]] == pattern[0]) {
    // A byte without a case partner only ever matches itself.
    const void* hit = std::memchr(src + first, pattern[0], last - first + 1);
    if (hit == nullptr) return 0;
    return static_cast<std::size_t>(static_cast<const Byte*>(hit) - src) + 1;
  }
  const std::size_t found = FindFolded(src, first, last, pattern, find.size());
  return found == npos ? 0 : found + 1;
}

std::string ReplaceStr(std::string_view source, std::string_view find,
                       std::string_view replacement) {
  return ReplaceAll(source, find, replacement, PosStr);
}

std::string ReplaceText(std::string_view source, std::string_view find,
                        std::string_view replacement) {
  return ReplaceAll(source, find, replacement, PosText);
}

void TrimInPlace(std::string& text) {
  const auto kept = [](char c) { return static_cast<unsigned char>(c) > 32; };
  const auto begin = std::find_if(text.begin(), text.end(), kept);
  if (begin == text.end()) {
    text.clear();
    return;
  }
  const auto end = std::find_if(text.rbegin(), text.rend(), kept).base();
  text.erase(end, text.end());
  text.erase(text.begin(), begin);
}

}  // namespace sorvane
