#include "import/gint.h"

#include <gtest/gtest.h>

#include <compare>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace sorvane {
namespace {

__extension__ typedef __int128 Wide;

std::string WideToStr(Wide v) {
  if (v == 0) return "0";
  const bool negative = v < 0;
  std::string digits;
  for (; v != 0; v /= 10)
    digits.insert(digits.begin(), static_cast<char>('0' + (negative ? -(v % 10) : v % 10)));
  return negative ? "-" + digits : digits;
}

std::string WideToBin(Wide v) {
  if (v < 0) v = -v;
  if (v == 0) return "0";
  std::string bits;
  for (; v != 0; v /= 2)
    bits.insert(bits.begin(), static_cast<char>('0' + static_cast<int>(v % 2)));
  return bits;
}

std::string Str(const GInt& a) {
  return GIntToStr(*a);
}

// Every test ends with every chain released, also after the operations that throw.
class GIntTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(GIntLiveNodes(), 0u); }
};

TEST_F(GIntTest, DecimalTextInAndOut) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0", "0"},
      {"-0", "0"},  // zero is never negative
      {"000123", "123"},
      {"-000123", "-123"},
      {"10000", "10000"},
      {"-10000", "-10000"},
      {"12345678901234567890123456789", "12345678901234567890123456789"},
      {"  42", "42"},  // characters before the number are skipped
      {"ab-7", "-7"},
      {"x0010", "10"},
  };
  for (const auto& [in, out] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(Str(StrToGInt(in)), out);
  }
}

TEST_F(GIntTest, DecimalTextRefused) {
  for (const std::string text : {"", "abc", "-", "--1", "- 1", "12x", "1 2", "-x5"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(StrToGInt(text), std::invalid_argument);
  }
}

TEST_F(GIntTest, ChainIsDoublyLinkedLeastSignificantFirst) {
  const GInt a = StrToGInt("-1000023456789");
  std::vector<int> limbs;
  const GIntNode* last = nullptr;
  for (const GIntNode* p = a.get(); p; last = p, p = p->next) {
    EXPECT_EQ(p->prev, last);
    limbs.push_back(p->limb);
  }
  EXPECT_EQ(limbs, (std::vector<int>{6789, 2345, 0, 1}));
  EXPECT_EQ(a->sign, 0);
}

// Zero is one limb 0 and not negative, however it is reached: "-0" would be written otherwise,
// and a longer chain would compare above small numbers.
TEST_F(GIntTest, ZeroIsNeverNegative) {
  GInt by_mul_small = StrToGInt("-12345678");
  GIntMulSmall(*by_mul_small, 0);
  GInt zeros[] = {
      StrToGInt("-0000"),
      GIntSub(*StrToGInt("-100000000"), *StrToGInt("-100000000")),
      GIntAdd(*StrToGInt("-5"), *StrToGInt("5")),
      GIntMul(*StrToGInt("0"), *StrToGInt("-5")),
      GIntDivSmall(*StrToGInt("-1"), 2).quotient,
      GIntMod(*StrToGInt("-7"), *StrToGInt("7")),
      std::move(by_mul_small),
  };
  for (const GInt& zero : zeros) {
    EXPECT_EQ(zero->next, nullptr);
    EXPECT_EQ(zero->limb, 0);
    EXPECT_EQ(zero->sign, 1);
  }
}

TEST_F(GIntTest, MultiplySmallInPlace) {
  struct Case {
    std::string a;
    int k;
    std::string product;
  };
  const std::vector<Case> cases = {
      {"99999999", 2, "199999998"},
      {"5", -3, "-15"},
      {"-5", -3, "15"},
      {"-5", 3, "-15"},
      {"99999999", kGIntMulSmallMax, "21474799785252"},  // the carry takes two limbs
      {"1", -kGIntMulSmallMax, "-214748"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " * " + std::to_string(c.k));
    GInt a = StrToGInt(c.a);
    GIntNode* const head = a.get();
    GIntMulSmall(*a, c.k);
    EXPECT_EQ(a.get(), head);
    EXPECT_EQ(Str(a), c.product);
  }
  for (const int k : {kGIntMulSmallMax + 1, -kGIntMulSmallMax - 1, INT32_MIN}) {
    GInt a = StrToGInt("-123456789");
    EXPECT_THROW(GIntMulSmall(*a, k), std::out_of_range);
    EXPECT_EQ(Str(a), "-123456789");
  }
}

TEST_F(GIntTest, DivideBySmallTruncates) {
  struct Case {
    std::string a;
    int k;
    std::string quotient;
    int remainder;
  };
  const std::vector<Case> cases = {
      {"10000", 9999, "1", 1},
      {"1000000000000", 7, "142857142857", 1},  // quotient limbs written with their zeros
      {"5", 9999, "0", 5},
      {"-7", 2, "-3", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + std::to_string(c.k));
    const GIntDivResult r = GIntDivSmall(*StrToGInt(c.a), c.k);
    EXPECT_EQ(Str(r.quotient), c.quotient);
    EXPECT_EQ(r.remainder, c.remainder);
  }
  for (const int k : {0, -2, 10000}) {
    EXPECT_THROW(GIntDivSmall(*StrToGInt("9"), k), std::out_of_range);
  }
}

TEST_F(GIntTest, ModIsNeverNegative) {
  const std::vector<std::vector<std::string>> cases = {
      {"12345", "7", "4"},
      {"700", "7", "0"},
      {"3", "7", "3"},
      {"-3", "7", "4"},
      {"-12345", "-7", "3"},
      {"1000000007", "1000", "7"},  // a remainder of 0 is put back as one digit
      {"12345", "9000", "3345"},    // the first chunk is smaller than m and grows by one digit
      {"-123456789012345678901234567890", "31857264095813", "24002349096726"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0] + " mod " + c[1]);
    EXPECT_EQ(Str(GIntMod(*StrToGInt(c[0]), *StrToGInt(c[1]))), c[2]);
  }
  EXPECT_THROW(GIntMod(*StrToGInt("5"), *StrToGInt("0")), std::domain_error);
}

TEST_F(GIntTest, PowerModulo) {
  const std::vector<std::vector<std::string>> cases = {
      {"4", "13", "497", "445"},
      {"5", "0", "1", "0"},  // reduced even when the exponent has one binary digit
      {"10", "1", "7", "3"},
      {"-2", "3", "7", "6"},
      {"123456789", "17460238591627", "31857264095813", "29213718129558"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0] + " ^ " + c[1] + " mod " + c[2]);
    EXPECT_EQ(Str(GIntPowMod(*StrToGInt(c[0]), *StrToGInt(c[1]), *StrToGInt(c[2]))), c[3]);
  }
  for (const char* e : {"3", "1"}) {
    EXPECT_THROW(GIntPowMod(*StrToGInt("5"), *StrToGInt(e), *StrToGInt("0")), std::domain_error);
  }
}

TEST_F(GIntTest, BinaryTextInAndOut) {
  const std::vector<std::pair<std::string, std::string>> to_binary = {
      {"0", "0"},
      {"-5", "101"},  // the sign is not written
      {"31857264095813", "111001111100101011000111010001111001001000101"},
      {"18446744073709551616", "1" + std::string(64, '0')},
  };
  for (const auto& [decimal, binary] : to_binary) {
    SCOPED_TRACE(decimal);
    EXPECT_EQ(GIntToBin(*StrToGInt(decimal)), binary);
  }
  const std::vector<std::pair<std::string, std::string>> from_binary = {
      {"", "0"},
      {"000101", "5"},
      {std::string(100, '1'), "1267650600228229401496703205375"},
  };
  for (const auto& [binary, decimal] : from_binary) {
    SCOPED_TRACE(binary);
    EXPECT_EQ(Str(BinToGInt(binary)), decimal);
  }
  for (const std::string text : {"102", " 1", "1-"}) {
    EXPECT_THROW(BinToGInt(text), std::invalid_argument);
  }
}

// Random operands across limb boundaries, checked against the compiler's 128-bit integers.
TEST_F(GIntTest, AgreesWithWideIntegers) {
  std::mt19937_64 rng(13);
  const auto operand = [&](int max_digits) {
    std::uniform_int_distribution<int> length(1, max_digits);
    std::uniform_int_distribution<int> digit(0, 9);
    Wide v = 0;
    for (int n = length(rng); n > 0; --n)
      v = v * 10 + digit(rng);
    // Runs of 9s and 0s make carries and borrows cross several limbs.
    if (rng() % 4 == 0) v = v - v % 100000000 + (rng() % 2 ? 99999999 : 0);
    return rng() % 3 == 0 ? -v : v;
  };
  for (int round = 0; round < 400; ++round) {
    const Wide a = operand(18);
    const Wide b = operand(18);
    const int k = static_cast<int>(rng() % 9999) + 1;
    SCOPED_TRACE(WideToStr(a) + " and " + WideToStr(b));
    const GInt ga = StrToGInt(WideToStr(a));
    const GInt gb = StrToGInt(WideToStr(b));
    EXPECT_EQ(Str(GIntAdd(*ga, *gb)), WideToStr(a + b));
    EXPECT_EQ(Str(GIntSub(*ga, *gb)), WideToStr(a - b));
    EXPECT_EQ(Str(GIntMul(*ga, *gb)), WideToStr(a * b));
    const GIntDivResult d = GIntDivSmall(*ga, k);
    EXPECT_EQ(Str(d.quotient), WideToStr(a / k));
    EXPECT_EQ(d.remainder, static_cast<int>(a % k));
    EXPECT_EQ(GIntToBin(*ga), WideToBin(a));
    EXPECT_EQ(Str(BinToGInt(WideToBin(a))), WideToStr(a < 0 ? -a : a));
    const Wide abs_a = a < 0 ? -a : a;
    const Wide abs_b = b < 0 ? -b : b;
    EXPECT_EQ(GIntCompare(*ga, *gb), abs_a < abs_b   ? std::strong_ordering::less
                                     : abs_a > abs_b ? std::strong_ordering::greater
                                                     : std::strong_ordering::equal);
    if (b != 0) {
      const Wide mod = ((a % abs_b) + abs_b) % abs_b;
      EXPECT_EQ(Str(GIntMod(*ga, *gb)), WideToStr(mod));
      const Wide m = abs_b;
      Wide expected = 1 % m;
      Wide base = ((a % m) + m) % m;
      const Wide e = abs_a % 100000;
      for (Wide x = e; x > 0; x /= 2, base = base * base % m) {
        if (x % 2) expected = expected * base % m;
      }
      if (m < (Wide{1} << 60)) {
        EXPECT_EQ(Str(GIntPowMod(*ga, *StrToGInt(WideToStr(e)), *gb)), WideToStr(expected));
      }
    }
  }
}

}  // namespace
}  // namespace sorvane
