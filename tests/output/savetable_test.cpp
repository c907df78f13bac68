// Saving the grid into a user table of a real store: update or insert by the unique field, the
// refusals, Stop, a failing row, the counts and the commits.

#include "output/savetable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/store.h"
#include "designer/usertables.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "support/storefixture.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Lines = std::vector<std::string>;

// A fresh store whose table 1 has the fields 1 to 3 (code 0: at most 50 characters) and holds
// `stored` (f1, f2, f3), with a unique index on `unique_fid` (0: none), and a host whose grid
// columns feed the fields `feeds` (0: none).
struct Saving {
  test::StoreFixture f;
  test::TestHost host;
  int extracted = 7;

  explicit Saving(const std::vector<int>& feeds, int unique_fid = 0, const Rows& stored = {}) {
    std::vector<int> fids;
    f.AddTable("T", 3, fids);
    for (const auto& row : stored) {
      f.Exec("insert into t1(f1,f2,f3) values(" + QuotedStr(row[0]) + "," + QuotedStr(row[1]) +
             "," + QuotedStr(row[2]) + ")");
    }
    if (unique_fid != 0) CreateUniqueIndex(f.Store(), 1, unique_fid);
    std::vector<GridColumn> columns;
    for (std::size_t i = 0; i < feeds.size(); ++i)
      columns.push_back({"c" + std::to_string(i + 1), {static_cast<int>(i + 1), feeds[i]}, 50});
    host.grid.SetColumns(std::move(columns));
  }
  void Fill(const Rows& rows) {
    for (const auto& row : rows)
      host.grid.AppendRow(0, row);
  }
  std::optional<SaveCounts> Save(const TableSaveOptions& options = {}) {
    return SaveGridToTable(f.Store(), host, 1, extracted, options);
  }
  // Every record of table 1 in id order: "id:f1|f2|f3" with "~" for a null.
  Lines Table() {
    Lines lines;
    Query& q = f.Store().qryM;
    for (q.Open("select id,f1,f2,f3 from t1 order by id"); !q.Eof(); q.Next()) {
      std::string line = q.AsString(0) + ":";
      for (int i = 1; i <= 3; ++i)
        line += (i > 1 ? "|" : "") + (q.IsNull(i) ? std::string("~") : q.AsString(i));
      lines.push_back(line);
    }
    return lines;
  }
};

TEST(SaveTableTest, UniqueFieldDecidesBetweenUpdateAndInsert) {
  struct Case {
    const char* name;
    std::vector<int> feeds;
    int unique_fid;
    Rows stored;
    Rows grid;
    SaveCounts counts;
    Lines table;
  };
  const std::vector<Case> cases = {
      {"a stored value updates every mapped field, a new one inserts",
       {1, 3},
       3,
       {{"old", "x", "k1"}},
       {{"a", "k1"}, {"b", "k2"}},
       {1, 1, 2},
       {"1:a|x|k1", "2:b|~|k2"}},
      {"equal unique values in one run: the second updates the first",
       {3, 1},
       3,
       {},
       {{"k", "first"}, {"k", "second"}, {"j", "third"}},
       {2, 1, 3},
       {"1:second|~|k", "2:third|~|j"}},
      {"no unique field: every row inserts, also one equal to a record",
       {1, 2},
       0,
       {{"a", "b", ""}},
       {{"a", "b"}, {"a", "b"}},
       {2, 0, 2},
       {"1:a|b|", "2:a|b|~", "3:a|b|~"}},
      {"quotes and empty cells are written as they are; unmapped columns are not",
       {1, 0, 2},
       0,
       {},
       {{"it's", "not saved", ""}},
       {1, 0, 1},
       {"1:it's||~"}},
      {"titles only: nothing is written", {1}, 0, {}, {}, {0, 0, 0}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Saving x(c.feeds, c.unique_fid, c.stored);
    x.Fill(c.grid);
    const auto counts = x.Save();
    ASSERT_TRUE(counts);
    EXPECT_EQ(*counts, c.counts);
    EXPECT_EQ(x.Table(), c.table);
    EXPECT_EQ(x.extracted, 0);
    EXPECT_EQ(x.host.statuses.back(), SaveDoneText(c.counts));
    EXPECT_EQ(x.host.stop_changes, (std::vector<bool>{true, false}));
    EXPECT_TRUE(x.host.messages.empty());
  }
}

TEST(SaveTableTest, RefusalsWriteNothingAndKeepTheExtractedCount) {
  struct Case {
    const char* name;
    std::vector<int> feeds;
    int unique_fid;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"no mapped column", {0, 0}, 0, "No column with field associated."},
      {"unique field fed by no column", {1, 2}, 3, "No column associated with unique field."},
      {"two columns on one field",
       {1, 2, 1},
       0,
       "Two columns are associated with the same field: \"c1\" and \"c3\".\nAssociate each field "
       "with one column only, then save again."},
      {"two columns on the unique field",
       {3, 2, 3},
       3,
       "Two columns are associated with the same field: \"c1\" and \"c3\".\nAssociate each field "
       "with one column only, then save again."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Saving x(c.feeds, c.unique_fid);
    x.Fill({{"a", "b", "c"}});
    EXPECT_FALSE(x.Save());
    EXPECT_EQ(x.extracted, 7);
    ASSERT_EQ(x.host.messages.size(), 1u);
    EXPECT_EQ(x.host.messages[0].caption, "Note");
    EXPECT_EQ(x.host.messages[0].text, c.message);
    EXPECT_EQ(x.host.messages[0].icon, RunHost::Icon::kWarning);
    EXPECT_TRUE(x.host.statuses.empty());
    EXPECT_TRUE(x.host.stop_changes.empty());
    EXPECT_TRUE(x.Table().empty());
  }
}

TEST(SaveTableTest, StopAfterTheFifthOfTwentyRowsKeepsFive) {
  Saving x({1});
  for (int r = 1; r <= 20; ++r)
    x.Fill({{"row " + std::to_string(r)}});
  x.host.stop_after = 5;  // Stop is clicked while the fifth row's status is shown
  const auto counts = x.Save();
  ASSERT_TRUE(counts);
  EXPECT_EQ(*counts, (SaveCounts{5, 0, 5}));
  EXPECT_EQ(x.f.Scalar("select count(*) from t1"), 5);
  EXPECT_EQ(x.f.Scalar("select count(*) from t1 where f1='row 5'"), 1);
  EXPECT_EQ(x.host.statuses.back(), "Done! 5 saved, 0 updated of 5");
  EXPECT_EQ(x.extracted, 0);
  EXPECT_FALSE(x.host.stop_enabled);
  // The bar counts the rows of the grid and goes when the save ends.
  ASSERT_EQ(x.host.bars.size(), 7u);
  EXPECT_EQ(x.host.bars.front(), "0/20 0 of 20 rows");
  EXPECT_EQ(x.host.bars[5], "5/20 5 of 20 rows");
  EXPECT_EQ(x.host.bars.back(), "hidden");
}

TEST(SaveTableTest, AFailingRowEndsTheSaveAfterTheRowsBeforeIt) {
  // Row 3 is too long for its field, in the middle of the one transaction that holds every row.
  Saving x({1, 2}, 1, {{"k2", "stored", "z"}});
  x.Fill({{"k1", "a"}, {"k2", "b"}, {"k3", std::string(51, 'x')}, {"k4", "d"}});
  TableSaveOptions options;
  options.commit_interval = std::chrono::hours(1);
  Lines commits;
  options.committed = [&](const SaveCounts& c) { commits.push_back(SaveProgressText(c)); };
  EXPECT_THROW(x.Save(options), StoreError);
  EXPECT_EQ(x.Table(), (Lines{"1:k2|b|z", "2:k1|a|~"}));
  EXPECT_EQ(commits, (Lines{"1 saved, 1 updated of 2"}));
  EXPECT_EQ(x.host.statuses.back(), "Done! 1 saved, 1 updated of 2");
  EXPECT_EQ(x.host.bars,
            (Lines{"0/4 0 of 4 rows", "1/4 1 of 4 rows", "2/4 2 of 4 rows", "hidden"}));
  EXPECT_EQ(x.extracted, 0);
  EXPECT_FALSE(x.host.stop_enabled);
  EXPECT_FALSE(x.f.Store().conn.InTransaction());
}

TEST(SaveTableTest, EveryCommitIsReportedBeforeTheFinalStatus) {
  struct Case {
    const char* name;
    std::chrono::milliseconds interval;
    Lines commits;
  };
  const std::vector<Case> cases = {
      {"one commit per row",
       std::chrono::milliseconds(0),
       {"1 saved, 0 updated of 1", "2 saved, 0 updated of 2", "3 saved, 0 updated of 3"}},
      {"one commit at the end", std::chrono::hours(1), {"3 saved, 0 updated of 3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Saving x({1});
    x.Fill({{"a"}, {"b"}, {"c"}});
    TableSaveOptions options;
    options.commit_interval = c.interval;
    Lines commits;
    options.committed = [&](const SaveCounts& counts) {
      // A commit has returned: its rows are in the store, and no final status has been shown.
      EXPECT_FALSE(x.f.Store().conn.InTransaction());
      EXPECT_EQ(x.f.Scalar("select count(*) from t1"), counts.processed);
      EXPECT_EQ(x.host.statuses.back(), SaveProgressText(counts));
      commits.push_back(SaveProgressText(counts));
    };
    ASSERT_TRUE(x.Save(options));
    EXPECT_EQ(commits, c.commits);
    EXPECT_EQ(x.host.statuses.back(), "Done! 3 saved, 0 updated of 3");
  }
}

TEST(SaveTableTest, CommandNeedsACurrentTempletAndMarksTheSaveAsRunning) {
  Saving x({1});
  x.Fill({{"a"}});
  RegExpr re;
  RunState state;
  state.extracted = 1;
  RunContext ctx{.host = x.host, .store = x.f.Store(), .re = re, .state = state};
  std::vector<bool> changes;
  RunCommandHooks hooks;
  hooks.running_changed = [&](bool running) {
    changes.push_back(running);
    EXPECT_EQ(state.running, running);
  };
  TTemplet none;
  EXPECT_FALSE(SaveToDatabase(ctx, nullptr, hooks));
  EXPECT_FALSE(SaveToDatabase(ctx, &none, hooks));
  TTemplet current;
  current.ID = 4;
  current.TabID = 1;
  state.running = true;
  EXPECT_FALSE(SaveToDatabase(ctx, &current, hooks));
  state.running = false;
  EXPECT_TRUE(changes.empty());
  EXPECT_TRUE(SaveToDatabase(ctx, &current, hooks));
  EXPECT_EQ(changes, (std::vector<bool>{true, false}));
  EXPECT_EQ(state.extracted, 0);
  EXPECT_FALSE(state.running);
  EXPECT_EQ(x.Table(), (Lines{"1:a|~|~"}));
}

}  // namespace
}  // namespace sorvane
