#include "engine/preview.h"

#include <utility>

#include "core/runhost.h"
#include "engine/explain.h"

namespace sorvane {
namespace {

// The preview's host: its own grid, the loops' error causes kept, no one to ask.
class PreviewHost : public RunHost {
 public:
  explicit PreviewHost(ResultGrid& grid) : grid_(grid) {}
  void ShowStatus(std::string_view) override {}
  void ProcessEvents() override {}
  bool StopEnabled() const override { return true; }
  void SetStopEnabled(bool) override {}
  Answer Message(std::string_view, std::string_view, Icon, Buttons) override { return Answer::kOk; }
  bool AskImageCode(const VerificationCodeRequest&, std::string&) override { return false; }
  ResultGrid& Grid() override { return grid_; }
  void ShowCause(std::string_view cause) override {
    if (!cause.empty()) errors.emplace_back(cause);
  }

  std::vector<std::string> errors;

 private:
  ResultGrid& grid_;
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
  result.grid.SetColumns(std::move(columns));
  PreviewHost host(result.grid);
  RunState state;
  state.rules = rules;
  RunContext ctx{.host = host, .store = store, .re = re, .state = state};
  PageExtractor extract(ctx, defs, ImageDownload{});
  bool extracted = false;
  extract.TakePage(page, content_type, "the page", {}, nullptr, extracted);
  result.count = state.extracted;
  result.errors = std::move(host.errors);
  if (result.count == 0) result.reasons = ExplainNoRecords(re, defs, page);
  return result;
}

}  // namespace sorvane
