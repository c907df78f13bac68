#include "engine/rundriver.h"

#include <string>
#include <utility>

#include "core/resultgrid.h"
#include "core/runhost.h"
#include "core/store.h"
#include "engine/pagefile.h"
#include "engine/qstrings.h"
#include "engine/runerror.h"

namespace sorvane {
namespace {

// Column tags and rule arguments are used with at most this many characters.
constexpr std::size_t kTagLimit = 50;

std::string Cut50(std::string text) {
  if (text.size() > kTagLimit) text.resize(kTagLimit);
  return text;
}

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

void ReadStoredFiles(RunContext& ctx, PageExtractor& extract, const TTemplet& templet) {
  // The paths are read at once: while pages are read the window may use qryM.
  std::vector<std::string> paths;
  Query& q = ctx.store.qryM;
  for (q.Open("select url from urls where tmid=" + std::to_string(templet.ID)); !q.Eof();
       q.Next()) {
    paths.push_back(q.AsString(0));
  }
  RunHost& host = ctx.host;
  host.SetStopEnabled(true);
  for (const std::string& path : paths) {
    if (!host.StopEnabled()) return;
    ShowLoading(host, path);
    if (PageFileExists(path)) extract.ExtractPage(ReadPageFile(path));
  }
  host.SetStopEnabled(false);
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
  const std::string id = std::to_string(templet.ID);
  Query& q = store.qryM;
  defs = RunDefinitions{};
  defs.IsTextTag = templet.IsTextTag;
  if (!templet.IsTextTag) {
    q.Open("select expr from exps where tmid=" + id);
    if (q.Eof()) return false;
    defs.Expression = q.AsString(0);
  }

  q.Open("select cid,tit,begw,endw,width,fid,tag,istr from cols where tmid=" + id +
         " and (tag=0 or tag=2 or tag=3) order by nox");
  for (; !q.Eof(); q.Next()) {
    TCol col;
    col.ColID = q.AsInt(0);
    col.OpenTag = Cut50(q.AsString(2));
    col.CloseTag = Cut50(q.AsString(3));
    col.Kind = q.AsInt(6);
    col.IsTrans = q.AsInt(7) == 1;
    defs.Cols.push_back(std::move(col));
  }

  rules.clear();
  q.Open(
      "select cid,rel,srv,dtv from vtrs where cid in (select distinct cid from cols where tmid=" +
      id + ")");
  for (; !q.Eof(); q.Next()) {
    TTrans rule;
    rule.ColID = q.AsInt(0);
    rule.Rel = q.AsInt(1);
    rule.SrcVal = Cut50(q.AsString(2));
    rule.DstVal = Cut50(q.AsString(3));
    rules.push_back(std::move(rule));
  }

  q.Open("select tit,begw,endw from cols where tmid=" + id + " and tag=1");
  if (!q.Eof()) {
    defs.StartMarker = q.AsString(0);
    defs.RecordOpenTag = q.AsString(1);
    defs.RecordCloseTag = q.AsString(2);
  }
  return true;
}

PageExtractor::PageExtractor(RunContext& ctx, const RunDefinitions& defs)
    : ctx_(ctx),
      defs_(defs),
      text_plan_(defs.Cols, defs.RecordOpenTag, defs.RecordCloseTag),
      regex_plan_(defs.Cols, defs.Expression, defs.RecordOpenTag, defs.RecordCloseTag) {}

bool PageExtractor::ExtractPage(std::string_view page, std::string_view field_value) {
  std::size_t pos = 1;
  if (!defs_.StartMarker.empty()) {
    pos = PosStr(defs_.StartMarker, page, 1);
    if (pos == 0) return false;
  }
  RecordAppender appender(ctx_.host, ctx_.host.Grid(), defs_.Cols, ctx_.state.rules, field_value,
                          &ctx_.download_image, ctx_.state.extracted);
  if (defs_.IsTextTag) return text_plan_.ExtractRecords(appender, page, pos);
  return regex_plan_.ExtractRecords(appender, ctx_.host, ctx_.re, page, pos);
}

void ExecuteTemplet(RunContext& ctx, const TTemplet& templet,
                    const std::vector<std::string>& files) {
  if (templet.IsURL && ctx.web == nullptr) throw RunError("web sources are not supported yet");
  ctx.state.extracted = 0;
  ctx.host.Grid().ClearRows();

  RunDefinitions defs;
  if (!LoadRunDefinitions(ctx.store, templet, defs, ctx.state.rules)) return;
  PageExtractor extract(ctx, defs);
  if (templet.IsURL) {
    ctx.web->Walk(templet, extract);
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
  Query& q = ctx.store.qryM;
  q.Open("select uid from urls where tmid=" + std::to_string(selected->ID));
  const bool has_sources = !q.Eof();
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
