#include "import/tplencoder.h"

#include <bit>
#include <stdexcept>

namespace sorvane::test {

namespace {

__extension__ typedef unsigned __int128 Wide;

std::uint64_t PowMod(std::uint64_t base, std::uint64_t exponent, std::uint64_t modulus) {
  Wide result = 1 % modulus;
  Wide square = base % modulus;
  for (; exponent > 0; exponent >>= 1, square = square * square % modulus) {
    if (exponent & 1) result = result * square % modulus;
  }
  return static_cast<std::uint64_t>(result);
}

// The byte pattern table of templet files: pattern value v stands for byte (v * 181 + 53) % 256.
unsigned PatternByte(unsigned value) {
  return (value * 181 + 53) % 256;
}

unsigned PatternOfByte(unsigned char byte) {
  for (unsigned value = 0; value < 256; ++value) {
    if (PatternByte(value) == byte) return value;
  }
  throw std::logic_error("the pattern table misses a byte");
}

void AppendBinary(std::string& bits, std::uint64_t value, int width) {
  for (int bit = width - 1; bit >= 0; --bit)
    bits.push_back((value >> bit) & 1 ? '1' : '0');
}

}  // namespace

std::string EncodeBitsLine(std::string_view bits, const TplKey& key) {
  const int l = std::bit_width(key.modulus);
  const std::size_t chunk = static_cast<std::size_t>(l - 1);

  // Every chunk of l - 1 digits is below the modulus, so it comes back from the decoder as it
  // was, written with l - 1 digits. Encrypted, each takes l digits.
  std::string plain((chunk - bits.size() % chunk) % chunk, '0');
  plain += bits;
  std::string cipher((8 - plain.size() / chunk * l % 8) % 8, '0');
  for (std::size_t at = 0; at < plain.size(); at += chunk) {
    std::uint64_t m = 0;
    for (std::size_t i = at; i < at + chunk; ++i)
      m = m * 2 + (plain[i] == '1' ? 1 : 0);
    AppendBinary(cipher, PowMod(m, key.inverse, key.modulus), l);
  }

  static const char kHex[] = "0123456789ABCDEF";
  std::string line;
  for (std::size_t at = 0; at < cipher.size(); at += 8) {
    unsigned value = 0;
    for (std::size_t i = at; i < at + 8; ++i)
      value = value * 2 + (cipher[i] == '1' ? 1 : 0);
    const unsigned byte = PatternByte(value);
    line.push_back(kHex[byte / 16]);
    line.push_back(kHex[byte % 16]);
  }
  return line;
}

std::string EncodeRecordLine(std::string_view record, const TplKey& key) {
  std::string bits = "111";
  for (const char c : record)
    AppendBinary(bits, PatternOfByte(static_cast<unsigned char>(c)), 8);
  return EncodeBitsLine(bits, key);
}

std::string EncodeTempletFile(const std::vector<std::string>& records, std::string_view line_break,
                              const TplKey& key) {
  std::string file;
  for (const std::string& record : records) {
    file += EncodeRecordLine(record, key);
    file += line_break;
  }
  return file;
}

}  // namespace sorvane::test
