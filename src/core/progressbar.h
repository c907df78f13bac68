#pragma once

// What long operations share for the host's progress bar (RunHost::ShowProgressBar): the bar's
// text, and the scope that takes the bar away when the operation ends.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/runhost.h"

namespace sorvane {

// "3 of 10 pages", or "3 pages" while the total is not known (0 or less).
inline std::string ProgressLabel(std::int64_t done, std::int64_t total, std::string_view unit) {
  std::string label = std::to_string(done);
  if (total > 0) label += " of " + std::to_string(total);
  label += ' ';
  label += unit;
  return label;
}

// Hides the host's bar when the operation that showed it ends, by return or by error.
class ProgressBarScope {
 public:
  explicit ProgressBarScope(RunHost& host) : host_(host) {}
  ~ProgressBarScope() { host_.HideProgressBar(); }
  ProgressBarScope(const ProgressBarScope&) = delete;
  ProgressBarScope& operator=(const ProgressBarScope&) = delete;

  // Shows `done` of `total` `unit` ("rows").
  void Show(std::int64_t done, std::int64_t total, std::string_view unit) {
    host_.ShowProgressBar(done, total, ProgressLabel(done, total, unit));
  }

 private:
  RunHost& host_;
};

}  // namespace sorvane
