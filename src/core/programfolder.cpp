#include "core/programfolder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace sorvane {
namespace {

std::string& Folder() {
  static std::string folder;
  return folder;
}

std::string WithSeparator(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

// True when a file can be created in `folder` (which ends with "/"): a file is made there and
// removed again, since a permission check alone says yes to root on a folder nobody can write.
bool CanCreateFileIn(const std::string& folder) {
  std::string probe = folder + ".sorvane-XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}

}  // namespace

void RecordProgramFolder(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec && argv0) exe = std::filesystem::absolute(argv0, ec);
  Folder() = WithSeparator(exe.parent_path().string());
}

const std::string& ProgramFolder() {
  if (Folder().empty()) {
    std::error_code ec;
    Folder() = WithSeparator(std::filesystem::current_path(ec).string());
  }
  return Folder();
}

std::string DataFolderFor(const std::string& program_folder) {
  if (CanCreateFileIn(program_folder)) return program_folder;
  std::string base;
  const char* data_home = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (data_home != nullptr && data_home[0] == '/') {
    base = data_home;
  } else if (home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.local/share";
  } else {
    return program_folder;
  }
  const std::string folder = WithSeparator(base) + "sorvane/";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

const std::string& DataFolder() {
  static const std::string folder = DataFolderFor(ProgramFolder());
  return folder;
}

}  // namespace sorvane
