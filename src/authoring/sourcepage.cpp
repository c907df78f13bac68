#include "authoring/sourcepage.h"

#include "engine/httpclient.h"

namespace sorvane {

SourceLoad LoadSourcePage(Tdm& store, HttpClient& http, int templet_id, std::string_view url,
                          const AskImageCode& ask, SourcePage& page) {
  RequestSettings request = RunRequestSettings(url);
  if (templet_id != 0) {
    const LoginResult login = PerformLogin(store, http, templet_id, url, ask, request);
    switch (login.outcome) {
      case LoginOutcome::kDone:
        break;
      case LoginOutcome::kCancelled:
        return SourceLoad::kCancelled;
      case LoginOutcome::kPostFailed:
        page.cause = login.cause;
        return SourceLoad::kLoginFailed;
    }
  }
  page.bytes = http.GetText(url, request);
  page.content_type = http.ResponseContentType();
  return SourceLoad::kLoaded;
}

}  // namespace sorvane
