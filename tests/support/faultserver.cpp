#include "support/faultserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "core/ascii.h"

namespace sorvane::test {
namespace {

// Waits up to `ms` for `fd` to become readable (or writable); false on time-out.
bool Ready(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  return poll(&p, 1, ms) > 0;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The Content-Length of a request head, 0 when it has none.
std::size_t RequestBodyLength(const std::string& head) {
  for (std::size_t at = head.find("\r\n"); at != std::string::npos;
       at = head.find("\r\n", at + 2)) {
    const std::string_view line(head.data() + at + 2, head.size() - at - 2);
    constexpr std::string_view kName = "content-length:";
    if (line.size() < kName.size()) break;
    if (EqualsNoCase(line.substr(0, kName.size()), kName)) {
      return std::stoul(std::string(line.substr(kName.size())));
    }
  }
  return 0;
}

}  // namespace

std::string Response(std::string_view status, const std::vector<std::string>& headers,
                     std::string_view body) {
  std::string bytes = "HTTP/1.1 " + std::string(status) + "\r\n";
  for (const std::string& header : headers)
    bytes += header + "\r\n";
  bytes += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  bytes += body;
  return bytes;
}

struct FaultServer::Impl {
  struct Script {
    std::string bytes;
    Then then = Then::kClose;
  };

  int listener = -1;
  int port = -1;
  std::atomic<bool> stopping{false};
  std::thread acceptor;
  mutable std::mutex mutex;
  std::map<std::string, Script> scripts;
  std::vector<Request> requests;
  std::vector<std::thread> connections;

  void Accept();
  void Serve(int fd);
};

void FaultServer::Impl::Accept() {
  while (!stopping) {
    if (!Ready(listener, POLLIN, 20)) continue;
    const int fd = accept(listener, nullptr, nullptr);
    if (fd < 0) continue;
    std::lock_guard lock(mutex);
    connections.emplace_back([this, fd] {
      Serve(fd);
      close(fd);
    });
  }
}

void FaultServer::Impl::Serve(int fd) {
  std::string data;
  char buffer[4096];
  std::size_t head_end = std::string::npos;
  while (!stopping && head_end == std::string::npos) {
    if (!Ready(fd, POLLIN, 20)) continue;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    data.append(buffer, static_cast<std::size_t>(n));
    // A TLS handshake (its first byte is 22) gets the plain answer any web server would give.
    if (data[0] == 22) {
      SendAll(fd, Response("400 Bad Request", {}, "This server speaks plain HTTP."));
      return;
    }
    head_end = data.find("\r\n\r\n");
  }
  if (head_end == std::string::npos) return;
  Request request;
  request.head = data.substr(0, head_end);
  const std::size_t length = RequestBodyLength(request.head);
  request.body = data.substr(head_end + 4);
  while (!stopping && request.body.size() < length) {
    if (!Ready(fd, POLLIN, 20)) continue;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.body.append(buffer, static_cast<std::size_t>(n));
  }
  const std::size_t space = request.head.find(' ');
  request.method = request.head.substr(0, space);
  request.path = request.head.substr(space + 1, request.head.find(' ', space + 1) - space - 1);

  Script script{Response("404 Not Found", {}, "no such page"), Then::kClose};
  {
    std::lock_guard lock(mutex);
    requests.push_back(request);
    if (const auto found = scripts.find(request.path); found != scripts.end()) {
      script = found->second;
    }
  }
  if (!SendAll(fd, script.bytes)) return;
  switch (script.then) {
    case Then::kClose:
      shutdown(fd, SHUT_WR);
      // Read what the client still sends, so that closing does not reset what was sent.
      while (!stopping && Ready(fd, POLLIN, 200) && recv(fd, buffer, sizeof buffer, 0) > 0) {
      }
      return;
    case Then::kStall:
      while (!stopping) {
        if (Ready(fd, POLLIN, 20) && recv(fd, buffer, sizeof buffer, 0) <= 0) return;
      }
      return;
    case Then::kReset: {
      const linger abort{1, 0};
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      return;
    }
    case Then::kEndless: {
      const std::string chunk(64 * 1024, 'x');
      while (!stopping) {
        if (Ready(fd, POLLOUT, 20) && !SendAll(fd, chunk)) return;
      }
      return;
    }
  }
}

FaultServer::FaultServer() : impl_(std::make_unique<Impl>()) {
  std::signal(SIGPIPE, SIG_IGN);
  impl_->listener = socket(AF_INET, SOCK_STREAM, 0);
  if (impl_->listener < 0) throw std::runtime_error("cannot create a socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(impl_->listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(impl_->listener, 16) != 0 ||
      getsockname(impl_->listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(impl_->listener);
    throw std::runtime_error("cannot bind the fault server");
  }
  impl_->port = ntohs(addr.sin_port);
  impl_->acceptor = std::thread([impl = impl_.get()] { impl->Accept(); });
}

FaultServer::~FaultServer() {
  impl_->stopping = true;
  impl_->acceptor.join();
  // No new connection comes once the acceptor has ended.
  for (std::thread& connection : impl_->connections)
    connection.join();
  close(impl_->listener);
}

int FaultServer::Port() const {
  return impl_->port;
}

std::string FaultServer::Url(std::string_view target) const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + std::string(target);
}

void FaultServer::On(std::string path, std::string bytes, Then then) {
  std::lock_guard lock(impl_->mutex);
  impl_->scripts[std::move(path)] = Impl::Script{std::move(bytes), then};
}

std::vector<FaultServer::Request> FaultServer::Requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests;
}

}  // namespace sorvane::test
