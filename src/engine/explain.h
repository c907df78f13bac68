#pragma once

// Why a page gives no record, in the words of the templet editor: which of the start marker, the
// record open tag, the record close tag or a column's open or close tag the page does not hold,
// that the expression matched nowhere, or why the expression does not compile. The records
// preview, `sorvane-run --explain` and the window's status tool tip after an empty run say it.

#include <string>
#include <string_view>
#include <vector>

namespace sorvane {

class RegExpr;
struct RunDefinitions;

// The reasons, most important first, why `defs` cut no record from `page`; each is one sentence.
// Never empty: when every tag is there, it says so. `re` is set anew (regular-expression
// templets). Throws RegExprError only when a search runs away.
std::vector<std::string> ExplainNoRecords(RegExpr& re, const RunDefinitions& defs,
                                          std::string_view page);

// The reasons as one text, a line each, under the heading "No record on <where>:".
std::string ExplanationText(const std::vector<std::string>& reasons,
                            std::string_view where = "this page");

}  // namespace sorvane
