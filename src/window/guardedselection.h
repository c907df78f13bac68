#pragma once

// A selection model for single-selection lists whose selection may only move to another entry
// with a guard's consent. The guard runs before the selection moves, whatever moves it (a click,
// a key, a program selecting an entry, a removed entry's neighbour taking its place); when it
// refuses, neither the selection nor the current entry changes. Clearing the selection needs no
// consent. One gesture that moves the selection in several steps (a key press sets the current
// entry and then selects it) asks the guard once: a refusal stands until the event loop runs.

#include <QItemSelectionModel>

#include <functional>

namespace sorvane {

class GuardedSelectionModel : public QItemSelectionModel {
  Q_OBJECT

 public:
  // Returns true when the selection may move.
  using Guard = std::function<bool()>;

  GuardedSelectionModel(QAbstractItemModel* model, Guard guard, QObject* parent = nullptr);

  void setCurrentIndex(const QModelIndex& index,
                       QItemSelectionModel::SelectionFlags command) override;
  void select(const QItemSelection& selection,
              QItemSelectionModel::SelectionFlags command) override;
  using QItemSelectionModel::select;

 private:
  // Whether selecting `target` moves the selection away from the selected entry, and, if so,
  // whether the guard allows it.
  bool MayMoveTo(const QModelIndex& target);

  Guard guard_;
  QPersistentModelIndex refused_;  // the target just refused, until the event loop runs
};

}  // namespace sorvane
