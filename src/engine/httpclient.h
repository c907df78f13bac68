#pragma once

// The program's one HTTP client. The main window owns a single instance for the life of the
// process; runs, the login steps, the verification-code dialog and the page source viewer all use
// it, so the cookies one of them receives go with every later request.
//
// Profile: HTTP/1.1 (also over TLS; never HTTP/2), the form post as HTTP/1.0 on a fresh connection;
// headers "Accept: text/html, */*" and the fixed User-Agent (kUserAgent), the
// Content-Type header whenever a content type is set (GET included), no compression asked for; no
// proxy, whatever the environment says; redirects followed, at most 15 in a row; no time-outs; TLS
// without certificate checks. One in-memory cookie store, never saved, with the usual domain, path
// and expiry rules (Set-Cookie only); a plain http response never sets, replaces or removes a
// cookie marked Secure. A request succeeds when the final response has a status from 200 to 299;
// every other outcome throws HttpError.
//
// Redirects keep the method, except that a post answered by 301, 302 or 303 goes on as a GET
// without body and without Content-Type; a post answered by 307 or 308 is sent again only to its
// own origin (scheme, host and port): a redirect to another origin fails the request and sends
// nothing there. A response whose Content-Length headers disagree, or are no length, fails.
//
// Shared and per request: the cookies and the open connections belong to the client and serve
// every caller; TLS, the content type and basic authentication are stated by each request
// (RequestSettings) and nothing of them stays behind for the next caller.
//
// Addresses: an absolute address is used as it stands (spaces are sent as %20). An address
// without scheme and host is resolved against the previous request's final address (after its
// redirects), the way a browser resolves a link on that page; with no previous request it fails.
//
// Waiting: a request blocks the calling thread, but while it waits the pump (SetPump) runs about
// every 10 ms, so the window repaints and a click on Stop takes effect. Stop() may be called from
// inside the pump; the waiting call then throws HttpError. One wait at a time: a request (or a
// started GET) begun from inside the pump of another throws HttpError. GETs started with StartGet
// run beside the serial requests, on connections of the same pool.
//
// Not thread-safe; everything, Stop() included, happens on the thread that owns the client.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane {

// A failed request: a connection or TLS error ("TLS handshake failed"), a status outside 2xx
// ("HTTP/1.1 404 Not Found"), a malformed response (its framing error), a refused address, a
// response over the limits ("too many redirects", "response larger than 256 MiB"), or Stop.
// what() is the cause to show; Detail() tells a status or a dropped connection apart.
class HttpError : public std::runtime_error {
 public:
  // What a caller needs to decide whether to ask again.
  struct Details {
    long status = 0;       // a final status outside 2xx; 0 for every other failure
    bool dropped = false;  // the server closed or reset the connection before a whole answer
    // The Retry-After header of that response in seconds (its date form is not read).
    std::optional<long> retry_after;
  };

  using std::runtime_error::runtime_error;
  HttpError(const std::string& what, const Details& details);

  const Details& Detail() const { return details_; }

 private:
  Details details_;
};

// The body of a form post from its name=value lines, in list order, joined by "&". Only the value
// (everything after the first "=") is encoded: bytes 33..128 stay as they are except
// * # % < > space [ ], every other byte becomes "%" and two upper-case hex digits. Names, and
// lines without "=", are sent unencoded. Blanks and control bytes at both ends of the whole body
// are removed.
std::string EncodeFormBody(const std::vector<std::string>& lines);

// Basic authentication for the requests to one site.
struct BasicAuth {
  std::string user;
  std::string password;
  // Only requests whose scheme, host and port are those of this address carry the credentials,
  // redirects included; an address that is no valid absolute address matches no request.
  std::string origin_url;
};

// What one request states about itself.
struct RequestSettings {
  // On: https and plain http addresses are served. Off: an https address fails, also when a
  // redirect leads there.
  bool tls = false;
  // The Content-Type header; empty sends none.
  std::string content_type;
  // Credentials for one site; none: no Authorization header.
  std::optional<BasicAuth> basic_auth;
};

// A GET started with HttpClient::StartGet, once it has finished.
struct GetResult {
  std::string body;                // the response body, when it succeeded
  std::optional<HttpError> error;  // why it failed, as GetText would have thrown it
  std::string final_url;           // the address after redirects
  std::string content_type;        // the final response's Content-Type
};

class HttpClient {
 public:
  using GetId = std::uint64_t;

  static constexpr std::size_t kDefaultBodyLimit = std::size_t{256} << 20;
  static constexpr long kMaxRedirects = 15;
  static constexpr int kMaxHeaderLines = 255;
  static constexpr std::chrono::milliseconds kPumpInterval{10};
  static constexpr const char* kAccept = "text/html, */*";
  static constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
  static constexpr const char* kFormContentType = "application/x-www-form-urlencoded";

  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Called about every kPumpInterval while a request waits (not on every wake-up, so fast
  // transfers are not slowed down). It may call Stop(). An exception from it aborts the request
  // and propagates. Empty: nothing is called.
  void SetPump(std::function<void()> pump);

  // The largest response body accepted; a longer one fails the request. kDefaultBodyLimit unless
  // changed (tests lower it).
  void SetBodyLimit(std::size_t bytes);

  // GET with `settings`; the response body, byte for byte.
  std::string GetText(std::string_view url, const RequestSettings& settings);
  // The same transfer, for binary content (images).
  std::string GetBytes(std::string_view url, const RequestSettings& settings);
  // POST of EncodeFormBody(lines) with the form content type (whatever settings.content_type
  // says), as HTTP/1.0 on a new connection that is closed afterwards; later requests are HTTP/1.1
  // again. Redirects after it are followed (as GET) and their cookies kept. Returns the response
  // body.
  std::string PostForm(std::string_view url, const std::vector<std::string>& lines,
                       const RequestSettings& settings);
  // As PostForm with a body sent exactly as given and settings.content_type.
  std::string Post(std::string_view url, std::string_view body, const RequestSettings& settings);

  // Several GETs in flight at once, for pages fetched ahead. Each started GET has a connection of
  // the shared pool (connections are reused, the cookies are the client's), follows its
  // redirects by itself and fails as GetText would. Nothing moves until WaitForGets runs (or a
  // serial request waits); results are kept until taken, and taking one changes nothing else.
  //
  // StartGet: resolves `url` against LastUrl() as GetText does and starts the GET; throws
  // HttpError, starting nothing, for a refused address or while a request waits.
  GetId StartGet(std::string_view url, const RequestSettings& settings);
  // Waits, running the pump as GetText does, until a started GET has finished or `until` has
  // passed (with nothing started it only pumps), and returns the finished GETs not yet taken
  // (none when the time ran out). Stop() cancels every started GET and makes it throw HttpError.
  std::vector<GetId> WaitForGets(std::chrono::steady_clock::time_point until);
  // The result of a finished GET, which is then forgotten. A GET not finished is a logic_error.
  GetResult TakeGet(GetId id);
  // Aborts a started GET (its connection is closed when the transfer was under way) or forgets
  // a finished one; an unknown id is ignored.
  void CancelGet(GetId id);
  void CancelGets();
  std::size_t GetsInFlight() const;
  // Makes `result` the previous request: its final address becomes LastUrl() (relative
  // addresses resolve against it) and its type ResponseContentType().
  void AdoptResponse(const GetResult& result);

  // Aborts the request in progress (its connection is closed) so that the waiting call throws
  // HttpError; does nothing when no request is in progress.
  void Stop();
  bool Busy() const;

  // The Content-Type header of the previous request's final response (for example
  // "text/html; charset=windows-1251"); empty when it had none or failed before an answer.
  std::string ResponseContentType() const;

  // The final address of the previous request (after redirects); relative addresses resolve
  // against it. Empty before the first request.
  std::string LastUrl() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sorvane
