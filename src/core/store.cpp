#include "core/store.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/chandle.h"
#include "core/dialect.h"
#include "core/sqliteexec.h"

namespace sorvane {

Tdm* dm = nullptr;

std::string QuotedStr(std::string_view text) {
  return dialect::Quote(text);
}

void AppendQuotedStr(std::string& out, std::string_view text) {
  dialect::AppendQuoted(out, text);
}

namespace {

using StmtPtr = CHandle<sqlite3_stmt, sqlite3_finalize>;
using dialect::EqualsNoCase;

// Only whitespace and comments may follow a statement in the text handed to SQLite.
bool OnlyBlankOrComments(const char* tail) {
  const char* p = tail;
  while (*p) {
    if (static_cast<unsigned char>(*p) <= ' ') {
      ++p;
    } else if (p[0] == '-' && p[1] == '-') {
      while (*p && *p != '\n')
        ++p;
    } else if (p[0] == '/' && p[1] == '*') {
      const char* end = std::strstr(p + 2, "*/");
      if (!end) return true;
      p = end + 2;
    } else {
      return false;
    }
  }
  return true;
}

// A name as SQLite's own identifier quoting wants it.
std::string QuoteName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

// Rows of a statement the store runs for its own bookkeeping, as texts.
std::vector<std::vector<std::string>> Rows(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    throw StoreError(sqlite3_errmsg(db));
  }
  StmtPtr stmt(raw);
  std::vector<std::vector<std::string>> rows;
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
      const auto* text = sqlite3_column_text(stmt.get(), i);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "",
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), i)));
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) throw StoreError(sqlite3_errmsg(db));
  return rows;
}

// Runs `work` inside a savepoint: all of it takes effect, or none of it. The connection's last
// insert id is what it was before.
template <typename Work>
void Atomically(sqlite3* db, Work work) {
  const sqlite3_int64 identity = sqlite3_last_insert_rowid(db);
  ExecSqlite(db, "savepoint sorvane_schema");
  try {
    work();
    ExecSqlite(db, "release sorvane_schema");
  } catch (...) {
    sqlite3_exec(db, "rollback to sorvane_schema", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "release sorvane_schema", nullptr, nullptr, nullptr);
    sqlite3_set_last_insert_rowid(db, identity);
    throw;
  }
  sqlite3_set_last_insert_rowid(db, identity);
}

// One index of a table: its name, its definition, and whether it covers the column asked about.
struct IndexDef {
  std::string name;
  std::string sql;
  bool covers = false;
};

// Every index of `table`, each marked when it covers `column`.
std::vector<IndexDef> IndexesOf(sqlite3* db, const std::string& table, const std::string& column) {
  std::vector<IndexDef> out;
  for (const auto& row : Rows(db,
                              "select name, sql from sqlite_master where type='index' and "
                              "sql is not null and tbl_name=" +
                                  dialect::Quote(table) + " collate nocase")) {
    IndexDef def{row[0], row[1], false};
    for (const auto& col : Rows(db, "pragma index_info(" + QuoteName(row[0]) + ")")) {
      if (EqualsNoCase(col[2], column)) def.covers = true;
    }
    out.push_back(std::move(def));
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Connection

struct Connection::StatementCache {
  static constexpr std::size_t kLimit = 64;
  std::unordered_map<std::string, StmtPtr> statements;
};

Connection::Connection(const std::string& path)
    : path_(path), cache_(std::make_unique<StatementCache>()) {
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  const int flags = SQLITE_OPEN_READWRITE | (exists ? 0 : SQLITE_OPEN_CREATE);
  sqlite3* opened = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &opened, flags, nullptr);
  db_.reset(opened);
  if (rc != SQLITE_OK) throw StoreError(opened ? sqlite3_errmsg(opened) : "out of memory");
  sqlite3_extended_result_codes(db_.get(), 0);
  sqlite3_busy_timeout(db_.get(), 5000);
  try {
    if (exists) {
      CheckSchema();
      // Going over to the write-ahead log rewrites the file's header: a file not yet in that mode
      // is checked for damage first, so that a damaged store is reported as it was found.
      if (Rows(db_.get(), "pragma journal_mode").at(0).at(0) != "wal") {
        const auto check = Rows(db_.get(), "pragma quick_check(1)");
        if (check.empty() || check[0].empty() || check[0][0] != "ok") {
          throw StoreError("The store file " + path + " is damaged: " +
                           (check.empty() || check[0].empty() ? "no check result" : check[0][0]));
        }
      }
    }
    ExecSqlite(db_.get(), "pragma journal_mode=wal");
    ExecSqlite(db_.get(), "pragma synchronous=normal");
    if (!exists) CreateSchema();
  } catch (...) {
    // Closed before a file of its own making is removed.
    db_.reset();
    if (!exists) std::filesystem::remove(path, ec);
    throw;
  }
}

Connection::~Connection() = default;

void Connection::CloseDb::operator()(sqlite3* db) const {
  sqlite3_close_v2(db);
}

void Connection::Fail() const {
  throw StoreError(sqlite3_errmsg(db_.get()));
}

void Connection::Execute(std::string_view sql) {
  Run(sql, nullptr, nullptr);
}

void Connection::Begin() {
  if (InTransaction()) throw StoreError("A transaction is already open.");
  // A transaction's commit reaches the disk before it returns; single statements keep the
  // cheaper setting, which survives a crash of the process but not of the machine.
  ExecSqlite(db_.get(), "pragma synchronous=full");
  try {
    ExecSqlite(db_.get(), "begin immediate");
  } catch (...) {
    sqlite3_exec(db_.get(), "pragma synchronous=normal", nullptr, nullptr, nullptr);
    throw;
  }
}

void Connection::Commit() {
  ExecSqlite(db_.get(), "commit");
  sqlite3_exec(db_.get(), "pragma synchronous=normal", nullptr, nullptr, nullptr);
}

void Connection::Rollback() noexcept {
  if (InTransaction()) sqlite3_exec(db_.get(), "rollback", nullptr, nullptr, nullptr);
  sqlite3_exec(db_.get(), "pragma synchronous=normal", nullptr, nullptr, nullptr);
}

bool Connection::InTransaction() const {
  return sqlite3_get_autocommit(db_.get()) == 0;
}

void Connection::Run(std::string_view sql, std::vector<std::string>* names,
                     std::vector<StoreValue>* cells) {
  const dialect::Adapted adapted = dialect::Adapt(sql);
  switch (adapted.kind) {
    case dialect::Adapted::Kind::kStatement:
      RunAdapted(adapted.sql, adapted.params, names, cells);
      return;
    case dialect::Adapted::Kind::kDropColumn:
      DropColumn(adapted.table, adapted.column);
      return;
    case dialect::Adapted::Kind::kAlterColumn:
      AlterColumn(adapted.table, adapted.column, adapted.type);
      return;
  }
}

void Connection::RunAdapted(const std::string& sql, const std::vector<std::string>& params,
                            std::vector<std::string>* names, std::vector<StoreValue>* cells) {
  sqlite3_stmt* stmt = nullptr;
  auto& cached = cache_->statements;
  if (const auto found = cached.find(sql); found != cached.end()) {
    stmt = found->second.get();
  } else {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &raw, &tail) !=
        SQLITE_OK) {
      Fail();
    }
    StmtPtr prepared(raw);
    if (!prepared) throw StoreError("The statement text is empty.");
    if (tail && !OnlyBlankOrComments(tail)) {
      throw StoreError("A statement text may hold only one statement.");
    }
    if (cached.size() >= StatementCache::kLimit) cached.clear();
    stmt = cached.emplace(sql, std::move(prepared)).first->second.get();
  }
  // A kept statement holds neither a lock nor its values once it is done with.
  struct Done {
    sqlite3_stmt* stmt;
    ~Done() {
      sqlite3_reset(stmt);
      sqlite3_clear_bindings(stmt);
    }
  } done{stmt};
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (sqlite3_bind_text64(stmt, static_cast<int>(i + 1), params[i].data(), params[i].size(),
                            SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK) {
      Fail();
    }
  }
  const int columns = sqlite3_column_count(stmt);
  if (names) {
    for (int i = 0; i < columns; ++i) {
      const char* name = sqlite3_column_name(stmt, i);
      names->emplace_back(name ? name : "");
    }
  }
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (!cells) continue;
    for (int i = 0; i < columns; ++i) {
      StoreValue v;
      switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_INTEGER:
          v.type = StoreValue::Type::kInteger;
          v.integer = sqlite3_column_int64(stmt, i);
          break;
        case SQLITE_FLOAT:
          v.type = StoreValue::Type::kReal;
          v.real = sqlite3_column_double(stmt, i);
          break;
        case SQLITE_NULL:
          break;
        default: {
          v.type = StoreValue::Type::kText;
          const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, i));
          const int n = sqlite3_column_bytes(stmt, i);
          if (p && n > 0) v.text.assign(p, static_cast<std::size_t>(n));
          break;
        }
      }
      cells->push_back(std::move(v));
    }
  }
  if (rc != SQLITE_DONE) Fail();
}

void Connection::DropColumn(const std::string& table, const std::string& column) {
  Atomically(db_.get(), [&] {
    // An index on the column goes with it, so that the column can be dropped at all.
    for (const IndexDef& index : IndexesOf(db_.get(), table, column)) {
      if (index.covers) ExecSqlite(db_.get(), "drop index " + QuoteName(index.name));
    }
    ExecSqlite(db_.get(), "alter table " + QuoteName(table) + " drop column " + QuoteName(column));
  });
}

// SQLite cannot change a column's type in place: the table is built anew with the same columns,
// ids, counter and indexes, and the values are copied over, cut to the new length when it is
// shorter.
void Connection::AlterColumn(const std::string& table, const std::string& column,
                             const std::string& type) {
  const auto master =
      Rows(db_.get(), "select name, sql from sqlite_master where type='table' and name=" +
                          dialect::Quote(table) + " collate nocase");
  if (master.empty()) throw StoreError("no such table: " + table);
  const std::string name = master[0][0];
  const bool autoincrement =
      std::string_view(master[0][1]).find("autoincrement") != std::string_view::npos ||
      std::string_view(master[0][1]).find("AUTOINCREMENT") != std::string_view::npos;
  const auto info = Rows(db_.get(), "pragma table_info(" + QuoteName(name) + ")");
  bool found = false;
  std::string defs, list, values;
  const int limit = dialect::TextLimit(type);
  for (const auto& col : info) {
    // cid, name, type, notnull, dflt_value, pk
    const std::string& col_name = col[1];
    const bool target = EqualsNoCase(col_name, column);
    found = found || target;
    if (!defs.empty()) {
      defs += ",";
      list += ",";
      values += ",";
    }
    if (col[5] != "0" && !target) {
      defs += col_name +
              (autoincrement ? " integer primary key autoincrement" : " integer primary key");
    } else {
      defs += dialect::ColumnDefinition(col_name, target ? type : col[2]);
      if (!col[4].empty()) defs += " default " + col[4];
      if (col[3] != "0") defs += " not null";
    }
    list += QuoteName(col_name);
    if (target && limit > 0) {
      const std::string q = QuoteName(col_name), n = std::to_string(limit);
      values += "case when length(cast(" + q + " as blob))>" + n + " then cast(substr(cast(" + q +
                " as blob),1," + n + ") as text) else " + q + " end";
    } else {
      values += QuoteName(col_name);
    }
  }
  if (!found) throw StoreError("no such column: " + column);

  const std::string temp = name + "_sorvane_rebuild";
  Atomically(db_.get(), [&] {
    const auto indexes = IndexesOf(db_.get(), name, column);
    ExecSqlite(db_.get(), "create table " + QuoteName(temp) + "(" + defs + ")");
    ExecSqlite(db_.get(), "insert into " + QuoteName(temp) + "(" + list + ") select " + values +
                              " from " + QuoteName(name));
    if (autoincrement) {
      // Ids are never handed out twice: the new table continues the old one's counter.
      ExecSqlite(db_.get(), "delete from sqlite_sequence where name=" + dialect::Quote(temp));
      ExecSqlite(db_.get(), "insert into sqlite_sequence(name,seq) select " + dialect::Quote(temp) +
                                ",seq from sqlite_sequence where name=" + dialect::Quote(name));
    }
    ExecSqlite(db_.get(), "drop table " + QuoteName(name));
    ExecSqlite(db_.get(), "alter table " + QuoteName(temp) + " rename to " + QuoteName(name));
    for (const IndexDef& index : indexes)
      ExecSqlite(db_.get(), index.sql);
  });
}

// ---------------------------------------------------------------------------------------------
// Query

Query::~Query() = default;

void Query::Close() {
  names_.clear();
  cells_.clear();
  row_ = rows_ = 0;
  eof_ = true;
}

void Query::Open(std::string_view sql) {
  Close();
  conn_->Run(sql, &names_, &cells_);
  rows_ = names_.empty() ? 0 : cells_.size() / names_.size();
  eof_ = rows_ == 0;
}

void Query::Execute(std::string_view sql) {
  Close();
  conn_->Run(sql, nullptr, nullptr);
}

void Query::Next() {
  if (eof_) return;
  if (++row_ >= rows_) eof_ = true;
}

int Query::FieldCount() const {
  return static_cast<int>(names_.size());
}

int Query::FieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (EqualsNoCase(names_[i], name)) return static_cast<int>(i);
  }
  return -1;
}

int Query::RequireField(std::string_view name) const {
  const int i = FieldIndex(name);
  if (i < 0) throw StoreError("Field '" + std::string(name) + "' not found.");
  return i;
}

const StoreValue& Query::Cell(int field) const {
  if (eof_) throw StoreError("There is no current record.");
  if (field < 0 || field >= FieldCount()) {
    throw StoreError("Field index " + std::to_string(field) + " out of range.");
  }
  return cells_[row_ * names_.size() + static_cast<std::size_t>(field)];
}

bool Query::IsNull(int field) const {
  return Cell(field).type == StoreValue::Type::kNull;
}

std::string Query::AsString(int field) const {
  const StoreValue& v = Cell(field);
  switch (v.type) {
    case StoreValue::Type::kNull:
      return {};
    case StoreValue::Type::kInteger:
      return std::to_string(v.integer);
    case StoreValue::Type::kReal: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.15g", v.real);
      return buf;
    }
    case StoreValue::Type::kText:
      return v.text;
  }
  return {};
}

std::string Query::AsString(std::string_view name) const {
  return AsString(RequireField(name));
}

std::int64_t Query::AsInteger(int field) const {
  const StoreValue& v = Cell(field);
  switch (v.type) {
    case StoreValue::Type::kNull:
      return 0;
    case StoreValue::Type::kInteger:
      return v.integer;
    case StoreValue::Type::kReal:
      return static_cast<std::int64_t>(std::llround(v.real));
    case StoreValue::Type::kText: {
      std::string_view s = v.text;
      while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
      while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
      if (!s.empty() && s.front() == '+') s.remove_prefix(1);
      std::int64_t out = 0;
      const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
      if (s.empty() || ec != std::errc() || end != s.data() + s.size()) {
        throw StoreError("'" + v.text + "' is not a valid integer value");
      }
      return out;
    }
  }
  return 0;
}

std::int64_t Query::AsInteger(std::string_view name) const {
  return AsInteger(RequireField(name));
}

std::int64_t Query::LastIdentity() {
  Open("select @@identity");
  return AsInteger(0);
}

}  // namespace sorvane
