#pragma once

// The definition of one templet as the store keeps it in its tables tmps, urls, exps, cols, vtrs
// and nvps, read in one place and written in one place. The run, the grid's column layout, the
// headless runner, the editor and the importer all go through it, so that the order of the
// columns (cols.nox) means the same everywhere.
//
// Every function that reads or writes throws StoreError when a statement fails; statements run
// before the failure stay applied (there are no transactions).

#include <cstddef>
#include <string>
#include <vector>

#include "core/store.h"
#include "core/templet.h"

namespace sorvane {

// Column kinds (cols.tag).
enum ColKind : int {
  kColNormal = 0,
  kColStartRecordTag = 1,  // the start marker (tit) and the record open/close tags (begw, endw)
  kColFieldValue = 2,      // "Value From Field in URL": takes the database-field value
  kColImage = 3,           // "Image To Download"
};

// Column tags and rule arguments are used by a run with at most this many characters.
inline constexpr std::size_t kTagLimit = 50;

// One translation rule (a vtrs row). SrcVal and DstVal hold at most 50 characters in a run.
struct TTrans {
  int ColID = 0;  // the column the rule belongs to
  int Rel = 0;    // relation code, see TransRel (translate.h)
  std::string SrcVal;
  std::string DstVal;
};

// One column of the running templet (a cols row of kind 0, 2 or 3). OpenTag and CloseTag hold at
// most 50 characters.
struct TCol {
  int ColID = 0;
  std::string OpenTag;   // open tag (text tags) or "$" + sub-expression number (expression)
  std::string CloseTag;  // close tag (text tags); unused by the expression method
  int Kind = kColNormal;
  bool IsTrans = false;  // the column has translation rules
};

// One cols row as stored.
struct TempletColumn {
  int cid = 0;              // 0: not stored yet
  std::string title;        // tit; the start marker for kind 1
  std::string open_tag;     // begw; the record open tag for kind 1
  std::string close_tag;    // endw; the record close tag for kind 1
  int width = 100;          // width in the grid, pixels
  int fid = 0;              // target field (flds.fid), 0 = none
  int kind = kColNormal;    // tag
  bool has_rules = false;   // istr = 1
  std::string field_title;  // fti of the target field when it exists (read, never written)
};

// One nvps row: a login setting. Tags: 1 basic authentication (nam = user, val = password),
// 2 the login form's address (val), 3 a form field (nam = val), 4 a form field read off an image
// (nam, val = the image's address).
struct LoginRow {
  std::string nam;
  std::string val;
  int tag = 0;
};

// A whole templet.
struct TempletModel {
  int id = 0;  // tmps.tmid; 0 while never stored
  std::string name;
  bool is_url = true;                  // tmps.typ = 1; otherwise local files
  bool is_text_tag = true;             // tmps.tag = 1; otherwise one regular expression
  int tab_id = 0;                      // tmps.taid, 0 = none
  std::vector<std::string> sources;    // urls rows: the URL line, or one file path each
  bool has_expression = false;         // an exps row exists
  std::string expression;              // exps.expr
  std::vector<TempletColumn> columns;  // every cols row, in nox order (kind 1 included)
  std::vector<TTrans> rules;           // the vtrs rows of the templet's columns
  std::vector<LoginRow> login;         // nvps rows, by tag

  // The record of the templet list (ImgDir empty).
  TTemplet Record() const;
  // The columns a run fills and the grid shows: kinds 0, 2 and 3 in nox order.
  std::vector<const TempletColumn*> ShownColumns() const;
  // The run's view of ShownColumns(): tags cut to kTagLimit characters.
  std::vector<TCol> RunColumns() const;
  // The first kind-1 row (start marker and record tags), or null.
  const TempletColumn* RecordTags() const;
  // The rules with their texts cut to kTagLimit characters, in the order read.
  std::vector<TTrans> RunRules() const;
};

// What ReadTemplet reads; the editor and the run need different parts.
enum class TempletParts : unsigned {
  kHead = 1,
  kSources = 2,
  kExpression = 4,
  kColumns = 8,
  kRules = 16,
  kLogin = 32,
  kAll = 63,
};
constexpr TempletParts operator|(TempletParts a, TempletParts b) {
  return static_cast<TempletParts>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool Has(TempletParts set, TempletParts part) {
  return (static_cast<unsigned>(set) & static_cast<unsigned>(part)) != 0;
}

// Reads templet `id` on store.qryM. Without a tmps row the head stays as it is in a new model
// (with kHead the id is still set). Columns come in nox order; sources and rules in the order the
// store returns them; login rows ordered by tag.
TempletModel ReadTemplet(Tdm& store, int id, TempletParts parts = TempletParts::kAll);

// The stored sources of templet `id`, in the store's order.
std::vector<std::string> ReadSources(Tdm& store, int id);
// The login rows of templet `id`, ordered by tag.
std::vector<LoginRow> ReadLoginRows(Tdm& store, int id);
// The login rows of templet `id` in the store's order (the order they were written), read with
// "select nam,val,tag from nvps where tmid=<id>": the order the login settings list shows.
std::vector<LoginRow> ReadLoginRowsAsStored(Tdm& store, int id);

// The statements that replace the login rows of templet `id` by `rows`, in their order:
// "delete from nvps where tmid=<id>", then per row "insert into nvps(tmid,nam,val,tag)
// values(<id>,<nam>,<val>,<tag>)", except a tag-2 row (the login URL), which is written without
// its name: "insert into nvps(tmid,val,tag) values(<id>,<val>,2)".
std::vector<std::string> SaveLoginStatements(int id, const std::vector<LoginRow>& rows);
// Runs SaveLoginStatements on store.qryM; rows deleted before a failing insert stay deleted.
void SaveLoginRows(Tdm& store, int id, const std::vector<LoginRow>& rows);
// Deletes every login row of templet `id`: "delete from nvps where tmid=<id>".
void DeleteLoginRows(Tdm& store, int id);

// The statements that save the editable parts of `model` (head, sources, expression for the
// regular-expression method, columns in their list order), for a templet that is already stored
// (model.id > 0):
//   "update tmps set tmn=...,typ=...,tag=...,taid=... where tmid=<id>",
//   "delete from urls where tmid=<id>", an "insert into urls(tmid,url) values(...)" per source,
//   for an expression templet "delete from exps where tmid=<id>" and its insert,
//   per column an "insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(...)" (cid 0) or an
//   "update cols set tit=...,begw=...,endw=...,fid=...,nox=...,tag=... where cid=<cid>", with
//   the column's position (from 0) as nox.
// Widths, translation flags, rules and login rows are not written: they have dialogs of their
// own that write at once.
std::vector<std::string> SaveTempletStatements(const TempletModel& model);
// The insert of a new templet's tmps row, "insert into tmps(tmn,typ,tag,taid) values(...)".
std::string InsertTempletStatement(const TempletModel& model);

// Saves `model` on store.qryM: a new templet (id 0) is inserted with InsertTempletStatement and
// takes the id of "select @@identity", then the statements of SaveTempletStatements after its
// head update run one after the other (all of them for a stored templet). Ids obtained stay in
// `model` (the templet's, and each inserted column's, read with "select @@identity"), so a save
// repeated after a failure updates those rows instead of adding them again.
void SaveTemplet(Tdm& store, TempletModel& model);

}  // namespace sorvane
