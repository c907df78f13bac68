#include "engine/httpclient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/httpserver.h"

namespace sorvane {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using test::HttpServer;
using test::RawServer;
using test::ReceivedRequest;
using test::Reply;
using Clock = std::chrono::steady_clock;

RequestSettings Settings(bool tls, std::string type = "", std::optional<BasicAuth> auth = {}) {
  RequestSettings settings;
  settings.tls = tls;
  settings.content_type = std::move(type);
  settings.basic_auth = std::move(auth);
  return settings;
}
// Plain connections, no content type, no credentials.
const RequestSettings kPlain = Settings(false);
const RequestSettings kTls = Settings(true);

// ---------------------------------------------------------------------------------------------
// Form body encoding

struct FormCase {
  std::vector<std::string> lines;
  std::string body;
};

class FormBodyTest : public testing::TestWithParam<FormCase> {};

TEST_P(FormBodyTest, EncodesValuesOnly) {
  EXPECT_EQ(EncodeFormBody(GetParam().lines), GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormBodyTest,
    testing::Values(FormCase{{}, ""}, FormCase{{"user=jo"}, "user=jo"},
                    FormCase{{"user=jo", "pass=x"}, "user=jo&pass=x"},
                    // A space becomes %20; "&", "=", "+" and "?" stay as they are.
                    FormCase{{"q=a b"}, "q=a%20b"}, FormCase{{"q=x&y=z"}, "q=x&y=z"},
                    FormCase{{"q=a+b?c=d"}, "q=a+b?c=d"},
                    FormCase{{"v=*#%<> []"}, "v=%2A%23%25%3C%3E%20%5B%5D"},
                    // Bytes 33..128 stay, everything else is escaped with upper-case digits.
                    FormCase{{"v=!~\x7F\x80"}, "v=!~\x7F\x80"},
                    FormCase{{"v=\x81\xAB\xFF"}, "v=%81%AB%FF"},
                    FormCase{{"v=\t\r\n"s + '\0'}, "v=%09%0D%0A%00"},
                    // Only the value is encoded; a line without "=" goes as it is.
                    FormCase{{"my name=a b"}, "my name=a%20b"},
                    FormCase{{"free text*"}, "free text*"}, FormCase{{"a=b=c d"}, "a=b=c%20d"},
                    FormCase{{"empty="}, "empty="},
                    // Blanks at both ends of the whole body go; inner ones stay.
                    FormCase{{"  a=1", "b=2  "}, "a=1&b=2%20%20"}, FormCase{{"a=1", "  "}, "a=1&"},
                    FormCase{{" x y "}, "x y"}));

// ---------------------------------------------------------------------------------------------
// Requests against real servers

class HttpClientTest : public testing::Test {
 protected:
  HttpServer server;
  HttpClient client;

  void Serve(std::string path, std::string body) {
    server.On(std::move(path), [body](const ReceivedRequest&) { return Reply::Text(body); });
  }
};

TEST_F(HttpClientTest, BodyArrivesByteForByte) {
  std::string bytes;
  for (int i = 0; i < 256; ++i)
    bytes += static_cast<char>(i);
  bytes += bytes;
  Serve("/bin", bytes);
  EXPECT_EQ(client.GetText(server.Url("/bin"), kPlain), bytes);
  EXPECT_EQ(client.GetBytes(server.Url("/bin"), kPlain), bytes);
}

TEST_F(HttpClientTest, TellsTheContentTypeOfTheLastResponse) {
  server.On("/cp", [](const ReceivedRequest&) {
    Reply r = Reply::Text("x");
    r.content_type = "text/html; charset=windows-1251";
    return r;
  });
  EXPECT_EQ(client.ResponseContentType(), "");
  client.GetText(server.Url("/cp"), kPlain);
  EXPECT_EQ(client.ResponseContentType(), "text/html; charset=windows-1251");
  EXPECT_THROW(client.GetText("http://127.0.0.1:1/", kPlain), HttpError);
  EXPECT_EQ(client.ResponseContentType(), "");
}

TEST_F(HttpClientTest, SendsTheProfileHeaders) {
  Serve("/p", "x");
  client.GetText(server.Url("/p"), Settings(false, "text/html"));
  const ReceivedRequest r = server.LastRequest();
  EXPECT_EQ(r.RequestLine(), "GET /p HTTP/1.1");
  EXPECT_EQ(r.Header("Accept"), "text/html, */*");
  EXPECT_EQ(r.Header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
  EXPECT_FALSE(r.HasHeader("Accept-Encoding"));
  EXPECT_FALSE(r.HasHeader("Authorization"));
  EXPECT_FALSE(r.HasHeader("Cookie"));
}

TEST_F(HttpClientTest, ContentTypeSentOnlyWhenSet) {
  Serve("/p", "x");
  struct Case {
    std::string type;
    bool sent;
  };
  for (const Case& c : {Case{"text/html", true}, Case{"image/*", true}, Case{"", false},
                        Case{"application/x-www-form-urlencoded", true}}) {
    SCOPED_TRACE(c.type);
    client.GetText(server.Url("/p"), Settings(false, c.type));
    const ReceivedRequest r = server.LastRequest();
    EXPECT_EQ(r.HasHeader("Content-Type"), c.sent);
    EXPECT_EQ(r.Header("Content-Type"), c.type);
  }
}

TEST_F(HttpClientTest, OnlyTwoHundredsSucceed) {
  struct Case {
    int status;
    bool ok;
    std::string message;
  };
  const std::vector<Case> cases = {
      {200, true, ""},
      {201, true, ""},
      {204, true, ""},
      {299, true, ""},
      {404, false, "HTTP/1.1 404 Not Found"},
      {500, false, "HTTP/1.1 500 Internal Server Error"},
      {301, false, "HTTP/1.1 301 Moved Permanently"},  // no Location: nothing to follow
      {304, false, "HTTP/1.1 304 Not Modified"},
      {401, false, "HTTP/1.1 401 Unauthorized"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    const std::string path = "/s" + std::to_string(c.status);
    server.On(path, [&c](const ReceivedRequest&) {
      Reply r = Reply::Text(c.status == 204 || c.status == 304 ? "" : "page");
      r.status = c.status;
      return r;
    });
    if (c.ok) {
      EXPECT_NO_THROW(client.GetText(server.Url(path), kPlain));
    } else {
      try {
        client.GetText(server.Url(path), kPlain);
        ADD_FAILURE() << "no error";
      } catch (const HttpError& e) {
        EXPECT_EQ(std::string(e.what()), c.message);
      }
    }
  }
}

TEST_F(HttpClientTest, AnUnknownPageIsAFailureNotAnEmptyPage) {
  EXPECT_THROW(client.GetText(server.Url("/missing"), kPlain), HttpError);
}

TEST_F(HttpClientTest, FollowsFifteenRedirectsButNotSixteen) {
  // /r/N answers with a redirect to /r/N-1; /r/0 is the page.
  server.On("/r/*", [this](const ReceivedRequest& r) {
    const int n = std::stoi(r.path.substr(3));
    if (n == 0) return Reply::Text("final");
    return Reply::Redirect(server.Url("/r/" + std::to_string(n - 1)));
  });
  EXPECT_EQ(client.GetText(server.Url("/r/15"), kPlain), "final");
  EXPECT_EQ(client.LastUrl(), server.Url("/r/0"));
  EXPECT_THROW(client.GetText(server.Url("/r/16"), kPlain), HttpError);
}

TEST_F(HttpClientTest, RedirectKindsAreFollowed) {
  for (int status : {301, 302, 303, 307, 308}) {
    SCOPED_TRACE(status);
    server.On("/from" + std::to_string(status),
              [status](const ReceivedRequest&) { return Reply::Redirect("/to", status); });
  }
  Serve("/to", "arrived");
  for (int status : {301, 302, 303, 307, 308}) {
    EXPECT_EQ(client.GetText(server.Url("/from" + std::to_string(status)), kPlain), "arrived");
  }
}

TEST_F(HttpClientTest, RelativeLocationResolvesAgainstTheRedirectingPage) {
  server.On("/a/b/start", [](const ReceivedRequest&) { return Reply::Redirect("../c/end?x=1"); });
  Serve("/a/c/end", "end");
  EXPECT_EQ(client.GetText(server.Url("/a/b/start"), kPlain), "end");
  EXPECT_EQ(server.LastRequest().target, "/a/c/end?x=1");
  EXPECT_EQ(client.LastUrl(), server.Url("/a/c/end?x=1"));
}

TEST_F(HttpClientTest, RelativeAddressesResolveAgainstThePreviousRequest) {
  server.On("/*", [](const ReceivedRequest&) { return Reply::Text("ok"); });
  struct Case {
    std::string previous;  // target of the first request
    std::string address;   // as the caller passes it
    std::string target;    // what the server receives
  };
  const std::vector<Case> cases = {
      {"/dir/page.html", "img/x.gif", "/dir/img/x.gif"},
      {"/dir/page.html?q=1", "img/x.gif", "/dir/img/x.gif"},
      {"/dir/sub/page.html", "../x.gif", "/dir/x.gif"},
      {"/dir/sub/page.html", "./a/../b.gif", "/dir/sub/b.gif"},
      {"/dir/page.html", "/root.gif", "/root.gif"},
      {"/dir/page.html", "?p=2", "/dir/page.html?p=2"},
      {"/dir/", "x y.gif", "/dir/x%20y.gif"},
      {"/dir/page.html", "//127.0.0.1:" + std::to_string(server.Port()) + "/net", "/net"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    client.GetText(server.Url(c.previous), kPlain);
    client.GetText(c.address, kPlain);
    EXPECT_EQ(server.LastRequest().target, c.target);
  }
}

TEST_F(HttpClientTest, RelativeAddressFollowsTheRedirectedPage) {
  server.On("/old/page", [](const ReceivedRequest&) { return Reply::Redirect("/new/page"); });
  server.On("/*", [](const ReceivedRequest&) { return Reply::Text("ok"); });
  client.GetText(server.Url("/old/page"), kPlain);
  client.GetBytes("pic.png", kPlain);
  EXPECT_EQ(server.LastRequest().target, "/new/pic.png");
}

TEST(HttpClientAddress, UnusableAddressesFailBeforeAnyRequest) {
  HttpClient client;
  EXPECT_THROW(client.GetText("img/x.gif", kPlain), HttpError);
  EXPECT_THROW(client.GetText("", kPlain), HttpError);
  EXPECT_THROW(client.GetText("http://127.0.0.1:9/a\0b"s, kPlain), HttpError);
  EXPECT_THROW(client.GetText("http://127.0.0.1:9/a\x01b", kPlain), HttpError);
  EXPECT_EQ(client.LastUrl(), "");
}

TEST_F(HttpClientTest, KeepsTheConnectionBetweenGets) {
  Serve("/k", "k");
  client.GetText(server.Url("/k"), kPlain);
  client.GetText(server.Url("/k"), kPlain);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].remote_port, requests[1].remote_port);
}

TEST(HttpClientStartedGets, ShareCookiesAndConnectionsFollowRedirectsAndKeepTheirResults) {
  HttpServer server(HttpServer::Scheme::kHttp, 16);
  server.On("/login", [](const ReceivedRequest&) {
    Reply r = Reply::Text("in");
    r.headers.push_back({"Set-Cookie", "sid=7; Path=/"});
    return r;
  });
  server.On("/go/*",
            [](const ReceivedRequest& r) { return Reply::Redirect("/page/" + r.path.substr(4)); });
  server.On("/page/*", [](const ReceivedRequest& r) {
    std::this_thread::sleep_for(5ms);
    return Reply::Text(r.path.substr(6) + ":" + r.Header("Cookie"));
  });
  HttpClient client;
  client.GetText(server.Url("/login"), kPlain);
  for (int wave = 0; wave < 2; ++wave) {
    std::vector<HttpClient::GetId> ids;
    for (int i = 0; i < 6; ++i)
      ids.push_back(client.StartGet(server.Url("/go/" + std::to_string(i)), kPlain));
    const HttpClient::GetId gone = client.StartGet(server.Url("/missing"), kPlain);
    while (client.GetsInFlight() > 0)
      client.WaitForGets(Clock::now() + 1s);
    for (int i = 0; i < 6; ++i) {
      const GetResult result = client.TakeGet(ids[static_cast<std::size_t>(i)]);
      EXPECT_FALSE(result.error);
      EXPECT_EQ(result.body, std::to_string(i) + ":sid=7");
      EXPECT_EQ(result.final_url, server.Url("/page/" + std::to_string(i)));
    }
    const GetResult missing = client.TakeGet(gone);
    ASSERT_TRUE(missing.error);
    EXPECT_EQ(missing.error->Detail().status, 404);
  }
  // Taking a result changes nothing else; adopting one makes it the previous request.
  EXPECT_EQ(client.LastUrl(), server.Url("/login"));
  client.AdoptResponse(
      {.body = "", .error = {}, .final_url = server.Url("/page/3"), .content_type = "text/html"});
  EXPECT_EQ(client.GetText("4", kPlain), "4:sid=7");
  // The second wave went over the connections of the first.
  std::set<int> ports;
  for (const ReceivedRequest& r : server.Requests())
    ports.insert(r.remote_port);
  EXPECT_LE(ports.size(), 8u);
}

// ---------------------------------------------------------------------------------------------
// Form post

TEST_F(HttpClientTest, PostIsHttp10OnAFreshConnectionWithTheEncodedBody) {
  Serve("/page", "page");
  Serve("/login", "welcome");
  const RequestSettings html = Settings(false, "text/html");
  client.GetText(server.Url("/page"), html);
  EXPECT_EQ(client.PostForm(server.Url("/login"), {"user=jo doe", "pass=a&b", "raw line"}, html),
            "welcome");
  client.GetText(server.Url("/page"), html);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  const ReceivedRequest& post = requests[1];
  EXPECT_EQ(post.RequestLine(), "POST /login HTTP/1.0");
  EXPECT_EQ(post.body, "user=jo%20doe&pass=a&b&raw line");
  EXPECT_EQ(post.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(post.Header("Content-Length"), std::to_string(post.body.size()));
  EXPECT_EQ(post.Header("Accept"), "text/html, */*");
  EXPECT_NE(post.remote_port, requests[0].remote_port);
  // Back to HTTP/1.1, on a new connection (the post's was closed), with the caller's type.
  EXPECT_EQ(requests[2].RequestLine(), "GET /page HTTP/1.1");
  EXPECT_NE(requests[2].remote_port, post.remote_port);
  EXPECT_EQ(requests[2].Header("Content-Type"), "text/html");
}

TEST_F(HttpClientTest, EmptyFormPostsAnEmptyBody) {
  Serve("/login", "");
  client.PostForm(server.Url("/login"), {}, kPlain);
  const ReceivedRequest r = server.LastRequest();
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.body, "");
  EXPECT_EQ(r.Header("Content-Length"), "0");
}

TEST_F(HttpClientTest, RawPostSendsTheBodyAsGiven) {
  Serve("/login", "");
  client.Post(server.Url("/login"), "a=b c&d", kPlain);
  const ReceivedRequest r = server.LastRequest();
  EXPECT_EQ(r.RequestLine(), "POST /login HTTP/1.0");
  EXPECT_EQ(r.body, "a=b c&d");
  EXPECT_FALSE(r.HasHeader("Content-Type"));
}

TEST_F(HttpClientTest, FailedPostIsAnError) {
  EXPECT_THROW(client.PostForm(server.Url("/nowhere"), {"a=1"}, kPlain), HttpError);
}

// ---------------------------------------------------------------------------------------------
// Cookies

// The cookies of a request, sorted: their order is the store's business.
std::vector<std::string> Cookies(const ReceivedRequest& r) {
  std::vector<std::string> cookies;
  const std::string header = r.Header("Cookie");
  for (std::size_t at = 0; at < header.size();) {
    std::size_t end = header.find("; ", at);
    if (end == std::string::npos) end = header.size();
    cookies.push_back(header.substr(at, end - at));
    at = end + 2;
  }
  std::sort(cookies.begin(), cookies.end());
  return cookies;
}

TEST_F(HttpClientTest, CookieOfTheLoginPostReachesLaterRequests) {
  server.On("/login", [](const ReceivedRequest&) {
    Reply r = Reply::Redirect("/home");
    r.headers.emplace_back("Set-Cookie", "sid=abc; Path=/");
    return r;
  });
  server.On("/home", [](const ReceivedRequest&) {
    Reply r = Reply::Text("home");
    r.headers.emplace_back("Set-Cookie", "seen=1; Path=/");
    return r;
  });
  Serve("/list", "list");
  EXPECT_EQ(client.PostForm(server.Url("/login"), {"user=jo"}, kPlain), "home");
  // The redirect after the post is an ordinary GET that already carries the new cookie.
  EXPECT_EQ(server.LastRequest().RequestLine().substr(0, 9), "GET /home");
  EXPECT_EQ(server.LastRequest().Header("Cookie"), "sid=abc");
  client.GetText(server.Url("/list"), kPlain);
  client.GetText(server.Url("/list"), kPlain);
  EXPECT_EQ(Cookies(server.LastRequest()), (std::vector<std::string>{"seen=1", "sid=abc"}));
}

TEST_F(HttpClientTest, CookiesFollowDomainPathAndExpiryRules) {
  struct Case {
    std::string set_cookie;
    std::string later_path;
    std::string cookie;  // what the later request carries
  };
  const std::vector<Case> cases = {
      {"c=1; Path=/a", "/a/x", "c=1"},
      {"c=1; Path=/a", "/a", "c=1"},
      {"c=1; Path=/a", "/b/x", ""},
      {"c=1; Path=/a", "/ab", ""},
      {"c=1", "/a/deeper", "c=1"},  // default path: the setting page's directory, /a
      {"c=1", "/b/x", ""},
      {"c=1; Max-Age=0", "/a/x", ""},
      {"c=1; Expires=Thu, 01 Jan 1970 00:00:00 GMT", "/a/x", ""},
      {"c=1; Max-Age=3600", "/a/x", "c=1"},
      {"c=1; Domain=other.example; Path=/", "/a/x", ""},
  };
  server.On("/*", [](const ReceivedRequest&) { return Reply::Text("ok"); });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set_cookie + " -> " + c.later_path);
    HttpClient fresh;  // an empty cookie store per case
    server.On("/a/set", [c](const ReceivedRequest&) {
      Reply reply = Reply::Text("set");
      reply.headers.emplace_back("Set-Cookie", c.set_cookie);
      return reply;
    });
    fresh.GetText(server.Url("/a/set"), kPlain);
    fresh.GetText(server.Url(c.later_path), kPlain);
    EXPECT_EQ(server.LastRequest().Header("Cookie"), c.cookie);
  }
}

TEST_F(HttpClientTest, ExpiredCookieReplacesTheStoredOne) {
  server.On("/set", [](const ReceivedRequest&) {
    Reply r = Reply::Text("");
    r.headers.emplace_back("Set-Cookie", "a=1; Path=/");
    r.headers.emplace_back("Set-Cookie", "b=2; Path=/");
    return r;
  });
  server.On("/drop", [](const ReceivedRequest&) {
    Reply r = Reply::Text("");
    r.headers.emplace_back("Set-Cookie", "a=gone; Path=/; Max-Age=0");
    return r;
  });
  Serve("/see", "");
  client.GetText(server.Url("/set"), kPlain);
  client.GetText(server.Url("/drop"), kPlain);
  client.GetText(server.Url("/see"), kPlain);
  EXPECT_EQ(server.LastRequest().Header("Cookie"), "b=2");
}

// ---------------------------------------------------------------------------------------------
// Basic authentication

TEST_F(HttpClientTest, BasicAuthenticationGoesOnlyWithTheRequestsThatStateIt) {
  Serve("/p", "x");
  const RequestSettings auth =
      Settings(false, "", BasicAuth{"user", "pa:ss", server.Url("/start/x")});
  client.GetText(server.Url("/p"), auth);
  EXPECT_EQ(server.LastRequest().Header("Authorization"), "Basic dXNlcjpwYTpzcw==");
  client.PostForm(server.Url("/p"), {"a=1"}, auth);
  EXPECT_EQ(server.LastRequest().Header("Authorization"), "Basic dXNlcjpwYTpzcw==");
  // The next request that does not state it sends none: nothing stays on the client.
  client.GetText(server.Url("/p"), kPlain);
  EXPECT_FALSE(server.LastRequest().HasHeader("Authorization"));
}

TEST_F(HttpClientTest, OriginMatchIgnoresCaseAndDefaultPort) {
  Serve("/p", "x");
  const std::string origin = "HTTP://127.0.0.1:" + std::to_string(server.Port()) + "/other/path?q";
  client.GetText(server.Url("/p"), Settings(false, "", BasicAuth{"admin", "secret", origin}));
  EXPECT_EQ(server.LastRequest().Header("Authorization"), "Basic YWRtaW46c2VjcmV0");
  client.GetText(server.Url("/p"),
                 Settings(false, "", BasicAuth{"admin", "secret", "not an address"}));
  EXPECT_FALSE(server.LastRequest().HasHeader("Authorization"));
}

TEST_F(HttpClientTest, CredentialsStayWithTheirOrigin) {
  HttpServer other;  // same host, other port: another origin
  other.On("/*", [](const ReceivedRequest&) { return Reply::Text("elsewhere"); });
  server.On("/away",
            [&other](const ReceivedRequest&) { return Reply::Redirect(other.Url("/landing")); });
  server.On("/back", [](const ReceivedRequest&) { return Reply::Redirect("/p"); });
  Serve("/p", "x");
  const RequestSettings auth = Settings(false, "", BasicAuth{"user", "pa:ss", server.Url("/")});

  EXPECT_EQ(client.GetText(server.Url("/away"), auth), "elsewhere");
  EXPECT_TRUE(server.LastRequest().HasHeader("Authorization"));
  EXPECT_FALSE(other.LastRequest().HasHeader("Authorization"));

  // An address on another origin, such as an image, gets no credentials either.
  client.GetBytes(other.Url("/img.gif"), auth);
  EXPECT_FALSE(other.LastRequest().HasHeader("Authorization"));

  // A redirect within the origin keeps them.
  client.GetText(server.Url("/back"), auth);
  EXPECT_EQ(server.LastRequest().path, "/p");
  EXPECT_TRUE(server.LastRequest().HasHeader("Authorization"));
}

// ---------------------------------------------------------------------------------------------
// TLS and protocols

class HttpClientTlsTest : public testing::Test {
 protected:
  HttpServer plain;
  HttpServer secure{HttpServer::Scheme::kHttps};
  HttpClient client;

  void SetUp() override {
    plain.On("/*", [](const ReceivedRequest& r) { return Reply::Text("plain " + r.path); });
    secure.On("/*", [](const ReceivedRequest& r) { return Reply::Text("secure " + r.path); });
    plain.On("/to-secure",
             [this](const ReceivedRequest&) { return Reply::Redirect(secure.Url("/landing")); });
    secure.On("/to-plain",
              [this](const ReceivedRequest&) { return Reply::Redirect(plain.Url("/landing")); });
  }
};

TEST_F(HttpClientTlsTest, CapitalHttpsUsesTlsWithASelfSignedServer) {
  const std::string url = "HTTPS://127.0.0.1:" + std::to_string(secure.Port()) + "/x";
  EXPECT_EQ(client.GetText(url, kTls), "secure /x");
  EXPECT_EQ(secure.LastRequest().version, "HTTP/1.1");  // not HTTP/2 over TLS
}

TEST_F(HttpClientTlsTest, TlsAlsoServesPlainAddresses) {
  EXPECT_EQ(client.GetText(plain.Url("/y"), kTls), "plain /y");
  EXPECT_EQ(client.GetText(secure.Url("/to-plain"), kTls), "plain /landing");
  EXPECT_EQ(client.GetText(plain.Url("/to-secure"), kTls), "secure /landing");
}

TEST_F(HttpClientTlsTest, HttpsFailsWhileTlsIsOff) {
  EXPECT_THROW(client.GetText(secure.Url("/x"), kPlain), HttpError);
  EXPECT_THROW(client.GetText(plain.Url("/to-secure"), kPlain), HttpError);
  EXPECT_EQ(secure.RequestCount(), 0u);
  EXPECT_EQ(client.GetText(plain.Url("/to-secure"), kTls), "secure /landing");
  // The TLS of the previous request does not stay on.
  EXPECT_THROW(client.GetText(secure.Url("/x"), kPlain), HttpError);
  EXPECT_EQ(client.GetText(plain.Url("/y"), kPlain), "plain /y");
}

TEST_F(HttpClientTlsTest, PostOverTls) {
  client.PostForm(secure.Url("/login"), {"a=b c"}, kTls);
  const ReceivedRequest r = secure.LastRequest();
  EXPECT_EQ(r.RequestLine(), "POST /login HTTP/1.0");
  EXPECT_EQ(r.body, "a=b%20c");
}

TEST_F(HttpClientTlsTest, OtherSchemesFail) {
  for (const std::string location :
       {"ftp://127.0.0.1/file", "file:///etc/passwd", "gopher://127.0.0.1/", "dict://x/"}) {
    SCOPED_TRACE(location);
    plain.On("/odd", [location](const ReceivedRequest&) { return Reply::Redirect(location); });
    EXPECT_THROW(client.GetText(plain.Url("/odd"), kTls), HttpError);
    EXPECT_THROW(client.GetText(location, kTls), HttpError);
  }
}

// ---------------------------------------------------------------------------------------------
// Broken and hostile servers

TEST_F(HttpClientTest, BodyAboveTheLimitFails) {
  client.SetBodyLimit(1000);
  Serve("/fits", std::string(1000, 'a'));
  Serve("/over", std::string(1001, 'a'));
  server.On("/over-chunked", [](const ReceivedRequest&) {
    Reply r = Reply::Text(std::string(4000, 'b'));
    r.delivery = Reply::Delivery::kStall;  // 2000 bytes without a length, then silence
    return r;
  });
  EXPECT_EQ(client.GetText(server.Url("/fits"), kPlain).size(), 1000u);
  EXPECT_THROW(client.GetText(server.Url("/over"), kPlain), HttpError);
  EXPECT_THROW(client.GetText(server.Url("/over-chunked"), kPlain), HttpError);
  // The client stays usable.
  EXPECT_EQ(client.GetText(server.Url("/fits"), kPlain).size(), 1000u);
}

TEST_F(HttpClientTest, ServerClosingMidBodyFails) {
  server.On("/cut", [](const ReceivedRequest&) {
    Reply r = Reply::Text(std::string(100000, 'c'));
    r.delivery = Reply::Delivery::kCutShort;
    return r;
  });
  Serve("/fine", "fine");
  EXPECT_THROW(client.GetText(server.Url("/cut"), kPlain), HttpError);
  EXPECT_EQ(client.GetText(server.Url("/fine"), kPlain), "fine");
}

std::string HeadWithLines(int lines) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n";
  for (int i = 2; i < lines; ++i)
    head += "X-Fill-" + std::to_string(i) + ": v\r\n";
  return head + "\r\nok";
}

TEST(HttpClientRaw, MalformedResponsesFail) {
  struct Case {
    std::string name;
    std::string response;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"well formed", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", true},
      {"255 header lines", HeadWithLines(255), true},
      {"256 header lines", HeadWithLines(256), false},
      {"garbage", "this is no response at all\r\n\r\n", false},
      {"binary", "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03"s, false},
      {"nothing", "", false},
      {"bad status", "HTTP/1.1 abc\r\n\r\n", false},
      {"short body", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nonly this", false},
      {"bad chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nxx\r\n", false},
      {"huge header line", "HTTP/1.1 200 OK\r\nX: " + std::string(200000, 'h') + "\r\n\r\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer raw(c.response);
    HttpClient client;
    if (c.ok) {
      EXPECT_EQ(client.GetText(raw.Url("/"), kPlain), "ok");
    } else {
      EXPECT_THROW(client.GetText(raw.Url("/"), kPlain), HttpError);
    }
  }
}

TEST(HttpClientRaw, HeaderLinesCountPerResponse) {
  // Two responses of 200 lines each, the first a redirect: each is within the limit.
  RawServer target(HeadWithLines(200));
  std::string redirect = "HTTP/1.1 302 Found\r\nLocation: " + target.Url("/") +
                         "\r\nContent-Length: 0\r\nConnection: close\r\n";
  for (int i = 4; i < 200; ++i)
    redirect += "X-Fill-" + std::to_string(i) + ": v\r\n";
  RawServer first(redirect + "\r\n");
  HttpClient client;
  EXPECT_EQ(client.GetText(first.Url("/"), kPlain), "ok");
}

// ---------------------------------------------------------------------------------------------
// Waiting, Stop and the pump

TEST_F(HttpClientTest, StopDuringAStalledResponseFailsTheRequestAtOnce) {
  server.On("/slow", [](const ReceivedRequest&) {
    Reply r = Reply::Text("first part...second part");
    r.delivery = Reply::Delivery::kStall;
    return r;
  });
  Serve("/fine", "fine");
  int pumps = 0;
  const auto start = Clock::now();
  client.SetPump([&] {
    ++pumps;
    if (Clock::now() - start > 200ms) client.Stop();
  });
  EXPECT_THROW(client.GetText(server.Url("/slow"), kPlain), HttpError);
  const auto took = Clock::now() - start;
  EXPECT_LT(took, 2s);
  EXPECT_GE(took, 200ms);
  // Pumped every 10 ms or so: often enough to repaint, never in a busy loop.
  EXPECT_GE(pumps, 5);
  EXPECT_LE(pumps, 40);
  EXPECT_FALSE(client.Busy());

  client.SetPump({});
  EXPECT_EQ(client.GetText(server.Url("/fine"), kPlain), "fine");
}

TEST_F(HttpClientTest, PumpRunsWhileTheServerThinks) {
  server.On("/think", [](const ReceivedRequest&) {
    std::this_thread::sleep_for(150ms);
    return Reply::Text("done");
  });
  int pumps = 0;
  client.SetPump([&] { ++pumps; });
  EXPECT_EQ(client.GetText(server.Url("/think"), kPlain), "done");
  EXPECT_GE(pumps, 5);
  EXPECT_LE(pumps, 30);
}

TEST_F(HttpClientTest, QuickRequestsDoNotWaitForThePumpInterval) {
  Serve("/quick", std::string(20000, 'q'));
  int pumps = 0;
  client.SetPump([&] { ++pumps; });
  client.GetText(server.Url("/quick"), kPlain);
  const auto start = Clock::now();
  constexpr int kRequests = 50;
  for (int i = 0; i < kRequests; ++i)
    client.GetText(server.Url("/quick"), kPlain);
  const auto took = Clock::now() - start;
  // A wait for the full interval per request would take 500 ms.
  EXPECT_LT(took, 250ms);
  EXPECT_LE(pumps, 1 + took / HttpClient::kPumpInterval + 1);
}

TEST_F(HttpClientTest, StopOutsideARequestChangesNothing) {
  Serve("/p", "p");
  client.Stop();
  EXPECT_EQ(client.GetText(server.Url("/p"), kPlain), "p");
}

TEST_F(HttpClientTest, ErrorInThePumpAbortsTheRequest) {
  server.On("/slow", [](const ReceivedRequest&) {
    Reply r = Reply::Text("abc");
    r.delivery = Reply::Delivery::kStall;
    return r;
  });
  Serve("/p", "p");
  client.SetPump([] { throw std::runtime_error("window closed"); });
  EXPECT_THROW(client.GetText(server.Url("/slow"), kPlain), std::runtime_error);
  EXPECT_FALSE(client.Busy());
  client.SetPump({});
  EXPECT_EQ(client.GetText(server.Url("/p"), kPlain), "p");
}

TEST_F(HttpClientTest, NoSecondRequestWhileOneWaits) {
  server.On("/think", [](const ReceivedRequest&) {
    std::this_thread::sleep_for(100ms);
    return Reply::Text("outer");
  });
  Serve("/p", "p");
  bool refused = false;
  client.SetPump([&] {
    if (refused) return;
    try {
      client.GetText(server.Url("/p"), kPlain);
    } catch (const HttpError&) {
      refused = true;
    }
  });
  EXPECT_EQ(client.GetText(server.Url("/think"), kPlain), "outer");
  EXPECT_TRUE(refused);
}

TEST_F(HttpClientTest, ConnectionErrorFails) {
  int port = 0;
  {
    HttpServer gone;
    port = gone.Port();
  }
  EXPECT_THROW(client.GetText("http://127.0.0.1:" + std::to_string(port) + "/", kPlain), HttpError);
}

// ---------------------------------------------------------------------------------------------
// Proxy settings in the environment

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (old_.empty()) {
      unsetenv(name_);
    } else {
      setenv(name_, old_.c_str(), 1);
    }
  }

 private:
  const char* name_;
  std::string old_;
};

TEST(HttpClientProxy, EnvironmentProxiesAreIgnored) {
  HttpServer plain;
  HttpServer secure{HttpServer::Scheme::kHttps};
  plain.On("/p", [](const ReceivedRequest&) { return Reply::Text("direct"); });
  secure.On("/p", [](const ReceivedRequest&) { return Reply::Text("direct tls"); });
  // Port 9 on loopback: nothing listens there, so any proxied request would fail.
  ScopedEnv http("http_proxy", "http://127.0.0.1:9");
  ScopedEnv https("https_proxy", "http://127.0.0.1:9");
  ScopedEnv https_upper("HTTPS_PROXY", "http://127.0.0.1:9");
  ScopedEnv all("ALL_PROXY", "http://127.0.0.1:9");
  ScopedEnv all_lower("all_proxy", "http://127.0.0.1:9");
  HttpClient client;
  EXPECT_EQ(client.GetText(plain.Url("/p"), kTls), "direct");
  EXPECT_EQ(client.GetText(secure.Url("/p"), kTls), "direct tls");
  EXPECT_EQ(plain.LastRequest().target, "/p");  // a proxied request would carry the full URL
}

}  // namespace
}  // namespace sorvane
