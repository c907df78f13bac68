#include "core/templetstore.h"

namespace sorvane {

std::vector<TempletEntry> LoadTemplets(Tdm& store) {
  std::vector<TempletEntry> entries;
  Query& q = store.qryM;
  q.Open("select tmid,tmn,typ,tag,taid from tmps");
  for (; !q.Eof(); q.Next()) {
    TempletEntry entry;
    entry.name = q.AsString(1);
    entry.templet.ID = q.AsInt(0);
    entry.templet.IsURL = q.AsInteger(2) == 1;
    entry.templet.IsTextTag = q.AsInteger(3) == 1;
    entry.templet.TabID = q.AsInt(4);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::string> DeleteTempletStatements(int id) {
  const std::string n = std::to_string(id);
  return {
      "delete from urls where tmid=" + n,
      "delete from exps where tmid=" + n,
      "delete from opts where tmid=" + n,
      "delete from nvps where tmid=" + n,
      "delete from vtrs where cid in (select distinct cid from cols where tmid=" + n + ")",
      "delete from cols where tmid=" + n,
      "delete from tmps where tmid=" + n,
  };
}

void DeleteTemplet(Tdm& store, int id) {
  // Id 0 names no templet, and its option row 1 is the global image counter.
  if (id < 1) return;
  for (const std::string& sql : DeleteTempletStatements(id))
    store.qryM.Execute(sql);
}

}  // namespace sorvane
