#include "output/savetable.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "core/progressbar.h"
#include "core/resultgrid.h"
#include "core/runhost.h"
#include "core/store.h"
#include "designer/usertables.h"
#include "engine/rundriver.h"

namespace sorvane {
namespace {

using Clock = std::chrono::steady_clock;

std::string CountsText(const char* pattern, const SaveCounts& counts) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, counts.saved, counts.updated, counts.processed);
  return text;
}

// Which grid columns feed which fields of the table.
struct SavePlan {
  struct Mapped {
    int column;        // 1..n
    std::string name;  // "f" + FldID
  };
  std::vector<Mapped> mapped;  // in column order
  int unique_fid = 0;
  int unique_column = 0;  // the rightmost mapped column feeding the unique field, 0 when none
};

// The refusal of a plan that cannot be saved, or empty.
std::string Refusal(const ResultGrid& grid, const SavePlan& plan) {
  if (plan.mapped.empty()) return std::string(kNoMappedColumnText);
  if (plan.unique_fid != 0 && plan.unique_column == 0) return std::string(kUniqueNotFedText);
  // A field named twice in one statement is an error of the store, which would come only after
  // the rows before it were written.
  const std::vector<GridColumn>& columns = grid.Columns();
  for (std::size_t i = 0; i < plan.mapped.size(); ++i) {
    for (std::size_t j = i + 1; j < plan.mapped.size(); ++j) {
      if (plan.mapped[i].name != plan.mapped[j].name) continue;
      return "Two columns are associated with the same field: \"" +
             columns[static_cast<std::size_t>(plan.mapped[i].column - 1)].title + "\" and \"" +
             columns[static_cast<std::size_t>(plan.mapped[j].column - 1)].title +
             "\".\nAssociate each field with one column only, then save again.";
    }
  }
  return {};
}

// The statements of one row, composed in buffers that are reused from row to row.
class RowStatements {
 public:
  RowStatements(const ResultGrid& grid, const SavePlan& plan, int tab_id)
      : grid_(grid), plan_(plan) {
    const std::string table = "t" + std::to_string(tab_id);
    std::string names;
    for (const SavePlan::Mapped& m : plan.mapped)
      names += "," + m.name;
    insert_head_ = "insert into " + table + "(" + names.substr(1) + ") values(";
    update_head_ = "update " + table + " set ";
    const std::string unique = "f" + std::to_string(plan.unique_fid);
    select_head_ = "select id from " + table + " where " + unique + "=";
    update_where_ = " where " + unique + "=";
  }

  bool HasUniqueColumn() const { return plan_.unique_fid != 0 && plan_.unique_column != 0; }

  const std::string& Select(int row) {
    sql_ = select_head_;
    AppendQuotedStr(sql_, grid_.Cell(plan_.unique_column, row));
    return sql_;
  }
  const std::string& Update(int row) {
    sql_ = update_head_;
    bool first = true;
    for (const SavePlan::Mapped& m : plan_.mapped) {
      if (!first) sql_ += ',';
      first = false;
      sql_ += m.name;
      sql_ += '=';
      AppendQuotedStr(sql_, grid_.Cell(m.column, row));
    }
    sql_ += update_where_;
    AppendQuotedStr(sql_, grid_.Cell(plan_.unique_column, row));
    return sql_;
  }
  const std::string& Insert(int row) {
    sql_ = insert_head_;
    bool first = true;
    for (const SavePlan::Mapped& m : plan_.mapped) {
      if (!first) sql_ += ',';
      first = false;
      AppendQuotedStr(sql_, grid_.Cell(m.column, row));
    }
    sql_ += ')';
    return sql_;
  }

 private:
  const ResultGrid& grid_;
  const SavePlan& plan_;
  std::string insert_head_, update_head_, select_head_, update_where_;
  std::string sql_;
};

}  // namespace

std::string SaveProgressText(const SaveCounts& counts) {
  return CountsText("%d saved, %d updated of %d", counts);
}

std::string SaveDoneText(const SaveCounts& counts) {
  return CountsText("Done! %d saved, %d updated of %d", counts);
}

std::optional<SaveCounts> SaveGridToTable(Tdm& store, RunHost& host, int tab_id, int& extracted,
                                          const TableSaveOptions& options) {
  const ResultGrid& grid = host.Grid();
  SavePlan plan;
  plan.unique_fid = UniqueFieldId(store, tab_id);
  for (int c = 1; c <= grid.ShownColumnCount(); ++c) {
    const int fid = grid.Columns()[static_cast<std::size_t>(c - 1)].ref.FldID;
    if (fid <= 0) continue;
    plan.mapped.push_back({c, "f" + std::to_string(fid)});
    if (fid == plan.unique_fid) plan.unique_column = c;
  }
  if (const std::string refusal = Refusal(grid, plan); !refusal.empty()) {
    host.Message("Note", refusal, RunHost::Icon::kWarning, RunHost::Buttons::kOk);
    return std::nullopt;
  }

  Connection& conn = store.conn;
  Query& q = store.qryM;
  RowStatements statements(grid, plan, tab_id);
  SaveCounts counts;   // every row written
  SaveCounts durable;  // the rows of the transactions that were committed
  Clock::time_point opened;
  const auto commit = [&] {
    conn.Commit();
    durable = counts;
    if (options.committed) options.committed(durable);
  };
  std::exception_ptr failure;
  host.SetStopEnabled(true);
  ProgressBarScope bar(host);
  try {
    const int rows = grid.DataRowCount();
    bar.Show(0, rows, "rows");
    for (int row = 1; row <= rows; ++row) {
      if (!conn.InTransaction()) {
        conn.Begin();
        opened = Clock::now();
      }
      bool update = false;
      if (statements.HasUniqueColumn()) {
        q.Open(statements.Select(row));
        update = !q.Eof();
      }
      if (update) {
        q.Execute(statements.Update(row));
        ++counts.updated;
      } else {
        q.Execute(statements.Insert(row));
        ++counts.saved;
      }
      ++counts.processed;
      bar.Show(counts.processed, rows, "rows");
      host.ShowProgress(SaveProgressText(counts));
      if (Clock::now() - opened >= options.commit_interval) commit();
      if (!host.StopEnabled()) break;
    }
    if (conn.InTransaction()) commit();
  } catch (...) {
    failure = std::current_exception();
    // The failing statement left nothing behind; the rows before it are kept.
    if (conn.InTransaction()) {
      try {
        commit();
      } catch (...) {
        conn.Rollback();
      }
    }
  }
  extracted = 0;
  host.SetStopEnabled(false);
  host.ShowStatus(SaveDoneText(durable));
  if (failure) std::rethrow_exception(failure);
  return durable;
}

bool SaveToDatabase(RunContext& ctx, const TTemplet* current, const RunCommandHooks& hooks) {
  if (ctx.state.running || current == nullptr || current->ID == 0) return false;
  ctx.state.running = true;
  if (hooks.running_changed) hooks.running_changed(true);
  std::optional<SaveCounts> saved;
  try {
    saved = SaveGridToTable(ctx.store, ctx.host, current->TabID, ctx.state.extracted);
  } catch (...) {
    ctx.state.running = false;
    if (hooks.running_changed) hooks.running_changed(false);
    throw;
  }
  ctx.state.running = false;
  if (hooks.running_changed) hooks.running_changed(false);
  return saved.has_value();
}

}  // namespace sorvane
