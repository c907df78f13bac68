#pragma once

// Files written whole or not at all. The bytes go to a new temporary file in the target's folder;
// Commit() renames it over the target. Until the rename (and whenever anything fails) the file
// that was there before stays as it was, and the temporary file is removed.
//
// What is replaced, and how:
// - A target that is a symbolic link is followed: the file it points to is replaced, as a plain
//   write would have changed it.
// - A replaced file keeps its permission bits; a new file gets the usual ones (0666 less the
//   process's umask).
// - A target that exists but may not be written (a read-only file) is refused before anything
//   is written, as is a folder.
// - A target that is not a regular file (a device, a pipe) is not replaced but written in place,
//   since it stores nothing to keep.
//
// The rename protects against failed writes (a full disk, a file size limit, a vanished folder);
// the data is not flushed to the disk before it, so a power loss right after may still lose it.

#include <stdexcept>
#include <string>
#include <string_view>

namespace sorvane {

// A file that cannot be created or written. what() carries the system's message.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class AtomicFile {
 public:
  // Opens the temporary file beside `path` (or `path` itself when it is not a regular file).
  // Throws OutputError when the target may not be written or the temporary file cannot be made.
  explicit AtomicFile(const std::string& path);
  // Without Commit(): removes the temporary file; the target stays as it was.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Appends `bytes`; throws OutputError when the system refuses them.
  void Write(std::string_view bytes);
  // Closes the file and puts it in the target's place; throws OutputError, leaving the target
  // as it was, when either fails. Nothing may be written after it.
  void Commit();

 private:
  [[noreturn]] void Fail(const std::string& what, int error);
  void Discard();

  std::string target_;     // the file to replace (a link already followed)
  std::string temporary_;  // empty when writing the target in place
  int fd_ = -1;
};

// Writes all of `bytes` to the open file `fd`, going on after interrupted and partial writes.
// False when the system refuses them; errno then says why.
bool WriteAll(int fd, std::string_view bytes);

// Writes `bytes` as the whole content of `path` through an AtomicFile; throws OutputError.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace sorvane
