#pragma once

// The host of runs, saves and outputs in the benchmarks: no window, no status, every message
// printed on standard error and counted (a benchmark whose work met one says so). The stop flag
// is on until a run or save turns it off: the extraction benchmarks cut without a run around
// them.

#include <cstdio>
#include <string_view>

#include "core/quiethost.h"

namespace sorvane {

class BenchHost : public QuietHost {
 public:
  Answer Message(std::string_view caption, std::string_view text, Icon, Buttons) override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    ++messages;
    return Answer::kOk;
  }

  int messages = 0;
};

}  // namespace sorvane
