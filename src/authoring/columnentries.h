#pragma once

// The entries of the templet editor's two column lists and what the editor does with them apart
// from its dialogs: the field name shown, the one start/record-tag entry, moving entries, the
// sub-expression an entry names, and clearing references to the fields of a former target table.

#include <string>
#include <string_view>
#include <vector>

#include "core/store.h"
#include "core/templetmodel.h"

namespace sorvane {

// A column entry is a cols row as the editor holds it: cid 0 until stored; field_title is the
// target field's title (empty without one). The position in its list is the column order.
using TColEntry = TempletColumn;

// What the list's "Table field (opt.)" cell shows: "[Start/Record Tag]" for kind 1, else the
// field's title.
inline constexpr char kRecordTagFieldName[] = "[Start/Record Tag]";
std::string FieldDisplayName(const TColEntry& entry);

// True when `entries` hold an entry of kind 1 (a templet has at most one).
bool HasRecordTagEntry(const std::vector<TColEntry>& entries);

// Swaps entry `index` with its neighbour above (step -1) or below (step +1) and returns the
// entry's new index; at the top or bottom, or for an index outside the list, nothing changes and
// `index` is returned.
int MoveEntry(std::vector<TColEntry>& entries, int index, int step);

// The sub-expression an expression column's first value names: the up to three characters after
// its first one ("$12" -> 12) read as a decimal number, -1 when they are not one.
int SubExpressionNumber(std::string_view first_value);
// The first value of an expression column taking sub-expression `n`: "$" and n in decimal.
std::string SubExpressionValue(int n);

// The field ids of user table `taid`: "select fid from flds where taid=<taid>" on store.qryM.
std::vector<int> FieldIdsOfTable(Tdm& store, int taid);
// The name of user table `taid` ("select tan from tabs where taid=<taid>"), or false when there
// is no such table.
bool ReadTableName(Tdm& store, int taid, std::string& name);

// Clears the field reference (fid 0, no field title) of every entry whose fid is one of
// `former_fields`, the fields of the target table the templet had before.
void ClearFieldReferences(std::vector<TColEntry>& entries, const std::vector<int>& former_fields);

}  // namespace sorvane
