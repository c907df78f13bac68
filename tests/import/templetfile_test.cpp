// The open templet file over real stores: a full templet survives export and import byte for
// byte, ids are fresh, login secrets stay out unless asked, and a file that is wrong in any way
// leaves the store exactly as it was.

#include "import/templetfile.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/storefixture.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

using Json = nlohmann::ordered_json;

// The store's files, byte for byte.
std::string StoreBytes(const test::StoreFixture& fixture) {
  std::string bytes;
  for (const char* suffix : {"", "-wal"}) {
    std::ifstream in(fixture.Dir().File(std::string("data.mdb") + suffix), std::ios::binary);
    bytes += std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes += '|';
  }
  return bytes;
}

// A templet that uses every part the file carries: a table with a unique field, record tags,
// every column kind, rules with bytes that are not UTF-8, options, an output pattern and login
// rows of every kind. Returns its id; it is the store's first templet, table and fields.
int AddFullTemplet(test::StoreFixture& f) {
  f.Exec("insert into tabs(tan) values('Books')");
  f.Store().conn.Execute("create table t1(id autoincrement primary key,fx smallint default 0)");
  f.Exec("insert into flds(taid,fti,typ,uni) values(1,'Title',1,1)");
  f.Exec("alter table t1 add f1 varchar(255)");
  f.Exec("create unique index idx_1_1 on t1(f1)");
  f.Exec("insert into flds(taid,fti,typ,uni) values(1,'Price',0,0)");
  f.Exec("alter table t1 add f2 varchar(50)");
  const int id = f.AddTemplet("Books \xe2\x82\xac", 1, 0, 1);
  const std::string t = std::to_string(id);
  f.Exec("insert into urls(tmid,url) values(" + t + ",'http://h/<FIELD:T1,F2/>?p=<AUTOINC:1,3/>')");
  f.Exec("insert into exps(tmid,expr) values(" + t + ",'<b>(.*?)</b>(\\d+)')");
  f.Exec("insert into cols(tmid,tit,begw,endw,fid,tag,nox,width) values(" + t +
         ",'<body>','<tr>','</tr>',0,1,0,100)");
  f.Exec("insert into cols(tmid,tit,begw,endw,fid,tag,nox,width,istr) values(" + t +
         ",'Title','$1','',1,0,1,240,1)");
  f.Exec("insert into cols(tmid,tit,begw,endw,fid,tag,nox,width) values(" + t +
         ",'Price','$2','',2,2,2,60)");
  f.Exec("insert into cols(tmid,tit,begw,endw,fid,tag,nox,width,istr) values(" + t +
         ",'Cover','<img src=\"','\"',0,3,3,80,1)");
  const long long title = f.Scalar("select cid from cols where tit='Title'");
  f.Exec("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(title) +
         ",5,'\xcf\xf0\xe8','Pri')");
  f.Exec("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(title) + ",7,'[',']')");
  f.Exec("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(title) + ",8,'','')");
  f.Exec("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(title) +
         ",11,'(\\d+)-(\\d+)','$2/$1')");
  f.AddOptions(id, 24, "DejaVu Sans", 9, 50, "/tmp/img/");
  SavePageSettings(f.Store(), id, {true, false, true});
  f.Exec("insert into opts values(" + t + ", 9, 4)");
  f.Exec("insert into opts values(" + t + ", 11, 2)");
  f.Exec("update tmps set ots='insert into books values(''<CID:" + std::to_string(title) +
         "/>'');' where tmid=" + t);
  SaveLoginRows(f.Store(), id,
                {{"user", "s3cret", 1},
                 {"", "http://h/login", 2},
                 {"login", "anna", 3},
                 {"Passwd", "hunter2", 3},
                 {"code", "http://h/code.png", 4}});
  return id;
}

TEST(TempletFileTest, ExportImportExportGivesTheSameFile) {
  test::StoreFixture a;
  const int id = AddFullTemplet(a);
  const std::string file = ExportTempletJson(a.Store(), id, true);
  const Json json = Json::parse(file);
  EXPECT_EQ(json["templet"]["login"][3]["value"], "hunter2");
  EXPECT_EQ(json["templet"]["columns"][1]["rules"][0]["first"]["bytes"], "cff0e8");
  // The clean-up rules and the page settings travel too.
  EXPECT_EQ(json["templet"]["columns"][1]["rules"][2]["relation"], "strip tags");
  EXPECT_EQ(json["templet"]["columns"][1]["rules"][3]["relation"], "regreplace");
  EXPECT_EQ(json["templet"]["page settings"]["convert to utf-8"], true);
  EXPECT_EQ(json["templet"]["page settings"]["stop a page sequence when a page repeats"], false);
  EXPECT_EQ(json["templet"]["fetch"],
            Json::parse(R"({"requests in flight": 4, "delay between requests": 0,
                            "retry failed pages": 2})"));

  // A fresh store gives the same ids, so the file read back out is the same file.
  test::StoreFixture b;
  const TempletEntry entry = WriteTempletDocument(b.Store(), ParseTempletJson(file));
  EXPECT_EQ(entry.name, "Books \xe2\x82\xac");
  EXPECT_FALSE(entry.templet.IsTextTag);
  EXPECT_EQ(ExportTempletJson(b.Store(), entry.templet.ID, true), file);
  EXPECT_EQ(ReadPageSettings(b.Store(), entry.templet.ID), (PageSettings{true, false, true}));
  EXPECT_EQ(FetchOptionsOf(ReadOptions(b.Store(), entry.templet.ID)), (FetchOptions{4, 0, 2}));
  // The unique field carries its index in the new table.
  b.Exec("insert into t1(f1) values('a')");
  EXPECT_THROW(b.Exec("insert into t1(f1) values('a')"), StoreError);
}

TEST(TempletFileTest, ImportGivesFreshIdsAndRenumbersTheTablesFieldTags) {
  test::StoreFixture f;
  const int id = AddFullTemplet(f);
  const TempletEntry copy =
      WriteTempletDocument(f.Store(), ParseTempletJson(ExportTempletJson(f.Store(), id, false)));
  EXPECT_NE(copy.templet.ID, id);
  EXPECT_EQ(copy.templet.TabID, 2);
  const TempletModel model = ReadTemplet(f.Store(), copy.templet.ID);
  const long long price = f.Scalar("select fid from flds where taid=2 and fti='Price'");
  EXPECT_EQ(price, 4);
  EXPECT_EQ(model.sources, std::vector<std::string>{"http://h/<FIELD:T2,F4/>?p=<AUTOINC:1,3/>"});
  EXPECT_EQ(model.columns[2].fid, 4);
  // The output pattern's column tag names the copy's own column.
  const long long title = f.Scalar("select cid from cols where tit='Title' and tmid=" +
                                   std::to_string(copy.templet.ID));
  f.Store().qryM.Open("select ots from tmps where tmid=" + std::to_string(copy.templet.ID));
  EXPECT_EQ(f.Store().qryM.AsString(0),
            "insert into books values('<CID:" + std::to_string(title) + "/>');");
}

// A second table "Cities" (id 2; fields 3 "Name", unique, and 4 "Note", long text) whose names
// the full templet's URL walks, with two records, one already visited; the target table holds a
// result.
void AddSourceTable(test::StoreFixture& f, int templet_id) {
  f.Exec("insert into tabs(tan) values('Cities')");
  f.Store().conn.Execute("create table t2(id autoincrement primary key,fx smallint default 0)");
  f.Exec("insert into flds(taid,fti,typ,uni) values(2,'Name',0,1)");
  f.Exec("alter table t2 add f3 varchar(50)");
  f.Exec("create unique index idx_2_3 on t2(f3)");
  f.Exec("insert into flds(taid,fti,typ,uni) values(2,'Note',2,0)");
  f.Exec("alter table t2 add f4 memo");
  f.Exec("insert into t2(f3,fx) values('Oslo',1)");
  f.Exec("insert into t2(f3,f4) values('Bergen','r\xe9gion')");
  f.Exec("insert into t1(f1,f2) values('a result','1.00')");
  f.Exec("update urls set url='http://h/<FIELD:T2,F3/>/<FIELD:T1,F2/>' where tmid=" +
         std::to_string(templet_id));
}

TEST(TempletFileTest, SourceTablesTravelWithTheirValuesButNeverTheTargetsRecords) {
  test::StoreFixture a;
  const int id = AddFullTemplet(a);
  AddSourceTable(a, id);
  const std::string file = ExportTempletJson(a.Store(), id, false);
  const Json json = Json::parse(file);
  EXPECT_FALSE(json["table"].contains("rows"));
  EXPECT_EQ(file.find("a result"), std::string::npos);
  ASSERT_EQ(json["source tables"].size(), 1u);
  EXPECT_EQ(json["source tables"][0]["rows"],
            Json::parse(R"([["Oslo", null], ["Bergen", {"bytes": "72e967696f6e"}]])"));

  // A fresh store reproduces the file; every value is still to be visited there.
  test::StoreFixture b;
  const TempletEntry entry = WriteTempletDocument(b.Store(), ParseTempletJson(file));
  EXPECT_EQ(ExportTempletJson(b.Store(), entry.templet.ID, false), file);
  EXPECT_EQ(b.Scalar("select count(*) from t2 where fx=0"), 2);
  EXPECT_THROW(b.Exec("insert into t2(f3) values('Oslo')"), StoreError);

  // Beside the originals, the copy's URL names the copies of both tables.
  const TempletEntry copy = WriteTempletDocument(a.Store(), ParseTempletJson(file));
  EXPECT_EQ(ReadTemplet(a.Store(), copy.templet.ID, TempletParts::kSources).sources,
            std::vector<std::string>{"http://h/<FIELD:T4,F7/>/<FIELD:T3,F6/>"});
  EXPECT_EQ(a.Scalar("select count(*) from t4"), 2);

  // A file an import would refuse is not written.
  for (int i = 0; i < 20; ++i)
    a.Exec("insert into t2(f3,f4) values('v" + std::to_string(i) + "','" + std::string(60000, 'x') +
           "')");
  try {
    ExportTempletJson(a.Store(), id, false);
    ADD_FAILURE() << "exported";
  } catch (const TempletFileError& e) {
    EXPECT_NE(std::string(e.what()).find("more than the 1048576 an import reads"),
              std::string::npos)
        << e.what();
  }
}

TEST(TempletFileTest, LoginSecretsStayOutUnlessAsked) {
  struct Case {
    LoginRow row;
    bool secret;
  };
  const std::vector<Case> cases = {
      {{"user", "qq-4", 1}, true},     {{"", "http://h/login", 2}, false},
      {{"login", "anna", 3}, false},   {{"Passwd", "qq-1", 3}, true},
      {{"user_pwd", "qq-2", 3}, true}, {{"csrf_TOKEN", "qq-3", 3}, true},
      {{"pin", "qq-5", 3}, true},      {{"code", "http://h/c.png", 4}, false},
      {{"remember", "on", 3}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row.nam + "=" + c.row.val);
    EXPECT_EQ(IsSecretLoginValue(c.row), c.secret);
    for (const bool include : {false, true}) {
      test::StoreFixture f;
      const int id = f.AddTemplet("t");
      SaveLoginRows(f.Store(), id, {c.row});
      const std::string file = ExportTempletJson(f.Store(), id, include);
      const Json row = Json::parse(file)["templet"]["login"][0];
      EXPECT_EQ(row.contains("value"), include || !c.secret);
      EXPECT_EQ(file.find(c.row.val) != std::string::npos, include || !c.secret);
      // A value left out is imported empty; the name stays.
      const TempletEntry entry = WriteTempletDocument(f.Store(), ParseTempletJson(file));
      const std::vector<LoginRow> rows = ReadLoginRows(f.Store(), entry.templet.ID);
      ASSERT_EQ(rows.size(), 1u);
      EXPECT_EQ(rows[0].nam, c.row.nam);
      EXPECT_EQ(rows[0].val, include || !c.secret ? c.row.val : "");
    }
  }
}

// Every refusal names what is wrong, and nothing of the file reaches the store.
TEST(TempletFileTest, RefusesBadFilesLeavingTheStoreByteIdentical) {
  test::StoreFixture f;
  const int id = AddFullTemplet(f);
  const Json valid = Json::parse(ExportTempletJson(f.Store(), id, false));
  using Edit = std::function<void(Json&)>;
  // Adds a source table "Cities" (fields "Name", unique short text, and "Note") with `rows`.
  const auto WithCities = [](Json rows) -> Edit {
    return [rows](Json& j) {
      j["source tables"] = Json::parse(R"([{"id": 2, "name": "Cities", "fields": [
          {"id": 3, "title": "Name", "type": "short text", "unique": true},
          {"id": 4, "title": "Note", "type": "long text"}]}])");
      j["source tables"][0]["rows"] = rows;
    };
  };
  struct Case {
    const char* name;
    std::string text;  // used when not empty
    Edit edit;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"not JSON", "{\"format\": ", {}, "the file is not valid JSON: "},
      {"a list", "[1,2]", {}, "the file is not an object"},
      {"deep nesting", std::string(200, '[') + std::string(200, ']'), {}, "deeper than 8"},
      {"other format", "", [](Json& j) { j["format"] = "csv"; }, "no templet file"},
      {"newer version", "", [](Json& j) { j["version"] = 2; }, "newer program"},
      {"version as text", "", [](Json& j) { j["version"] = "1"; }, "version is not a whole"},
      {"no name", "", [](Json& j) { j["templet"].erase("name"); }, "lacks the member \"name\""},
      {"empty name", "", [](Json& j) { j["templet"]["name"] = ""; }, "templet.name is empty"},
      {"name a number", "", [](Json& j) { j["templet"]["name"] = 5; }, "name is not a text"},
      {"unknown member", "", [](Json& j) { j["templet"]["run"] = "rm -rf"; }, "member \"run\""},
      {"unknown source", "", [](Json& j) { j["templet"]["source"] = "ftp"; }, "\"ftp\" is none"},
      {"unknown column kind", "", [](Json& j) { j["templet"]["columns"][1]["kind"] = "button"; },
       "templet.columns[1].kind \"button\" is none of \"normal\""},
      {"unknown relation", "",
       [](Json& j) { j["templet"]["columns"][1]["rules"][0]["relation"] = "eval"; },
       "rules[0].relation \"eval\""},
      {"unknown field type", "", [](Json& j) { j["table"]["fields"][0]["type"] = "blob"; },
       "fields[0].type \"blob\""},
      {"column on a missing field", "", [](Json& j) { j["templet"]["columns"][1]["field"] = 99; },
       "field 99 is no field of the file's table"},
      {"fetch out of range", "", [](Json& j) { j["templet"]["fetch"]["requests in flight"] = 17; },
       "requests in flight is 17, outside 1 to 16"},
      {"fetch without options", "", [](Json& j) { j["templet"].erase("options"); },
       "templet.fetch needs templet.options"},
      {"negative width", "", [](Json& j) { j["templet"]["columns"][1]["width"] = -5; },
       "width is -5, outside 0 to 10000"},
      {"two unique fields", "", [](Json& j) { j["table"]["fields"][1]["unique"] = true; },
       "one unique field"},
      {"field id twice", "", [](Json& j) { j["table"]["fields"][1]["id"] = 1; },
       "id 1 is used twice"},
      {"odd hex", "",
       [](Json& j) {
         j["templet"]["expression"] = {{"bytes", "abc"}};
       },
       "odd number"},
      {"not hex", "",
       [](Json& j) {
         j["templet"]["expression"] = {{"bytes", "zz"}};
       },
       "not hexadecimal"},
      {"no expression for a regular expression", "",
       [](Json& j) { j["templet"].erase("expression"); }, "lacks the member \"expression\""},
      {"two URLs", "", [](Json& j) { j["templet"]["sources"].push_back("http://other/"); },
       "a web templet has one URL"},
      {"row height not digits", "",
       [](Json& j) { j["templet"]["options"]["row height"] = "12;drop"; },
       "row height is not a number"},
      {"too many columns", "",
       [](Json& j) { j["templet"]["columns"] = Json(std::vector<int>(1001, 0)); },
       "1001 entries, more than 1000"},
      {"huge text", "", [](Json& j) { j["templet"]["name"] = std::string(70000, 'x'); },
       "longer than 65536 bytes"},
      {"huge file", std::string(kTempletFileLimit + 1, ' '), {}, "larger than"},
      // The records of a source table, checked against its fields.
      {"row not a list", "", WithCities(Json::parse(R"(["Oslo"])")),
       "source tables[0].rows[0] is not a list"},
      {"row short of a value", "", WithCities(Json::parse(R"([["Oslo"]])")),
       "rows[0] has 1 values for the 2 fields of the table"},
      {"value too long", "", WithCities(Json::parse("[[\"" + std::string(51, 'o') + "\", null]]")),
       "rows[0][0] is longer than the field \"Name\" holds (at most 50 bytes)"},
      {"unique value twice", "", WithCities(Json::parse(R"([["Oslo", null], ["Oslo", "x"]])")),
       "rows[1][0] \"Oslo\" comes twice in the unique field \"Name\""},
      {"value a number", "", WithCities(Json::parse(R"([[7, null]])")), "rows[0][0] is not a text"},
      {"table id twice", "",
       [WithCities](Json& j) {
         WithCities(Json::array())(j);
         j["source tables"][0]["id"] = 1;
       },
       "source tables[0].id 1 is used by another table"},
  };
  test::TestHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.text;
    if (text.empty()) {
      Json edited = valid;
      c.edit(edited);
      text = edited.dump(1);
    }
    const std::string path = f.Dir().Write("bad.json", text);
    const std::string before = StoreBytes(f);
    try {
      ImportAnyTempletFile(f.Store(), path, host);
      ADD_FAILURE() << "imported";
    } catch (const TempletFileError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("Templet file: ", 0), 0u) << e.what();
    }
    EXPECT_EQ(StoreBytes(f), before);
  }
  EXPECT_TRUE(host.statuses.empty());
}

// A statement that fails half-way through the import takes the templet's table and rows with it.
TEST(TempletFileTest, StoreErrorRollsTheWholeImportBack) {
  test::StoreFixture f;
  const int id = AddFullTemplet(f);
  const std::string path = f.Dir().Write("t.json", ExportTempletJson(f.Store(), id, false));
  ASSERT_EQ(sqlite3_exec(f.Store().conn.Handle(),
                         "create trigger no_rules before insert on vtrs begin "
                         "select raise(abort, 'rules refused'); end",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  const std::string before = StoreBytes(f);
  test::TestHost host;
  EXPECT_THROW(ImportAnyTempletFile(f.Store(), path, host), StoreError);
  EXPECT_EQ(StoreBytes(f), before);
  EXPECT_EQ(f.Scalar("select count(*) from tmps"), 1);
  EXPECT_FALSE(f.Store().conn.InTransaction());
}

}  // namespace
}  // namespace sorvane
