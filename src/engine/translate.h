#pragma once

// Value translation rules: an ordered list per column that rewrites each extracted value before it
// reaches the grid.

#include <string>
#include <string_view>
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
  // Clean-up rules, after the eight above; a program that knows only those skips them.
  kRelStripTags = 8,       // "Strip Tags(@)"
  kRelDecodeEntities = 9,  // "Decode Entities(@)"
  kRelTrim = 10,           // "Trim(@)"
  kRelRegReplace = 11,     // "RegReplace(@, P, S)"
};

// The value after the rules of column `col_id`, applied in array order (rules of other columns
// are skipped, unknown relation codes do nothing). A condition that hits replaces the whole value
// and ends the column's list. Throws RunError when a Substr or Delete argument is not a decimal
// 32-bit integer, and RegExprError when a RegReplace expression does not compile or its search
// runs away. `charset` is the page's: Decode Entities writes characters in it.
std::string TranslateValue(const std::vector<TTrans>& rules, int col_id, std::string value,
                           std::string_view charset = "UTF-8");

// Substr and Delete with 1-based positions: Substr treats an I below 1 as 1, gives the empty text
// for an I beyond the end or a negative L, and cuts L to what is left; Delete does nothing for an
// I outside the value or an L of 0 or less, and removes at most what is left from I.
std::string SubstrAt(const std::string& value, int index, int length);
std::string DeleteAt(std::string value, int index, int length);

// "Strip Tags(@)": `value` without its markup. A tag is "<" followed by a letter, "/", "!" or
// "?" up to the next ">" outside quotes; comments and the content of script and style elements
// go with their tags. "<br>", "<hr>" and the end tag of a block element (p, div, li, td, ...)
// become a blank; other tags disappear. A "<" that starts no tag, or a tag never closed, stays.
std::string StripTags(std::string_view value);

// "Decode Entities(@)": named ("&amp;", "&eacute;", ...), decimal ("&#233;") and hexadecimal
// ("&#xE9;") character references replaced by their characters in `charset`. A reference to a
// character the charset cannot hold, an unknown name, a code beyond U+10FFFF, a surrogate or 0
// stays as written. The final ";" is required.
std::string DecodeEntities(std::string_view value, std::string_view charset);

// "Trim(@)": blanks, tabs and line breaks removed at both ends, and every inner run of them
// (with no-break spaces in a UTF-8 value) replaced by one blank.
std::string TrimBlanks(std::string_view value, std::string_view charset);

// "RegReplace(@, P, S)": every match of expression `pattern` (the program's dialect) replaced by
// `replacement`, in which "$n" (n from 0 to 14, the longest number that fits) stands for
// sub-expression n of the match and "$$" for "$". Throws RegExprError as the expression engine
// does.
std::string RegReplace(std::string_view value, const std::string& pattern,
                       std::string_view replacement);

}  // namespace sorvane
