// The headless runner as a real process on a real store file and real source files.

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/store.h"
#include "designer/usertables.h"
#include "support/httpserver.h"
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
      {"no requests in flight",
       {"--parallel", "0", "Prices"},
       "--parallel takes a number from 1 to 16"},
      {"too many in flight", {"--parallel", "17", "Prices"}, "from 1 to 16"},
      {"delay not a number", {"--delay", "1s", "Prices"}, "--delay takes a number from 0"},
      {"too many retries", {"--retries", "6", "Prices"}, "--retries takes a number from 0 to 5"},
      {"retries without value", {"Prices", "--retries"}, "--retries needs a value"},
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
  // A page that cannot be loaded: the message goes to standard error.
  Result r = Run({"--store", store_path, "Web"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: Fail loading or interrupted by youself:\nhttp://127.0.0.1:1/list"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "\"Letter\"\r\n");

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

// A web templet "Pages" over pages 1 to 3 of `server`, with the login rows given as
// "tag|nam|val".
void AddWebTemplet(const std::string& store_path, const test::HttpServer& server,
                   const std::vector<std::string>& login_rows) {
  Tdm store(store_path);
  Query& q = store.qryM;
  q.Execute("insert into tmps(tmn,typ,tag,taid) values('Pages',1,1,0)");
  const std::string id = std::to_string(q.LastIdentity());
  q.Execute("insert into urls(tmid,url) values(" + id + "," +
            QuotedStr(server.Url("/page/<AUTOINC:1,3/>")) + ")");
  q.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id +
            ",'Item','<b>','</b>',0,0)");
  for (const std::string& row : login_rows) {
    const std::size_t a = row.find('|'), b = row.find('|', a + 1);
    q.Execute("insert into nvps(tmid,nam,val,tag) values(" + id + "," +
              QuotedStr(row.substr(a + 1, b - a - 1)) + "," + QuotedStr(row.substr(b + 1)) + "," +
              row.substr(0, a) + ")");
  }
}

TEST_F(RunnerTest, RunsWebTempletsAgainstARealServer) {
  MakeStore();
  test::HttpServer server;
  server.On("/page/*", [](const test::ReceivedRequest& r) {
    return test::Reply::Text("<b>" + r.path.substr(6) + "</b>");
  });
  server.On("/login", [](const test::ReceivedRequest&) { return test::Reply::Text("ok"); });
  AddWebTemplet(store_path, server, {"2||" + server.Url("/login"), "3|user|jo"});
  const Result r = Run({"--store", store_path, "Pages"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\"Item\"\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n");
  EXPECT_NE(r.err.find("Loading: " + server.Url("/page/3")), std::string::npos) << r.err;
  ASSERT_EQ(server.RequestCount(), 4u);
  EXPECT_EQ(server.Requests()[0].body, "user=jo");
}

TEST_F(RunnerTest, FetchOptionsGivenForARunKeepItsOutput) {
  MakeStore();
  test::HttpServer server;
  server.On("/page/*", [](const test::ReceivedRequest& r) {
    return test::Reply::Text("<b>" + r.path.substr(6) + "</b>");
  });
  AddWebTemplet(store_path, server, {});
  const Result r =
      Run({"--store", store_path, "--parallel", "8", "--delay", "5", "--retries", "2", "Pages"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\"Item\"\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n");
  EXPECT_EQ(server.RequestCount(), 3u);
  const Result help = Run({"--help"});
  EXPECT_NE(help.out.find("--parallel N"), std::string::npos);
}

TEST_F(RunnerTest, AVerificationCodeWithoutTerminalEndsTheRun) {
  MakeStore();
  test::HttpServer server;
  server.On("/*", [](const test::ReceivedRequest&) { return test::Reply::Text("<b>x</b>"); });
  AddWebTemplet(store_path, server,
                {"2||" + server.Url("/login"), "4|code|" + server.Url("/code.gif")});
  const Result r = Run({"--store", store_path, "Pages"});  // standard input is /dev/null
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("standard input is no terminal"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Done! All 0 records extracted."), std::string::npos) << r.err;
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_EQ(r.out, "\"Item\"\r\n");
}

// Runs the runner with a terminal as standard input, typing `input` into it; standard output
// and standard error go to files as in Run.
Result RunOnTerminal(const test::TempDir& dir, const std::vector<std::string>& args,
                     const std::string& input) {
  std::string command = "exec " + ShellQuoted(SORVANE_RUN);
  for (const std::string& a : args)
    command += " " + ShellQuoted(a);
  const std::string out = dir.File("stdout"), err = dir.File("stderr");
  command += " >" + ShellQuoted(out) + " 2>" + ShellQuoted(err);
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Result r;
  if (pid < 0) return r;
  // The terminal keeps the typed lines until the runner reads them.
  if (write(master, input.data(), input.size()) != static_cast<ssize_t>(input.size())) return r;
  char echo[256];
  int raw = 0;
  while (waitpid(pid, &raw, WNOHANG) == 0) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(master, &ready);
    timeval wait = {0, 50000};
    if (select(master + 1, &ready, nullptr, nullptr, &wait) > 0 &&
        read(master, echo, sizeof echo) <= 0) {
      waitpid(pid, &raw, 0);
      break;
    }
  }
  close(master);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  return r;
}

TEST_F(RunnerTest, AVerificationCodeIsReadFromTheTerminal) {
  MakeStore();
  test::HttpServer server;
  server.On("/page/*", [](const test::ReceivedRequest& r) {
    return test::Reply::Text("<b>" + r.path.substr(6) + "</b>");
  });
  server.On("/login", [](const test::ReceivedRequest&) { return test::Reply::Text("form"); });
  server.On("/code.gif", [](const test::ReceivedRequest&) {
    return test::Reply::Text("\x89PNG\r\n\x1a\n not really");
  });
  AddWebTemplet(store_path, server,
                {"2||" + server.Url("/login"), "4|code|" + server.Url("/code.gif")});
  // A blank line asks for a new image first.
  const Result r = RunOnTerminal(dir, {"--store", store_path, "Pages"}, "  \nw7 k\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\"Item\"\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n");
  const std::vector<test::ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 8u) << r.err;
  EXPECT_EQ(requests[0].path, "/login");
  EXPECT_EQ(requests[1].path, "/code.gif");
  EXPECT_EQ(requests[2].path, "/login");
  EXPECT_EQ(requests[3].path, "/code.gif");
  EXPECT_EQ(requests[4].method, "POST");
  EXPECT_EQ(requests[4].body, "code=w7%20k");
  // The image was offered as a file named after its format, and is gone afterwards.
  const std::string tag = "verification image: ";
  const std::size_t at = r.err.find(tag);
  ASSERT_NE(at, std::string::npos) << r.err;
  const std::string path = r.err.substr(at + tag.size(), r.err.find('\n', at) - at - tag.size());
  EXPECT_TRUE(path.ends_with(".png")) << path;
  EXPECT_FALSE(std::filesystem::exists(path));

  // End of input is a cancelled question.
  server.ClearRequests();
  const Result cancelled = RunOnTerminal(dir, {"--store", store_path, "Pages"}, "\x04");
  EXPECT_EQ(cancelled.status, 1) << cancelled.err;
  EXPECT_NE(cancelled.err.find("no verification code given"), std::string::npos) << cancelled.err;
  EXPECT_EQ(server.RequestCount(), 2u);  // the login page and the image, no post
}

TEST_F(RunnerTest, SaveWritesTheRecordsIntoTheTargetTable) {
  MakeStore();
  {
    Tdm store(store_path);
    const int taid = CreateUserTable(store, "Prices");
    const int name = AddUserField(store, taid, "Name", 0);
    AddUserField(store, taid, "Price", 0);
    store.qryM.Execute("update tmps set taid=" + std::to_string(taid) + " where tmn='Prices'");
    store.qryM.Execute("update cols set fid=" + std::to_string(name) + " where tit='Name'");
    store.qryM.Execute("update cols set fid=2 where tit='Price'");
    CreateUniqueIndex(store, taid, name);
    store.qryM.Execute("update tmps set taid=" + std::to_string(taid) + " where tmn='Empty'");
  }
  const auto table = [this] {
    Tdm store(store_path);
    std::string rows;
    for (store.qryM.Open("select f1,f2 from t1 order by id"); !store.qryM.Eof();
         store.qryM.Next()) {
      rows += store.qryM.AsString(0) + "|" + store.qryM.AsString(1) + ";";
    }
    return rows;
  };

  Result r = Run({"--store", store_path, "--save", "Prices"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("sorvane-run: committed: 2 saved, 0 updated of 2\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Done! 2 saved, 0 updated of 2"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "\"Name\",\"Price\"\r\n\"5\"\" disc\",\"3,50\"\r\n\"two\r\nlines\",\"\"\r\n");
  EXPECT_EQ(table(), "5\" disc|3,50;two\r\nlines|;");
  // Again: the unique name finds both records.
  r = Run({"--store", store_path, "--save", "Prices"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Done! 0 saved, 2 updated of 2"), std::string::npos) << r.err;
  EXPECT_EQ(table(), "5\" disc|3,50;two\r\nlines|;");

  r = Run({"--store", store_path, "--save", "Web", dir.Write("p.html", "<i>a</i>")});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no target table"), std::string::npos) << r.err;
  r = Run({"--store", store_path, "--save", "Empty", dir.Write("e.txt", "x")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Note: No column with field associated."), std::string::npos) << r.err;
}

TEST_F(RunnerTest, HelpIsNoError) {
  const Result r = Run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: sorvane-run"), std::string::npos);
}

TEST_F(RunnerTest, OutputGoesToAFileOrAsJsonLines) {
  MakeStore();
  const std::string csv =
      "\"Name\",\"Price\"\r\n\"5\"\" disc\",\"3,50\"\r\n\"two\r\nlines\",\"\"\r\n";
  const std::string out = dir.Write("out.csv", "old");
  Result r = Run({"--store", store_path, "--out", out, "Prices"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(ReadAll(out), csv);

  r = Run({"--store", store_path, "--bom", "Prices"});
  EXPECT_EQ(r.out, "\xEF\xBB\xBF" + csv);

  r = Run({"--store", store_path, "--format=jsonl", "Prices"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"Name\":\"5\\\" disc\",\"Price\":\"3,50\"}\n"
            "{\"Name\":\"two\\r\\nlines\",\"Price\":\"\"}\n");

  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"unknown format", {"--format", "xml", "Prices"}, "unknown format xml"},
      {"a mark on JSON", {"--format", "jsonl", "--bom", "Prices"}, "--bom applies to CSV only"},
      {"out without a file", {"Prices", "--out"}, "--out needs a value"},
      {"out into a missing folder", {"--out", dir.File("no/x.csv"), "Prices"}, "Cannot create"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--store", store_path};
    args.insert(args.end(), c.args.begin(), c.args.end());
    r = Run(args);
    EXPECT_EQ(r.status, 2) << c.name;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
    EXPECT_EQ(r.err.find("Loading:"), std::string::npos) << c.name << ": no run";
  }
  EXPECT_EQ(ReadAll(out), csv);
}

// The part of `text` after the first occurrence of `marker`; empty when it does not occur.
std::string After(const std::string& text, const std::string& marker) {
  const std::size_t at = text.find(marker);
  return at == std::string::npos ? std::string() : text.substr(at + marker.size());
}

TEST_F(RunnerTest, EveryFailureIsFollowedByItsCause) {
  MakeStore();
  test::HttpServer server;
  server.On("/list", [](const test::ReceivedRequest&) {
    test::Reply reply = test::Reply::Text("gone");
    reply.status = 404;
    return reply;
  });
  server.On("/page", [](const test::ReceivedRequest&) {
    return test::Reply::Text("<i>a</i>" + std::string(20000, 'a') + "!");
  });
  struct Case {
    std::string url;
    std::string expression;
    std::string status;  // the described status text or message
    std::string cause;   // what follows it
  };
  const std::vector<Case> cases = {
      {server.Url("/list"), "<i>(.)</i>",
       "Error: Fail loading or interrupted by youself:\n" + server.Url("/list") + "\n",
       "sorvane-run: HTTP/1.1 404 Not Found\n"},
      {server.Url("/page"), "<i>(.)</i>(", "Regular expression is invalide.\n",
       "sorvane-run: invalid expression at offset 11: "},
      {server.Url("/page"), "(a|aa)*$|(?!)(*SKIP)", "Regular expression is invalide.\n",
       "sorvane-run: expression stopped: too much backtracking\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    {
      Tdm store(store_path);
      const std::string id = std::to_string(web_id);
      store.qryM.Execute("update urls set url=" + QuotedStr(c.url) + " where tmid=" + id);
      store.qryM.Execute("update exps set expr=" + QuotedStr(c.expression) + " where tmid=" + id);
    }
    const Result r = Run({"--store", store_path, "Web"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(After(r.err, c.status).starts_with(c.cause)) << r.err;
  }
}

TEST_F(RunnerTest, APartialRowIsLeftOutOfTheOutput) {
  MakeStore();
  {
    // The price column's rule has a position that is no number: filling the first row fails
    // after its name.
    Tdm store(store_path);
    store.qryM.Open("select cid from cols where tit='Price'");
    const std::string cid = store.qryM.AsString(0);
    store.qryM.Execute("insert into vtrs(cid,rel,srv,dtv) values(" + cid + ",4,'x','1')");
    store.qryM.Execute("update cols set istr=1 where cid=" + cid);
  }
  const Result r = Run({"--store", store_path, "Prices"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "\"Name\",\"Price\"\r\n");
  EXPECT_NE(r.err.find("Done! All 0 records extracted."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("sorvane-run: 1 partial row was left out"), std::string::npos) << r.err;
}

TEST_F(RunnerTest, AnExtractFlagThatCannotBeSetFailsTheRun) {
  MakeStore();
  test::HttpServer server;
  server.On("/v/*", [](const test::ReceivedRequest& r) {
    return test::Reply::Text("<b>" + r.path.substr(3) + "</b>");
  });
  {
    // Any update of the flags fails, as it would on a store locked beyond the busy time-out.
    Tdm store(store_path);
    store.conn.Execute(
        "create table t1(id autoincrement primary key,fx smallint default 0 check(fx<1),"
        "f1 varchar(50))");
    store.qryM.Execute("insert into t1(f1) values('A')");
    store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('Values',1,1,0)");
    const std::string id = std::to_string(store.qryM.LastIdentity());
    store.qryM.Execute("insert into urls(tmid,url) values(" + id + "," +
                       QuotedStr(server.Url("/v/<FIELD:T1,F1/>")) + ")");
    store.qryM.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id +
                       ",'Value','<b>','</b>',0,0)");
  }
  const Result r = Run({"--store", store_path, "Values"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "\"Value\"\r\n\"A\"\r\n");
  EXPECT_NE(r.err.find("sorvane-run: the extract flag of F1 value \"A\" could not be set: "),
            std::string::npos)
      << r.err;
}

// A web text-tag templet "Guarded" with one <b> column, its page settings rows as given (none:
// a templet of an older store).
void AddGuardedTemplet(const std::string& store_path, const std::string& url,
                       const std::vector<int>& settings) {
  Tdm store(store_path);
  Query& q = store.qryM;
  q.Execute("insert into tmps(tmn,typ,tag,taid) values('Guarded',1,1,0)");
  const std::string id = std::to_string(q.LastIdentity());
  q.Execute("insert into urls(tmid,url) values(" + id + "," + QuotedStr(url) + ")");
  q.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id +
            ",'Item','<b>','</b>',0,0)");
  for (std::size_t i = 0; i < settings.size(); ++i) {
    q.Execute("insert into opts values(" + id + ", " + std::to_string(6 + i) + ", " +
              std::to_string(settings[i]) + ")");
  }
}

TEST_F(RunnerTest, RunGuardsStopRepeatedPagesAndExitThreeWhenNothingCame) {
  MakeStore();
  test::HttpServer server;
  // Pages past the last answer with the last one.
  server.On("/n/*", [](const test::ReceivedRequest& r) {
    const int n = std::min(std::stoi(r.path.substr(3)), 2);
    return test::Reply::Text("<b>" + std::to_string(n) + "a</b><b>" + std::to_string(n) + "b</b>");
  });
  server.On("/redesigned/*", [](const test::ReceivedRequest&) {
    return test::Reply::Text("<span>new look</span>");
  });
  struct Case {
    const char* name;
    std::string path;
    std::vector<int> settings;  // opts 6, 7, 8
    int status;
    std::string out;
    std::vector<std::string> said;
    std::size_t requests;
  };
  const std::vector<Case> cases = {
      {"a repeated page ends the sequence",
       "/n/<AUTOINC:1,9/>",
       {0, 1, 0},
       0,
       "\"Item\"\r\n\"1a\"\r\n\"1b\"\r\n\"2a\"\r\n\"2b\"\r\n",
       {"The page sequence stopped: " + server.Url("/n/3") +
        " repeats an earlier page of the sequence."},
       3},
      {"older templets fetch every page",
       "/n/<AUTOINC:1,4/>",
       {},
       0,
       "\"Item\"\r\n\"1a\"\r\n\"1b\"\r\n\"2a\"\r\n\"2b\"\r\n\"2a\"\r\n\"2b\"\r\n\"2a\"\r\n\"2b\"\r"
       "\n",
       {},
       4},
      {"no record from pages read without error",
       "/redesigned/<AUTOINC:1,2/>",
       {1, 1, 1},
       3,
       "\"Item\"\r\n",
       {"No record on " + server.Url("/redesigned/1") + ":",
        "Column \"Item\": its open tag \"<b>\" was never found on the page.",
        "the run ended with no record"},
       2},
      {"the same run of an older templet ends well",
       "/redesigned/<AUTOINC:1,2/>",
       {},
       0,
       "\"Item\"\r\n",
       {"Column \"Item\": its open tag \"<b>\" was never found on the page."},
       2},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(store_path);
    MakeStore();
    AddGuardedTemplet(store_path, server.Url(c.path), c.settings);
    server.ClearRequests();
    const Result r = Run({"--store", store_path, "Guarded"});
    EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
    EXPECT_EQ(r.out, c.out) << c.name;
    for (const std::string& said : c.said)
      EXPECT_NE(r.err.find(said), std::string::npos) << c.name << ": " << said << "\n" << r.err;
    EXPECT_EQ(server.RequestCount(), c.requests) << c.name;
  }
}

TEST_F(RunnerTest, ExplainSaysWhyTheFirstPageGivesNoRecord) {
  MakeStore();
  const std::string good = dir.Write("good.txt", "<tr><n>x</n></tr>");
  const std::string bad = dir.Write("bad.txt", "<TD><n>x</n></TD>");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;
  };
  const std::vector<Case> cases = {
      {{"--explain", "Prices", good}, 0, "1 record on " + good},
      {{"--explain", "Prices", bad},
       3,
       "No record on " + bad + ":\n- The record open tag \"<tr>\" was never found on the page."},
      // Without a file: the first stored file that exists.
      {{"--explain", "Prices"}, 0, "1 record on " + dir.File("a.txt")},
      {{"--explain", "Prices", good, bad}, 2, "--explain takes one templet and at most one file"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--store", store_path};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = Run(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace sorvane

namespace sorvane {
namespace {

// Export, import into another store, run there: the same records, under a fresh id.
TEST_F(RunnerTest, ExportedTempletImportedElsewhereGivesTheSameRecords) {
  MakeStore();
  int regex_id = 0;
  {
    Tdm store(store_path);
    Query& q = store.qryM;
    q.Execute("insert into tmps(tmn,typ,tag,taid) values('Rules',0,0,0)");
    regex_id = static_cast<int>(q.LastIdentity());
    const std::string id = std::to_string(regex_id);
    q.Execute("insert into urls(tmid,url) values(" + id + "," +
              QuotedStr(dir.Write("r.txt", "<li>apple 3</li><li>pear 12</li>")) + ")");
    q.Execute("insert into exps(tmid,expr) values(" + id + ",'<li>(\\w+) (\\d+)</li>')");
    q.Execute("insert into cols(tmid,tit,begw,endw,tag,nox,istr) values(" + id +
              ",'Fruit','$1','',0,0,1)");
    q.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id + ",'N','$2','',0,1)");
    q.Execute("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(q.LastIdentity() - 1) +
              ",7,'[',']')");
  }
  const std::string other = dir.File("other.mdb");
  { Tdm create(other); }
  for (const std::string& key : {std::string("Prices"), std::to_string(regex_id)}) {
    SCOPED_TRACE(key);
    const Result original = Run({"--store", store_path, key});
    ASSERT_EQ(original.status, 0) << original.err;
    const Result exported = Run({"--store", store_path, "--export", key});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const std::string file = dir.Write("t.json", exported.out);
    const Result imported = Run({"--store", other, "--import", file});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.err.find("Done! Templet loading completed!"), std::string::npos);
    const std::string new_id = imported.out.substr(0, imported.out.find('\n'));
    const Result copy = Run({"--store", other, new_id});
    EXPECT_EQ(copy.status, 0) << copy.err;
    EXPECT_EQ(copy.out, original.out);
  }
  EXPECT_NE(Run({"--store", store_path, std::to_string(regex_id)}).out.find("\"[apple]\",\"3\""),
            std::string::npos);
}

TEST_F(RunnerTest, ImportAndExportRefuseBadArgumentsAndFiles) {
  MakeStore();
  const std::string bad =
      dir.Write("bad.json", "{\"format\": \"sorvane-templet\", \"version\": 9}");
  const std::string tpl = dir.Write("bad.tpl", "0G12\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"--import", bad}, 1, "Templet file: the file is of version 9"},
      {{"--import", tpl}, 1, "Templet file line 1: the line cannot be decoded"},
      {{"--import", dir.File("none.json")}, 2, "no such file"},
      {{"--import", bad, "Prices"}, 2, "--import takes a file"},
      {{"--import"}, 2, "--import needs a file name"},
      {{"--export", "Nobody"}, 2, "no templet named \"Nobody\""},
      {{"--export", "Twin"}, 2, "more than one templet"},
      {{"--export", "Prices", "a.txt"}, 2, "--export takes one templet"},
      {{"--login-values", "Prices"}, 2, "--login-values applies to --export only"},
      {{"--create", "Prices"}, 2, "--create applies to --import only"},
  };
  const std::string before = ReadAll(store_path);
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--store", store_path};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = Run(args);
    SCOPED_TRACE(c.err);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(ReadAll(store_path), before);
  const Result help = Run({"--help"});
  EXPECT_NE(help.out.find("--import FILE"), std::string::npos);
  EXPECT_NE(help.out.find("--export TEMPLET"), std::string::npos);
}

}  // namespace
}  // namespace sorvane
