#pragma once

// Saving the result grid's rows into a user table ("Save To &Database"). Every grid column mapped
// to a field of the table (its TColRef has a FldID) supplies that field's value, as a quoted text
// whatever the field's type (an empty cell is the empty text). When the table has a unique field
// and a column feeds it, a row whose unique value is already stored updates that record (all
// mapped fields); every other row is inserted. The grid is only read.
//
// Durability: the rows are written in transactions of about TableSaveOptions::commit_interval each,
// and the open one is committed at the end, on Stop and before a failure is reported. A row is
// one statement, so it is in the table wholly or not at all; every row that the final status
// counts is in the table; when the process dies, every commit that returned is kept.
//
// Interface thread only (the host's ShowProgress processes window events after every row, which
// is how Stop reaches the loop). While the save goes on the grid must not change.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/templet.h"

namespace sorvane {

class ResultGrid;
class RunHost;
class Tdm;
struct RunCommandHooks;
struct RunContext;

inline constexpr std::string_view kNoMappedColumnText = "No column with field associated.";
inline constexpr std::string_view kUniqueNotFedText = "No column associated with unique field.";

// Rows inserted, rows updated, rows handled.
struct SaveCounts {
  int saved = 0;
  int updated = 0;
  int processed = 0;
  bool operator==(const SaveCounts&) const = default;
};

// "%d saved, %d updated of %d", shown after every row.
std::string SaveProgressText(const SaveCounts& counts);
// "Done! %d saved, %d updated of %d", the final status.
std::string SaveDoneText(const SaveCounts& counts);

struct TableSaveOptions {
  // A transaction is committed once it has been open this long (and at the end); zero commits
  // every row by itself.
  std::chrono::milliseconds commit_interval{100};
  // Called after every commit that returned, with the counts of every row made durable so far.
  std::function<void(const SaveCounts&)> committed;
};

// Saves the rows of host.Grid() into table `tab_id`:
//  - refuses, in a "Note" box with a warning icon and before writing anything, when no column is
//    mapped (kNoMappedColumnText), when the table's unique field is fed by no column
//    (kUniqueNotFedText), or when two columns feed the same field; then nothing is returned and
//    `extracted` keeps its value;
//  - otherwise enables Stop, writes every row in order (Stop ends the loop after the row that
//    saw it), and always ends with `extracted` = 0, Stop disabled and the final status
//    SaveDoneText with the counts of the rows in the table. Those counts are returned.
// A statement the store rejects ends the loop: the rows before it stay saved, and its StoreError
// passes on after the final status. So does a failed commit, whose rows are then not counted.
std::optional<SaveCounts> SaveGridToTable(Tdm& store, RunHost& host, int tab_id, int& extracted,
                                          const TableSaveOptions& options = {});

// The command "Save To &Database", shaped like the run commands so that the window runs it the
// same way: nothing happens without a current templet (`current` null or its ID 0) or while a run
// goes on; otherwise, with the run state marked running and hooks.running_changed told so (the
// window blocks the commands that change the grid), SaveGridToTable into the templet's target
// table with the run state's extracted count. Returns true when rows were saved (even none),
// false when nothing happened or the save was refused. Errors pass on as there.
bool SaveToDatabase(RunContext& ctx, const TTemplet* current, const RunCommandHooks& hooks);

}  // namespace sorvane
