#pragma once

// The statement dialect adapter: the only place that knows both the program's statement dialect
// and SQLite's.
//
// The program composes every statement as one text with its values inline (text literals quoted,
// ids as digits). Adapt() turns one such text into SQLite terms:
//  - text literals of data statements become bound parameters, so that any byte (a zero byte
//    included) is stored and read back unchanged;
//  - "select @@identity" reads the connection's last insert id;
//  - "select top N ..." becomes a row limit;
//  - in table definitions, "autoincrement primary key", "memo" and the bounded "varchar(n)" (which
//    refuses longer values) get their SQLite forms;
//  - "drop index name on table" drops the index by name;
//  - "alter table T drop C" and "alter table T alter column C type" are handed back as
//    operations on the schema for the store to carry out.
// A text that holds more than one statement is refused with StoreError.

#include <string>
#include <string_view>
#include <vector>

#include "core/ascii.h"

namespace sorvane::dialect {

struct Adapted {
  enum class Kind {
    kStatement,    // run `sql` with `params` bound in order
    kDropColumn,   // drop `column` of `table`, with any index on it
    kAlterColumn,  // give `column` of `table` the type `type` (program's dialect, e.g. "memo")
  };
  Kind kind = Kind::kStatement;
  std::string sql;
  std::vector<std::string> params;
  std::string table;
  std::string column;
  std::string type;
};

// Adapts one statement text. Throws StoreError for an empty text, an unterminated literal or a
// text holding more than one statement.
Adapted Adapt(std::string_view statement);

// The SQLite column definition for `column` of the program's type `type` ("varchar(50)",
// "varchar(255)", "memo", "smallint", ...), with the length check of a bounded text type.
std::string ColumnDefinition(std::string_view column, std::string_view type);

// The length limit of a bounded text type ("varchar(50)" -> 50), or 0 for an unbounded one.
int TextLimit(std::string_view type);

// Names compare without regard to ASCII letter case, as the store compares them.
using sorvane::EqualsNoCase;

// `text` quoted as an SQL text literal.
std::string Quote(std::string_view text);
// Quote(text) appended to `out`.
void AppendQuoted(std::string& out, std::string_view text);

}  // namespace sorvane::dialect
