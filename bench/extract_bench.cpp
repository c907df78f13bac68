// Throughput of record extraction into the grid's data on a page of table rows: text tags with
// record tags, one regular expression, and the C library's memmem over the same buffer as the
// ceiling. Each figure is the best of several runs; MB is 2^20 bytes. The window is not involved:
// the host's status call does nothing.
//
// Output, one `name: value` line each:
//   buffer_bytes, records            the 10 MB page and its rows
//   texttag_mbps, texttag_records_per_s
//   regex_mbps, regex_records_per_s
//   texttag_cut_mbps                 the same cuts without storing the values (diagnostic)
//   memmem_mbps                      every "</td>" found, one call per hit, case-sensitive
//   memmem_record_mbps               every "</tr>" likewise
//   texttag_vs_memmem, regex_vs_memmem   the two methods against memmem_mbps
//   texttag_mbps_1mb, texttag_mbps_10mb   the same extraction on a 1 MB and the 10 MB page
//   texttag_linearity                texttag_mbps_10mb / texttag_mbps_1mb (1.0 = linear)

#include <string.h>  // memmem

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "benchhost.h"
#include "core/resultgrid.h"
#include "core/runhost.h"
#include "engine/record.h"
#include "engine/regexpr.h"
#include "engine/regexrecords.h"
#include "engine/texttag.h"

namespace {

using namespace sorvane;

constexpr int kRuns = 9;

// `rows` rows of a product table, four cells each (name, price, stock, note), CR LF after each
// row; every eighth row is written in upper-case markup. About 105 bytes a row.
std::string MakePage(int rows) {
  static const char* const kWords[] = {"steel", "bracket", "with", "kit",  "blue",
                                       "large", "set",     "of",   "four", "spare",
                                       "cable", "grade",   "black"};
  std::mt19937 rng(2024);
  std::uniform_int_distribution<int> word(0, 12);
  std::uniform_int_distribution<int> number(1, 99999);
  const auto words = [&](int n) {
    std::string s;
    for (; n > 0; --n) {
      if (!s.empty()) s += ' ';
      s += kWords[word(rng)];
    }
    return s;
  };
  std::string page = "<html><body><table>\r\n";
  page.reserve(static_cast<std::size_t>(rows) * 110 + 64);
  for (int row = 0; row < rows; ++row) {
    const bool upper = row % 8 == 7;
    const char* td = upper ? "<TD>" : "<td>";
    const char* etd = upper ? "</TD>" : "</td>";
    page += upper ? "<TR>" : "<tr>";
    page += td + words(4) + " " + std::to_string(number(rng)) + etd;
    page +=
        td + std::to_string(number(rng) % 1000) + "." + std::to_string(10 + number(rng) % 90) + etd;
    page += td + std::to_string(number(rng) % 50) + " in stock" + etd;
    page += td + words(3) + etd;
    page += upper ? "</TR>\r\n" : "</tr>\r\n";
  }
  page += "</table></body></html>\r\n";
  return page;
}

// The best time of `work`; `setup` runs untimed before each run.
double Mbps(std::size_t bytes, double seconds) {
  return static_cast<double>(bytes) / (1u << 20) / seconds;
}

// One measured piece of work: `setup` runs untimed before every timed `work`.
struct Measure {
  std::function<void()> setup;
  std::function<void()> work;
  double best = 1e9;
};

// The measures take turns, round after round, so that a busy machine slows them alike; each
// keeps its best time.
void RunRounds(std::vector<Measure*> measures) {
  for (int run = 0; run < kRuns; ++run) {
    for (Measure* m : measures) {
      m->setup();
      const auto t0 = std::chrono::steady_clock::now();
      m->work();
      const auto t1 = std::chrono::steady_clock::now();
      m->best = std::min(m->best, std::chrono::duration<double>(t1 - t0).count());
    }
  }
}

std::vector<TCol> Columns(const char* open, const char* close) {
  std::vector<TCol> cols(4);
  for (std::size_t i = 0; i < cols.size(); ++i) {
    cols[i].ColID = static_cast<int>(i + 1);
    cols[i].OpenTag = open;
    cols[i].CloseTag = close;
  }
  return cols;
}

// Extraction of one page into a grid of four columns with one method.
class Extraction {
 public:
  Extraction(const std::string& page, bool text_tags)
      : page_(page),
        cols_(text_tags ? Columns("<td>", "</td>") : RegexColumns()),
        text_plan_(cols_, "<tr>", "</tr>"),
        regex_plan_(cols_, kExpression, {}, {}) {
    host_.grid.SetColumns(std::vector<GridColumn>(4));
    measure.setup = [this] {
      host_.grid.ClearRows();  // dropping the last run's rows is not extraction
      records = 0;
    };
    measure.work = [this, text_tags] {
      RecordAppender appender(host_, host_.grid, cols_, rules_, {}, nullptr, records);
      if (text_tags) {
        text_plan_.ExtractRecords(appender, page_, 1);
      } else {
        regex_plan_.ExtractRecords(appender, host_, re_, page_, 1);
      }
    };
  }

  Measure measure;
  int records = 0;

 private:
  static constexpr const char* kExpression =
      "(?i)<tr><td>(.*?)</td><td>(.*?)</td><td>(.*?)</td><td>(.*?)</td></tr>";
  static std::vector<TCol> RegexColumns() {
    std::vector<TCol> cols = Columns("", "");
    for (std::size_t i = 0; i < cols.size(); ++i)
      cols[i].OpenTag = "$" + std::to_string(i + 1);
    return cols;
  }

  const std::string& page_;
  BenchHost host_;
  std::vector<TCol> cols_;
  std::vector<TTrans> rules_;
  TextTagPlan text_plan_;
  RegexPlan regex_plan_;
  RegExpr re_;
};

// The same records cut by the text tags without being stored: what the grid's cells cost shows
// as the difference to texttag_mbps.
Measure CutOnly(const std::string& page, std::size_t& bytes) {
  Measure m;
  m.setup = [&bytes] { bytes = 0; };
  m.work = [&page, &bytes] {
    static const TagPair record("<tr>", "</tr>");
    static const TagPair cell("<td>", "</td>");
    std::size_t pos = 1;
    std::string_view block;
    std::string_view value;
    while (record.Cut(page, block, pos)) {
      std::size_t q = 1;
      for (int c = 0; c < 4; ++c) {
        cell.Cut(block, value, q);
        bytes += value.size();
      }
    }
  };
  return m;
}

Measure Memmem(const std::string& page, std::string_view needle, std::size_t& hits) {
  Measure m;
  m.setup = [&hits] { hits = 0; };
  m.work = [&page, needle, &hits] {
    const char* p = page.data();
    const char* const end = page.data() + page.size();
    while (const void* hit =
               memmem(p, static_cast<std::size_t>(end - p), needle.data(), needle.size())) {
      ++hits;
      p = static_cast<const char*>(hit) + needle.size();
    }
  };
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string page = MakePage(100000);
  const std::string small = MakePage(10000);
  // "texttag" or "regex" as the argument measures only that (for a profiler).
  const std::string_view only = argc > 1 ? argv[1] : "";
  if (only == "texttag" || only == "regex") {
    Extraction e(page, only == "texttag");
    RunRounds({&e.measure});
    std::printf("%.*s_mbps: %.0f\n", static_cast<int>(only.size()), only.data(),
                Mbps(page.size(), e.measure.best));
    return 0;
  }

  Extraction text(page, true);
  Extraction text_small(small, true);
  Extraction regex(page, false);
  std::size_t cut_bytes = 0;
  Measure cut = CutOnly(page, cut_bytes);
  std::size_t td_hits = 0;
  std::size_t tr_hits = 0;
  Measure memmem_td = Memmem(page, "</td>", td_hits);
  Measure memmem_tr = Memmem(page, "</tr>", tr_hits);
  RunRounds({&memmem_td, &text.measure, &regex.measure, &text_small.measure, &cut, &memmem_tr});

  const double text_mbps = Mbps(page.size(), text.measure.best);
  const double text_small_mbps = Mbps(small.size(), text_small.measure.best);
  const double memmem_mbps = Mbps(page.size(), memmem_td.best);
  const double regex_mbps = Mbps(page.size(), regex.measure.best);
  std::printf("buffer_bytes: %zu\n", page.size());
  std::printf("records: %d\n", text.records);
  std::printf("texttag_mbps: %.0f\n", text_mbps);
  std::printf("texttag_records_per_s: %.0f\n", text.records / text.measure.best);
  std::printf("texttag_cut_mbps: %.0f\n", Mbps(page.size(), cut.best));
  std::printf("regex_mbps: %.0f\n", regex_mbps);
  std::printf("regex_records: %d\n", regex.records);
  std::printf("regex_records_per_s: %.0f\n", regex.records / regex.measure.best);
  std::printf("memmem_mbps: %.0f\n", memmem_mbps);
  std::printf("memmem_hits: %zu\n", td_hits);
  std::printf("memmem_record_mbps: %.0f\n", Mbps(page.size(), memmem_tr.best));
  std::printf("texttag_vs_memmem: %.2f\n", text_mbps / memmem_mbps);
  std::printf("regex_vs_memmem: %.2f\n", regex_mbps / memmem_mbps);
  std::printf("texttag_mbps_1mb: %.0f\n", text_small_mbps);
  std::printf("texttag_mbps_10mb: %.0f\n", text_mbps);
  std::printf("texttag_linearity: %.2f\n", text_mbps / text_small_mbps);
  return 0;
}
