// A whole local-file run against the cutter alone, on a generated page of 1,000,000 table rows
// of five cells (about 125 MB, LF line ends). The run is `sorvane-run --out FILE` started as a
// process, so that its figures hold everything: reading the file by the local-file rules,
// cutting, the grid, and the CSV file. Wall time is the best of three runs; peak memory is the
// process's maximum resident set. MB is 2^20 bytes. `bench_run DIR` makes its page, store and CSV
// file in DIR and leaves them there (to profile a run by hand); without it, in a temporary folder.
//
// Output, one `name: value` line each:
//   page_bytes, cell_bytes, records   the page, the bytes of all its cells, its rows
//   cutter_mbps                       the page (in memory, page text already made) cut by the
//                                     text tags into a grid, as texttag_mbps measures
//   run_e2e_mbps                      page bytes over the whole run's wall time
//   run_vs_cutter                     run_e2e_mbps / cutter_mbps
//   run_peak_rss_mb                   the run's peak resident memory
//   rss_vs_data                       run_peak_rss_mb over (file bytes + cell bytes)

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "benchhost.h"
#include "bigpage.h"
#include "core/resultgrid.h"
#include "core/runhost.h"
#include "core/store.h"
#include "engine/pagefile.h"
#include "engine/record.h"
#include "engine/texttag.h"
#include "support/tempdir.h"

extern char** environ;

namespace {

using namespace sorvane;

constexpr int kRecords = bench::kBigPageRecords;
constexpr int kRuns = 3;

double CutterSeconds(const std::string& page) {
  BenchHost host;
  host.grid.SetColumns(std::vector<GridColumn>(5));
  const std::vector<TCol> cols = bench::BigPageColumns();
  const std::vector<TTrans> rules;
  const TextTagPlan plan(cols, "<tr>", "</tr>");
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    host.grid.ClearRows();
    int records = 0;
    const auto t0 = std::chrono::steady_clock::now();
    RecordAppender appender(host, host.grid, cols, rules, {}, nullptr, records);
    plan.ExtractRecords(appender, page, 1);
    const auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    if (records != kRecords) {
      std::fprintf(stderr, "cutter found %d records\n", records);
      std::exit(1);
    }
  }
  return best;
}

// Runs the headless runner; returns the wall time and the peak resident set in kB.
double RunSeconds(const std::vector<std::string>& args, long& peak_kb) {
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::perror("posix_spawn");
    std::exit(1);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto t1 = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the run failed\n");
    std::exit(1);
  }
  peak_kb = usage.ru_maxrss;
  return std::chrono::duration<double>(t1 - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const sorvane::test::TempDir temp;
  const std::filesystem::path folder = argc > 1 ? std::filesystem::path(argv[1]) : temp.Path();
  std::filesystem::create_directories(folder);
  const auto file = [&](const char* name) { return (folder / name).string(); };
  const std::string page_path = file("page.html");
  const std::size_t cell_bytes = bench::WriteBigPage(page_path);
  const std::string store_path = file("data.mdb");
  bench::MakeBigPageStore(store_path, page_path);
  double page_bytes = 0;
  double cutter = 0;
  {
    const std::string page = ReadPageFile(page_path);
    page_bytes = static_cast<double>(page.size());
    cutter = page_bytes / (1u << 20) / CutterSeconds(page);
  }
  const std::vector<std::string> args = {SORVANE_RUN_PATH, "--store",       store_path,
                                         "--out",          file("out.csv"), "big"};
  double best = 1e9;
  long peak_kb = 0;
  for (int run = 0; run < kRuns; ++run) {
    long kb = 0;
    best = std::min(best, RunSeconds(args, kb));
    peak_kb = std::max(peak_kb, kb);
  }
  const double e2e = page_bytes / (1u << 20) / best;
  const double peak_mb = static_cast<double>(peak_kb) / 1024;
  std::printf("page_bytes: %.0f\n", page_bytes);
  std::printf("cell_bytes: %zu\n", cell_bytes);
  std::printf("records: %d\n", kRecords);
  std::printf("cutter_mbps: %.1f\n", cutter);
  std::printf("run_e2e_mbps: %.1f\n", e2e);
  std::printf("run_vs_cutter: %.2f\n", e2e / cutter);
  std::printf("run_peak_rss_mb: %.1f\n", peak_mb);
  const auto file_bytes = static_cast<double>(std::filesystem::file_size(page_path));
  std::printf("rss_vs_data: %.2f\n",
              peak_mb * (1u << 20) / (file_bytes + static_cast<double>(cell_bytes)));
  return 0;
}
