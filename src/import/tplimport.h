#pragma once

// Importing a templet file: its record lines decoded, every statement checked, then run.
//
// A templet file is untrusted input whose lines become store statements. The import therefore
// goes in two passes. The first reads and decodes every line and checks every record before
// anything runs: each statement must be exactly one "insert into" one of the system tables (the
// templet's own rows go into urls, exps, cols, vtrs, nvps or opts; a type 1 record into tmps, a
// type 2 into tabs, a type 5 into flds), and it is compiled by the store under a statement
// authorizer that allows only that insert and reads of system tables: no other verb, no other
// table, no function. A file that fails this pass throws TempletFileError and the store is left
// exactly as it was. The second pass runs the records with fresh ids, the authorizer installed
// again around every statement that comes from the file; a statement the store rejects there
// throws StoreError and the statements run before it stay applied.
//
// Single-threaded, like every store access.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/runhost.h"
#include "core/store.h"
#include "core/templetstore.h"
#include "import/rsa.h"

namespace sorvane {

// The longest record line decoded, in characters, and the largest file read, in bytes. Decoding
// costs about a third of a millisecond per block of eleven characters, so these bound an import
// to seconds; a longer line or a larger file is refused before any decoding.
inline constexpr std::size_t kTempletLineLimit = 32768;
inline constexpr std::uintmax_t kTempletFileLimit = 1024 * 1024;

// A templet file refused before anything ran. what() names the line (when there is one) and the
// reason; line() is 1-based, 0 for the file as a whole.
class TempletFileError : public std::runtime_error {
 public:
  TempletFileError(int line, const std::string& reason);
  int line() const { return line_; }

 private:
  int line_;
};

// One decoded record of a templet file; lines whose type digit is 0, 8 or 9 give none.
struct TempletRecord {
  int line = 0;           // 1-based line of the file
  int type = 0;           // 1 to 7
  int field_type = 0;     // type 5: the field type code (0, 1 or 2)
  bool unique = false;    // type 5: the unique digit is "1"
  int old_field_id = 0;   // types 5 and 6: the field id the file's writer had
  std::string statement;  // with its placeholders "[TMID]", "[TAID]", "[FID]"
};

// The templet file key as decimal texts; the program's own by default.
struct TempletFileKey {
  std::string_view modulus = kTempletFileModulus;
  std::string_view exponent = kTempletFileExponent;
};

// The lines of the file at `path` (separated by CR LF, CR or LF; a break after the last line
// adds none). Throws TempletFileError when the file cannot be read or is larger than
// kTempletFileLimit.
std::vector<std::string> ReadTempletFileLines(const std::string& path);

// Decodes every line into its record. `progress(k, n)` is called before line k of n is decoded.
// Throws TempletFileError for a line longer than kTempletLineLimit, a line that does not decode,
// a record text whose first character is not a digit, and a malformed type 5 or 6 header.
std::vector<TempletRecord> DecodeTempletLines(const std::vector<std::string>& lines,
                                              const TempletFileKey& key,
                                              const std::function<void(int, int)>& progress = {});

// Checks every record against the store without running any: the record order (a templet
// before what names it, a table before its fields), the statement's form, and its compilation
// under the import's authorizer with the ids it will get. Throws TempletFileError.
void CheckTempletRecords(Tdm& store, const std::vector<TempletRecord>& records);

// Runs checked records on store.qryM with fresh ids, creating the target table and its fields;
// returns the templet of the last type 1 record as the list shows it, or nothing when its row is
// gone. Throws StoreError where a statement fails; earlier statements stay applied.
std::optional<TempletEntry> RunTempletRecords(Tdm& store,
                                              const std::vector<TempletRecord>& records);

// The whole import of the file at `path`: "Templet loading [k%] ..." on `host` before each line
// is decoded, the check, the run, `added` with the new templet, then "Done! Templet loading
// completed!". Throws TempletFileError (nothing changed) or StoreError (see RunTempletRecords).
void ImportTempletFile(Tdm& store, const std::string& path, RunHost& host,
                       const std::function<void(const TempletEntry&)>& added,
                       const TempletFileKey& key = {});

// While it lives, the store compiles statements only when they insert into one of the system
// tables and read nothing but system tables, with no function calls; anything else is refused
// when it is prepared. The authorizer is removed when the object goes, on every path.
class ImportAuthorizer {
 public:
  explicit ImportAuthorizer(Tdm& store);
  ~ImportAuthorizer();
  ImportAuthorizer(const ImportAuthorizer&) = delete;
  ImportAuthorizer& operator=(const ImportAuthorizer&) = delete;

  // The table of the last insert the authorizer allowed, as the store names it.
  const std::string& InsertTable() const { return insert_table_; }
  // The first action refused since the object was made, in words; empty when none was.
  const std::string& Refused() const { return refused_; }

 private:
  static int Authorize(void* self, int action, const char* a, const char* b, const char* db,
                       const char* trigger);
  sqlite3* db_;
  std::string insert_table_;
  std::string refused_;
};

}  // namespace sorvane
