#include "core/resultgrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace sorvane {
namespace {

struct Recorder : GridListener {
  std::vector<std::string> events;
  void GridReset() override { events.push_back("reset"); }
  void RowsAppended(int a, int b) override {
    events.push_back("append " + std::to_string(a) + "-" + std::to_string(b));
  }
  void RowsRemoved(int a, int b) override {
    events.push_back("remove " + std::to_string(a) + "-" + std::to_string(b));
  }
  void CellChanged(int c, int r) override {
    events.push_back("cell " + std::to_string(c) + "," + std::to_string(r));
  }
};

ResultGrid NineRows() {
  ResultGrid grid;
  grid.SetColumns({{"A", {11, 1}, 50}, {"B", {12, 0}, 60}});
  for (int i = 1; i <= 9; ++i) {
    grid.AppendRow(100 + i, {"a" + std::to_string(i), "b" + std::to_string(i)});
  }
  return grid;
}

TEST(ResultGrid, RemovingRowsMovesTheRowsBelowUpWithTheirIds) {
  struct Case {
    int first, last;
    std::vector<int> kept;  // former row numbers, in order
  };
  const Case cases[] = {
      {3, 4, {1, 2, 5, 6, 7, 8, 9}},       {1, 1, {2, 3, 4, 5, 6, 7, 8, 9}},
      {9, 9, {1, 2, 3, 4, 5, 6, 7, 8}},    {1, 9, {}},
      {8, 20, {1, 2, 3, 4, 5, 6, 7}},  // clamped to the last row
      {5, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
  };
  for (const Case& c : cases) {
    ResultGrid grid = NineRows();
    grid.RemoveRows(c.first, c.last);
    ASSERT_EQ(grid.DataRowCount(), static_cast<int>(c.kept.size())) << c.first << "-" << c.last;
    for (std::size_t r = 0; r < c.kept.size(); ++r) {
      const int row = static_cast<int>(r) + 1;
      EXPECT_EQ(grid.RecordId(row), 100 + c.kept[r]);
      EXPECT_EQ(grid.Cell(2, row), "b" + std::to_string(c.kept[r]));
    }
  }
}

TEST(ResultGrid, CellsOutsideTheGridReadAsEmptyAndIgnoreWrites) {
  ResultGrid grid = NineRows();
  EXPECT_EQ(grid.Cell(0, 1), "");
  EXPECT_EQ(grid.Cell(3, 1), "");
  EXPECT_EQ(grid.Cell(1, 10), "");
  EXPECT_EQ(grid.RecordId(0), 0);
  grid.SetCell(3, 1, "x");
  grid.SetCell(1, 0, "x");
  EXPECT_EQ(grid.Cell(1, 1), "a1");
  // A row given too few cells is padded; one given too many is cut to the columns.
  EXPECT_EQ(grid.Cell(2, grid.AppendRow(0, {"only"})), "");
  EXPECT_EQ(grid.AppendRow(0, {"1", "2", "3"}), 11);
  EXPECT_EQ(grid.Cell(2, 11), "2");
}

TEST(ResultGrid, ListenerHearsEveryChange) {
  ResultGrid grid;
  Recorder rec;
  grid.SetListener(&rec);
  grid.SetColumns({{"A", {}, 0}});
  grid.AppendRow();
  grid.AppendRow();
  grid.SetCell(1, 2, "v");
  grid.RemoveRows(1, 1);
  grid.ClearRows();
  grid.Reset();
  EXPECT_EQ(rec.events, (std::vector<std::string>{"reset", "append 1-1", "append 2-2", "cell 1,2",
                                                  "remove 1-1", "reset", "reset"}));
  EXPECT_EQ(grid.ShownColumnCount(), 0);
}

}  // namespace
}  // namespace sorvane

namespace sorvane {
namespace {

// The grid against a plain table of strings, through writes in every order: cells set left to
// right as a run does, out of order, back to empty, with a value that is a view of another cell,
// cells that do not fit the rest of a block, rows removed between. Every cell must read back as
// the plain table holds it after each step.
TEST(ResultGrid, CellsReadBackWhateverTheOrderOfWrites) {
  ResultGrid grid;
  grid.SetColumns(std::vector<GridColumn>(4));
  std::vector<std::vector<std::string>> table;
  std::vector<std::int64_t> ids;
  unsigned seed = 12345;
  const auto next = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  const auto check = [&](int step) {
    ASSERT_EQ(grid.DataRowCount(), static_cast<int>(table.size())) << step;
    for (std::size_t r = 0; r < table.size(); ++r) {
      ASSERT_EQ(grid.RecordId(static_cast<int>(r) + 1), ids[r]) << step;
      for (int c = 0; c < 4; ++c)
        ASSERT_EQ(grid.Cell(c + 1, static_cast<int>(r) + 1), table[r][c]) << step;
    }
  };
  for (int step = 0; step < 3000; ++step) {
    const unsigned what = next(100);
    if (what < 40 || table.empty()) {  // a new row, filled left to right as a run fills it
      const std::int64_t id = next(4) == 0 ? step : 0;
      grid.AppendRow(id);
      table.emplace_back(4);
      ids.push_back(id);
      for (int c = 0; c < 4; ++c) {
        // Now and then a cell too big for what is left of a block.
        const std::size_t size = next(200) == 0 ? (std::size_t{3} << 20) + next(1000) : next(30);
        table.back()[c] = std::string(size, static_cast<char>('a' + next(26)));
        grid.SetCell(c + 1, static_cast<int>(table.size()), table.back()[c]);
      }
    } else if (what < 80) {  // any cell of any row, perhaps to another cell's (viewed) value
      const auto r = next(static_cast<unsigned>(table.size()));
      const auto c = next(4);
      if (next(3) == 0) {
        const auto from_r = next(static_cast<unsigned>(table.size()));
        const auto from_c = next(4);
        grid.SetCell(static_cast<int>(c) + 1, static_cast<int>(r) + 1,
                     grid.Cell(static_cast<int>(from_c) + 1, static_cast<int>(from_r) + 1));
        table[r][c] = table[from_r][from_c];
      } else {
        table[r][c] = next(5) == 0 ? std::string() : std::to_string(step);
        grid.SetCell(static_cast<int>(c) + 1, static_cast<int>(r) + 1, table[r][c]);
      }
    } else if (what < 85) {  // rows removed
      const auto first = next(static_cast<unsigned>(table.size()));
      const auto last = std::min<unsigned>(first + next(3), table.size() - 1);
      grid.RemoveRows(static_cast<int>(first) + 1, static_cast<int>(last) + 1);
      table.erase(table.begin() + first, table.begin() + last + 1);
      ids.erase(ids.begin() + first, ids.begin() + last + 1);
    } else if (what == 99) {
      grid.ClearRows();
      table.clear();
      ids.clear();
    }
    if (step % 100 == 0 || what >= 97) check(step);
  }
  check(-1);
  // A copy holds the same cells and takes new ones.
  ResultGrid copy = grid;
  copy.SetCell(1, copy.AppendRow(0), "new");
  for (std::size_t r = 0; r < table.size(); ++r) {
    for (int c = 0; c < 4; ++c)
      ASSERT_EQ(copy.Cell(c + 1, static_cast<int>(r) + 1), table[r][c]);
  }
  EXPECT_EQ(copy.Cell(1, copy.DataRowCount()), "new");
}

}  // namespace
}  // namespace sorvane
