#pragma once

// Reading decimal numbers stored as text (translation rule arguments, sub-expression references,
// repetition counts).

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "engine/runerror.h"

namespace sorvane {

// The value of `text` as a 32-bit signed integer: an optional "+" or "-" and at least one decimal
// digit, nothing else (no blanks); nullopt when it is not such a number or does not fit.
inline std::optional<int> DecimalInt32(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
  return static_cast<int>(value);
}

// As DecimalInt32, but a text that is not such a number throws RunError.
inline int RequireDecimalInt32(std::string_view text) {
  if (const std::optional<int> value = DecimalInt32(text)) return *value;
  throw RunError("'" + std::string(text) + "' is not a valid integer value");
}

}  // namespace sorvane
