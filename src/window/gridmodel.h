#pragma once

// The view side of the result grid (resultgrid.h): a table model over the grid's content, the
// delegate that draws the data cells, and the header that draws the title row (horizontal header)
// and the row-number column (vertical header).
//
// The model is the grid's listener. A run appends one row at a time; so that a long run is not
// dominated by view updates, appended rows reach the view in batches: Flush() announces every row
// appended since the last announcement, FlushIfDue() does so when the last announcement is at
// least kFlushInterval old, and a timer flushes what is left once the event loop runs. Resets,
// removals and cell changes of announced rows reach the view at once (removed rows that were
// not announced yet simply stay unannounced). rowCount() counts the announced rows only.

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTimer>

#include "core/resultgrid.h"

namespace sorvane {

// Draws one grid cell: fills `cell` with `background`, then draws `text` in `font` into the
// rectangle from the text origin to the cell's right and bottom edges, breaking lines at word
// boundaries and drawing "&" as itself. The origin is 2 pixels right of and below the cell's
// top-left corner, or, when `centred`, such that the text's first line is centred in the cell.
void PaintGridCell(QPainter* painter, const QRect& cell, const QString& text,
                   const QColor& background, const QFont& font, bool centred);

// The background of selected data cells.
inline QColor SelectedCellColor() {
  return QColor(192, 220, 192);
}

class GridModel : public QAbstractTableModel, public GridListener {
  Q_OBJECT

 public:
  static constexpr int kFlushInterval = 50;  // milliseconds

  // Becomes `grid`'s listener until destroyed; `grid` must outlive the model.
  explicit GridModel(ResultGrid& grid, QObject* parent = nullptr);
  ~GridModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  // Display role: the cell's bytes decoded with the locale's 8-bit codec.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // Horizontal: the column titles; vertical: the row numbers 1..n.
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Announces the rows appended since the last announcement.
  void Flush();
  // Flush() when the last announcement is at least kFlushInterval milliseconds old.
  void FlushIfDue();
  // Rows appended to the grid that the view does not know yet.
  int PendingRows() const;

  void GridAboutToReset() override;
  void GridReset() override;
  void RowsAppended(int first, int last) override;
  void RowsAboutToBeRemoved(int first, int last) override;
  void RowsRemoved(int first, int last) override;
  void CellChanged(int column, int row) override;

 private:
  ResultGrid& grid_;
  int rows_ = 0;     // rows announced to the view
  int columns_ = 0;  // columns announced to the view
  bool resetting_ = false;
  int removing_ = 0;  // announced rows between RowsAboutToBeRemoved and RowsRemoved
  QTimer flush_timer_;
  QElapsedTimer since_flush_;
};

// Draws the data cells: white, or SelectedCellColor() when selected; the view's font.
class GridCellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

// The title row (horizontal: bold titles at the text origin, kTitleRowHeight high) or the
// row-number column (vertical: centred numbers, at least 30 pixels wide), both on the system's
// button-face colour, in the font of the view they belong to.
class GridHeader : public QHeaderView {
  Q_OBJECT

 public:
  explicit GridHeader(Qt::Orientation orientation, QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

}  // namespace sorvane
