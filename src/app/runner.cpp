// sorvane-run: runs one templet of a store without a window and writes its records as CSV.
//
//   sorvane-run [--store FILE] [--out FILE] [--format csv|jsonl] [--bom] [--save]
//               [--parallel N] [--delay MS] [--retries K] TEMPLET [FILE...]
//   sorvane-run [--store FILE] [--create] --import FILE
//   sorvane-run [--store FILE] [--out FILE] [--login-values] --export TEMPLET
//   sorvane-run [--store FILE] --explain TEMPLET [FILE]
//
// --import imports a templet file of either kind (scrambled or open) with the checks of
// "&Import..." and prints the new templet's id on standard output; a refused file changes
// nothing and exits with 1; --create lets it make the store when the file does not exist yet.
// --export writes the templet's open templet file to standard output (or --out), its login
// passwords left out unless --login-values is given.
//
// TEMPLET is a templet's name or id. Without FILEs the templet reads its stored sources, as
// Extract Now does; with FILEs it reads those files with the templet's method, as Open does.
// The records go to standard output in the CSV format of "Save As CSV", title line first; the
// status texts and messages go to standard error, each failure followed by its cause (the HTTP
// status, the expression's error, ...). With --save the records are also saved into the
// templet's target table after the run, as "Save To Database" saves them; a line on standard
// error gives the counts after every commit ("committed: 120 saved, 30 updated of 150"), and a
// run that was interrupted saves nothing. Only counted records are written: a row that a failure
// left half-filled is left out, and standard error says so. --out writes the records to a file
// instead, atomically (the file is replaced only once it is written whole); --format jsonl writes
// one JSON object per record (jsonlines.h); --bom starts the CSV text with a UTF-8 byte-order
// mark. --parallel, --delay and --retries set how a web run fetches its pages, in place of the
// templet's stored options for this run only (requests in flight 1..16, milliseconds between
// request starts, retries 0..5 of pages answered 429, 502, 503, 504 or dropped). Exit status: 0
// for a completed run; 1 for a run that ended by a failure (an error, a page
// that failed to load, a failed login; the rows extracted before it are still written) or met
// one it went on after (an expression error, an extract flag that could not be set), was
// interrupted (SIGINT/SIGTERM act as Stop), could not ask for a verification code, or whose
// definitions the store could not give, and for a save that was refused or failed; 2 for bad
// arguments (unknown templet, missing store or file, a templet without stored sources, --save for
// a templet without a target table); 3 for a run that ended with no record from pages read
// without error, when its templet warns on empty pages ("Warn on an empty page"; older templets
// do not, and end such a run with 0). Remarks that are no failure (a page sequence stopped on a
// repeated page, an empty page among pages with records, why a run found nothing) go to standard
// error too. The store is never created, except by --import with --create.
//
// --explain cuts the records of the templet's first page (FILE, else its first stored file or
// its URL with the page-number tag as page 1 and the field tag as the field's first value, as the
// editor's preview does), as a run would, and says on standard error how many records the page
// gives or, when none, why: which tag the page lacks, that the expression matched nowhere, or
// why it does not compile. Nothing goes to standard output and nothing is saved. Exit status 0
// when the page gives records, 3 when it gives none, 1 when it cannot be read, 2 as above.
//
// A login with a verification image saves the image to a temporary file, names it on standard
// error and reads the characters from standard input when that is a terminal (an empty line
// loads a new image, end of input cancels). Without a terminal the run ends as if the question
// had been cancelled.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "authoring/sourcepage.h"
#include "authoring/templetform.h"
#include "core/resultgrid.h"
#include "core/resultpages.h"
#include "core/runhost.h"
#include "core/store.h"
#include "core/templet.h"
#include "core/templetmodel.h"
#include "core/templetstore.h"
#include "engine/decimal.h"
#include "engine/explain.h"
#include "engine/httpclient.h"
#include "engine/login.h"
#include "engine/pagefile.h"
#include "engine/preview.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "import/templetfile.h"
#include "output/atomicfile.h"
#include "output/csv.h"
#include "output/jsonlines.h"
#include "output/savetable.h"

namespace {

using namespace sorvane;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoRecords = 3;

constexpr std::string_view kUsage =
    "usage: sorvane-run [--store FILE] [--out FILE] [--format csv|jsonl] [--bom] [--save]\n"
    "                   [--parallel N] [--delay MS] [--retries K] TEMPLET [FILE...]\n"
    "Runs the templet named TEMPLET (its name or id) of the store FILE (default: data.mdb in the\n"
    "current folder) on its stored sources, or on the FILEs given, and writes the records as CSV\n"
    "to standard output. Progress goes to standard error.\n"
    "  --out FILE       write the records to FILE, replacing it only once written whole\n"
    "  --format jsonl   one JSON object per record, keyed by column title, in UTF-8\n"
    "  --bom            start the CSV text with a UTF-8 byte-order mark\n"
    "  --save           also save the records into the templet's target table, as Save To\n"
    "                   Database does\n"
    "  --explain        cut only the first page (or FILE) and say how many records it gives, or\n"
    "                   why it gives none\n"
    "  --parallel N     keep up to N page requests in flight (1 to 16) for page-number ranges\n"
    "                   and database-field values; records keep the order of a one-at-a-time run\n"
    "  --delay MS       start two page requests at least MS milliseconds apart\n"
    "  --retries K      ask again, up to K times (0 to 5), for a page answered 429, 502, 503 or\n"
    "                   504 or whose connection dropped; the login post is never asked again\n"
    "                   (these three replace the templet's stored options for this run)\n"
    "\n"
    "usage: sorvane-run [--store FILE] [--create] --import FILE\n"
    "Imports a templet file (scrambled .tpl or open .json) into the store, with the checks of\n"
    "Import in the program, and prints the new templet's id. A refused file changes nothing.\n"
    "  --create         make a new store when the store file does not exist\n"
    "\n"
    "usage: sorvane-run [--store FILE] [--out FILE] [--login-values] --export TEMPLET\n"
    "Writes the templet as an open templet file (JSON) to standard output or FILE.\n"
    "  --login-values   include the login passwords, which are left out otherwise\n";

std::atomic<bool> g_interrupted{false};

extern "C" void OnSignal(int) {
  g_interrupted = true;
}

void Say(std::string_view text) {
  std::cerr << "sorvane-run: " << text << '\n';
}

// The file name extension of a verification image, by its first bytes.
std::string ImageSuffix(std::string_view bytes) {
  const std::string_view format = ImageFormatOf(bytes);
  if (format == "GIF") return ".gif";
  if (format == "BMP") return ".bmp";
  if (format == "PNG") return ".png";
  if (format == "JPEG") return ".jpg";
  return ".img";
}

// A verification image in a fresh file of the temporary folder, removed when the object goes.
class ImageFile {
 public:
  explicit ImageFile(const std::string& bytes) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    const std::string suffix = ImageSuffix(bytes);
    std::string name =
        ((ec ? std::filesystem::path("/tmp") : folder) / "sorvane-code-XXXXXX").string() + suffix;
    const int fd = mkstemps(name.data(), static_cast<int>(suffix.size()));
    if (fd < 0) return;
    close(fd);
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    path_ = name;
    if (!out) Remove();
  }
  ~ImageFile() { Remove(); }
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Empty when the file could not be written.
  const std::string& Path() const { return path_; }

 private:
  void Remove() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    path_.clear();
  }
  std::string path_;
};

// The run's host on the console: status texts and messages to standard error (record counts at
// most a few times a second), a stop flag that an interrupt also clears, and the verification
// question on the terminal when there is one.
class ConsoleHost : public RunHost {
 public:
  void ShowStatus(std::string_view text) override { std::cerr << text << '\n'; }
  void ShowExtracted(int, std::string_view text) override {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_count_ < std::chrono::milliseconds(500)) return;
    last_count_ = now;
    ShowStatus(text);
  }
  // Counts that change with every saved row, likewise.
  void ShowProgress(std::string_view text) override { ShowExtracted(0, text); }
  void ProcessEvents() override {}
  bool StopEnabled() const override { return stop_enabled_ && !g_interrupted; }
  void SetStopEnabled(bool enabled) override { stop_enabled_ = enabled; }
  Answer Message(std::string_view caption, std::string_view text, Icon icon,
                 Buttons buttons) override {
    std::cerr << caption << ": " << text << '\n';
    // A run shows warnings and errors only when something went wrong: a page that did not load,
    // a login that failed.
    if (icon == Icon::kWarning || icon == Icon::kError) failed_ = true;
    switch (buttons) {
      case Buttons::kOk:
        return Answer::kOk;
      case Buttons::kOkCancel:
        return Answer::kCancel;
      case Buttons::kYesNo:
        return Answer::kNo;
    }
    return Answer::kCancel;
  }
  bool AskImageCode(const VerificationCodeRequest& request, std::string& code) override {
    if (isatty(STDIN_FILENO) == 0) {
      Say("the login needs the characters of a verification image, but standard input is no "
          "terminal to ask on; the run ends without logging in");
      failed_ = true;
      return false;
    }
    for (;;) {
      if (!request.open_login_page(request.login_url)) {
        Say("Cann't open login page: " + request.login_url);
      }
      std::string bytes;
      std::optional<ImageFile> file;
      if (!request.fetch_image(request.image_url, bytes)) {
        Say("Cann't open image: " + request.image_url);
      } else {
        file.emplace(bytes);
        if (file->Path().empty()) {
          Say("the verification image cannot be saved to the temporary folder");
        } else {
          Say("verification image: " + file->Path());
        }
      }
      std::cerr << "Enter chars on the image (an empty line loads a new one): " << std::flush;
      std::string line;
      if (!std::getline(std::cin, line) || g_interrupted) {
        Say("no verification code given; the run ends without logging in");
        failed_ = true;
        return false;
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      code = line;
      return true;
    }
  }
  ResultGrid& Grid() override { return grid_; }
  void ShowCause(std::string_view cause) override {
    if (cause.empty()) return;
    Say(cause);
    failed_ = true;
  }
  // Remarks are no failure.
  void ShowNote(std::string_view note) override { Say(note); }

  // A warning or error was shown, a failure's cause was given, or the verification question
  // could not be answered.
  bool Failed() const { return failed_; }

 private:
  ResultGrid grid_;
  bool failed_ = false;
  bool stop_enabled_ = false;
  std::chrono::steady_clock::time_point last_count_{};
};

struct Arguments {
  std::string store = "data.mdb";
  std::string templet;
  std::vector<std::string> files;
  std::string out;  // empty: standard output
  std::string format = "csv";
  bool bom = false;
  bool save = false;
  std::string import;           // --import: the file to import
  bool export_templet = false;  // --export: TEMPLET is written as an open templet file
  bool login_values = false;
  bool create = false;  // --create: --import may make a new store
  bool explain = false;
  FetchOverrides fetch;
};

// A number option's value: decimal digits within [low, high].
bool ParseBounded(std::string_view name, std::string_view text, int low, int high,
                  std::optional<int>& into) {
  const std::optional<int> value = DecimalInt32(text);
  if (!value || *value < low || *value > high) {
    Say(std::string(name) + " takes a number from " + std::to_string(low) + " to " +
        std::to_string(high));
    return false;
  }
  into = *value;
  return true;
}

// Returns the exit status when the arguments say to end at once.
std::optional<int> ParseArguments(int argc, char** argv, Arguments& args) {
  bool options = true;
  bool have_templet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && (arg == "-h" || arg == "--help")) {
      std::cout << kUsage;
      return kExitDone;
    }
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "--store") {
      if (i + 1 >= argc) {
        Say("--store needs a file name");
        return kExitUsage;
      }
      args.store = argv[++i];
    } else if (options && arg.starts_with("--store=")) {
      args.store = std::string(arg.substr(8));
    } else if (options && (arg == "--out" || arg == "--format")) {
      if (i + 1 >= argc) {
        Say(std::string(arg) + " needs a value");
        return kExitUsage;
      }
      (arg == "--out" ? args.out : args.format) = argv[++i];
    } else if (options && arg.starts_with("--out=")) {
      args.out = std::string(arg.substr(6));
    } else if (options && arg.starts_with("--format=")) {
      args.format = std::string(arg.substr(9));
    } else if (options && (arg == "--parallel" || arg == "--delay" || arg == "--retries")) {
      if (i + 1 >= argc) {
        Say(std::string(arg) + " needs a value");
        return kExitUsage;
      }
      const std::string_view value = argv[++i];
      const bool ok =
          arg == "--parallel"
              ? ParseBounded(arg, value, 1, FetchOptions::kMaxInFlight, args.fetch.in_flight)
          : arg == "--delay"
              ? ParseBounded(arg, value, 0, FetchOptions::kMaxDelayMs, args.fetch.delay_ms)
              : ParseBounded(arg, value, 0, FetchOptions::kMaxRetries, args.fetch.retries);
      if (!ok) return kExitUsage;
    } else if (options && arg == "--bom") {
      args.bom = true;
    } else if (options && arg == "--save") {
      args.save = true;
    } else if (options && arg == "--import") {
      if (i + 1 >= argc) {
        Say("--import needs a file name");
        return kExitUsage;
      }
      args.import = argv[++i];
    } else if (options && arg == "--export") {
      args.export_templet = true;
    } else if (options && arg == "--login-values") {
      args.login_values = true;
    } else if (options && arg == "--create") {
      args.create = true;
    } else if (options && arg == "--explain") {
      args.explain = true;
    } else if (options && arg.size() > 1 && arg.front() == '-') {
      Say("unknown option " + std::string(arg));
      std::cerr << kUsage;
      return kExitUsage;
    } else if (!have_templet) {
      args.templet = std::string(arg);
      have_templet = true;
    } else {
      args.files.emplace_back(arg);
    }
  }
  if (!args.import.empty()) {
    if (have_templet || args.export_templet || args.save || !args.out.empty()) {
      Say("--import takes a file and no templet, --export, --save or --out");
      return kExitUsage;
    }
    return std::nullopt;
  }
  if (!have_templet) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  if (args.export_templet && (!args.files.empty() || args.save || args.format != "csv")) {
    Say("--export takes one templet and no files, --save or --format");
    return kExitUsage;
  }
  if (args.create) {
    Say("--create applies to --import only");
    return kExitUsage;
  }
  if (args.login_values && !args.export_templet) {
    Say("--login-values applies to --export only");
    return kExitUsage;
  }
  if (args.explain &&
      (args.files.size() > 1 || args.save || !args.out.empty() || args.export_templet)) {
    Say("--explain takes one templet and at most one file, without --save, --out or --export");
    return kExitUsage;
  }
  if (args.format != "csv" && args.format != "jsonl") {
    Say("unknown format " + args.format + " (csv or jsonl)");
    return kExitUsage;
  }
  if (args.bom && args.format != "csv") {
    Say("--bom applies to CSV only");
    return kExitUsage;
  }
  return std::nullopt;
}

// The templet named `key`: by its exact name, else by its id when `key` is a number.
std::optional<TTemplet> FindTemplet(Tdm& store, const std::string& key, std::string& problem) {
  const std::optional<int> id = DecimalInt32(key);
  std::vector<TTemplet> by_name;
  std::optional<TTemplet> by_id;
  for (const TempletEntry& entry : LoadTemplets(store)) {
    if (entry.name == key) by_name.push_back(entry.templet);
    if (id && entry.templet.ID == *id) by_id = entry.templet;
  }
  if (by_name.size() > 1) {
    problem = "more than one templet is named \"" + key + "\"; give its id instead";
    return std::nullopt;
  }
  if (by_name.size() == 1) return by_name.front();
  if (by_id) return by_id;
  problem = "no templet named \"" + key + "\" in the store";
  return std::nullopt;
}

// Lays the grid out for `templet` as the window does when the templet is selected, and returns the
// templet with its image folder. The target table's stored records are not read: the run would
// discard them at once.
TTemplet Select(Tdm& store, ResultGrid& grid, TTemplet templet) {
  ResultPages pages(grid);
  const int tab_id = templet.TabID;
  templet.TabID = 0;
  pages.Show(store, templet);
  templet = pages.Current();
  templet.TabID = tab_id;
  return templet;
}

// The window keeps a row that a failure left half-filled; the output holds counted rows only.
void LeaveOutUnfinishedRows(ResultGrid& grid, std::vector<int> rows) {
  if (rows.empty()) return;
  std::sort(rows.begin(), rows.end(), std::greater<>());
  for (const int row : rows)
    grid.RemoveRows(row, row);
  Say(std::to_string(rows.size()) + (rows.size() == 1 ? " partial row was" : " partial rows were") +
      " left out: a failure stopped filling them, and they were not counted as extracted");
}

bool HasStoredSources(Tdm& store, const TTemplet& templet) {
  return !ReadSources(store, templet.ID).empty();
}

// Writes the records in the chosen format to `out`, or to standard output when it is null.
void WriteRecords(const ResultGrid& grid, const Arguments& args, AtomicFile* out) {
  std::cout.flush();
  const ByteSink sink = [out](std::string_view bytes) {
    if (out) {
      out->Write(bytes);
    } else if (!WriteAll(STDOUT_FILENO, bytes)) {
      throw OutputError("Cannot write to standard output: " +
                        std::generic_category().message(errno));
    }
  };
  if (args.format == "jsonl") {
    WriteJsonLines(grid, sink);
  } else {
    WriteCsv(grid, sink, {.utf8_bom = args.bom});
  }
  if (out) out->Commit();
}

// Saves the grid into the templet's target table; the counts after every commit go to standard
// error.
int SaveRecords(Tdm& store, ConsoleHost& host, const TTemplet& templet, RunState& state) {
  TableSaveOptions options;
  options.committed = [](const SaveCounts& counts) {
    Say("committed: " + SaveProgressText(counts));
  };
  try {
    if (!SaveGridToTable(store, host, templet.TabID, state.extracted, options)) return kExitFailed;
  } catch (const std::exception& e) {
    Say(e.what());
    return kExitFailed;
  }
  return kExitDone;
}

// --import: the file into the store, the new templet's id on standard output.
int ImportFile(Tdm& store, const std::string& path) {
  ConsoleHost host;
  try {
    const std::optional<TempletEntry> entry = ImportAnyTempletFile(store, path, host);
    if (!entry) {
      Say("the imported templet's row is gone");
      return kExitFailed;
    }
    std::cout << entry->templet.ID << '\n' << std::flush;
  } catch (const std::exception& e) {
    Say(e.what());
    return kExitFailed;
  }
  return kExitDone;
}

// --explain: the first page of `templet`, cut as a run would cut it.
int Explain(Tdm& store, ConsoleHost& host, RegExpr& re, HttpClient& http, const TTemplet& templet,
            const Arguments& args) {
  std::string page;
  std::string content_type;
  std::string where;
  try {
    if (!args.files.empty()) {
      where = args.files.front();
      page = ReadPageFile(where);
    } else {
      const std::vector<std::string> sources = ReadSources(store, templet.ID);
      if (templet.IsURL) {
        where = UrlPreview(store, re, sources.front());
        SourcePage fetched;
        const AskImageCode ask = [&host](const VerificationCodeRequest& request,
                                         std::string& code) {
          return host.AskImageCode(request, code);
        };
        if (LoadSourcePage(store, http, templet.ID, where, ask, fetched) != SourceLoad::kLoaded) {
          Say(fetched.cause.empty() ? "the login did not take place" : fetched.cause);
          return kExitFailed;
        }
        page = std::move(fetched.bytes);
        content_type = std::move(fetched.content_type);
      } else {
        const auto found = std::find_if(sources.begin(), sources.end(), PageFileExists);
        if (found == sources.end()) {
          Say("none of the templet's stored files exists");
          return kExitUsage;
        }
        where = *found;
        page = ReadPageFile(where);
      }
    }
    RunDefinitions defs;
    std::vector<TTrans> rules;
    if (!LoadRunDefinitions(store, templet, defs, rules)) {
      Say("the templet has no stored expression");
      return kExitNoRecords;
    }
    const PreviewResult result = PreviewPage(store, re, defs, rules, std::move(page), content_type);
    for (const std::string& error : result.errors)
      Say(error);
    if (result.count > 0) {
      Say(std::to_string(result.count) + (result.count == 1 ? " record" : " records") + " on " +
          where);
      return kExitDone;
    }
    std::cerr << ExplanationText(result.reasons, where) << '\n';
    return kExitNoRecords;
  } catch (const std::exception& e) {
    Say(e.what());
    return kExitFailed;
  }
  return kExitDone;
}

// --export: the templet's open templet file on standard output or in `out`.
int ExportFile(Tdm& store, const Arguments& args, AtomicFile* out) {
  try {
    std::string problem;
    const std::optional<TTemplet> found = FindTemplet(store, args.templet, problem);
    if (!found) {
      Say(problem);
      return kExitUsage;
    }
    const std::string text = ExportTempletJson(store, found->ID, args.login_values);
    if (out) {
      out->Write(text);
      out->Commit();
    } else if (!WriteAll(STDOUT_FILENO, text)) {
      throw OutputError("Cannot write to standard output: " +
                        std::generic_category().message(errno));
    }
  } catch (const std::exception& e) {
    Say(e.what());
    return kExitFailed;
  }
  return kExitDone;
}

int Main(int argc, char** argv) {
  Arguments args;
  if (const std::optional<int> status = ParseArguments(argc, argv, args)) return *status;

  std::error_code ec;
  const bool create = args.create && !std::filesystem::exists(args.store, ec);
  if (!create && !std::filesystem::is_regular_file(args.store, ec)) {
    Say("store file not found: " + args.store);
    return kExitUsage;
  }
  if (!args.import.empty() && !std::filesystem::is_regular_file(args.import, ec)) {
    Say("no such file: " + args.import);
    return kExitUsage;
  }
  for (const std::string& file : args.files) {
    if (!std::filesystem::is_regular_file(file, ec)) {
      Say("no such file: " + file);
      return kExitUsage;
    }
  }

  // An output file that cannot be written is known before the run, not after it.
  std::optional<AtomicFile> out;
  if (!args.out.empty()) {
    try {
      out.emplace(args.out);
    } catch (const OutputError& e) {
      Say(e.what());
      return kExitUsage;
    }
  }

  std::optional<Tdm> store;
  try {
    store.emplace(args.store);
  } catch (const StoreError& e) {
    Say("Can not connect to database. " + args.store + ": " + e.what());
    return kExitUsage;
  }
  if (!args.import.empty()) return ImportFile(*store, args.import);
  if (args.export_templet) return ExportFile(*store, args, out ? &*out : nullptr);

  ConsoleHost host;
  RegExpr re;
  RunState state;
  std::optional<HttpClient> client;
  try {
    client.emplace();
  } catch (const HttpError& e) {
    Say(e.what());
    return kExitFailed;
  }
  RunContext ctx{.host = host,
                 .store = *store,
                 .re = re,
                 .state = state,
                 .http = &*client,
                 .fetch = args.fetch};
  TTemplet templet;
  try {
    std::string problem;
    const std::optional<TTemplet> found = FindTemplet(*store, args.templet, problem);
    if (!found) {
      Say(problem);
      return kExitUsage;
    }
    if (args.files.empty() && !HasStoredSources(*store, *found)) {
      Say(found->IsURL ? "the templet has no stored URL"
                       : "the templet has no stored files; name the files to read");
      return kExitUsage;
    }
    if (args.explain) return Explain(*store, host, re, *client, *found, args);
    if (args.save && found->TabID == 0) {
      Say("the templet has no target table to save into");
      return kExitUsage;
    }
    templet = Select(*store, host.Grid(), *found);
  } catch (const StoreError& e) {
    // The arguments were fine; the store could not give what the run needs.
    Say(e.what());
    return kExitFailed;
  }

  // Without SA_RESTART, so that an interrupt also ends a wait for the verification code.
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  RunCommandHooks hooks;
  hooks.choose_files = [&args](std::vector<std::string>& files) {
    files = args.files;
    return !files.empty();
  };
  int status = kExitDone;
  try {
    if (args.files.empty()) {
      ExtractNow(ctx, &templet, hooks);
    } else {
      OpenAndExtract(ctx, &templet, hooks);
    }
  } catch (const std::exception& e) {
    Say(e.what());
    status = kExitFailed;
  }
  if (status == kExitDone && g_interrupted) {
    Say("the run was interrupted");
    status = kExitFailed;
  }
  if (host.Failed()) status = kExitFailed;
  if (status == kExitDone && state.warn_empty_page && state.extracted == 0 &&
      state.pages_taken > 0) {
    Say("the run ended with no record, from pages read without error");
    status = kExitNoRecords;
  }
  LeaveOutUnfinishedRows(host.Grid(), state.unfinished_rows);
  if (args.save && !g_interrupted && SaveRecords(*store, host, templet, state) != kExitDone) {
    status = kExitFailed;
  }

  try {
    WriteRecords(host.Grid(), args, out ? &*out : nullptr);
  } catch (const std::exception& e) {
    Say(e.what());
    return kExitFailed;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  return Main(argc, argv);
}
