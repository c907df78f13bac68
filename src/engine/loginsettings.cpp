#include "engine/loginsettings.h"

#include <string>
#include <utility>

#include "engine/regexpr.h"
#include "engine/texttag.h"

namespace sorvane {
namespace {

// The first attribute of that name after a blank, its value quoted or not; the line feeds put
// around the element's text make sure a blank comes before the first attribute and after the
// last.
constexpr std::string_view kNamePattern = R"(\s+.*?name\s*=\s*["']?(.+?)["']?\s+)";
constexpr std::string_view kValuePattern = R"(\s+.*?value\s*=\s*["']?(.+?)["']?\s+)";

// The attributes of an element's start tag as cut out of the page: a select's text runs to its
// close tag, so it ends at its first ">"; the "/" that closes "<input .../>" goes, unless it
// ends an unquoted value.
std::string StartTagAttributes(std::string_view element) {
  const std::size_t end = element.find('>');
  if (end != std::string_view::npos) element = element.substr(0, end);
  if (element.size() >= 2 && element.back() == '/') {
    const char before = element[element.size() - 2];
    if (before == '"' || before == '\'' || before == ' ' || before == '\t' || before == '\r' ||
        before == '\n') {
      element.remove_suffix(1);
    }
  }
  return "\n" + std::string(element) + "\n";
}

bool Attribute(RegExpr& re, const std::string& subject, std::string& value) {
  if (!re.Exec(subject)) return false;
  value = re.Match(1);
  return true;
}

}  // namespace

LoginSettings LoginSettingsOf(const std::vector<LoginRow>& rows) {
  LoginSettings settings;
  for (const LoginRow& row : rows) {
    switch (row.tag) {
      case 1:
        settings.mode = LoginMode::kAuthorize;
        settings.user = row.nam;
        settings.password = row.val;
        break;
      case 2:
        settings.mode = LoginMode::kLogin;
        settings.login_url = row.val;
        break;
      default:
        settings.fields.push_back({row.nam, row.val, row.tag != 3});
        break;
    }
  }
  return settings;
}

bool LoginFilled(const LoginSettings& settings) {
  if (settings.mode == LoginMode::kAuthorize)
    return !settings.user.empty() && !settings.password.empty();
  return !settings.login_url.empty() && !settings.fields.empty();
}

std::vector<LoginRow> LoginRowsOf(const LoginSettings& settings) {
  if (settings.mode == LoginMode::kAuthorize) return {{settings.user, settings.password, 1}};
  std::vector<LoginRow> rows;
  rows.push_back({"", settings.login_url, 2});
  for (const LoginField& field : settings.fields)
    rows.push_back({field.name, field.value, field.image ? 4 : 3});
  return rows;
}

RequestSettings LoginPageRequest(std::string_view login_url) {
  RequestSettings settings;
  settings.tls = login_url.starts_with("https:");
  settings.content_type = "text/html";
  return settings;
}

void ProposeFormFields(std::string_view page, std::vector<LoginField>& fields) {
  std::string form;
  std::size_t pos = 1;
  if (!CutTag(page, "<form", form, pos, "</form")) return;

  RegExpr name;
  name.SetExpression(kNamePattern);
  RegExpr value;
  value.SetExpression(kValuePattern);

  std::string element;
  pos = 1;
  while (CutTag(form, "<input", element, pos, ">")) {
    const std::string subject = StartTagAttributes(element);
    LoginField field;
    if (!Attribute(name, subject, field.name)) continue;
    Attribute(value, subject, field.value);
    fields.push_back(std::move(field));
  }
  pos = 1;
  while (CutTag(form, "<select", element, pos, "</select")) {
    LoginField field;
    if (Attribute(name, StartTagAttributes(element), field.name))
      fields.push_back(std::move(field));
  }
}

void GetFormFields(HttpClient& http, std::string_view login_url, std::vector<LoginField>& fields) {
  const std::string page = http.GetText(login_url, LoginPageRequest(login_url));
  ProposeFormFields(page, fields);
}

}  // namespace sorvane
