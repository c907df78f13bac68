#include "authoring/pagetext.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

namespace sorvane {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

using Outcome = CharsetConverter::Outcome;

}  // namespace

PageText::PageText(std::string bytes, std::string_view charset, std::string_view fallback)
    : bytes_(std::move(bytes)) {
  std::optional<CharsetConverter> converter;
  charset_ = std::string(charset);
  if (!charset_.empty() && !IsUtf8Charset(charset_))
    converter = CharsetConverter::Open("UTF-8", SystemCharsetName(charset_));
  if (!converter && !IsUtf8Charset(charset_)) {
    charset_ = std::string(fallback);
    if (!IsUtf8Charset(charset_))
      converter = CharsetConverter::Open("UTF-8", SystemCharsetName(charset_));
    if (!converter) charset_ = "UTF-8";
  }

  display_.reserve(bytes_.size() + bytes_.size() / 4);
  origin_.reserve(bytes_.size() + bytes_.size() / 4 + 1);
  const auto emit = [this](std::string_view text, std::size_t from) {
    display_ += text;
    origin_.insert(origin_.end(), text.size(), static_cast<std::uint32_t>(from));
  };

  if (!converter) {
    for (std::size_t i = 0; i < bytes_.size();) {
      const std::size_t length = Utf8Length(std::string_view(bytes_).substr(i));
      if (length == 0) {
        emit(kReplacement, i);
        ++i;
      } else {
        emit(std::string_view(bytes_).substr(i, length), i);
        i += length;
      }
    }
  } else {
    // Every single byte once: a single-byte charset needs nothing more, and the lead bytes of a
    // multi-byte one say so by being incomplete.
    std::array<std::optional<std::string>, 256> single;
    std::array<bool, 256> lead{};
    std::string out;
    for (int b = 0; b < 256; ++b) {
      const Outcome outcome = converter->Convert(std::string(1, static_cast<char>(b)), out);
      if (outcome == Outcome::kDone) single[static_cast<std::size_t>(b)] = out;
      lead[static_cast<std::size_t>(b)] = outcome == Outcome::kIncomplete;
    }
    for (std::size_t i = 0; i < bytes_.size();) {
      const auto b = static_cast<unsigned char>(bytes_[i]);
      if (single[b]) {
        emit(*single[b], i);
        ++i;
        continue;
      }
      std::size_t length = 0;
      for (std::size_t n = 2; lead[b] && n <= 4 && i + n <= bytes_.size(); ++n) {
        const Outcome outcome = converter->Convert(std::string_view(bytes_).substr(i, n), out);
        if (outcome == Outcome::kDone) length = n;
        if (outcome != Outcome::kIncomplete) break;
      }
      if (length == 0) {
        emit(kReplacement, i);
        ++i;
      } else {
        emit(out, i);
        i += length;
      }
    }
  }
  origin_.push_back(static_cast<std::uint32_t>(bytes_.size()));
}

std::string PageText::Source(std::size_t from, std::size_t to) const {
  if (origin_.empty()) return {};
  const std::size_t last = origin_.size() - 1;
  from = std::min(from, last);
  to = std::min(std::max(to, from), last);
  const std::uint32_t begin = origin_[from];
  const std::uint32_t end = origin_[to];
  return bytes_.substr(begin, end - begin);
}

std::string PageText::Encode(std::string_view typed) const {
  if (IsUtf8Charset(charset_)) return std::string(typed);
  const std::optional<CharsetConverter> converter =
      CharsetConverter::Open(SystemCharsetName(charset_), "UTF-8");
  std::string out;
  if (!converter || converter->Convert(typed, out) != Outcome::kDone) return std::string(typed);
  return out;
}

}  // namespace sorvane
