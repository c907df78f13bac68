// The login of a web run against real servers: the rows in tag order, the form post, basic
// authentication, and the requests behind the verification-code question.

#include "engine/login.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/store.h"
#include "engine/httpclient.h"
#include "support/httpserver.h"
#include "support/tempdir.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

using namespace std::string_literals;
using test::HttpServer;
using test::ReceivedRequest;
using test::Reply;

TEST(LoginHelpersTest, HttpsAnyCase) {
  EXPECT_TRUE(HttpsAnyCase("https://h/"));
  EXPECT_TRUE(HttpsAnyCase("HTTPS://h/"));
  EXPECT_TRUE(HttpsAnyCase("hTtPs:"));
  EXPECT_FALSE(HttpsAnyCase("http://h/"));
  EXPECT_FALSE(HttpsAnyCase(" https://h/"));
  EXPECT_FALSE(HttpsAnyCase("https"));
  EXPECT_FALSE(HttpsAnyCase(""));
}

TEST(LoginHelpersTest, ImageFormatIsToldByTheFirstBytes) {
  struct Case {
    std::string bytes;
    std::string format;
  };
  const std::vector<Case> cases = {
      {"GIF89a...", "GIF"},
      {"BM\x36\x00", "BMP"},
      {"\x89PNG\r\n\x1a\n", "PNG"},
      {"\xFF\xD8\xFF\xE0", "JPEG"},
      {"gif", ""},
      {"<html>", ""},
      {"G", ""},
      {"", ""},
      {"\xFF\xD9", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(std::string(ImageFormatOf(c.bytes)), c.format) << c.bytes;
}

class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.On("/login", [](const ReceivedRequest&) { return Reply::Text("login page"); });
    server.On("/img/*", [](const ReceivedRequest& r) { return Reply::Text("image " + r.path); });
    server.On("/page", [](const ReceivedRequest&) { return Reply::Text("page"); });
    tmid = 7;
  }
  void AddRow(int tag, const std::string& nam, const std::string& val) {
    store.qryM.Execute("insert into nvps(tmid,nam,val,tag) values(" + std::to_string(tmid) + "," +
                       QuotedStr(nam) + "," + QuotedStr(val) + "," + std::to_string(tag) + ")");
  }
  bool Login() { return ApplyLogin(store, http, host, tmid, server.Url("/page"), run); }
  // Method and path of every request the server received.
  std::vector<std::string> Requests() const {
    std::vector<std::string> lines;
    for (const ReceivedRequest& r : server.Requests())
      lines.push_back(r.method + " " + r.path);
    return lines;
  }
  // Plays the dialog: the login page, then the image, and the code `answer`.
  void AnswerWith(const std::string& answer) {
    host.ask_code = [this, answer](const VerificationCodeRequest& request, std::string& code) {
      asked.push_back(request.login_url + " " + request.image_url);
      std::string bytes;
      request.open_login_page(request.login_url);
      request.fetch_image(request.image_url, bytes);
      images.push_back(bytes);
      code = answer;
      return true;
    };
  }

  test::TempDir dir;
  Tdm store{dir.File("data.mdb")};
  HttpServer server;
  HttpClient http;
  RequestSettings run = RunRequestSettings(server.Url("/page"));
  test::TestHost host;
  int tmid = 0;
  std::vector<std::string> asked;
  std::vector<std::string> images;
};

TEST_F(LoginTest, PostsTypedFieldsBeforeCodesWhateverTheirOrder) {
  AddRow(kLoginImageCode, "code", server.Url("/img/1.gif"));
  AddRow(kLoginField, "user", "jo");
  AddRow(kLoginUrl, "", server.Url("/login"));
  AddRow(kLoginField, "pass", "a b&c");
  AddRow(9, "other", "ignored");
  AnswerWith(" x y ");
  ASSERT_TRUE(Login());
  EXPECT_EQ(asked,
            (std::vector<std::string>{server.Url("/login") + " " + server.Url("/img/1.gif")}));
  EXPECT_EQ(images, (std::vector<std::string>{"image /img/1.gif"}));
  EXPECT_EQ(Requests(), (std::vector<std::string>{"GET /login", "GET /img/1.gif", "POST /login"}));
  const ReceivedRequest post = server.LastRequest();
  // The code goes untrimmed, its blanks encoded.
  EXPECT_EQ(post.body, "user=jo&pass=a%20b&c&code=%20x%20y%20");
  EXPECT_EQ(post.version, "HTTP/1.0");
  EXPECT_EQ(post.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(LoginTest, TheDialogsOwnRequestsAskForTheirContentTypes) {
  AddRow(kLoginUrl, "", server.Url("/login"));
  AddRow(kLoginImageCode, "c1", server.Url("/img/1.gif"));
  AddRow(kLoginImageCode, "c2", server.Url("/img/2.gif"));
  AnswerWith("k");
  ASSERT_TRUE(Login());
  // Two codes: two questions, each visiting the login page before its image.
  EXPECT_EQ(host.questions, 2);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"GET /login", "GET /img/1.gif", "GET /login",
                                                  "GET /img/2.gif", "POST /login"}));
  const std::vector<ReceivedRequest> requests = server.Requests();
  EXPECT_EQ(requests[0].Header("Content-Type"), "text/html");
  EXPECT_EQ(requests[1].Header("Content-Type"), "image/*");
  EXPECT_EQ(requests[4].body, "c1=k&c2=k");
}

TEST_F(LoginTest, ALoginUrlWithoutFieldsPostsAnEmptyForm) {
  AddRow(kLoginUrl, "", server.Url("/login"));
  ASSERT_TRUE(Login());
  EXPECT_EQ(Requests(), (std::vector<std::string>{"POST /login"}));
  EXPECT_EQ(server.LastRequest().body, "");
}

TEST_F(LoginTest, FieldsWithoutLoginUrlPostNothing) {
  AddRow(kLoginField, "user", "jo");
  AddRow(kLoginImageCode, "code", server.Url("/img/1.gif"));
  AnswerWith("k");
  ASSERT_TRUE(Login());
  // The question is still asked, with no login page to visit first.
  EXPECT_EQ(asked, (std::vector<std::string>{" " + server.Url("/img/1.gif")}));
  EXPECT_EQ(Requests(), (std::vector<std::string>{"GET /img/1.gif"}));
}

TEST_F(LoginTest, CancelledQuestionEndsTheRunSilently) {
  AddRow(kLoginUrl, "", server.Url("/login"));
  AddRow(kLoginImageCode, "code", server.Url("/img/1.gif"));
  AddRow(kLoginImageCode, "code2", server.Url("/img/2.gif"));
  EXPECT_FALSE(Login());  // the test host cancels
  EXPECT_EQ(host.questions, 1);
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(LoginTest, AFailedPostShowsTheLoginMessage) {
  struct Case {
    const char* name;
    std::string url;
  };
  const std::vector<Case> cases = {
      {"status outside 2xx", server.Url("/nowhere")},
      {"no server", "http://127.0.0.1:1/login"},
      {"https while the address says so", "https://127.0.0.1:" + std::to_string(server.Port())},
  };
  for (const Case& c : cases) {
    store.qryM.Execute("delete from nvps");
    host.messages.clear();
    AddRow(kLoginUrl, "", c.url);
    EXPECT_FALSE(Login()) << c.name;
    ASSERT_EQ(host.messages.size(), 1u) << c.name;
    EXPECT_EQ(host.messages[0].caption, "Error");
    EXPECT_EQ(host.messages[0].text, "Cann't login, please wait a moment and try again.");
    EXPECT_EQ(host.messages[0].icon, RunHost::Icon::kError);
    EXPECT_EQ(host.messages[0].buttons, RunHost::Buttons::kOk);
  }
}

TEST_F(LoginTest, AnHttpsLoginUrlPostsOverTls) {
  HttpServer secure(HttpServer::Scheme::kHttps);
  secure.On("/login", [](const ReceivedRequest&) { return Reply::Text("ok"); });
  std::string url = secure.Url("/login");
  url.replace(0, 5, "HTTPS");
  AddRow(kLoginUrl, "", url);
  AddRow(kLoginField, "a", "1");
  ASSERT_TRUE(Login());
  EXPECT_EQ(secure.LastRequest().body, "a=1");
}

TEST_F(LoginTest, BasicAuthenticationGoesToTheTempletsSiteUntilTheNextLogin) {
  AddRow(kLoginBasicAuth, "jo", "secret");
  ASSERT_TRUE(Login());
  EXPECT_TRUE(server.Requests().empty());  // nothing is sent at login
  http.GetText(server.Url("/page"), run);
  // "jo:secret" in base 64.
  EXPECT_EQ(server.LastRequest().Header("Authorization"), "Basic am86c2VjcmV0");

  // Another server is not the templet's site.
  HttpServer other;
  other.On("/page", [](const ReceivedRequest&) { return Reply::Text("x"); });
  http.GetText(other.Url("/page"), run);
  EXPECT_FALSE(other.LastRequest().HasHeader("Authorization"));

  // The next templet's login starts by dropping it.
  tmid = 8;
  ASSERT_TRUE(Login());
  http.GetText(server.Url("/page"), run);
  EXPECT_FALSE(server.LastRequest().HasHeader("Authorization"));
}

TEST_F(LoginTest, VerificationRequestsChooseTlsByLowerCaseHttpsOnly) {
  HttpServer secure(HttpServer::Scheme::kHttps);
  secure.On("/login", [](const ReceivedRequest&) { return Reply::Text("page"); });
  secure.On("/i.gif", [](const ReceivedRequest&) { return Reply::Text("GIF89a"); });
  std::string upper_login = secure.Url("/login");
  upper_login.replace(0, 5, "HTTPS");
  std::string upper_image = secure.Url("/i.gif");
  upper_image.replace(0, 5, "HTTPS");

  const VerificationCodeRequest request =
      MakeVerificationRequest(http, secure.Url("/login"), secure.Url("/i.gif"));
  EXPECT_EQ(request.login_url, secure.Url("/login"));
  EXPECT_EQ(request.image_url, secure.Url("/i.gif"));
  std::string bytes;
  EXPECT_TRUE(request.open_login_page(secure.Url("/login")));
  EXPECT_TRUE(request.fetch_image(secure.Url("/i.gif"), bytes));
  EXPECT_EQ(bytes, "GIF89a");
  EXPECT_FALSE(request.open_login_page(upper_login));
  EXPECT_FALSE(request.fetch_image(upper_image, bytes));
  EXPECT_FALSE(request.fetch_image(server.Url("/missing"), bytes));
  EXPECT_EQ(secure.RequestCount(), 2u);
}

}  // namespace
}  // namespace sorvane
