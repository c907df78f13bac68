#include "output/csv.h"

#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>

#include "core/resultgrid.h"
#include "engine/qstrings.h"

namespace sorvane {
namespace {

// Appends `text` enclosed in quotes, inner quotes doubled, preceded by `separator` when it is
// not 0.
void AppendField(ChunkWriter& out, char separator, std::string_view text) {
  const bool quotes = std::memchr(text.data(), '"', text.size()) != nullptr;
  // The common case in one piece: no quote inside, and room in the buffer.
  if (!quotes) {
    if (char* p = out.Reserve(text.size() + 3)) {
      char* const start = p;
      if (separator != 0) *p++ = separator;
      *p++ = '"';
      std::memcpy(p, text.data(), text.size());
      p += text.size();
      *p++ = '"';
      out.Advance(static_cast<std::size_t>(p - start));
      return;
    }
  }
  if (separator != 0) out.Append(separator);
  out.Append('"');
  if (quotes) {
    out.Append(ReplaceStr(text, "\"", "\"\""));
  } else {
    out.Append(text);
  }
  out.Append('"');
}

}  // namespace

void WriteCsv(const ResultGrid& grid, const ByteSink& sink, CsvOptions options) {
  ChunkWriter out(sink);
  if (options.utf8_bom) out.Append("\xEF\xBB\xBF");
  const int columns = grid.ShownColumnCount();
  for (int c = 1; c <= columns; ++c)
    AppendField(out, c > 1 ? ',' : 0, grid.Columns()[static_cast<std::size_t>(c - 1)].title);
  out.Append("\r\n");
  const int rows = grid.DataRowCount();
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= columns; ++c)
      AppendField(out, c > 1 ? ',' : 0, grid.Cell(c, r));
    out.Append("\r\n");
    if (options.after_row) options.after_row(r, rows);
  }
  out.Flush();
}

void WriteCsv(const ResultGrid& grid, std::ostream& out) {
  const ByteSink sink = [&out](std::string_view bytes) {
    errno = 0;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      throw OutputError("Cannot write the CSV text: " +
                        std::generic_category().message(errno != 0 ? errno : EIO));
    }
  };
  WriteCsv(grid, sink);
  out.flush();
  if (!out) throw OutputError("Cannot write the CSV text: " + std::generic_category().message(EIO));
}

void WriteCsvFile(const ResultGrid& grid, const std::string& path, CsvOptions options) {
  AtomicFile file(path);
  WriteCsv(
      grid, [&file](std::string_view bytes) { file.Write(bytes); }, options);
  file.Commit();
}

}  // namespace sorvane
