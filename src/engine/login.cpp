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
    http.SetUseTls(url.starts_with(kHttps));
    http.SetContentType("text/html");
    try {
      http.GetText(url);
      return true;
    } catch (const HttpError&) {
      return false;
    }
  };
  request.fetch_image = [&http](std::string_view url, std::string& bytes) {
    http.SetUseTls(url.starts_with(kHttps));
    http.SetContentType("image/*");
    try {
      bytes = http.GetBytes(url);
      return true;
    } catch (const HttpError&) {
      return false;
    }
  };
  return request;
}

bool ApplyLogin(Tdm& store, HttpClient& http, RunHost& host, int templet_id,
                std::string_view run_url) {
  http.ClearBasicAuth();

  // Read at once: the verification question lets the window process events, and with them
  // commands that use qryM.
  const std::vector<LoginRow> rows = ReadLoginRows(store, templet_id);

  std::optional<std::string> login_url;
  std::vector<std::string> form;
  for (const LoginRow& row : rows) {
    switch (row.tag) {
      case kLoginBasicAuth:
        // Only the templet's own site gets the credentials, never a host a page redirects to.
        http.SetBasicAuth(row.nam, row.val, run_url);
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
        if (!host.AskImageCode(request, code)) return false;
        form.push_back(row.nam + "=" + code);
        break;
      }
      default:
        break;
    }
  }

  if (!login_url) return true;
  http.SetUseTls(HttpsAnyCase(*login_url));
  try {
    http.PostForm(*login_url, form);
  } catch (const HttpError& e) {
    host.Message("Error", kLoginFailedText, RunHost::Icon::kError, RunHost::Buttons::kOk);
    host.ShowCause(e.what());
    return false;
  }
  return true;
}

}  // namespace sorvane
