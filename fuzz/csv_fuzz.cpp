// The CSV writer on arbitrary grids: what it writes reads back as the same titles and cells.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/resultgrid.h"
#include "output/csv.h"

namespace {

// The fields of every line of `text`: quoted fields separated by "," and lines ended by CR LF.
// Returns false when the text is not in that form.
bool ReadCsv(const std::string& text, std::vector<std::vector<std::string>>& lines) {
  std::size_t i = 0;
  std::vector<std::string> line;
  while (i < text.size()) {
    if (text[i] != '"') return false;
    std::string field;
    for (++i;; ++i) {
      if (i >= text.size()) return false;
      if (text[i] == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          field += '"';
          ++i;
          continue;
        }
        ++i;
        break;
      }
      field += text[i];
    }
    line.push_back(std::move(field));
    if (i < text.size() && text[i] == ',') {
      ++i;
    } else if (text.compare(i, 2, "\r\n") == 0) {
      i += 2;
      lines.push_back(std::move(line));
      line.clear();
    } else {
      return false;
    }
  }
  return line.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvane;
  FuzzedDataProvider in(data, size);
  const int columns = in.ConsumeIntegralInRange(1, 5);
  const int rows = in.ConsumeIntegralInRange(0, 6);
  std::vector<GridColumn> titles(static_cast<std::size_t>(columns));
  for (GridColumn& column : titles)
    column.title = in.ConsumeRandomLengthString(20);
  ResultGrid grid;
  grid.SetColumns(titles);
  for (int r = 0; r < rows; ++r) {
    const int row = grid.AppendRow(0);
    for (int c = 1; c <= columns; ++c)
      grid.SetCell(c, row, in.ConsumeRandomLengthString(40));
  }

  std::ostringstream out;
  WriteCsv(grid, out);
  std::vector<std::vector<std::string>> lines;
  if (!ReadCsv(out.str(), lines)) std::abort();
  if (lines.size() != static_cast<std::size_t>(rows) + 1) std::abort();
  for (int c = 1; c <= columns; ++c) {
    if (lines[0].size() != static_cast<std::size_t>(columns)) std::abort();
    if (lines[0][static_cast<std::size_t>(c - 1)] !=
        titles[static_cast<std::size_t>(c - 1)].title) {
      std::abort();
    }
    for (int r = 1; r <= rows; ++r) {
      const auto& line = lines[static_cast<std::size_t>(r)];
      if (line.size() != static_cast<std::size_t>(columns)) std::abort();
      if (line[static_cast<std::size_t>(c - 1)] != grid.Cell(c, r)) std::abort();
    }
  }
  return 0;
}
