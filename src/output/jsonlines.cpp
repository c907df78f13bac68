#include "output/jsonlines.h"

#include <cstdint>
#include <unordered_set>

#include "core/resultgrid.h"
#include "engine/pageencoding.h"

namespace sorvane {
namespace {

// The characters of Windows-1252 bytes 0x80..0x9F; the unassigned ones keep their own number.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string FromWindows1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : b);
  }
  return out;
}

// Appends `utf8` as a JSON string: quotes around it, `"` `\` and control characters escaped.
void AppendJsonString(ChunkWriter& out, std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.Append('"');
  std::size_t plain = 0;  // start of the run of bytes that need no escape
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b >= 0x20 && b != '"' && b != '\\') continue;
    out.Append(utf8.substr(plain, i - plain));
    plain = i + 1;
    switch (b) {
      case '"':
        out.Append("\\\"");
        break;
      case '\\':
        out.Append("\\\\");
        break;
      case '\n':
        out.Append("\\n");
        break;
      case '\r':
        out.Append("\\r");
        break;
      case '\t':
        out.Append("\\t");
        break;
      default: {
        const char escape[] = {'\\', 'u', '0', '0', kHex[b >> 4], kHex[b & 0xF]};
        out.Append(std::string_view(escape, sizeof escape));
      }
    }
  }
  out.Append(utf8.substr(plain));
  out.Append('"');
}

}  // namespace

std::string AsUtf8(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return FromWindows1252(bytes);
}

std::vector<std::string> UniqueNames(const std::vector<std::string>& titles) {
  const std::unordered_set<std::string> given(titles.begin(), titles.end());
  std::unordered_set<std::string> used;
  std::vector<std::string> names;
  names.reserve(titles.size());
  for (const std::string& title : titles) {
    std::string name = title;
    for (int n = 2; used.contains(name); ++n) {
      name = title + "_" + std::to_string(n);
      if (given.contains(name)) name = title;  // another column's own title: try the next
    }
    used.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

void WriteJsonLines(const ResultGrid& grid, const ByteSink& sink) {
  std::vector<std::string> titles;
  for (const GridColumn& column : grid.Columns())
    titles.push_back(AsUtf8(column.title));
  const std::vector<std::string> names = UniqueNames(titles);

  ChunkWriter out(sink);
  std::string converted;
  for (int r = 1; r <= grid.DataRowCount(); ++r) {
    out.Append('{');
    for (int c = 1; c <= grid.ShownColumnCount(); ++c) {
      if (c > 1) out.Append(',');
      AppendJsonString(out, names[static_cast<std::size_t>(c - 1)]);
      out.Append(':');
      const std::string_view cell = grid.Cell(c, r);
      if (IsValidUtf8(cell)) {
        AppendJsonString(out, cell);
      } else {
        converted = FromWindows1252(cell);
        AppendJsonString(out, converted);
      }
    }
    out.Append("}\n");
  }
  out.Flush();
}

}  // namespace sorvane
