#pragma once

// A RunHost for the fuzz targets: no window, no user, a grid to fill.

#include <string>
#include <string_view>
#include <vector>

#include "core/resultgrid.h"
#include "core/runhost.h"

namespace sorvane::fuzz {

class FuzzHost : public RunHost {
 public:
  void ShowStatus(std::string_view) override {}
  void ProcessEvents() override {}
  bool StopEnabled() const override { return true; }
  void SetStopEnabled(bool) override {}
  Answer Message(std::string_view, std::string_view, Icon, Buttons) override { return Answer::kOk; }
  bool AskImageCode(const VerificationCodeRequest&, std::string&) override { return false; }
  ResultGrid& Grid() override { return grid; }

  // Gives the grid `n` columns.
  void Columns(int n) { grid.SetColumns(std::vector<GridColumn>(static_cast<std::size_t>(n))); }

  ResultGrid grid;
};

}  // namespace sorvane::fuzz
