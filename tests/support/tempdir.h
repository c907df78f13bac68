#pragma once

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes. Tests use it for real store files and source files.

#include <filesystem>
#include <string>
#include <string_view>

namespace sorvane::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(std::string_view name) const;
  // Writes `bytes` to `name` inside the folder and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace sorvane::test
