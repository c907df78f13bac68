#pragma once

// Decoding the record lines of templet files.
//
// A record line is hexadecimal text. Its bytes are spread into binary digits through the byte
// pattern table, cut into blocks as long as the modulus has binary digits, each block is raised
// to the key's exponent modulo its modulus, and the results, joined, are read back into bytes
// after the start marker "111". The key is a parameter: the program passes its own
// (kTempletFileModulus, kTempletFileExponent), parsed once per import.
//
// Errors: a line that cannot be decoded throws DecodeError, whose what() says why (a pair that
// is not hexadecimal, no start marker). Numbers are released on every path.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "import/gint.h"

namespace sorvane {

// The templet file key of the program, as decimal texts for StrToGInt.
inline constexpr std::string_view kTempletFileModulus = "31857264095813";
inline constexpr std::string_view kTempletFileExponent = "17460238591627";

// A record line that has no record text.
class DecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Each pair of characters (either letter case) read as one hexadecimal byte; a last unpaired
// character is ignored. Throws DecodeError for a pair that is not hexadecimal.
std::string HexToStr(std::string_view line);

// The record text of the bytes `d` under exponent `e` and modulus `n`. Throws DecodeError when
// the decoded binary digits hold no start marker (an empty `d` among them), and
// std::invalid_argument when n has fewer than two binary digits.
std::string RsaDecode(std::string_view d, const GIntNode& e, const GIntNode& n);

// RsaDecode of HexToStr of the line.
std::string DecodeRecordLine(std::string_view line, const GIntNode& e, const GIntNode& n);

// The byte pattern table: for the eight-digit binary pattern whose value is v, the byte
// (v * 181 + 53) mod 256. Throws std::invalid_argument unless `pattern` is eight "0" or "1".
std::uint8_t PatternToByte(std::string_view pattern);

// The reverse direction, built once from PatternToByte: the eight-digit pattern of a byte.
std::string_view ByteToPattern(std::uint8_t byte);

// Each byte replaced by its eight-digit pattern, in order.
std::string StrToBits(std::string_view bytes);

// "0" digits put in front of `bits` until its length is a multiple of 8, then each group of
// eight digits gives one byte through PatternToByte. Throws std::invalid_argument for a
// character other than "0" and "1".
std::string BitsToStr(std::string_view bits);

}  // namespace sorvane
