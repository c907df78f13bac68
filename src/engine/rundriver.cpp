#include "engine/rundriver.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "core/options.h"
#include "core/resultgrid.h"
#include "core/runhost.h"
#include "core/store.h"
#include "core/templetmodel.h"
#include "engine/explain.h"
#include "engine/httpclient.h"
#include "engine/images.h"
#include "engine/login.h"
#include "engine/pageencoding.h"
#include "engine/pagefetch.h"
#include "engine/pagefile.h"
#include "engine/qstrings.h"
#include "engine/regexpr.h"
#include "engine/runerror.h"
#include "engine/runprogress.h"
#include "engine/sources.h"

namespace sorvane {
namespace {

constexpr std::string_view kLoadingStatus = "Loading: ";

void ShowLoading(RunHost& host, const std::string& path) {
  std::string status(kLoadingStatus);
  status += path;
  host.ShowStatus(status);
}

// Reads the local file at `path` as one page of the run.
void TakeFile(PageExtractor& extract, const std::string& path) {
  std::string text = ReadPageFile(path);
  bool extracted = false;
  extract.TakePage(text, {}, path, {}, nullptr, extracted);
}

// The local source steps: the files chosen now, or the templet's stored paths.
void ReadLocalFiles(RunContext& ctx, PageExtractor& extract, RunProgress& progress,
                    const std::vector<std::string>& files) {
  RunHost& host = ctx.host;
  host.SetStopEnabled(true);
  const auto total = static_cast<std::int64_t>(files.size());
  std::int64_t done = 0;
  for (const std::string& path : files) {
    progress.Steps(done++, total, "files");
    if (!PageFileExists(path)) continue;
    if (!host.StopEnabled()) break;
    ShowLoading(host, path);
    TakeFile(extract, path);
  }
  progress.Steps(done, total, "files");
  host.SetStopEnabled(false);
}

// The pages of a stored local path with a page-number or database-field tag: each page is a
// file, and a file that does not exist is an empty page (so a range skips it, and the end-text
// form ends there).
class LocalPageVisitor : public PageVisitor {
 public:
  // `progress`: the bar that counts the walk's steps, null when it counts files.
  LocalPageVisitor(RunHost& host, PageExtractor& extract, RunProgress* progress)
      : host_(host), extract_(extract), progress_(progress) {}

  bool Visit(const std::string& path, std::string_view field_value, VisitedPage& page) override {
    if (!host_.StopEnabled()) return false;
    ShowLoading(host_, path);
    page.text = PageFileExists(path) ? ReadPageFile(path) : std::string();
    page.repeated = !extract_.TakePage(page.text, {}, path, field_value, page.seen, page.extracted);
    return true;
  }
  bool Stopped() const override { return !host_.StopEnabled(); }
  void Failed(std::string_view cause) override { host_.ShowCause(cause); }
  void Progress(std::int64_t done, std::int64_t total, std::string_view unit) override {
    if (progress_ != nullptr) progress_->Steps(done, total, unit);
  }

 private:
  RunHost& host_;
  PageExtractor& extract_;
  RunProgress* progress_;
};

void ReadStoredFiles(RunContext& ctx, PageExtractor& extract, RunProgress& progress,
                     const TTemplet& templet) {
  // The paths are read at once: while pages are read the window may use qryM.
  const std::vector<std::string> paths = ReadSources(ctx.store, templet.ID);
  RunHost& host = ctx.host;
  host.SetStopEnabled(true);
  const auto total = static_cast<std::int64_t>(paths.size());
  // A path with the tags of a URL walks its pages as a web templet's URL does. The one stored
  // path of a templet that walks pages counts its pages (or field values) on the bar; several
  // paths count files. Each path's tags are read when its turn comes.
  const auto walks = [](const SourceTags& tags) { return tags.HasAuto || tags.HasFld; };
  std::optional<SourceTags> only;
  if (total == 1) only = ParseSourceTags(ctx.re, paths.front());
  const bool one_walk = only && walks(*only);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!host.StopEnabled()) return;
    if (!one_walk) progress.Steps(static_cast<std::int64_t>(i), total, "files");
    const SourceTags tags = only ? *only : ParseSourceTags(ctx.re, paths[i]);
    if (walks(tags)) {
      LocalPageVisitor visitor(host, extract, one_walk ? &progress : nullptr);
      WalkSourcePages(ctx.store, ctx.re, paths[i], tags, visitor);
      continue;
    }
    ShowLoading(host, paths[i]);
    if (PageFileExists(paths[i])) TakeFile(extract, paths[i]);
  }
  if (!one_walk) progress.Steps(total, total, "files");
  host.SetStopEnabled(false);
}

// The per-page protocol of a web run.
class WebPageVisitor : public PageVisitor {
 public:
  // `fetcher`: null fetches each page when it is visited.
  WebPageVisitor(RunHost& host, HttpClient& http, const RequestSettings& requests,
                 PageExtractor& extract, RunProgress& progress, PageFetcher* fetcher)
      : host_(host),
        http_(http),
        requests_(requests),
        extract_(extract),
        progress_(progress),
        fetcher_(fetcher) {}

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
    page.repeated = !extract_.TakePage(page.text, http_.ResponseContentType(), url, field_value,
                                       page.seen, page.extracted);
    return true;
  }
  bool Stopped() const override { return !host_.StopEnabled(); }
  void Failed(std::string_view cause) override { host_.ShowCause(cause); }
  void Progress(std::int64_t done, std::int64_t total, std::string_view unit) override {
    progress_.Steps(done, total, unit);
  }

 private:
  RunHost& host_;
  HttpClient& http_;
  const RequestSettings& requests_;
  PageExtractor& extract_;
  RunProgress& progress_;
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
void ReadWebPages(RunContext& ctx, PageExtractor& extract, RunProgress& progress,
                  const TTemplet& templet, RequestSettings& requests) {
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
  WebPageVisitor visitor(ctx.host, http, requests, extract, progress,
                         fetcher ? &*fetcher : nullptr);
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
  TempletModel model =
      ReadTemplet(store, templet.ID, TempletParts::kColumns | TempletParts::kRules);
  model.is_text_tag = templet.IsTextTag;
  model.expression = defs.Expression;
  defs = DefinitionsOf(model);
  defs.Page = ReadPageSettings(store, templet.ID);
  rules = model.RunRules();
  return true;
}

RunDefinitions DefinitionsOf(const TempletModel& model) {
  RunDefinitions defs;
  defs.IsTextTag = model.is_text_tag;
  if (!model.is_text_tag) defs.Expression = model.expression;
  defs.Cols = model.RunColumns();
  for (const TempletColumn* shown : model.ShownColumns())
    defs.Titles.push_back(shown->title);
  if (const TempletColumn* tags = model.RecordTags()) {
    defs.StartMarker = tags->title;
    defs.RecordOpenTag = tags->open_tag;
    defs.RecordCloseTag = tags->close_tag;
  }
  return defs;
}

PageExtractor::PageExtractor(RunContext& ctx, const RunDefinitions& defs)
    : PageExtractor(ctx, defs, ctx.download_image) {}

PageExtractor::PageExtractor(RunContext& ctx, const RunDefinitions& defs,
                             ImageDownload download_image)
    : ctx_(ctx),
      defs_(defs),
      download_image_(std::move(download_image)),
      text_plan_(defs.Cols, defs.RecordOpenTag, defs.RecordCloseTag),
      regex_plan_(defs.Cols, defs.Expression, defs.RecordOpenTag, defs.RecordCloseTag) {
  for (const TTrans& rule : ctx.state.rules) {
    if (rule.Rel == kRelDecodeEntities || rule.Rel == kRelTrim) needs_charset_ = true;
  }
}

bool PageExtractor::ExtractPage(std::string_view page, std::string_view field_value) {
  std::size_t pos = 1;
  if (!defs_.StartMarker.empty()) {
    pos = PosStr(defs_.StartMarker, page, 1);
    if (pos == 0) return false;
  }
  RecordAppender appender(ctx_.host, ctx_.host.Grid(), defs_.Cols, ctx_.state.rules, field_value,
                          &download_image_, ctx_.state.extracted, &ctx_.state.unfinished_rows);
  if (progress_ != nullptr && progress_->FollowsRecords()) {
    appender.FollowPage(progress_, page.size());
  }
  appender.SetCharset(charset_);
  if (defs_.IsTextTag) return text_plan_.ExtractRecords(appender, page, pos);
  return regex_plan_.ExtractRecords(appender, ctx_.host, ctx_.re, page, pos);
}

bool PageExtractor::TakePage(std::string& text, std::string_view content_type,
                             std::string_view where, std::string_view field_value, SeenPages* seen,
                             bool& extracted) {
  extracted = false;
  if (defs_.Page.convert_to_utf8) {
    text = ToUtf8(text, PageCharset(content_type, text));
    charset_ = "UTF-8";
  } else if (needs_charset_) {
    charset_ = PageCharset(content_type, text);
  }
  if (seen != nullptr && defs_.Page.stop_on_repeat && seen->Repeats(text)) {
    const std::string note = "The page sequence stopped: " + std::string(where) +
                             " repeats an earlier page of the sequence.";
    ctx_.host.ShowStatus(note);
    ctx_.host.ShowNote(note);
    return false;
  }
  const bool first = ctx_.state.pages_taken++ == 0;
  extracted = ExtractPage(text, field_value);
  // Only a first page without records is kept, for Finish to say why: a copy of every first
  // page would double the memory of a run over one big file.
  if (first && ctx_.state.extracted == 0) {
    first_page_ = text;
    first_where_ = where;
  }
  if (!extracted && defs_.Page.warn_empty_page && ctx_.state.extracted > 0) {
    ctx_.host.ShowNote("No record on " + std::string(where) +
                       ", although earlier pages of the run gave records.");
  }
  return true;
}

void PageExtractor::Finish() {
  if (ctx_.state.extracted > 0 || ctx_.state.pages_taken == 0) return;
  try {
    ctx_.host.ShowNote(
        ExplanationText(ExplainNoRecords(ctx_.re, defs_, first_page_), first_where_));
  } catch (const std::exception&) {
    // A search that ran away or was stopped: the run already said what it had to.
  }
}

void ExecuteTemplet(RunContext& ctx, const TTemplet& templet,
                    const std::vector<std::string>& files) {
  if (templet.IsURL && ctx.web == nullptr && ctx.http == nullptr) {
    throw RunError("Web templets need an HTTP client");
  }
  ctx.state.extracted = 0;
  ctx.state.unfinished_rows.clear();
  ctx.state.pages_taken = 0;
  ctx.state.warn_empty_page = false;
  ctx.host.Grid().ClearRows();

  RunDefinitions defs;
  if (!LoadRunDefinitions(ctx.store, templet, defs, ctx.state.rules)) return;
  ctx.state.warn_empty_page = defs.Page.warn_empty_page;
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
  RunProgress progress(ctx.host);
  extract.SetProgress(&progress);
  const RunPump pump(ctx.http, ctx.re, ctx.host);
  if (templet.IsURL) {
    if (ctx.web != nullptr) {
      ctx.web->Walk(templet, extract);
    } else {
      ReadWebPages(ctx, extract, progress, templet, requests);
    }
  } else if (!files.empty()) {
    ReadLocalFiles(ctx, extract, progress, files);
  } else {
    ReadStoredFiles(ctx, extract, progress, templet);
  }
  extract.Finish();
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
