#pragma once

// The one error type of a run that is not a store or expression error: a local file that exists but
// cannot be read, a translation rule whose position argument is no number, a repetition count too
// large for a text tag. It ends the run (after the end-of-run steps) and reaches the window's
// standard error box with what() as its text.

#include <stdexcept>

namespace sorvane {

class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sorvane
