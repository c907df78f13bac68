#pragma once

// A web server that misbehaves on purpose, for the fault tests. cpp-httplib always frames its
// answers correctly, so this one speaks raw bytes: on 127.0.0.1 at a free port, it reads each
// request (head, and a body by its Content-Length) and answers with the bytes scripted for the
// request's path, then does what the script says: close, stall, reset the connection or send
// without end. A TLS handshake gets a plain "400 Bad Request". Every connection is served on its
// own thread, so a stalled one holds up no other.
//
// The destructor stops the server and waits for its threads (stalls and endless bodies end then).

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane::test {

class FaultServer {
 public:
  // What the server does once the scripted bytes are sent.
  enum class Then {
    kClose,    // closes the connection in order
    kStall,    // sends nothing more and keeps the connection open until the server stops
    kReset,    // resets the connection (the client sees a reset, not an end)
    kEndless,  // sends "x" bytes for as long as the client reads them
  };

  // One request as it arrived.
  struct Request {
    std::string method;
    std::string path;  // the request target as sent
    std::string head;  // the request line and the headers
    std::string body;
  };

  // Starts serving; throws std::runtime_error when no port can be bound.
  FaultServer();
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  int Port() const;
  // "http://127.0.0.1:<port>" + target; `target` starts with "/".
  std::string Url(std::string_view target) const;

  // Answers requests for `path` (the target exactly as sent) with `bytes`, then `then`. A path
  // without script is answered with a 404 and closed. Register before the requests come.
  void On(std::string path, std::string bytes, Then then = Then::kClose);

  // Every request received so far, in arrival order.
  std::vector<Request> Requests() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A whole, well-framed response: `status` (e.g. "200 OK"), the header lines given (each without
// its line end), Content-Length and "Connection: close", then `body`.
std::string Response(std::string_view status, const std::vector<std::string>& headers,
                     std::string_view body);

}  // namespace sorvane::test
