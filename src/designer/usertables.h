#pragma once

// User tables and their fields in the store: the statements of the tables and fields designer and
// of the field value editor, and the facts about field types that other parts share.
//
// A user table is "t" + its id (tabs.taid) with the columns id, fx and one "f" + field id
// (flds.fid) per field. Every function issues its statements in the order given, each one by
// itself through store.qryM unless said otherwise, and throws StoreError at the first statement
// the store rejects; the statements before it stay applied.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/store.h"

namespace sorvane {

// Field type codes (flds.typ) run from 0 to kFieldTypeCount - 1, ordered by size: a lower code
// is a smaller field.
inline constexpr int kFieldTypeCount = 3;

// The type's text in the designer's field list: "Short Text (50)", "Text (250)",
// "Long Text (>250)"; empty for any other code.
std::string_view FieldTypeText(int typ);
// The type's choice text in the field dialog: "Short text (50)", "Text (250)",
// "Long text (>250)"; empty for any other code.
std::string_view FieldTypeChoice(int typ);
// The column type in statements: "varchar(50)", "varchar(255)", "memo"; empty for any other code.
std::string_view FieldColumnType(int typ);
// The most bytes a value of the type holds: 50, 255; 0 (no bound) for a long text or any other
// code.
std::size_t FieldValueLimit(int typ);

// "<FIELD:T%d,F%d/>" with the table id and the field id: the tag that puts the values of a field
// into a source URL.
std::string FieldTag(int taid, int fid);

struct UserTable {
  int taid = 0;
  std::string tan;  // the name as the user typed it
};

struct UserField {
  int fid = 0;
  std::string fti;  // the title as the user typed it
  int typ = 0;
  bool uni = false;  // the field carries the table's unique index
};

// Every user table, in the store's order: "select taid,tan from tabs".
std::vector<UserTable> LoadUserTables(Tdm& store);
// The fields of table `taid`, in the store's order: "select fid,fti,typ,uni from flds where
// taid=" + id.
std::vector<UserField> LoadUserFields(Tdm& store, int taid);

// Inserts the tabs row of a table named `name`, reads its id N and creates "t" + N with the
// columns id and fx; the create statement goes to store.conn directly. Returns N.
int CreateUserTable(Tdm& store, const std::string& name);
void RenameUserTable(Tdm& store, int taid, const std::string& name);
// The five statements that drop table `taid`: templet columns saved into its fields and templets
// saved into it point nowhere (0) afterwards, then its flds rows, its tabs row and the table go.
void DropUserTable(Tdm& store, int taid);
// Discards every record of table `taid`: "delete from t" + id.
void DeleteUserData(Tdm& store, int taid);
// Makes every record of table `taid` available again to the database-field source:
// "update t" + id + " set fx=0".
void ResetExtractFlags(Tdm& store, int taid);

// Inserts the flds row of a field of type `typ` titled `title`, reads its id F and adds the
// column "f" + F to the table. Returns F. When adding the column fails, the flds row is removed
// again before the error passes on, so that no field is left without its column.
int AddUserField(Tdm& store, int taid, const std::string& title, int typ);
void RetitleUserField(Tdm& store, int fid, const std::string& title);
// Gives the field's column the type of code `typ` (values longer than a smaller type allows are
// cut), then stores the code.
void ChangeUserFieldType(Tdm& store, int taid, int fid, int typ);
// Deletes the flds row, then drops the column; a unique index on it goes with the column.
void DeleteUserField(Tdm& store, int taid, int fid);

// The unique field of table `taid`: the fid of the first row of "select fid from flds where
// taid=" + id + " and uni=1", 0 when there is none.
int UniqueFieldId(Tdm& store, int taid);
// Creates the unique index idx_<taid>_<fid> on the field's column, then sets its uni flag. Fails
// (on the index) when the column holds a value twice.
void CreateUniqueIndex(Tdm& store, int taid, int fid);
// Drops the index idx_<taid>_<fid>, then clears the field's uni flag.
void DropUniqueIndex(Tdm& store, int taid, int fid);

// The values of field `fid` of table `taid`, in the store's order: "select f%d from t%d"; a null
// is the empty text.
std::vector<std::string> LoadFieldValues(Tdm& store, int taid, int fid);
// Inserts one record holding `value` in field `fid`: "insert into t%d(f%d) values(%s)". Its id
// and extract flag take the table's defaults.
void InsertFieldValue(Tdm& store, int taid, int fid, std::string_view value);

// A record's values, one per field asked for; nullopt is a null.
using UserRow = std::vector<std::optional<std::string>>;
// The number of records of table `taid`: "select count(*) from t%d".
std::int64_t CountUserRows(Tdm& store, int taid);
// Fields `fids` of every record of table `taid`, in id order: "select f%d,... from t%d order by
// id".
std::vector<UserRow> LoadUserRows(Tdm& store, int taid, const std::vector<int>& fids);
// Inserts one record holding `values` in fields `fids` (as many as there are fields): "insert
// into t%d(f%d,...) values(...)". Its id and extract flag take the table's defaults.
void InsertUserRow(Tdm& store, int taid, const std::vector<int>& fids, const UserRow& values);

}  // namespace sorvane
