#pragma once

// Milliseconds since a start, read from the kernel's coarse monotonic clock: a few nanoseconds a
// reading where the precise clock costs about forty on a virtual machine, at the price of a
// resolution of one scheduler tick (a few milliseconds). For checks made for every record of a
// run against intervals of tens of milliseconds.

#include <time.h>

#include <cstdint>

namespace sorvane {

class CoarseTimer {
 public:
  CoarseTimer() { restart(); }
  void restart() { start_ = Now(); }
  std::int64_t elapsed() const { return Now() - start_; }

 private:
  static std::int64_t Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
  }
  std::int64_t start_ = 0;
};

}  // namespace sorvane
