#include "output/csv.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "core/resultgrid.h"
#include "engine/qstrings.h"

namespace sorvane {
namespace {

[[noreturn]] void FailWrite() {
  throw OutputError("Cannot write the CSV text: " +
                    std::generic_category().message(errno != 0 ? errno : EIO));
}

}  // namespace

void AppendCsvField(std::string& line, std::string_view text) {
  line += '"';
  if (text.find('"') == std::string_view::npos) {
    line.append(text);
  } else {
    line += ReplaceStr(text, "\"", "\"\"");
  }
  line += '"';
}

void WriteCsv(const ResultGrid& grid, std::ostream& out) {
  const int columns = grid.ShownColumnCount();
  std::string line;
  const auto write_line = [&] {
    line += "\r\n";
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    if (!out) FailWrite();
    line.clear();
  };
  for (int c = 1; c <= columns; ++c) {
    if (c > 1) line += ',';
    AppendCsvField(line, grid.Columns()[static_cast<std::size_t>(c - 1)].title);
  }
  write_line();
  for (int r = 1; r <= grid.DataRowCount(); ++r) {
    for (int c = 1; c <= columns; ++c) {
      if (c > 1) line += ',';
      AppendCsvField(line, grid.Cell(c, r));
    }
    write_line();
  }
  out.flush();
  if (!out) FailWrite();
}

void WriteCsvFile(const ResultGrid& grid, const std::string& path) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw OutputError("Cannot create file \"" + path +
                      "\": " + std::generic_category().message(errno != 0 ? errno : EIO));
  }
  WriteCsv(grid, out);
}

}  // namespace sorvane
