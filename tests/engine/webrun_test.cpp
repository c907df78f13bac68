// Runs of web templets over a real store against real servers on 127.0.0.1: the page sequences,
// failed loads, Stop during a transfer, login with cookies and basic authentication, TLS, the
// extract flags of database-field runs, and image columns.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "core/options.h"
#include "core/store.h"
#include "engine/httpclient.h"
#include "engine/login.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "support/httpserver.h"
#include "support/tempdir.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

using namespace std::chrono_literals;
using test::HttpServer;
using test::ReceivedRequest;
using test::Reply;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

class WebRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // /p/<n>: records "<b>n.1</b><b>n.2</b>"; /empty/<n>: no records.
    server.On("/p/*", [](const ReceivedRequest& r) {
      const std::string n = r.path.substr(3);
      return Reply::Text("<b>" + n + ".1</b><b>" + n + ".2</b>");
    });
    server.On("/empty/*", [](const ReceivedRequest&) { return Reply::Text("nothing"); });
  }

  // A text-tag web templet with one column of <b> values, laid out in the grid.
  int AddTemplet(const std::string& url) {
    store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('web',1,1,0)");
    const int id = static_cast<int>(store.qryM.LastIdentity());
    store.qryM.Execute("insert into urls(tmid,url) values(" + std::to_string(id) + "," +
                       QuotedStr(url) + ")");
    return id;
  }
  void AddColumn(int id, const std::string& begw, const std::string& endw, int tag = 0) {
    store.qryM.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + std::to_string(id) +
                       (tag == 1 ? ",''," : ",'c',") + QuotedStr(begw) + "," + QuotedStr(endw) +
                       "," + std::to_string(tag) + "," + std::to_string(next_nox++) + ")");
  }
  void AddLoginRow(int id, int tag, const std::string& nam, const std::string& val) {
    store.qryM.Execute("insert into nvps(tmid,nam,val,tag) values(" + std::to_string(id) + "," +
                       QuotedStr(nam) + "," + QuotedStr(val) + "," + std::to_string(tag) + ")");
  }
  TTemplet Templet(int id) {
    store.qryM.Open("select count(*) from cols where tmid=" + std::to_string(id) +
                    " and (tag=0 or tag=2 or tag=3)");
    host.Columns(store.qryM.AsInt(0));
    TTemplet t;
    t.ID = id;
    t.IsURL = true;
    t.IsTextTag = true;
    t.ImgDir = images.Path().string() + "/";
    return t;
  }
  int BoldTemplet(const std::string& url) {
    const int id = AddTemplet(url);
    AddColumn(id, "<b>", "</b>");
    return id;
  }
  bool Run(int id) {
    const TTemplet t = Templet(id);
    return ExtractNow(ctx, &t, hooks);
  }
  // The targets the server was asked for, in order.
  Lines Targets() const {
    Lines targets;
    for (const ReceivedRequest& r : server.Requests())
      targets.push_back(r.method == "GET" ? r.target : r.method + " " + r.target);
    return targets;
  }
  void MakeTable() {
    store.conn.Execute(
        "create table t1(id autoincrement primary key,fx smallint default 0,f1 varchar(50))");
  }
  void AddValue(const std::string& value) {
    store.qryM.Execute("insert into t1(f1) values(" + QuotedStr(value) + ")");
  }
  Lines Flags() {
    Lines flags;
    for (store.qryN.Open("select f1,fx from t1 order by id"); !store.qryN.Eof();
         store.qryN.Next()) {
      flags.push_back(store.qryN.AsString(0) + "=" + store.qryN.AsString(1));
    }
    return flags;
  }
  void ExpectFailedLoad(const std::string& url) {
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption, "Error");
    EXPECT_EQ(host.messages[0].text, "Fail loading or interrupted by youself:\n" + url);
    EXPECT_EQ(host.messages[0].icon, RunHost::Icon::kWarning);
    EXPECT_EQ(host.messages[0].buttons, RunHost::Buttons::kOk);
  }

  test::TempDir dir;
  test::TempDir images;
  Tdm store{dir.File("data.mdb")};
  HttpServer server;
  HttpClient http;
  test::TestHost host;
  RegExpr re;
  RunState state;
  RunContext ctx{.host = host, .store = store, .re = re, .state = state, .http = &http};
  RunCommandHooks hooks;
  int next_nox = 0;
};

TEST_F(WebRunTest, RangePagesAreFetchedInOrder) {
  const int id = BoldTemplet(server.Url("/p/<AUTOINC:3,5/>"));
  EXPECT_TRUE(Run(id));
  EXPECT_EQ(Targets(), (Lines{"/p/3", "/p/4", "/p/5"}));
  EXPECT_EQ(host.Rows(), (Lines{"3.1", "3.2", "4.1", "4.2", "5.1", "5.2"}));
  EXPECT_EQ(host.statuses.front(), "Loading: " + server.Url("/p/3"));
  EXPECT_EQ(host.statuses.back(), "Done! All 6 records extracted.");
  const ReceivedRequest first = server.Requests().front();
  EXPECT_EQ(first.Header("Content-Type"), "text/html");
  EXPECT_TRUE(host.messages.empty());

  // A backward range fetches nothing.
  server.ClearRequests();
  const int backward = BoldTemplet(server.Url("/p/<AUTOINC:5,3/>"));
  EXPECT_TRUE(Run(backward));
  EXPECT_TRUE(Targets().empty());
  EXPECT_EQ(host.statuses.back(), "Done! All 0 records extracted.");
}

TEST_F(WebRunTest, EndTagFormStopsAfterThePageWithoutTheText) {
  server.On("/next", [](const ReceivedRequest& r) {
    const std::string n = r.target.substr(r.target.find('=') + 1);
    return Reply::Text("<b>" + n + "</b>" + (n == "3" ? "" : "<a>More</a>"));
  });
  const int id = BoldTemplet(server.Url("/next?p=<AUTOINC:more</a>/>"));
  EXPECT_TRUE(Run(id));
  EXPECT_EQ(Targets(), (Lines{"/next?p=1", "/next?p=2", "/next?p=3"}));
  // The last page's records are still taken.
  EXPECT_EQ(host.Rows(), (Lines{"1", "2", "3"}));

  // A first page without the text is the only page.
  server.ClearRequests();
  const int single = BoldTemplet(server.Url("/p/<AUTOINC:Next/>"));
  EXPECT_TRUE(Run(single));
  EXPECT_EQ(Targets(), (Lines{"/p/1"}));
}

TEST_F(WebRunTest, AFailedLoadShowsTheMessageAndEndsTheRun) {
  server.On("/p/2", [](const ReceivedRequest&) {
    Reply r = Reply::Text("gone");
    r.status = 404;
    return r;
  });
  const int id = BoldTemplet(server.Url("/p/<AUTOINC:1,3/>"));
  EXPECT_TRUE(Run(id));
  ExpectFailedLoad(server.Url("/p/2"));
  EXPECT_EQ(Targets(), (Lines{"/p/1", "/p/2"}));
  EXPECT_EQ(host.Rows(), (Lines{"1.1", "1.2"}));  // the records before it stay
  EXPECT_EQ(host.statuses.back(), "Done! All 2 records extracted.");
  EXPECT_FALSE(host.stop_enabled);
}

TEST_F(WebRunTest, StopDuringASlowResponseIsAFailedLoad) {
  MakeTable();
  AddValue("A");
  AddValue("B");
  server.On("/slow/*", [](const ReceivedRequest&) {
    Reply r = Reply::Text(std::string(4000, 'x'));
    r.delivery = Reply::Delivery::kStall;
    return r;
  });
  const int id = BoldTemplet(server.Url("/slow/<FIELD:T1,F1/>"));
  // The user clicks Stop while the window processes events during the wait.
  host.on_events = [this] {
    if (host.events_processed == 5) host.stop_enabled = false;
  };
  const auto start = Clock::now();
  EXPECT_TRUE(Run(id));
  EXPECT_LT(Clock::now() - start, 5s);
  ExpectFailedLoad(server.Url("/slow/A"));
  EXPECT_EQ(Targets(), (Lines{"/slow/A"}));
  EXPECT_EQ(Flags(), (Lines{"A=0", "B=0"}));
  EXPECT_EQ(host.statuses.back(), "Done! All 0 records extracted.");
}

TEST_F(WebRunTest, StopBetweenPagesEndsTheRunWithoutMessage) {
  const int id = BoldTemplet(server.Url("/p/<AUTOINC:1,3/>"));
  host.stop_after = 3;  // "Loading" of the first page and its two records
  EXPECT_TRUE(Run(id));
  EXPECT_EQ(Targets(), (Lines{"/p/1"}));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.statuses.back(), "Done! All 2 records extracted.");
}

TEST_F(WebRunTest, FieldValuesAreVisitedOnceAcrossRuns) {
  MakeTable();
  AddValue("a b&c");
  AddValue("O'x");
  AddValue("");
  const int id = AddTemplet(server.Url("/p/<FIELD:T1,F1/>"));
  AddColumn(id, "", "", 2);  // the field value
  AddColumn(id, "<b>", "</b>");
  EXPECT_TRUE(Run(id));
  // The value goes into the address as it is (the client sends a space as %20).
  EXPECT_EQ(Targets(), (Lines{"/p/a%20b&c", "/p/O'x", "/p/"}));
  EXPECT_EQ(host.Rows(),
            (Lines{"a b&c|a b&c.1", "a b&c|a b&c.2", "O'x|O'x.1", "O'x|O'x.2", "|.1", "|.2"}));
  EXPECT_EQ(Flags(), (Lines{"a b&c=1", "O'x=1", "=1"}));

  // Nothing is left for a second run.
  server.ClearRequests();
  EXPECT_TRUE(Run(id));
  EXPECT_TRUE(Targets().empty());
  EXPECT_EQ(host.statuses.back(), "Done! All 0 records extracted.");
}

TEST_F(WebRunTest, ANullFieldValueComesBackInTheNextRun) {
  MakeTable();
  AddValue("x");
  store.qryM.Execute("insert into t1(fx) values(0)");
  const int id = BoldTemplet(server.Url("/p/<FIELD:T1,F1/>"));
  EXPECT_TRUE(Run(id));
  EXPECT_EQ(Targets(), (Lines{"/p/x", "/p/"}));
  server.ClearRequests();
  EXPECT_TRUE(Run(id));
  EXPECT_EQ(Targets(), (Lines{"/p/"}));
}

TEST_F(WebRunTest, BothTagsStopAValuesPagesAtTheFirstPageWithoutRecords) {
  MakeTable();
  AddValue("A");
  AddValue("B");
  server.On("/v/*", [](const ReceivedRequest& r) {
    // A has records on page 1 only; B on every page.
    const bool records = r.path.starts_with("/v/B") || r.path == "/v/A/1";
    return Reply::Text(records ? "<b>" + r.path + "</b>" : "none");
  });
  const int id = BoldTemplet(server.Url("/v/<FIELD:T1,F1/>/<AUTOINC:1,3/>"));
  EXPECT_TRUE(Run(id));
  EXPECT_EQ(Targets(), (Lines{"/v/A/1", "/v/A/2", "/v/B/1", "/v/B/2", "/v/B/3"}));
  EXPECT_EQ(Flags(), (Lines{"A=1", "B=1"}));
}

TEST_F(WebRunTest, CapitalHttpsUsesTlsWithASelfSignedCertificate) {
  HttpServer secure(HttpServer::Scheme::kHttps);
  secure.On("/p", [](const ReceivedRequest&) { return Reply::Text("<b>safe</b>"); });
  std::string url = secure.Url("/p");
  url.replace(0, 6, "HTTPS:");
  const int id = BoldTemplet(url);
  EXPECT_TRUE(Run(id));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.Rows(), (Lines{"safe"}));

  // A plain templet afterwards runs with TLS off again: an https redirect fails.
  server.On("/to-tls",
            [&secure](const ReceivedRequest&) { return Reply::Redirect(secure.Url("/p")); });
  const int plain = BoldTemplet(server.Url("/to-tls"));
  EXPECT_TRUE(Run(plain));
  ExpectFailedLoad(server.Url("/to-tls"));
}

TEST_F(WebRunTest, CookiesOfTheLoginPostGoWithThePagesOfThisAndLaterRuns) {
  server.On("/login", [](const ReceivedRequest& r) {
    Reply reply = Reply::Text("welcome");
    if (r.method == "POST" && r.body == "user=jo") {
      reply.headers.push_back({"Set-Cookie", "sid=s3cret; Path=/"});
    }
    return reply;
  });
  server.On("/member", [](const ReceivedRequest& r) {
    return Reply::Text(r.Header("Cookie") == "sid=s3cret" ? "<b>in</b>" : "<b>out</b>");
  });
  const int id = BoldTemplet(server.Url("/member"));
  AddLoginRow(id, kLoginUrl, "", server.Url("/login"));
  AddLoginRow(id, kLoginField, "user", "jo");
  EXPECT_TRUE(Run(id));
  EXPECT_EQ(Targets(), (Lines{"POST /login", "/member"}));
  EXPECT_EQ(host.Rows(), (Lines{"in"}));

  // Another templet without login rows, later: the cookie is still sent.
  const int later = BoldTemplet(server.Url("/member"));
  EXPECT_TRUE(Run(later));
  EXPECT_EQ(host.Rows(), (Lines{"in"}));
}

TEST_F(WebRunTest, LoginFailuresAndCancelEndTheRunBeforeAnyPage) {
  const int failing = BoldTemplet(server.Url("/p/1"));
  AddLoginRow(failing, kLoginUrl, "", server.Url("/no-login"));
  EXPECT_TRUE(Run(failing));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Cann't login, please wait a moment and try again.");
  EXPECT_EQ(host.messages[0].icon, RunHost::Icon::kError);
  EXPECT_EQ(Targets(), (Lines{"POST /no-login"}));
  EXPECT_EQ(host.statuses.back(), "Done! All 0 records extracted.");

  // A cancelled verification question: no post, no page, no message.
  server.ClearRequests();
  host.messages.clear();
  const int cancelled = BoldTemplet(server.Url("/p/1"));
  AddLoginRow(cancelled, kLoginUrl, "", server.Url("/login"));
  AddLoginRow(cancelled, kLoginImageCode, "code", server.Url("/code.gif"));
  EXPECT_TRUE(Run(cancelled));
  EXPECT_EQ(host.questions, 1);
  EXPECT_TRUE(Targets().empty());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.statuses.back(), "Done! All 0 records extracted.");
}

TEST_F(WebRunTest, AVerificationCodeIsPostedWithTheForm) {
  server.On("/login", [](const ReceivedRequest&) { return Reply::Text("form"); });
  server.On("/code.gif", [](const ReceivedRequest&) { return Reply::Text("GIF89a"); });
  const int id = BoldTemplet(server.Url("/p/1"));
  AddLoginRow(id, kLoginUrl, "", server.Url("/login"));
  AddLoginRow(id, kLoginImageCode, "code", server.Url("/code.gif"));
  host.ask_code = [](const VerificationCodeRequest& request, std::string& code) {
    std::string bytes;
    if (!request.open_login_page(request.login_url)) return false;
    if (!request.fetch_image(request.image_url, bytes) || bytes != "GIF89a") return false;
    code = "w7k";
    return true;
  };
  EXPECT_TRUE(Run(id));
  EXPECT_EQ(Targets(), (Lines{"/login", "/code.gif", "POST /login", "/p/1"}));
  EXPECT_EQ(server.Requests()[2].body, "code=w7k");
  EXPECT_EQ(host.Rows(), (Lines{"1.1", "1.2"}));
}

TEST_F(WebRunTest, BasicAuthenticationIsSentOnlyByTheTempletThatHasIt) {
  server.On("/private", [](const ReceivedRequest& r) {
    return Reply::Text("<b>" + r.Header("Authorization") + "</b>");
  });
  // The site is the one of the templet's URL, tags and all.
  const int with = BoldTemplet(server.Url("/private?p=<AUTOINC:1,2/>"));
  AddLoginRow(with, kLoginBasicAuth, "jo", "secret");
  EXPECT_TRUE(Run(with));
  EXPECT_EQ(host.Rows(), (Lines{"Basic am86c2VjcmV0", "Basic am86c2VjcmV0"}));

  const int without = BoldTemplet(server.Url("/private"));
  EXPECT_TRUE(Run(without));
  EXPECT_FALSE(server.LastRequest().HasHeader("Authorization"));
}

TEST_F(WebRunTest, ImageColumnsTakeConsecutiveNumbers) {
  server.On("/gallery", [](const ReceivedRequest&) {
    return Reply::Text(
        "<tr><i>a.gif</i><j>/img/b.png</j></tr>"
        "<tr><i>/none/missing.gif</i><j>/img/d.png</j></tr>");
  });
  server.On("/img/*", [](const ReceivedRequest& r) { return Reply::Text("image " + r.path); });
  const int id = AddTemplet(server.Url("/gallery"));
  AddColumn(id, "<i>", "</i>", 3);
  AddColumn(id, "<j>", "</j>", 3);
  AddColumn(id, "<tr>", "</tr>", 1);
  // "a.gif" resolves against the page; /none/missing.gif answers 404, and its number is spent
  // all the same.
  server.On("/a.gif", [](const ReceivedRequest&) { return Reply::Text("a"); });
  EXPECT_TRUE(Run(id));
  EXPECT_EQ(host.Rows(), (Lines{"img-1.gif|img-2.png", "|img-4.png"}));
  std::ifstream in(images.Path() / "img-2.png", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "image /img/b.png");
  EXPECT_FALSE(std::filesystem::exists(images.Path() / "img-3.gif"));
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(WebRunTest, ImagesOfALocalRunReachHttpsWhateverTheRunBeforeUsed) {
  HttpServer secure(HttpServer::Scheme::kHttps);
  secure.On("/pic.gif", [](const ReceivedRequest&) { return Reply::Text("GIF89a"); });
  // A plain web run first: nothing of its settings stays for the next run.
  EXPECT_TRUE(Run(BoldTemplet(server.Url("/p/1"))));
  const std::filesystem::path page = images.Path() / "page.html";
  std::ofstream(page) << "<i>" << secure.Url("/pic.gif") << "</i>";
  const int id = AddTemplet(server.Url("/unused"));
  AddColumn(id, "<i>", "</i>", 3);
  RunCommandHooks local = hooks;
  local.choose_files = [&page](std::vector<std::string>& files) {
    files = {page.string()};
    return true;
  };
  const TTemplet t = Templet(id);
  EXPECT_TRUE(OpenAndExtract(ctx, &t, local));
  EXPECT_EQ(host.Rows(), (Lines{"img-1.gif"}));
  EXPECT_EQ(secure.RequestCount(), 1u);
}

TEST_F(WebRunTest, EventsAreProcessedWhileAResponseIsSlow) {
  server.On("/late", [](const ReceivedRequest&) {
    std::this_thread::sleep_for(200ms);
    return Reply::Text("<b>late</b>");
  });
  const int id = BoldTemplet(server.Url("/late"));
  EXPECT_TRUE(Run(id));
  EXPECT_GE(host.events_processed, 5);
  EXPECT_EQ(host.Rows(), (Lines{"late"}));
}

// Pages in 8-bit encodings and UTF-8, served with and without declarations: a templet that
// converts its pages finds tags typed in UTF-8 and fills its cells in UTF-8; one that takes its
// pages as they are keeps their bytes.
TEST_F(WebRunTest, PagesAreConvertedToUtf8BeforeCuttingWhenTheTempletSaysSo) {
  struct Case {
    const char* name;
    std::string body;          // "<b>" + a word + "</b>", in the page's bytes
    std::string content_type;  // as served
    std::string utf8;          // the word in UTF-8
  };
  const std::string cyrillic = "\xD1\x86\xD0\xB5\xD0\xBD\xD0\xB0";  // "цена"
  const std::string latin = "caf\xC3\xA9 \xE2\x82\xAC";             // "café €"
  const std::vector<Case> cases = {
      {"1251 by header", "<b>\xF6\xE5\xED\xE0</b>", "text/html; charset=windows-1251", cyrillic},
      {"1251 by meta", "<meta charset=\"windows-1251\"><b>\xF6\xE5\xED\xE0</b>", "text/html",
       cyrillic},
      {"1251 by http-equiv",
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-1251\">"
       "<b>\xF6\xE5\xED\xE0</b>",
       "text/html", cyrillic},
      {"1252 by header", "<b>caf\xE9 \x80</b>", "text/html; charset=windows-1252", latin},
      {"1252 without declaration", "<b>caf\xE9 \x80</b>", "text/html", latin},
      {"ISO-8859-1 read as 1252", "<b>caf\xE9 \x80</b>", "text/html; charset=ISO-8859-1", latin},
      {"UTF-8 by header", "<b>" + latin + "</b>", "text/html; charset=utf-8", latin},
      {"UTF-8 without declaration", "<b>" + latin + "</b>", "text/html", latin},
      {"UTF-8 with a byte order mark", "\xEF\xBB\xBF<b>" + latin + "</b>", "text/html", latin},
      {"the header wins over the meta", "<meta charset=\"utf-8\"><b>\xF6\xE5\xED\xE0</b>",
       "text/html; charset=windows-1251", cyrillic},
  };
  for (const Case& c : cases) {
    for (const bool convert : {true, false}) {
      server.On("/page", [c](const ReceivedRequest&) {
        Reply reply = Reply::Text(c.body);
        reply.content_type = c.content_type;
        return reply;
      });
      const int id = AddTemplet(server.Url("/page"));
      AddColumn(id, "<b>", "</b>");
      // A start marker typed in UTF-8 matches only the converted page, unless the page is UTF-8.
      AddColumn(id, "", "", 1);
      store.qryM.Execute("update cols set tit='<b>' where tag=1 and tmid=" + std::to_string(id));
      SavePageSettings(store, id, {convert, false, false});
      ASSERT_TRUE(Run(id)) << c.name;
      const std::string raw =
          c.body.substr(c.body.rfind("<b>") + 3, c.body.rfind("</b>") - c.body.rfind("<b>") - 3);
      EXPECT_EQ(host.Rows(), Lines{convert ? c.utf8 : raw}) << c.name << (convert ? "" : " as is");
      next_nox = 0;
    }
  }
}

TEST_F(WebRunTest, RunGuardsStopRepeatsAndNameEmptyPages) {
  // Past page 2 the site answers with page 2 again; /past1/<n> answers with page 1 instead.
  server.On("/last/*", [](const ReceivedRequest& r) {
    const std::string n = std::to_string(std::min(std::stoi(r.path.substr(6)), 2));
    return Reply::Text("<b>" + n + "</b>");
  });
  server.On("/past1/*", [](const ReceivedRequest& r) {
    const int n = std::stoi(r.path.substr(7));
    return Reply::Text("<b>" + std::to_string(n > 3 ? 1 : n) + "</b>");
  });
  server.On("/gap/*", [](const ReceivedRequest& r) {
    const int n = std::stoi(r.path.substr(5));
    return Reply::Text(n == 2 ? "<i>redesigned</i>" : "<b>" + std::to_string(n) + "</b>");
  });
  struct Case {
    const char* name;
    std::string path;
    PageSettings settings;
    Lines targets;
    Lines rows;
    Lines notes;
  };
  const std::vector<Case> cases = {
      {"the last page again",
       "/last/<AUTOINC:1,9/>",
       {false, true, false},
       {"/last/1", "/last/2", "/last/3"},
       {"2", "1", "2"},
       {"The page sequence stopped: " + server.Url("/last/3") +
        " repeats an earlier page of the sequence."}},
      {"page 1 again",
       "/past1/<AUTOINC:1,9/>",
       {false, true, false},
       {"/past1/1", "/past1/2", "/past1/3", "/past1/4"},
       {"3", "1", "2", "3"},
       {"The page sequence stopped: " + server.Url("/past1/4") +
        " repeats an earlier page of the sequence."}},
      {"the end-tag form stops too",
       "/last/<AUTOINC:</b>/>",
       {false, true, false},
       {"/last/1", "/last/2", "/last/3"},
       {"2", "1", "2"},
       {"The page sequence stopped: " + server.Url("/last/3") +
        " repeats an earlier page of the sequence."}},
      {"without the guard every page comes",
       "/last/<AUTOINC:1,4/>",
       {},
       {"/last/1", "/last/2", "/last/3", "/last/4"},
       {"4", "1", "2", "2", "2"},
       {}},
      {"an empty page among pages with records",
       "/gap/<AUTOINC:1,3/>",
       {false, false, true},
       {"/gap/1", "/gap/2", "/gap/3"},
       {"2", "1", "3"},
       {"No record on " + server.Url("/gap/2") +
        ", although earlier pages of the run gave records."}},
      {"no warning without the guard",
       "/gap/<AUTOINC:1,3/>",
       {},
       {"/gap/1", "/gap/2", "/gap/3"},
       {"2", "1", "3"},
       {}},
  };
  for (const Case& c : cases) {
    server.ClearRequests();
    host.notes.clear();
    const int id = BoldTemplet(server.Url(c.path));
    SavePageSettings(store, id, c.settings);
    ASSERT_TRUE(Run(id)) << c.name;
    EXPECT_EQ(Targets(), c.targets) << c.name;
    Lines rows = {std::to_string(state.extracted)};
    for (const std::string& row : host.Rows())
      rows.push_back(row);
    EXPECT_EQ(rows, c.rows) << c.name;
    EXPECT_EQ(host.notes, c.notes) << c.name;
    EXPECT_EQ(state.pages_taken + 0, static_cast<int>(c.targets.size()) -
                                         (c.notes.empty() || c.settings.warn_empty_page ? 0 : 1))
        << c.name;
  }
}

TEST_F(WebRunTest, ARepeatedPageEndsAFieldValueListBeforeThatValue) {
  MakeTable();
  for (const char* value : {"a", "b", "c"})
    AddValue(value);
  // Every value past "a" gets the same page.
  server.On("/v/*", [](const ReceivedRequest& r) {
    return Reply::Text(r.path == "/v/a" ? "<b>A</b>" : "<b>other</b>");
  });
  const int id = BoldTemplet(server.Url("/v/<FIELD:T1,F1/>"));
  SavePageSettings(store, id, {false, true, false});
  ASSERT_TRUE(Run(id));
  EXPECT_EQ(Targets(), (Lines{"/v/a", "/v/b", "/v/c"}));
  EXPECT_EQ(host.Rows(), (Lines{"A", "other"}));
  // The value whose page repeated, and those after it, are visited again by the next run.
  EXPECT_EQ(Flags(), (Lines{"a=1", "b=1", "c=0"}));
}

}  // namespace
}  // namespace sorvane
