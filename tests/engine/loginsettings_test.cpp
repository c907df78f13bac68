// The login settings behind TfrmLogin: rows shown and saved, the checks before saving, and the
// fields Get proposes from a real login page.

#include "engine/loginsettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/httpserver.h"

namespace sorvane {
namespace {

using test::HttpServer;
using test::ReceivedRequest;
using test::Reply;

// "name=value" per field, "=Y" appended for a verification-code field.
std::vector<std::string> Lines(const std::vector<LoginField>& fields) {
  std::vector<std::string> lines;
  for (const LoginField& f : fields)
    lines.push_back(f.name + "=" + f.value + (f.image ? "=Y" : ""));
  return lines;
}

TEST(LoginSettingsTest, FormFieldsProposedFromAPage) {
  struct Case {
    const char* name;
    std::string page;
    std::vector<std::string> fields;
  };
  const std::vector<Case> cases = {
      {"unquoted hidden input",
       "<form><input type=hidden name=token value=abc></form>",
       {"token=abc"}},
      {"both quotes, no value",
       "<FORM action=/in><input type=\"text\" name=\"user\">\n<INPUT name='pass' type=password>"
       "</FORM>",
       {"user=", "pass="}},
      {"inputs first, then selects",
       "<form><select name=\"country\"><option value=\"1\">One</option></select>"
       "<input name=\"q\" value=\"a\" ></form>",
       {"q=a", "country="}},
      {"self-closing inputs",
       "<form><input name=\"a\" value=\"1\"/><input name=b value=c/ ></form>",
       {"a=1", "b=c/"}},
      {"submit buttons too, nameless ones skipped",
       "<form><input type=submit value=Go><input type=submit name=go value=Go></form>",
       {"go=Go"}},
      {"upper-case attribute names are not read", "<form><input NAME=x VALUE=y></form>", {}},
      {"only the first form", "<form><input name=a></form><form><input name=b></form>", {"a="}},
      {"no form", "<input name=a>", {}},
  };
  for (const Case& c : cases) {
    std::vector<LoginField> fields;
    ProposeFormFields(c.page, fields);
    EXPECT_EQ(Lines(fields), c.fields) << c.name;
  }
}

TEST(LoginSettingsTest, RowsShownAndSaved) {
  // Store order decides the list; any tag but 3 is a verification-code field.
  const LoginSettings form = LoginSettingsOf(
      {{"code", "http://h/c.gif", 4}, {"", "http://h/login", 2}, {"user", "jo", 3}});
  EXPECT_EQ(form.mode, LoginMode::kLogin);
  EXPECT_EQ(form.login_url, "http://h/login");
  EXPECT_EQ(Lines(form.fields), (std::vector<std::string>{"code=http://h/c.gif=Y", "user=jo"}));
  const std::vector<LoginRow> rows = LoginRowsOf(form);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].tag, 2);
  EXPECT_EQ(rows[0].val, "http://h/login");
  EXPECT_EQ(rows[1].tag, 4);
  EXPECT_EQ(rows[2].tag, 3);

  const LoginSettings none = LoginSettingsOf({});
  EXPECT_EQ(none.mode, LoginMode::kAuthorize);
  EXPECT_EQ(none.login_url, "http://");

  // Switching to basic authentication leaves one row, whatever fields the list still holds.
  LoginSettings basic = form;
  basic.mode = LoginMode::kAuthorize;
  basic.user = "jo";
  basic.password = "pw";
  const std::vector<LoginRow> one = LoginRowsOf(basic);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].nam + ":" + one[0].val + ":" + std::to_string(one[0].tag), "jo:pw:1");
}

TEST(LoginSettingsTest, FilledChecks) {
  struct Case {
    LoginMode mode;
    std::string user, password, url;
    std::size_t fields;
    bool filled;
  };
  const std::vector<Case> cases = {
      {LoginMode::kAuthorize, "jo", "pw", "", 0, true},
      {LoginMode::kAuthorize, "jo", "", "", 3, false},
      {LoginMode::kAuthorize, "", "pw", "", 0, false},
      {LoginMode::kLogin, "", "", "http://h/", 1, true},
      {LoginMode::kLogin, "jo", "pw", "http://h/", 0, false},
      {LoginMode::kLogin, "", "", "", 1, false},
  };
  for (const Case& c : cases) {
    LoginSettings s;
    s.mode = c.mode;
    s.user = c.user;
    s.password = c.password;
    s.login_url = c.url;
    s.fields.resize(c.fields);
    EXPECT_EQ(LoginFilled(s), c.filled) << c.user << "|" << c.password << "|" << c.url;
  }
}

TEST(LoginSettingsTest, GetReadsTheLoginPageAndAppendsEachTime) {
  HttpServer server;
  server.On("/login", [](const ReceivedRequest&) {
    return Reply::Text("<form method=post><input name=user><input name=pass></form>");
  });
  HttpClient http;
  std::vector<LoginField> fields;
  GetFormFields(http, server.Url("/login"), fields);
  GetFormFields(http, server.Url("/login"), fields);
  EXPECT_EQ(Lines(fields), (std::vector<std::string>{"user=", "pass=", "user=", "pass="}));
  const ReceivedRequest r = server.LastRequest();
  EXPECT_EQ(r.Header("Content-Type"), "text/html");
  EXPECT_FALSE(r.HasHeader("Authorization"));

  EXPECT_THROW(GetFormFields(http, server.Url("/missing"), fields), HttpError);
  EXPECT_EQ(fields.size(), 4u);
  EXPECT_TRUE(LoginPageRequest("https://h/").tls);
  EXPECT_FALSE(LoginPageRequest("HTTPS://h/").tls);
}

}  // namespace
}  // namespace sorvane
