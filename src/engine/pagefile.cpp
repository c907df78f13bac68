#include "engine/pagefile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "engine/runerror.h"

namespace sorvane {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

[[noreturn]] void FailOn(const std::string& path, int error) {
  throw RunError("Cannot read file \"" + path + "\": " + std::generic_category().message(error));
}

}  // namespace

bool PageFileExists(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

std::string ReadPageFile(const std::string& path) {
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) FailOn(path, errno != 0 ? errno : EIO);
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, got);
    if (got < sizeof buffer) break;
  }
  if (std::ferror(file.get())) FailOn(path, errno != 0 ? errno : EIO);
  return PageTextOf(bytes);
}

std::string PageTextOf(std::string_view bytes) {
  if (const std::size_t end = bytes.find('\x1A'); end != std::string_view::npos) {
    bytes = bytes.substr(0, end);
  }
  std::string page;
  // Every LF becomes CR LF, plus a last line without LF: at most one byte more per line.
  std::size_t lines = 1;
  for (const char c : bytes)
    lines += c == '\n';
  page.reserve(bytes.size() + lines + 1);

  // A line exists as soon as one byte of it has been read, even when that byte is a dropped CR.
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t lf = bytes.find('\n', at);
    const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    const std::string_view line = bytes.substr(at, end - at);
    if (line.find('\r') == std::string_view::npos) {
      page.append(line);
    } else {
      for (const char c : line) {
        if (c != '\r') page.push_back(c);
      }
    }
    page.append("\r\n");
    at = lf == std::string_view::npos ? bytes.size() : lf + 1;
  }
  return page;
}

}  // namespace sorvane
