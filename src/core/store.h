#pragma once

// The data module: one connection to the store file and two statement cursors on it.
//
// Every statement is one complete text in the program's statement dialect; it passes through the
// dialect adapter (dialect.h) before SQLite sees it. A text holding more than one statement is
// refused before anything of it runs. Any failure throws StoreError carrying the store's message.
// Reading a null gives the empty text or 0. Text values are bytes, stored and read back unchanged.
//
// Single-threaded: all access happens on one thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/storeerror.h"

struct sqlite3;

namespace sorvane {

class Connection;

// One value of a result. Results are read completely when their statement runs, so an open result
// holds no lock on the store and reads as a snapshot.
struct StoreValue {
  enum class Type : unsigned char { kNull, kInteger, kReal, kText };
  Type type = Type::kNull;
  std::int64_t integer = 0;
  double real = 0;
  std::string text;
};

// A statement cursor on the connection. Setting a new statement text closes the previous result.
class Query {
 public:
  explicit Query(Connection& conn) : conn_(&conn) {}
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  // Runs a select and positions on its first row (Eof() when there is none). The result stays
  // open until the next Open/Execute/Close on this cursor.
  void Open(std::string_view sql);
  // Runs an insert, update, delete or data-definition statement; nothing is returned.
  void Execute(std::string_view sql);
  void Close();

  bool Eof() const { return eof_; }
  void Next();
  // The number of rows of the open result (all of them are read when it opens).
  std::size_t RecordCount() const { return rows_; }

  int FieldCount() const;
  // The 0-based position of the named field of the open result (letter case ignored), or -1.
  int FieldIndex(std::string_view name) const;
  bool IsNull(int field) const;
  // Text of the field on the current row; a null is the empty text.
  std::string AsString(int field) const;
  std::string AsString(std::string_view name) const;
  // Integer value of the field; a null is 0; a text that is not a whole number throws StoreError.
  std::int64_t AsInteger(int field) const;
  std::int64_t AsInteger(std::string_view name) const;
  int AsInt(int field) const { return static_cast<int>(AsInteger(field)); }
  int AsInt(std::string_view name) const { return static_cast<int>(AsInteger(name)); }

  // Opens "select @@identity" on this cursor and returns the id of the connection's last insert.
  std::int64_t LastIdentity();

 private:
  int RequireField(std::string_view name) const;

  const StoreValue& Cell(int field) const;

  Connection* conn_;
  std::vector<std::string> names_;
  std::vector<StoreValue> cells_;  // row after row, names_.size() values each
  std::size_t row_ = 0;
  std::size_t rows_ = 0;
  bool eof_ = true;
};

// The link to the store file, opened once and kept for the life of the data module.
class Connection {
 public:
  // Opens `path`. A missing file is created as a new store; an existing file must be a store.
  // Throws StoreError when the file cannot be opened or is not a store.
  explicit Connection(const std::string& path);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Runs one statement directly, leaving the results of the cursors untouched.
  void Execute(std::string_view sql);

  // A transaction groups the statements of every path (conn, qryM, qryN) from Begin to Commit:
  // they take effect together, and none of them when the transaction is rolled back or the
  // process ends before Commit returns. Commit returns once they are on disk, so that they also
  // survive a crash of the machine. A statement that fails inside it undoes only itself; a
  // failed Commit leaves the transaction open when the store can still commit it (Commit may be
  // called again), otherwise rolled back.
  // Begin takes the store's write lock at once, waiting up to the busy time-out for another
  // process that holds it. Transactions do not nest: Begin inside one throws StoreError.
  void Begin();
  void Commit();
  // Discards what the open transaction wrote; nothing happens outside one. Never throws.
  void Rollback() noexcept;
  bool InTransaction() const;

  sqlite3* Handle() const { return db_.get(); }
  const std::string& Path() const { return path_; }

 private:
  friend class Query;
  // Runs one statement of the program's dialect; when `names` and `cells` are given, the column
  // names and the values of the rows it returns (row after row) are appended to them.
  void Run(std::string_view sql, std::vector<std::string>* names, std::vector<StoreValue>* cells);
  void RunAdapted(const std::string& sql, const std::vector<std::string>& params,
                  std::vector<std::string>* names, std::vector<StoreValue>* cells);
  void DropColumn(const std::string& table, const std::string& column);
  void AlterColumn(const std::string& table, const std::string& column, const std::string& type);
  void CreateSchema();
  void CheckSchema();
  [[noreturn]] void Fail() const;

  // The one close path of the connection.
  struct CloseDb {
    void operator()(sqlite3* db) const;
  };
  // Prepared statements kept by their adapted text for reuse (a save runs the same few texts for
  // every row); bounded. Declared after db_, so that they are finalized before it closes.
  struct StatementCache;

  std::unique_ptr<sqlite3, CloseDb> db_;
  std::string path_;
  std::unique_ptr<StatementCache> cache_;
};

// The data module: the connection and the two cursors. qryM serves every caller; qryN is used only
// while qryM holds a result that must stay open.
class Tdm {
 public:
  explicit Tdm(const std::string& path = "data.mdb") : conn(path), qryM(conn), qryN(conn) {}

  Connection conn;
  Query qryM;
  Query qryN;
};

// The program's one data module, set by the program at start-up (null before).
extern Tdm* dm;

// A text embedded as a literal: single quotes around it, inner single quotes doubled.
std::string QuotedStr(std::string_view text);
// QuotedStr(text) appended to `out`.
void AppendQuotedStr(std::string& out, std::string_view text);

}  // namespace sorvane
