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

}  // namespace sorvane
