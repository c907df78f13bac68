#pragma once

// The result grid as JSON Lines: one JSON object per data row, each on a line of its own ended by
// "\n", no line for the titles. Every object has one member per shown column, in grid order, named
// by the column's title and valued by the cell's text as a JSON string. A title that an earlier
// column already uses gets the suffix "_2", "_3", ... (the first one no other title has).
//
// The output is always valid UTF-8 JSON: a cell or title that is valid UTF-8 is taken as it is;
// any other is read as Windows-1252 text (every byte a character; the five bytes that code page
// leaves unassigned stand for the control characters of the same number) and converted, so no
// byte is dropped or replaced. Quotes, backslashes and control characters are escaped.

#include <string>
#include <string_view>
#include <vector>

#include "engine/pageencoding.h"
#include "output/chunkwriter.h"

namespace sorvane {

class ResultGrid;

// Hands the grid as JSON Lines to `sink`, in pieces of about a megabyte.
void WriteJsonLines(const ResultGrid& grid, const ByteSink& sink);

// The member names of `titles` (already UTF-8) with repeated ones made unique.
std::vector<std::string> UniqueNames(const std::vector<std::string>& titles);

// IsValidUtf8 (engine/pageencoding.h) tells whether a value is UTF-8 already.

// `bytes` as UTF-8: unchanged when valid, otherwise converted from Windows-1252.
std::string AsUtf8(std::string_view bytes);

}  // namespace sorvane
