#pragma once

// Ownership of a C library's handle: CHandle<sqlite3_stmt, sqlite3_finalize> is a unique_ptr
// that frees its handle with the library's own function.

#include <memory>

namespace sorvane {

template <auto Free>
struct CHandleDeleter {
  template <class T>
  void operator()(T* p) const {
    Free(p);
  }
};

template <class T, auto Free>
using CHandle = std::unique_ptr<T, CHandleDeleter<Free>>;

}  // namespace sorvane
