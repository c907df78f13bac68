#include "core/resultgrid.h"

#include <algorithm>
#include <utility>

namespace sorvane {

void ResultGrid::DropRows() {
  ids_.clear();
  slots_.clear();
  bytes_.clear();
}

void ResultGrid::Reset() {
  if (listener_) listener_->GridAboutToReset();
  columns_.clear();
  DropRows();
  if (listener_) listener_->GridReset();
}

void ResultGrid::SetColumns(std::vector<GridColumn> columns) {
  if (listener_) listener_->GridAboutToReset();
  columns_ = std::move(columns);
  DropRows();
  if (listener_) listener_->GridReset();
}

void ResultGrid::SetColumnWidth(int column, int width) {
  if (column >= 1 && column <= ShownColumnCount()) columns_[column - 1].width = width;
}

void ResultGrid::ClearRows() {
  if (listener_) listener_->GridAboutToReset();
  DropRows();
  if (listener_) listener_->GridReset();
}

int ResultGrid::AppendRow(std::int64_t record_id) {
  ids_.push_back(record_id);
  slots_.resize(slots_.size() + columns_.size());
  const int row = DataRowCount();
  if (listener_) listener_->RowsAppended(row, row);
  return row;
}

int ResultGrid::AppendRow(std::int64_t record_id, std::vector<std::string> cells) {
  ids_.push_back(record_id);
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    Slot slot;
    if (c < cells.size()) {
      slot.offset = bytes_.size();
      slot.length = static_cast<std::uint32_t>(cells[c].size());
      bytes_ += cells[c];
    }
    slots_.push_back(slot);
  }
  const int row = DataRowCount();
  if (listener_) listener_->RowsAppended(row, row);
  return row;
}

std::string_view ResultGrid::Cell(int column, int row) const {
  if (!InRange(column, row)) return {};
  const Slot& slot = slots_[static_cast<std::size_t>(row - 1) * columns_.size() +
                            static_cast<std::size_t>(column - 1)];
  return std::string_view(bytes_).substr(slot.offset, slot.length);
}

void ResultGrid::SetCell(int column, int row, std::string_view value) {
  if (!InRange(column, row)) return;
  // A value that is itself a view into the grid is copied before the buffer may move.
  std::string own;
  if (!bytes_.empty() && value.data() >= bytes_.data() &&
      value.data() < bytes_.data() + bytes_.size()) {
    own.assign(value);
    value = own;
  }
  Slot& slot = SlotOf(column, row);
  slot.offset = bytes_.size();
  slot.length = static_cast<std::uint32_t>(value.size());
  bytes_.append(value);
  if (listener_) listener_->CellChanged(column, row);
}

std::int64_t ResultGrid::RecordId(int row) const {
  if (row < 1 || row > DataRowCount()) return 0;
  return ids_[static_cast<std::size_t>(row - 1)];
}

void ResultGrid::RemoveRows(int first, int last) {
  first = std::max(first, 1);
  last = std::min(last, DataRowCount());
  if (first > last) return;
  if (listener_) listener_->RowsAboutToBeRemoved(first, last);
  ids_.erase(ids_.begin() + (first - 1), ids_.begin() + last);
  const auto width = static_cast<std::ptrdiff_t>(columns_.size());
  slots_.erase(slots_.begin() + (first - 1) * width, slots_.begin() + last * width);
  if (listener_) listener_->RowsRemoved(first, last);
}

}  // namespace sorvane
