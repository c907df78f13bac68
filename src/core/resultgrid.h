#pragma once

// The result grid's content: a title row with a TColRef per shown column, data rows with an
// optional stored-record id, and one text cell (bytes) per column. Column 0 is the row-number
// column; data rows are numbered from 1, the title row is row 0.
//
// The window shows it through a table model; the run appends to it; the output commands read it.
// Each cell exists once, here: the bytes of all cells lie in one buffer, so a row costs no
// allocation of its own. A view returned by Cell() is valid until the grid next changes. A
// listener (at most one) hears of every change so that a view can
// follow; it is called synchronously and must not change the grid.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
  int DataRowCount() const { return static_cast<int>(ids_.size()); }

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
  // Where a cell's bytes lie in bytes_.
  struct Slot {
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
  };
  bool InRange(int column, int row) const {
    return row >= 1 && row <= DataRowCount() && column >= 1 && column <= ShownColumnCount();
  }
  Slot& SlotOf(int column, int row) {
    return slots_[static_cast<std::size_t>(row - 1) * columns_.size() +
                  static_cast<std::size_t>(column - 1)];
  }
  void DropRows();

  std::vector<GridColumn> columns_;
  std::vector<std::int64_t> ids_;  // one per data row
  std::vector<Slot> slots_;        // row after row, one per shown column
  std::string bytes_;              // every cell's bytes; a replaced cell's old bytes stay unused
  GridListener* listener_ = nullptr;
};

}  // namespace sorvane
