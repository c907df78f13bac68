// The headless runner as a real process on a real store file and real source files.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/store.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ShellQuoted(const std::string& text) {
  std::string q = "'";
  for (const char c : text) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class RunnerTest : public ::testing::Test {
 protected:
  Result Run(const std::vector<std::string>& args) {
    std::string command = ShellQuoted(SORVANE_RUN);
    for (const std::string& a : args)
      command += " " + ShellQuoted(a);
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    command += " >" + ShellQuoted(out) + " 2>" + ShellQuoted(err) + " </dev/null";
    const int raw = std::system(command.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
  }

  // A store with a local text-tag templet "Prices" (two columns, stored paths a.txt and b.txt), a
  // web templet "Web" and two templets named "Twin".
  void MakeStore() {
    Tdm store(store_path);
    Query& q = store.qryM;
    q.Execute("insert into tmps(tmn,typ,tag,taid) values('Prices',0,1,0)");
    prices_id = static_cast<int>(q.LastIdentity());
    const std::string id = std::to_string(prices_id);
    q.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id +
              ",'Name','<n>','</n>',0,0)");
    q.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id +
              ",'Price','<p>','</p>',0,1)");
    q.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id +
              ",'','<tr>','</tr>',1,2)");
    q.Execute("insert into urls(tmid,url) values(" + id + "," +
              QuotedStr(dir.Write("a.txt", "<tr><n>5\" disc</n><p>3,50</p></tr>\n")) + ")");
    q.Execute("insert into urls(tmid,url) values(" + id + "," + QuotedStr(dir.File("gone.txt")) +
              ")");
    q.Execute("insert into urls(tmid,url) values(" + id + "," +
              QuotedStr(dir.Write("b.txt", "<tr><n>two\r\nlines</n></tr>")) + ")");

    q.Execute("insert into tmps(tmn,typ,tag,taid) values('Web',1,0,0)");
    web_id = static_cast<int>(q.LastIdentity());
    q.Execute("insert into urls(tmid,url) values(" + std::to_string(web_id) +
              ",'http://127.0.0.1:1/list')");
    q.Execute("insert into exps(tmid,expr) values(" + std::to_string(web_id) + ",'<i>(.)</i>')");
    q.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + std::to_string(web_id) +
              ",'Letter','$1','',0,0)");

    q.Execute("insert into tmps(tmn,typ,tag,taid) values('Twin',0,1,0)");
    q.Execute("insert into tmps(tmn,typ,tag,taid) values('Twin',0,1,0)");
    q.Execute("insert into tmps(tmn,typ,tag,taid) values('Empty',0,1,0)");
  }

  test::TempDir dir;
  std::string store_path = dir.File("data.mdb");
  int prices_id = 0;
  int web_id = 0;
};

TEST_F(RunnerTest, RunsStoredSourcesToCsvOnStandardOutput) {
  MakeStore();
  for (const std::string& key : {std::string("Prices"), std::to_string(prices_id)}) {
    const Result r = Run({"--store", store_path, key});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "\"Name\",\"Price\"\r\n\"5\"\" disc\",\"3,50\"\r\n\"two\r\nlines\",\"\"\r\n");
    EXPECT_NE(r.err.find("Loading: " + dir.File("a.txt")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Loading: " + dir.File("gone.txt")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Done! All 2 records extracted."), std::string::npos) << r.err;
  }
}

TEST_F(RunnerTest, GivenFilesAreReadLikeOpen) {
  MakeStore();
  const std::string page = dir.Write("page.html", "<i>a</i><I>b</I><i>c</i>");
  // The web templet's method reads the files; its URL is not used.
  Result r = Run({"--store=" + store_path, "Web", page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\"Letter\"\r\n\"a\"\r\n\"c\"\r\n");

  r = Run({"--store", store_path, "Prices", dir.File("a.txt"), dir.File("a.txt")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\"Name\",\"Price\"\r\n\"5\"\" disc\",\"3,50\"\r\n\"5\"\" disc\",\"3,50\"\r\n");
}

TEST_F(RunnerTest, BadArgumentsExitWithTwo) {
  MakeStore();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"no templet", {"--store", store_path}, "usage:"},
      {"unknown templet", {"--store", store_path, "Nope"}, "no templet named \"Nope\""},
      {"unknown id", {"--store", store_path, "999"}, "no templet named \"999\""},
      {"two templets of the name", {"--store", store_path, "Twin"}, "give its id"},
      {"unknown option", {"--stor", store_path, "Prices"}, "unknown option --stor"},
      {"store option without file", {"Prices", "--store"}, "--store needs a file name"},
      {"given file missing",
       {"--store", store_path, "Prices", dir.File("none.txt")},
       "no such file"},
      {"local templet without stored files", {"--store", store_path, "Empty"}, "no stored files"},
      {"store that is no store",
       {"--store", dir.Write("junk.mdb", "junk"), "Prices"},
       "Can not connect to database."},
  };
  for (const Case& c : cases) {
    const Result r = Run(c.args);
    EXPECT_EQ(r.status, 2) << c.name;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.name;
  }
}

TEST_F(RunnerTest, AMissingStoreIsNeverCreated) {
  const std::string missing = dir.File("nowhere.mdb");
  const Result r = Run({"--store", missing, "Prices"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("store file not found"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(missing));
  // Without --store the store is data.mdb in the current folder.
  const std::string command = "cd " + ShellQuoted(dir.Path().string()) + " && " +
                              ShellQuoted(SORVANE_RUN) + " Prices >/dev/null 2>&1";
  const int raw = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(raw), 2);
  EXPECT_FALSE(std::filesystem::exists(dir.File("data.mdb")));
}

TEST_F(RunnerTest, FailedRunsExitWithOneAndKeepTheirRows) {
  MakeStore();
  // Web sources are not part of this build.
  Result r = Run({"--store", store_path, "Web"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("web sources are not supported yet"), std::string::npos) << r.err;

  // A stored file that exists but cannot be read ends the run; the rows before it are written.
  if (std::filesystem::exists("/proc/self/mem")) {
    {
      Tdm store(store_path);
      store.qryM.Execute("insert into urls(tmid,url) values(" + std::to_string(prices_id) +
                         ",'/proc/self/mem')");
    }
    r = Run({"--store", store_path, "Prices"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/proc/self/mem"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Done! All 2 records extracted."), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "\"Name\",\"Price\"\r\n\"5\"\" disc\",\"3,50\"\r\n\"two\r\nlines\",\"\"\r\n");
  }
}

TEST_F(RunnerTest, HelpIsNoError) {
  const Result r = Run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: sorvane-run"), std::string::npos);
}

}  // namespace
}  // namespace sorvane
