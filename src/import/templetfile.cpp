#include "import/templetfile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

#include "authoring/translationrules.h"
#include "core/ascii.h"
#include "engine/decimal.h"
#include "engine/translate.h"
#include "output/atomicfile.h"
#include "output/customoutput.h"
#include "output/jsonlines.h"

namespace sorvane {
namespace {

using Json = nlohmann::ordered_json;

// Bounds of a file that a person or a program of ours could have written; anything beyond is
// refused before it costs memory or time.
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxText = 65536;
constexpr std::size_t kMaxColumns = 1000;
constexpr std::size_t kMaxFields = 1000;
constexpr std::size_t kMaxSources = 10000;
constexpr std::size_t kMaxRules = 1000;
constexpr std::size_t kMaxLoginRows = 100;
constexpr std::size_t kMaxTables = 100;
constexpr int kMaxWidth = 10000;
constexpr int kMaxId = 1'000'000'000;

constexpr std::array<std::string_view, 4> kColumnKinds = {"normal", "record tags", "field value",
                                                          "image"};
constexpr std::array<std::string_view, 3> kFieldTypes = {"short text", "text", "long text"};
constexpr std::array<std::string_view, 12> kRelationNames = {
    "equal",  "not equal", "include",    "not include",     "substr", "replace",
    "delete", "concat",    "strip tags", "decode entities", "trim",   "regreplace"};
// The page settings' members (booleans).
constexpr std::array<std::string_view, 3> kPageSettingNames = {
    "convert to utf-8", "stop a page sequence when a page repeats", "warn on an empty page"};
// The fetching options' members (whole numbers), in the order of their oids 9 to 11.
constexpr std::array<std::string_view, 3> kFetchNames = {
    "requests in flight", "delay between requests", "retry failed pages"};
// Login row kinds by their tag, 1 to 4.
constexpr std::array<std::string_view, 4> kLoginKinds = {"basic", "form address", "form field",
                                                         "image field"};
// Option names by their oid, 1 to 5.
constexpr std::array<std::string_view, 5> kOptionNames = {"row height", "font name", "font size",
                                                          "records per page", "image folder"};

[[noreturn]] void Refuse(const std::string& reason) {
  throw TempletFileError(0, reason);
}

// ---- writing -------------------------------------------------------------------------------

constexpr char kHexDigits[] = "0123456789abcdef";

Json Text(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return Json(std::string(bytes));
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    hex += kHexDigits[b >> 4];
    hex += kHexDigits[b & 15];
  }
  return Json{{"bytes", hex}};
}

Json OptionValue(int oid, const std::string& value) {
  if (oid == kOptFontName || oid == kOptImageFolder) return Text(value);
  if (const std::optional<int> number = DecimalInt32(value)) return *number;
  return Text(value);
}

// ---- reading -------------------------------------------------------------------------------

// The deepest nesting of arrays and objects in `text`, counted outside strings; stops counting
// past `limit`.
int NestingDepth(std::string_view text, int limit) {
  int depth = 0;
  int deepest = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
      if (deepest > limit) return deepest;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

// A JSON object read member by member: every member must be known, and a member read is
// checked for its type, with the path of the value in every refusal.
class Reader {
 public:
  Reader(const Json& object, std::string path) : object_(object), path_(std::move(path)) {
    if (!object_.is_object()) Refuse(path_ + " is not an object");
  }

  // Refuses members none of `known` names.
  template <std::size_t N>
  void OnlyMembers(const std::array<std::string_view, N>& known) const {
    for (auto it = object_.begin(); it != object_.end(); ++it) {
      bool found = false;
      for (std::string_view name : known)
        found = found || it.key() == name;
      if (!found) Refuse(path_ + " has the unknown member \"" + it.key() + "\"");
    }
  }

  bool Has(const char* name) const { return object_.contains(name); }
  std::string PathOf(const char* name) const { return path_ + "." + name; }

  const Json& Member(const char* name) const {
    const auto it = object_.find(name);
    if (it == object_.end()) Refuse(path_ + " lacks the member \"" + name + "\"");
    return *it;
  }

  std::string String(const char* name) const { return ReadText(Member(name), PathOf(name)); }
  std::string StringOr(const char* name, std::string fallback) const {
    return Has(name) ? String(name) : fallback;
  }

  int Integer(const char* name, int low, int high) const {
    const Json& value = Member(name);
    if (!value.is_number_integer()) Refuse(PathOf(name) + " is not a whole number");
    const auto number = value.get<std::int64_t>();
    if (number < low || number > high) {
      Refuse(PathOf(name) + " is " + std::to_string(number) + ", outside " + std::to_string(low) +
             " to " + std::to_string(high));
    }
    return static_cast<int>(number);
  }

  bool Boolean(const char* name) const {
    const Json& value = Member(name);
    if (!value.is_boolean()) Refuse(PathOf(name) + " is not true or false");
    return value.get<bool>();
  }

  const Json& Array(const char* name, std::size_t limit) const {
    const Json& value = Member(name);
    if (!value.is_array()) Refuse(PathOf(name) + " is not a list");
    if (value.size() > limit) {
      Refuse(PathOf(name) + " has " + std::to_string(value.size()) + " entries, more than " +
             std::to_string(limit));
    }
    return value;
  }

  template <std::size_t N>
  int Choice(const char* name, const std::array<std::string_view, N>& names) const {
    const std::string value = String(name);
    for (std::size_t i = 0; i < N; ++i) {
      if (names[i] == value) return static_cast<int>(i);
    }
    std::string allowed;
    for (std::string_view known : names) {
      allowed += allowed.empty() ? "" : ", ";
      allowed += "\"" + std::string(known) + "\"";
    }
    Refuse(PathOf(name) + " \"" + value + "\" is none of " + allowed);
  }

  // A text: a string, or {"bytes": "<hex>"}; at most kMaxText bytes.
  static std::string ReadText(const Json& value, const std::string& path) {
    std::string bytes;
    if (value.is_string()) {
      bytes = value.get<std::string>();
    } else if (value.is_object() && value.size() == 1 && value.contains("bytes") &&
               value["bytes"].is_string()) {
      const std::string& hex = value["bytes"].get_ref<const std::string&>();
      if (hex.size() % 2 != 0) Refuse(path + ".bytes has an odd number of hexadecimal digits");
      for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) Refuse(path + ".bytes holds a character that is not hexadecimal");
        bytes += static_cast<char>(high * 16 + low);
      }
    } else {
      Refuse(path + " is not a text");
    }
    if (bytes.size() > kMaxText) {
      Refuse(path + " is longer than " + std::to_string(kMaxText) + " bytes");
    }
    return bytes;
  }

 private:
  static int HexValue(char c) {
    if (IsAsciiDigit(c)) return c - '0';
    const char lower = AsciiLower(c);
    if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
    return -1;
  }

  const Json& object_;
  std::string path_;
};

std::string Entry(const std::string& list, std::size_t i) {
  return list + "[" + std::to_string(i) + "]";
}

// The records of `table` from its member "rows", each checked against the table's fields.
void ReadRows(const Reader& table, DocumentTable& t) {
  const Json& rows = table.Array("rows", kTempletFileRows);
  std::set<std::string> unique_values;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string path = Entry(table.PathOf("rows"), r);
    const Json& row = rows[r];
    if (!row.is_array()) Refuse(path + " is not a list");
    if (row.size() != t.fields.size()) {
      Refuse(path + " has " + std::to_string(row.size()) + " values for the " +
             std::to_string(t.fields.size()) + " fields of the table");
    }
    UserRow& values = t.rows.emplace_back();
    for (std::size_t k = 0; k < row.size(); ++k) {
      if (row[k].is_null()) {
        values.emplace_back();
        continue;
      }
      const UserField& field = t.fields[k];
      const std::string value_path = Entry(path, k);
      std::string value = Reader::ReadText(row[k], value_path);
      const std::size_t limit = FieldValueLimit(field.typ);
      if (limit != 0 && value.size() > limit) {
        Refuse(value_path + " is longer than the field \"" + field.fti + "\" holds (at most " +
               std::to_string(limit) + " bytes)");
      }
      if (field.uni && !unique_values.insert(value).second) {
        Refuse(value_path + " \"" + value + "\" comes twice in the unique field \"" + field.fti +
               "\"");
      }
      values.push_back(std::move(value));
    }
  }
}

DocumentTable ReadTable(const Json& value, const std::string& path) {
  const Reader table(value, path);
  table.OnlyMembers(std::array<std::string_view, 4>{"id", "name", "fields", "rows"});
  DocumentTable t;
  t.table.taid = table.Integer("id", 1, kMaxId);
  t.table.tan = table.String("name");
  if (t.table.tan.empty()) Refuse(table.PathOf("name") + " is empty");
  const Json& fields = table.Array("fields", kMaxFields);
  std::set<int> ids;
  bool unique_seen = false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Reader field(fields[i], Entry(table.PathOf("fields"), i));
    field.OnlyMembers(std::array<std::string_view, 4>{"id", "title", "type", "unique"});
    UserField f;
    f.fid = field.Integer("id", 1, kMaxId);
    if (!ids.insert(f.fid).second) {
      Refuse(field.PathOf("id") + " " + std::to_string(f.fid) + " is used twice");
    }
    f.fti = field.String("title");
    if (f.fti.empty()) Refuse(field.PathOf("title") + " is empty");
    f.typ = field.Choice("type", kFieldTypes);
    f.uni = field.Has("unique") && field.Boolean("unique");
    if (f.uni && unique_seen) Refuse(field.PathOf("unique") + ": a table has one unique field");
    unique_seen = unique_seen || f.uni;
    t.fields.push_back(std::move(f));
  }
  if (table.Has("rows")) ReadRows(table, t);
  return t;
}

void ReadColumns(const Reader& templet, TempletDocument& doc) {
  const Json& columns = templet.Array("columns", kMaxColumns);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Reader column(columns[i], Entry("templet.columns", i));
    column.OnlyMembers(std::array<std::string_view, 8>{"id", "kind", "title", "open", "close",
                                                       "width", "field", "rules"});
    TempletColumn c;
    // The writer's column id, which the output pattern's column tags name.
    if (column.Has("id")) {
      c.cid = column.Integer("id", 1, kMaxId);
      for (const TempletColumn& other : doc.templet.columns) {
        if (other.cid == c.cid) {
          Refuse(column.PathOf("id") + " " + std::to_string(c.cid) + " is used twice");
        }
      }
    }
    c.kind = column.Choice("kind", kColumnKinds);
    c.title = column.StringOr("title", "");
    c.open_tag = column.StringOr("open", "");
    c.close_tag = column.StringOr("close", "");
    c.width = column.Has("width") ? column.Integer("width", 0, kMaxWidth) : 100;
    c.fid = column.Has("field") ? column.Integer("field", 0, kMaxId) : 0;
    if (c.fid != 0) {
      bool known = false;
      if (doc.table) {
        for (const UserField& f : doc.table->fields)
          known = known || f.fid == c.fid;
      }
      if (!known) {
        Refuse(column.PathOf("field") + " " + std::to_string(c.fid) +
               " is no field of the file's table");
      }
    }
    if (column.Has("rules")) {
      c.has_rules = true;
      const Json& rules = column.Array("rules", kMaxRules);
      for (std::size_t r = 0; r < rules.size(); ++r) {
        const Reader rule(rules[r], Entry(column.PathOf("rules"), r));
        rule.OnlyMembers(std::array<std::string_view, 3>{"relation", "first", "second"});
        TTrans t;
        t.ColID = static_cast<int>(i) + 1;
        t.Rel = rule.Choice("relation", kRelationNames);
        t.SrcVal = rule.StringOr("first", "");
        t.DstVal = rule.StringOr("second", "");
        doc.templet.rules.push_back(std::move(t));
      }
    }
    doc.templet.columns.push_back(std::move(c));
  }
}

void ReadOptions(const Reader& templet, TempletDocument& doc) {
  const Reader options(templet.Member("options"), templet.PathOf("options"));
  options.OnlyMembers(kOptionNames);
  TempletOptions values;
  const auto digits = [&options](const char* name) {
    const Json& value = options.Member(name);
    if (value.is_number_integer()) return std::to_string(options.Integer(name, 0, kMaxId));
    return options.String(name);
  };
  values.row_height = digits("row height");
  values.font_name = options.String("font name");
  values.font_size = options.Integer("font size", 1, 1000);
  values.records_per_page = digits("records per page");
  values.image_folder = options.String("image folder");
  switch (CheckOptions(1, values)) {
    case OptionsCheck::kRowHeightNotDigits:
      Refuse(options.PathOf("row height") + " is not a number");
    case OptionsCheck::kRecordsPerPageNotDigits:
      Refuse(options.PathOf("records per page") + " is not a number");
    default:
      break;
  }
  doc.options = {{kOptRowHeight, values.row_height},
                 {kOptFontName, values.font_name},
                 {kOptFontSize, std::to_string(values.font_size)},
                 {kOptRecordsPerPage, values.records_per_page},
                 {kOptImageFolder, values.image_folder}};
}

void ReadLogin(const Reader& templet, TempletDocument& doc) {
  const Json& rows = templet.Array("login", kMaxLoginRows);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Reader row(rows[i], Entry("templet.login", i));
    row.OnlyMembers(std::array<std::string_view, 3>{"kind", "name", "value"});
    LoginRow r;
    r.tag = row.Choice("kind", kLoginKinds) + 1;
    r.nam = row.StringOr("name", "");
    r.val = row.StringOr("value", "");
    doc.templet.login.push_back(std::move(r));
  }
}

void ReadTempletPart(const Json& value, TempletDocument& doc) {
  const Reader templet(value, "templet");
  templet.OnlyMembers(std::array<std::string_view, 11>{
      "name", "source", "method", "sources", "expression", "columns", "options", "page settings",
      "fetch", "output pattern", "login"});
  TempletModel& m = doc.templet;
  m.name = templet.String("name");
  if (m.name.empty()) Refuse("templet.name is empty");
  m.is_url = templet.Choice("source", std::array<std::string_view, 2>{"files", "url"}) == 1;
  m.is_text_tag = templet.Choice("method", std::array<std::string_view, 2>{"regular expression",
                                                                           "text tags"}) == 1;
  const Json& sources = templet.Array("sources", kMaxSources);
  if (m.is_url && sources.size() > 1) Refuse("templet.sources: a web templet has one URL");
  for (std::size_t i = 0; i < sources.size(); ++i)
    m.sources.push_back(Reader::ReadText(sources[i], Entry("templet.sources", i)));
  if (templet.Has("expression")) {
    m.has_expression = true;
    m.expression = templet.String("expression");
  } else if (!m.is_text_tag) {
    Refuse("templet lacks the member \"expression\" that a regular-expression templet needs");
  }
  ReadColumns(templet, doc);
  if (templet.Has("options")) ReadOptions(templet, doc);
  if (templet.Has("page settings")) {
    const Reader page(templet.Member("page settings"), templet.PathOf("page settings"));
    page.OnlyMembers(kPageSettingNames);
    doc.page_settings = PageSettings{page.Boolean("convert to utf-8"),
                                     page.Boolean("stop a page sequence when a page repeats"),
                                     page.Boolean("warn on an empty page")};
  }
  if (templet.Has("fetch")) {
    // They are saved with the display options, as the options dialog saves them.
    if (!templet.Has("options")) Refuse("templet.fetch needs templet.options beside it");
    const Reader fetch(templet.Member("fetch"), templet.PathOf("fetch"));
    fetch.OnlyMembers(kFetchNames);
    doc.fetch = FetchOptions{fetch.Integer("requests in flight", 1, FetchOptions::kMaxInFlight),
                             fetch.Integer("delay between requests", 0, FetchOptions::kMaxDelayMs),
                             fetch.Integer("retry failed pages", 0, FetchOptions::kMaxRetries)};
  }
  if (templet.Has("output pattern")) doc.output_pattern = templet.String("output pattern");
  if (templet.Has("login")) ReadLogin(templet, doc);
}

// A database-field tag "<FIELD:T<taid>,F<fid>/>" (letter case ignored) of a source: its bytes
// [begin, end) and the ids it names.
struct FieldTagAt {
  std::size_t begin = 0;
  std::size_t end = 0;
  int taid = 0;
  int fid = 0;
};

std::vector<FieldTagAt> FieldTagsOf(const std::string& source) {
  std::vector<FieldTagAt> tags;
  const std::string lower = AsciiLower(source);
  const std::string_view prefix = "<field:t";
  for (std::size_t at = lower.find(prefix); at != std::string::npos;
       at = lower.find(prefix, at + 1)) {
    std::size_t i = at + prefix.size();
    const auto number = [&source, &i]() -> std::optional<int> {
      const std::size_t start = i;
      while (i < source.size() && IsAsciiDigit(source[i]))
        ++i;
      return DecimalInt32(std::string_view(source).substr(start, i - start));
    };
    const std::optional<int> taid = number();
    if (!taid || i + 2 >= source.size() || lower.compare(i, 2, ",f") != 0) continue;
    i += 2;
    const std::optional<int> fid = number();
    if (!fid || source.compare(i, 2, "/>") != 0) continue;
    tags.push_back({at, i + 2, *taid, *fid});
  }
  return tags;
}

// A table of the file as the import created it.
struct NewTable {
  int taid = 0;
  std::map<int, int> fids;  // the file's field id: the new one
};

// `source` with every database-field tag that names a table of the file (by the file's id) and
// one of its fields given the new ids; other tags stay as written.
std::string RenumberFieldTags(const std::string& source, const std::map<int, NewTable>& tables) {
  std::string out;
  std::size_t pos = 0;
  for (const FieldTagAt& tag : FieldTagsOf(source)) {
    const auto table = tables.find(tag.taid);
    if (table == tables.end() || !table->second.fids.contains(tag.fid)) continue;
    out.append(source, pos, tag.begin - pos);
    out += FieldTag(table->second.taid, table->second.fids.at(tag.fid));
    pos = tag.end;
  }
  out.append(source, pos);
  return out;
}

// Creates `t` with its fields, unique index and records; returns its new ids.
NewTable CreateDocumentTable(Tdm& store, const DocumentTable& t) {
  NewTable created;
  created.taid = CreateUserTable(store, t.table.tan);
  std::vector<int> fids;
  for (const UserField& field : t.fields) {
    const int fid = AddUserField(store, created.taid, field.fti, field.typ);
    created.fids[field.fid] = fid;
    fids.push_back(fid);
    if (field.uni) CreateUniqueIndex(store, created.taid, fid);
  }
  for (const UserRow& row : t.rows)
    InsertUserRow(store, created.taid, fids, row);
  return created;
}

// The table `taid` of the store as a file writes it, with its records when `with_rows`; null
// when the store has no such table.
Json TableJson(Tdm& store, int taid, bool with_rows) {
  for (const UserTable& t : LoadUserTables(store)) {
    if (t.taid != taid) continue;
    Json fields = Json::array();
    std::vector<int> fids;
    for (const UserField& f : LoadUserFields(store, t.taid)) {
      fids.push_back(f.fid);
      Json field = {{"id", f.fid},
                    {"title", Text(f.fti)},
                    {"type", std::string(kFieldTypes[f.typ >= 0 && f.typ < 3 ? f.typ : 0])}};
      if (f.uni) field["unique"] = true;
      fields.push_back(std::move(field));
    }
    Json table = {{"id", t.taid}, {"name", Text(t.tan)}, {"fields", std::move(fields)}};
    if (!with_rows) return table;
    const std::int64_t count = CountUserRows(store, taid);
    if (count > static_cast<std::int64_t>(kTempletFileRows)) {
      Refuse("the table \"" + t.tan + "\" holds " + std::to_string(count) +
             " records, more than the " + std::to_string(kTempletFileRows) +
             " a templet file carries");
    }
    Json rows = Json::array();
    for (const UserRow& row : LoadUserRows(store, taid, fids)) {
      Json values = Json::array();
      for (const std::optional<std::string>& value : row)
        values.push_back(value ? Text(*value) : Json(nullptr));
      rows.push_back(std::move(values));
    }
    table["rows"] = std::move(rows);
    return table;
  }
  return nullptr;
}

// `pattern` with every column tag ("<CID:n/>", letter case ignored) that names a column of the
// file given that column's new id; other tags stay as written.
std::string RenumberColumnTags(const std::string& pattern, const std::map<int, int>& new_cids) {
  std::string out;
  const std::string lower = AsciiLower(pattern);
  const std::string_view prefix = "<cid:";
  std::size_t pos = 0;
  for (std::size_t at = lower.find(prefix); at != std::string::npos;
       at = lower.find(prefix, at + 1)) {
    std::size_t end = at + prefix.size();
    while (end < pattern.size() && IsAsciiDigit(pattern[end]))
      ++end;
    const std::optional<int> cid = DecimalInt32(
        std::string_view(pattern).substr(at + prefix.size(), end - at - prefix.size()));
    if (!cid || !new_cids.contains(*cid) || pattern.compare(end, 2, "/>") != 0) continue;
    out.append(pattern, pos, at - pos);
    out += "<CID:" + std::to_string(new_cids.at(*cid)) + "/>";
    pos = end + 2;
    at = end + 1;
  }
  out.append(pattern, pos);
  return out;
}

}  // namespace

bool IsSecretLoginValue(const LoginRow& row) {
  if (row.tag == 1) return true;
  if (row.tag != 3) return false;
  const std::string name = AsciiLower(row.nam);
  for (std::string_view part : {"pass", "pwd", "secret", "token", "pin"}) {
    if (name.find(part) != std::string::npos) return true;
  }
  return false;
}

std::string ExportTempletJson(Tdm& store, int templet_id, bool include_login_values) {
  store.qryM.Open("select count(*) from tmps where tmid=" + std::to_string(templet_id));
  if (store.qryM.AsInteger(0) == 0) {
    throw StoreError("No templet has the id " + std::to_string(templet_id) + ".");
  }
  const TempletModel model =
      ReadTemplet(store, templet_id,
                  TempletParts::kHead | TempletParts::kSources | TempletParts::kExpression |
                      TempletParts::kColumns | TempletParts::kRules);
  const std::vector<LoginRow> login = ReadLoginRowsAsStored(store, templet_id);
  const std::vector<OptionRow> options = sorvane::ReadOptions(store, templet_id);
  const std::optional<std::string> pattern = LoadOutputPattern(store, templet_id);

  const Json table = model.tab_id > 0 ? TableJson(store, model.tab_id, false) : Json(nullptr);
  std::set<int> fids;
  if (!table.is_null()) {
    for (const Json& field : table["fields"])
      fids.insert(field["id"].get<int>());
  }
  // The tables the sources walk, each once, in the order the sources name them.
  Json source_tables = Json::array();
  std::set<int> named;
  for (const std::string& source : model.sources) {
    for (const FieldTagAt& tag : FieldTagsOf(source)) {
      if (tag.taid == model.tab_id || !named.insert(tag.taid).second) continue;
      Json source_table = TableJson(store, tag.taid, true);
      if (!source_table.is_null()) source_tables.push_back(std::move(source_table));
    }
  }

  Json t;
  t["name"] = Text(model.name);
  t["source"] = model.is_url ? "url" : "files";
  t["method"] = model.is_text_tag ? "text tags" : "regular expression";
  t["sources"] = Json::array();
  for (const std::string& source : model.sources)
    t["sources"].push_back(Text(source));
  if (model.has_expression) t["expression"] = Text(model.expression);
  t["columns"] = Json::array();
  for (const TempletColumn& c : model.columns) {
    Json column;
    column["id"] = c.cid;
    column["kind"] = std::string(kColumnKinds[c.kind >= 0 && c.kind < 4 ? c.kind : 0]);
    column["title"] = Text(c.title);
    column["open"] = Text(c.open_tag);
    column["close"] = Text(c.close_tag);
    column["width"] = std::clamp(c.width, 0, kMaxWidth);
    // A field of another table than the templet's (left from an earlier target) means nothing.
    column["field"] = fids.contains(c.fid) ? c.fid : 0;
    if (c.has_rules) {
      column["rules"] = Json::array();
      for (const TTrans& rule : model.rules) {
        if (rule.ColID != c.cid || rule.Rel < 0 ||
            rule.Rel >= static_cast<int>(kRelationNames.size())) {
          continue;
        }
        column["rules"].push_back({{"relation", std::string(kRelationNames[rule.Rel])},
                                   {"first", Text(rule.SrcVal)},
                                   {"second", Text(rule.DstVal)}});
      }
    }
    t["columns"].push_back(std::move(column));
  }
  if (!options.empty()) {
    Json values = Json::object();
    for (const OptionRow& row : options) {
      if (row.oid >= 1 && row.oid <= 5) {
        values[std::string(kOptionNames[row.oid - 1])] = OptionValue(row.oid, row.val);
      }
    }
    const bool has_options = values.size() == kOptionNames.size();
    if (has_options) t["options"] = std::move(values);
    // The fetching options only when they differ from the defaults, as the store keeps them.
    if (const FetchOptions fetch = FetchOptionsOf(options);
        has_options && fetch != FetchOptions{}) {
      t["fetch"] = {{std::string(kFetchNames[0]), fetch.in_flight},
                    {std::string(kFetchNames[1]), fetch.delay_ms},
                    {std::string(kFetchNames[2]), fetch.retries}};
    }
    // The page settings only when the templet holds them: a templet without them has them off.
    const bool has_page_settings = std::any_of(options.begin(), options.end(), [](const auto& r) {
      return r.oid >= kOptPageEncoding && r.oid <= kOptWarnEmptyPage;
    });
    if (has_page_settings) {
      const PageSettings page = PageSettingsOf(options);
      t["page settings"] = {{std::string(kPageSettingNames[0]), page.convert_to_utf8},
                            {std::string(kPageSettingNames[1]), page.stop_on_repeat},
                            {std::string(kPageSettingNames[2]), page.warn_empty_page}};
    }
  }
  if (pattern && !pattern->empty()) t["output pattern"] = Text(*pattern);
  if (!login.empty()) {
    t["login"] = Json::array();
    for (const LoginRow& row : login) {
      if (row.tag < 1 || row.tag > 4) continue;
      Json r = {{"kind", std::string(kLoginKinds[row.tag - 1])}};
      if (row.tag != 2) r["name"] = Text(row.nam);
      if (include_login_values || !IsSecretLoginValue(row)) r["value"] = Text(row.val);
      t["login"].push_back(std::move(r));
    }
  }

  Json file = {{"format", std::string(kTempletJsonFormat)},
               {"version", kTempletJsonVersion},
               {"templet", std::move(t)},
               {"table", table}};
  if (!source_tables.empty()) file["source tables"] = std::move(source_tables);
  std::string text = file.dump(2) + "\n";
  if (text.size() > kTempletFileLimit) {
    Refuse("the file would be " + std::to_string(text.size()) + " bytes, more than the " +
           std::to_string(kTempletFileLimit) + " an import reads");
  }
  return text;
}

void ExportTempletJsonFile(Tdm& store, int templet_id, const std::string& path,
                           bool include_login_values) {
  const std::string text = ExportTempletJson(store, templet_id, include_login_values);
  AtomicFile file(path);
  file.Write(text);
  file.Commit();
}

TempletDocument ParseTempletJson(std::string_view text) {
  if (text.size() > kTempletFileLimit) {
    Refuse("the file is larger than " + std::to_string(kTempletFileLimit) + " bytes");
  }
  if (NestingDepth(text, kMaxDepth) > kMaxDepth) {
    Refuse("the file nests lists and objects deeper than " + std::to_string(kMaxDepth) + " levels");
  }
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::parse_error& e) {
    std::string what = e.what();
    if (const std::size_t end = what.find("] "); end != std::string::npos) what.erase(0, end + 2);
    Refuse("the file is not valid JSON: " + what);
  }
  const Reader file(json, "the file");
  file.OnlyMembers(
      std::array<std::string_view, 5>{"format", "version", "templet", "table", "source tables"});
  if (file.String("format") != kTempletJsonFormat) {
    Refuse("the file is no templet file (its format is not \"" + std::string(kTempletJsonFormat) +
           "\")");
  }
  const int version = file.Integer("version", 1, kMaxId);
  if (version > kTempletJsonVersion) {
    Refuse("the file is of version " + std::to_string(version) +
           ", written by a newer program; this one reads version " +
           std::to_string(kTempletJsonVersion));
  }
  TempletDocument doc;
  if (file.Has("table") && !file.Member("table").is_null()) {
    doc.table = ReadTable(file.Member("table"), "table");
  }
  std::set<int> table_ids;
  if (doc.table) table_ids.insert(doc.table->table.taid);
  if (file.Has("source tables")) {
    const Json& tables = file.Array("source tables", kMaxTables);
    for (std::size_t i = 0; i < tables.size(); ++i) {
      const std::string path = Entry("source tables", i);
      DocumentTable& t = doc.source_tables.emplace_back(ReadTable(tables[i], path));
      if (!table_ids.insert(t.table.taid).second) {
        Refuse(path + ".id " + std::to_string(t.table.taid) + " is used by another table");
      }
    }
  }
  ReadTempletPart(file.Member("templet"), doc);
  doc.templet.tab_id = doc.table ? doc.table->table.taid : 0;
  return doc;
}

TempletEntry WriteTempletDocument(Tdm& store, const TempletDocument& document) {
  Connection& conn = store.conn;
  conn.Begin();
  try {
    TempletModel model = document.templet;
    model.id = 0;
    model.tab_id = 0;
    // Every table of the file, created in the order of the file's ids (a fresh store then gives
    // them the file's ids when those run from 1).
    std::map<int, const DocumentTable*> by_id;
    if (document.table) by_id[document.table->table.taid] = &*document.table;
    for (const DocumentTable& t : document.source_tables)
      by_id[t.table.taid] = &t;
    std::map<int, NewTable> tables;
    for (const auto& [file_id, t] : by_id)
      tables[file_id] = CreateDocumentTable(store, *t);
    std::map<int, int> new_fids;
    if (document.table) {
      const NewTable& target = tables.at(document.table->table.taid);
      model.tab_id = target.taid;
      new_fids = target.fids;
    }
    for (std::string& source : model.sources)
      source = RenumberFieldTags(source, tables);
    for (TempletColumn& column : model.columns) {
      column.cid = 0;
      column.fid = column.fid != 0 ? new_fids.at(column.fid) : 0;
    }
    SaveTemplet(store, model);
    std::map<int, int> new_cids;
    for (std::size_t i = 0; i < model.columns.size(); ++i) {
      if (document.templet.columns[i].cid != 0) {
        new_cids[document.templet.columns[i].cid] = model.columns[i].cid;
      }
    }
    for (std::size_t i = 0; i < model.columns.size(); ++i) {
      const TempletColumn& column = model.columns[i];
      store.qryM.Execute("update cols set width=" + std::to_string(column.width) +
                         " where cid=" + std::to_string(column.cid));
      if (!column.has_rules) continue;
      std::vector<TTrans> rules;
      for (const TTrans& rule : model.rules) {
        if (rule.ColID == static_cast<int>(i) + 1) rules.push_back(rule);
      }
      SaveRules(store, column.cid, rules);
    }
    if (!document.options.empty()) {
      TempletOptions options;
      options.row_height = document.options[0].val;
      options.font_name = document.options[1].val;
      options.font_size = std::stoi(document.options[2].val);
      options.records_per_page = document.options[3].val;
      options.image_folder = document.options[4].val;
      SaveOptions(store, model.id, options, document.fetch.value_or(FetchOptions{}));
    }
    if (document.page_settings) SavePageSettings(store, model.id, *document.page_settings);
    if (document.output_pattern) {
      SaveOutputPattern(store, model.id, RenumberColumnTags(*document.output_pattern, new_cids));
    }
    if (!model.login.empty()) SaveLoginRows(store, model.id, model.login);
    conn.Commit();
    return {model.name, model.Record()};
  } catch (...) {
    conn.Rollback();
    throw;
  }
}

bool IsTempletJsonFile(const std::string& path) {
  const std::string extension = AsciiLower(std::filesystem::path(path).extension().string());
  if (extension == ".json") return true;
  std::ifstream in(path, std::ios::binary);
  char c = 0;
  while (in.get(c)) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return c == '{';
  }
  return false;
}

std::optional<TempletEntry> ImportAnyTempletFile(
    Tdm& store, const std::string& path, RunHost& host,
    const std::function<void(const TempletEntry&)>& added, const TempletFileKey& key) {
  std::optional<TempletEntry> entry;
  const auto add = [&entry, &added](const TempletEntry& new_entry) {
    entry = new_entry;
    if (added) added(new_entry);
  };
  if (!IsTempletJsonFile(path)) {
    ImportTempletFile(store, path, host, add, key);
    return entry;
  }
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) throw TempletFileError(0, "the file " + path + " cannot be read");
  if (size > kTempletFileLimit) {
    Refuse("the file is larger than " + std::to_string(kTempletFileLimit) + " bytes");
  }
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw TempletFileError(0, "the file " + path + " cannot be read");
  const TempletDocument document = ParseTempletJson(text);
  add(WriteTempletDocument(store, document));
  host.ShowStatus("Done! Templet loading completed!");
  return entry;
}

}  // namespace sorvane
