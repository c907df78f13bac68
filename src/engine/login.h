#pragma once

// The login of a web run: the templet's login rows (nvps) applied before its first page, and the
// requests behind the verification-code question.
//
// Rows by tag: 1 basic authentication (nam = user name, val = password); 2 the login form's
// target (val); 3 a form field typed in the login settings (nam = val); 4 a form field whose value
// the user reads off an image (nam, val = the image's address).

#include <functional>
#include <string>
#include <string_view>

#include "core/runhost.h"
#include "engine/httpclient.h"

namespace sorvane {

class Tdm;

enum LoginTag : int {
  kLoginBasicAuth = 1,
  kLoginUrl = 2,
  kLoginField = 3,
  kLoginImageCode = 4,
};

// Shown (caption "Error", error icon) when the login post fails; the run ends.
inline constexpr std::string_view kLoginFailedText =
    "Cann't login, please wait a moment and try again.";

// True when the first six characters of `address` are "https:" in any letter case: how a run
// chooses TLS for its URL and for the login post.
bool HttpsAnyCase(std::string_view address);

// The requests of a web run for its URL `run_url`, pages and images alike: TLS when
// HttpsAnyCase(run_url), the content type "text/html", no basic authentication (ApplyLogin adds
// it).
RequestSettings RunRequestSettings(std::string_view run_url);

// The format of an image told by its first two bytes: "GIF" ("GI"), "BMP" ("BM"), "PNG" (0x89
// "P") or "JPEG" (0xFF 0xD8); empty for anything else.
std::string_view ImageFormatOf(std::string_view bytes);

// The requests of a verification-code question through `http`. Each address chooses TLS when its
// first six characters are exactly "https:" (lower case); the login page is asked for with the
// content type "text/html", the image with "image/*"; neither carries basic authentication. A
// failed request, whatever the reason, is false. `http` must outlive the request.
VerificationCodeRequest MakeVerificationRequest(HttpClient& http, std::string login_url,
                                                std::string image_url);

// Asks the user for the characters on a verification image: false when cancelled, else the
// untrimmed code in `code`.
using AskImageCode = std::function<bool(const VerificationCodeRequest& request, std::string& code)>;

enum class LoginOutcome {
  kDone,        // logged in, or nothing to do
  kCancelled,   // a verification code was cancelled: nothing was posted
  kPostFailed,  // the login post failed
};

struct LoginResult {
  LoginOutcome outcome = LoginOutcome::kDone;
  std::string cause;  // why the post failed (the HttpError's text)
};

// The login steps of templet `templet_id` for requests to `site_url`, its rows read with "select
// nam,val,tag from nvps where tmid=<id> order by tag" on store.qryM. `requests` (the settings of
// the requests that follow) loses its basic authentication first; then in tag order: tag 1 sets
// basic authentication for the origin of `site_url`; tag 2 remembers the login URL; tag 3 adds
// "nam=val" to the form; tag 4 asks `ask` with the login URL remembered so far and adds "nam=" +
// the untrimmed code. With a login URL the form is posted there (TLS by HttpsAnyCase of the
// login URL, the basic authentication of `requests`), its response dropped. A post that a
// redirect would send on to another origin fails there, before anything reaches that origin.
// Store errors pass on.
LoginResult PerformLogin(Tdm& store, HttpClient& http, int templet_id, std::string_view site_url,
                         const AskImageCode& ask, RequestSettings& requests);

// The login of a web run: PerformLogin with host.AskImageCode for the run's URL `run_url` and its
// settings `run`. Returns false when the run ends here: the question was cancelled (nothing is
// shown) or the post failed (the message box kLoginFailedText, caption "Error", error icon, has
// been shown, then its cause).
bool ApplyLogin(Tdm& store, HttpClient& http, RunHost& host, int templet_id,
                std::string_view run_url, RequestSettings& run);

}  // namespace sorvane
