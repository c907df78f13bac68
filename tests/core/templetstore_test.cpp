// Reading the templet list and deleting templets, on a real store.

#include "core/templetstore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/storefixture.h"

namespace sorvane {
namespace {

TEST(TempletStore, ListsTempletsInIdOrderWithTheirKinds) {
  test::StoreFixture f;
  struct Row {
    std::string name;
    int typ, tag, taid;
    bool is_url, is_text_tag;
  };
  const Row rows[] = {
      {"Web, text tags", 1, 1, 4, true, true},
      {"Local, expression", 0, 0, 0, false, false},
      {"it's quoted", 1, 0, 2, true, false},
      {"odd codes", 2, 5, 0, false, false},  // only 1 means web pages / text tags
  };
  std::vector<int> ids;
  for (const Row& row : rows)
    ids.push_back(f.AddTemplet(row.name, row.typ, row.tag, row.taid));

  const std::vector<TempletEntry> entries = LoadTemplets(f.Store());
  ASSERT_EQ(entries.size(), std::size(rows));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(entries[i].name, rows[i].name);
    EXPECT_EQ(entries[i].templet.ID, ids[i]);
    EXPECT_EQ(entries[i].templet.TabID, rows[i].taid);
    EXPECT_EQ(entries[i].templet.IsURL, rows[i].is_url);
    EXPECT_EQ(entries[i].templet.IsTextTag, rows[i].is_text_tag);
    EXPECT_TRUE(entries[i].templet.ImgDir.empty());
  }
}

TEST(TempletStore, EmptyStoreListsNothing) {
  test::StoreFixture f;
  EXPECT_TRUE(LoadTemplets(f.Store()).empty());
}

// A templet with a row in every table that belongs to it, and a target table with records.
struct FullTemplet {
  int id = 0;
  int taid = 0;
};

FullTemplet AddFullTemplet(test::StoreFixture& f, const std::string& name) {
  std::vector<int> fids;
  FullTemplet t;
  t.taid = f.AddTable(name + " table", 1, fids);
  f.AddRecords(t.taid, fids, 3);
  t.id = f.AddTemplet(name, 1, 1, t.taid);
  const std::string id = std::to_string(t.id);
  f.Exec("insert into urls(tmid,url) values(" + id + ",'http://host:81/p<AUTOINC:1,3/>')");
  f.Exec("insert into exps(tmid,expr) values(" + id + ",'a(.*)b')");
  f.AddOptions(t.id, 20, "Arial", 8, 20, "/tmp/img/");
  f.Exec("insert into nvps(tmid,nam,val,tag) values(" + id + ",'user','secret',1)");
  for (int nox = 0; nox < 2; ++nox) {
    const int cid = f.AddColumn(t.id, "C" + std::to_string(nox), fids[0], nox);
    f.Exec("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(cid) + ",0,'x','y')");
  }
  return t;
}

long long RowsOf(test::StoreFixture& f, const std::string& table, int tmid) {
  const std::string id = std::to_string(tmid);
  if (table == "vtrs") {
    return f.Scalar(
        "select count(*) from vtrs where cid in (select cid from cols where tmid=" + id + ")");
  }
  return f.Scalar("select count(*) from " + table + " where tmid=" + id);
}

TEST(TempletStore, DeletingATempletRemovesExactlyItsRowsAndKeepsItsTargetTable) {
  test::StoreFixture f;
  const FullTemplet doomed = AddFullTemplet(f, "doomed");
  const FullTemplet kept = AddFullTemplet(f, "kept");
  const long long all_rules = f.Scalar("select count(*) from vtrs");

  struct Expect {
    const char* table;
    long long doomed_before, kept_after;
  };
  // vtrs is counted through cols; it must be gone although cols goes after it.
  const Expect tables[] = {{"urls", 1, 1}, {"exps", 1, 1}, {"opts", 5, 5}, {"nvps", 1, 1},
                           {"vtrs", 2, 2}, {"cols", 2, 2}, {"tmps", 1, 1}};
  for (const Expect& e : tables)
    ASSERT_EQ(RowsOf(f, e.table, doomed.id), e.doomed_before);

  DeleteTemplet(f.Store(), doomed.id);

  for (const Expect& e : tables) {
    SCOPED_TRACE(e.table);
    EXPECT_EQ(RowsOf(f, e.table, doomed.id), 0);
    EXPECT_EQ(RowsOf(f, e.table, kept.id), e.kept_after);
  }
  EXPECT_EQ(f.Scalar("select count(*) from vtrs"), all_rules - 2);
  EXPECT_EQ(f.Scalar("select count(id) from t" + std::to_string(doomed.taid)), 3);
  EXPECT_EQ(f.Scalar("select count(*) from tabs where taid=" + std::to_string(doomed.taid)), 1);
  EXPECT_EQ(f.Scalar("select count(*) from opts where tmid=0 and oid=1"), 1);
}

TEST(TempletStore, DeletingATempletWithoutAnyRowsSucceeds) {
  test::StoreFixture f;
  const int bare = f.AddTemplet("bare");
  EXPECT_NO_THROW(DeleteTemplet(f.Store(), bare));
  EXPECT_EQ(f.Scalar("select count(*) from tmps"), 0);
}

TEST(TempletStore, IdZeroDeletesNothingSoTheImageCounterSurvives) {
  test::StoreFixture f;
  f.Exec("update opts set val=val+1 where tmid=0 and oid=1");
  DeleteTemplet(f.Store(), 0);
  f.Store().qryM.Open("select val from opts where tmid=0 and oid=1");
  ASSERT_FALSE(f.Store().qryM.Eof());
  EXPECT_EQ(f.Store().qryM.AsInteger(0), 1);
}

}  // namespace
}  // namespace sorvane
