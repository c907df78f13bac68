#include "support/httpserver.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace sorvane::test {
namespace {

using namespace std::chrono_literals;

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A writer to a peer that has gone away must fail with an error, not end the test program.
void IgnoreBrokenPipes() {
  static std::once_flag once;
  std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

// One key and self-signed certificate for 127.0.0.1, made once per process and never freed.
struct Credentials {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
};

const Credentials& TestCredentials() {
  static const Credentials credentials = [] {
    Credentials c;
    c.key = EVP_EC_gen("P-256");
    c.cert = X509_new();
    if (!c.key || !c.cert) throw std::runtime_error("cannot create a test key");
    X509_set_version(c.cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c.cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(c.cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(c.cert), 7 * 24 * 3600);
    X509_set_pubkey(c.cert, c.key);
    X509_NAME* name = X509_get_subject_name(c.cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(c.cert, name);
    if (X509_sign(c.cert, c.key, EVP_sha256()) == 0) {
      throw std::runtime_error("cannot sign the test certificate");
    }
    return c;
  }();
  return credentials;
}

}  // namespace

bool ReceivedRequest::HasHeader(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return SameName(h.first, name); });
}

std::string ReceivedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameName(key, name)) return value;
  }
  return {};
}

Reply Reply::Text(std::string body) {
  Reply r;
  r.body = std::move(body);
  return r;
}

Reply Reply::Redirect(std::string location, int status) {
  Reply r;
  r.status = status;
  r.headers.emplace_back("Location", std::move(location));
  return r;
}

struct HttpServer::Impl {
  Scheme scheme;
  std::unique_ptr<httplib::Server> server;
  std::thread thread;
  int port = -1;
  std::atomic<bool> stopping{false};

  mutable std::mutex mutex;
  std::vector<std::pair<std::string, Handler>> handlers;
  std::vector<ReceivedRequest> requests;

  void Serve(const httplib::Request& req, httplib::Response& res);
  Handler Find(const std::string& path) const;
};

Handler HttpServer::Impl::Find(const std::string& path) const {
  std::lock_guard lock(mutex);
  const Handler* prefix_match = nullptr;
  for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) {
    const std::string& pattern = it->first;
    if (pattern == path) return it->second;
    if (!prefix_match && pattern.ends_with('*') &&
        path.starts_with(std::string_view(pattern).substr(0, pattern.size() - 1))) {
      prefix_match = &it->second;
    }
  }
  return prefix_match ? *prefix_match : Handler{};
}

void HttpServer::Impl::Serve(const httplib::Request& req, httplib::Response& res) {
  ReceivedRequest received;
  received.method = req.method;
  received.target = req.target;
  received.path = req.path;
  received.version = req.version;
  received.headers.assign(req.headers.begin(), req.headers.end());
  received.body = req.body;
  received.remote_port = req.remote_port;
  {
    std::lock_guard lock(mutex);
    requests.push_back(received);
  }

  const Handler handler = Find(req.path);
  if (!handler) {
    res.status = 404;
    res.set_content("Not Found", "text/plain");
    return;
  }
  Reply reply = handler(received);
  res.status = reply.status;
  for (const auto& [name, value] : reply.headers)
    res.set_header(name, value);
  const std::size_t half = reply.body.size() / 2;
  switch (reply.delivery) {
    case Reply::Delivery::kWhole:
      res.set_content(reply.body, reply.content_type);
      break;
    case Reply::Delivery::kCutShort:
      res.set_content_provider(
          reply.body.size(), reply.content_type,
          [body = reply.body, half](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset == 0) sink.write(body.data(), half);
            return offset == 0;  // false on the next call: the connection is dropped
          });
      break;
    case Reply::Delivery::kStall:
      res.set_chunked_content_provider(
          reply.content_type,
          [this, body = reply.body, half](size_t offset, httplib::DataSink& sink) {
            if (offset == 0 && half > 0) return sink.write(body.data(), half);
            while (!stopping)
              std::this_thread::sleep_for(5ms);
            return false;
          });
      break;
  }
}

HttpServer::HttpServer(Scheme scheme, std::size_t threads) : impl_(std::make_unique<Impl>()) {
  IgnoreBrokenPipes();
  impl_->scheme = scheme;
  if (scheme == Scheme::kHttps) {
    const Credentials& c = TestCredentials();
    impl_->server = std::make_unique<httplib::SSLServer>(c.cert, c.key);
  } else {
    impl_->server = std::make_unique<httplib::Server>();
  }
  httplib::Server& server = *impl_->server;
  if (!server.is_valid()) throw std::runtime_error("cannot set up the test server");
  server.set_tcp_nodelay(true);
  if (threads > 0) {
    server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  }
  server.set_keep_alive_max_count(1000000);
  // An idle keep-alive connection holds a server thread; the destructor waits for it this long.
  server.set_keep_alive_timeout(1);
  const auto serve = [impl = impl_.get()](const httplib::Request& req, httplib::Response& res) {
    impl->Serve(req, res);
  };
  server.Get(".*", serve);
  server.Post(".*", serve);
  server.Put(".*", serve);
  server.Delete(".*", serve);

  impl_->port = server.bind_to_any_port("127.0.0.1");
  if (impl_->port <= 0) throw std::runtime_error("cannot bind the test server");
  impl_->thread = std::thread([&server] { server.listen_after_bind(); });
  for (int i = 0; i < 5000 && !server.is_running(); ++i)
    std::this_thread::sleep_for(1ms);
}

HttpServer::~HttpServer() {
  impl_->stopping = true;
  impl_->server->stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

int HttpServer::Port() const {
  return impl_->port;
}

std::string HttpServer::Origin() const {
  return std::string(impl_->scheme == Scheme::kHttps ? "https" : "http") +
         "://127.0.0.1:" + std::to_string(impl_->port);
}

std::string HttpServer::Url(std::string_view target) const {
  return Origin() + std::string(target);
}

void HttpServer::On(std::string path, Handler handler) {
  std::lock_guard lock(impl_->mutex);
  impl_->handlers.emplace_back(std::move(path), std::move(handler));
}

std::vector<ReceivedRequest> HttpServer::Requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests;
}

std::size_t HttpServer::RequestCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests.size();
}

ReceivedRequest HttpServer::LastRequest() const {
  std::lock_guard lock(impl_->mutex);
  if (impl_->requests.empty()) throw std::runtime_error("the test server received no request");
  return impl_->requests.back();
}

void HttpServer::ClearRequests() {
  std::lock_guard lock(impl_->mutex);
  impl_->requests.clear();
}

struct RawServer::Impl {
  std::string response;
  int listener = -1;
  int port = -1;
  std::atomic<bool> stopping{false};
  std::thread thread;
  mutable std::mutex mutex;
  std::string last_request;

  void Run();
  void Answer(int fd);
};

void RawServer::Impl::Run() {
  while (!stopping) {
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const int fd = accept(listener, nullptr, nullptr);
    if (fd < 0) continue;
    Answer(fd);
    close(fd);
  }
}

void RawServer::Impl::Answer(int fd) {
  std::string head;
  char buffer[4096];
  while (!stopping && head.find("\r\n\r\n") == std::string::npos && head.size() < (1 << 20)) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    head.append(buffer, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard lock(mutex);
    last_request = head;
  }
  std::size_t sent = 0;
  while (sent < response.size()) {
    const ssize_t n = send(fd, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
  shutdown(fd, SHUT_WR);
  // Let the client read everything before the socket goes; closing with unread input would
  // reset the connection and could discard what was sent.
  while (!stopping) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, 200);
    if (ready <= 0 || recv(fd, buffer, sizeof buffer, 0) <= 0) return;
  }
}

RawServer::RawServer(std::string response) : impl_(std::make_unique<Impl>()) {
  IgnoreBrokenPipes();
  impl_->response = std::move(response);
  impl_->listener = socket(AF_INET, SOCK_STREAM, 0);
  if (impl_->listener < 0) throw std::runtime_error("cannot create a socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (bind(impl_->listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(impl_->listener, 16) != 0 ||
      getsockname(impl_->listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(impl_->listener);
    throw std::runtime_error("cannot bind the raw test server");
  }
  impl_->port = ntohs(addr.sin_port);
  impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
}

RawServer::~RawServer() {
  impl_->stopping = true;
  if (impl_->thread.joinable()) impl_->thread.join();
  close(impl_->listener);
}

int RawServer::Port() const {
  return impl_->port;
}

std::string RawServer::Url(std::string_view target) const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + std::string(target);
}

std::string RawServer::LastRequest() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->last_request;
}

}  // namespace sorvane::test
