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

bool IsDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return IsAsciiDigit(static_cast<unsigned char>(c));
  });
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

// The value of header line `line` when its name is `name` (any letter case), without blanks.
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return std::nullopt;
  if (!EqualsNoCase(line.substr(0, name.size()), name)) return std::nullopt;
  return TrimBlanks(line.substr(name.size() + 1));
}

// The length a Content-Length value gives, as decimal digits without leading zeros; nullopt
// when it is no length at all. A list of equal lengths ("12, 12") is that length.
std::optional<std::string> ContentLengthOf(std::string_view value) {
  std::optional<std::string> length;
  for (std::size_t at = 0; at <= value.size();) {
    std::size_t comma = value.find(',', at);
    if (comma == std::string_view::npos) comma = value.size();
    std::string_view item = TrimBlanks(value.substr(at, comma - at));
    if (!IsDigits(item)) return std::nullopt;
    while (item.size() > 1 && item.front() == '0')
      item.remove_prefix(1);
    if (length && *length != item) return std::nullopt;
    length = std::string(item);
    at = comma + 1;
  }
  return length;
}

// "256 MiB" for a limit in bytes.
std::string SizeText(std::size_t bytes) {
  if (bytes >= (std::size_t{1} << 20) && bytes % (std::size_t{1} << 20) == 0) {
    return std::to_string(bytes >> 20) + " MiB";
  }
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

// One cookie of the store as the library lists it: domain (with "#HttpOnly_" before it for an
// HttpOnly cookie), include-subdomains flag, path, secure flag, expiry, name and value, separated
// by tabs.
struct CookieLine {
  std::string line;
  std::string domain;  // lower case, without a leading "."
  std::string path;
  std::string name;
  bool secure = false;

  static std::optional<CookieLine> Parse(std::string line) {
    std::vector<std::string_view> fields;
    std::string_view rest(line);
    for (std::size_t tab; (tab = rest.find('\t')) != std::string_view::npos;) {
      fields.push_back(rest.substr(0, tab));
      rest.remove_prefix(tab + 1);
    }
    fields.push_back(rest);
    if (fields.size() < 7) return std::nullopt;
    CookieLine c;
    std::string_view domain = fields[0];
    if (domain.starts_with("#HttpOnly_")) domain.remove_prefix(10);
    if (domain.starts_with(".")) domain.remove_prefix(1);
    c.domain = AsciiLower(std::string(domain));
    c.path = std::string(fields[2]);
    c.secure = fields[3] == "TRUE";
    c.name = std::string(fields[5]);
    c.line = std::move(line);
    return c;
  }
  bool SameCookie(const CookieLine& other) const {
    return name == other.name && domain == other.domain && path == other.path;
  }
  // A cookie that, set over plain http, would shadow the secure cookie `secure` on its pages:
  // the same name, domains within one another, and a path inside the secure cookie's path.
  bool Shadows(const CookieLine& secure_one) const {
    const auto within = [](const std::string& a, const std::string& b) {
      return a == b || (a.size() > b.size() && a.ends_with(b) && a[a.size() - b.size() - 1] == '.');
    };
    const std::string& p = secure_one.path;
    const bool in_path = path.starts_with(p) &&
                         (path.size() == p.size() || p.ends_with('/') || path[p.size()] == '/');
    return name == secure_one.name &&
           (within(domain, secure_one.domain) || within(secure_one.domain, domain)) && in_path;
  }
};

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

  // The multi handle holds the connection cache, the easy handle (the last member, so that it
  // goes first and never outlives the buffers it points to) the cookie store; both live as long
  // as the client. The easy handle is added to the multi handle only during a request.
  MultiHandle multi;
  UrlHandle last_url;
  HeaderList headers;

  std::function<void()> pump;
  Clock::time_point next_pump = Clock::now();
  std::size_t body_limit = kDefaultBodyLimit;

  // State of the request in progress; the response fields are those of the latest response of a
  // redirect chain.
  bool busy = false;
  bool stop_requested = false;
  std::string body;
  std::string status_line;
  std::string response_type;  // Content-Type of the final response
  int header_lines = 0;
  std::optional<std::string> content_length;  // as ContentLengthOf gives it
  std::optional<std::string> location;
  std::string failure;  // set by a callback that refused the response
  std::array<char, CURL_ERROR_SIZE> error_text{};

  EasyHandle easy;

  Impl();
  std::string Perform(Method method, std::string_view address, std::string_view post_body,
                      const RequestSettings& settings, const std::string& type);
  UrlHandle Resolve(std::string_view address) const;
  static void RequireServed(CURLU* url, std::string_view address, bool tls);
  UrlHandle RedirectTarget(CURLU* from) const;
  void Configure(Method method, CURLU* url, std::string_view post_body,
                 const RequestSettings& settings, const std::string& type);
  long Transfer(Method method, CURLU* url, std::string_view post_body,
                const RequestSettings& settings, const std::string& type);
  bool Wait();  // false when stopped
  CURLcode Result();
  void RememberFinalUrl(CURLU* requested);
  std::vector<CookieLine> Cookies();
  void KeepSecureCookies(const std::vector<CookieLine>& before);

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
  // Redirects are followed here, one request at a time (see Perform).
  Set(e, CURLOPT_FOLLOWLOCATION, 0L);
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
    // Each response (and each interim 1xx) starts afresh.
    impl.header_lines = 0;
    impl.content_length.reset();
    impl.location.reset();
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
  if (const auto value = HeaderValue(line, "Content-Length")) {
    // Framing that contradicts itself would let the library cut the body anywhere.
    const std::optional<std::string> length = ContentLengthOf(*value);
    if (!length) {
      impl.failure = "the Content-Length header is not a length: " + std::string(*value);
      return 0;
    }
    if (impl.content_length && *impl.content_length != *length) {
      impl.failure =
          "two different Content-Length headers: " + *impl.content_length + " and " + *length;
      return 0;
    }
    impl.content_length = length;
  } else if (const auto target = HeaderValue(line, "Location")) {
    if (!impl.location) impl.location = std::string(*target);
  }
  return n;
}

size_t HttpClient::Impl::OnBody(char* data, size_t size, size_t count, void* self) {
  auto& impl = *static_cast<Impl*>(self);
  const size_t n = size * count;
  if (impl.body.size() > impl.body_limit || n > impl.body_limit - impl.body.size()) {
    impl.failure = "response larger than " + SizeText(impl.body_limit);
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

void HttpClient::Impl::RequireServed(CURLU* url, std::string_view address, bool tls) {
  const std::string scheme = AsciiLower(UrlPart(url, CURLUPART_SCHEME).value_or(""));
  if (scheme == "https" && !tls) {
    throw HttpError("TLS is off: the https address " + std::string(address) + " is refused");
  }
  if (scheme != "http" && scheme != "https") {
    throw HttpError("Unsupported protocol \"" + scheme + "\" in " + std::string(address));
  }
}

UrlHandle HttpClient::Impl::RedirectTarget(CURLU* from) const {
  CURLUcode rc = CURLUE_OK;
  UrlHandle target = ParseUrl(from, *location, rc);
  if (rc != CURLUE_OK) {
    throw HttpError("a redirect to an invalid address: " + *location + ": " +
                    curl_url_strerror(rc));
  }
  return target;
}

void HttpClient::Impl::Configure(Method method, CURLU* url, std::string_view post_body,
                                 const RequestSettings& settings, const std::string& type) {
  CURL* e = easy.get();
  const auto text = UrlPart(url, CURLUPART_URL);
  if (!text) throw HttpError("Invalid address");
  Set(e, CURLOPT_URL, text->c_str());

  const char* protocols = settings.tls ? "http,https" : "http";
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

  const std::optional<BasicAuth>& auth = settings.basic_auth;
  bool authorised = false;
  if (auth) {
    CURLUcode rc = CURLUE_OK;
    const UrlHandle origin_url = ParseUrl(nullptr, auth->origin_url, rc);
    const std::optional<Origin> origin =
        rc == CURLUE_OK ? OriginOf(origin_url.get()) : std::nullopt;
    authorised = origin && OriginOf(url) == origin;
  }
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

void HttpClient::Impl::RememberFinalUrl(CURLU* requested) {
  char* final_url = nullptr;
  if (curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &final_url) == CURLE_OK && final_url) {
    UrlHandle url(curl_url());
    if (url &&
        curl_url_set(url.get(), CURLUPART_URL, final_url, CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
      last_url = std::move(url);
      return;
    }
  }
  last_url.reset(curl_url_dup(requested));
}

std::vector<CookieLine> HttpClient::Impl::Cookies() {
  curl_slist* list = nullptr;
  if (curl_easy_getinfo(easy.get(), CURLINFO_COOKIELIST, &list) != CURLE_OK) return {};
  const HeaderList owned(list);
  std::vector<CookieLine> cookies;
  for (const curl_slist* item = list; item != nullptr; item = item->next) {
    if (auto cookie = CookieLine::Parse(item->data)) cookies.push_back(std::move(*cookie));
  }
  return cookies;
}

// A plain http response may not set, replace, shadow or remove a cookie marked Secure: the
// library lets it when the host is this computer. What such a response did to the store
// `before` it is undone: a cookie it changed gets its former line back, one it added goes.
void HttpClient::Impl::KeepSecureCookies(const std::vector<CookieLine>& before) {
  const auto find = [](const std::vector<CookieLine>& in, const CookieLine& cookie) {
    return std::find_if(in.begin(), in.end(),
                        [&](const CookieLine& c) { return c.SameCookie(cookie); });
  };
  std::vector<std::string> restore;
  const std::vector<CookieLine> after = Cookies();
  for (const CookieLine& cookie : after) {
    const auto old = find(before, cookie);
    if (old != before.end() && old->line == cookie.line) continue;
    const bool shadows = std::any_of(before.begin(), before.end(), [&](const CookieLine& c) {
      return c.secure && cookie.Shadows(c);
    });
    if (!cookie.secure && !shadows) continue;
    if (old != before.end()) {
      restore.push_back(old->line);
    } else {
      // Expired at once: the library drops it before it could be sent.
      CookieLine gone = cookie;
      std::vector<std::string> fields;
      std::string_view rest(gone.line);
      for (std::size_t tab; (tab = rest.find('\t')) != std::string_view::npos;) {
        fields.emplace_back(rest.substr(0, tab));
        rest.remove_prefix(tab + 1);
      }
      fields.emplace_back(rest);
      fields[4] = "1";
      std::string line;
      for (const std::string& field : fields)
        line += (line.empty() ? "" : "\t") + field;
      restore.push_back(line);
    }
  }
  for (const CookieLine& cookie : before) {
    if (cookie.secure && find(after, cookie) == after.end()) restore.push_back(cookie.line);
  }
  for (const std::string& line : restore)
    Set(easy.get(), CURLOPT_COOKIELIST, line.c_str());
}

long HttpClient::Impl::Transfer(Method method, CURLU* url, std::string_view post_body,
                                const RequestSettings& settings, const std::string& type) {
  Configure(method, url, post_body, settings, type);
  body.clear();
  status_line.clear();
  response_type.clear();
  header_lines = 0;
  content_length.reset();
  location.reset();
  failure.clear();
  error_text[0] = '\0';

  const bool plain = AsciiLower(UrlPart(url, CURLUPART_SCHEME).value_or("")) == "http";
  std::vector<CookieLine> cookies;
  if (plain) cookies = Cookies();
  const bool guard_cookies =
      std::any_of(cookies.begin(), cookies.end(), [](const CookieLine& c) { return c.secure; });

  struct Attached {
    Impl& impl;
    ~Attached() { curl_multi_remove_handle(impl.multi.get(), impl.easy.get()); }
  };
  if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) {
    throw HttpError("The request cannot be started");
  }
  bool finished = false;
  CURLcode result = CURLE_OK;
  {
    Attached attached{*this};
    finished = Wait();
    if (finished) result = Result();
    char* answered_type = nullptr;
    if (curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_TYPE, &answered_type) == CURLE_OK &&
        answered_type) {
      response_type = answered_type;
    }
    RememberFinalUrl(url);
    // Removing an unfinished transfer closes its connection: the server sees the disconnect.
  }
  if (guard_cookies) KeepSecureCookies(cookies);

  if (!finished) throw HttpError("The transfer was stopped");
  if (!failure.empty()) throw HttpError(failure);
  if (result == CURLE_SSL_CONNECT_ERROR) throw HttpError("TLS handshake failed");
  if (result != CURLE_OK) {
    throw HttpError(error_text[0] ? error_text.data() : curl_easy_strerror(result));
  }
  long code = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &code);
  return code;
}

// One request and the redirects after it. A redirect keeps the method, except that a post
// answered by 301, 302 or 303 goes on as a GET without body and without content type. A post
// answered by 307 or 308 is sent again only to its own origin: its body holds a login's
// password, which no redirect may carry to another site.
std::string HttpClient::Impl::Perform(Method method, std::string_view address,
                                      std::string_view post_body, const RequestSettings& settings,
                                      const std::string& type) {
  if (busy) throw HttpError("Another request is in progress");
  response_type.clear();
  UrlHandle url = Resolve(address);
  RequireServed(url.get(), address, settings.tls);
  const std::optional<Origin> post_origin = OriginOf(url.get());
  std::string request_type = type;
  busy = true;
  stop_requested = false;
  struct Idle {
    Impl& impl;
    ~Idle() { impl.busy = false; }
  } idle{*this};

  for (long redirects = 0;; ++redirects) {
    const long code = Transfer(method, url.get(), post_body, settings, request_type);
    if (code >= 300 && code <= 399 && code != 304 && location) {
      if (redirects == kMaxRedirects) throw HttpError("too many redirects");
      UrlHandle target = RedirectTarget(url.get());
      const std::string text = UrlPart(target.get(), CURLUPART_URL).value_or(*location);
      RequireServed(target.get(), text, settings.tls);
      if (method == Method::kPost) {
        if (code == 307 || code == 308) {
          if (OriginOf(target.get()) != post_origin) {
            throw HttpError("the post was redirected to another site (" + text + ")");
          }
        } else {
          method = Method::kGet;
          post_body = {};
          request_type.clear();
        }
      }
      url = std::move(target);
      continue;
    }
    if (code < 200 || code > 299) {
      throw HttpError(status_line.empty() ? "HTTP status " + std::to_string(code) : status_line);
    }
    std::string result_body;
    result_body.swap(body);
    return result_body;
  }
}

HttpClient::HttpClient() : impl_(std::make_unique<Impl>()) {}
HttpClient::~HttpClient() = default;

void HttpClient::SetPump(std::function<void()> pump) {
  impl_->pump = std::move(pump);
}

void HttpClient::SetBodyLimit(std::size_t bytes) {
  impl_->body_limit = bytes;
}

std::string HttpClient::GetText(std::string_view url, const RequestSettings& settings) {
  return impl_->Perform(Impl::Method::kGet, url, {}, settings, settings.content_type);
}

std::string HttpClient::GetBytes(std::string_view url, const RequestSettings& settings) {
  return impl_->Perform(Impl::Method::kGet, url, {}, settings, settings.content_type);
}

std::string HttpClient::PostForm(std::string_view url, const std::vector<std::string>& lines,
                                 const RequestSettings& settings) {
  return impl_->Perform(Impl::Method::kPost, url, EncodeFormBody(lines), settings,
                        kFormContentType);
}

std::string HttpClient::Post(std::string_view url, std::string_view body,
                             const RequestSettings& settings) {
  return impl_->Perform(Impl::Method::kPost, url, body, settings, settings.content_type);
}

void HttpClient::Stop() {
  if (impl_->busy) impl_->stop_requested = true;
}

bool HttpClient::Busy() const {
  return impl_->busy;
}

std::string HttpClient::ResponseContentType() const {
  return impl_->response_type;
}

std::string HttpClient::LastUrl() const {
  if (!impl_->last_url) return {};
  return UrlPart(impl_->last_url.get(), CURLUPART_URL).value_or("");
}

}  // namespace sorvane
