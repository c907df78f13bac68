#pragma once

// The single text input: one line of text asked under a prompt. The caller presets the prompt
// and the text, runs the dialog modally and, after OK, reads the text as typed.
//
// Widgets (object names): the prompt label "lblTit", the edit "edtTxt", the red message label
// "lblMsg", the buttons "btnOK" (default) and "btnCancel" (also Escape).

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;

namespace sorvane {

class TfrmTextInput : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmTextInput(QWidget* parent = nullptr);

  // The prompt above the edit; initially "Some reminder text here:". Bytes in the locale's
  // 8-bit encoding.
  void SetTit(const std::string& text);
  std::string Tit() const;
  // The edit's text, presettable before the dialog is shown. Bytes in the locale's 8-bit
  // encoding.
  void SetTxt(const std::string& text);
  std::string Txt() const;

 private:
  // OK closes the dialog only when the edit holds at least one character (blanks count).
  void Confirm();

  QLabel* lblTit_;
  QLineEdit* edtTxt_;
  QLabel* lblMsg_;
};

}  // namespace sorvane
