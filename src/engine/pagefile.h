#pragma once

// Local source files read as page text.
//
// A file is read as text, line by line: a line ends at LF or at CR LF, a CR not followed by LF is
// dropped, and a byte 0x1A ends the file. The page text is every line followed by CR LF, so a
// non-empty page text always ends with CR LF. Bytes are taken as they are (no character set
// conversion); an empty file gives an empty page text.

#include <string>
#include <string_view>

namespace sorvane {

// True when something other than a folder exists at `path`. A run skips other paths silently.
bool PageFileExists(const std::string& path);

// The page text of the file at `path`. Throws RunError, naming the path and the system's reason,
// when the file cannot be opened or read.
std::string ReadPageFile(const std::string& path);

// The page text of file content `bytes`, by the line rules above.
std::string PageTextOf(std::string_view bytes);

}  // namespace sorvane
