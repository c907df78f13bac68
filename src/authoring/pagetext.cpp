#include "authoring/pagetext.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string>
#include <utility>

#include "core/ascii.h"
#include "core/chandle.h"

namespace sorvane {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr std::size_t kMetaScan = 16 * 1024;

using Converter = CHandle<void, iconv_close>;

// A converter between `from` and `to`, or none when the system does not know one of them.
Converter Open(const std::string& to, const std::string& from) {
  const iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return Converter(cd);
}

enum class Outcome { kDone, kIncomplete, kInvalid };

// Converts all of `in` from its initial state; `out` gets the result.
Outcome Convert(iconv_t cd, std::string_view in, std::string& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string input(in);
  char* in_ptr = input.data();
  std::size_t in_left = input.size();
  out.clear();
  std::array<char, 256> buffer{};
  for (;;) {
    char* out_ptr = buffer.data();
    std::size_t out_left = buffer.size();
    const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    const int error = errno;
    out.append(buffer.data(), buffer.size() - out_left);
    if (rc != static_cast<std::size_t>(-1)) break;
    if (error == E2BIG) continue;
    return error == EINVAL ? Outcome::kIncomplete : Outcome::kInvalid;
  }
  char* out_ptr = buffer.data();
  std::size_t out_left = buffer.size();
  iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
  out.append(buffer.data(), buffer.size() - out_left);
  return Outcome::kDone;
}

// The length of the valid UTF-8 sequence at the start of `s`, or 0.
std::size_t Utf8Length(std::string_view s) {
  const auto at = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  if (at(1) < low || at(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (at(i) < 0x80 || at(i) > 0xBF) return 0;
  }
  return length;
}

bool IsUtf8Name(std::string_view charset) {
  std::string name;
  for (char c : charset) {
    if (c != '-' && c != '_') name += AsciiLower(c);
  }
  return name == "utf8";
}

// Names that pages use for what is in fact Windows-1252, as browsers read them.
std::string SystemName(std::string_view charset) {
  const std::string name = AsciiLower(charset);
  if (name == "iso-8859-1" || name == "iso8859-1" || name == "latin1" || name == "l1" ||
      name == "us-ascii" || name == "ascii") {
    return "WINDOWS-1252";
  }
  return std::string(charset);
}

bool IsTokenChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return IsAsciiAlpha(u) || IsAsciiDigit(u) || c == '-' || c == '_' || c == '.' || c == ':';
}

// The value after "charset" (then blanks, "=", blanks and an optional quote) in `text`, from
// `from` on; empty when there is none.
std::string CharsetParameter(std::string_view text, std::size_t from = 0) {
  const std::string lower = AsciiLower(text);
  for (std::size_t at = lower.find("charset", from); at != std::string::npos;
       at = lower.find("charset", at + 1)) {
    std::size_t p = at + 7;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t'))
      ++p;
    if (p >= text.size() || text[p] != '=') continue;
    ++p;
    while (p < text.size() &&
           (text[p] == ' ' || text[p] == '\t' || text[p] == '"' || text[p] == '\''))
      ++p;
    std::size_t end = p;
    while (end < text.size() && IsTokenChar(text[end]))
      ++end;
    if (end > p) return std::string(text.substr(p, end - p));
  }
  return {};
}

}  // namespace

std::string DeclaredCharset(std::string_view content_type, std::string_view page) {
  std::string declared = CharsetParameter(content_type);
  if (!declared.empty()) return declared;
  if (page.starts_with("\xEF\xBB\xBF")) return "UTF-8";
  if (page.starts_with("\xFF\xFE")) return "UTF-16LE";
  if (page.starts_with("\xFE\xFF")) return "UTF-16BE";
  const std::string head = AsciiLower(page.substr(0, kMetaScan));
  for (std::size_t meta = head.find("<meta"); meta != std::string::npos;
       meta = head.find("<meta", meta + 5)) {
    const std::size_t end = head.find('>', meta);
    const std::string_view tag =
        page.substr(meta, (end == std::string::npos ? head.size() : end) - meta);
    declared = CharsetParameter(tag);
    if (!declared.empty()) return declared;
  }
  return {};
}

PageText::PageText(std::string bytes, std::string_view charset, std::string_view fallback)
    : bytes_(std::move(bytes)) {
  Converter converter;
  charset_ = std::string(charset);
  if (!charset_.empty() && !IsUtf8Name(charset_)) converter = Open("UTF-8", SystemName(charset_));
  if (!converter && !IsUtf8Name(charset_)) {
    charset_ = std::string(fallback);
    if (!IsUtf8Name(charset_)) converter = Open("UTF-8", SystemName(charset_));
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
      const Outcome outcome = Convert(converter.get(), std::string(1, static_cast<char>(b)), out);
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
        const Outcome outcome =
            Convert(converter.get(), std::string_view(bytes_).substr(i, n), out);
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
  if (IsUtf8Name(charset_)) return std::string(typed);
  const Converter converter = Open(SystemName(charset_), "UTF-8");
  std::string out;
  if (!converter || Convert(converter.get(), typed, out) != Outcome::kDone)
    return std::string(typed);
  return out;
}

}  // namespace sorvane
