// The system tables of a store: created in a new store file, looked for in an existing one.

#include <sqlite3.h>

#include <string>

#include "core/sqliteexec.h"
#include "core/store.h"

namespace sorvane {
namespace {

// Column types and defaults of the nine system tables. Texts are unbounded; `cols.width` starts
// positive so that a column never sized by the user is visible.
constexpr const char* kSystemTables[] = {
    "create table tmps(tmid integer primary key autoincrement, tmn text, typ integer default 0, "
    "tag integer default 0, taid integer default 0, ots text)",
    "create table urls(uid integer primary key autoincrement, tmid integer, url text)",
    "create table exps(tmid integer, expr text)",
    "create table cols(cid integer primary key autoincrement, tmid integer, tit text, begw text, "
    "endw text, width integer default 100, fid integer default 0, tag integer default 0, "
    "istr integer default 0, nox integer default 0)",
    "create table vtrs(cid integer, rel integer, srv text, dtv text)",
    "create table nvps(tmid integer, nam text, val text, tag integer)",
    "create table opts(tmid integer, oid integer, val text)",
    "create table tabs(taid integer primary key autoincrement, tan text)",
    "create table flds(fid integer primary key autoincrement, taid integer, fti text, "
    "typ integer default 0, uni integer default 0)",
};

constexpr const char* kIndexes[] = {
    "create index urls_tmid on urls(tmid)", "create index exps_tmid on exps(tmid)",
    "create index cols_tmid on cols(tmid)", "create index vtrs_cid on vtrs(cid)",
    "create index nvps_tmid on nvps(tmid)", "create index opts_tmid on opts(tmid, oid)",
    "create index flds_taid on flds(taid)",
};

constexpr const char* kTableNames[] = {"tmps", "urls", "exps", "cols", "vtrs",
                                       "nvps", "opts", "tabs", "flds"};

}  // namespace

void Connection::CreateSchema() {
  ExecSqlite(db_.get(), "begin");
  try {
    for (const char* sql : kSystemTables)
      ExecSqlite(db_.get(), sql);
    for (const char* sql : kIndexes)
      ExecSqlite(db_.get(), sql);
    // The global image counter: the first image gets number 1.
    ExecSqlite(db_.get(), "insert into opts values(0, 1, '0')");
    ExecSqlite(db_.get(), "commit");
  } catch (...) {
    sqlite3_exec(db_.get(), "rollback", nullptr, nullptr, nullptr);
    throw;
  }
  sqlite3_set_last_insert_rowid(db_.get(), 0);
}

void Connection::CheckSchema() {
  // Reading the schema fails for a file that is not an SQLite database at all.
  std::string list;
  for (const char* name : kTableNames) {
    if (!list.empty()) list += ",";
    list += "'";
    list += name;
    list += "'";
  }
  const std::string sql =
      "select count(*) from sqlite_master where type='table' and lower(name) in (" + list + ")";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) Fail();
  const int rc = sqlite3_step(stmt);
  const int count = rc == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
  sqlite3_finalize(stmt);
  if (rc != SQLITE_ROW) Fail();
  if (count != static_cast<int>(std::size(kTableNames))) {
    throw StoreError("The file " + path_ + " is not a store: its system tables are missing.");
  }
}

}  // namespace sorvane
