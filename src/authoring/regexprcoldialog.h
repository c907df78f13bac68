#pragma once

// TfrmRegExprCol, the regular-expression column dialog: one column of an expression templet,
// defined or changed. A normal column names a sub-expression ("$0" ... "$n") of the templet's
// expression; whenever one is chosen, the dialog asks its owner to highlight it
// (SetHighlighter). The templet editor sets, when adding, SetTabID and SetRegExprNum; when
// editing SetTabID, SetFieldID, SetColTit, SetRegExprNum, then SetStartTag and SetEndTag (kind 1)
// or SetRegExprNo, and last SetColTag. It reads the target table's fields and writes nothing.
//
// OK closes with Accepted only when the checks pass (columnchecks.h); a refusal is written into
// the note line and the named input takes the focus.
//
// Widgets (object names): the note line "lblNote", the kind choice "cbType", the title
// "edtTitle", the sub-expression choice "cbRegExpr" and in its place for kind 1 the start tag
// "edtStartTag", the close tag "edtEndTag", the field choice "cbField", the labels "lblTitle",
// "lblRegExpr" and "lblEndTag", the buttons "btnOK" (default), "btnCancel" (Escape) and
// "btnHelp".

#include <QDialog>

#include <functional>
#include <string>
#include <utility>

#include "core/store.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QStackedLayout;

namespace sorvane {

class TfrmRegExprCol : public QDialog {
  Q_OBJECT

 public:
  // `store` must outlive the dialog.
  explicit TfrmRegExprCol(Tdm& store, QWidget* parent = nullptr);

  // Called with a sub-expression number whenever one is chosen (-1: none).
  void SetHighlighter(std::function<void(int)> highlight) { highlight_ = std::move(highlight); }

  // As in the text-tag column dialog (texttagcoldialog.h).
  void SetTabID(int taid);
  int FieldID() const;
  void SetFieldID(int fid);
  std::string FieldNam() const;
  std::string ColTit() const;
  void SetColTit(const std::string& title);
  int ColTag() const;
  void SetColTag(int kind);
  // The start tag (kind 1) as typed.
  std::string StartTag() const;
  void SetStartTag(const std::string& tag);
  // The record close tag (kind 1) as typed.
  std::string EndTag() const;
  void SetEndTag(const std::string& tag);
  // The number of sub-expression entries; setting n >= 0 appends "$0" to "$n".
  int RegExprNum() const;
  void SetRegExprNum(int n);
  // The chosen sub-expression, -1 for none; setting chooses it (none when there is no such entry)
  // and has it highlighted.
  int RegExprNo() const;
  void SetRegExprNo(int n);

 private:
  void ApplyKind();
  void Highlight();
  void Confirm();

  Tdm& store_;
  std::function<void(int)> highlight_;
  QLabel* lblNote_;
  QComboBox* cbType_;
  QLabel* lblTitle_;
  QLineEdit* edtTitle_;
  QLabel* lblRegExpr_;
  QComboBox* cbRegExpr_;
  QLineEdit* edtStartTag_;
  QStackedLayout* place_ = nullptr;  // shows cbRegExpr_, or edtStartTag_ for kind 1
  QLabel* lblEndTag_;
  QLineEdit* edtEndTag_;
  QComboBox* cbField_;
};

}  // namespace sorvane
