#pragma once

// An array of trivially copyable values in chunks of 64 Ki values that never move: growing it
// allocates a chunk now and then and copies nothing, so a table of millions of cells grows at
// the cost of writing them. Removing values from the middle moves the ones behind them down.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

namespace sorvane {

template <class T>
class ChunkedArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  ChunkedArray() = default;
  ChunkedArray(const ChunkedArray& other) { *this = other; }
  ChunkedArray& operator=(const ChunkedArray& other) {
    if (this == &other) return *this;
    clear();
    Grow(other.size_);
    for (std::size_t c = 0; c * kChunk < other.size_; ++c) {
      std::copy_n(other.chunks_[c].get(), std::min(kChunk, other.size_ - c * kChunk),
                  chunks_[c].get());
    }
    size_ = other.size_;
    return *this;
  }
  ChunkedArray(ChunkedArray&&) noexcept = default;
  ChunkedArray& operator=(ChunkedArray&&) noexcept = default;
  ~ChunkedArray() = default;

  std::size_t size() const { return size_; }
  T& operator[](std::size_t i) { return chunks_[i >> kShift][i & (kChunk - 1)]; }
  const T& operator[](std::size_t i) const { return chunks_[i >> kShift][i & (kChunk - 1)]; }

  void push_back(T value) {
    Grow(size_ + 1);
    (*this)[size_++] = value;
  }
  // Grows with `value`s, or drops the values from `count` on.
  void resize(std::size_t count, T value = T{}) {
    Grow(count);
    for (std::size_t i = size_; i < count; ++i)
      (*this)[i] = value;
    size_ = count;
  }
  // Removes the values first..last-1.
  void erase(std::size_t first, std::size_t last) {
    for (std::size_t from = last, to = first; from < size_; ++from, ++to)
      (*this)[to] = (*this)[from];
    size_ -= last - first;
  }
  void clear() {
    chunks_.clear();
    size_ = 0;
  }

 private:
  static constexpr std::size_t kShift = 16;
  static constexpr std::size_t kChunk = std::size_t{1} << kShift;

  void Grow(std::size_t count) {
    while (chunks_.size() * kChunk < count)
      chunks_.emplace_back(new T[kChunk]);
  }

  std::vector<std::unique_ptr<T[]>> chunks_;
  std::size_t size_ = 0;
};

}  // namespace sorvane
