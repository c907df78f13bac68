#pragma once

// TfrmInput ("Please enter..."): one name/value pair of a form login, added or changed in the
// login settings dialog. The caller presets ValOne, ValTwo and IsVerifyCode, runs the dialog
// modally and, after OK, reads them back. OK closes the dialog only when both texts are given.
//
// Widgets (object names): "lblTitOne" "Field name:" with "edtValOne"; "lblTitTwo" ("Field
// value:", or "Image URL:" while "cbImage" is checked) with "edtValTwo"; "cbImage" "Value on an
// image"; the note "lblNoteMsg"; "btnOK" (default) and "btnCancel".

#include <QDialog>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace sorvane {

class TfrmInput : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kNoteInitial = "Please enter field name/value:";
  static constexpr const char* kNoteEmpty = "Cann't be empty.";

  explicit TfrmInput(QWidget* parent = nullptr);

  // The field name and value as bytes in the locale's 8-bit encoding.
  void SetValOne(const std::string& text);
  std::string ValOne() const;
  void SetValTwo(const std::string& text);
  std::string ValTwo() const;
  // Whether the value is read off an image (the value is then the image's address); setting it
  // also sets the second label.
  void SetIsVerifyCode(bool on);
  bool IsVerifyCode() const;

 private:
  void ImageToggled(bool on);
  void Confirm();

  QLabel* lblTitOne_;
  QLineEdit* edtValOne_;
  QLabel* lblTitTwo_;
  QLineEdit* edtValTwo_;
  QCheckBox* cbImage_;
  QLabel* lblNoteMsg_;
};

}  // namespace sorvane
