#include "import/tplimport.h"

#include <sqlite3.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "core/ascii.h"
#include "core/chandle.h"
#include "core/dialect.h"
#include "core/progressbar.h"
#include "engine/qstrings.h"
#include "import/gint.h"

namespace sorvane {
namespace {

using StmtPtr = CHandle<sqlite3_stmt, sqlite3_finalize>;

constexpr std::array<std::string_view, 9> kSystemTables = {"tmps", "urls", "exps", "cols", "vtrs",
                                                           "nvps", "opts", "tabs", "flds"};
// The tables a record of type 3, 4, 6 or 7 may insert into: the rows that belong to a templet.
// Templets, tables and fields come only from the records that read their ids back.
constexpr std::array<std::string_view, 6> kTempletRowTables = {"urls", "exps", "cols",
                                                               "vtrs", "nvps", "opts"};

template <std::size_t N>
bool Among(std::string_view name, const std::array<std::string_view, N>& names) {
  for (std::string_view known : names) {
    if (EqualsNoCase(name, known)) return true;
  }
  return false;
}

// The table a record of `type` must insert into, or empty when it may be any templet row table.
std::string_view RequiredTable(int type) {
  switch (type) {
    case 1:
      return "tmps";
    case 2:
      return "tabs";
    case 5:
      return "flds";
    default:
      return {};
  }
}

// The column type of a field type code.
std::string ColumnType(int code) {
  switch (code) {
    case 0:
      return "varchar(50)";
    case 1:
      return "varchar(255)";
    case 2:
      return "memo";
    default:
      return "";
  }
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Takes `word` (letter case ignored) and at least one blank after it from the front of `text`.
bool TakeWord(std::string_view& text, std::string_view word) {
  if (text.size() <= word.size() || !EqualsNoCase(text.substr(0, word.size()), word) ||
      !IsBlank(text[word.size()])) {
    return false;
  }
  text.remove_prefix(word.size());
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  return true;
}

// True when the statement begins with "insert into" (not "insert or ...", not "replace").
bool IsPlainInsert(std::string_view statement) {
  while (!statement.empty() && IsBlank(statement.front()))
    statement.remove_prefix(1);
  return TakeWord(statement, "insert") && TakeWord(statement, "into");
}

std::optional<int> OldFieldId(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!IsAsciiDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The record of the decoded text `s` of line `line`; nothing for a line to skip.
std::optional<TempletRecord> ParseRecord(int line, const std::string& s) {
  if (s.empty() || !IsAsciiDigit(s.front())) {
    throw TempletFileError(line, "the record does not begin with its type digit");
  }
  TempletRecord record;
  record.line = line;
  record.type = s.front() - '0';
  if (record.type == 0 || record.type > 7) return std::nullopt;
  std::string_view rest = s;
  if (record.type == 5) {
    if (s.size() < 3 || !IsAsciiDigit(s[1])) {
      throw TempletFileError(line, "the field record has no field type digit");
    }
    record.field_type = s[1] - '0';
    if (ColumnType(record.field_type).empty()) {
      throw TempletFileError(
          line, "the field type code " + std::string(1, s[1]) + " is none of 0, 1 and 2");
    }
    record.unique = s[2] == '1';
    rest.remove_prefix(3);
  } else if (record.type == 6) {
    rest.remove_prefix(1);
  } else {
    rest.remove_prefix(rest.size() < 2 ? rest.size() : 2);
  }
  if (record.type == 5 || record.type == 6) {
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) {
      throw TempletFileError(line, "the record has no \":\" after its old field id");
    }
    const std::optional<int> old_id = OldFieldId(rest.substr(0, colon));
    if (!old_id) throw TempletFileError(line, "the old field id is not a number");
    record.old_field_id = *old_id;
    rest.remove_prefix(colon + 1);
  }
  record.statement = std::string(rest);
  return record;
}

int NewFieldId(const std::vector<std::pair<int, int>>& map, int old_id) {
  for (const auto& [old_fid, new_fid] : map) {
    if (old_fid == old_id) return new_fid;
  }
  return 0;
}

// The statement of `record` with the ids given.
std::string WithIds(const TempletRecord& record, const std::string& tmid, const std::string& taid,
                    int fid) {
  switch (record.type) {
    case 3:
    case 4:
    case 7:
      return ReplaceStr(record.statement, "[TMID]", tmid);
    case 5:
      return ReplaceStr(record.statement, "[TAID]", taid);
    case 6:
      return ReplaceStr(ReplaceStr(record.statement, "[TMID]", tmid), "[FID]", std::to_string(fid));
    default:
      return record.statement;
  }
}

// Compiles `statement` under the import's authorizer without running it; throws
// TempletFileError for anything but one insert into the table `record` may write.
void CheckStatement(Tdm& store, const TempletRecord& record, const std::string& statement) {
  if (!IsPlainInsert(statement)) {
    throw TempletFileError(record.line, "the statement is not an insert into a templet table");
  }
  dialect::Adapted adapted;
  try {
    adapted = dialect::Adapt(statement);
  } catch (const StoreError& e) {
    throw TempletFileError(record.line, e.what());
  }
  if (adapted.kind != dialect::Adapted::Kind::kStatement) {
    throw TempletFileError(record.line, "the statement is not an insert into a templet table");
  }
  ImportAuthorizer authorizer(store);
  sqlite3* db = store.conn.Handle();
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc =
      sqlite3_prepare_v2(db, adapted.sql.data(), static_cast<int>(adapted.sql.size()), &raw, &tail);
  StmtPtr stmt(raw);
  if (!authorizer.Refused().empty()) {
    throw TempletFileError(
        record.line, "the statement is not allowed in a templet file: " + authorizer.Refused());
  }
  if (rc != SQLITE_OK) {
    throw TempletFileError(record.line,
                           std::string("the store refuses the statement: ") + sqlite3_errmsg(db));
  }
  if (!stmt) throw TempletFileError(record.line, "the record holds no statement");
  const std::string_view required = RequiredTable(record.type);
  const std::string& table = authorizer.InsertTable();
  if (!required.empty() ? !EqualsNoCase(table, required) : !Among(table, kTempletRowTables)) {
    throw TempletFileError(record.line, "a record of type " + std::to_string(record.type) +
                                            " may not insert into " + table);
  }
}

// Runs one statement that comes from the file, under the authorizer.
void ExecuteChecked(Tdm& store, const std::string& statement) {
  ImportAuthorizer authorizer(store);
  store.qryM.Execute(statement);
}

}  // namespace

TempletFileError::TempletFileError(int line, const std::string& reason)
    : std::runtime_error(line > 0 ? "Templet file line " + std::to_string(line) + ": " + reason +
                                        ". Nothing was imported."
                                  : "Templet file: " + reason + ". Nothing was imported."),
      line_(line) {}

std::vector<std::string> ReadTempletFileLines(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) throw TempletFileError(0, "the file " + path + " cannot be read");
  if (size > kTempletFileLimit) {
    throw TempletFileError(
        0, "the file is larger than " + std::to_string(kTempletFileLimit) + " bytes");
  }
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) throw TempletFileError(0, "the file " + path + " cannot be read");
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text, start, i - start);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text, start);
  return lines;
}

std::vector<TempletRecord> DecodeTempletLines(const std::vector<std::string>& lines,
                                              const TempletFileKey& key,
                                              const std::function<void(int, int)>& progress) {
  const int n = static_cast<int>(lines.size());
  for (int k = 1; k <= n; ++k) {
    if (lines[static_cast<std::size_t>(k - 1)].size() > kTempletLineLimit) {
      throw TempletFileError(
          k, "the line is longer than " + std::to_string(kTempletLineLimit) + " characters");
    }
  }
  const GInt modulus = StrToGInt(key.modulus);
  const GInt exponent = StrToGInt(key.exponent);
  std::vector<TempletRecord> records;
  for (int k = 1; k <= n; ++k) {
    if (progress) progress(k, n);
    std::string text;
    try {
      text = DecodeRecordLine(lines[static_cast<std::size_t>(k - 1)], *exponent, *modulus);
    } catch (const DecodeError& e) {
      throw TempletFileError(k, std::string("the line cannot be decoded (") + e.what() + ")");
    }
    if (std::optional<TempletRecord> record = ParseRecord(k, text)) {
      records.push_back(std::move(*record));
    }
  }
  return records;
}

void CheckTempletRecords(Tdm& store, const std::vector<TempletRecord>& records) {
  // The ids are stand-ins: what matters is whether a statement compiles with an id in place.
  std::string tmid;
  std::string taid;
  std::vector<std::pair<int, int>> field_map;
  for (const TempletRecord& record : records) {
    if ((record.type == 2 || record.type == 6) && tmid.empty()) {
      throw TempletFileError(record.line, "the record comes before the templet's own record");
    }
    if (record.type == 5 && taid.empty()) {
      throw TempletFileError(record.line, "the field record comes before its table's record");
    }
    CheckStatement(store, record,
                   WithIds(record, tmid, taid, NewFieldId(field_map, record.old_field_id)));
    if (record.type == 1) tmid = "1";
    if (record.type == 2) taid = "1";
    if (record.type == 5) field_map.emplace_back(record.old_field_id, 1);
  }
  if (tmid.empty()) throw TempletFileError(0, "the file holds no templet record");
}

std::optional<TempletEntry> RunTempletRecords(Tdm& store,
                                              const std::vector<TempletRecord>& records) {
  std::string tmid;
  std::string taid;
  std::vector<std::pair<int, int>> field_map;
  for (const TempletRecord& record : records) {
    const int fid = NewFieldId(field_map, record.old_field_id);
    ExecuteChecked(store, WithIds(record, tmid, taid, fid));
    switch (record.type) {
      case 1:
        tmid = std::to_string(store.qryM.LastIdentity());
        break;
      case 2:
        taid = std::to_string(store.qryM.LastIdentity());
        store.qryM.Execute("update tmps set taid=" + taid + " where tmid=" + tmid);
        store.conn.Execute("create table t" + taid +
                           "(id autoincrement primary key,fx smallint default 0)");
        break;
      case 5: {
        const std::string new_fid = std::to_string(store.qryM.LastIdentity());
        field_map.emplace_back(record.old_field_id, std::stoi(new_fid));
        store.qryM.Execute("alter table t" + taid + " add f" + new_fid + " " +
                           ColumnType(record.field_type));
        if (record.unique) {
          store.qryM.Execute("create unique index idx_" + taid + "_" + new_fid + " on t" + taid +
                             "(f" + new_fid + ")");
        }
        break;
      }
      default:
        break;
    }
  }
  store.qryM.Open("select tmid,tmn,typ,tag,taid from tmps where tmid=" + tmid);
  if (store.qryM.Eof()) return std::nullopt;
  TempletEntry entry;
  entry.templet.ID = store.qryM.AsInt("tmid");
  entry.templet.TabID = store.qryM.AsInt("taid");
  entry.templet.IsURL = store.qryM.AsInt("typ") == 1;
  entry.templet.IsTextTag = store.qryM.AsInt("tag") == 1;
  entry.name = store.qryM.AsString("tmn");
  return entry;
}

void ImportTempletFile(Tdm& store, const std::string& path, RunHost& host,
                       const std::function<void(const TempletEntry&)>& added,
                       const TempletFileKey& key) {
  const std::vector<std::string> lines = ReadTempletFileLines(path);
  ProgressBarScope bar(host);
  const std::vector<TempletRecord> records =
      DecodeTempletLines(lines, key, [&host, &bar](int k, int n) {
        bar.Show(k, n, "lines");
        host.ShowStatus("Templet loading [" + std::to_string(k * 100 / n) + "%] ...");
      });
  CheckTempletRecords(store, records);
  if (std::optional<TempletEntry> entry = RunTempletRecords(store, records)) {
    if (added) added(*entry);
  }
  host.ShowStatus("Done! Templet loading completed!");
}

ImportAuthorizer::ImportAuthorizer(Tdm& store) : db_(store.conn.Handle()) {
  sqlite3_set_authorizer(db_, &ImportAuthorizer::Authorize, this);
}

ImportAuthorizer::~ImportAuthorizer() {
  sqlite3_set_authorizer(db_, nullptr, nullptr);
}

int ImportAuthorizer::Authorize(void* self, int action, const char* a, const char* b,
                                const char* db, const char*) {
  auto* me = static_cast<ImportAuthorizer*>(self);
  const std::string_view table = a ? a : "";
  const bool main_db = db && std::string_view(db) == "main";
  std::string refused;
  switch (action) {
    case SQLITE_INSERT:
      if (main_db && Among(table, kSystemTables)) {
        me->insert_table_ = std::string(table);
        return SQLITE_OK;
      }
      refused = "inserting into " + std::string(table);
      break;
    case SQLITE_SELECT:
      return SQLITE_OK;
    case SQLITE_READ:
      if (main_db && Among(table, kSystemTables)) return SQLITE_OK;
      refused = "reading " + std::string(table);
      break;
    case SQLITE_FUNCTION:
      refused = "the function " + std::string(b ? b : "");
      break;
    default:
      refused = "a statement other than an insert (action " + std::to_string(action) + ")";
      break;
  }
  if (me->refused_.empty()) me->refused_ = refused;
  return SQLITE_DENY;
}

}  // namespace sorvane
