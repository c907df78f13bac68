#pragma once

// The extraction run: a templet's definitions read from the store, its pages visited in turn, the
// records of every page cut and appended to the result grid, and the end-of-run steps of the
// Extract Now and Open commands.
//
// Everything happens on the caller's thread. The run reports through RunHost::ShowStatus (before
// every page and after every record), which is where the window processes its events; Stop
// (RunHost::SetStopEnabled(false)) takes effect between pages and between records. A long
// expression search processes the host's events (RunHost::ProcessEvents) as it goes and ends
// once the stop flag is off; the run then ends as on Stop between records. When the run ends
// the expression engine's interrupt is cleared. During a run
// nothing else may use the expression engine, the grid's column layout or, in a database-field
// run, store.qryM (it holds the field values being visited).
//
// Web templets fetch through RunContext::http. While the run goes on, the client's pump processes
// the host's events (RunHost::ProcessEvents) and, once the stop flag is off, stops the transfer
// in progress, which the run reports as a failed load. When the run ends the pump is left
// processing the host's events only; the host must outlive the client or set another pump.
//
// Errors: a store error (StoreError), a local file that cannot be read or a translation rule
// with a non-numeric argument in a text-tag templet (RunError) end the run. The command functions
// do the end-of-run steps first and then let the error pass to the caller, whose standard error
// box shows what().

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/options.h"
#include "core/templet.h"
#include "engine/pagefetch.h"
#include "engine/record.h"
#include "engine/regexrecords.h"
#include "engine/sources.h"
#include "engine/texttag.h"
#include "engine/translate.h"

namespace sorvane {

class HttpClient;
class RegExpr;
class RunHost;
class Tdm;

// The filter of the open-file dialog for local sources (multiple selection, files must exist).
inline constexpr std::string_view kSourceFileFilter =
    "Text file (*.txt)|*.txt|HTML file (*.htm; *.html)|*.htm; *.html|All files (*.*)|*.*";

// What a run reads from the store before its first page.
struct RunDefinitions {
  bool IsTextTag = false;
  std::string Expression;           // regular-expression templets
  std::vector<TCol> Cols;           // kinds 0, 2, 3 in nox order: grid column i+1 shows Cols[i]
  std::vector<std::string> Titles;  // the title of each of Cols
  std::string StartMarker;
  std::string RecordOpenTag;
  std::string RecordCloseTag;
  PageSettings Page;  // the templet's page encoding and run guards (opts rows 6 to 8)
};

// Reads the definitions of `templet` with the run's statements through store.qryM: the expression
// (regular-expression templets), the columns, the translation rules of its columns (into `rules`)
// and the Start/Record Tag row. Returns false, having read nothing else, when a regular-expression
// templet has no stored expression: the run ends there.
bool LoadRunDefinitions(Tdm& store, const TTemplet& templet, RunDefinitions& defs,
                        std::vector<TTrans>& rules);

// The definitions of `model` as it stands (its method, expression, columns and rules), for a
// templet not necessarily stored: the records preview of the editor.
RunDefinitions DefinitionsOf(const TempletModel& model);

// Run state kept by the main window.
struct RunState {
  int extracted = 0;     // records appended in the current or last run; > 0 means unsaved results
  bool running = false;  // a run is going on: a second one does not start
  // Grid rows of the current or last run that a failure left half-filled: they stay in the grid
  // but were not counted (see RecordAppender::AppendRecord).
  std::vector<int> unfinished_rows;
  std::vector<TTrans> rules;  // translation rules of the last run
  // Pages of the current or last run that were fetched or read without error and taken by
  // PageExtractor::TakePage.
  int pages_taken = 0;
  // The current or last run's templet warns on an empty page: a run of it that ends with no
  // record from pages taken without error counts as a failure of the site or the templet.
  bool warn_empty_page = false;
};

class PageExtractor;
class RunProgress;

// "Fail loading or interrupted by youself:" + line feed + URL, caption "Error", warning icon:
// a page that could not be fetched; the run ends.
inline constexpr std::string_view kFailLoadingText = "Fail loading or interrupted by youself:";

// Another source of a web templet's pages, in place of the built-in one (which reads the URL,
// expands its tags, logs in and fetches the pages through RunContext::http). It calls
// extract.ExtractPage for every page, with the database-field value where there is one.
class WebSource {
 public:
  virtual ~WebSource() = default;
  virtual void Walk(const TTemplet& templet, PageExtractor& extract) = 0;
};

// What a run works with; all of it belongs to the caller and outlives the run.
struct RunContext {
  RunHost& host;
  Tdm& store;
  RegExpr& re;  // the one expression engine of the window
  RunState& state;
  WebSource* web = nullptr;           // null: the built-in web source over `http`
  ImageDownload download_image = {};  // empty: DownloadImage through `http` (none: kept)
  HttpClient* http = nullptr;         // the process's one client; null: web templets cannot be run
  // Fetching options for this run in place of the templet's stored ones (none: stored ones).
  FetchOverrides fetch = {};
};

// ExtractPage for the pages of one run.
class PageExtractor {
 public:
  // Image columns use ctx.download_image.
  PageExtractor(RunContext& ctx, const RunDefinitions& defs);
  PageExtractor(RunContext& ctx, const RunDefinitions& defs, ImageDownload download_image);

  // Extracts every record of `page` into the grid and returns true when at least one was
  // completed. Extraction starts at the first occurrence of the start marker (letter case
  // counts); a page without it yields nothing. `field_value` is the current database-field value,
  // or empty.
  bool ExtractPage(std::string_view page, std::string_view field_value = {});

  // The run's hook for every page fetched or read without error: `text` (the page; `content_type`
  // its Content-Type header, empty for a file) is converted to UTF-8 when the templet says so,
  // checked against the pages before it in its sequence (`seen`, null outside a sequence), then
  // extracted with ExtractPage. `where` (the URL or path) names the page in the notes. Returns
  // false, having extracted nothing, when the templet stops a page sequence on a repeated page
  // and this one repeats: the status says so, as a note does. A page without records after
  // pages with records is noted when the templet warns on empty pages. `extracted` tells
  // whether a record was appended.
  bool TakePage(std::string& text, std::string_view content_type, std::string_view where,
                std::string_view field_value, SeenPages* seen, bool& extracted);
  // After the last page: when the run took pages but appended no record, a note says why, for
  // its first page.
  void Finish();

  RunContext& Context() { return ctx_; }
  const RunDefinitions& Definitions() const { return defs_; }
  // The run's progress bar (null: none), which follows the records of a one-page run.
  void SetProgress(RunProgress* progress) { progress_ = progress; }

 private:
  RunContext& ctx_;
  const RunDefinitions& defs_;
  ImageDownload download_image_;
  TextTagPlan text_plan_;
  RegexPlan regex_plan_;
  RunProgress* progress_ = nullptr;
  bool needs_charset_ = false;  // a rule writes characters in the page's charset
  std::string charset_ = "UTF-8";
  std::string first_page_;  // the first page taken, for Finish
  std::string first_where_;
};

// The run (ExecuteTemplet): empties the grid's rows, sets the extracted count to 0, loads the
// definitions, and reads the local files `files` (when not empty) or the templet's stored
// sources. Missing files are skipped silently. A web templet goes to ctx.web, else to the
// built-in web source: its first URL, its tags, its login (a cancelled question or a failed post
// ends the run), content type "text/html", TLS when the URL starts with "https:" in any letter
// case, then every page with the stop check, the status "Loading: " + URL, the fetch (a failure
// shows kFailLoadingText and ends the run) and ExtractPage. The fetch follows the templet's
// fetching options (stored, or ctx.fetch): by default each page is fetched when it is visited;
// otherwise a PageFetcher may ask for planned pages ahead, pause and retry, leaving the same
// grid, counts and flags. Without ctx.web and ctx.http a web
// templet throws RunError before anything changes. Image columns are saved with
// DownloadImage (templet.ImgDir, templet.ID) unless ctx.download_image says otherwise.
void ExecuteTemplet(RunContext& ctx, const TTemplet& templet,
                    const std::vector<std::string>& files);

// What the window lends the commands.
struct RunCommandHooks {
  // The open-file dialog (kSourceFileFilter, multiple selection): false when cancelled; the
  // chosen paths in the dialog's order otherwise.
  std::function<bool(std::vector<std::string>& files)> choose_files;
  // true when a run starts (Extract Now disabled, the templet list's double-click detached),
  // false when it has ended (both back; row 0 fixed again when the grid has data rows).
  std::function<void(bool running)> running_changed;
};

// "Please select a templet.", shown by Extract Now without a selection.
inline constexpr std::string_view kSelectTempletText = "Please select a templet.";

// Extract Now on `selected` (null: none selected). Returns true when a run took place. A web
// templet without stored URL does nothing; a local templet without stored paths asks for files
// (a cancelled dialog still runs, over no files).
bool ExtractNow(RunContext& ctx, const TTemplet* selected, const RunCommandHooks& hooks);

// Open: runs `selected` with its method over files chosen now, also when it is a web templet.
// Returns true when a run took place (nothing happens without a selection or on cancel).
bool OpenAndExtract(RunContext& ctx, const TTemplet* selected, const RunCommandHooks& hooks);

// Steps 5 to 7 of both commands: the run with `files`, then always the end-of-run steps (Stop
// off, hooks.running_changed(false), "Done! All N records extracted."); an error passes on after
// them. Returns false, doing nothing, while another run is going on.
bool RunTemplet(RunContext& ctx, const TTemplet& templet, const std::vector<std::string>& files,
                const RunCommandHooks& hooks);

}  // namespace sorvane
