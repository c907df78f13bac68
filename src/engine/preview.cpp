#include "engine/preview.h"

#include <utility>

#include "core/quiethost.h"
#include "engine/explain.h"

namespace sorvane {
namespace {

// The preview's host: the loops' error causes kept.
class PreviewHost : public QuietHost {
 public:
  void ShowCause(std::string_view cause) override {
    if (!cause.empty()) errors.emplace_back(cause);
  }

  std::vector<std::string> errors;
};

}  // namespace

PreviewResult PreviewPage(Tdm& store, RegExpr& re, const RunDefinitions& defs,
                          const std::vector<TTrans>& rules, std::string page,
                          std::string_view content_type) {
  PreviewResult result;
  std::vector<GridColumn> columns(defs.Cols.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    columns[i].title = i < defs.Titles.size() ? defs.Titles[i] : std::string();
    columns[i].ref.ColID = defs.Cols[i].ColID;
  }
  PreviewHost host;
  host.grid.SetColumns(std::move(columns));
  RunState state;
  state.rules = rules;
  RunContext ctx{.host = host, .store = store, .re = re, .state = state};
  PageExtractor extract(ctx, defs, ImageDownload{});
  bool extracted = false;
  extract.TakePage(page, content_type, "the page", {}, nullptr, extracted);
  result.grid = std::move(host.grid);
  result.count = state.extracted;
  result.errors = std::move(host.errors);
  if (result.count == 0) result.reasons = ExplainNoRecords(re, defs, page);
  return result;
}

}  // namespace sorvane
