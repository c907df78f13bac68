#pragma once

// A fetched page as the page source viewer shows it. The screen needs text in one encoding, but
// what the user takes from the page (a column title, an open or close tag) must be the page's own
// bytes, so that a run finds it in the page byte for byte. PageText keeps both: the page's bytes,
// the text decoded for the screen (UTF-8), and where each piece of that text came from.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pageencoding.h"

namespace sorvane {

class PageText {
 public:
  PageText() = default;
  // Decodes `bytes` with `charset`; when the system cannot decode that charset (or it is empty),
  // with `fallback` (a name the system knows, such as "UTF-8"). Bytes that are no character of
  // the charset are shown as U+FFFD, each standing for its own bytes.
  PageText(std::string bytes, std::string_view charset, std::string_view fallback);

  const std::string& Bytes() const { return bytes_; }
  // The text for the screen, UTF-8.
  const std::string& Display() const { return display_; }
  // The charset the text was decoded with.
  const std::string& Charset() const { return charset_; }

  // The page's bytes behind Display()[from, to) (byte offsets of the display text at character
  // boundaries; clamped to the text).
  std::string Source(std::size_t from, std::size_t to) const;

  // Text typed by the user (UTF-8) as bytes of the page's charset, so that it can be compared
  // with the page; when some character has no form in that charset, the UTF-8 bytes unchanged.
  std::string Encode(std::string_view typed) const;

 private:
  std::string bytes_;
  std::string display_;
  std::string charset_;
  // origin_[i]: the offset in bytes_ of the character that display_[i] belongs to;
  // origin_[display_.size()] == bytes_.size().
  std::vector<std::uint32_t> origin_;
};

}  // namespace sorvane
