#include "designer/usertables.h"

#include <cstdio>
#include <optional>
#include <string>

namespace sorvane {
namespace {

struct FieldType {
  std::string_view text;
  std::string_view choice;
  std::string_view column;
  std::size_t limit;
};

constexpr FieldType kFieldTypes[kFieldTypeCount] = {
    {"Short Text (50)", "Short text (50)", "varchar(50)", 50},
    {"Text (250)", "Text (250)", "varchar(255)", 255},
    {"Long Text (>250)", "Long text (>250)", "memo", 0},
};

const FieldType* TypeOf(int typ) {
  return typ >= 0 && typ < kFieldTypeCount ? &kFieldTypes[typ] : nullptr;
}

std::string Id(int id) {
  return std::to_string(id);
}

}  // namespace

std::string_view FieldTypeText(int typ) {
  const FieldType* type = TypeOf(typ);
  return type ? type->text : std::string_view();
}

std::string_view FieldTypeChoice(int typ) {
  const FieldType* type = TypeOf(typ);
  return type ? type->choice : std::string_view();
}

std::string_view FieldColumnType(int typ) {
  const FieldType* type = TypeOf(typ);
  return type ? type->column : std::string_view();
}

std::size_t FieldValueLimit(int typ) {
  const FieldType* type = TypeOf(typ);
  return type ? type->limit : 0;
}

std::string FieldTag(int taid, int fid) {
  char tag[48];
  std::snprintf(tag, sizeof tag, "<FIELD:T%d,F%d/>", taid, fid);
  return tag;
}

std::vector<UserTable> LoadUserTables(Tdm& store) {
  Query& q = store.qryM;
  q.Open("select taid,tan from tabs");
  std::vector<UserTable> tables;
  for (; !q.Eof(); q.Next())
    tables.push_back({q.AsInt(0), q.AsString(1)});
  return tables;
}

std::vector<UserField> LoadUserFields(Tdm& store, int taid) {
  Query& q = store.qryM;
  q.Open("select fid,fti,typ,uni from flds where taid=" + Id(taid));
  std::vector<UserField> fields;
  for (; !q.Eof(); q.Next())
    fields.push_back({q.AsInt(0), q.AsString(1), q.AsInt(2), q.AsInt(3) == 1});
  return fields;
}

int CreateUserTable(Tdm& store, const std::string& name) {
  store.qryM.Execute("insert into tabs(tan) values(" + QuotedStr(name) + ")");
  const int taid = static_cast<int>(store.qryM.LastIdentity());
  store.conn.Execute("create table t" + Id(taid) +
                     "(id autoincrement primary key,fx smallint default 0)");
  return taid;
}

void RenameUserTable(Tdm& store, int taid, const std::string& name) {
  store.qryM.Execute("update tabs set tan=" + QuotedStr(name) + " where taid=" + Id(taid));
}

void DropUserTable(Tdm& store, int taid) {
  Query& q = store.qryM;
  const std::string id = Id(taid);
  q.Execute("update cols set fid=0 where fid in (select fid from flds where taid=" + id + ")");
  q.Execute("update tmps set taid=0 where taid=" + id);
  q.Execute("delete from flds where taid=" + id);
  q.Execute("delete from tabs where taid=" + id);
  q.Execute("drop table t" + id);
}

void DeleteUserData(Tdm& store, int taid) {
  store.qryM.Execute("delete from t" + Id(taid));
}

void ResetExtractFlags(Tdm& store, int taid) {
  store.qryM.Execute("update t" + Id(taid) + " set fx=0");
}

int AddUserField(Tdm& store, int taid, const std::string& title, int typ) {
  Query& q = store.qryM;
  q.Execute("insert into flds(taid,fti,typ) values(" + Id(taid) + "," + QuotedStr(title) + "," +
            Id(typ) + ")");
  const int fid = static_cast<int>(q.LastIdentity());
  try {
    q.Execute("alter table t" + Id(taid) + " add f" + Id(fid) + " " +
              std::string(FieldColumnType(typ)));
  } catch (const StoreError&) {
    try {
      q.Execute("delete from flds where fid=" + Id(fid));
    } catch (const StoreError&) {
      // The first error is the one to report.
    }
    throw;
  }
  return fid;
}

void RetitleUserField(Tdm& store, int fid, const std::string& title) {
  store.qryM.Execute("update flds set fti=" + QuotedStr(title) + " where fid=" + Id(fid));
}

void ChangeUserFieldType(Tdm& store, int taid, int fid, int typ) {
  store.qryM.Execute("alter table t" + Id(taid) + " alter column f" + Id(fid) + " " +
                     std::string(FieldColumnType(typ)));
  store.qryM.Execute("update flds set typ=" + Id(typ) + " where fid=" + Id(fid));
}

void DeleteUserField(Tdm& store, int taid, int fid) {
  store.qryM.Execute("delete from flds where fid=" + Id(fid));
  store.qryM.Execute("alter table t" + Id(taid) + " drop f" + Id(fid));
}

int UniqueFieldId(Tdm& store, int taid) {
  Query& q = store.qryM;
  q.Open("select fid from flds where taid=" + Id(taid) + " and uni=1");
  return q.Eof() ? 0 : q.AsInt(0);
}

void CreateUniqueIndex(Tdm& store, int taid, int fid) {
  const std::string t = Id(taid), f = Id(fid);
  store.qryM.Execute("create unique index idx_" + t + "_" + f + " on t" + t + "(f" + f + ")");
  store.qryM.Execute("update flds set uni=1 where fid=" + Id(fid));
}

void DropUniqueIndex(Tdm& store, int taid, int fid) {
  const std::string t = Id(taid), f = Id(fid);
  store.qryM.Execute("drop index idx_" + t + "_" + f + " on t" + t);
  store.qryM.Execute("update flds set uni=0 where fid=" + Id(fid));
}

std::vector<std::string> LoadFieldValues(Tdm& store, int taid, int fid) {
  Query& q = store.qryM;
  q.Open("select f" + Id(fid) + " from t" + Id(taid));
  std::vector<std::string> values;
  for (; !q.Eof(); q.Next())
    values.push_back(q.AsString(0));
  return values;
}

void InsertFieldValue(Tdm& store, int taid, int fid, std::string_view value) {
  store.qryM.Execute("insert into t" + Id(taid) + "(f" + Id(fid) + ") values(" + QuotedStr(value) +
                     ")");
}

std::int64_t CountUserRows(Tdm& store, int taid) {
  store.qryM.Open("select count(*) from t" + Id(taid));
  return store.qryM.AsInteger(0);
}

std::vector<UserRow> LoadUserRows(Tdm& store, int taid, const std::vector<int>& fids) {
  std::vector<UserRow> rows;
  if (fids.empty()) return rows;
  std::string select = "select ";
  for (std::size_t i = 0; i < fids.size(); ++i)
    select += (i == 0 ? "f" : ",f") + Id(fids[i]);
  Query& q = store.qryM;
  q.Open(select + " from t" + Id(taid) + " order by id");
  for (; !q.Eof(); q.Next()) {
    UserRow& row = rows.emplace_back();
    for (int i = 0; i < static_cast<int>(fids.size()); ++i) {
      if (q.IsNull(i)) {
        row.emplace_back();
      } else {
        row.emplace_back(q.AsString(i));
      }
    }
  }
  return rows;
}

void InsertUserRow(Tdm& store, int taid, const std::vector<int>& fids, const UserRow& values) {
  if (fids.empty()) {
    store.qryM.Execute("insert into t" + Id(taid) + "(fx) values(0)");
    return;
  }
  std::string names;
  std::string list;
  for (std::size_t i = 0; i < fids.size(); ++i) {
    names += (i == 0 ? "f" : ",f") + Id(fids[i]);
    if (i > 0) list += ',';
    if (i < values.size() && values[i]) {
      AppendQuotedStr(list, *values[i]);
    } else {
      list += "null";
    }
  }
  store.qryM.Execute("insert into t" + Id(taid) + "(" + names + ") values(" + list + ")");
}

}  // namespace sorvane
