// The fault suite: runs and requests against sites and pages that behave as a broken or hostile
// site would, each case asserting what the user gets (a failed load with its cause, nothing of
// that page in the grid, no file left behind, nothing sent where it does not belong).

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/store.h"
#include "engine/httpclient.h"
#include "engine/images.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "support/faultserver.h"
#include "support/httpserver.h"
#include "support/tempdir.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

// Every address served, https and plain.
RequestSettings TlsOn() {
  RequestSettings settings;
  settings.tls = true;
  return settings;
}
const RequestSettings kTls = TlsOn();

using namespace std::chrono_literals;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;
using test::FaultServer;
using test::Response;

class FaultTest : public ::testing::Test {
 protected:
  // A templet over local files (text tags, or the expression `expression`) with one column.
  TTemplet LocalTemplet(const std::string& expression = {}) {
    const bool text_tag = expression.empty();
    store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('t',0," +
                       std::to_string(text_tag) + ",0)");
    TTemplet t;
    t.ID = static_cast<int>(store.qryM.LastIdentity());
    t.IsTextTag = text_tag;
    const std::string id = std::to_string(t.ID);
    if (!text_tag) {
      store.qryM.Execute("insert into exps(tmid,expr) values(" + id + "," + QuotedStr(expression) +
                         ")");
    }
    store.qryM.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id + ",'c'," +
                       (text_tag ? "'<b>','</b>'" : "'$1',''") + ",0,0)");
    host.Columns(1);
    return t;
  }
  // A text-tag web templet over `url` with one column of <b> values.
  TTemplet WebTemplet(const std::string& url) {
    TTemplet t = LocalTemplet();
    t.IsURL = true;
    store.qryM.Execute("update tmps set typ=1 where tmid=" + std::to_string(t.ID));
    store.qryM.Execute("insert into urls(tmid,url) values(" + std::to_string(t.ID) + "," +
                       QuotedStr(url) + ")");
    return t;
  }
  // Runs `t` and expects the failed load of `url` with a cause that contains `cause`, and no row.
  void ExpectFailedLoad(const TTemplet& t, const std::string& url, const std::string& cause) {
    host.messages.clear();
    host.causes.clear();
    ExtractNow(ctx, &t, hooks);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Fail loading or interrupted by youself:\n" + url);
    ASSERT_EQ(host.causes.size(), 2u);  // the run's start clears it
    EXPECT_NE(host.causes[1].find(cause), std::string::npos) << host.causes[1];
    EXPECT_EQ(host.grid.DataRowCount(), 0);
  }

  test::TempDir dir;
  Tdm store{dir.File("data.mdb")};
  test::TestHost host;
  RegExpr re;
  RunState state;
  HttpClient http;
  RunContext ctx{host, store, re, state, nullptr, {}, &http};
  RunCommandHooks hooks;
};

// ---------------------------------------------------------------------------------------------
// Expressions

TEST_F(FaultTest, StopEndsARunawayExpressionSearchAtOnce) {
  std::string page;
  while (page.size() < 18000)
    page += std::string(28, 'a') + "!";
  const std::string file = dir.Write("page.txt", page);
  for (const std::string expression : {"(a|aa)*$|(?!)(*SKIP)", "(a|aa)*$"}) {
    SCOPED_TRACE(expression);
    const TTemplet t = LocalTemplet(expression);
    const Clock::time_point began = Clock::now();
    host.on_events = [&] {
      if (Clock::now() - began > 100ms) host.stop_enabled = false;
    };
    host.statuses.clear();
    EXPECT_TRUE(RunTemplet(ctx, t, {file, file}, hooks));
    EXPECT_LT(Clock::now() - began, 300ms);
    EXPECT_EQ(host.grid.DataRowCount(), 0);
    // Stopped, not failed: no expression error, and the second file is never read.
    EXPECT_EQ(host.statuses,
              (std::vector<std::string>{"Loading: " + file, "Done! All 0 records extracted."}));
  }
  host.on_events = {};
}

// ---------------------------------------------------------------------------------------------
// Pages

std::string HeadersAndBody(std::string_view headers, std::string_view body) {
  return "HTTP/1.1 200 OK\r\n" + std::string(headers) + "\r\n" + std::string(body);
}

TEST_F(FaultTest, ABrokenResponseIsAFailedLoadWithItsCause) {
  FaultServer site;
  using Then = FaultServer::Then;
  std::string flood;
  for (int i = 0; i < 10000; ++i)
    flood += "X-" + std::to_string(i) + ": v\r\n";
  struct Case {
    std::string path;
    std::string bytes;
    Then then;
    std::string cause;
  };
  const std::string page = "<b>1</b><b>2</b>";
  const std::vector<Case> cases = {
      {"/short-body", HeadersAndBody("Content-Length: 100\r\n", page), Then::kClose,
       "bytes remaining to read"},
      {"/chunked-broken",
       HeadersAndBody("Transfer-Encoding: chunked\r\n", "10\r\n" + page + "\r\nzz\r\n"),
       Then::kClose, "chunked-encoding"},
      {"/chunked-unterminated",
       HeadersAndBody("Transfer-Encoding: chunked\r\n", "10\r\n" + page + "\r\n"), Then::kClose,
       "outstanding read data"},
      {"/length-twice", HeadersAndBody("Content-Length: 8\r\nContent-Length: 16\r\n", page),
       Then::kClose, "two different Content-Length headers: 8 and 16"},
      {"/length-text", HeadersAndBody("Content-Length: 12abc\r\n", page), Then::kClose,
       "the Content-Length header is not a length: 12abc"},
      {"/nul-header", HeadersAndBody("X-A: b"s + '\0' + "c\r\nContent-Length: 16\r\n", page),
       Then::kClose, "Nul byte in header"},
      {"/header-flood", HeadersAndBody(flood, page), Then::kClose, "more than 255 header lines"},
      {"/reset", HeadersAndBody("Content-Length: 100000\r\n", page), Then::kReset,
       "Connection reset by peer"},
      {"/empty", "", Then::kClose, "Empty reply from server"},
      {"/loop", Response("302 Found", {"Location: /loop"}, page), Then::kClose,
       "too many redirects"},
      {"/to-file", Response("302 Found", {"Location: file:///etc/passwd"}, page), Then::kClose,
       "\"file\""},
      {"/to-ftp", Response("302 Found", {"Location: ftp://127.0.0.1/x"}, page), Then::kClose,
       "\"ftp\""},
      {"/to-data", Response("302 Found", {"Location: data:text/html,<b>1</b>"}, page), Then::kClose,
       "data:text/html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    site.On(c.path, c.bytes, c.then);
    ExpectFailedLoad(WebTemplet(site.Url(c.path)), site.Url(c.path), c.cause);
  }
  // A plain answer to a TLS request.
  site.On("/tls", Response("200 OK", {}, page));
  const std::string tls_url = "https://127.0.0.1:" + std::to_string(site.Port()) + "/tls";
  ExpectFailedLoad(WebTemplet(tls_url), tls_url, "TLS handshake failed");
}

TEST_F(FaultTest, AnEndlessBodyEndsAtTheSizeLimit) {
  FaultServer site;
  site.On("/endless", HeadersAndBody("", "<b>1</b>"), FaultServer::Then::kEndless);
  http.SetBodyLimit(std::size_t{1} << 20);
  ExpectFailedLoad(WebTemplet(site.Url("/endless")), site.Url("/endless"),
                   "response larger than 1 MiB");
}

TEST_F(FaultTest, StopEndsAStallAfterTheHeadersAtOnce) {
  FaultServer site;
  site.On("/stall", HeadersAndBody("Content-Length: 100\r\n", "<b>1</b>"),
          FaultServer::Then::kStall);
  const TTemplet t = WebTemplet(site.Url("/stall"));
  const Clock::time_point began = Clock::now();
  host.on_events = [&] {
    if (Clock::now() - began > 100ms) host.stop_enabled = false;
  };
  ExpectFailedLoad(t, site.Url("/stall"), "The transfer was stopped");
  EXPECT_LT(Clock::now() - began, 300ms);
  host.on_events = {};
}

// ---------------------------------------------------------------------------------------------
// Login post and cookies

TEST_F(FaultTest, TheLoginPostReachesNoOtherOrigin) {
  struct Case {
    int status;
    bool to_other;  // the redirect leaves the login URL's origin (another port)
    bool logged_in;
  };
  const std::vector<Case> cases = {
      {307, true, false}, {308, true, false}, {307, false, true}, {308, false, true},
      {301, true, true},  {302, true, true},  {303, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + (c.to_other ? " to another origin" : ""));
    FaultServer site;
    FaultServer other;
    FaultServer& target = c.to_other ? other : site;
    site.On("/login", Response(std::to_string(c.status) + " Moved",
                               {"Location: " + target.Url("/next")}, ""));
    target.On("/next", Response("200 OK", {}, "welcome"));
    site.On("/page", Response("200 OK", {}, "<b>1</b>"));
    const TTemplet t = WebTemplet(site.Url("/page"));
    for (const std::string& row :
         {"2,'','" + site.Url("/login") + "'", "3,'user','jo'"s, "3,'pass','se cret'"s}) {
      store.qryM.Execute("insert into nvps(tmid,tag,nam,val) values(" + std::to_string(t.ID) + "," +
                         row + ")");
    }
    host.messages.clear();
    ExtractNow(ctx, &t, hooks);

    const std::vector<FaultServer::Request> sent = target.Requests();
    if (!c.logged_in) {
      ASSERT_EQ(host.messages.size(), 1u);
      EXPECT_EQ(host.messages[0].text, "Cann't login, please wait a moment and try again.");
      EXPECT_NE(host.causes.back().find("another site"), std::string::npos);
      EXPECT_TRUE(sent.empty());
      EXPECT_EQ(site.Requests().size(), 1u);  // the post alone; no page
      continue;
    }
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.Rows(), (std::vector<std::string>{"1"}));
    ASSERT_FALSE(sent.empty());
    const FaultServer::Request& next = c.to_other ? sent.front() : sent[1];
    EXPECT_EQ(next.path, "/next");
    if (c.status == 307 || c.status == 308) {
      EXPECT_EQ(next.method, "POST");
      EXPECT_EQ(next.body, "user=jo&pass=se%20cret");
    } else {
      EXPECT_EQ(next.method, "GET");
      EXPECT_EQ(next.body, "");
      EXPECT_EQ(next.head.find("Content-Type"), std::string::npos);
    }
  }
}

TEST_F(FaultTest, PlainHttpLeavesSecureCookiesAlone) {
  // Two servers of one host: cookies know no ports, so both share the store's cookies.
  test::HttpServer secure{test::HttpServer::Scheme::kHttps};
  test::HttpServer plain;
  std::string set_cookie;
  const auto setter = [&set_cookie](const test::ReceivedRequest&) {
    test::Reply reply = test::Reply::Text("");
    reply.headers.emplace_back("Set-Cookie", set_cookie);
    return reply;
  };
  secure.On("/set", setter);
  plain.On("/set", setter);
  secure.On("/*", [](const test::ReceivedRequest&) { return test::Reply::Text(""); });
  for (const std::string attack :
       {"sid=evil; Path=/", "sid=evil; Path=/deeper", "sid=gone; Path=/; Max-Age=0",
        "sid=evil; Secure; Path=/", "extra=1; Secure; Path=/"}) {
    SCOPED_TRACE(attack);
    HttpClient client;
    set_cookie = "sid=good; Secure; Path=/";
    client.GetText(secure.Url("/set"), kTls);
    set_cookie = attack;
    client.GetText(plain.Url("/set"), kTls);
    client.GetText(secure.Url("/check"), kTls);
    client.GetText(secure.Url("/deeper/check"), kTls);
    for (const test::ReceivedRequest& r : secure.Requests()) {
      if (r.path.ends_with("/check")) {
        EXPECT_EQ(r.Header("Cookie"), "sid=good") << r.path;
      }
    }
    secure.ClearRequests();
  }
  // Over https the same cookie is replaced as usual.
  HttpClient client;
  set_cookie = "sid=good; Secure; Path=/";
  client.GetText(secure.Url("/set"), kTls);
  set_cookie = "sid=new; Secure; Path=/";
  client.GetText(secure.Url("/set"), kTls);
  client.GetText(secure.Url("/check"), kTls);
  EXPECT_EQ(secure.LastRequest().Header("Cookie"), "sid=new");
}

// ---------------------------------------------------------------------------------------------
// Image files

class ImageFaultTest : public FaultTest {
 protected:
  static constexpr std::size_t kImageSize = 4 << 20;

  void SetUp() override {
    templet.ID = 7;
    templet.ImgDir = images.Path().string() + "/";
    site.On("/a.gif", Response("200 OK", {}, std::string(kImageSize, 'g')));
  }
  // The names in the image folder.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(images.Path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir images;
  FaultServer site;
  TTemplet templet;
};

TEST_F(ImageFaultTest, AFailedOrStoppedDownloadLeavesNoFile) {
  site.On("/reset.gif", HeadersAndBody("Content-Length: 100000\r\n", "GIF89a"),
          FaultServer::Then::kReset);
  site.On("/stall.gif", HeadersAndBody("Content-Length: 100000\r\n", "GIF89a"),
          FaultServer::Then::kStall);
  http.SetPump([this] {
    if (host.on_events) host.on_events();
  });
  const Clock::time_point began = Clock::now();
  host.on_events = [&] {
    if (Clock::now() - began > 100ms) http.Stop();
  };
  for (const std::string path : {"/reset.gif", "/stall.gif"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(DownloadImage(store, http, RequestSettings(), templet, site.Url(path)), "");
    EXPECT_EQ(Files(), std::vector<std::string>{});
  }
}

TEST_F(ImageFaultTest, AnImageIsNeverSeenHalfWritten) {
  // The program is killed in the middle of writing the image (here by the file size limit).
  const auto killed_while_writing = [this] {
    // Room for the store's own writes, not for the image.
    const rlimit limit{kImageSize / 4, kImageSize / 4};
    setrlimit(RLIMIT_FSIZE, &limit);
    DownloadImage(store, http, RequestSettings(), templet, site.Url("/a.gif"));
  };
  EXPECT_EXIT(killed_while_writing(), testing::KilledBySignal(SIGXFSZ), "");
  for (const std::string& name : Files())
    EXPECT_FALSE(name.starts_with("img-")) << name;
  // Unhindered, the image takes its name whole.
  const std::string name =
      DownloadImage(store, http, RequestSettings(), templet, site.Url("/a.gif"));
  EXPECT_EQ(std::filesystem::file_size(images.Path() / name), kImageSize);
}

TEST_F(ImageFaultTest, ALinkOfTheImagesNameIsReplacedNotFollowed) {
  const std::string outside = dir.Write("outside.txt", "keep me");
  store.qryM.Execute("update opts set val='40' where tmid=0 and oid=1");
  std::filesystem::create_symlink(outside, images.Path() / "img-41.gif");
  EXPECT_EQ(DownloadImage(store, http, RequestSettings(), templet, site.Url("/a.gif")),
            "img-41.gif");
  std::ifstream in(outside);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == "keep me");
  EXPECT_FALSE(std::filesystem::is_symlink(images.Path() / "img-41.gif"));
  EXPECT_EQ(std::filesystem::file_size(images.Path() / "img-41.gif"), kImageSize);
  EXPECT_EQ(Files(), std::vector<std::string>{"img-41.gif"});
}

}  // namespace
}  // namespace sorvane
