#pragma once

// A fixed buffer between a text format and its destination: small pieces are gathered and handed
// on in pieces of about the buffer's size, so that writing costs one system call per buffer and
// memory stays fixed whatever the size of the output. A piece larger than the buffer goes on
// directly.

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

namespace sorvane {

// Receives the output in order; may throw (the error reaches the writer's caller).
using ByteSink = std::function<void(std::string_view bytes)>;

class ChunkWriter {
 public:
  static constexpr std::size_t kDefaultCapacity = std::size_t{1} << 20;

  explicit ChunkWriter(const ByteSink& sink, std::size_t capacity = kDefaultCapacity)
      : sink_(sink), buffer_(new char[capacity]), capacity_(capacity) {}
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

  void Append(std::string_view bytes) {
    if (bytes.size() <= capacity_ - used_) {
      std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
      used_ += bytes.size();
      return;
    }
    Flush();
    if (bytes.size() >= capacity_) {
      sink_(bytes);
    } else {
      std::memcpy(buffer_.get(), bytes.data(), bytes.size());
      used_ = bytes.size();
    }
  }
  void Append(char c) {
    if (used_ == capacity_) Flush();
    buffer_[used_++] = c;
  }
  // Room for `n` more bytes in the buffer, handing on what is gathered when needed; null when `n`
  // is larger than the whole buffer. Write at most `n` bytes there, then call Advance.
  char* Reserve(std::size_t n) {
    if (n > capacity_ - used_) {
      Flush();
      if (n > capacity_) return nullptr;
    }
    return buffer_.get() + used_;
  }
  // Counts `n` bytes written at Reserve's pointer.
  void Advance(std::size_t n) { used_ += n; }
  // Hands on what is gathered. The owner calls it once at the end.
  void Flush() {
    if (used_ == 0) return;
    const std::size_t n = used_;
    used_ = 0;
    sink_(std::string_view(buffer_.get(), n));
  }

 private:
  const ByteSink& sink_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};

}  // namespace sorvane
