#pragma once

// The fixed 8-bit case table shared by the case-insensitive text finds and by the expression
// engine's case-insensitive matching. It is the upper-case mapping of the Cyrillic Windows code
// page and does not depend on the locale: a-z fold onto A-Z, 0xE0-0xFF onto 0xC0-0xDF, and
// fifteen further lower-case letters onto their capitals. Every other byte maps to itself.

#include <array>
#include <cstdint>

namespace sorvane {

constexpr std::array<std::uint8_t, 256> MakeUpperCaseTable() {
  std::array<std::uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i)
    t[i] = static_cast<std::uint8_t>(i);
  for (int c = 'a'; c <= 'z'; ++c)
    t[c] = static_cast<std::uint8_t>(c - 'a' + 'A');
  for (int c = 0xE0; c <= 0xFF; ++c)
    t[c] = static_cast<std::uint8_t>(c - 0x20);
  constexpr std::uint8_t pairs[][2] = {
      {0x83, 0x81}, {0x90, 0x80}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D},
      {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xB3, 0xB2}, {0xB4, 0xA5},
      {0xB8, 0xA8}, {0xBA, 0xAA}, {0xBC, 0xA3}, {0xBE, 0xBD}, {0xBF, 0xAF},
  };
  for (const auto& p : pairs)
    t[p[0]] = p[1];
  return t;
}

// kUpperCase[b] is the byte b folds to when letter case is ignored.
inline constexpr std::array<std::uint8_t, 256> kUpperCase = MakeUpperCaseTable();

// The case partner of b (its lower-case form for a capital, its capital for a lower-case letter),
// or b itself when it has none.
constexpr std::array<std::uint8_t, 256> MakeCasePartnerTable() {
  std::array<std::uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i)
    t[i] = static_cast<std::uint8_t>(i);
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t up = kUpperCase[i];
    if (up != i) {
      t[i] = up;
      t[up] = static_cast<std::uint8_t>(i);
    }
  }
  return t;
}

inline constexpr std::array<std::uint8_t, 256> kCasePartner = MakeCasePartnerTable();

}  // namespace sorvane
