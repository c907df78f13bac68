#include "engine/httpclient.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
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
using ShareHandle = CHandle<CURLSH, curl_share_cleanup>;

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

  // One easy handle and the state of the latest response it received. The serial requests use
  // the client's own exchange; every started GET has one of its own. The handle is added to the
  // multi handle only while a transfer runs.
  struct Exchange {
    Impl& owner;
    EasyHandle easy;
    HeaderList headers;
    std::string body;
    std::string status_line;
    int header_lines = 0;
    std::optional<std::string> content_length;  // as ContentLengthOf gives it
    std::optional<std::string> location;
    std::optional<std::string> retry_after;
    std::string failure;  // set by a callback that refused the response
    std::array<char, CURL_ERROR_SIZE> error_text{};
    bool attached = false;
    bool done = false;  // the transfer ended; `result` says how
    CURLcode result = CURLE_OK;

    explicit Exchange(Impl& impl);
    ~Exchange() { Detach(); }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Clears the response state before a transfer.
    void Reset();
    void Attach();
    // Removing an unfinished transfer closes its connection: the server sees the disconnect.
    void Detach();
    std::string FinalUrl() const;
    std::string ContentType() const;
    // The status code of a finished transfer; throws HttpError when it got no usable response.
    long Code() const;
  };

  // A GET started by StartGet: it follows its redirects on its own exchange.
  struct StartedGet {
    std::unique_ptr<Exchange> exchange;
    UrlHandle url;
    RequestSettings settings;
    long redirects = 0;
    bool finished = false;
    GetResult result;
    // The current hop is plain http.
    bool Plain() const {
      return AsciiLower(UrlPart(url.get(), CURLUPART_SCHEME).value_or("")) == "http";
    }
  };

  // Member order matters for destruction: exchanges go first (detaching from the multi handle),
  // then the share that holds the cookie store, then the multi handle with the connection cache.
  MultiHandle multi;
  ShareHandle share;
  UrlHandle last_url;

  std::function<void()> pump;
  Clock::time_point next_pump = Clock::now();
  std::size_t body_limit = kDefaultBodyLimit;

  bool busy = false;
  bool stop_requested = false;
  std::string response_type;  // Content-Type of the previous request's final response

  std::map<GetId, StartedGet> gets;
  GetId next_get = 1;
  std::vector<std::unique_ptr<Exchange>> idle;  // handles of finished GETs, for the next ones

  std::unique_ptr<Exchange> main;

  Impl();
  std::string Perform(Method method, std::string_view address, std::string_view post_body,
                      const RequestSettings& settings, const std::string& type);
  UrlHandle Resolve(std::string_view address) const;
  static void RequireServed(CURLU* url, std::string_view address, bool tls);
  // The next hop after a response with `code`, or null when the response is final. Throws
  // HttpError when the redirect is one too many or leads to an address the request may not use.
  static UrlHandle NextHop(const Exchange& x, CURLU* from, long code, long redirects, bool tls);
  static HttpError StatusError(const Exchange& x, long code);
  void Configure(Exchange& x, Method method, CURLU* url, std::string_view post_body,
                 const RequestSettings& settings, const std::string& type);
  long Transfer(Method method, CURLU* url, std::string_view post_body,
                const RequestSettings& settings, const std::string& type);
  // Runs the transfers once and marks those that ended.
  void Drive();
  // Lets every started GET whose transfer ended follow its redirect or finish.
  void Advance();
  void Pump();
  int PollMs(Clock::time_point until) const;
  bool Wait(const Exchange& x);  // false when stopped
  void RememberFinalUrl(const Exchange& x, CURLU* requested);
  std::unique_ptr<Exchange> TakeIdleExchange();
  std::vector<CookieLine> Cookies();
  void KeepSecureCookies(const std::vector<CookieLine>& before);

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
};

HttpClient::Impl::Exchange::Exchange(Impl& impl) : owner(impl), easy(curl_easy_init()) {
  if (!easy) throw HttpError("The network library cannot create a client");
  CURL* e = easy.get();
  // Cookies live in the share, so every exchange sees the same store.
  Set(e, CURLOPT_SHARE, impl.share.get());
  // The empty file name switches on the cookie engine without reading any file.
  Set(e, CURLOPT_COOKIEFILE, "");
  // Redirects are followed here, one hop at a time (see Perform and Advance).
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
  Set(e, CURLOPT_PRIVATE, static_cast<void*>(this));
}

void HttpClient::Impl::Exchange::Reset() {
  body.clear();
  status_line.clear();
  header_lines = 0;
  content_length.reset();
  location.reset();
  retry_after.reset();
  failure.clear();
  error_text[0] = '\0';
  done = false;
  result = CURLE_OK;
}

void HttpClient::Impl::Exchange::Attach() {
  if (curl_multi_add_handle(owner.multi.get(), easy.get()) != CURLM_OK) {
    throw HttpError("The request cannot be started");
  }
  attached = true;
}

void HttpClient::Impl::Exchange::Detach() {
  if (!attached) return;
  curl_multi_remove_handle(owner.multi.get(), easy.get());
  attached = false;
}

std::string HttpClient::Impl::Exchange::FinalUrl() const {
  char* url = nullptr;
  if (curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || !url) return {};
  return url;
}

std::string HttpClient::Impl::Exchange::ContentType() const {
  char* type = nullptr;
  if (curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_TYPE, &type) != CURLE_OK || !type) return {};
  return type;
}

long HttpClient::Impl::Exchange::Code() const {
  if (!failure.empty()) throw HttpError(failure);
  if (result == CURLE_SSL_CONNECT_ERROR) throw HttpError("TLS handshake failed");
  if (result != CURLE_OK) {
    // The server closed or reset the connection before its answer was whole.
    const bool dropped = result == CURLE_GOT_NOTHING || result == CURLE_RECV_ERROR ||
                         result == CURLE_SEND_ERROR || result == CURLE_PARTIAL_FILE;
    HttpError::Details details;
    details.dropped = dropped;
    throw HttpError(error_text[0] ? error_text.data() : curl_easy_strerror(result), details);
  }
  long code = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &code);
  return code;
}

HttpClient::Impl::Impl() {
  GlobalInit();
  multi.reset(curl_multi_init());
  share.reset(curl_share_init());
  if (!multi || !share) throw HttpError("The network library cannot create a client");
  for (const curl_lock_data data : {CURL_LOCK_DATA_COOKIE, CURL_LOCK_DATA_SSL_SESSION}) {
    if (curl_share_setopt(share.get(), CURLSHOPT_SHARE, data) != CURLSHE_OK) {
      throw HttpError("The network library cannot share cookies between requests");
    }
  }
  main = std::make_unique<Exchange>(*this);
}

size_t HttpClient::Impl::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto& x = *static_cast<Exchange*>(self);
  const size_t n = size * count;
  std::string_view line(data, n);
  if (line.starts_with("HTTP/")) {
    // Each response (and each interim 1xx) starts afresh.
    x.header_lines = 0;
    x.content_length.reset();
    x.location.reset();
    x.retry_after.reset();
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
      line.remove_suffix(1);
    x.status_line = line;
    return n;
  }
  if (line == "\r\n" || line == "\n") return n;
  if (++x.header_lines > kMaxHeaderLines) {
    x.failure = "The response has more than " + std::to_string(kMaxHeaderLines) + " header lines";
    return 0;
  }
  if (const auto value = HeaderValue(line, "Content-Length")) {
    // Framing that contradicts itself would let the library cut the body anywhere.
    const std::optional<std::string> length = ContentLengthOf(*value);
    if (!length) {
      x.failure = "the Content-Length header is not a length: " + std::string(*value);
      return 0;
    }
    if (x.content_length && *x.content_length != *length) {
      x.failure = "two different Content-Length headers: " + *x.content_length + " and " + *length;
      return 0;
    }
    x.content_length = length;
  } else if (const auto target = HeaderValue(line, "Location")) {
    if (!x.location) x.location = std::string(*target);
  } else if (const auto after = HeaderValue(line, "Retry-After")) {
    if (!x.retry_after) x.retry_after = std::string(*after);
  }
  return n;
}

size_t HttpClient::Impl::OnBody(char* data, size_t size, size_t count, void* self) {
  auto& x = *static_cast<Exchange*>(self);
  const size_t n = size * count;
  const std::size_t limit = x.owner.body_limit;
  if (x.body.size() > limit || n > limit - x.body.size()) {
    x.failure = "response larger than " + SizeText(limit);
    return 0;
  }
  x.body.append(data, n);
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

UrlHandle HttpClient::Impl::NextHop(const Exchange& x, CURLU* from, long code, long redirects,
                                    bool tls) {
  if (code < 300 || code > 399 || code == 304 || !x.location) return nullptr;
  if (redirects == kMaxRedirects) throw HttpError("too many redirects");
  CURLUcode rc = CURLUE_OK;
  UrlHandle target = ParseUrl(from, *x.location, rc);
  if (rc != CURLUE_OK) {
    throw HttpError("a redirect to an invalid address: " + *x.location + ": " +
                    curl_url_strerror(rc));
  }
  const std::string text = UrlPart(target.get(), CURLUPART_URL).value_or(*x.location);
  RequireServed(target.get(), text, tls);
  return target;
}

HttpError HttpClient::Impl::StatusError(const Exchange& x, long code) {
  HttpError::Details details;
  details.status = code;
  // Only the delay form in seconds is honoured; a date gives none.
  if (x.retry_after && IsDigits(*x.retry_after)) {
    const std::string& digits = *x.retry_after;
    details.retry_after = digits.size() > 9 ? 999999999L : std::stol(digits);
  }
  return HttpError(x.status_line.empty() ? "HTTP status " + std::to_string(code) : x.status_line,
                   details);
}

void HttpClient::Impl::Configure(Exchange& x, Method method, CURLU* url, std::string_view post_body,
                                 const RequestSettings& settings, const std::string& type) {
  CURL* e = x.easy.get();
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
  x.headers = std::move(list);

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

void HttpClient::Impl::Drive() {
  int running = 0;
  const CURLMcode mc = curl_multi_perform(multi.get(), &running);
  if (mc != CURLM_OK) throw HttpError(curl_multi_strerror(mc));
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
    if (msg->msg != CURLMSG_DONE) continue;
    char* exchange = nullptr;
    if (curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &exchange) != CURLE_OK) continue;
    if (exchange == nullptr) continue;
    auto* x = reinterpret_cast<Exchange*>(exchange);
    x->done = true;
    x->result = msg->data.result;
  }
}

void HttpClient::Impl::Advance() {
  for (auto& [id, get] : gets) {
    if (get.finished || !get.exchange->done) continue;
    Exchange& x = *get.exchange;
    x.Detach();
    try {
      const long code = x.Code();
      if (UrlHandle next = NextHop(x, get.url.get(), code, get.redirects, get.settings.tls)) {
        ++get.redirects;
        get.url = std::move(next);
        Configure(x, Method::kGet, get.url.get(), {}, get.settings, get.settings.content_type);
        x.Reset();
        x.Attach();
        continue;
      }
      if (code < 200 || code > 299) throw StatusError(x, code);
      get.result.body.swap(x.body);
    } catch (const HttpError& e) {
      get.result.error = e;
    }
    get.result.final_url = x.FinalUrl();
    get.result.content_type = x.ContentType();
    get.finished = true;
    x.body.clear();
    idle.push_back(std::move(get.exchange));
  }
}

void HttpClient::Impl::Pump() {
  next_pump = Clock::now() + kPumpInterval;
  if (pump) pump();
}

// The poll returns at once on socket activity, so a quick answer is read without waiting for
// the pump interval to run out.
int HttpClient::Impl::PollMs(Clock::time_point until) const {
  const auto now = Clock::now();
  const auto wake = std::min(next_pump, until);
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(std::max(wake - now, Clock::duration{}));
  return static_cast<int>(std::min<std::chrono::milliseconds>(left, kPumpInterval).count());
}

bool HttpClient::Impl::Wait(const Exchange& x) {
  for (;;) {
    Drive();
    Advance();
    if (x.done) return true;
    if (Clock::now() >= next_pump) {
      Pump();
      if (stop_requested) return false;
    }
    const CURLMcode mc =
        curl_multi_poll(multi.get(), nullptr, 0, PollMs(Clock::time_point::max()), nullptr);
    if (mc != CURLM_OK) throw HttpError(curl_multi_strerror(mc));
  }
}

void HttpClient::Impl::RememberFinalUrl(const Exchange& x, CURLU* requested) {
  const std::string final_url = x.FinalUrl();
  if (!final_url.empty()) {
    UrlHandle url(curl_url());
    if (url && curl_url_set(url.get(), CURLUPART_URL, final_url.c_str(),
                            CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
      last_url = std::move(url);
      return;
    }
  }
  last_url.reset(curl_url_dup(requested));
}

std::unique_ptr<HttpClient::Impl::Exchange> HttpClient::Impl::TakeIdleExchange() {
  if (idle.empty()) return std::make_unique<Exchange>(*this);
  std::unique_ptr<Exchange> x = std::move(idle.back());
  idle.pop_back();
  return x;
}

std::vector<CookieLine> HttpClient::Impl::Cookies() {
  curl_slist* list = nullptr;
  if (curl_easy_getinfo(main->easy.get(), CURLINFO_COOKIELIST, &list) != CURLE_OK) return {};
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
    Set(main->easy.get(), CURLOPT_COOKIELIST, line.c_str());
}

long HttpClient::Impl::Transfer(Method method, CURLU* url, std::string_view post_body,
                                const RequestSettings& settings, const std::string& type) {
  Exchange& x = *main;
  Configure(x, method, url, post_body, settings, type);
  x.Reset();

  const bool plain = AsciiLower(UrlPart(url, CURLUPART_SCHEME).value_or("")) == "http";
  std::vector<CookieLine> cookies;
  if (plain) cookies = Cookies();
  const bool guard_cookies =
      std::any_of(cookies.begin(), cookies.end(), [](const CookieLine& c) { return c.secure; });

  struct Attached {
    Exchange& x;
    ~Attached() { x.Detach(); }
  };
  x.Attach();
  bool finished = false;
  {
    Attached attached{x};
    finished = Wait(x);
    response_type = x.ContentType();
    RememberFinalUrl(x, url);
  }
  if (guard_cookies) KeepSecureCookies(cookies);

  if (!finished) throw HttpError("The transfer was stopped");
  return x.Code();
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
  } idle_guard{*this};

  for (long redirects = 0;; ++redirects) {
    const long code = Transfer(method, url.get(), post_body, settings, request_type);
    if (UrlHandle target = NextHop(*main, url.get(), code, redirects, settings.tls)) {
      if (method == Method::kPost) {
        if (code == 307 || code == 308) {
          if (OriginOf(target.get()) != post_origin) {
            const std::string text = UrlPart(target.get(), CURLUPART_URL).value_or(*main->location);
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
    if (code < 200 || code > 299) throw StatusError(*main, code);
    std::string result_body;
    result_body.swap(main->body);
    return result_body;
  }
}

HttpError::HttpError(const std::string& what, const Details& details)
    : std::runtime_error(what), details_(details) {}

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

HttpClient::GetId HttpClient::StartGet(std::string_view url, const RequestSettings& settings) {
  Impl& m = *impl_;
  if (m.busy) throw HttpError("Another request is in progress");
  UrlHandle address = m.Resolve(url);
  Impl::RequireServed(address.get(), url, settings.tls);
  Impl::StartedGet get;
  get.exchange = m.TakeIdleExchange();
  get.settings = settings;
  m.Configure(*get.exchange, Impl::Method::kGet, address.get(), {}, settings,
              settings.content_type);
  get.url = std::move(address);
  get.exchange->Reset();
  get.exchange->Attach();
  const GetId id = m.next_get++;
  m.gets.emplace(id, std::move(get));
  return id;
}

std::vector<HttpClient::GetId> HttpClient::WaitForGets(
    std::chrono::steady_clock::time_point until) {
  Impl& m = *impl_;
  if (m.busy) throw HttpError("Another request is in progress");
  m.busy = true;
  m.stop_requested = false;
  struct Idle {
    Impl& impl;
    ~Idle() { impl.busy = false; }
  } idle_guard{m};

  for (;;) {
    // A plain response may not touch a Secure cookie; with several transfers under way the
    // store is compared around every round of them.
    const bool plain = std::any_of(m.gets.begin(), m.gets.end(), [](const auto& entry) {
      return !entry.second.finished && entry.second.Plain();
    });
    std::vector<CookieLine> cookies;
    if (plain) cookies = m.Cookies();
    const bool guard_cookies =
        std::any_of(cookies.begin(), cookies.end(), [](const CookieLine& c) { return c.secure; });
    m.Drive();
    m.Advance();
    if (guard_cookies) m.KeepSecureCookies(cookies);

    std::vector<GetId> finished;
    for (const auto& [id, get] : m.gets) {
      if (get.finished) finished.push_back(id);
    }
    if (!finished.empty()) return finished;
    if (Clock::now() >= until) return finished;
    if (Clock::now() >= m.next_pump) {
      m.Pump();
      if (m.stop_requested) {
        CancelGets();
        throw HttpError("The transfer was stopped");
      }
    }
    const CURLMcode mc = curl_multi_poll(m.multi.get(), nullptr, 0, m.PollMs(until), nullptr);
    if (mc != CURLM_OK) throw HttpError(curl_multi_strerror(mc));
  }
}

GetResult HttpClient::TakeGet(GetId id) {
  const auto found = impl_->gets.find(id);
  if (found == impl_->gets.end() || !found->second.finished) {
    throw std::logic_error("TakeGet of a GET that has not finished");
  }
  GetResult result = std::move(found->second.result);
  impl_->gets.erase(found);
  return result;
}

void HttpClient::CancelGet(GetId id) {
  const auto found = impl_->gets.find(id);
  if (found == impl_->gets.end()) return;
  if (found->second.exchange) {
    found->second.exchange->Detach();
    impl_->idle.push_back(std::move(found->second.exchange));
  }
  impl_->gets.erase(found);
}

void HttpClient::CancelGets() {
  while (!impl_->gets.empty())
    CancelGet(impl_->gets.begin()->first);
}

std::size_t HttpClient::GetsInFlight() const {
  return static_cast<std::size_t>(
      std::count_if(impl_->gets.begin(), impl_->gets.end(),
                    [](const auto& entry) { return !entry.second.finished; }));
}

void HttpClient::AdoptResponse(const GetResult& result) {
  Impl& m = *impl_;
  m.response_type = result.content_type;
  if (result.final_url.empty()) return;
  UrlHandle url(curl_url());
  if (url && curl_url_set(url.get(), CURLUPART_URL, result.final_url.c_str(),
                          CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
    m.last_url = std::move(url);
  }
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
