#pragma once

// Text search and replace primitives on 8-bit text.
//
// Text is a sequence of bytes; a zero byte is an ordinary character. Positions are 1-based byte
// indices and 0 means "not found". The case-insensitive variants fold both sides through the fixed
// table of casetable.h. All functions are stateless and never copy the source per candidate.

#include <cstddef>
#include <string>
#include <string_view>

namespace sorvane {

// Position of the first occurrence of `find` in `source` that begins at or after `start`
// (1-based; a start below 1 counts as 1), compared byte for byte; 0 when there is none, when
// either text is empty, or when the find text no longer fits from `start`. Nothing past the end of
// `source` is read.
std::size_t PosStr(std::string_view find, std::string_view source, std::size_t start = 1);

// As PosStr, comparing through the case table.
std::size_t PosText(std::string_view find, std::string_view source, std::size_t start = 1);

// Every non-overlapping occurrence of `find` (left to right) replaced by `replacement`, which is
// inserted literally and never searched again. An empty find text leaves the source unchanged.
std::string ReplaceStr(std::string_view source, std::string_view find,
                       std::string_view replacement);

// As ReplaceStr, finding through the case table; the replacement keeps its own letter case.
std::string ReplaceText(std::string_view source, std::string_view find,
                        std::string_view replacement);

// Removes from both ends every byte whose code is 32 or less (controls and space, zero included).
void TrimInPlace(std::string& text);

}  // namespace sorvane
