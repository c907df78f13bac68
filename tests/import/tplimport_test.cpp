#include "import/tplimport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "import/tplencoder.h"
#include "support/storefixture.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

const std::string kHead = "1 insert into tmps(tmn,typ,tag,taid) values('Shop',1,1,0)";
const std::string kTable = "2 insert into tabs(tan) values('Products')";

class TplImportTest : public ::testing::Test {
 protected:
  TempletFileKey Key() { return {modulus_text_, exponent_text_}; }
  std::string WriteFile(const std::vector<std::string>& records, const std::string& extra = {}) {
    return fixture_.Dir().Write("t.tpl", test::EncodeTempletFile(records) + extra);
  }
  // Imports `path`; the entries the list would get are kept in added_.
  void Import(const std::string& path) {
    ImportTempletFile(
        fixture_.Store(), path, host_,
        [this](const TempletEntry& entry) { added_.push_back(entry); }, Key());
  }
  // The store's files, byte for byte.
  std::string StoreBytes() {
    std::string bytes;
    for (const char* suffix : {"", "-wal"}) {
      std::ifstream in(fixture_.Dir().File(std::string("data.mdb") + suffix), std::ios::binary);
      bytes += std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      bytes += '|';
    }
    return bytes;
  }

  std::string modulus_text_ = test::kTplTestKey.ModulusText();
  std::string exponent_text_ = test::kTplTestKey.ExponentText();
  test::StoreFixture fixture_;
  test::TestHost host_;
  std::vector<TempletEntry> added_;
};

TEST_F(TplImportTest, RecreatesTempletTableAndFieldsWithFreshIds) {
  fixture_.AddTemplet("Old");
  const std::vector<std::string> records = {
      kHead,
      kTable,
      "5017:insert into flds(taid,fti,typ,uni) values([TAID],'Name',0,1)",
      "5209:insert into flds(taid,fti,typ,uni) values([TAID],'Note',2,0)",
      "5107:insert into flds(taid,fti,typ,uni) values([TAID],'Again',1,0)",
      "3 insert into urls(tmid,url) values([TMID],'http://x/<AUTOINC:1,3/>')",
      "67:insert into cols(tmid,tit,begw,endw,fid,tag,nox) "
      "values([TMID],'N','<b>','</b>',[FID],0,0)",
      "699:insert into cols(tmid,tit,begw,endw,fid,tag,nox) "
      "values([TMID],'X','[tmid]','',[FID],0,1)",
      "8 skipped: not a statement at all",
      "7 insert into nvps(tmid,nam,val,tag) values([TMID],'u','p',1)",
  };
  const std::string path = WriteFile(records);
  Import(path);
  Import(path);

  ASSERT_EQ(added_.size(), 2u);
  EXPECT_EQ(host_.statuses.back(), "Done! Templet loading completed!");
  EXPECT_NE(added_[0].templet.ID, added_[1].templet.ID);
  EXPECT_NE(added_[0].templet.TabID, added_[1].templet.TabID);
  for (const TempletEntry& entry : added_) {
    const std::string tmid = std::to_string(entry.templet.ID);
    const std::string taid = std::to_string(entry.templet.TabID);
    EXPECT_EQ(entry.name, "Shop");
    EXPECT_TRUE(entry.templet.IsURL);
    EXPECT_TRUE(entry.templet.IsTextTag);
    const long long name_fid =
        fixture_.Scalar("select fid from flds where fti='Name' and taid=" + taid);
    // The first field with old id 7 is the one type 6 records get; unknown old ids get 0.
    EXPECT_EQ(fixture_.Scalar("select fid from cols where tit='N' and tmid=" + tmid), name_fid);
    EXPECT_EQ(fixture_.Scalar("select fid from cols where tit='X' and tmid=" + tmid), 0);
    fixture_.Store().qryM.Open("select begw from cols where tit='X' and tmid=" + tmid);
    EXPECT_EQ(fixture_.Store().qryM.AsString(0), "[tmid]");
    EXPECT_EQ(fixture_.Scalar("select count(*) from urls where tmid=" + tmid), 1);
    EXPECT_EQ(fixture_.Scalar("select count(*) from nvps where tmid=" + tmid), 1);
    // The table exists with its three fields; only the field marked unique has an index.
    const std::string name_col = "f" + std::to_string(name_fid);
    fixture_.Exec("insert into t" + taid + "(" + name_col + ") values('a')");
    EXPECT_THROW(fixture_.Exec("insert into t" + taid + "(" + name_col + ") values('a')"),
                 StoreError);
    EXPECT_EQ(fixture_.Scalar("select count(*) from sqlite_master where type='index' and name "
                              "like 'idx_" +
                              taid + "_%'"),
              1);
  }
}

TEST_F(TplImportTest, ShowsProgressBeforeEachLine) {
  Import(WriteFile({kHead, "9 skipped", "8 skipped"}));
  EXPECT_EQ(host_.statuses, (std::vector<std::string>{
                                "Templet loading [33%] ...", "Templet loading [66%] ...",
                                "Templet loading [100%] ...", "Done! Templet loading completed!"}));
}

// A refused file leaves the store exactly as it was: nothing of it runs.
TEST_F(TplImportTest, RefusesHostileFilesBeforeAnythingRuns) {
  std::vector<int> fids;
  const int user_table = fixture_.AddTable("Secrets", 1, fids);
  const std::string user = "t" + std::to_string(user_table);
  const std::string col = "f" + std::to_string(fids[0]);
  fixture_.AddTemplet("Old");

  std::vector<std::string> long_file(1000, "3 insert into urls(tmid,url) values([TMID],'u')");
  long_file[0] = kHead;
  long_file[499] = "3 delete from urls";

  struct Case {
    const char* name;
    std::vector<std::string> records;
    std::string extra;  // raw text after the encoded lines
    int line;
  };
  const std::vector<Case> cases = {
      {"drop table", {kHead, "3 drop table tabs"}, "", 2},
      {"attach", {kHead, "3 attach database 'x.db' as x"}, "", 2},
      {"pragma", {kHead, "3 pragma writable_schema=1"}, "", 2},
      {"vacuum into", {kHead, "3 vacuum into 'copy.db'"}, "", 2},
      {"trigger",
       {kHead, "3 create trigger t after insert on urls begin delete from tmps; end"},
       "",
       2},
      {"insert selecting a user table",
       {kHead, "3 insert into urls(tmid,url) select [TMID]," + col + " from " + user},
       "",
       2},
      {"subquery on a user table",
       {kHead,
        "3 insert into urls(tmid,url) values([TMID],(select " + col + " from " + user + "))"},
       "",
       2},
      {"schema read",
       {kHead, "3 insert into urls(tmid,url) select [TMID],sql from sqlite_master"},
       "",
       2},
      {"function", {kHead, "3 insert into urls(tmid,url) values([TMID],lower('A'))"}, "", 2},
      {"two statements",
       {kHead, "3 insert into urls(tmid,url) values([TMID],'a'); drop table tabs"},
       "",
       2},
      {"insert or replace",
       {kHead, "3 insert or replace into tmps(tmid,tmn) values(1,'x')"},
       "",
       2},
      {"upsert",
       {kHead,
        "3 insert into urls(uid,tmid,url) values(1,[TMID],'a') on conflict(uid) do update "
        "set url='b'"},
       "",
       2},
      {"templet row from a column record", {kHead, "3 insert into tmps(tmn) values('x')"}, "", 2},
      {"templet record into another table", {"1 insert into urls(tmid,url) values(1,'x')"}, "", 1},
      {"field before table", {kHead, "5007:insert into flds(taid,fti) values([TAID],'a')"}, "", 2},
      {"field type code 3",
       {kHead, kTable, "5307:insert into flds(taid,fti) values([TAID],'a')"},
       "",
       3},
      {"no old field id", {kHead, "6insert into cols(tmid) values([TMID])"}, "", 2},
      {"type digit missing", {kHead, "x insert into urls(tmid,url) values([TMID],'a')"}, "", 2},
      {"no templet record", {"3 insert into urls(tmid,url) values(1,'a')"}, "", 0},
      {"syntax error", {kHead, "3 insert into urls(tmid,url) values([TMID],"}, "", 2},
      {"no start marker", {kHead}, test::EncodeBitsLine("000101") + "\r\n", 2},
      {"not hexadecimal", {kHead}, "0G12\r\n", 2},
      {"10 MB literal", {kHead}, std::string(10'000'000, 'A'), 0},
      {"long line", {kHead}, std::string(kTempletLineLimit + 2, 'A'), 2},
      {"line 500 of 1000", long_file, "", 500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteFile(c.records, c.extra);
    const std::string before = StoreBytes();
    const auto start = std::chrono::steady_clock::now();
    try {
      Import(path);
      ADD_FAILURE() << "imported";
    } catch (const TempletFileError& e) {
      EXPECT_EQ(e.line(), c.line) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(StoreBytes(), before);
    EXPECT_TRUE(added_.empty());
    EXPECT_NE(host_.statuses.empty() ? "" : host_.statuses.back(),
              "Done! Templet loading completed!");
  }
  // The authorizer is gone again: the program's own statements run as before.
  EXPECT_EQ(fixture_.Scalar("select count(*) from tmps"), 1);
  fixture_.Exec("drop table " + user);
}

TEST_F(TplImportTest, StoreErrorWhileRunningKeepsEarlierStatements) {
  const int old = fixture_.AddTemplet("Old");
  fixture_.Exec("insert into urls(tmid,url) values(" + std::to_string(old) + ",'x')");
  const long long uid = fixture_.Scalar("select max(uid) from urls");
  const std::string path = WriteFile(
      {kHead, "3 insert into urls(uid,tmid,url) values(" + std::to_string(uid) + ",[TMID],'dup')"});
  EXPECT_THROW(Import(path), StoreError);
  EXPECT_TRUE(added_.empty());
  EXPECT_EQ(fixture_.Scalar("select count(*) from tmps where tmn='Shop'"), 1);
  EXPECT_NE(host_.statuses.back(), "Done! Templet loading completed!");
}

}  // namespace
}  // namespace sorvane
