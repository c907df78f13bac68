#pragma once

// The result grid as comma-separated text: one line per grid row, the title row first; one field
// per shown column (the row-number column is never written), each enclosed in double quotes with
// inner double quotes doubled and nothing else escaped; fields separated by "," and every line,
// the last one included, ended by CR LF. Cell bytes are written as they are.

#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sorvane {

class ResultGrid;

// A file that cannot be created or written. what() carries the system's message.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the whole grid to `out`; throws OutputError when the stream fails. What was written
// before the failure stays written.
void WriteCsv(const ResultGrid& grid, std::ostream& out);

// Creates (or replaces) the file at `path` and writes the grid to it; throws OutputError.
void WriteCsvFile(const ResultGrid& grid, const std::string& path);

// Appends one field, quoted, to `line`.
void AppendCsvField(std::string& line, std::string_view text);

}  // namespace sorvane
