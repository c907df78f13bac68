#pragma once

// The folder of the running program, with a trailing separator. Recorded once at start-up; it
// locates the help pages, the default image folder and the folder that templet import starts in.

#include <string>

namespace sorvane {

// Records the program folder from the running executable (or, failing that, from argv0).
void RecordProgramFolder(const char* argv0);
// The recorded folder with a trailing "/", or the current folder's path before any recording.
const std::string& ProgramFolder();

}  // namespace sorvane
