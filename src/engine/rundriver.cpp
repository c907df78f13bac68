#include "engine/rundriver.h"

#include <optional>
#include <string>
#include <utility>

#include "core/options.h"
#include "core/resultgrid.h"
#include "core/runhost.h"
#include "core/store.h"
#include "core/templetmodel.h"
#include "engine/httpclient.h"
#include "engine/images.h"
#include "engine/login.h"
#include "engine/pagefetch.h"
#include "engine/pagefile.h"
#include "engine/qstrings.h"
#include "engine/regexpr.h"
#include "engine/runerror.h"
#include "engine/sources.h"

namespace sorvane {
namespace {

constexpr std::string_view kLoadingStatus = "Loading: ";

void ShowLoading(RunHost& host, const std::string& path) {
  std::string status(kLoadingStatus);
  status += path;
  host.ShowStatus(status);
}

// The local source steps: the files chosen now, or the templet's stored paths.
void ReadLocalFiles(RunContext& ctx, PageExtractor& extract,
                    const std::vector<std::string>& files) {
  RunHost& host = ctx.host;
  host.SetStopEnabled(true);
  for (const std::string& path : files) {
    if (!PageFileExists(path)) continue;
    if (!host.StopEnabled()) break;
    ShowLoading(host, path);
    extract.ExtractPage(ReadPageFile(path));
  }
  host.SetStopEnabled(false);
}

// The pages of a stored local path with a page-number or database-field tag: each page is a
// file, and a file that does not exist is an empty page (so a range skips it, and the end-text
// form ends there).
class LocalPageVisitor : public PageVisitor {
 public:
  LocalPageVisitor(RunHost& host, PageExtractor& extract) : host_(host), extract_(extract) {}

  bool Visit(const std::string& path, std::string_view field_value, VisitedPage& page) override {
    if (!host_.StopEnabled()) return false;
    ShowLoading(host_, path);
    page.text = PageFileExists(path) ? ReadPageFile(path) : std::string();
    page.extracted = extract_.ExtractPage(page.text, field_value);
    return true;
  }
  bool Stopped() const override { return !host_.StopEnabled(); }
  void Failed(std::string_view cause) override { host_.ShowCause(cause); }

 private:
  RunHost& host_;
  PageExtractor& extract_;
};

void ReadStoredFiles(RunContext& ctx, PageExtractor& extract, const TTemplet& templet) {
  // The paths are read at once: while pages are read the window may use qryM.
  const std::vector<std::string> paths = ReadSources(ctx.store, templet.ID);
  RunHost& host = ctx.host;
  host.SetStopEnabled(true);
  for (const std::string& path : paths) {
    if (!host.StopEnabled()) return;
    // A path with the tags of a URL walks its pages as a web templet's URL does.
    const SourceTags tags = ParseSourceTags(ctx.re, path);
    if (tags.HasAuto || tags.HasFld) {
      LocalPageVisitor visitor(host, extract);
      WalkSourcePages(ctx.store, ctx.re, path, tags, visitor);
      continue;
    }
    ShowLoading(host, path);
    if (PageFileExists(path)) extract.ExtractPage(ReadPageFile(path));
  }
  host.SetStopEnabled(false);
}

// The per-page protocol of a web run.
class WebPageVisitor : public PageVisitor {
 public:
  // `fetcher`: null fetches each page when it is visited.
  WebPageVisitor(RunHost& host, HttpClient& http, const RequestSettings& requests,
                 PageExtractor& extract, PageFetcher* fetcher)
      : host_(host), http_(http), requests_(requests), extract_(extract), fetcher_(fetcher) {}

  void Upcoming(const PagesAhead& ahead) override { ahead_ = &ahead; }
  bool Visit(const std::string& url, std::string_view field_value, VisitedPage& page) override {
    if (!host_.StopEnabled()) return false;
    ShowLoading(host_, url);
    try {
      page.text = fetcher_ != nullptr ? fetcher_->Fetch(url, ahead_ ? *ahead_ : PagesAhead{})
                                      : http_.GetText(url, requests_);
    } catch (const HttpError& e) {
      // Also a transfer that Stop cut off.
      std::string text(kFailLoadingText);
      text += '\n';
      text += url;
      host_.Message("Error", text, RunHost::Icon::kWarning, RunHost::Buttons::kOk);
      host_.ShowCause(e.what());
      return false;
    }
    page.extracted = extract_.ExtractPage(page.text, field_value);
    return true;
  }
  bool Stopped() const override { return !host_.StopEnabled(); }
  void Failed(std::string_view cause) override { host_.ShowCause(cause); }

 private:
  RunHost& host_;
  HttpClient& http_;
  const RequestSettings& requests_;
  PageExtractor& extract_;
  PageFetcher* fetcher_;
  const PagesAhead* ahead_ = nullptr;
};

// While a run goes on, every wait of the client and every long search of the expression engine
// processes the host's events and turns the stop flag into an abort of the transfer or the
// search in progress.
class RunPump {
 public:
  RunPump(HttpClient* http, RegExpr& re, RunHost& host) : http_(http), re_(re), host_(host) {
    re_.SetInterrupt([&host] {
      host.ProcessEvents();
      return !host.StopEnabled();
    });
    if (http_ == nullptr) return;
    http_->SetPump([http, &host] {
      host.ProcessEvents();
      if (!host.StopEnabled()) http->Stop();
    });
  }
  ~RunPump() {
    re_.SetInterrupt({});
    if (http_ != nullptr) http_->SetPump([&host = host_] { host.ProcessEvents(); });
  }
  RunPump(const RunPump&) = delete;
  RunPump& operator=(const RunPump&) = delete;

 private:
  HttpClient* http_;
  RegExpr& re_;
  RunHost& host_;
};

// The web source steps: the templet's first URL, its tags, the login, then its pages. `requests`
// becomes the settings of the run's requests, pages and images.
void ReadWebPages(RunContext& ctx, PageExtractor& extract, const TTemplet& templet,
                  RequestSettings& requests) {
  const std::vector<std::string> sources = ReadSources(ctx.store, templet.ID);
  if (sources.empty()) return;
  const std::string& url = sources.front();
  const SourceTags tags = ParseSourceTags(ctx.re, url);

  HttpClient& http = *ctx.http;
  requests = RunRequestSettings(url);
  if (!ApplyLogin(ctx.store, http, ctx.host, templet.ID, url, requests)) return;
  // The default fetches one page at a time, each when it is visited.
  const FetchOptions fetch = ctx.fetch.Over(FetchOptionsOf(ReadOptions(ctx.store, templet.ID)));
  std::optional<PageFetcher> fetcher;
  if (fetch != FetchOptions{}) fetcher.emplace(http, requests, fetch, ctx.host);
  WebPageVisitor visitor(ctx.host, http, requests, extract, fetcher ? &*fetcher : nullptr);
  WalkSourcePages(ctx.store, ctx.re, url, tags, visitor);
}

void EndOfRun(RunContext& ctx, const RunCommandHooks& hooks) {
  ctx.state.running = false;
  ctx.host.SetStopEnabled(false);
  if (hooks.running_changed) hooks.running_changed(false);
  ctx.host.ShowStatus("Done! All " + std::to_string(ctx.state.extracted) + " records extracted.");
}

}  // namespace

bool LoadRunDefinitions(Tdm& store, const TTemplet& templet, RunDefinitions& defs,
                        std::vector<TTrans>& rules) {
  defs = RunDefinitions{};
  defs.IsTextTag = templet.IsTextTag;
  if (!templet.IsTextTag) {
    const TempletModel expression = ReadTemplet(store, templet.ID, TempletParts::kExpression);
    if (!expression.has_expression) return false;
    defs.Expression = expression.expression;
  }
  const TempletModel model =
      ReadTemplet(store, templet.ID, TempletParts::kColumns | TempletParts::kRules);
  defs.Cols = model.RunColumns();
  rules = model.RunRules();
  if (const TempletColumn* tags = model.RecordTags()) {
    defs.StartMarker = tags->title;
    defs.RecordOpenTag = tags->open_tag;
    defs.RecordCloseTag = tags->close_tag;
  }
  return true;
}

PageExtractor::PageExtractor(RunContext& ctx, const RunDefinitions& defs)
    : PageExtractor(ctx, defs, ctx.download_image) {}

PageExtractor::PageExtractor(RunContext& ctx, const RunDefinitions& defs,
                             ImageDownload download_image)
    : ctx_(ctx),
      defs_(defs),
      download_image_(std::move(download_image)),
      text_plan_(defs.Cols, defs.RecordOpenTag, defs.RecordCloseTag),
      regex_plan_(defs.Cols, defs.Expression, defs.RecordOpenTag, defs.RecordCloseTag) {}

bool PageExtractor::ExtractPage(std::string_view page, std::string_view field_value) {
  std::size_t pos = 1;
  if (!defs_.StartMarker.empty()) {
    pos = PosStr(defs_.StartMarker, page, 1);
    if (pos == 0) return false;
  }
  RecordAppender appender(ctx_.host, ctx_.host.Grid(), defs_.Cols, ctx_.state.rules, field_value,
                          &download_image_, ctx_.state.extracted, &ctx_.state.unfinished_rows);
  if (defs_.IsTextTag) return text_plan_.ExtractRecords(appender, page, pos);
  return regex_plan_.ExtractRecords(appender, ctx_.host, ctx_.re, page, pos);
}

void ExecuteTemplet(RunContext& ctx, const TTemplet& templet,
                    const std::vector<std::string>& files) {
  if (templet.IsURL && ctx.web == nullptr && ctx.http == nullptr) {
    throw RunError("Web templets need an HTTP client");
  }
  ctx.state.extracted = 0;
  ctx.state.unfinished_rows.clear();
  ctx.host.Grid().ClearRows();

  RunDefinitions defs;
  if (!LoadRunDefinitions(ctx.store, templet, defs, ctx.state.rules)) return;
  // A local run's images may be on any site, over either scheme; a web run states its own
  // settings once its URL and login are known.
  RequestSettings requests;
  requests.tls = true;
  requests.content_type = "text/html";
  ImageDownload download = ctx.download_image;
  if (!download && ctx.http != nullptr) {
    download = [&ctx, &templet, &requests](std::string_view address) {
      return DownloadImage(ctx.store, *ctx.http, requests, templet, address);
    };
  }
  PageExtractor extract(ctx, defs, std::move(download));
  const RunPump pump(ctx.http, ctx.re, ctx.host);
  if (templet.IsURL) {
    if (ctx.web != nullptr) {
      ctx.web->Walk(templet, extract);
    } else {
      ReadWebPages(ctx, extract, templet, requests);
    }
  } else if (!files.empty()) {
    ReadLocalFiles(ctx, extract, files);
  } else {
    ReadStoredFiles(ctx, extract, templet);
  }
}

bool RunTemplet(RunContext& ctx, const TTemplet& templet, const std::vector<std::string>& files,
                const RunCommandHooks& hooks) {
  if (ctx.state.running) return false;
  ctx.state.running = true;
  ctx.host.ShowCause({});
  ctx.host.SetStopEnabled(true);
  if (hooks.running_changed) hooks.running_changed(true);
  try {
    ExecuteTemplet(ctx, templet, files);
  } catch (...) {
    EndOfRun(ctx, hooks);
    throw;
  }
  EndOfRun(ctx, hooks);
  return true;
}

bool ExtractNow(RunContext& ctx, const TTemplet* selected, const RunCommandHooks& hooks) {
  if (ctx.state.running) return false;
  if (selected == nullptr) {
    ctx.host.Message("Note", kSelectTempletText, RunHost::Icon::kWarning, RunHost::Buttons::kOk);
    return false;
  }
  const bool has_sources = !ReadSources(ctx.store, selected->ID).empty();
  if (!has_sources && selected->IsURL) return false;
  std::vector<std::string> files;
  // A cancelled dialog still runs: over no files, which reads nothing and counts 0.
  if (!has_sources && (!hooks.choose_files || !hooks.choose_files(files))) files.clear();
  return RunTemplet(ctx, *selected, files, hooks);
}

bool OpenAndExtract(RunContext& ctx, const TTemplet* selected, const RunCommandHooks& hooks) {
  if (ctx.state.running || selected == nullptr) return false;
  std::vector<std::string> files;
  if (!hooks.choose_files || !hooks.choose_files(files) || files.empty()) return false;
  TTemplet local = *selected;
  local.IsURL = false;  // the chosen files are read with this templet's method, whatever its source
  return RunTemplet(ctx, local, files, hooks);
}

}  // namespace sorvane
