#include "core/programfolder.h"

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

}  // namespace sorvane
