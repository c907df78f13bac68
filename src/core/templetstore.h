#pragma once

// Templet rows of the store as the templet list needs them: reading the list and deleting one
// templet with everything that belongs to it. Every function throws StoreError when a statement
// fails; statements executed before the failure stay applied.

#include <string>
#include <vector>

#include "core/store.h"
#include "core/templet.h"

namespace sorvane {

// One entry of the templet list: its name and its record (ImgDir empty).
struct TempletEntry {
  std::string name;
  TTemplet templet;
};

// Every templet, in the store's order (ascending id), read with
// "select tmid,tmn,typ,tag,taid from tmps" on store.qryM.
std::vector<TempletEntry> LoadTemplets(Tdm& store);

// The seven statements that delete templet `id`: its sources, expression, options, login rows,
// translation rules and columns, and its tmps row, in that order (the rules are found through
// the columns, so they go first). The target table and its records are not touched.
std::vector<std::string> DeleteTempletStatements(int id);

// Executes DeleteTempletStatements(id) one after the other on store.qryM. An id below 1 names
// no templet and nothing runs (the option rows of id 0 hold the global image counter).
void DeleteTemplet(Tdm& store, int id);

}  // namespace sorvane
