#include "core/resultgrid.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sorvane {

namespace {

// Cells of a grid go into blocks of this size; a larger row gets a block of its own size.
constexpr std::size_t kBlockBytes = std::size_t{4} << 20;

}  // namespace

void ResultGrid::DropRows() {
  rows_.clear();
  ends_.clear();
  ids_.clear();
  keep_ids_ = false;
  blocks_.clear();
}

void ResultGrid::KeepId(std::int64_t record_id) {
  if (record_id != 0 && !keep_ids_) {
    ids_.resize(rows_.size(), 0);
    keep_ids_ = true;
  }
  if (keep_ids_) ids_.push_back(record_id);
}

std::uint64_t ResultGrid::Reserve(std::size_t bytes) {
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < bytes) {
    Block block;
    block.capacity = std::max(kBlockBytes, bytes);
    block.bytes = NewHugeBuffer(block.capacity);
    blocks_.push_back(std::move(block));
  }
  return (static_cast<std::uint64_t>(blocks_.size() - 1) << 32) | blocks_.back().used;
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
  KeepId(record_id);
  rows_.push_back(blocks_.empty() ? 0 : Reserve(0));
  ends_.resize(ends_.size() + columns_.size());
  const int row = DataRowCount();
  if (listener_) listener_->RowsAppended(row, row);
  return row;
}

int ResultGrid::AppendRow(std::int64_t record_id, std::vector<std::string> cells) {
  KeepId(record_id);
  const std::size_t shown = std::min(cells.size(), columns_.size());
  std::size_t bytes = 0;
  for (std::size_t c = 0; c < shown; ++c)
    bytes += cells[c].size();
  const std::uint64_t place = Reserve(bytes);
  char* out = At(place);
  std::uint32_t end = 0;
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    if (c < shown) {
      std::memcpy(out + end, cells[c].data(), cells[c].size());
      end += static_cast<std::uint32_t>(cells[c].size());
    }
    ends_.push_back(end);
  }
  blocks_.back().used += bytes;
  rows_.push_back(place);
  const int row = DataRowCount();
  if (listener_) listener_->RowsAppended(row, row);
  return row;
}

std::string_view ResultGrid::Cell(int column, int row) const {
  if (!InRange(column, row)) return {};
  const std::size_t first = FirstEnd(row);
  const std::size_t at = first + static_cast<std::size_t>(column - 1);
  const std::uint32_t begin = column == 1 ? 0 : ends_[at - 1];
  const std::uint32_t end = ends_[at];
  if (end == begin) return {};
  return std::string_view(At(rows_[static_cast<std::size_t>(row - 1)]) + begin, end - begin);
}

void ResultGrid::SetCell(int column, int row, std::string_view value) {
  if (!InRange(column, row)) return;
  const std::size_t first = FirstEnd(row);
  const std::size_t at = first + static_cast<std::size_t>(column - 1);
  const std::size_t last = first + columns_.size() - 1;
  const std::uint32_t begin = column == 1 ? 0 : ends_[at - 1];
  const std::uint64_t place = rows_[static_cast<std::size_t>(row - 1)];
  // The common case, a run filling its newest row column by column: the row ends the last
  // block and the cells right of this one are empty, so the value goes where the cell begins.
  const bool at_tail = !blocks_.empty() && (place >> 32) == blocks_.size() - 1 &&
                       (place & 0xFFFFFFFFu) + ends_[last] == blocks_.back().used &&
                       ends_[last] == ends_[at];
  const std::size_t offset = (place & 0xFFFFFFFFu) + begin;
  if (at_tail && offset + value.size() <= blocks_.back().capacity &&
      begin + value.size() <= 0xFFFFFFFFu) {
    // A value that is itself a view into the grid stays where it is: blocks never move.
    std::memmove(blocks_.back().bytes.get() + offset, value.data(), value.size());
    const auto end = static_cast<std::uint32_t>(begin + value.size());
    for (std::size_t i = at; i <= last; ++i)
      ends_[i] = end;
    blocks_.back().used = offset + value.size();
  } else {
    MoveRow(column, row, value);
  }
  if (listener_) listener_->CellChanged(column, row);
}

void ResultGrid::MoveRow(int column, int row, std::string_view value) {
  // The old bytes stay where they are, unused, until the rows go: `value` may be one of them.
  std::vector<std::string_view> cells(columns_.size());
  std::size_t bytes = 0;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    cells[c] = static_cast<int>(c) + 1 == column ? value : Cell(static_cast<int>(c) + 1, row);
    bytes += cells[c].size();
  }
  const std::uint64_t place = Reserve(bytes);
  char* out = At(place);
  const std::size_t first = FirstEnd(row);
  std::uint32_t end = 0;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (!cells[c].empty()) std::memcpy(out + end, cells[c].data(), cells[c].size());
    end += static_cast<std::uint32_t>(cells[c].size());
    ends_[first + c] = end;
  }
  blocks_.back().used += bytes;
  rows_[static_cast<std::size_t>(row - 1)] = place;
}

std::int64_t ResultGrid::RecordId(int row) const {
  if (row < 1 || row > DataRowCount() || !keep_ids_) return 0;
  return ids_[static_cast<std::size_t>(row - 1)];
}

void ResultGrid::RemoveRows(int first, int last) {
  first = std::max(first, 1);
  last = std::min(last, DataRowCount());
  if (first > last) return;
  if (listener_) listener_->RowsAboutToBeRemoved(first, last);
  const auto from = static_cast<std::size_t>(first - 1);
  const auto to = static_cast<std::size_t>(last);
  rows_.erase(from, to);
  if (keep_ids_) ids_.erase(from, to);
  const auto width = columns_.size();
  ends_.erase(from * width, to * width);
  if (listener_) listener_->RowsRemoved(first, last);
}

}  // namespace sorvane
