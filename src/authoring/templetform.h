#pragma once

// The templet editor's logic: the checks made on OK, the sources the form stores, the address
// "Open" and "View Source" use, and the save with the removal of what a former method left.
//
// Functions that touch the store run on store.qryM and throw StoreError; statements run before a
// failure stay applied.

#include <string>
#include <string_view>
#include <vector>

#include "core/store.h"
#include "core/templetmodel.h"

namespace sorvane {

class RegExpr;

// What the checks on OK look at.
struct TempletForm {
  std::string name;
  bool is_url = true;
  std::string url;  // the URL edit's text: its tags are counted in both source modes
  bool is_text_tag = true;
  std::string expression;
  std::size_t text_tag_columns = 0;
  std::size_t regexpr_columns = 0;
};

// Where a refused check puts the focus.
enum class FormFocus { kNone, kName, kUrl };

struct FormRefusal {
  std::string message;  // shown in a "Note" box with the warning icon
  FormFocus focus = FormFocus::kNone;
};

// The checks on OK, in order, and the refusals they make (none: the templet may be saved):
// an empty name stops the checks; a URL (URL mode) not starting with http:// or https:// is
// refused and the checks go on; more than one page-number tag, more than one field tag, a
// text-tag templet without columns, and an expression templet without expression or columns
// are refused. Texts are tested as typed (a name of blanks passes).
std::vector<FormRefusal> CheckTempletForm(RegExpr& re, const TempletForm& form);

// The number of matches of `pattern` in `text`, each search resuming after the previous match.
int CountMatches(RegExpr& re, std::string_view pattern, std::string_view text);

// The lines of the file list that are stored: those holding more than blanks and control
// characters, untrimmed, in order.
std::vector<std::string> StoredFileLines(const std::vector<std::string>& lines);

// The address that "Open" and "View Source" use for `url`: every page-number tag written in
// upper case becomes page 1, and a field tag written in upper case takes the first value of its
// field that "select top 1 <Fn> from <Tn>" returns (without a row the tag stays). Throws
// StoreError when the tag names a missing table or field.
std::string UrlPreview(Tdm& store, RegExpr& re, std::string_view url);

// The statements that delete a stored column and its translation rules:
// "delete from cols where cid=<cid>", "delete from vtrs where cid=<cid>".
std::vector<std::string> DeleteColumnStatements(int cid);
// Runs DeleteColumnStatements(cid).
void DeleteStoredColumn(Tdm& store, int cid);

// Saves the editor's templet with SaveTemplet (templetmodel.h). When the templet was stored with
// the other method (`method_changed`), the columns it had then (`former`, the list the editor
// loaded) are deleted afterwards with their rules, each taken out of `former` once gone, and for
// a switch to text tags its expression row goes too ("delete from exps where tmid=<id>"). Saving
// first means a failure never loses the columns the user has just written.
void SaveEditedTemplet(Tdm& store, TempletModel& model, std::vector<TempletColumn>& former,
                       bool method_changed);

}  // namespace sorvane
