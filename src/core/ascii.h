#pragma once

// Letter case and character classes of plain ASCII, the same whatever locale the process runs
// in (the window sets the user's locale, and the C library's classes follow it). Bytes from 128
// up are never letters or digits here and never change case.

#include <string>
#include <string_view>

namespace sorvane {

constexpr bool IsAsciiUpper(unsigned char c) {
  return c >= 'A' && c <= 'Z';
}
constexpr bool IsAsciiLower(unsigned char c) {
  return c >= 'a' && c <= 'z';
}
constexpr bool IsAsciiAlpha(unsigned char c) {
  return IsAsciiUpper(c) || IsAsciiLower(c);
}
constexpr bool IsAsciiDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

constexpr char AsciiLower(char c) {
  return IsAsciiUpper(static_cast<unsigned char>(c)) ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = AsciiLower(c);
  return out;
}

// True when `a` and `b` are equal but for the letter case of ASCII letters.
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace sorvane
