#pragma once

// Arbitrary-precision signed integers for decoding templet files.
//
// A number is a sign and a chain of limbs in base 10000, least significant limb first. The chain
// is doubly linked, and a number is referred to by its least significant node; only that node's
// sign flag counts. Zero is one limb 0 and is never negative; a number's most significant limb is
// not 0 unless the number is zero.
//
// Ownership: every function that yields a number yields a new chain owned by a GInt, which
// releases it (through GIntFree) when it goes out of scope, also when an exception passes.
// Operands are taken as const references to their least significant node and left as they were;
// only GIntMulSmall changes its operand, in place.
//
// Limb nodes come from a pool of the calling thread: a number must be released by the thread
// that made it, and none may outlive that thread (so no GInt in static storage).
//
// Errors: a caller's mistake throws a standard exception and leaks nothing:
// std::invalid_argument for a text that is not a number, std::out_of_range for a small factor
// or divisor out of its range, std::domain_error for a zero modulus.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/chandle.h"

namespace sorvane {

struct GIntNode {
  std::uint8_t sign;  // 1 = not negative; counts only in the least significant node
  std::int32_t limb;  // 0 to 9999
  GIntNode* next;     // the next more significant limb, or null
  GIntNode* prev;     // the next less significant limb, or null
};

// Releases the whole chain that `a` (a least significant node, or null) refers to.
void GIntFree(GIntNode* a) noexcept;

using GInt = CHandle<GIntNode, GIntFree>;

// Limb nodes currently allocated by the calling thread (every live chain's length, summed).
std::size_t GIntLiveNodes() noexcept;

// Decimal text in: leading characters other than "-" and digits are skipped; a "-" makes the
// number negative; then one or more digits must end the text. Leading zeros are dropped ("-0"
// is zero). Throws std::invalid_argument otherwise.
GInt StrToGInt(std::string_view text);

// Decimal text out: "-" in front of a negative number, no leading zeros.
std::string GIntToStr(const GIntNode& a);

// Binary digit text of |a|, most significant first, no leading zeros; zero gives "0".
std::string GIntToBin(const GIntNode& a);

// A text of "0" and "1", most significant first (leading zeros allowed, empty gives 0).
// Throws std::invalid_argument for any other character.
GInt BinToGInt(std::string_view text);

// Compares magnitudes; signs are not looked at.
std::strong_ordering GIntCompare(const GIntNode& a, const GIntNode& b);

GInt GIntAdd(const GIntNode& a, const GIntNode& b);
GInt GIntSub(const GIntNode& a, const GIntNode& b);
GInt GIntMul(const GIntNode& a, const GIntNode& b);

// Multiplies `a` in place by k, limb by limb with carry; a negative k flips the sign.
// |k| must not exceed kGIntMulSmallMax (a limb times k plus the carry fits in 32 bits);
// otherwise std::out_of_range and `a` is unchanged.
inline constexpr int kGIntMulSmallMax = 214748;
void GIntMulSmall(GIntNode& a, int k);

// Quotient and remainder of a by k (1 to 9999, otherwise std::out_of_range). The division
// truncates toward zero: the quotient has a's sign (unless zero) and so has the remainder, as
// for the built-in integers (-7 by 2 gives -3 and -1).
struct GIntDivResult {
  GInt quotient;
  int remainder;
};
GIntDivResult GIntDivSmall(const GIntNode& a, int k);

// Remainder of a by |m|, never negative, by long division over decimal texts.
// Throws std::domain_error when m is zero.
GInt GIntMod(const GIntNode& a, const GIntNode& m);

// b to the power |e|, modulo |m|, by the right-to-left binary method; the result is always
// reduced (0 <= result < |m|). Throws std::domain_error when m is zero.
GInt GIntPowMod(const GIntNode& b, const GIntNode& e, const GIntNode& m);

GInt GIntCopy(const GIntNode& a);

}  // namespace sorvane
