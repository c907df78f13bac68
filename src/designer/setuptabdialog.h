#pragma once

// The tables and fields designer (caption "Table management"): the user tables on the left, the
// fields of the selected table on the right, and under them either the editor panel (every
// action on tables and fields; each changes the store at once) or the selector panel (pick one
// field and get its field tag).
//
// Two ways in:
//  - ManageTables: editor mode, for "D&atabase Management...".
//  - PickFieldTag: selection mode, for the templet editor's "Insert Database Field". A caller that
//    wants more than the tag may use the dialog itself: construct it, SetSwi(false), exec(), and
//    read FldTxt() before releasing it.
//
// Store statements live in usertables.h; the dialog shows their outcome and the messages. Store
// errors of the actions that do not report their own message go to the standard error box
// (errorbox.h) and end that action; the dialog stays usable. "Help" opens "table.html" through
// the help seam (helptopic.h).
//
// Widgets (object names): the list "lbTab" under "Table list:", the field list "lvFld" under
// "Fields of the selected table:" (columns "Field title", "Field length", "Uni"); the editor panel
// "pnlEditor" with "btnAddFld", "btnEditFld", "btnDelFld", "btnUnique", "btnFldVal", "btnHelp",
// "btnNewTab", "btnRename", "btnDropTab", "btnDelData", "btnResetTag", "btnClose"; the selector
// panel "pnlSelector" with its red message line "lblMsg", "btnOK" and "btnCancel".

#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace sorvane {

class Tdm;

class TfrmSetupTab : public QDialog {
  Q_OBJECT

 public:
  // Opens in editor mode with the tables of `store` listed and the first one selected. Throws
  // StoreError when they cannot be read. `store` must outlive the dialog.
  explicit TfrmSetupTab(Tdm& store, QWidget* parent = nullptr);

  // true in editor mode; writing false switches to selection mode (before showing the dialog).
  bool Swi() const { return editor_; }
  void SetSwi(bool editor);

  // "<FIELD:T%d,F%d/>" for the selected field of the current table; empty when no table is
  // current or no field is selected. The dialog's result is Accepted only through the selector
  // panel's OK, which needs this to be non-empty.
  std::string FldTxt() const;

  // The current table's id, 0 when none.
  int CurrentTable() const { return taid_; }

 private:
  QPushButton* Button(const char* name, const char* caption);
  void LoadTables();
  void TableSelected();
  void FieldSelected();
  // The selected field entry, or null.
  QTreeWidgetItem* SelectedField() const;
  QTreeWidgetItem* AddFieldEntry(int fid, const std::string& title, int typ, bool unique);
  void ShowFieldType(QTreeWidgetItem* entry, int typ);

  void NewTable();
  void RenameTable();
  void DropTable();
  void AddField();
  void EditField();
  void DeleteField();
  void ToggleUnique();
  void DeleteData();
  void ResetTag();
  void FieldValue();
  void Help();
  void Select();

  Tdm& store_;
  int taid_ = 0;
  bool editor_ = true;
  bool filling_ = false;  // the lists are being filled: selection changes are not the user's

  QListWidget* lbTab_;
  QTreeWidget* lvFld_;
  QWidget* pnlEditor_;
  QWidget* pnlSelector_;
  QPushButton* btnUnique_ = nullptr;
  QPushButton* btnOK_ = nullptr;
  QLabel* lblMsg_ = nullptr;
};

// "D&atabase Management...": the designer in editor mode over `parent`, shown modally; nothing
// is refreshed afterwards. A store error while opening goes to the standard error box.
void ManageTables(QWidget* parent, Tdm& store);

// The designer in selection mode over `parent`: the field tag ("<FIELD:T3,F7/>") of the field the
// user picked, or nothing when the dialog was cancelled (or could not read the tables: the
// standard error box has said why).
std::optional<std::string> PickFieldTag(QWidget* parent, Tdm& store);

}  // namespace sorvane
