#include "engine/pagefile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <system_error>

#include "core/hugepages.h"
#include "engine/runerror.h"

namespace sorvane {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

[[noreturn]] void FailOn(const std::string& path, int error) {
  throw RunError("Cannot read file \"" + path + "\": " + std::generic_category().message(error));
}

// The line rules applied to content that arrives in pieces: every LF becomes CR LF, every CR is
// dropped, a byte 0x1A ends the content, and a last line without LF still ends with CR LF. The
// same pass either counts the page text's bytes (`out` null) or writes them.
class LineRules {
 public:
  // Takes one piece; false once the end byte 0x1A was met (the rest is ignored).
  bool Feed(std::string_view piece, std::string* out) {
    if (ended_) return false;
    if (const std::size_t end = piece.find('\x1A'); end != std::string_view::npos) {
      piece = piece.substr(0, end);
      ended_ = true;
    }
    if (out == nullptr) {
      Count(piece);
      return !ended_;
    }
    std::size_t at = 0;
    while (at < piece.size()) {
      const char* begin = piece.data() + at;
      const void* hit = std::memchr(begin, '\n', piece.size() - at);
      const std::size_t end =
          hit == nullptr ? piece.size()
                         : static_cast<std::size_t>(static_cast<const char*>(hit) - piece.data());
      Bytes(piece.substr(at, end - at), out);
      if (hit == nullptr) break;
      Put("\r\n", out);
      in_line_ = false;
      at = end + 1;
    }
    return !ended_;
  }
  // Ends the content: a line begun but not ended gets its CR LF.
  void Finish(std::string* out) {
    if (in_line_) Put("\r\n", out);
    in_line_ = false;
  }
  std::size_t size() const { return size_; }

 private:
  // The counting pass: each LF becomes CR LF, each CR goes, every other byte stays.
  void Count(std::string_view piece) {
    if (piece.empty()) return;
    std::size_t size = piece.size();
    std::size_t last_lf = std::string_view::npos;
    for (const char* at = piece.data();
         const void* hit =
             std::memchr(at, '\n', static_cast<std::size_t>(piece.data() + piece.size() - at));) {
      ++size;
      at = static_cast<const char*>(hit) + 1;
      last_lf = static_cast<std::size_t>(at - piece.data()) - 1;
    }
    for (const char* at = piece.data();
         const void* hit =
             std::memchr(at, '\r', static_cast<std::size_t>(piece.data() + piece.size() - at));) {
      --size;
      at = static_cast<const char*>(hit) + 1;
    }
    size_ += size;
    // A line is open when bytes follow the piece's last LF, or the piece has none and a byte.
    in_line_ = last_lf == std::string_view::npos || last_lf + 1 < piece.size();
  }
  // Bytes of one line (no LF among them); a line exists as soon as one byte of it was read, even
  // when that byte is a dropped CR.
  void Bytes(std::string_view line, std::string* out) {
    if (line.empty()) return;
    in_line_ = true;
    for (;;) {
      const void* cr = std::memchr(line.data(), '\r', line.size());
      if (cr == nullptr) break;
      const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - line.data());
      Put(line.substr(0, at), out);
      line.remove_prefix(at + 1);
    }
    Put(line, out);
  }
  // Appends to `out`, whose room a counting pass reserved.
  void Put(std::string_view bytes, std::string* out) {
    if (out != nullptr) out->append(bytes);
    size_ += bytes.size();
  }

  std::size_t size_ = 0;
  bool in_line_ = false;
  bool ended_ = false;
};

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
  // The page text is written straight into its buffer as the file is read in pieces, so the page
  // exists once, without the file's bytes beside it and without a buffer that grows by copying.
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  std::unique_ptr<char[]> piece(new char[kPiece]);
  const auto pass = [&](LineRules& rules, std::string* out) {
    for (;;) {
      const std::size_t got = std::fread(piece.get(), 1, kPiece, file.get());
      if (!rules.Feed(std::string_view(piece.get(), got), out) || got < kPiece) break;
    }
    if (std::ferror(file.get())) FailOn(path, errno != 0 ? errno : EIO);
    rules.Finish(out);
  };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    // A pipe or device is read once, whole, and then converted.
    std::string bytes;
    for (;;) {
      const std::size_t got = std::fread(piece.get(), 1, kPiece, file.get());
      bytes.append(piece.get(), got);
      if (got < kPiece) break;
    }
    if (std::ferror(file.get())) FailOn(path, errno != 0 ? errno : EIO);
    return PageTextOf(bytes);
  }
  std::string page;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  // The page text is at most twice the file (a file of LFs), plus the CR LF of an open last line.
  // Room that is reserved but never written takes address space, not memory; a system that will
  // not reserve it gets a first pass that counts the page text's bytes instead.
  bool reserved = false;
  if (!ec && size <= (std::numeric_limits<std::size_t>::max() - 2) / 2) {
    try {
      page.reserve(static_cast<std::size_t>(size) * 2 + 2);
      reserved = true;
    } catch (const std::bad_alloc&) {
    }
  }
  if (!reserved) {
    LineRules count;
    pass(count, nullptr);
    page.reserve(count.size());
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) FailOn(path, errno != 0 ? errno : EIO);
  }
  AdviseHugePages(page.data(), page.capacity());
  // A file that grows while it is read still gives all it holds: the buffer then grows.
  LineRules write;
  pass(write, &page);
  return page;
}

std::string PageTextOf(std::string_view bytes) {
  LineRules count;
  count.Feed(bytes, nullptr);
  count.Finish(nullptr);
  std::string page;
  page.reserve(count.size());
  LineRules write;
  write.Feed(bytes, &page);
  write.Finish(&page);
  return page;
}

}  // namespace sorvane
