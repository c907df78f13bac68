#pragma once

// TfrmAuto, the page-number tag dialog: composes the tag that "Insert Page No." puts into a
// templet's URL, either a page range "<AUTOINC:from,to/>" or an end text "<AUTOINC:text/>" (the
// pages go on while each holds that text). It writes nothing to the store.
//
// OK closes with Accepted only when the chosen condition is filled in; otherwise the note line
// reads "Filling is not completed." and the empty input takes the focus. An end text holding
// "/>" is refused too, since the tag would end there. Read Txt() after OK.
//
// Widgets (object names): the note line "lblNote", the choices "rbRange" and "rbTag", the digit
// inputs "edtFrom" and "edtTo", the end text "edtTag", the buttons "btnOK" (default), "btnCancel"
// (Escape) and "btnHelp".

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace sorvane {

class TfrmAuto : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAuto(QWidget* parent = nullptr);

  // The tag, built from the inputs as typed (bytes).
  std::string Txt() const;

 private:
  void Confirm();

  QLabel* lblNote_;
  QRadioButton* rbRange_;
  QRadioButton* rbTag_;
  QLineEdit* edtFrom_;
  QLineEdit* edtTo_;
  QLineEdit* edtTag_;
};

}  // namespace sorvane
