#include "engine/httpclient.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <climits>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "core/ascii.h"
#include "core/chandle.h"
#include "engine/qstrings.h"

namespace sorvane {
namespace {

using Clock = std::chrono::steady_clock;

using EasyHandle = CHandle<CURL, curl_easy_cleanup>;
using MultiHandle = CHandle<CURLM, curl_multi_cleanup>;
using UrlHandle = CHandle<CURLU, curl_url_cleanup>;
using HeaderList = CHandle<curl_slist, curl_slist_free_all>;
using CurlText = CHandle<char, curl_free>;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
      throw HttpError("The network library cannot be initialised");
    }
  });
}

// Options are only ever set with valid values; a refusal means the library lacks a feature the
// profile needs, which must not go unnoticed.
template <class T>
void Set(CURL* easy, CURLoption option, T value) {
  const CURLcode rc = curl_easy_setopt(easy, option, value);
  if (rc != CURLE_OK) throw HttpError(curl_easy_strerror(rc));
}

// The scheme, host and port of an address; two addresses with equal origins reach the same server.
struct Origin {
  std::string scheme;
  std::string host;
  std::string port;
  bool operator==(const Origin&) const = default;
};

std::optional<std::string> UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK) return std::nullopt;
  CurlText owned(text);
  return std::string(text);
}

std::optional<Origin> OriginOf(CURLU* url) {
  auto scheme = UrlPart(url, CURLUPART_SCHEME);
  auto host = UrlPart(url, CURLUPART_HOST);
  auto port = UrlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
  if (!scheme || !host || !port) return std::nullopt;
  return Origin{AsciiLower(*scheme), AsciiLower(*host), *port};
}

UrlHandle ParseUrl(CURLU* base, std::string_view address, CURLUcode& rc) {
  UrlHandle url(base ? curl_url_dup(base) : curl_url());
  if (!url) throw std::bad_alloc();
  if (address.find('\0') != std::string_view::npos) {
    rc = CURLUE_MALFORMED_INPUT;
    return url;
  }
  std::string text;
  text.reserve(address.size());
  for (char c : address) {
    if (c == ' ') {
      text += "%20";
    } else {
      text += c;
    }
  }
  rc = curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME);
  return url;
}

}  // namespace

std::string EncodeFormBody(const std::vector<std::string>& lines) {
  static constexpr std::string_view kEscaped = "*#%<> []";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string body;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) body += '&';
    const std::string& line = lines[i];
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      body += line;
      continue;
    }
    body.append(line, 0, eq + 1);
    for (std::size_t k = eq + 1; k < line.size(); ++k) {
      const auto c = static_cast<unsigned char>(line[k]);
      if (c >= 33 && c <= 128 && kEscaped.find(static_cast<char>(c)) == std::string_view::npos) {
        body += static_cast<char>(c);
      } else {
        body += '%';
        body += kHex[c >> 4];
        body += kHex[c & 15];
      }
    }
  }
  TrimInPlace(body);
  return body;
}

struct HttpClient::Impl {
  enum class Method { kGet, kPost };

  struct BasicAuth {
    std::string user;
    std::string password;
    std::optional<Origin> origin;
  };

  // The multi handle holds the connection cache, the easy handle (the last member, so that it
  // goes first and never outlives the buffers it points to) the cookie store; both live as long
  // as the client. The easy handle is added to the multi handle only during a request.
  MultiHandle multi;
  UrlHandle last_url;
  HeaderList headers;

  std::function<void()> pump;
  Clock::time_point next_pump = Clock::now();
  bool tls = false;
  std::string content_type = kFormContentType;
  std::optional<BasicAuth> auth;
  std::size_t body_limit = kDefaultBodyLimit;

  // State of the request in progress.
  bool busy = false;
  bool stop_requested = false;
  std::string body;
  std::string status_line;
  int header_lines = 0;
  std::string failure;  // set by a callback that refused the response
  std::array<char, CURL_ERROR_SIZE> error_text{};

  EasyHandle easy;

  Impl();
  std::string Perform(Method method, std::string_view address, std::string_view post_body,
                      const std::string& type);
  UrlHandle Resolve(std::string_view address) const;
  void Configure(Method method, CURLU* url, std::string_view post_body, const std::string& type);
  bool Wait();  // false when stopped
  CURLcode Result();
  void RememberFinalUrl(UrlHandle requested);

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
};

HttpClient::Impl::Impl() {
  GlobalInit();
  multi.reset(curl_multi_init());
  easy.reset(curl_easy_init());
  if (!multi || !easy) throw HttpError("The network library cannot create a client");
  CURL* e = easy.get();

  // The empty file name switches on the cookie engine without reading any file.
  Set(e, CURLOPT_COOKIEFILE, "");
  Set(e, CURLOPT_FOLLOWLOCATION, 1L);
  Set(e, CURLOPT_MAXREDIRS, kMaxRedirects);
  Set(e, CURLOPT_UNRESTRICTED_AUTH, 0L);
  // An empty proxy name disables proxies even when the environment names one.
  Set(e, CURLOPT_PROXY, "");
  Set(e, CURLOPT_NOPROXY, "*");
  Set(e, CURLOPT_USERAGENT, kUserAgent);
  Set(e, CURLOPT_SSL_VERIFYPEER, 0L);
  Set(e, CURLOPT_SSL_VERIFYHOST, 0L);
  // Zero would mean the library's built-in limit of 300 s; requests wait until the server
  // answers, the connection fails or the user stops them.
  Set(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(INT_MAX));
  Set(e, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  Set(e, CURLOPT_HEADERDATA, this);
  Set(e, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
  Set(e, CURLOPT_WRITEDATA, this);
  Set(e, CURLOPT_ERRORBUFFER, error_text.data());
}

size_t HttpClient::Impl::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto& impl = *static_cast<Impl*>(self);
  const size_t n = size * count;
  std::string_view line(data, n);
  if (line.starts_with("HTTP/")) {
    // Each response of a redirect chain (and each interim 1xx) starts afresh.
    impl.header_lines = 0;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
      line.remove_suffix(1);
    impl.status_line = line;
    return n;
  }
  if (line == "\r\n" || line == "\n") return n;
  if (++impl.header_lines > kMaxHeaderLines) {
    impl.failure =
        "The response has more than " + std::to_string(kMaxHeaderLines) + " header lines";
    return 0;
  }
  return n;
}

size_t HttpClient::Impl::OnBody(char* data, size_t size, size_t count, void* self) {
  auto& impl = *static_cast<Impl*>(self);
  const size_t n = size * count;
  if (impl.body.size() > impl.body_limit || n > impl.body_limit - impl.body.size()) {
    impl.failure = "The response body is larger than " + std::to_string(impl.body_limit) + " bytes";
    return 0;
  }
  impl.body.append(data, n);
  return n;
}

UrlHandle HttpClient::Impl::Resolve(std::string_view address) const {
  if (address.empty()) throw HttpError("No address given");
  CURLUcode rc = CURLUE_OK;
  UrlHandle url = ParseUrl(last_url.get(), address, rc);
  if (rc == CURLUE_OK) return url;
  std::string message = "Invalid address \"" + std::string(address) + "\": ";
  message += curl_url_strerror(rc);
  if (!last_url && rc == CURLUE_BAD_SCHEME)
    message += " (a relative address needs a previous page)";
  throw HttpError(message);
}

void HttpClient::Impl::Configure(Method method, CURLU* url, std::string_view post_body,
                                 const std::string& type) {
  CURL* e = easy.get();
  const auto text = UrlPart(url, CURLUPART_URL);
  if (!text) throw HttpError("Invalid address");
  Set(e, CURLOPT_URL, text->c_str());

  const char* protocols = tls ? "http,https" : "http";
  Set(e, CURLOPT_PROTOCOLS_STR, protocols);
  Set(e, CURLOPT_REDIR_PROTOCOLS_STR, protocols);

  HeaderList list(curl_slist_append(nullptr, (std::string("Accept: ") + kAccept).c_str()));
  if (!list) throw std::bad_alloc();
  // "Content-Type:" with nothing after it stops the library from adding its own to a post.
  const std::string type_header = "Content-Type:" + (type.empty() ? "" : " " + type);
  if (!type.empty() || method == Method::kPost) {
    if (!curl_slist_append(list.get(), type_header.c_str())) throw std::bad_alloc();
  }
  Set(e, CURLOPT_HTTPHEADER, list.get());
  headers = std::move(list);

  const bool authorised = auth && auth->origin && OriginOf(url) == auth->origin;
  if (authorised) {
    Set(e, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    Set(e, CURLOPT_USERNAME, auth->user.c_str());
    Set(e, CURLOPT_PASSWORD, auth->password.c_str());
  } else {
    Set(e, CURLOPT_USERNAME, static_cast<const char*>(nullptr));
    Set(e, CURLOPT_PASSWORD, static_cast<const char*>(nullptr));
  }

  if (method == Method::kPost) {
    Set(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    Set(e, CURLOPT_FRESH_CONNECT, 1L);
    Set(e, CURLOPT_FORBID_REUSE, 1L);
    // The library copies exactly the given size; c_str() is never null, even for an empty form.
    const std::string copy(post_body);
    Set(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(copy.size()));
    Set(e, CURLOPT_COPYPOSTFIELDS, copy.c_str());
  } else {
    Set(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    Set(e, CURLOPT_FRESH_CONNECT, 0L);
    Set(e, CURLOPT_FORBID_REUSE, 0L);
    Set(e, CURLOPT_HTTPGET, 1L);
  }
}

bool HttpClient::Impl::Wait() {
  for (;;) {
    int running = 0;
    CURLMcode mc = curl_multi_perform(multi.get(), &running);
    if (mc != CURLM_OK) throw HttpError(curl_multi_strerror(mc));
    if (running == 0) return true;

    auto now = Clock::now();
    if (now >= next_pump) {
      next_pump = now + kPumpInterval;
      if (pump) pump();
      if (stop_requested) return false;
      now = Clock::now();
    }
    // The poll returns at once on socket activity, so a quick answer is read without waiting for
    // the pump interval to run out.
    const auto until_pump =
        std::chrono::ceil<std::chrono::milliseconds>(std::max(next_pump - now, Clock::duration{}));
    const int wait_ms =
        static_cast<int>(std::min<std::chrono::milliseconds>(until_pump, kPumpInterval).count());
    mc = curl_multi_poll(multi.get(), nullptr, 0, wait_ms, nullptr);
    if (mc != CURLM_OK) throw HttpError(curl_multi_strerror(mc));
  }
}

CURLcode HttpClient::Impl::Result() {
  CURLcode result = CURLE_OK;
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy.get()) result = msg->data.result;
  }
  return result;
}

void HttpClient::Impl::RememberFinalUrl(UrlHandle requested) {
  char* final_url = nullptr;
  if (curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &final_url) == CURLE_OK && final_url) {
    UrlHandle url(curl_url());
    if (url &&
        curl_url_set(url.get(), CURLUPART_URL, final_url, CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
      last_url = std::move(url);
      return;
    }
  }
  last_url = std::move(requested);
}

std::string HttpClient::Impl::Perform(Method method, std::string_view address,
                                      std::string_view post_body, const std::string& type) {
  if (busy) throw HttpError("Another request is in progress");
  UrlHandle url = Resolve(address);
  const std::string scheme = AsciiLower(UrlPart(url.get(), CURLUPART_SCHEME).value_or(""));
  if (scheme == "https" && !tls) {
    throw HttpError("TLS is off: the https address " + std::string(address) + " is refused");
  }
  if (scheme != "http" && scheme != "https") {
    throw HttpError("Unsupported protocol \"" + scheme + "\" in " + std::string(address));
  }
  Configure(method, url.get(), post_body, type);

  body.clear();
  status_line.clear();
  header_lines = 0;
  failure.clear();
  error_text[0] = '\0';
  stop_requested = false;
  busy = true;

  struct Attached {
    Impl& impl;
    ~Attached() {
      curl_multi_remove_handle(impl.multi.get(), impl.easy.get());
      impl.busy = false;
    }
  };
  if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) {
    busy = false;
    throw HttpError("The request cannot be started");
  }
  bool finished = false;
  CURLcode result = CURLE_OK;
  {
    Attached attached{*this};
    finished = Wait();
    if (finished) result = Result();
    RememberFinalUrl(std::move(url));
    // Removing an unfinished transfer closes its connection: the server sees the disconnect.
  }

  if (!finished) throw HttpError("The transfer was stopped");
  if (!failure.empty()) throw HttpError(failure);
  if (result != CURLE_OK) {
    throw HttpError(error_text[0] ? error_text.data() : curl_easy_strerror(result));
  }
  long code = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &code);
  if (code < 200 || code > 299) {
    throw HttpError(status_line.empty() ? "HTTP status " + std::to_string(code) : status_line);
  }
  std::string result_body;
  result_body.swap(body);
  return result_body;
}

HttpClient::HttpClient() : impl_(std::make_unique<Impl>()) {}
HttpClient::~HttpClient() = default;

void HttpClient::SetPump(std::function<void()> pump) {
  impl_->pump = std::move(pump);
}

void HttpClient::SetUseTls(bool on) {
  impl_->tls = on;
}

bool HttpClient::UseTls() const {
  return impl_->tls;
}

void HttpClient::SetContentType(std::string content_type) {
  impl_->content_type = std::move(content_type);
}

const std::string& HttpClient::ContentType() const {
  return impl_->content_type;
}

void HttpClient::SetBasicAuth(std::string user, std::string password, std::string_view origin_url) {
  CURLUcode rc = CURLUE_OK;
  UrlHandle url = ParseUrl(nullptr, origin_url, rc);
  std::optional<Origin> origin;
  if (rc == CURLUE_OK) origin = OriginOf(url.get());
  impl_->auth = Impl::BasicAuth{std::move(user), std::move(password), std::move(origin)};
}

void HttpClient::ClearBasicAuth() {
  impl_->auth.reset();
}

void HttpClient::SetBodyLimit(std::size_t bytes) {
  impl_->body_limit = bytes;
}

std::string HttpClient::GetText(std::string_view url) {
  return impl_->Perform(Impl::Method::kGet, url, {}, impl_->content_type);
}

std::string HttpClient::GetBytes(std::string_view url) {
  return impl_->Perform(Impl::Method::kGet, url, {}, impl_->content_type);
}

std::string HttpClient::PostForm(std::string_view url, const std::vector<std::string>& lines) {
  return impl_->Perform(Impl::Method::kPost, url, EncodeFormBody(lines), kFormContentType);
}

std::string HttpClient::Post(std::string_view url, std::string_view body) {
  return impl_->Perform(Impl::Method::kPost, url, body, impl_->content_type);
}

void HttpClient::Stop() {
  if (impl_->busy) impl_->stop_requested = true;
}

bool HttpClient::Busy() const {
  return impl_->busy;
}

std::string HttpClient::LastUrl() const {
  if (!impl_->last_url) return {};
  return UrlPart(impl_->last_url.get(), CURLUPART_URL).value_or("");
}

}  // namespace sorvane
