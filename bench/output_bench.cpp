// Output speed: CSV export of a large grid against a plain write() of the same bytes, the memory
// the export needs beyond the grid, and custom output into the dialog's output box.
//
// Output, one `name: value` line each (MB is 2^20 bytes; the best of several runs):
//   csv_rows, csv_bytes        size of the grid (5 columns) and of its CSV text
//   csv_mbps                   WriteCsvFile to a new file in a temporary folder, rename included
//   write_mbps                 write() of the same bytes, 1 MB at a time, to a new file
//   csv_vs_write               csv_mbps / write_mbps
//   csv_cpu_mbps, write_cpu_mbps, csv_vs_write_cpu
//                              the same two per second of processor time (user and system), which
//                              other processes on a busy machine do not change
//   csv_format_cpu_mbps        the CSV text made without writing it, per second of processor time
//   csv_extra_peak_kb          growth of the peak resident memory during one export
//   custom_records             records of the custom output run
//   custom_expand_records_per_s  the pattern expanded for every record (logic only)
//   custom_records_per_s       "Output Start" in TfrmOutput, until the output box holds the text

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/resultgrid.h"
#include "core/store.h"
#include "output/atomicfile.h"
#include "output/csv.h"
#include "output/customoutput.h"
#include "output/outputdialog.h"

namespace {

using namespace sorvane;
using Clock = std::chrono::steady_clock;

constexpr int kCsvRows = 1000000;
constexpr int kCustomRows = 100000;
constexpr int kRuns = 5;
constexpr double kMB = 1024.0 * 1024.0;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Product rows: a name of a few words (every 50th with a quote in it), a price, a stock count,
// a code and a short note.
ResultGrid MakeGrid(int rows, std::vector<int> column_ids = {}) {
  static const char* const kWords[] = {"steel", "bracket", "with",  "mounting", "kit",
                                       "blue",  "large",   "set",   "of",       "four",
                                       "spare", "cable",   "2.5mm", "outdoor",  "grade"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> word(0, 14);
  std::uniform_int_distribution<int> number(1, 99999);
  ResultGrid grid;
  std::vector<GridColumn> columns;
  for (int c = 0; c < 5; ++c) {
    columns.push_back({"Column " + std::to_string(c + 1),
                       {column_ids.empty() ? c + 1 : column_ids[static_cast<std::size_t>(c)], 0},
                       0});
  }
  grid.SetColumns(std::move(columns));
  for (int r = 0; r < rows; ++r) {
    std::string name = kWords[word(rng)];
    name += ' ';
    name += kWords[word(rng)];
    if (r % 50 == 0) name += " 5\" disc";
    grid.AppendRow(0, {name, std::to_string(number(rng)) + ".50", std::to_string(number(rng)),
                       "SKU-" + std::to_string(number(rng)), kWords[word(rng)]});
  }
  return grid;
}

// The process's peak resident memory in kB, which ResetPeak() brings down to the current size.
long PeakKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}
long CurrentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

void BenchCsv(const std::filesystem::path& folder) {
  const ResultGrid grid = MakeGrid(kCsvRows);
  const std::string path = (folder / "grid.csv").string();

  ResetPeak();
  const long before = CurrentKb();
  double csv_best = 1e9;
  double csv_cpu_best = 1e9;
  long extra_kb = 0;
  for (int run = 0; run < kRuns; ++run) {
    std::filesystem::remove(path);
    const Clock::time_point start = Clock::now();
    const double cpu_start = CpuSeconds();
    WriteCsvFile(grid, path);
    csv_cpu_best = std::min(csv_cpu_best, CpuSeconds() - cpu_start);
    csv_best = std::min(csv_best, Seconds(start));
    if (run == 0) extra_kb = PeakKb() - before;
  }
  const auto bytes = static_cast<double>(std::filesystem::file_size(path));

  std::string text;
  WriteCsv(grid, [&text](std::string_view piece) { text.append(piece); });
  const std::string plain = (folder / "plain.csv").string();
  double write_best = 1e9;
  double write_cpu_best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    std::filesystem::remove(plain);
    const Clock::time_point start = Clock::now();
    const double cpu_start = CpuSeconds();
    const int fd = open(plain.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (std::size_t at = 0; at < text.size(); at += 1u << 20)
      WriteAll(fd, std::string_view(text).substr(at, 1u << 20));
    close(fd);
    write_cpu_best = std::min(write_cpu_best, CpuSeconds() - cpu_start);
    write_best = std::min(write_best, Seconds(start));
  }

  // The formatting alone, in processor time, so that other processes on the machine do not count.
  double format_best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    std::size_t total = 0;
    const double start = CpuSeconds();
    WriteCsv(grid, [&total](std::string_view piece) { total += piece.size(); });
    format_best = std::min(format_best, CpuSeconds() - start);
  }
  std::printf("csv_format_cpu_mbps: %.0f\n", bytes / kMB / format_best);

  const double csv_mbps = bytes / kMB / csv_best;
  const double write_mbps = bytes / kMB / write_best;
  std::printf("csv_rows: %d\ncsv_bytes: %.0f\n", kCsvRows, bytes);
  std::printf("csv_mbps: %.0f\nwrite_mbps: %.0f\ncsv_vs_write: %.2f\n", csv_mbps, write_mbps,
              csv_mbps / write_mbps);
  std::printf("csv_cpu_mbps: %.0f\nwrite_cpu_mbps: %.0f\ncsv_vs_write_cpu: %.2f\n",
              bytes / kMB / csv_cpu_best, bytes / kMB / write_cpu_best,
              write_cpu_best / csv_cpu_best);
  std::printf("csv_extra_peak_kb: %ld\n", extra_kb);
}

void BenchCustom(const std::filesystem::path& folder, int argc, char** argv) {
  Tdm store((folder / "data.mdb").string());
  store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('T',1,1,0)");
  const int templet = static_cast<int>(store.qryM.LastIdentity());
  const ResultGrid grid = MakeGrid(kCustomRows, {11, 12, 13, 14, 15});
  const std::string pattern =
      "insert into products(name, price, stock, code) values('<CID:11/>', <CID:12/>, "
      "<CID:13/>, '<cid:14/>'); -- <CID:15/>";

  double expand_best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    std::string text;
    const Clock::time_point start = Clock::now();
    ExpandToText(grid, {pattern, true, 0, ""}, text);
    expand_best = std::min(expand_best, Seconds(start));
  }

  QApplication app(argc, argv);
  TfrmOutput dialog(store, grid);
  dialog.SetTempletID(templet);
  dialog.show();
  dialog.findChild<QPlainTextEdit*>(QStringLiteral("mmTemplet"))
      ->setPlainText(QString::fromStdString(pattern));
  dialog.findChild<QCheckBox*>(QStringLiteral("cbSQL"))->click();
  auto* start_button = dialog.findChild<QPushButton*>(QStringLiteral("btnGetResult"));
  auto* output = dialog.findChild<QPlainTextEdit*>(QStringLiteral("mmOutput"));
  double dialog_best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const Clock::time_point start = Clock::now();
    start_button->click();
    QApplication::processEvents();  // the box lays out and paints what it shows
    dialog_best = std::min(dialog_best, Seconds(start));
  }
  if (output->blockCount() < kCustomRows) std::fprintf(stderr, "the output box is short\n");

  std::printf("custom_records: %d\n", kCustomRows);
  std::printf("custom_expand_records_per_s: %.0f\n", kCustomRows / expand_best);
  std::printf("custom_records_per_s: %.0f\n", kCustomRows / dialog_best);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::string folder = (std::filesystem::temp_directory_path() / "sorvane-bench-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 1;
  BenchCsv(folder);
  BenchCustom(folder, argc, argv);
  std::filesystem::remove_all(folder);
  return 0;
}
