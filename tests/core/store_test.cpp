// The data module over a real store file: opening and creating stores, reading rules, refusals.

#include "core/store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/tempdir.h"

namespace sorvane {
namespace {

TEST(StoreOpen, MissingFileBecomesAStoreWithSystemTablesAndCounter) {
  test::TempDir dir;
  const std::string path = dir.File("data.mdb");
  {
    Tdm store(path);
    for (const char* table :
         {"tmps", "urls", "exps", "cols", "vtrs", "nvps", "opts", "tabs", "flds"}) {
      EXPECT_NO_THROW(store.qryM.Open(std::string("select count(*) from ") + table)) << table;
    }
    store.qryM.Open("select tmid,oid,val from opts");
    ASSERT_FALSE(store.qryM.Eof());
    EXPECT_EQ(store.qryM.AsInteger("tmid"), 0);
    EXPECT_EQ(store.qryM.AsInteger("oid"), 1);
    EXPECT_EQ(store.qryM.AsString("val"), "0");

    // Column defaults the program relies on.
    store.qryM.Execute(
        "insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(1,'a','','',0,0,0)");
    store.qryM.Execute("insert into flds(taid,fti,typ) values(1,'f',0)");
    store.qryM.Open("select istr,width from cols");
    EXPECT_EQ(store.qryM.AsInteger("istr"), 0);
    EXPECT_GT(store.qryM.AsInteger("width"), 0);
    store.qryM.Open("select uni from flds");
    EXPECT_EQ(store.qryM.AsInteger(0), 0);
    store.qryM.Open("pragma journal_mode");
    EXPECT_EQ(store.qryM.AsString(0), "wal");
  }
  // The created file opens again as a store, with what was written.
  Tdm again(path);
  again.qryM.Open("select count(*) from cols");
  EXPECT_EQ(again.qryM.AsInteger(0), 1);
}

TEST(StoreOpen, FilesThatAreNotStoresAreRefusedAndLeftAlone) {
  test::TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"text", "this is not a database at all, just some text\n"},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    const std::string path = dir.Write(c.name, c.bytes);
    EXPECT_THROW(Tdm store(path), StoreError) << c.name;
  }
  // An SQLite file without the system tables.
  const std::string other = dir.File("other.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "create table tmps(x)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_THROW(Tdm store(other), StoreError);
  // Refusing a file never turns it into a store.
  db = nullptr;
  ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "select count(*) from sqlite_master", -1, &stmt, nullptr);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(stmt, 0), 1);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(StoreOpen, ADamagedStoreIsReportedBeforeAnythingChangesIt) {
  test::TempDir dir;
  const std::string path = dir.File("data.mdb");
  {
    Tdm store(path);
    store.conn.Execute("create table t1(id autoincrement primary key,fx smallint,f1 memo)");
    for (int i = 0; i < 50; ++i)
      store.qryM.Execute("insert into t1(f1) values('" + std::string(1000, 'v') + "')");
  }
  // A store as older versions left it: with a rollback journal.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "pragma journal_mode=delete", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const std::string intact = FileBytes(path);

  // Its last page (the table's) damaged; the schema on the first page still reads.
  std::string damaged = intact;
  for (std::size_t i = damaged.size() - 4096; i < damaged.size(); ++i)
    damaged[i] = static_cast<char>(0xFF);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
  try {
    Tdm store(path);
    ADD_FAILURE() << "a damaged store opened";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(FileBytes(path) == damaged);

  // Intact, it opens and goes over to the write-ahead log.
  std::ofstream(path, std::ios::binary | std::ios::trunc) << intact;
  Tdm store(path);
  store.qryM.Open("pragma journal_mode");
  EXPECT_EQ(store.qryM.AsString(0), "wal");
  store.qryM.Open("select count(*) from t1");
  EXPECT_EQ(store.qryM.AsInteger(0), 50);
}

TEST(StoreOpen, FolderThatDoesNotExistIsAnError) {
  EXPECT_THROW(Tdm store("/nonexistent-folder-for-sorvane/data.mdb"), StoreError);
}

TEST(StoreOpen, SecondConnectionSeesCommittedStatements) {
  test::TempDir dir;
  Tdm first(dir.File("data.mdb"));
  Tdm second(dir.File("data.mdb"));
  first.qryM.Execute("insert into tabs(tan) values('shared')");
  second.qryM.Open("select tan from tabs");
  EXPECT_EQ(second.qryM.AsString(0), "shared");
}

class StoreTest : public ::testing::Test {
 protected:
  StoreTest() : store_(dir_.File("data.mdb")) {}
  test::TempDir dir_;
  Tdm store_;
};

TEST_F(StoreTest, TextsAreBytesReadBackUnchanged) {
  const std::string values[] = {
      std::string("a\0b", 3),
      "it's \"quoted\"; -- not a comment /* nor this */",
      "http://example.com:8080/list?page=<AUTOINC:1,5/>&id=<FIELD:T3,F7/>",
      "\xC0\xE0\xFF\x80 invalid \xC3( utf-8",
      "line\r\nbreaks\ttabs\x1A",
      "",
      " leading and trailing ",
  };
  for (const std::string& v : values) {
    store_.qryM.Execute("insert into urls(tmid,url) values(1," + QuotedStr(v) + ")");
    store_.qryM.Open("select url from urls where uid=" +
                     std::to_string(store_.qryM.LastIdentity()));
    EXPECT_EQ(store_.qryM.AsString(0), v);
    // The same bytes find the row again in a comparison.
    store_.qryM.Open("select count(*) from urls where url=" + QuotedStr(v));
    EXPECT_EQ(store_.qryM.AsInteger(0), 1);
  }
}

TEST_F(StoreTest, QuotingDoublesInnerQuotes) {
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(QuotedStr(""), "''");
  EXPECT_EQ(QuotedStr("''"), "''''''");
}

TEST_F(StoreTest, SeveralStatementsInOneTextAreRefusedAndNothingRuns) {
  const char* texts[] = {
      "insert into tabs(tan) values('a'); insert into tabs(tan) values('b')",
      "insert into tabs(tan) values('a');delete from tabs",
      "delete from opts; select 1",
  };
  for (const char* sql : texts) {
    EXPECT_THROW(store_.qryM.Execute(sql), StoreError) << sql;
    EXPECT_THROW(store_.conn.Execute(sql), StoreError) << sql;
  }
  store_.qryM.Open("select count(*) from tabs");
  EXPECT_EQ(store_.qryM.AsInteger(0), 0);
  store_.qryM.Open("select count(*) from opts");
  EXPECT_EQ(store_.qryM.AsInteger(0), 1);
  // A semicolon inside a literal, and one closing the statement, are not separators.
  store_.qryM.Execute("insert into tabs(tan) values('a;b');");
  store_.qryM.Open("select tan from tabs");
  EXPECT_EQ(store_.qryM.AsString(0), "a;b");
}

TEST_F(StoreTest, RejectedStatementsCarryTheStoresMessage) {
  try {
    store_.qryM.Open("select nosuchcolumn from tabs");
    FAIL() << "no error";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("nosuchcolumn"), std::string::npos) << e.what();
  }
  EXPECT_THROW(store_.qryM.Execute("insert into tabs(tan) values('unterminated)"), StoreError);
  EXPECT_THROW(store_.qryM.Execute("   "), StoreError);
}

TEST_F(StoreTest, ReadingByPositionAndNameAsIntegerOrText) {
  store_.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('42',1,0,7)");
  store_.qryM.Open("select tmid,tmn,typ,tag,taid from tmps");
  EXPECT_EQ(store_.qryM.FieldCount(), 5);
  EXPECT_EQ(store_.qryM.AsInteger(0), 1);
  EXPECT_EQ(store_.qryM.AsString("TMN"), "42");
  EXPECT_EQ(store_.qryM.AsInteger("tmn"), 42);
  EXPECT_EQ(store_.qryM.AsString(4), "7");
  EXPECT_THROW(store_.qryM.AsString("nosuch"), StoreError);
  EXPECT_THROW(store_.qryM.AsString(5), StoreError);
  store_.qryM.Execute("update tmps set tmn='abc'");
  store_.qryM.Open("select tmn from tmps");
  EXPECT_THROW(store_.qryM.AsInteger(0), StoreError);
  store_.qryM.Next();
  EXPECT_TRUE(store_.qryM.Eof());
  EXPECT_THROW(store_.qryM.AsString(0), StoreError);
}

TEST_F(StoreTest, ConnectionStatementsLeaveTheOpenResultOfQryM) {
  for (int i = 0; i < 3; ++i) {
    store_.qryM.Execute("insert into tabs(tan) values('t" + std::to_string(i) + "')");
  }
  store_.qryM.Open("select taid,tan from tabs order by taid");
  std::string seen;
  for (; !store_.qryM.Eof(); store_.qryM.Next()) {
    seen += store_.qryM.AsString(1);
    store_.conn.Execute("update tabs set tan='changed' where taid=" + store_.qryM.AsString(0));
    store_.qryN.Execute("update opts set val=val+1 where tmid=0 and oid=1");
  }
  EXPECT_EQ(seen, "t0t1t2");
  store_.qryN.Open("select val from opts where tmid=0 and oid=1");
  EXPECT_EQ(store_.qryN.AsString(0), "3");
}

TEST(StoreTransaction, CommitKeepsRollbackDiscardsAFailingStatementUndoesItself) {
  test::TempDir dir;
  Tdm store(dir.File("data.mdb"));
  Tdm other(dir.File("data.mdb"));
  const auto names = [](Tdm& s) {
    std::string out;
    for (s.qryM.Open("select tan from tabs order by taid"); !s.qryM.Eof(); s.qryM.Next())
      out += s.qryM.AsString(0) + ";";
    return out;
  };
  store.conn.Execute("create table t1(id autoincrement primary key,fx smallint default 0)");
  store.qryM.Execute("alter table t1 add f1 varchar(3)");

  store.conn.Begin();
  EXPECT_TRUE(store.conn.InTransaction());
  EXPECT_THROW(store.conn.Begin(), StoreError);
  store.qryM.Execute("insert into tabs(tan) values('kept')");
  EXPECT_THROW(store.qryM.Execute("insert into t1(f1) values('long')"), StoreError);
  store.qryN.Execute("insert into tabs(tan) values('also')");
  EXPECT_EQ(names(other), "");  // nothing is seen before the commit
  store.conn.Commit();
  EXPECT_FALSE(store.conn.InTransaction());
  EXPECT_EQ(names(other), "kept;also;");

  store.conn.Begin();
  store.qryM.Execute("insert into tabs(tan) values('gone')");
  store.conn.Rollback();
  store.conn.Rollback();  // outside a transaction: nothing
  EXPECT_EQ(names(store), "kept;also;");
  // Statements kept for reuse hold no lock: the other connection writes at once.
  EXPECT_NO_THROW(other.qryM.Execute("insert into tabs(tan) values('other')"));
  EXPECT_EQ(names(store), "kept;also;other;");
}

}  // namespace
}  // namespace sorvane
