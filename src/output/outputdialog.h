#pragma once

// TfrmOutput, the custom-format output dialog, and the command that shows it. The user writes an
// output pattern with column tags (customoutput.h); Output Start copies it once per record of the
// result grid into the output box, or into one file per record in an output folder.
//
// Widgets (object names): the pattern box "mmTemplet", the output label "lblOutput" over the
// read-only output box "mmOutput" (the two halves in the splitter "Splitter1"); on the right the
// buttons "btnInsertCol", "btnSaveTemplet", "btnGetResult", the check box "cbFile", the buttons
// "btnFileName", "btnExtName", "btnDir" (enabled while "cbFile" is ticked), "btnSelAll",
// "btnCopy", "Button1" (Close, also Escape), "btnHelp", and the check box "cbSQL".
//
// The output folder starts as DataFolder() (the program folder when it may write there), the name
// column as none, the extension as empty (".txt" once Output Start has run); only the pattern is
// stored, by Save Templet.

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

#include "output/customoutput.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace sorvane {

class ResultGrid;
class RunHost;

// Opens one help page by its topic ("customoutput.html").
using ShowHelpFunction = std::function<void(const std::string& topic)>;

class TfrmOutput : public QDialog {
  Q_OBJECT

 public:
  // `store` and `grid` must outlive the dialog; the grid is read, never changed.
  TfrmOutput(Tdm& store, const ResultGrid& grid, QWidget* parent = nullptr);

  // The templet whose pattern is loaded and saved: its stored pattern fills the pattern box when
  // the templet exists. Throws StoreError.
  void SetTempletID(int id);
  int TempletID() const { return templet_id_; }
  void SetShowHelp(ShowHelpFunction show_help) { show_help_ = std::move(show_help); }
  // The host whose progress bar counts the records while Output Start goes on (null: none).
  void SetProgressHost(RunHost* host) { progress_ = host; }

  const QString& OutputFolder() const { return folder_; }
  const std::string& Extension() const { return extension_; }
  int NameColumn() const { return name_column_; }

 private:
  void InsertColumn();
  void SaveTemplet();
  void OutputFilesClicked();
  void ChooseFolder();
  void ChooseNameColumn();
  void ChooseExtension();
  void RefreshOutputLabel();
  void SelectAll();
  void Copy();
  void OutputStart();
  void WriteFiles(const CustomOutputRequest& request);

  Tdm& store_;
  const ResultGrid& grid_;
  int templet_id_ = 0;
  ShowHelpFunction show_help_;
  RunHost* progress_ = nullptr;
  QString folder_;
  int name_column_ = 0;
  std::string name_title_;
  std::string extension_;

  QPlainTextEdit* mmTemplet_;
  QLabel* lblOutput_;
  QPlainTextEdit* mmOutput_;
  QCheckBox* cbFile_;
  QCheckBox* cbSQL_;
  QPushButton* btnFileName_;
  QPushButton* btnExtName_;
  QPushButton* btnDir_;
};

// "Save As C&ustom Format...": shows TfrmOutput for templet `templet_id` (0 when none is current)
// over `grid`, modally, and returns when it has closed. A store error while the pattern is read
// shows the standard error box. The caller counts the run's records as kept afterwards, whatever
// happened in the dialog.
// With `progress`, its bar counts the records while Output Start goes on.
void SaveCustomFormat(QWidget* parent, Tdm& store, const ResultGrid& grid, int templet_id,
                      const ShowHelpFunction& show_help, RunHost* progress = nullptr);

}  // namespace sorvane
