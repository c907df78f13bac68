#pragma once

// TfrmTrans, the translation rules dialog: edits the value translation rules of one stored column
// in a list; OK replaces the column's stored rules by the list (translationrules.h) at once,
// whatever the templet editor does afterwards, and Cancel stores nothing.
//
// Usage: TfrmTrans dlg(store, this); dlg.SetColID(cid); dlg.exec();
//
// "Add" (the default button) appends the rule in the inputs; a double click on a rule loads it
// into the inputs and turns the button into "Save", which changes that rule. A rule missing a
// needed parameter is not taken (the input gets the focus). A store error on OK is shown and the
// dialog stays open.
//
// Widgets (object names): the note line "lblNote", the relation choice "cbRel", the labels "lblA"
// and "lblB", the inputs "edtA" and "edtB", the rule list "lvList", the buttons "btnAdd",
// "btnDelete", "btnOK", "btnCancel" (Escape) and "btnHelp".

#include <QDialog>

#include <vector>

#include "core/store.h"
#include "core/templetmodel.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace sorvane {

class TfrmTrans : public QDialog {
  Q_OBJECT

 public:
  // `store` must outlive the dialog.
  explicit TfrmTrans(Tdm& store, QWidget* parent = nullptr);

  // The column whose rules are edited; loads them into the list. Throws StoreError.
  void SetColID(int cid);
  // The rules as the list holds them.
  const std::vector<TTrans>& Rules() const { return rules_; }

 private:
  // Lays the inputs out for the chosen relation and empties them.
  void ApplyRelation();
  void ShowRules(int select);
  int SelectedRow() const;
  void AddOrSave();
  void LoadRule();
  void DeleteRule();
  void Confirm();

  Tdm& store_;
  int col_id_ = 0;
  std::vector<TTrans> rules_;
  QComboBox* cbRel_;
  QLabel* lblA_;
  QLineEdit* edtA_;
  QLabel* lblB_;
  QLineEdit* edtB_;
  QTreeWidget* lvList_;
  QPushButton* btnAdd_;
};

}  // namespace sorvane
