#include "authoring/templetform.h"

#include <string>

#include "core/ascii.h"
#include "engine/qstrings.h"
#include "engine/regexpr.h"
#include "engine/sources.h"

namespace sorvane {
namespace {

// The preview replaces only the tags written in upper case.
constexpr std::string_view kPreviewPageNoTag = "<AUTOINC:.+?/>";
constexpr std::string_view kPreviewFieldTag = "<FIELD:(T\\d+),(F\\d+)/>";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

int CountMatches(RegExpr& re, std::string_view pattern, std::string_view text) {
  re.SetExpression(pattern);
  int count = 0;
  for (bool found = re.Exec(text); found; found = re.ExecNext())
    ++count;
  return count;
}

std::vector<FormRefusal> CheckTempletForm(RegExpr& re, const TempletForm& form) {
  std::vector<FormRefusal> refusals;
  if (form.name.empty()) {
    refusals.push_back({"Please input the templet name.", FormFocus::kName});
    return refusals;
  }
  if (form.is_url && !StartsWithNoCase(form.url, "http://") &&
      !StartsWithNoCase(form.url, "https://")) {
    refusals.push_back({"The URL should start with http:// or https://", FormFocus::kUrl});
  }
  if (CountMatches(re, kPageNoTagPattern, form.url) > 1) {
    refusals.push_back({"Only one AUTOINC tag allowed.", FormFocus::kNone});
    return refusals;
  }
  if (CountMatches(re, kFieldTagPattern, form.url) > 1) {
    refusals.push_back({"Only one FIELD tag allowed.", FormFocus::kNone});
    return refusals;
  }
  if (form.is_text_tag) {
    if (form.text_tag_columns == 0) refusals.push_back({"Column undefined.", FormFocus::kNone});
  } else if (form.expression.empty() || form.regexpr_columns == 0) {
    refusals.push_back({"Regular expression is empty or column undefined.", FormFocus::kNone});
  }
  return refusals;
}

std::vector<std::string> StoredFileLines(const std::vector<std::string>& lines) {
  std::vector<std::string> stored;
  for (const std::string& line : lines) {
    std::string trimmed = line;
    TrimInPlace(trimmed);
    if (!trimmed.empty()) stored.push_back(line);
  }
  return stored;
}

std::string UrlPreview(Tdm& store, RegExpr& re, std::string_view url) {
  re.SetExpression(kPreviewPageNoTag);
  const std::string preview = re.Replace(url, "1");
  re.SetExpression(kPreviewFieldTag);
  if (!re.Exec(preview)) return preview;
  const std::string table = re.Match(1);
  const std::string field = re.Match(2);
  Query& q = store.qryM;
  q.Open("select top 1 " + field + " from " + table);
  if (q.Eof()) return preview;
  const std::string value = q.AsString(0);
  q.Close();
  return re.Replace(preview, value);
}

std::vector<std::string> DeleteColumnStatements(int cid) {
  const std::string id = std::to_string(cid);
  return {"delete from cols where cid=" + id, "delete from vtrs where cid=" + id};
}

void DeleteStoredColumn(Tdm& store, int cid) {
  for (const std::string& sql : DeleteColumnStatements(cid))
    store.qryM.Execute(sql);
}

void SaveEditedTemplet(Tdm& store, TempletModel& model, std::vector<TempletColumn>& former,
                       bool method_changed) {
  SaveTemplet(store, model);
  if (!method_changed) return;
  while (!former.empty()) {
    if (former.front().cid > 0) DeleteStoredColumn(store, former.front().cid);
    former.erase(former.begin());
  }
  if (model.is_text_tag)
    store.qryM.Execute("delete from exps where tmid=" + std::to_string(model.id));
}

}  // namespace sorvane
