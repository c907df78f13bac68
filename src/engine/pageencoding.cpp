#include "engine/pageencoding.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "core/ascii.h"

namespace sorvane {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kMetaScan = 16 * 1024;

bool IsTokenChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return IsAsciiAlpha(u) || IsAsciiDigit(u) || c == '-' || c == '_' || c == '.' || c == ':';
}

// The value after "charset" (then blanks, "=", blanks and an optional quote) in `text`; empty
// when there is none.
std::string CharsetParameter(std::string_view text) {
  const std::string lower = AsciiLower(text);
  for (std::size_t at = lower.find("charset"); at != std::string::npos;
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
  if (page.starts_with(kUtf8Bom)) return "UTF-8";
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

std::string PageCharset(std::string_view content_type, std::string_view page) {
  std::string charset = DeclaredCharset(content_type, page);
  if (!charset.empty()) return charset;
  return IsValidUtf8(page) ? "UTF-8" : "WINDOWS-1252";
}

bool IsUtf8Charset(std::string_view charset) {
  std::string name;
  for (char c : charset) {
    if (c != '-' && c != '_') name += AsciiLower(c);
  }
  return name == "utf8";
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::size_t Utf8Length(std::string_view s) {
  if (s.empty()) return 0;
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

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    // Runs of ASCII, eight bytes at a time where they fit.
    while (end - p >= 8) {
      std::uint64_t word;
      __builtin_memcpy(&word, p, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      p += 8;
    }
    if (p == end) break;
    const unsigned char b = *p;
    if (b < 0x80) {
      ++p;
      continue;
    }
    int extra;
    std::uint32_t code;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      code = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      code = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      code = b & 0x07;
    } else {
      return false;
    }
    if (end - p <= extra) return false;
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[i] & 0x3F);
    }
    if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (extra == 3 && (code < 0x10000 || code > 0x10FFFF))) {
      return false;
    }
    p += extra + 1;
  }
  return true;
}

std::string SystemCharsetName(std::string_view charset) {
  const std::string name = AsciiLower(charset);
  if (name == "iso-8859-1" || name == "iso8859-1" || name == "iso_8859-1" || name == "latin1" ||
      name == "l1" || name == "us-ascii" || name == "ascii") {
    return "WINDOWS-1252";
  }
  return std::string(charset);
}

std::optional<CharsetConverter> CharsetConverter::Open(const std::string& to,
                                                       const std::string& from) {
  const iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  return CharsetConverter(Handle(cd));
}

CharsetConverter::Outcome CharsetConverter::Convert(std::string_view in, std::string& out,
                                                    std::size_t* consumed) const {
  iconv_t cd = handle_.get();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string input(in);
  char* in_ptr = input.data();
  std::size_t in_left = input.size();
  out.clear();
  std::array<char, 1024> buffer{};
  for (;;) {
    char* out_ptr = buffer.data();
    std::size_t out_left = buffer.size();
    const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    const int error = errno;
    out.append(buffer.data(), buffer.size() - out_left);
    if (rc != static_cast<std::size_t>(-1)) break;
    if (error == E2BIG) continue;
    if (consumed != nullptr) *consumed = input.size() - in_left;
    return error == EINVAL ? Outcome::kIncomplete : Outcome::kInvalid;
  }
  if (consumed != nullptr) *consumed = input.size();
  char* out_ptr = buffer.data();
  std::size_t out_left = buffer.size();
  iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
  out.append(buffer.data(), buffer.size() - out_left);
  return Outcome::kDone;
}

std::string ToUtf8(std::string_view bytes, std::string_view charset) {
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  std::optional<CharsetConverter> converter;
  if (!IsUtf8Charset(charset)) {
    converter = CharsetConverter::Open("UTF-8", SystemCharsetName(charset));
    if (!converter) converter = CharsetConverter::Open("UTF-8", "WINDOWS-1252");
  }
  if (!converter) {
    for (std::size_t i = 0; i < bytes.size();) {
      const std::size_t length = Utf8Length(bytes.substr(i));
      if (length == 0) {
        out += kReplacement;
        ++i;
      } else {
        out += bytes.substr(i, length);
        i += length;
      }
    }
    return out;
  }
  // iconv stops at a byte that is no character: what came before it stays, the byte becomes
  // U+FFFD, and the conversion goes on after it.
  std::string piece;
  while (!bytes.empty()) {
    std::size_t used = 0;
    const CharsetConverter::Outcome outcome = converter->Convert(bytes, piece, &used);
    out += piece;
    if (outcome == CharsetConverter::Outcome::kDone) break;
    out += kReplacement;
    bytes.remove_prefix(std::min(used + 1, bytes.size()));
  }
  return out;
}

std::optional<std::string> FromUtf8(std::string_view text, std::string_view charset) {
  if (IsUtf8Charset(charset)) return std::string(text);
  const std::optional<CharsetConverter> converter =
      CharsetConverter::Open(SystemCharsetName(charset), "UTF-8");
  std::string out;
  if (!converter || converter->Convert(text, out) != CharsetConverter::Outcome::kDone) {
    return std::nullopt;
  }
  return out;
}

}  // namespace sorvane
