// The program's statement texts, issued as written against a real store file, keep their effect.

#include "core/dialect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/store.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

class DialectTest : public ::testing::Test {
 protected:
  DialectTest() : store_(dir_.File("data.mdb")) {}

  Query& q() { return store_.qryM; }

  // Every row of a select, its fields joined by "|".
  std::vector<std::string> All(const std::string& sql) {
    std::vector<std::string> rows;
    for (q().Open(sql); !q().Eof(); q().Next()) {
      std::string row;
      for (int i = 0; i < q().FieldCount(); ++i)
        row += (i ? "|" : "") + q().AsString(i);
      rows.push_back(row);
    }
    return rows;
  }

  std::string One(const std::string& sql) {
    const auto rows = All(sql);
    return rows.empty() ? "<none>" : rows[0];
  }

  // A user table t<id> as the designer makes it, with fields f1 varchar(50), f2 memo.
  void MakeUserTable(int id) {
    const std::string t = std::to_string(id);
    store_.conn.Execute("create table t" + t +
                        "(id autoincrement primary key,fx smallint default 0)");
    q().Execute("alter table t" + t + " add f1 varchar(50)");
    q().Execute("alter table t" + t + " add f2 memo");
  }

  test::TempDir dir_;
  Tdm store_;
};

TEST_F(DialectTest, IdentityIsTheLastInsertAlsoAfterOtherTables) {
  q().Execute("insert into tabs(tan) values('first')");
  EXPECT_EQ(q().LastIdentity(), 1);
  q().Execute("insert into tmps(tmn,typ,tag,taid) values('a',1,1,0)");
  q().Execute("insert into tmps(tmn,typ,tag,taid) values('b',1,1,0)");
  q().Execute("insert into tabs(tan) values('second')");
  q().Execute("insert into flds(taid,fti,typ) values(2,'x',0)");
  q().Execute("insert into tmps(tmn,typ,tag,taid) values('it''s',0,0,2)");
  q().Open("select @@identity");
  EXPECT_EQ(q().AsInteger(0), 3);
  EXPECT_EQ(One("select tmn from tmps where tmid=3"), "it's");
}

TEST_F(DialectTest, TopLimitsRowsAlsoWithDescendingOrderAndFieldList) {
  MakeUserTable(1);
  for (int i = 1; i <= 9; ++i)
    q().Execute("insert into t1(f1) values('v" + std::to_string(i) + "')");
  EXPECT_EQ(All("select top 3 id ,f1 from t1 order by id"),
            (std::vector<std::string>{"1|v1", "2|v2", "3|v3"}));
  EXPECT_EQ(All("select top 2 id ,f1 from t1 where id<6 order by id desc"),
            (std::vector<std::string>{"5|v5", "4|v4"}));
  EXPECT_EQ(All("select top 2 id  from t1 where id>7 order by id"),
            (std::vector<std::string>{"8", "9"}));
  EXPECT_EQ(All("select top 1 f1 from t1"), (std::vector<std::string>{"v1"}));
  EXPECT_EQ(One("select count(id) from t1"), "9");
  EXPECT_EQ(All("select f1 from t1 where id in (select top 2 id from t1 order by id desc)"),
            (std::vector<std::string>{"v8", "v9"}));
}

TEST_F(DialectTest, NamesIgnoreLetterCase) {
  MakeUserTable(3);
  store_.conn.Execute("alter table t3 add f7 varchar(255)");
  q().Execute("insert into t3(f7) values('seven')");
  EXPECT_EQ(All("select distinct F7 from T3 where fx=0"), (std::vector<std::string>{"seven"}));
  q().Open("select F7 from T3");
  EXPECT_EQ(q().AsString("f7"), "seven");
  store_.conn.Execute("update T3 set fx=1 where F7='seven'");
  EXPECT_EQ(All("select distinct F7 from T3 where fx=0"), std::vector<std::string>{});
}

TEST_F(DialectTest, CreatedTableHasIdentityAndFlagDefault) {
  MakeUserTable(1);
  q().Execute("insert into t1(f1) values('a')");
  q().Execute("insert into t1(f1) values('b')");
  q().Execute("delete from t1 where id=2");
  q().Execute("insert into t1(f1) values('c')");
  // Ids are not handed out twice, and fx starts at 0.
  EXPECT_EQ(All("select id,fx,f1 from t1 order by id"),
            (std::vector<std::string>{"1|0|a", "3|0|c"}));
  EXPECT_EQ(q().LastIdentity(), 3);
}

TEST_F(DialectTest, AddAndDropWithoutTheWordColumn) {
  MakeUserTable(1);
  q().Execute("alter table t1 add f3 varchar(255)");
  q().Execute("insert into t1(f1,f2,f3) values('a','b','c')");
  q().Execute("alter table t1 drop f2");
  EXPECT_EQ(All("select * from t1"), (std::vector<std::string>{"1|0|a|c"}));
  EXPECT_THROW(q().Open("select f2 from t1"), StoreError);
}

TEST_F(DialectTest, DroppingAUniqueFieldTakesItsIndexAlong) {
  MakeUserTable(1);
  q().Execute("create unique index idx_1_1 on t1(f1)");
  q().Execute("alter table t1 drop f1");
  EXPECT_EQ(One("select count(*) from sqlite_master where name='idx_1_1'"), "0");
}

TEST_F(DialectTest, BoundedTextsRefuseLongerValues) {
  MakeUserTable(1);
  store_.conn.Execute("alter table t1 add f3 varchar(255)");
  const std::string s50(50, 'x'), s255(255, 'y'), big(100000, 'z');
  q().Execute("insert into t1(f1,f2,f3) values('" + s50 + "','" + big + "','" + s255 + "')");
  EXPECT_THROW(q().Execute("insert into t1(f1) values('" + s50 + "x')"), StoreError);
  EXPECT_THROW(q().Execute("insert into t1(f3) values('" + s255 + "y')"), StoreError);
  EXPECT_THROW(q().Execute("update t1 set f1='" + s50 + "x'"), StoreError);
  EXPECT_EQ(One("select f1 from t1"), s50);
  EXPECT_EQ(One("select f2 from t1"), big);
  try {
    q().Execute("insert into t1(f1) values('" + s50 + "x')");
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("too long"), std::string::npos) << e.what();
  }
}

TEST_F(DialectTest, MemoKeepsNumberLikeTextsAsWritten) {
  MakeUserTable(1);
  q().Execute("insert into t1(f1,f2) values('1.50','007')");
  EXPECT_EQ(One("select f1,f2 from t1"), "1.50|007");
}

TEST_F(DialectTest, AlterColumnKeepsIdsFlagsValuesAndUniqueIndex) {
  MakeUserTable(1);
  q().Execute("insert into t1(f1,f2) values('short','" + std::string(300, 'm') + "')");
  q().Execute("insert into t1(f1,f2) values('second','b')");
  q().Execute("delete from t1 where id=2");
  q().Execute("insert into t1(f1,f2) values('third','c')");
  store_.conn.Execute("update t1 set fx=1 where id=1");
  q().Execute("create unique index idx_1_1 on t1(f1)");
  q().Execute("insert into tabs(tan) values('x')");
  const auto before = q().LastIdentity();

  // Narrower: memo to varchar(255) cuts the 300-character value to 255.
  q().Execute("alter table t1 alter column f2 varchar(255)");
  EXPECT_EQ(All("select id,fx,f1,length(f2) from t1 order by id"),
            (std::vector<std::string>{"1|1|short|255", "3|0|third|1"}));
  // Wider, then narrower again: f1 to memo takes a longer value, back to varchar(50) cuts it.
  q().Execute("alter table t1 alter column f1 memo");
  q().Execute("update t1 set f1='" + std::string(80, 'w') + "' where id=3");
  q().Execute("alter table t1 alter column f1 varchar(50)");
  EXPECT_EQ(One("select f1 from t1 where id=3"), std::string(50, 'w'));
  EXPECT_THROW(q().Execute("update t1 set f1='" + std::string(51, 'w') + "' where id=3"),
               StoreError);

  // The unique index survived every rebuild, and so did the id counter and the last identity.
  EXPECT_EQ(One("select count(*) from sqlite_master where name='idx_1_1'"), "1");
  EXPECT_THROW(q().Execute("insert into t1(f1) values('short')"), StoreError);
  EXPECT_EQ(q().LastIdentity(), before);
  q().Execute("insert into t1(f1) values('fourth')");
  EXPECT_EQ(q().LastIdentity(), 4);
  EXPECT_EQ(One("select fx from t1 where id=4"), "0");
}

TEST_F(DialectTest, UniqueIndexByNameAndDropWithOn) {
  MakeUserTable(1);
  q().Execute("create unique index idx_1_1 on t1(f1)");
  q().Execute("insert into t1(f1) values('a')");
  EXPECT_THROW(q().Execute("insert into t1(f1) values('a')"), StoreError);
  q().Execute("drop index idx_1_1 on t1");
  q().Execute("insert into t1(f1) values('a')");
  EXPECT_EQ(One("select count(id) from t1"), "2");
}

TEST_F(DialectTest, SubqueriesInDeleteAndUpdate) {
  q().Execute("insert into tmps(tmn,typ,tag,taid) values('t',1,1,1)");
  q().Execute("insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(1,'a','<a>','</a>',5,0,0)");
  q().Execute("insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(2,'b','<b>','</b>',6,0,0)");
  q().Execute("insert into vtrs(cid,rel,srv,dtv) values(1,0,'x','y')");
  q().Execute("insert into vtrs(cid,rel,srv,dtv) values(2,0,'x','y')");
  q().Execute("insert into flds(taid,fti,typ) values(1,'f',0)");
  q().Execute("delete from vtrs where cid in (select distinct cid from cols where tmid=1)");
  EXPECT_EQ(All("select cid from vtrs"), (std::vector<std::string>{"2"}));
  q().Execute("update cols set fid=0 where fid in (select fid from flds where taid=1)");
  EXPECT_EQ(All("select cid,fid from cols order by cid"), (std::vector<std::string>{"1|5", "2|6"}));
  q().Execute("update cols set fid=1 where cid=1");
  q().Execute("update cols set fid=0 where fid in (select fid from flds where taid=1)");
  EXPECT_EQ(One("select fid from cols where cid=1"), "0");
}

TEST_F(DialectTest, OuterJoinWithAliases) {
  q().Execute("insert into flds(taid,fti,typ) values(1,'Price',0)");
  q().Execute("insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(7,'b','<b>','</b>',0,1,0)");
  q().Execute("insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(7,'a','<a>','</a>',1,0,0)");
  EXPECT_EQ(All("select cid,tit,begw,endw,fti,a.fid,tag from cols a left join flds b on "
                "a.fid=b.fid where tmid=7 order by nox"),
            (std::vector<std::string>{"2|a|<a>|</a>|Price|1|0", "1|b|<b>|</b>||0|0"}));
  q().Open(
      "select cid,tit,begw,endw,fti,a.fid,tag from cols a left join flds b on a.fid=b.fid "
      "where tmid=7 order by nox");
  EXPECT_EQ(q().AsInteger("fid"), 1);
}

TEST_F(DialectTest, OptionsRowsAndTheImageCounter) {
  q().Execute("insert into opts values(4, 1, 35)");
  q().Execute("insert into opts values(4, 2, 'Arial')");
  EXPECT_EQ(All("select oid,val from opts where tmid=4 order by oid"),
            (std::vector<std::string>{"1|35", "2|Arial"}));
  EXPECT_EQ(One("select val from opts where tmid=0 and oid=1"), "0");
  for (int i = 0; i < 10; ++i)
    store_.qryN.Execute("update opts set val=val+1 where tmid=0 and oid=1");
  store_.qryN.Open("select val from opts where tmid=0 and oid=1");
  EXPECT_EQ(store_.qryN.AsString(0), "10");
  EXPECT_EQ(store_.qryN.AsInteger(0), 10);
}

TEST_F(DialectTest, NullAssignmentReadsAsEmptyAndZero) {
  MakeUserTable(1);
  q().Execute("insert into t1(f1,f2) values('a','b')");
  q().Execute("update t1 set f1=null");
  q().Open("select f1 from t1");
  EXPECT_TRUE(q().IsNull(0));
  EXPECT_EQ(q().AsString(0), "");
  EXPECT_EQ(q().AsInteger(0), 0);
  q().Execute("insert into tmps(tmn,typ,tag,taid) values('t',1,1,0)");
  EXPECT_EQ(One("select ots from tmps where tmid=1"), "");
}

TEST_F(DialectTest, SevenDeleteStatementsOfATempletWithNothingToDelete) {
  q().Execute("insert into tmps(tmn,typ,tag,taid) values('lonely',1,1,0)");
  for (const char* sql :
       {"delete from urls where tmid=1", "delete from exps where tmid=1",
        "delete from opts where tmid=1", "delete from nvps where tmid=1",
        "delete from vtrs where cid in (select distinct cid from cols where tmid=1)",
        "delete from cols where tmid=1", "delete from tmps where tmid=1"}) {
    EXPECT_NO_THROW(q().Execute(sql)) << sql;
  }
  EXPECT_EQ(One("select count(*) from tmps"), "0");
  EXPECT_EQ(One("select count(*) from opts"), "1");  // the image counter stays
}

TEST_F(DialectTest, DropTable) {
  MakeUserTable(2);
  q().Execute("drop table t2");
  EXPECT_THROW(q().Open("select * from t2"), StoreError);
}

TEST(DialectAdapt, DataStatementsBindTheirLiteralsAndKeepTheRestAsWritten) {
  struct Case {
    std::string statement;
    std::string sql;
    std::vector<std::string> params;
  };
  const std::vector<Case> cases = {
      {"insert into t1(f1,f2) values('it''s','')",
       "insert into t1(f1,f2) values(?,?)",
       {"it's", ""}},
      {"  update t3 set f7=\"a\"\"b\"\r\n where  f8='x' ",
       "update t3 set f7=? where f8=?",
       {"a\"b", "x"}},
      {"select id from t1 where f1='a;b' and id>1.5",
       "select id from t1 where f1=? and id>1.5",
       {"a;b"}},
      {"delete from t2 where id in (1,2)", "delete from t2 where id in (1,2)", {}},
      // The row limit and the last identity are rewritten; the bound values stay.
      {"select top 2 id from t1 where f1='top'", "select id from t1 where f1=? limit 2", {"top"}},
      {"select @@identity", "select last_insert_rowid()", {}},
      {"select 1;", "select 1", {}},
  };
  for (const Case& c : cases) {
    const dialect::Adapted adapted = dialect::Adapt(c.statement);
    EXPECT_EQ(adapted.sql, c.sql) << c.statement;
    EXPECT_EQ(adapted.params, c.params) << c.statement;
  }
  EXPECT_THROW(dialect::Adapt("select 'open"), StoreError);
  EXPECT_THROW(dialect::Adapt("delete from t1; delete from t2"), StoreError);
}

}  // namespace
}  // namespace sorvane
