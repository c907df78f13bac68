#pragma once

// The entries the authoring dialogs offer for picking, read from the store: the table and column
// picker (tabdialog.h) lists user tables or a templet's normal columns, the column dialogs' field
// choice the fields of the target table. Statements run on store.qryM and throw StoreError.

#include <string>
#include <vector>

#include "core/store.h"

namespace sorvane {

// One entry: the text shown and the id it stands for.
struct PickItem {
  std::string title;
  int id = 0;
};

// The templet's columns of kind 0 ("Normal"), in the store's order:
// "select tit,cid from cols where tmid=<id> and tag=0".
std::vector<PickItem> LoadColumnItems(Tdm& store, int templet_id);

// Every user table, in the store's order: "select taid,tan from tabs".
std::vector<PickItem> LoadTableItems(Tdm& store);

// The fields of user table `taid`, in the store's order: "select fid,fti from flds where
// taid=<taid>".
std::vector<PickItem> LoadFieldItems(Tdm& store, int taid);

}  // namespace sorvane
