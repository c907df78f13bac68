#pragma once

// The display options of one templet: row height and records per page of the result grid, the
// grid font and the image folder. SetTempID loads the dialog from the store; OK saves all five
// option rows (options.h) and closes with Accepted; Cancel changes nothing. The caller applies
// the saved rows to the grid afterwards.
//
// Usage: TfrmOption dlg(store, this); dlg.SetTempID(id); if (dlg.exec() == QDialog::Accepted) ...
//
// Widgets (object names): the note line "lblNote" (also shows refusals), the digit boxes
// "edtRowH" and "edtRpp", the font preview "lblFont", the buttons "btnFont" and "btnFolder",
// the read-only "edtFolder", below them how web runs fetch pages: "spnInFlight" (requests in
// flight, 1..16), "spnDelay" (milliseconds between requests) and "spnRetries" (0..5), and the
// buttons "btnOK" (default) and "Button3" (Cancel, Escape).

#include <QDialog>

#include "core/options.h"
#include "core/store.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace sorvane {

class TfrmOption : public QDialog {
  Q_OBJECT

 public:
  // `store` must outlive the dialog.
  explicit TfrmOption(Tdm& store, QWidget* parent = nullptr);

  // The templet whose options are edited. Loads the dialog from its option rows, or with the
  // defaults when it has none. An id below 1 names no templet: the dialog shows the defaults
  // and OK is disabled, so the image counter row of templet 0 is never touched. Throws
  // StoreError when the rows cannot be read.
  void SetTempID(int id);
  int TempID() const { return tempId_; }

 private:
  void ResetToDefaults();
  void ShowFetchOptions(const FetchOptions& fetch);
  void ChooseFont();
  void ChooseFolder();
  // Saves and closes; refusals and store errors keep the dialog open.
  void Confirm();

  Tdm& store_;
  int tempId_ = 0;
  QLabel* lblNote_;
  QLineEdit* edtRowH_;
  QLineEdit* edtRpp_;
  QLabel* lblFont_;
  QLineEdit* edtFolder_;
  QSpinBox* spnInFlight_;
  QSpinBox* spnDelay_;
  QSpinBox* spnRetries_;
  QPushButton* btnOK_;
};

}  // namespace sorvane
