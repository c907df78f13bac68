#pragma once

// The one error type of the store.

#include <stdexcept>

namespace sorvane {

// A statement the store rejected, a failed conversion of a read value, or a store that cannot be
// opened. what() is the store's own message text.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sorvane
