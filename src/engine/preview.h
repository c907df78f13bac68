#pragma once

// The records preview: one page cut with a templet's definitions as a run would cut it, into a
// grid of its own. Nothing else is touched: not the window's grid, not the store, no image is
// downloaded (an image column shows its address).

#include <string>
#include <string_view>
#include <vector>

#include "core/resultgrid.h"
#include "core/templetmodel.h"
#include "engine/rundriver.h"

namespace sorvane {

class RegExpr;
class Tdm;

struct PreviewResult {
  ResultGrid grid;                   // every record of the page, columns titled as the templet's
  int count = 0;                     // records completed
  std::vector<std::string> reasons;  // why there is none (ExplainNoRecords), when count is 0
  std::vector<std::string> errors;   // errors the record loops reported (an expression's, ...)
};

// Cuts the records of `page` (its Content-Type `content_type`, empty for a file) with `defs` and
// `rules`, converting the page first when defs.Page says so. `re` is set anew; `store` is not
// used for anything but the run's context. Throws what a run's page throws (a translation rule
// with a non-numeric argument in a text-tag templet, for one).
PreviewResult PreviewPage(Tdm& store, RegExpr& re, const RunDefinitions& defs,
                          const std::vector<TTrans>& rules, std::string page,
                          std::string_view content_type);

}  // namespace sorvane
