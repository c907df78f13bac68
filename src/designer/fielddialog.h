#pragma once

// The field dialog: asks for a field's title and type when the designer adds or edits a field.
// It touches no store data; the designer issues the statements.
//
// Widgets (object names): the note line "lblNote" (which also shows the refusal of an empty
// title), the title box "edtTit" beside "Field title:", the type list "cbTyp" beside "Length:",
// the buttons "btnOK" (default) and "btnCancel" (also Escape).

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QLineEdit;

namespace sorvane {

class TfrmField : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmField(QWidget* parent = nullptr);

  // The title box's text as typed (untrimmed). Bytes in the locale's 8-bit encoding.
  std::string Tit() const;
  void SetTit(const std::string& title);
  // The chosen type code (usertables.h). Writing a code selects its choice; a code without a
  // choice selects none and is read back unchanged until the user picks one.
  int Typ() const { return typ_; }
  void SetTyp(int typ);
  // The column type of the chosen code ("varchar(50)", ...); empty for a code without a choice.
  std::string Txt() const;

 private:
  // OK closes the dialog only when the title holds something besides blanks and control
  // characters.
  void Confirm();

  QLineEdit* edtTit_;
  QComboBox* cbTyp_;
  QLabel* lblNote_;
  int typ_ = 0;
};

}  // namespace sorvane
