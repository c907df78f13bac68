#pragma once

// The entries the table and column picker (tabdialog.h) offers, read from the store. Statements
// run on store.qryM and throw StoreError.

#include <string>
#include <vector>

#include "core/store.h"

namespace sorvane {

// One entry of the picker: the text shown and the id it stands for.
struct PickItem {
  std::string title;
  int id = 0;
};

// The templet's columns of kind 0 ("Normal"), in the store's order:
// "select tit,cid from cols where tmid=<id> and tag=0".
std::vector<PickItem> LoadColumnItems(Tdm& store, int templet_id);

}  // namespace sorvane
