// The result grid's stored pages, options and row commands, on a real store.

#include "core/resultpages.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/programfolder.h"
#include "support/storefixture.h"

namespace sorvane {
namespace {

// A templet with two shown columns (the second mapped to no field), a start/record tag column
// that is not shown, and a target table holding `records` records.
struct Browsing {
  test::StoreFixture f;
  ResultGrid grid;
  ResultPages pages{grid};
  TTemplet templet;
  std::vector<int> fids;

  explicit Browsing(int records, std::optional<int> per_page = std::nullopt) {
    templet.TabID = f.AddTable("target", 2, fids);
    f.AddRecords(templet.TabID, fids, records);
    templet.ID = f.AddTemplet("browse", 1, 1, templet.TabID);
    templet.IsURL = templet.IsTextTag = true;
    f.AddColumn(templet.ID, "Second", fids[1], 2, 0, 80);
    f.AddColumn(templet.ID, "Record", 0, 0, 1);
    f.AddColumn(templet.ID, "First", fids[0], 1, 0, 60);
    f.AddColumn(templet.ID, "Free", 0, 3, 2);
    if (per_page) f.AddOptions(templet.ID, 20, "Arial", 8, *per_page, "/tmp/img/");
  }
  void Show() { pages.Show(f.Store(), templet); }
  std::vector<long long> Ids() const {
    std::vector<long long> ids;
    for (int r = 1; r <= grid.DataRowCount(); ++r)
      ids.push_back(grid.RecordId(r));
    return ids;
  }
};

std::vector<long long> Range(long long first, long long last) {
  std::vector<long long> ids;
  for (long long id = first; id <= last; ++id)
    ids.push_back(id);
  return ids;
}

TEST(ResultPages, LaysOutTheShownColumnsInPositionOrderWithTheirFields) {
  Browsing b(3);
  b.Show();
  const std::vector<GridColumn>& columns = b.grid.Columns();
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].title, "First");
  EXPECT_EQ(columns[0].ref.FldID, b.fids[0]);
  EXPECT_EQ(columns[0].width, 60);
  EXPECT_EQ(columns[1].title, "Second");
  EXPECT_EQ(columns[1].width, 80);
  EXPECT_EQ(columns[2].title, "Free");
  EXPECT_EQ(columns[2].ref.FldID, 0);
  EXPECT_EQ(b.pages.Pages().field_list,
            ",f" + std::to_string(b.fids[0]) + ",f" + std::to_string(b.fids[1]) + ",''");
  // Result position c goes to grid column c; the unmapped column reads empty.
  EXPECT_EQ(b.grid.Cell(1, 2), "a-2");
  EXPECT_EQ(b.grid.Cell(2, 2), "b-2");
  EXPECT_EQ(b.grid.Cell(3, 2), "");
}

TEST(ResultPages, PagesThroughFortyFiveRecordsTwentyAtATime) {
  Browsing b(45);
  enum Step { kShow, kNext, kPrev };
  struct Case {
    Step step;
    bool moved;
    long long first, last;
    const char* status;
  };
  const Case steps[] = {
      {kShow, true, 1, 20, "All 45 records, page 1/3"},
      {kPrev, false, 1, 20, "All 45 records, page 1/3"},  // nothing before the first page
      {kNext, true, 21, 40, "All 45 records, page 2/3"},
      {kNext, true, 41, 45, "All 45 records, page 3/3"},
      {kNext, false, 41, 45, "All 45 records, page 3/3"},  // nothing after the last page
      {kPrev, true, 21, 40, "All 45 records, page 2/3"},
      {kPrev, true, 1, 20, "All 45 records, page 1/3"},
  };
  int n = 0;
  for (const Case& c : steps) {
    SCOPED_TRACE("step " + std::to_string(n++));
    bool moved = true;
    if (c.step == kShow) b.Show();
    if (c.step == kNext) moved = b.pages.NextPage(b.f.Store());
    if (c.step == kPrev) moved = b.pages.PreviousPage(b.f.Store());
    EXPECT_EQ(moved, c.moved);
    EXPECT_EQ(b.Ids(), Range(c.first, c.last));
    EXPECT_EQ(b.pages.StatusText(), c.status);
    EXPECT_EQ(b.grid.Cell(1, 1), "a-" + std::to_string(c.first));
  }
}

TEST(ResultPages, FirstAndLastPageJumpToTheEndsOfTheTable) {
  enum Step { kShow, kFirst, kLast, kPrev, kMore };
  struct Case {
    int records, per_page;
    Step step;
    bool moved;
    long long first, last;
    const char* status;
  };
  // Each group of rows starts with kShow on a new table.
  const Case steps[] = {
      {45, 20, kShow, true, 1, 20, "All 45 records, page 1/3"},
      {45, 20, kFirst, false, 1, 20, "All 45 records, page 1/3"},  // already there
      {45, 20, kLast, true, 41, 45, "All 45 records, page 3/3"},   // what the full pages leave
      {45, 20, kLast, false, 41, 45, "All 45 records, page 3/3"},
      {45, 20, kPrev, true, 21, 40, "All 45 records, page 2/3"},
      {45, 20, kFirst, true, 1, 20, "All 45 records, page 1/3"},
      // Records added since the templet was shown: the last page is that of the table now.
      {45, 20, kMore, true, 1, 20, "All 45 records, page 1/3"},
      {45, 20, kLast, true, 61, 62, "All 62 records, page 4/4"},
      {40, 20, kShow, true, 1, 20, "All 40 records, page 1/2"},
      {40, 20, kLast, true, 21, 40, "All 40 records, page 2/2"},  // a full last page
      {40, 20, kFirst, true, 1, 20, "All 40 records, page 1/2"},
      {7, 3, kShow, true, 1, 3, "All 7 records, page 1/3"},
      {7, 3, kLast, true, 7, 7, "All 7 records, page 3/3"},
      {20, 20, kShow, true, 1, 20, "All 20 records, page 1/1"},
      {20, 20, kLast, false, 1, 20, "All 20 records, page 1/1"},  // one page only
  };
  std::optional<Browsing> b;
  int n = 0;
  for (const Case& c : steps) {
    SCOPED_TRACE("step " + std::to_string(n++));
    bool moved = true;
    if (c.step == kShow) {
      b.emplace(c.records, c.per_page);
      b->Show();
    }
    Tdm& store = b->f.Store();
    if (c.step == kFirst) moved = b->pages.FirstPage(store);
    if (c.step == kLast) moved = b->pages.LastPage(store);
    if (c.step == kPrev) moved = b->pages.PreviousPage(store);
    // kMore: 17 records more (ids 46 to 62), so the table has four pages.
    if (c.step == kMore) b->f.AddRecords(b->templet.TabID, b->fids, 17);
    EXPECT_EQ(moved, c.moved);
    EXPECT_EQ(b->Ids(), Range(c.first, c.last));
    EXPECT_EQ(b->pages.StatusText(), c.status);
  }
}

TEST(ResultPages, FirstAndLastPageLeaveRunResultsAndSinglePagesAlone) {
  for (const std::optional<int> per_page : {std::optional<int>(), std::optional<int>(0)}) {
    Browsing b(45, per_page);
    b.Show();
    if (per_page) {
      b.f.TraceStatements("select");
      EXPECT_FALSE(b.pages.FirstPage(b.f.Store()));
      EXPECT_FALSE(b.pages.LastPage(b.f.Store()));
      EXPECT_TRUE(b.f.Traced().empty());
      continue;
    }
    b.grid.ClearRows();
    b.grid.AppendRow(0, {"run"});
    EXPECT_FALSE(b.pages.FirstPage(b.f.Store()));
    EXPECT_FALSE(b.pages.LastPage(b.f.Store()));
    EXPECT_EQ(b.grid.DataRowCount(), 1);
    EXPECT_EQ(b.pages.StatusText(), "All 45 records, page 1/3");
  }
}

TEST(ResultPages, RecordsPerPageZeroOrLessListsEverythingOnOnePage) {
  for (int per_page : {0, -1}) {
    SCOPED_TRACE(per_page);
    Browsing b(45, per_page);
    b.Show();
    EXPECT_EQ(b.Ids(), Range(1, 45));
    EXPECT_EQ(b.pages.StatusText(), "All 45 records, page 1/1");
    b.f.TraceStatements("select");
    EXPECT_FALSE(b.pages.NextPage(b.f.Store()));
    EXPECT_FALSE(b.pages.PreviousPage(b.f.Store()));
    EXPECT_TRUE(b.f.Traced().empty()) << b.f.Traced().front();
    EXPECT_EQ(b.Ids(), Range(1, 45));
  }
}

TEST(ResultPages, PageCountRoundsUpAndIsAtLeastOne) {
  struct Case {
    int records, per_page;
    const char* status;
  };
  const Case cases[] = {{0, 20, "All 0 records, page 1/1"},
                        {20, 20, "All 20 records, page 1/1"},
                        {21, 20, "All 21 records, page 1/2"},
                        {7, 3, "All 7 records, page 1/3"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    Browsing b(c.records, c.per_page);
    b.Show();
    EXPECT_EQ(b.pages.StatusText(), c.status);
    EXPECT_EQ(b.grid.DataRowCount(), std::min(c.records, c.per_page));
  }
}

TEST(ResultPages, TempletWithoutTargetTableShowsTitlesOnly) {
  Browsing b(5);
  b.templet.TabID = 0;
  b.Show();
  EXPECT_EQ(b.grid.ShownColumnCount(), 3);
  EXPECT_EQ(b.grid.DataRowCount(), 0);
  EXPECT_EQ(b.pages.Pages().field_list, "");
  EXPECT_EQ(b.pages.StatusText(), "All 0 records, page 1/1");
  EXPECT_FALSE(b.pages.CanDeleteRows());
}

TEST(ResultPages, OptionsTakeEffectInTheOrderReadAndDefaultsApplyWithoutRows) {
  Browsing b(0);
  b.Show();
  EXPECT_EQ(b.pages.Look().row_height, 20);
  EXPECT_EQ(b.pages.Look().font_name, "arial");
  EXPECT_EQ(b.pages.Look().font_size, 8);
  EXPECT_EQ(b.pages.Pages().records_per_page, 20);
  EXPECT_EQ(b.pages.Current().ImgDir, ProgramFolder() + "image/");

  b.pages.ApplyOptions({{1, "35"}, {2, "Courier New"}, {9, "ignored"}, {4, "7"}, {1, "30"}});
  EXPECT_EQ(b.pages.Look().row_height, 30);
  EXPECT_EQ(b.pages.Look().font_name, "Courier New");
  EXPECT_EQ(b.pages.Look().font_size, 8);  // not present: kept
  EXPECT_EQ(b.pages.Pages().records_per_page, 7);
  b.pages.ApplyOptions({{5, "/data/images/"}, {3, "12"}});
  EXPECT_EQ(b.pages.Current().ImgDir, "/data/images/");
  EXPECT_EQ(b.pages.Look().font_size, 12);
  EXPECT_EQ(b.pages.Current().ID, b.templet.ID);

  EXPECT_THROW(b.pages.ApplyOptions({{4, ""}}), StoreError);
  EXPECT_THROW(b.pages.ApplyOptions({{1, "12px"}}), StoreError);

  // A templet with page settings but no display options shows with the defaults, not with what
  // the templet shown before left.
  SavePageSettings(b.f.Store(), b.templet.ID, {true, true, true});
  b.Show();
  EXPECT_EQ(b.pages.Look().row_height, 20);
  EXPECT_EQ(b.pages.Pages().records_per_page, 20);
  EXPECT_EQ(b.pages.Current().ImgDir, ProgramFolder() + "image/");
}

TEST(ResultPages, DeletingSelectedRowsDeletesTheirRecordsWithOneStatement) {
  Browsing b(9);
  b.Show();
  b.f.TraceStatements("delete");
  b.pages.DeleteRows(b.f.Store(), 3, 4);
  ASSERT_EQ(b.f.Traced().size(), 1u);
  EXPECT_EQ(b.f.Traced()[0],
            "delete from t" + std::to_string(b.templet.TabID) + " where id in (3,4)");
  EXPECT_EQ(b.Ids(), (std::vector<long long>{1, 2, 5, 6, 7, 8, 9}));
  EXPECT_EQ(b.grid.Cell(1, 3), "a-5");
  const std::string table = "t" + std::to_string(b.templet.TabID);
  EXPECT_EQ(b.f.Scalar("select count(id) from " + table), 7);
  EXPECT_EQ(b.f.Scalar("select count(id) from " + table + " where id in (3,4)"), 0);
  // The record total waits for the templet to be shown again.
  EXPECT_EQ(b.pages.StatusText(), "All 9 records, page 1/1");
}

TEST(ResultPages, RunResultsAreNotPaged) {
  Browsing b(45);
  b.Show();
  b.grid.ClearRows();
  b.grid.AppendRow(0, {"x"});
  EXPECT_FALSE(b.pages.NextPage(b.f.Store()));
  EXPECT_FALSE(b.pages.PreviousPage(b.f.Store()));
  EXPECT_EQ(b.grid.DataRowCount(), 1);
}

TEST(ResultPages, NothingHappensWithoutACurrentTemplet) {
  test::StoreFixture f;
  ResultGrid grid;
  ResultPages pages(grid);
  f.TraceStatements("");
  pages.SaveColumnWidths(f.Store());
  EXPECT_FALSE(pages.NextPage(f.Store()));
  EXPECT_FALSE(pages.PreviousPage(f.Store()));
  EXPECT_FALSE(pages.CanDeleteRows());
  pages.DeleteRows(f.Store(), 1, 1);
  EXPECT_TRUE(f.Traced().empty());
}

}  // namespace
}  // namespace sorvane
