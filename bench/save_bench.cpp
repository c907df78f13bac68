// Saving 100,000 grid rows of five texts into a user table of a store in a temporary folder, as
// "Save To Database" does (same statements, same checks), with a host that has no window. Two
// tables: one whose unique field is fed by the first column and which already holds every second
// row's value (half the rows update a record, half insert one), and one without a unique field
// (every row inserts). Each is saved as the program saves (rows grouped into transactions that
// commit about every 100 ms, each commit synced to disk) and, as the baseline in the same run, the
// way a save without transactions goes: the same statements, each one committed by itself (not
// synced, as single statements of the store are). Each figure is the best of a few runs on a fresh
// table.
//
// Output, one `name: value` line each:
//   rows                                              grid rows saved per run
//   save_rows_per_s, save_autocommit_rows_per_s       unique field, half updates
//   save_vs_autocommit                                their ratio
//   save_rows_per_s_plain, save_autocommit_rows_per_s_plain, save_vs_autocommit_plain
//                                                     the same without a unique field
//   save_commits                                      commits of one grouped run (unique table)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "benchhost.h"
#include "core/resultgrid.h"
#include "core/runhost.h"
#include "core/store.h"
#include "designer/usertables.h"
#include "output/savetable.h"
#include "support/tempdir.h"

namespace {

using namespace sorvane;
using Clock = std::chrono::steady_clock;

constexpr int kRows = 100000;
constexpr int kFields = 5;

// The first column's value of row r: unique per row.
std::string Key(int r) {
  return "item-" + std::to_string(r);
}

// A grid of kRows rows whose five columns feed the fields `fids` in order.
void FillGrid(ResultGrid& grid, const std::vector<int>& fids) {
  std::vector<GridColumn> columns;
  for (int i = 0; i < kFields; ++i) {
    GridColumn column;
    column.title = "c" + std::to_string(i + 1);
    column.ref.FldID = fids[static_cast<std::size_t>(i)];
    columns.push_back(column);
  }
  grid.SetColumns(std::move(columns));
  for (int r = 1; r <= kRows; ++r) {
    grid.AppendRow(0, {Key(r), "Steel bracket, blue", std::to_string(r % 997) + ".50", "in stock",
                       "delivery in " + std::to_string(r % 9 + 1) + " days"});
  }
}

// A table of five code-1 fields; with `unique`, field 1 is unique and the table holds the
// values of every second grid row.
int MakeTable(Tdm& store, bool unique, std::vector<int>& fids) {
  const int taid = CreateUserTable(store, unique ? "unique" : "plain");
  fids.clear();
  for (int i = 0; i < kFields; ++i)
    fids.push_back(AddUserField(store, taid, "F" + std::to_string(i + 1), 1));
  if (unique) {
    CreateUniqueIndex(store, taid, fids[0]);
    store.conn.Begin();
    for (int r = 2; r <= kRows; r += 2) {
      store.qryM.Execute("insert into t" + std::to_string(taid) + "(f" + std::to_string(fids[0]) +
                         ") values(" + QuotedStr(Key(r)) + ")");
    }
    store.conn.Commit();
  }
  return taid;
}

// The baseline: the save's statements for every row, each committed by itself.
void SaveEachStatement(Tdm& store, const ResultGrid& grid, int taid, int unique_fid,
                       const std::vector<int>& fids) {
  const std::string t = std::to_string(taid);
  Query& q = store.qryM;
  for (int r = 1; r <= grid.DataRowCount(); ++r) {
    if (unique_fid != 0) {
      q.Open("select id from t" + t + " where f" + std::to_string(unique_fid) + "=" +
             QuotedStr(grid.Cell(1, r)));
      if (!q.Eof()) {
        std::string sql = "update t" + t + " set ";
        for (int c = 1; c <= kFields; ++c) {
          sql += (c > 1 ? ",f" : "f") + std::to_string(fids[static_cast<std::size_t>(c - 1)]) +
                 "=" + QuotedStr(grid.Cell(c, r));
        }
        q.Execute(sql + " where f" + std::to_string(unique_fid) + "=" + QuotedStr(grid.Cell(1, r)));
        continue;
      }
    }
    std::string names, values;
    for (int c = 1; c <= kFields; ++c) {
      names += (c > 1 ? ",f" : "f") + std::to_string(fids[static_cast<std::size_t>(c - 1)]);
      values += (c > 1 ? "," : "") + QuotedStr(grid.Cell(c, r));
    }
    q.Execute("insert into t" + t + "(" + names + ") values(" + values + ")");
  }
}

struct Figure {
  double rows_per_s = 0;
  int commits = 0;
};

// With `grouped`, the program's save; otherwise the baseline.
Figure Measure(bool unique, bool grouped, int runs) {
  Figure best;
  for (int run = 0; run < runs; ++run) {
    sorvane::test::TempDir dir;
    Tdm store(dir.File("data.mdb"));
    std::vector<int> fids;
    const int taid = MakeTable(store, unique, fids);
    BenchHost host;
    FillGrid(host.grid, fids);
    int extracted = kRows;
    TableSaveOptions options;
    int commits = 0;
    options.committed = [&commits](const SaveCounts&) { ++commits; };
    const Clock::time_point start = Clock::now();
    if (grouped) {
      const auto counts = SaveGridToTable(store, host, taid, extracted, options);
      if (!counts || counts->processed != kRows || counts->updated != (unique ? kRows / 2 : 0)) {
        std::fprintf(stderr, "the save did not write every row\n");
        return {};
      }
    } else {
      SaveEachStatement(store, host.grid, taid, unique ? fids[0] : 0, fids);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    store.qryM.Open("select count(*) from t" + std::to_string(taid));
    if (store.qryM.AsInt(0) != kRows) {
      std::fprintf(stderr, "the table does not hold every row\n");
      return {};
    }
    if (kRows / seconds > best.rows_per_s) best = {kRows / seconds, commits};
  }
  return best;
}

}  // namespace

int main() {
  std::printf("rows: %d\n", kRows);
  for (const bool unique : {true, false}) {
    const char* suffix = unique ? "" : "_plain";
    const Figure grouped = Measure(unique, true, 3);
    const Figure each = Measure(unique, false, 1);
    std::printf("save_rows_per_s%s: %.0f\n", suffix, grouped.rows_per_s);
    std::printf("save_autocommit_rows_per_s%s: %.0f\n", suffix, each.rows_per_s);
    std::printf("save_vs_autocommit%s: %.2f\n", suffix,
                each.rows_per_s > 0 ? grouped.rows_per_s / each.rows_per_s : 0.0);
    if (unique) std::printf("save_commits: %d\n", grouped.commits);
  }
  return 0;
}
