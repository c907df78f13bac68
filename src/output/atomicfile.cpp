#include "output/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace sorvane {
namespace {

std::string SystemMessage(int error) {
  return std::generic_category().message(error != 0 ? error : EIO);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a link at `path` points to, through any chain of links; `path` itself otherwise.
std::string FollowLinks(const std::string& path) {
  std::filesystem::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(current, ec)) return current.string();
    const std::filesystem::path next = std::filesystem::read_symlink(current, ec);
    if (ec) return current.string();
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return current.string();
}

// A fresh name in `folder` that no file has yet, created and opened for writing.
int CreateTemporary(const std::string& folder, std::string& name) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof(kLetters)) - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + "/.sorvane-";
    for (int i = 0; i < 8; ++i)
      name += kLetters[pick(random)];
    name += ".tmp";
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& path) : target_(FollowLinks(path)) {
  struct stat existing {};
  const bool exists = stat(target_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) Fail("Cannot create file", EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) {
    fd_ = open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd_ < 0) Fail("Cannot create file", errno);
    return;
  }
  if (exists && access(target_.c_str(), W_OK) != 0) Fail("Cannot create file", errno);
  fd_ = CreateTemporary(FolderOf(target_), temporary_);
  if (fd_ < 0) {
    temporary_.clear();
    Fail("Cannot create file", errno);
  }
  if (exists) fchmod(fd_, existing.st_mode & 07777);
}

AtomicFile::~AtomicFile() {
  Discard();
}

void AtomicFile::Discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

void AtomicFile::Fail(const std::string& what, int error) {
  Discard();
  throw OutputError(what + " \"" + target_ + "\": " + SystemMessage(error));
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void AtomicFile::Write(std::string_view bytes) {
  if (fd_ < 0) Fail("Cannot write file", EBADF);
  if (!WriteAll(fd_, bytes)) Fail("Cannot write file", errno);
}

void AtomicFile::Commit() {
  if (fd_ < 0) Fail("Cannot write file", EBADF);
  const int fd = fd_;
  fd_ = -1;
  // Some file systems report a failed write only when the file is closed.
  if (close(fd) != 0 && errno != EINTR) Fail("Cannot write file", errno);
  if (temporary_.empty()) return;
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) Fail("Cannot write file", errno);
  temporary_.clear();
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFile file(path);
  file.Write(bytes);
  file.Commit();
}

}  // namespace sorvane
