#include "core/resultgrid.h"

#include <gtest/gtest.h>

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
