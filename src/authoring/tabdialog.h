#pragma once

// TfrmTab, the table and column picker: a small modal list from which the user picks one entry,
// each a shown text and an id. It writes nothing to the store.
//
// Column mode: create, LoadColumns(templet id), exec(); after OK read SelectedID() and, where the
// title is needed, SelectedTitle(). The list then offers the templet's "Normal" columns
// (pickitems.h). Table mode (the templet editor's "Select Table"): create, LoadTables(),
// PresetID(current target table), exec(); after OK read SelectedID().
//
// Confirming (OK or a double click on the list) closes the dialog with Accepted only when the
// selected entry's id is above 0; otherwise the note line reads "No item being selected." and the
// dialog stays open. Cancel and Escape close it with Rejected.
//
// Widgets (object names): the note line "lblNote", the list "lbItems", the buttons "btnOK"
// (default) and "btnCancel".

#include <QDialog>

#include <string>
#include <vector>

#include "authoring/pickitems.h"

class QLabel;
class QListWidget;

namespace sorvane {

class TfrmTab : public QDialog {
  Q_OBJECT

 public:
  // The list starts empty. `store` must outlive the dialog.
  explicit TfrmTab(Tdm& store, QWidget* parent = nullptr);

  // Table mode: the list holds every user table, the first one selected. Throws StoreError.
  void LoadTables();
  // Column mode: the list holds the columns of kind 0 of templet `templet_id`, the first one
  // selected. Throws StoreError.
  void LoadColumns(int templet_id);
  // Replaces the entries by `items`, in their order, and selects the first one (if any).
  void SetItems(const std::vector<PickItem>& items);
  // Selects the first entry with id `id`; when none has it the selection stays.
  void PresetID(int id);

  // The selected entry's id; 0 when none is selected.
  int SelectedID() const;
  // The selected entry's text (bytes); empty when none is selected.
  std::string SelectedTitle() const;

 private:
  // The selected entry, or null.
  const PickItem* Selected() const;
  void Confirm();

  Tdm& store_;
  QLabel* lblNote_;
  QListWidget* lbItems_;
  std::vector<PickItem> items_;
};

}  // namespace sorvane
