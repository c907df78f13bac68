#pragma once

// A real store in a fresh temporary folder, set as the program's data module `dm` while it lives,
// with helpers that put templets, columns, user tables and records into it the way the program's
// own statements do.

#include <sqlite3.h>

#include <string>
#include <vector>

#include "core/store.h"
#include "support/tempdir.h"

namespace sorvane::test {

class StoreFixture {
 public:
  StoreFixture() : previous_(dm) { dm = &store_; }
  ~StoreFixture() {
    sqlite3_trace_v2(store_.conn.Handle(), 0, nullptr, nullptr);
    dm = previous_;
  }
  StoreFixture(const StoreFixture&) = delete;
  StoreFixture& operator=(const StoreFixture&) = delete;

  Tdm& Store() { return store_; }
  const TempDir& Dir() const { return dir_; }

  void Exec(const std::string& sql) { store_.qryM.Execute(sql); }

  // The first field of the first row of `sql`, as integer.
  long long Scalar(const std::string& sql) {
    store_.qryM.Open(sql);
    return store_.qryM.AsInteger(0);
  }

  int AddTemplet(const std::string& name, int typ = 1, int tag = 1, int taid = 0) {
    Exec("insert into tmps(tmn,typ,tag,taid) values(" + QuotedStr(name) + "," +
         std::to_string(typ) + "," + std::to_string(tag) + "," + std::to_string(taid) + ")");
    return static_cast<int>(store_.qryM.LastIdentity());
  }

  // A column of kind `tag` at position `nox`; width < 0 leaves the store's default.
  int AddColumn(int tmid, const std::string& title, int fid, int nox, int tag = 0, int width = -1) {
    std::string sql = "insert into cols(tmid,tit,begw,endw,fid,tag,nox";
    std::string values = std::to_string(tmid) + "," + QuotedStr(title) + ",'<b>','</b>'," +
                         std::to_string(fid) + "," + std::to_string(tag) + "," +
                         std::to_string(nox);
    if (width >= 0) {
      sql += ",width";
      values += "," + std::to_string(width);
    }
    Exec(sql + ") values(" + values + ")");
    return static_cast<int>(Scalar("select max(cid) from cols"));
  }

  // The five option rows the options dialog writes.
  void AddOptions(int tmid, int row_height, const std::string& font, int size, int per_page,
                  const std::string& folder) {
    const std::string t = std::to_string(tmid);
    Exec("insert into opts values(" + t + ", 1, " + std::to_string(row_height) + ")");
    Exec("insert into opts values(" + t + ", 2, " + QuotedStr(font) + ")");
    Exec("insert into opts values(" + t + ", 3, " + std::to_string(size) + ")");
    Exec("insert into opts values(" + t + ", 4, " + std::to_string(per_page) + ")");
    Exec("insert into opts values(" + t + ", 5, " + QuotedStr(folder) + ")");
  }

  // A user table with `fields` short-text fields; returns its id and puts the field ids in
  // `fids`.
  int AddTable(const std::string& name, int fields, std::vector<int>& fids) {
    Exec("insert into tabs(tan) values(" + QuotedStr(name) + ")");
    const int taid = static_cast<int>(store_.qryM.LastIdentity());
    store_.conn.Execute("create table t" + std::to_string(taid) +
                        "(id autoincrement primary key,fx smallint default 0)");
    fids.clear();
    for (int i = 1; i <= fields; ++i) {
      Exec("insert into flds(taid,fti,typ) values(" + std::to_string(taid) + ",'F" +
           std::to_string(i) + "',0)");
      const int fid = static_cast<int>(store_.qryM.LastIdentity());
      Exec("alter table t" + std::to_string(taid) + " add f" + std::to_string(fid) +
           " varchar(50)");
      fids.push_back(fid);
    }
    return taid;
  }

  // `count` records with the value "<field index><letter>-<record number>" in each field,
  // record numbers from 1; the ids are 1..count in a fresh table.
  void AddRecords(int taid, const std::vector<int>& fids, int count) {
    for (int r = 1; r <= count; ++r) {
      std::string names, values;
      for (std::size_t i = 0; i < fids.size(); ++i) {
        names += (i ? ",f" : "f") + std::to_string(fids[i]);
        values += (i ? "," : "") +
                  QuotedStr(std::string(1, static_cast<char>('a' + i)) + "-" + std::to_string(r));
      }
      Exec("insert into t" + std::to_string(taid) + "(" + names + ") values(" + values + ")");
    }
  }

  // Records every statement the store hands to SQLite from now on that starts with `prefix`.
  void TraceStatements(const std::string& prefix) {
    trace_prefix_ = prefix;
    traced_.clear();
    sqlite3_trace_v2(store_.conn.Handle(), SQLITE_TRACE_STMT, &StoreFixture::OnTrace, this);
  }
  const std::vector<std::string>& Traced() const { return traced_; }

 private:
  static int OnTrace(unsigned, void* context, void*, void* text) {
    auto* self = static_cast<StoreFixture*>(context);
    const std::string sql = static_cast<const char*>(text);
    if (sql.rfind(self->trace_prefix_, 0) == 0) self->traced_.push_back(sql);
    return 0;
  }

  TempDir dir_;
  Tdm store_{dir_.File("data.mdb")};
  Tdm* previous_;
  std::string trace_prefix_;
  std::vector<std::string> traced_;
};

}  // namespace sorvane::test
