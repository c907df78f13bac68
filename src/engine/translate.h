#pragma once

// Value translation rules: an ordered list per column that rewrites each extracted value before it
// reaches the grid.

#include <string>
#include <vector>

#include "core/templetmodel.h"

namespace sorvane {

enum TransRel : int {
  kRelEqual = 0,       // "@ Equal": SrcVal == v (bytes)     -> DstVal, stop
  kRelNotEqual = 1,    // "@ Not Equal"                      -> DstVal, stop
  kRelInclude = 2,     // "@ Include": SrcVal occurs in v    -> DstVal, stop
  kRelNotInclude = 3,  // "@ Not Include"                    -> DstVal, stop
  kRelSubstr = 4,      // "Substr(@, I, L)"
  kRelReplace = 5,     // "Replace(@, S1, S2)", S1 found without regard to case
  kRelDelete = 6,      // "Delete(@, I, L)"
  kRelConcat = 7,      // "Concat(S1, @, S2)"
};

// The value after the rules of column `col_id`, applied in array order (rules of other columns
// are skipped, unknown relation codes do nothing). A condition that hits replaces the whole value
// and ends the column's list. Throws RunError when a Substr or Delete argument is not a decimal
// 32-bit integer.
std::string TranslateValue(const std::vector<TTrans>& rules, int col_id, std::string value);

// Substr and Delete with 1-based positions: Substr treats an I below 1 as 1, gives the empty text
// for an I beyond the end or a negative L, and cuts L to what is left; Delete does nothing for an
// I outside the value or an L of 0 or less, and removes at most what is left from I.
std::string SubstrAt(const std::string& value, int index, int length);
std::string DeleteAt(std::string value, int index, int length);

}  // namespace sorvane
