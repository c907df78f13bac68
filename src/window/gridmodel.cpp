#include "window/gridmodel.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

#include "core/resultpages.h"
#include "core/screentext.h"

namespace sorvane {
namespace {

constexpr int kTextOffset = 2;
constexpr int kRowNumberWidth = 30;

QColor ButtonFace() {
  return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

}  // namespace

void PaintGridCell(QPainter* painter, const QRect& cell, const QString& text,
                   const QColor& background, const QFont& font, bool centred) {
  painter->save();
  painter->setClipRect(cell);
  painter->fillRect(cell, background);
  painter->setFont(font);
  painter->setPen(Qt::black);
  QPoint origin(cell.left() + kTextOffset, cell.top() + kTextOffset);
  if (centred) {
    const QFontMetrics metrics(font);
    origin = QPoint(cell.left() + (cell.width() - metrics.horizontalAdvance(text)) / 2,
                    cell.top() + (cell.height() - metrics.height()) / 2);
  }
  // drawText with a rectangle gives "&" no meaning; only Qt::TextShowMnemonic would.
  const QRect area(origin, QPoint(cell.right(), cell.bottom()));
  painter->drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
  painter->restore();
}

GridModel::GridModel(ResultGrid& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {
  rows_ = grid_.DataRowCount();
  columns_ = grid_.ShownColumnCount();
  flush_timer_.setSingleShot(true);
  flush_timer_.setInterval(kFlushInterval);
  connect(&flush_timer_, &QTimer::timeout, this, &GridModel::Flush);
  since_flush_.start();
  grid_.SetListener(this);
}

GridModel::~GridModel() {
  grid_.SetListener(nullptr);
}

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const std::string_view cell = grid_.Cell(index.column() + 1, index.row() + 1);
  return ScreenText(cell);
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return QString::number(section + 1);
  if (section < 0 || section >= columns_) return {};
  return ScreenText(grid_.Columns()[section].title);
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void GridModel::Flush() {
  flush_timer_.stop();
  since_flush_.restart();
  const int total = grid_.DataRowCount();
  if (total <= rows_) return;
  beginInsertRows(QModelIndex(), rows_, total - 1);
  rows_ = total;
  endInsertRows();
}

void GridModel::FlushIfDue() {
  if (PendingRows() > 0 && since_flush_.elapsed() >= kFlushInterval) Flush();
}

int GridModel::PendingRows() const {
  return grid_.DataRowCount() - rows_;
}

void GridModel::GridAboutToReset() {
  flush_timer_.stop();
  resetting_ = true;
  beginResetModel();
}

void GridModel::GridReset() {
  if (!resetting_) beginResetModel();
  resetting_ = false;
  rows_ = grid_.DataRowCount();
  columns_ = grid_.ShownColumnCount();
  endResetModel();
}

void GridModel::RowsAppended(int, int) {
  if (!flush_timer_.isActive()) flush_timer_.start();
}

void GridModel::RowsAboutToBeRemoved(int first, int last) {
  // Of the rows going, only those the view knows are announced.
  const int from = first - 1;
  const int to = std::min(last - 1, rows_ - 1);
  removing_ = from <= to ? to - from + 1 : 0;
  if (removing_ > 0) beginRemoveRows(QModelIndex(), from, to);
}

void GridModel::RowsRemoved(int, int) {
  if (removing_ == 0) return;
  rows_ -= removing_;
  removing_ = 0;
  endRemoveRows();
}

void GridModel::CellChanged(int column, int row) {
  if (row < 1 || row > rows_ || column < 1 || column > columns_) return;
  const QModelIndex cell = index(row - 1, column - 1);
  emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  const bool selected = option.state.testFlag(QStyle::State_Selected);
  PaintGridCell(painter, option.rect, index.data(Qt::DisplayRole).toString(),
                selected ? SelectedCellColor() : QColor(Qt::white), option.font, false);
}

GridHeader::GridHeader(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent) {
  setSectionsClickable(false);
  setHighlightSections(false);
  setSectionsMovable(false);
  setMinimumSectionSize(1);
}

QSize GridHeader::sizeHint() const {
  QSize hint = QHeaderView::sizeHint();
  if (orientation() == Qt::Horizontal) {
    hint.setHeight(kTitleRowHeight);
  } else {
    hint.setWidth(std::max(hint.width(), kRowNumberWidth));
  }
  return hint;
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  QFont font = this->font();  // the view's font, which its headers inherit
  const bool titles = orientation() == Qt::Horizontal;
  font.setBold(titles);
  const QString text =
      model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
  PaintGridCell(painter, rect, text, ButtonFace(), font, !titles);
  // The lines between cells, as the view draws them between data cells.
  QStyleOption grid_option;
  grid_option.initFrom(this);
  const QColor line = QColor::fromRgba(
      static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &grid_option, this)));
  painter->save();
  painter->setPen(line);
  painter->drawLine(rect.topRight(), rect.bottomRight());
  painter->drawLine(rect.bottomLeft(), rect.bottomRight());
  painter->restore();
}

}  // namespace sorvane
