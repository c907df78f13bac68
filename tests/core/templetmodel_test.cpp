#include "core/templetmodel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/storefixture.h"

namespace sorvane {
namespace {

TempletModel Sample() {
  TempletModel m;
  m.name = "it's a test";
  m.is_url = false;
  m.is_text_tag = false;
  m.tab_id = 4;
  m.sources = {"/tmp/a.html", " /tmp/b 'q'.txt "};
  m.expression = "<td>(.*?)</td>";
  m.columns = {{0, "[start]", "<tr>", "</tr>", 100, 0, kColStartRecordTag, false, {}},
               {0, "Price", "$1", "", 100, 7, kColNormal, false, {}},
               {0, "Pic", "$2", "", 100, 0, kColImage, false, {}}};
  return m;
}

TEST(TempletModel, SavedTempletReadsBackAsWritten) {
  test::StoreFixture f;
  TempletModel saved = Sample();
  SaveTemplet(f.Store(), saved);
  ASSERT_GT(saved.id, 0);
  for (const TempletColumn& c : saved.columns)
    EXPECT_GT(c.cid, 0) << "inserted columns keep their new id";

  const TempletModel read = ReadTemplet(f.Store(), saved.id);
  EXPECT_EQ(read.name, saved.name);
  EXPECT_EQ(read.is_url, saved.is_url);
  EXPECT_EQ(read.is_text_tag, saved.is_text_tag);
  EXPECT_EQ(read.tab_id, saved.tab_id);
  EXPECT_EQ(read.sources, saved.sources);
  EXPECT_TRUE(read.has_expression);
  EXPECT_EQ(read.expression, saved.expression);
  ASSERT_EQ(read.columns.size(), saved.columns.size());
  for (std::size_t i = 0; i < read.columns.size(); ++i) {
    EXPECT_EQ(read.columns[i].cid, saved.columns[i].cid);
    EXPECT_EQ(read.columns[i].title, saved.columns[i].title);
    EXPECT_EQ(read.columns[i].open_tag, saved.columns[i].open_tag);
    EXPECT_EQ(read.columns[i].kind, saved.columns[i].kind);
  }
  ASSERT_NE(read.RecordTags(), nullptr);
  EXPECT_EQ(read.RecordTags()->open_tag, "<tr>");
  EXPECT_EQ(read.RunColumns().size(), 2u);

  // A second save of the same model updates: no row is added twice, and the list order is the
  // new nox.
  TempletModel again = read;
  std::swap(again.columns[1], again.columns[2]);
  SaveTemplet(f.Store(), again);
  EXPECT_EQ(f.Scalar("select count(*) from tmps"), 1);
  EXPECT_EQ(f.Scalar("select count(*) from cols"), 3);
  EXPECT_EQ(f.Scalar("select count(*) from urls"), 2);
  EXPECT_EQ(f.Scalar("select count(*) from exps"), 1);
  EXPECT_EQ(ReadTemplet(f.Store(), saved.id).columns[1].title, "Pic");
}

TEST(TempletModel, SaveStatementsOfAStoredTemplet) {
  TempletModel m = Sample();
  m.id = 12;
  m.sources = {"a'b"};
  m.columns = {{0, "T", "<b>", "</b>", 100, 0, kColNormal, false, {}},
               {33, "U", "$1", "", 100, 5, kColFieldValue, false, {}}};
  const std::vector<std::string> expected = {
      "update tmps set tmn='it''s a test',typ=0,tag=0,taid=4 where tmid=12",
      "delete from urls where tmid=12",
      "insert into urls(tmid,url) values(12,'a''b')",
      "delete from exps where tmid=12",
      "insert into exps(tmid,expr) values(12,'<td>(.*?)</td>')",
      "insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(12,'T','<b>','</b>',0,0,0)",
      "update cols set tit='U',begw='$1',endw='',fid=5,nox=1,tag=2 where cid=33",
  };
  EXPECT_EQ(SaveTempletStatements(m), expected);
  EXPECT_EQ(InsertTempletStatement(m),
            "insert into tmps(tmn,typ,tag,taid) values('it''s a test',0,0,4)");
  // The text-tag method leaves the expression rows alone.
  m.is_text_tag = true;
  for (const std::string& sql : SaveTempletStatements(m))
    EXPECT_EQ(sql.find("exps"), std::string::npos) << sql;
}

TEST(TempletModel, LoginRowsReplaceTheStoredOnesAndReadBackInTheirOrder) {
  test::StoreFixture f;
  const std::vector<LoginRow> rows = {
      {"", "http://h/login?a='1'", 2}, {"code", "http://h/c.gif", 4}, {"user", "jo", 3}};
  EXPECT_EQ(SaveLoginStatements(5, rows),
            (std::vector<std::string>{
                "delete from nvps where tmid=5",
                "insert into nvps(tmid,val,tag) values(5,'http://h/login?a=''1''',2)",
                "insert into nvps(tmid,nam,val,tag) values(5,'code','http://h/c.gif',4)",
                "insert into nvps(tmid,nam,val,tag) values(5,'user','jo',3)"}));

  f.Exec("insert into nvps(tmid,nam,val,tag) values(5,'old','row',1)");
  f.Exec("insert into nvps(tmid,nam,val,tag) values(6,'other','templet',1)");
  SaveLoginRows(f.Store(), 5, rows);
  const std::vector<LoginRow> stored = ReadLoginRowsAsStored(f.Store(), 5);
  ASSERT_EQ(stored.size(), 3u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(stored[i].nam, rows[i].nam);
    EXPECT_EQ(stored[i].val, rows[i].val);
    EXPECT_EQ(stored[i].tag, rows[i].tag);
  }
  // A run reads them by tag.
  EXPECT_EQ(ReadLoginRows(f.Store(), 5)[1].nam, "user");

  DeleteLoginRows(f.Store(), 5);
  EXPECT_TRUE(ReadLoginRowsAsStored(f.Store(), 5).empty());
  EXPECT_EQ(ReadLoginRowsAsStored(f.Store(), 6).size(), 1u);
}

}  // namespace
}  // namespace sorvane
