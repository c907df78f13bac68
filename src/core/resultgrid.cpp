#include "core/resultgrid.h"

#include <algorithm>
#include <utility>

namespace sorvane {
namespace {
const std::string kEmpty;
}

void ResultGrid::Reset() {
  if (listener_) listener_->GridAboutToReset();
  columns_.clear();
  rows_.clear();
  if (listener_) listener_->GridReset();
}

void ResultGrid::SetColumns(std::vector<GridColumn> columns) {
  if (listener_) listener_->GridAboutToReset();
  columns_ = std::move(columns);
  rows_.clear();
  if (listener_) listener_->GridReset();
}

void ResultGrid::SetColumnWidth(int column, int width) {
  if (column >= 1 && column <= ShownColumnCount()) columns_[column - 1].width = width;
}

void ResultGrid::ClearRows() {
  if (listener_) listener_->GridAboutToReset();
  rows_.clear();
  if (listener_) listener_->GridReset();
}

int ResultGrid::AppendRow(std::int64_t record_id) {
  return AppendRow(record_id, {});
}

int ResultGrid::AppendRow(std::int64_t record_id, std::vector<std::string> cells) {
  cells.resize(columns_.size());
  rows_.push_back(Row{record_id, std::move(cells)});
  const int row = DataRowCount();
  if (listener_) listener_->RowsAppended(row, row);
  return row;
}

const std::string& ResultGrid::Cell(int column, int row) const {
  if (row < 1 || row > DataRowCount() || column < 1 || column > ShownColumnCount()) return kEmpty;
  return rows_[row - 1].cells[column - 1];
}

void ResultGrid::SetCell(int column, int row, std::string value) {
  if (row < 1 || row > DataRowCount() || column < 1 || column > ShownColumnCount()) return;
  rows_[row - 1].cells[column - 1] = std::move(value);
  if (listener_) listener_->CellChanged(column, row);
}

std::int64_t ResultGrid::RecordId(int row) const {
  if (row < 1 || row > DataRowCount()) return 0;
  return rows_[row - 1].id;
}

void ResultGrid::RemoveRows(int first, int last) {
  first = std::max(first, 1);
  last = std::min(last, DataRowCount());
  if (first > last) return;
  if (listener_) listener_->RowsAboutToBeRemoved(first, last);
  rows_.erase(rows_.begin() + (first - 1), rows_.begin() + last);
  if (listener_) listener_->RowsRemoved(first, last);
}

}  // namespace sorvane
