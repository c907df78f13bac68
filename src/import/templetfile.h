#pragma once

// The open templet file: one templet with everything it needs, written as readable JSON so that
// templets can be shared, read back by "&Import..." and `sorvane-run --import`.
//
//   {"format": "sorvane-templet", "version": 1,
//    "templet": {"name", "source" ("url"|"files"), "method" ("text tags"|"regular expression"),
//                "sources": [...], "expression", "columns": [{"id", "kind", "title", "open",
//                "close", "width", "field", "rules": [{"relation", "first", "second"}]}],
//                "options": {...}, "page settings": {...}, "fetch": {"requests in flight",
//                "delay between requests" (ms), "retry failed pages"}, "output pattern",
//                "login": [{"kind", "name", "value"}]},
//    "table": {"id", "name", "fields": [{"id", "title", "type", "unique"}], "rows"} or null,
//    "source tables": [{"id", "name", "fields", "rows"}]}
//
// Texts are JSON strings when their bytes are UTF-8, otherwise {"bytes": "<hex>"}, so that pages
// in any 8-bit code page keep their exact bytes. Ids in the file (the tables', their fields') are
// the writer's; a column names its target field by that id, a database-field tag of a source
// that names a table of the file and one of its fields is given the new ids on import, and so is a
// column tag "<CID:n/>" of the output pattern that names a column's id in the file. A
// login value left out of the file (the password of basic authentication, a form field whose
// name looks like a password) has no "value" member and is imported empty.
//
// "source tables" (optional) are the tables whose values the templet's sources walk through a
// database-field tag, other than the target table: the export writes each with its fields and
// its records ("rows": one list a record, one text or null a field, in the order of "fields"),
// so that a shared templet has its value list with it. Records' extract flags are not written:
// an imported table starts with every value still to be visited. The target table's records are
// results and are never written; "rows" on it is read all the same. Import creates every table
// afresh, in the order of the file's table ids, and renumbers the database-field tags naming
// them.
//
// A file is read and checked whole before anything is written, and written in one transaction
// with fresh ids: a refused file or a failing statement leaves the store as it was.
// Single-threaded, like every store access.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/options.h"
#include "core/runhost.h"
#include "core/store.h"
#include "core/templetmodel.h"
#include "core/templetstore.h"
#include "designer/usertables.h"
#include "import/tplimport.h"

namespace sorvane {

inline constexpr std::string_view kTempletJsonFormat = "sorvane-templet";
inline constexpr int kTempletJsonVersion = 1;
// The most records a table of a templet file holds.
inline constexpr std::size_t kTempletFileRows = 100000;

// A table of a templet file, checked: ids in the file's own numbering.
struct DocumentTable {
  UserTable table;                // taid: the file's id
  std::vector<UserField> fields;  // fid: the file's ids
  std::vector<UserRow> rows;      // values in the order of `fields`
};

// A templet file's contents, checked: ids in the file's own numbering.
struct TempletDocument {
  TempletModel templet;  // id 0; tab_id, the columns' cid (0 when the file gives none) and fid
                         // are the file's ids; rules' ColID is the 1-based position of their
                         // column
  std::optional<DocumentTable> table;         // the target table
  std::vector<DocumentTable> source_tables;   // tables the sources read, none the target
  std::vector<OptionRow> options;             // the five display options, or none
  std::optional<PageSettings> page_settings;  // none: the file holds none (they stay off)
  std::optional<FetchOptions> fetch;          // none: the defaults (one page at a time)
  std::optional<std::string> output_pattern;
};

// True when the login row's value is a secret the file leaves out unless asked: the password of
// basic authentication, or a form field whose name holds "pass", "pwd", "secret", "token" or
// "pin" (letter case ignored).
bool IsSecretLoginValue(const LoginRow& row);

// The file text of templet `templet_id`, read on store.qryM. Secret login values are written
// only with `include_login_values`. Throws StoreError, also when no templet has that id, and
// TempletFileError when the file would be more than an import reads (a source table of more
// than kTempletFileRows records, a file of more than kTempletFileLimit bytes).
std::string ExportTempletJson(Tdm& store, int templet_id, bool include_login_values);

// Writes ExportTempletJson to `path` whole or not at all (AtomicFile). Throws StoreError or
// OutputError.
void ExportTempletJsonFile(Tdm& store, int templet_id, const std::string& path,
                           bool include_login_values);

// Parses and checks a file text. Throws TempletFileError (line 0) naming what is wrong: not JSON,
// another format or a newer version, a member missing, of the wrong type or unknown, an unknown
// kind, relation or field type, a column naming a field the table lacks, a table id used twice,
// a record whose values do not match its table's fields (count, a value longer than its field
// holds, a value twice in the unique field), or a size beyond the file's limits
// (kTempletFileLimit bytes, nesting, counts and text lengths).
TempletDocument ParseTempletJson(std::string_view text);

// Writes a checked document into the store in one transaction, with fresh ids for the templet,
// its columns, the table and its fields; returns the new templet as the list shows it. Throws
// StoreError after rolling everything back.
TempletEntry WriteTempletDocument(Tdm& store, const TempletDocument& document);

// True when the file at `path` is an open templet file: its name ends with ".json" (letter case
// ignored) or its first byte other than a blank is "{" (a scrambled file's lines are hexadecimal
// digits).
bool IsTempletJsonFile(const std::string& path);

// Imports a templet file of either kind: the open file is read (at most kTempletFileLimit
// bytes), checked and written as above, a scrambled file goes through ImportTempletFile with
// `key`. `added` hears the new templet, then "Done! Templet loading completed!" goes to `host`;
// returns the new templet (nothing when a scrambled file's templet row is gone). Throws
// TempletFileError (store unchanged) or StoreError.
std::optional<TempletEntry> ImportAnyTempletFile(
    Tdm& store, const std::string& path, RunHost& host,
    const std::function<void(const TempletEntry&)>& added = {}, const TempletFileKey& key = {});

}  // namespace sorvane
