#pragma once

// The result grid's content: a title row with a TColRef per shown column, data rows with an
// optional stored-record id, and one text cell (bytes) per column. Column 0 is the row-number
// column; data rows are numbered from 1, the title row is row 0.
//
// The window shows it through a table model; the run appends to it; the output commands read it.
// Each cell exists once, here: a row's cells lie side by side in blocks of bytes that never move,
// so a row costs no allocation of its own and a growing grid copies nothing it already holds; a
// row keeps where its bytes begin and, per cell, where the cell's bytes end. Rows that a run
// produced (id 0) keep no id. A view returned by Cell() is valid until the grid next changes. A
// listener (at most one) hears of every change so that a view can follow; it is called
// synchronously and must not change the grid.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/chunkedarray.h"
#include "core/hugepages.h"

namespace sorvane {

struct TColRef {
  int ColID = 0;  // cols.cid
  int FldID = 0;  // cols.fid, 0 = the column feeds no field
};

struct GridColumn {
  std::string title;
  TColRef ref;
  int width = 0;  // pixels, as stored in cols.width
};

class GridListener {
 public:
  virtual ~GridListener() = default;
  virtual void GridReset() = 0;                        // columns or all rows changed
  virtual void RowsAppended(int first, int last) = 0;  // data rows first..last (1-based) added
  virtual void RowsRemoved(int first, int last) = 0;   // data rows first..last were removed
  virtual void CellChanged(int column, int row) = 0;
  // Heard just before the change, while the grid still holds its former content; each is
  // followed by GridReset or RowsRemoved with the same rows.
  virtual void GridAboutToReset() {}
  virtual void RowsAboutToBeRemoved(int /*first*/, int /*last*/) {}
};

class ResultGrid {
 public:
  // Columns 1..n of the grid (column 0, the row numbers, is implicit).
  const std::vector<GridColumn>& Columns() const { return columns_; }
  int ShownColumnCount() const { return static_cast<int>(columns_.size()); }
  // Data rows (the title row not counted).
  int DataRowCount() const { return static_cast<int>(rows_.size()); }

  // Back to one empty cell: no columns, no rows.
  void Reset();
  // New columns; all rows go.
  void SetColumns(std::vector<GridColumn> columns);
  void SetColumnWidth(int column, int width);  // column 1..n
  // All rows go; the columns stay.
  void ClearRows();

  // Appends a data row with empty cells and returns its number (1-based). `record_id` is the
  // stored record's id, 0 for a row that a run produced.
  int AppendRow(std::int64_t record_id = 0);
  // Appends a data row with its cells moved in (missing cells are empty, extra ones dropped).
  int AppendRow(std::int64_t record_id, std::vector<std::string> cells);

  // Cell (column, row): column 1..n, row 1..DataRowCount(). Out of range reads as empty. The
  // view is valid until the grid next changes.
  std::string_view Cell(int column, int row) const;
  void SetCell(int column, int row, std::string_view value);
  std::int64_t RecordId(int row) const;

  // Removes data rows first..last (clamped); the rows below move up and keep their ids and cells.
  void RemoveRows(int first, int last);

  void SetListener(GridListener* listener) { listener_ = listener; }

 private:
  // Bytes of cells; a block is never moved or shrunk while the rows last.
  struct Block {
    Block() = default;
    // A copied grid's blocks hold just the bytes in use.
    Block(const Block& other)
        : bytes(NewHugeBuffer(other.used)), capacity(other.used), used(other.used) {
      std::copy_n(other.bytes.get(), other.used, bytes.get());
    }
    Block& operator=(const Block& other) {
      if (this != &other) *this = Block(other);
      return *this;
    }
    Block(Block&&) noexcept = default;
    Block& operator=(Block&&) noexcept = default;
    ~Block() = default;

    HugeBuffer bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };
  bool InRange(int column, int row) const {
    return row >= 1 && row <= DataRowCount() && column >= 1 && column <= ShownColumnCount();
  }
  std::size_t FirstEnd(int row) const {
    return static_cast<std::size_t>(row - 1) * columns_.size();
  }
  // Room for `bytes` more at the end of the last block (a new block when it lacks it); returns
  // the place where they go.
  std::uint64_t Reserve(std::size_t bytes);
  char* At(std::uint64_t place) { return blocks_[place >> 32].bytes.get() + (place & 0xFFFFFFFFu); }
  const char* At(std::uint64_t place) const {
    return blocks_[place >> 32].bytes.get() + (place & 0xFFFFFFFFu);
  }
  // Writes row `row` anew at the end with cell `column` replaced by `value`.
  void MoveRow(int column, int row, std::string_view value);
  // Keeps the id of a row being appended; ids are kept from the first one that is not 0.
  void KeepId(std::int64_t record_id);
  void DropRows();

  std::vector<GridColumn> columns_;
  ChunkedArray<std::uint64_t> rows_;  // where each data row's bytes begin: block << 32 | offset
  ChunkedArray<std::uint32_t> ends_;  // row after row, per shown column: end of the cell's bytes
                                      // counted from the row's beginning
  ChunkedArray<std::int64_t> ids_;    // one per data row while keep_ids_
  bool keep_ids_ = false;             // false while every row's id is 0
  std::vector<Block> blocks_;
  GridListener* listener_ = nullptr;
};

}  // namespace sorvane
