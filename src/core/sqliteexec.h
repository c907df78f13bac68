#pragma once

// The store's own statements (its schema, its bookkeeping), run on SQLite directly without the
// dialect adapter. Store internals only.

#include <sqlite3.h>

#include <string>

#include "core/storeerror.h"

namespace sorvane {

// Runs `sql` on `db`; a failure throws StoreError with SQLite's message.
inline void ExecSqlite(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string message = err ? err : sqlite3_errmsg(db);
    sqlite3_free(err);
    throw StoreError(message);
  }
}

}  // namespace sorvane
