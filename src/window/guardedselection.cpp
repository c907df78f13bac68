#include "window/guardedselection.h"

#include <QTimer>

#include <utility>

namespace sorvane {

GuardedSelectionModel::GuardedSelectionModel(QAbstractItemModel* model, Guard guard,
                                             QObject* parent)
    : QItemSelectionModel(model, parent), guard_(std::move(guard)) {}

bool GuardedSelectionModel::MayMoveTo(const QModelIndex& target) {
  if (!target.isValid()) return true;
  const QModelIndexList selected = selectedIndexes();
  if (!selected.isEmpty() && selected.first().row() == target.row() &&
      selected.first().parent() == target.parent()) {
    return true;
  }
  if (refused_.isValid() && refused_ == target) return false;
  if (!guard_ || guard_()) return true;
  refused_ = target;
  QTimer::singleShot(0, this, [this] { refused_ = QPersistentModelIndex(); });
  return false;
}

void GuardedSelectionModel::setCurrentIndex(const QModelIndex& index,
                                            QItemSelectionModel::SelectionFlags command) {
  // A mouse press moves only the current entry first (NoUpdate) and selects afterwards; the
  // guard is asked once, when the selection is about to follow.
  if (command != QItemSelectionModel::NoUpdate && !MayMoveTo(index)) return;
  QItemSelectionModel::setCurrentIndex(index, command);
}

void GuardedSelectionModel::select(const QItemSelection& selection,
                                   QItemSelectionModel::SelectionFlags command) {
  const bool selects =
      command.testAnyFlags(QItemSelectionModel::Select | QItemSelectionModel::Toggle);
  if (selects && !selection.isEmpty() && !MayMoveTo(selection.first().topLeft())) {
    // Refused: the current entry goes back to the selected one, which stays selected.
    const QModelIndexList selected = selectedIndexes();
    if (!selected.isEmpty() && currentIndex() != selected.first()) {
      QItemSelectionModel::setCurrentIndex(selected.first(), QItemSelectionModel::NoUpdate);
    }
    return;
  }
  QItemSelectionModel::select(selection, command);
}

}  // namespace sorvane
