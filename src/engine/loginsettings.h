#pragma once

// The login settings of one templet as the login settings dialog (TfrmLogin) edits them: the
// choice between basic authentication and a form login, the checks made before they are saved,
// the login rows they are saved as, and the form fields "Get" proposes from a login page.
//
// Plain logic on bytes; the dialog holds the widgets and shows the messages.

#include <string>
#include <string_view>
#include <vector>

#include "core/templetmodel.h"
#include "engine/httpclient.h"

namespace sorvane {

enum class LoginMode { kAuthorize, kLogin };

// One name/value pair of a form login. For a verification-code field (`image`) the value is the
// address of the image.
struct LoginField {
  std::string name;
  std::string value;
  bool image = false;
};

struct LoginSettings {
  LoginMode mode = LoginMode::kAuthorize;
  std::string user;
  std::string password;
  std::string login_url = "http://";
  std::vector<LoginField> fields;
};

// The settings that `rows` (in the store's order) show: a tag-1 row selects basic authentication
// with its user name and password, a tag-2 row a form login with its URL; every other row is a
// field, a verification-code field unless its tag is 3. Without rows: basic authentication with
// empty names.
LoginSettings LoginSettingsOf(const std::vector<LoginRow>& rows);

// Whether the settings may be saved: basic authentication needs a user name and a password, a
// form login its URL and at least one field. Field values may be empty.
bool LoginFilled(const LoginSettings& settings);

// The rows the settings are saved as: one tag-1 row (nam = user, val = password), or a tag-2 row
// with the URL followed by one row per field in list order, tag 4 for a verification-code field,
// else 3.
std::vector<LoginRow> LoginRowsOf(const LoginSettings& settings);

// The request that reads a login page: TLS when the address starts with "https:" in lower case,
// the content type "text/html", no basic authentication.
RequestSettings LoginPageRequest(std::string_view login_url);

// Appends to `fields` the fields of the first form of `page` (the text between "<form" and the
// next "</form", letter case ignored): first every input element with a name, in page order,
// with its value when it has one, then every select element with a name and an empty value. A
// name or value is the first attribute of that name (in lower case) after a blank, quoted with
// double or single quotes or not at all. Only an element's own start tag is read: a select's
// options, and the closing "/" of "<input .../>", are not part of its attributes. A page
// without a form appends nothing.
//
// Throws RegExprError when the expression engine gives up; the fields appended before stay.
void ProposeFormFields(std::string_view page, std::vector<LoginField>& fields);

// Get: reads the page at `login_url` through `http` (LoginPageRequest) and proposes its fields
// with ProposeFormFields. Throws HttpError when the page cannot be read, or what
// ProposeFormFields throws; the fields appended before stay.
void GetFormFields(HttpClient& http, std::string_view login_url, std::vector<LoginField>& fields);

}  // namespace sorvane
