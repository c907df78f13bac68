#pragma once

// A host for work that has no window and no user (a preview, a benchmark, a fuzz target): it
// shows nothing, answers every message OK, declines the verification question, and fills a
// grid of its own. The stop flag is on until a run turns it off.

#include <string>
#include <string_view>

#include "core/resultgrid.h"
#include "core/runhost.h"

namespace sorvane {

class QuietHost : public RunHost {
 public:
  void ShowStatus(std::string_view) override {}
  void ProcessEvents() override {}
  bool StopEnabled() const override { return stop_enabled; }
  void SetStopEnabled(bool enabled) override { stop_enabled = enabled; }
  Answer Message(std::string_view, std::string_view, Icon, Buttons) override { return Answer::kOk; }
  bool AskImageCode(const VerificationCodeRequest&, std::string&) override { return false; }
  ResultGrid& Grid() override { return grid; }

  ResultGrid grid;
  bool stop_enabled = true;
};

}  // namespace sorvane
