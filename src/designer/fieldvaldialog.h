#pragma once

// The field value editor: every value of one field of a user table as a line of text, saved back
// as the table's only records. Meant for tables whose values feed source URLs through the field
// tag; saving empties the table first.
//
// Set TabID, then FldID (which loads the values), then show the dialog modally; its result is of
// no use to the caller. A store error while loading, or while emptying the table on OK, passes to
// the caller (loading) or to the standard error box (OK).
//
// Widgets (object names): the value box "mmVals", the note "lblNote", the buttons "btnOK"
// (default), "btnCancel" (also Escape) and "btnClear".

#include <QDialog>

#include <string>
#include <vector>

class QPlainTextEdit;

namespace sorvane {

class Tdm;

class TfrmFieldVal : public QDialog {
  Q_OBJECT

 public:
  // `store` must outlive the dialog.
  explicit TfrmFieldVal(Tdm& store, QWidget* parent = nullptr);

  // The table the values belong to. Must be set first.
  void SetTabID(int taid) { taid_ = taid; }
  // The field; setting it loads its values into the box, one line each in the store's order.
  void SetFldID(int fid);

  // The box's lines, first to last; a line break at the very end starts no further line.
  std::vector<std::string> Lines() const;

 private:
  // Asks, empties the table and inserts every line; a line the store refuses is reported and
  // skipped. Closes when at least one line was inserted.
  void Save();

  Tdm& store_;
  int taid_ = 0;
  int fid_ = 0;
  QPlainTextEdit* mmVals_;
};

}  // namespace sorvane
