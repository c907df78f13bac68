#pragma once

// The host of runs, saves and outputs in the benchmarks: no window, no status, every message
// printed on standard error and counted (a benchmark whose work met one says so).

#include <cstdio>
#include <string>
#include <string_view>

#include "core/resultgrid.h"
#include "core/runhost.h"

namespace sorvane {

class BenchHost : public RunHost {
 public:
  void ShowStatus(std::string_view) override {}
  void ProcessEvents() override {}
  bool StopEnabled() const override { return stop_enabled; }
  void SetStopEnabled(bool enabled) override { stop_enabled = enabled; }
  Answer Message(std::string_view caption, std::string_view text, Icon, Buttons) override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    ++messages;
    return Answer::kOk;
  }
  bool AskImageCode(const VerificationCodeRequest&, std::string&) override { return false; }
  ResultGrid& Grid() override { return grid; }

  ResultGrid grid;
  // On until a run or save turns it off: the extraction benchmarks cut without a run around them.
  bool stop_enabled = true;
  int messages = 0;
};

}  // namespace sorvane
