#pragma once

// The "E&xport..." command of the templet menu: writes the selected templet to an open templet
// file (templetfile.h). When the templet's login holds secret values (passwords), TfrmExport asks
// first whether they go into the file; they stay out unless "Include login values" is ticked.
// The file name comes from the file dialog seam; a failed write shows the standard error box and
// leaves an existing file as it was. Interface thread only.

#include <QDialog>

#include "core/store.h"
#include "core/templet.h"

class QCheckBox;

namespace sorvane {

// The file dialog's filter of open templet files.
inline constexpr const char* kTempletJsonFilter = "Templet (*.json)|*.json";

// The export's one question. Widgets (object names): the note "lblNote", the tick box
// "chkLoginValues" (unticked), the buttons "btnOK" (default) and "btnCancel".
class TfrmExport : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmExport(QWidget* parent = nullptr);
  bool IncludeLoginValues() const;

 private:
  QCheckBox* chkLoginValues_;
};

// Runs the command over `parent` for `selected` (null: "Please select a templet." in a Note box).
// Returns true when the file was written.
bool ExportTemplet(QWidget* parent, Tdm& store, const TTemplet* selected);

}  // namespace sorvane
