#include "authoring/translationrules.h"

#include "engine/regexpr.h"
#include "engine/translate.h"

namespace sorvane {

const std::array<RelationLook, 12> kRelations = {{
    {"@ Equal", "@ Equal", "", "=>", false, true, true},
    {"@ Not Equal", "@ Not Equal", "", "=>", false, true, true},
    {"@ Include", "@ Include", "", "=>", false, true, true},
    {"@ Not Include", "@ Not Include", "", "=>", false, true, true},
    {"SubStr(@, I, L)", "Substr(@, I, L)", "I:", "L:", true, false, true},
    {"Replace(@, S1, S2)", "Replace(@, S1, S2)", "S1:", "S2:", false, false, true},
    {"Delete(@, I, L)", "Delete(@, I, L)", "I:", "L:", true, false, true},
    {"Concat(S1, @, S2)", "Concat(S1, @, S2)", "S1:", "S2:", false, false, true},
    {"Strip Tags(@)", "Strip Tags(@)", "", "", false, false, false},
    {"Decode Entities(@)", "Decode Entities(@)", "", "", false, false, false},
    {"Trim(@)", "Trim(@)", "", "", false, false, false},
    {"RegReplace(@, P, S)", "RegReplace(@, P, S)", "P:", "S:", false, false, true},
}};

const RelationLook& RelationOf(int rel) {
  if (rel < 0 || rel >= static_cast<int>(kRelations.size())) return kRelations[0];
  return kRelations[static_cast<std::size_t>(rel)];
}

RuleInput CheckRule(int rel, const std::string& first, const std::string& second) {
  switch (rel) {
    case kRelSubstr:
    case kRelDelete:
      if (first.empty()) return RuleInput::kFirst;
      if (second.empty()) return RuleInput::kSecond;
      return RuleInput::kNone;
    case kRelReplace:
    case kRelRegReplace:
      return first.empty() ? RuleInput::kFirst : RuleInput::kNone;
    case kRelStripTags:
    case kRelDecodeEntities:
    case kRelTrim:
      return RuleInput::kNone;
    default:
      return first.empty() && second.empty() ? RuleInput::kFirst : RuleInput::kNone;
  }
}

std::string RuleExpressionError(int rel, const std::string& first) {
  if (rel != kRelRegReplace) return {};
  try {
    RegExpr re;
    re.SetExpression(first);
  } catch (const RegExprError& e) {
    return e.what();
  }
  return {};
}

std::vector<TTrans> LoadRules(Tdm& store, int cid) {
  std::vector<TTrans> rules;
  Query& q = store.qryM;
  for (q.Open("select rel,srv,dtv from vtrs where cid=" + std::to_string(cid)); !q.Eof();
       q.Next()) {
    rules.push_back({cid, q.AsInt(0), q.AsString(1), q.AsString(2)});
  }
  return rules;
}

std::vector<std::string> SaveRulesStatements(int cid, const std::vector<TTrans>& rules) {
  const std::string id = std::to_string(cid);
  std::vector<std::string> sql{"delete from vtrs where cid=" + id};
  for (const TTrans& rule : rules) {
    sql.push_back("insert into vtrs(cid,rel,srv,dtv) values(" + id + "," +
                  std::to_string(rule.Rel) + "," + QuotedStr(rule.SrcVal) + "," +
                  QuotedStr(rule.DstVal) + ")");
  }
  sql.push_back("update cols set istr=1 where cid=" + id);
  return sql;
}

void SaveRules(Tdm& store, int cid, const std::vector<TTrans>& rules) {
  for (const std::string& sql : SaveRulesStatements(cid, rules))
    store.qryM.Execute(sql);
}

}  // namespace sorvane
