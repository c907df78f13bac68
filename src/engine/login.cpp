#include "engine/login.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/store.h"
#include "core/templetmodel.h"
#include "engine/httpclient.h"
#include "engine/qstrings.h"

namespace sorvane {
namespace {

constexpr std::string_view kHttps = "https:";

}  // namespace

bool HttpsAnyCase(std::string_view address) {
  return address.size() >= kHttps.size() && PosText(kHttps, address.substr(0, kHttps.size())) == 1;
}

RequestSettings RunRequestSettings(std::string_view run_url) {
  RequestSettings settings;
  settings.tls = HttpsAnyCase(run_url);
  settings.content_type = "text/html";
  return settings;
}

std::string_view ImageFormatOf(std::string_view bytes) {
  if (bytes.size() < 2) return {};
  const auto b0 = static_cast<unsigned char>(bytes[0]);
  const auto b1 = static_cast<unsigned char>(bytes[1]);
  if (b0 == 'G' && b1 == 'I') return "GIF";
  if (b0 == 'B' && b1 == 'M') return "BMP";
  if (b0 == 0x89 && b1 == 'P') return "PNG";
  if (b0 == 0xFF && b1 == 0xD8) return "JPEG";
  return {};
}

VerificationCodeRequest MakeVerificationRequest(HttpClient& http, std::string login_url,
                                                std::string image_url) {
  VerificationCodeRequest request;
  request.login_url = std::move(login_url);
  request.image_url = std::move(image_url);
  request.open_login_page = [&http](std::string_view url) {
    RequestSettings settings;
    settings.tls = url.starts_with(kHttps);
    settings.content_type = "text/html";
    try {
      http.GetText(url, settings);
      return true;
    } catch (const HttpError&) {
      return false;
    }
  };
  request.fetch_image = [&http](std::string_view url, std::string& bytes) {
    RequestSettings settings;
    settings.tls = url.starts_with(kHttps);
    settings.content_type = "image/*";
    try {
      bytes = http.GetBytes(url, settings);
      return true;
    } catch (const HttpError&) {
      return false;
    }
  };
  return request;
}

LoginResult PerformLogin(Tdm& store, HttpClient& http, int templet_id, std::string_view site_url,
                         const AskImageCode& ask, RequestSettings& requests) {
  requests.basic_auth.reset();

  // Read at once: the verification question lets the window process events, and with them
  // commands that use qryM.
  const std::vector<LoginRow> rows = ReadLoginRows(store, templet_id);

  std::optional<std::string> login_url;
  std::vector<std::string> form;
  for (const LoginRow& row : rows) {
    switch (row.tag) {
      case kLoginBasicAuth:
        // Only the templet's own site gets the credentials, never a host a page redirects to.
        requests.basic_auth = BasicAuth{row.nam, row.val, std::string(site_url)};
        break;
      case kLoginUrl:
        login_url = row.val;
        break;
      case kLoginField:
        form.push_back(row.nam + "=" + row.val);
        break;
      case kLoginImageCode: {
        std::string code;
        const VerificationCodeRequest request =
            MakeVerificationRequest(http, login_url.value_or(std::string()), row.val);
        if (!ask || !ask(request, code)) return {LoginOutcome::kCancelled, {}};
        form.push_back(row.nam + "=" + code);
        break;
      }
      default:
        break;
    }
  }

  if (!login_url) return {};
  RequestSettings post = requests;
  post.tls = HttpsAnyCase(*login_url);
  try {
    http.PostForm(*login_url, form, post);
  } catch (const HttpError& e) {
    return {LoginOutcome::kPostFailed, e.what()};
  }
  return {};
}

bool ApplyLogin(Tdm& store, HttpClient& http, RunHost& host, int templet_id,
                std::string_view run_url, RequestSettings& run) {
  const AskImageCode ask = [&host](const VerificationCodeRequest& request, std::string& code) {
    return host.AskImageCode(request, code);
  };
  const LoginResult login = PerformLogin(store, http, templet_id, run_url, ask, run);
  switch (login.outcome) {
    case LoginOutcome::kDone:
      return true;
    case LoginOutcome::kCancelled:
      return false;
    case LoginOutcome::kPostFailed:
      break;
  }
  host.Message("Error", kLoginFailedText, RunHost::Icon::kError, RunHost::Buttons::kOk);
  host.ShowCause(login.cause);
  return false;
}

}  // namespace sorvane
