#include "engine/images.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/programfolder.h"
#include "core/store.h"
#include "engine/httpclient.h"
#include "engine/qstrings.h"

namespace sorvane {
namespace {

// A name made of a counter value and an address's extension is written only when it is one
// plain entry of the folder: nothing in it can name another folder or cut the name short.
bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// A new file in `folder` for the bytes of `name`, opened exclusively and never through a link:
// "." + name + ".part" and a number that makes it new. Returns the descriptor (-1 when none can be
// made) and sets `path`.
int CreateTemporary(const std::string& folder, const std::string& name, std::string& path) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    path = folder + "." + name + ".part" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The image appears under its name whole or not at all: the bytes go to a temporary file of the
// same folder, which then takes the name. A file of that name is replaced; a link of that name is
// replaced itself, never followed to the file it points at.
bool SaveImage(const std::string& folder, const std::string& name, const std::string& bytes) {
  std::string temporary;
  const int fd = CreateTemporary(folder, name, temporary);
  if (fd < 0) return false;
  bool saved = WriteAll(fd, bytes);
  saved = close(fd) == 0 && saved;
  saved = saved && std::rename(temporary.c_str(), (folder + name).c_str()) == 0;
  if (!saved) unlink(temporary.c_str());
  return saved;
}

}  // namespace

std::string NextImageNo(Tdm& store) {
  Query& q = store.qryN;
  q.Execute("update opts set val=val+1 where tmid=0 and oid=1");
  q.Open("select val from opts where tmid=0 and oid=1");
  std::string number = q.Eof() ? std::string() : q.AsString(0);
  q.Close();
  return number;
}

std::string ImageExtension(std::string_view address) {
  const std::size_t dot = address.rfind('.');
  if (dot == std::string_view::npos) return {};
  const std::string_view extension = address.substr(dot);
  if (extension.find_first_of("/\\:") != std::string_view::npos) return {};
  return std::string(extension);
}

std::string ImageFolder(const TTemplet& templet) {
  std::error_code ec;
  if (!templet.ImgDir.empty() && std::filesystem::is_directory(templet.ImgDir, ec)) {
    // The file name is appended to the folder; without its separator the image would land
    // beside the folder instead of in it.
    if (templet.ImgDir.back() == '/') return templet.ImgDir;
    return templet.ImgDir + '/';
  }
  std::string folder = DataFolder() + "img-t" + std::to_string(templet.ID) + "/";
  if (!std::filesystem::is_directory(folder, ec)) std::filesystem::create_directory(folder, ec);
  return folder;
}

std::string DownloadImage(Tdm& store, HttpClient& http, const RequestSettings& settings,
                          const TTemplet& templet, std::string_view address) {
  std::string trimmed(address);
  TrimInPlace(trimmed);
  if (trimmed.empty()) return {};

  const std::string folder = ImageFolder(templet);
  const std::string name = "img-" + NextImageNo(store) + ImageExtension(address);
  if (!IsPlainFileName(name)) return {};
  try {
    const std::string bytes = http.GetBytes(address, settings);
    if (!SaveImage(folder, name, bytes)) return {};
  } catch (const std::exception&) {
    // A failed request or a name the file system refuses: the cell stays empty, no message.
    return {};
  }
  return name;
}

}  // namespace sorvane
