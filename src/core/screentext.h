#pragma once

// The one conversion between the program's bytes (page text, cell values, stored values) and the
// text on the screen: the locale's 8-bit codec. Bytes are never re-encoded on their way through
// the program; only what is shown, and what the user types, passes through here.

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace sorvane {

// The charset of that codec, by the name the C library's converters know it: Qt's local 8-bit
// codec is UTF-8 on the platforms the program is built for.
inline constexpr const char* kScreenCharset = "UTF-8";

// `bytes` as the screen shows them.
inline QString ScreenText(std::string_view bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// What the user typed (or a text on the screen) as the program's bytes.
inline std::string Bytes(const QString& text) {
  const QByteArray encoded = text.toLocal8Bit();
  return std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()));
}

}  // namespace sorvane
