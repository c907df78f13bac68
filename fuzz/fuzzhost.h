#pragma once

// A RunHost for the fuzz targets: no window, no user, a grid to fill.

#include <cstddef>
#include <vector>

#include "core/quiethost.h"

namespace sorvane::fuzz {

class FuzzHost : public QuietHost {
 public:
  // Gives the grid `n` columns.
  void Columns(int n) { grid.SetColumns(std::vector<GridColumn>(static_cast<std::size_t>(n))); }
};

}  // namespace sorvane::fuzz
