#pragma once

// Writing templet files for tests. The program only decodes them, and its own key cannot be
// inverted (its exponent shares factors with the modulus's lambda), so tests write their files
// for a sound test key of the same size and decode them with that key.
//
// Contract: for any bytes `record`,
//   DecodeRecordLine(EncodeRecordLine(record), exponent, modulus) == record
// where exponent and modulus are StrToGInt of kTplTestKey's texts. Each line of
// EncodeTempletFile(records) decodes, in order, into the matching record. The encoder does its
// arithmetic on the compiler's 128-bit integers and restates the byte pattern table, so it does
// not lean on the decoder it tests.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane::test {

struct TplKey {
  std::uint64_t modulus;   // a product of two distinct primes, below 2^62
  std::uint64_t exponent;  // the decoder's exponent, coprime to lambda(modulus)
  std::uint64_t inverse;   // the exponent's inverse modulo lambda(modulus): the encoder's
  std::string ModulusText() const { return std::to_string(modulus); }
  std::string ExponentText() const { return std::to_string(exponent); }
};

// 5000011 * 6123487: fourteen decimal and 45 binary digits, like the program's key.
inline constexpr TplKey kTplTestKey{30617502358357u, 17460238591631u, 4940386155641u};

// The record line (upper-case hexadecimal) that decodes into `record` under `key`.
std::string EncodeRecordLine(std::string_view record, const TplKey& key = kTplTestKey);

// The record line whose decoded binary digits are `bits`, give or take "0" digits in front.
// With bits = "111" + the patterns of a record's bytes this is EncodeRecordLine; a text without
// "111" makes a line that has no start marker (an empty or all-zero text makes the empty line).
std::string EncodeBitsLine(std::string_view bits, const TplKey& key = kTplTestKey);

// A templet file: one record line per record, in order, each ended by `line_break`.
std::string EncodeTempletFile(const std::vector<std::string>& records,
                              std::string_view line_break = "\r\n",
                              const TplKey& key = kTplTestKey);

}  // namespace sorvane::test
