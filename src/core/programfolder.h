#pragma once

// The folder of the running program, with a trailing separator. Recorded once at start-up; it
// locates the help pages and the folder that templet import starts in, and is the folder the
// program writes into by default when it may write there.

#include <string>

namespace sorvane {

// Records the program folder from the running executable (or, failing that, from argv0).
void RecordProgramFolder(const char* argv0);
// The recorded folder with a trailing "/", or the current folder's path before any recording.
const std::string& ProgramFolder();

// The folder the program writes into when the user has named none (the default image folder,
// the image folders of templets without one, the first folder custom output offers), with a
// trailing "/": ProgramFolder() when a file can be created there, as in a folder of one's own or
// a build folder; otherwise, as for an installed program under /usr, the user's data folder
// $XDG_DATA_HOME/sorvane/ (~/.local/share/sorvane/ when that variable is unset or not an
// absolute path), created when missing. Decided once, on first use.
const std::string& DataFolder();
// The same choice for `program_folder` (with its trailing "/"), made now with the current
// environment. When no data folder can be named (no home folder), `program_folder`.
std::string DataFolderFor(const std::string& program_folder);

}  // namespace sorvane
