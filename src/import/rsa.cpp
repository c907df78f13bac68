#include "import/rsa.h"

#include <array>

#include "core/ascii.h"

namespace sorvane {

namespace {

int HexDigit(char c) {
  if (IsAsciiDigit(static_cast<unsigned char>(c))) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::uint8_t TableByte(unsigned value) {
  return static_cast<std::uint8_t>((value * 181 + 53) % 256);
}

// The value of eight binary digits, or -1 when one of them is neither "0" nor "1".
int PatternValue(std::string_view pattern) {
  int value = 0;
  for (const char c : pattern) {
    if (c != '0' && c != '1') return -1;
    value = value * 2 + (c - '0');
  }
  return value;
}

using PatternText = std::array<char, 8>;

const std::array<PatternText, 256>& ReverseTable() {
  // Patterns in ascending order, each recorded under its byte: a later pattern with the same
  // byte would replace an earlier one.
  static const std::array<PatternText, 256> table = [] {
    std::array<PatternText, 256> reverse{};
    for (unsigned value = 0; value < 256; ++value) {
      PatternText pattern;
      for (int bit = 0; bit < 8; ++bit)
        pattern[bit] = (value >> (7 - bit)) & 1 ? '1' : '0';
      reverse[TableByte(value)] = pattern;
    }
    return reverse;
  }();
  return table;
}

void PadFront(std::string& digits, std::size_t multiple) {
  const std::size_t remainder = digits.size() % multiple;
  if (remainder != 0) digits.insert(0, multiple - remainder, '0');
}

}  // namespace

std::string HexToStr(std::string_view line) {
  std::string bytes;
  bytes.reserve(line.size() / 2);
  for (std::size_t i = 0; i + 1 < line.size(); i += 2) {
    const int high = HexDigit(line[i]);
    const int low = HexDigit(line[i + 1]);
    if (high < 0 || low < 0) {
      throw DecodeError("'" + std::string(line.substr(i, 2)) + "' at character " +
                        std::to_string(i + 1) + " is not a hexadecimal pair");
    }
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

std::string RsaDecode(std::string_view d, const GIntNode& e, const GIntNode& n) {
  const std::size_t l = GIntToBin(n).size();
  if (l < 2) throw std::invalid_argument("the modulus needs at least two binary digits");

  std::string b = StrToBits(d);
  b.erase(0, std::min(b.find_first_not_of('0'), b.size()));
  PadFront(b, l);

  std::string o;
  for (std::size_t at = 0; at < b.size(); at += l) {
    const GInt c = BinToGInt(std::string_view(b).substr(at, l));
    const GInt p = GIntPowMod(*c, e, n);
    std::string block = GIntToBin(*p);
    PadFront(block, l - 1);
    o += block;
  }

  const std::size_t marker = o.find("111");
  if (marker == std::string::npos) throw DecodeError("the decoded line holds no start marker");
  return BitsToStr(std::string_view(o).substr(marker + 3));
}

std::string DecodeRecordLine(std::string_view line, const GIntNode& e, const GIntNode& n) {
  return RsaDecode(HexToStr(line), e, n);
}

std::uint8_t PatternToByte(std::string_view pattern) {
  const int value = pattern.size() == 8 ? PatternValue(pattern) : -1;
  if (value < 0) throw std::invalid_argument("'" + std::string(pattern) + "' is not a pattern");
  return TableByte(static_cast<unsigned>(value));
}

std::string_view ByteToPattern(std::uint8_t byte) {
  const PatternText& pattern = ReverseTable()[byte];
  return std::string_view(pattern.data(), pattern.size());
}

std::string StrToBits(std::string_view bytes) {
  std::string bits;
  bits.reserve(bytes.size() * 8);
  for (const char c : bytes)
    bits += ByteToPattern(static_cast<std::uint8_t>(c));
  return bits;
}

std::string BitsToStr(std::string_view bits) {
  std::string padded(bits);
  PadFront(padded, 8);
  std::string bytes;
  bytes.reserve(padded.size() / 8);
  for (std::size_t at = 0; at < padded.size(); at += 8) {
    const int value = PatternValue(std::string_view(padded).substr(at, 8));
    if (value < 0) throw std::invalid_argument("the text is not a binary digit text");
    bytes.push_back(static_cast<char>(TableByte(static_cast<unsigned>(value))));
  }
  return bytes;
}

}  // namespace sorvane
