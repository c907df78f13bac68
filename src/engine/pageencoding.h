#pragma once

// The character set of a page and conversions between it and UTF-8, through the system's iconv.
// Used by a run whose templet converts its pages to UTF-8, by the "Decode Entities(@)" rule
// (characters written in the page's own charset) and by the page source viewer.
//
// Charset names are compared without regard to letter case; "ISO-8859-1", "latin1" and
// "US-ASCII" are read as Windows-1252, as browsers read them.

#include <iconv.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/chandle.h"

namespace sorvane {

// The charset a page declares: the charset parameter of its Content-Type header when there is
// one, else a byte order mark, else the first "<meta ... charset=...>" (also the content of an
// http-equiv meta) among its first 16 KiB. Empty when it declares none. Letter case as written.
std::string DeclaredCharset(std::string_view content_type, std::string_view page);

// The charset a page is read with: the declared one, else "UTF-8" when the bytes are valid UTF-8,
// else "WINDOWS-1252".
std::string PageCharset(std::string_view content_type, std::string_view page);

// True for the names of UTF-8 ("utf-8", "UTF8", "utf_8").
bool IsUtf8Charset(std::string_view charset);
// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// The length of the valid UTF-8 sequence at the start of `s`, or 0 (also for an empty `s`).
std::size_t Utf8Length(std::string_view s);
// Appends character `code` (at most U+10FFFF) to `out` in UTF-8.
void AppendUtf8(std::string& out, char32_t code);
// The name iconv knows `charset` by (the Windows-1252 aliases above).
std::string SystemCharsetName(std::string_view charset);

// `bytes` of `charset` as UTF-8, with the UTF-8 byte order mark removed. A byte sequence that is
// no character of the charset becomes U+FFFD; a charset the system does not know is read as
// Windows-1252. UTF-8 input is checked the same way.
std::string ToUtf8(std::string_view bytes, std::string_view charset);

// `text` (UTF-8) in `charset`; nothing when some character has no form there or the system does
// not know the charset.
std::optional<std::string> FromUtf8(std::string_view text, std::string_view charset);

// One iconv conversion, opened once and used for any number of texts.
class CharsetConverter {
 public:
  enum class Outcome { kDone, kIncomplete, kInvalid };

  // A converter from `from` to `to` (system names), or nothing when the system does not know one
  // of them.
  static std::optional<CharsetConverter> Open(const std::string& to, const std::string& from);

  // Converts all of `in` from the initial state into `out`. When it stops early, `out` holds
  // what came before the byte it stopped at, and `consumed` (when given) that byte's offset.
  Outcome Convert(std::string_view in, std::string& out, std::size_t* consumed = nullptr) const;

 private:
  using Handle = CHandle<void, iconv_close>;
  explicit CharsetConverter(Handle handle) : handle_(std::move(handle)) {}
  Handle handle_;
};

}  // namespace sorvane
