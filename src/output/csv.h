#pragma once

// The result grid as comma-separated text: one line per grid row, the title row first; one field
// per shown column (the row-number column is never written), each enclosed in double quotes with
// inner double quotes doubled and nothing else escaped; fields separated by "," and every line,
// the last one included, ended by CR LF. Cell bytes are written as they are.

#include <functional>
#include <ostream>
#include <string>

#include "output/atomicfile.h"
#include "output/chunkwriter.h"

namespace sorvane {

class ResultGrid;

struct CsvOptions {
  // Starts the text with the UTF-8 byte-order mark (EF BB BF), for spreadsheet programs that
  // need it to read the bytes as UTF-8. The window's export never sets it.
  bool utf8_bom = false;
  // Called after each data row is written with its number and the number of data rows (may be
  // empty).
  std::function<void(int row, int rows)> after_row = {};
};

// Hands the whole grid as CSV text to `sink`, in pieces of about a megabyte.
void WriteCsv(const ResultGrid& grid, const ByteSink& sink, CsvOptions options = {});

// Writes the whole grid to `out`; throws OutputError when the stream fails. What was written
// before the failure stays written.
void WriteCsv(const ResultGrid& grid, std::ostream& out);

// Writes the grid as the whole new content of the file at `path`, through an AtomicFile: when
// anything fails the file that was there keeps its content. Throws OutputError.
void WriteCsvFile(const ResultGrid& grid, const std::string& path, CsvOptions options = {});

}  // namespace sorvane
