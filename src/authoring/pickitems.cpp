#include "authoring/pickitems.h"

namespace sorvane {

std::vector<PickItem> LoadColumnItems(Tdm& store, int templet_id) {
  std::vector<PickItem> items;
  store.qryM.Open("select tit,cid from cols where tmid=" + std::to_string(templet_id) +
                  " and tag=0");
  for (; !store.qryM.Eof(); store.qryM.Next())
    items.push_back({store.qryM.AsString(0), store.qryM.AsInt(1)});
  return items;
}

std::vector<PickItem> LoadTableItems(Tdm& store) {
  std::vector<PickItem> items;
  for (store.qryM.Open("select taid,tan from tabs"); !store.qryM.Eof(); store.qryM.Next())
    items.push_back({store.qryM.AsString(1), store.qryM.AsInt(0)});
  return items;
}

std::vector<PickItem> LoadFieldItems(Tdm& store, int taid) {
  std::vector<PickItem> items;
  for (store.qryM.Open("select fid,fti from flds where taid=" + std::to_string(taid));
       !store.qryM.Eof(); store.qryM.Next()) {
    items.push_back({store.qryM.AsString(1), store.qryM.AsInt(0)});
  }
  return items;
}

}  // namespace sorvane
