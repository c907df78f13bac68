#pragma once

// Fetching the page that the page source viewer shows, with the templet's stored login, through
// the program's one HTTP client (so the cookies of the login go with the page request, and stay
// for later runs).

#include <string>
#include <string_view>

#include "engine/login.h"

namespace sorvane {

class HttpClient;
class Tdm;

// How loading ended when the page request itself did not fail.
enum class SourceLoad {
  kLoaded,       // the page was fetched
  kCancelled,    // the user cancelled a verification code: nothing more was requested
  kLoginFailed,  // the login post failed: the page was not requested
};

struct SourcePage {
  std::string bytes;         // the response body, byte for byte
  std::string content_type;  // the response's Content-Type header
  std::string cause;         // why the login post failed (kLoginFailed)
};

// Loads `url` for the viewer. With a templet id other than 0 the templet logs in first, the way
// a run does (PerformLogin, with `ask` for verification codes and `url` as the site); without one
// nothing but the page is requested. The page is fetched with GET, the content type
// "text/html", TLS when `url` starts with "https:" in any letter case, and the basic
// authentication of the login rows.
//
// Throws HttpError when the page fetch fails, StoreError when the rows cannot be read.
SourceLoad LoadSourcePage(Tdm& store, HttpClient& http, int templet_id, std::string_view url,
                          const AskImageCode& ask, SourcePage& page);

}  // namespace sorvane
