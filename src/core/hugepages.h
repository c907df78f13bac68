#pragma once

// Big buffers that are filled once from start to end (a page read from a file, the grid's
// blocks of cells) fault in far fewer pieces when the kernel backs them with huge pages. The
// advice is a hint: where the system does not take it, nothing changes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sorvane {

// The alignment that lets a buffer start on a huge page.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Advises huge pages for the whole 4 KiB pages inside [data, data + bytes); buffers under a few
// huge pages are left alone.
inline void AdviseHugePages(void* data, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  if (bytes < 2 * kHugePageBytes) return;
  constexpr std::uintptr_t kPage = 4096;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kPage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

struct HugeBufferDelete {
  void operator()(char* bytes) const noexcept {
    ::operator delete[](bytes, std::align_val_t{kHugePageBytes});
  }
};
using HugeBuffer = std::unique_ptr<char[], HugeBufferDelete>;

// An uninitialised buffer that starts on a huge page, advised as above.
inline HugeBuffer NewHugeBuffer(std::size_t bytes) {
  auto* data = static_cast<char*>(::operator new[](bytes, std::align_val_t{kHugePageBytes}));
  AdviseHugePages(data, bytes);
  return HugeBuffer(data);
}

}  // namespace sorvane
