#pragma once

// Real web servers for tests and benchmarks, on 127.0.0.1 at a free port, each serving from
// background threads while the object lives.
//
// HttpServer speaks HTTP/1.1 (keep-alive) or, with Scheme::kHttps, the same over TLS with a
// self-signed certificate made when the first such server starts. Tests register a handler per
// path and look at every request the server received. RawServer answers every connection with
// fixed bytes, for responses no real server would send.
//
// Handlers run on the server's threads; a handler that touches test state must synchronise
// itself. The destructor stops the server and waits for its threads (a stalled reply ends then).

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sorvane::test {

// One request as it arrived.
struct ReceivedRequest {
  std::string method;
  std::string target;   // as sent on the request line: path and query, still percent-encoded
  std::string path;     // the decoded path without the query
  std::string version;  // "HTTP/1.1" or "HTTP/1.0"
  std::vector<std::pair<std::string, std::string>> headers;  // sorted by name
  std::string body;
  int remote_port = 0;  // the client's port: equal for requests on one connection

  std::string RequestLine() const { return method + " " + target + " " + version; }
  // Header names compare without regard to case.
  bool HasHeader(std::string_view name) const;
  // The first value of the header; empty when it is absent.
  std::string Header(std::string_view name) const;
};

struct Reply {
  enum class Delivery {
    kWhole,     // the body with its Content-Length
    kStall,     // the headers and the first half of the body (chunked), then nothing more
                // until the server stops
    kCutShort,  // a Content-Length for the whole body, its first half, then the connection closes
  };

  int status = 200;
  std::string body;
  std::string content_type = "text/html";
  std::vector<std::pair<std::string, std::string>> headers;  // extra ones; names may repeat
  Delivery delivery = Delivery::kWhole;

  static Reply Text(std::string body);
  static Reply Redirect(std::string location, int status = 302);
};

using Handler = std::function<Reply(const ReceivedRequest&)>;

class HttpServer {
 public:
  enum class Scheme { kHttp, kHttps };

  // Starts serving; throws std::runtime_error when no port can be bound. An open keep-alive
  // connection holds one of the server's threads: `threads` (0: the library's default, at least
  // 8) bounds how many connections are served at once.
  explicit HttpServer(Scheme scheme = Scheme::kHttp, std::size_t threads = 0);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  int Port() const;
  // "http://127.0.0.1:<port>" (or https).
  std::string Origin() const;
  // Origin() + target; `target` starts with "/".
  std::string Url(std::string_view target) const;

  // Serves `path` (the decoded path, without query) for every method. A path ending in "*"
  // serves every path that starts with what comes before it; an exact path wins over a prefix,
  // and a later registration over an earlier one. Unregistered paths answer 404.
  void On(std::string path, Handler handler);

  // Every request received so far, in arrival order.
  std::vector<ReceivedRequest> Requests() const;
  std::size_t RequestCount() const;
  // The latest request; throws std::runtime_error when there is none.
  ReceivedRequest LastRequest() const;
  void ClearRequests();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A plain TCP server that reads each request head (up to the blank line) and answers with
// `response` byte for byte, then closes the connection.
class RawServer {
 public:
  explicit RawServer(std::string response);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int Port() const;
  std::string Url(std::string_view target) const;
  // The head of the latest request as received; empty before the first.
  std::string LastRequest() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sorvane::test
