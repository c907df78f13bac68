#pragma once

// TfrmTextTagCol, the text-tag column dialog: one column of a text-tag templet, defined or changed.
// The templet editor sets its properties (when adding only SetTabID; when editing, in this order,
// SetTabID, SetFieldID, SetColTit, SetStartTag, SetEndTag, SetColTag), runs it modally and after
// OK reads them back. The dialog reads the target table's fields and writes nothing.
//
// OK closes with Accepted only when the checks pass (columnchecks.h); a refusal is written into
// the note line and the named input takes the focus.
//
// Widgets (object names): the note line "lblNote", the kind choice "cbType", the title
// "edtTitle", the open tag "edtStartTag" and the close tag "edtEndTag" (editable choices with
// their special tag), the field choice "cbField", the labels "lblTitle", "lblStartTag" and
// "lblEndTag", the buttons "btnOK" (default), "btnCancel" (Escape) and "btnHelp".

#include <QDialog>

#include <string>

#include "core/store.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace sorvane {

class TfrmTextTagCol : public QDialog {
  Q_OBJECT

 public:
  // `store` must outlive the dialog.
  explicit TfrmTextTagCol(Tdm& store, QWidget* parent = nullptr);

  // Fills the field choice with the fields of user table `taid` after an empty entry. Throws
  // StoreError.
  void SetTabID(int taid);
  // The chosen field's id (0 for none); setting chooses the first entry with that id, or leaves
  // the choice when there is none.
  int FieldID() const;
  void SetFieldID(int fid);
  // The chosen field's title (bytes), empty for none.
  std::string FieldNam() const;
  std::string ColTit() const;
  void SetColTit(const std::string& title);
  // The open tag as typed, or "[..]" when its list entry was picked.
  std::string StartTag() const;
  void SetStartTag(const std::string& tag);
  // The close tag as typed, or "[CRLF]" when its list entry was picked.
  std::string EndTag() const;
  void SetEndTag(const std::string& tag);
  // The column kind (cols.tag); setting chooses it and lays the dialog out for it.
  int ColTag() const;
  void SetColTag(int kind);

 private:
  void ApplyKind();
  void Confirm();

  Tdm& store_;
  QLabel* lblNote_;
  QComboBox* cbType_;
  QLabel* lblTitle_;
  QLineEdit* edtTitle_;
  QLabel* lblStartTag_;
  QComboBox* edtStartTag_;
  QLabel* lblEndTag_;
  QComboBox* edtEndTag_;
  QComboBox* cbField_;
};

}  // namespace sorvane
