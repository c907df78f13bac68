#pragma once

// The translation rules dialog's logic: how each relation is shown and asked for, the check of a
// rule before it enters the list, and reading and replacing a column's stored rules (vtrs).
// Store functions run on store.qryM and throw StoreError; statements run before a failure stay
// applied.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/store.h"
#include "core/templetmodel.h"

namespace sorvane {

// One relation (vtrs.rel is its position in kRelations).
struct RelationLook {
  const char* choice;     // the relation choice's entry
  const char* list_text;  // the rule list's "Relation" cell
  const char* label_a;    // the label before parameter 1
  const char* label_b;    // the label between the parameters
  bool digits;            // both parameters are numbers (typed as digits only)
  bool arrow;             // the "To" cell shows "->"
  bool parameters;        // the relation takes parameters (the clean-up rules 8 to 10 take none)
};
extern const std::array<RelationLook, 12> kRelations;

// The look of relation `rel`; an unknown code looks like "@ Equal".
const RelationLook& RelationOf(int rel);

// Which input a rule is refused on (kNone: the rule may enter the list). Conditions and Concat
// need one of the two parameters; Substr and Delete need both; Replace needs the text to replace.
enum class RuleInput { kNone, kFirst, kSecond };
// Strip Tags, Decode Entities and Trim take none; RegReplace needs its expression.
RuleInput CheckRule(int rel, const std::string& first, const std::string& second);

// Why the expression of a RegReplace rule cannot be used (the engine's error, with its position);
// empty when it compiles or the relation is another.
std::string RuleExpressionError(int rel, const std::string& first);

// The rules of column `cid` in the store's order: "select rel,srv,dtv from vtrs where cid=<cid>".
std::vector<TTrans> LoadRules(Tdm& store, int cid);

// The statements that replace the rules of column `cid` by `rules`:
// "delete from vtrs where cid=<cid>", per rule "insert into vtrs(cid,rel,srv,dtv) values(...)",
// and "update cols set istr=1 where cid=<cid>" (also for no rules).
std::vector<std::string> SaveRulesStatements(int cid, const std::vector<TTrans>& rules);
void SaveRules(Tdm& store, int cid, const std::vector<TTrans>& rules);

}  // namespace sorvane
