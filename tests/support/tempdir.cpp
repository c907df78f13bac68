#include "support/tempdir.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace sorvane::test {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "sorvane-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("cannot create a temporary folder");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(std::string_view name) const {
  return (path_ / name).string();
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  const std::string file = File(name);
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file);
  return file;
}

}  // namespace sorvane::test
