// A small HTTP server on 127.0.0.1 for the HTTP tests: one thread answers connections one at a
// time with what the test's handler returns for the request, up to a number of requests, and
// stops when destroyed. Every wait is bounded.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace OperationsTestSupport {

/// A socket listening on a free port of 127.0.0.1 with room for `backlog` waiting connections;
/// `port` is set to that port. Aborts where the system gives none: no test could run without it.
inline int listenOnLoopback(int backlog, int& port) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, backlog) != 0) {
    std::abort();
  }
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return listener;
}

class LoopbackServer {
 public:
  /// Returns the raw bytes to send for a request (its head, request line and header lines, then
  /// the content its "Content-Length" announces).
  using Handler = std::function<std::string(const std::string& request)>;

  explicit LoopbackServer(Handler handler, int maximumRequests = 16) : handler_(std::move(handler)) {
    listener_ = listenOnLoopback(8, port_);
    thread_ = std::thread([this, maximumRequests] { serve(maximumRequests); });
  }

  ~LoopbackServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }

  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  std::vector<std::string> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  bool stopping() const { return stopping_; }

  /// A whole response with a body and "Connection: close".
  static std::string response(int status, const std::string& reason, const std::vector<std::string>& headers,
                              const std::string& body) {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    for (const auto& header : headers) text += header + "\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    return text;
  }

 private:
  void serve(int maximumRequests) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int served = 0;
    while (!stopping_ && served < maximumRequests && std::chrono::steady_clock::now() < deadline) {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, 20) <= 0) continue;
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0) continue;
      ++served;
      std::string request;
      char buffer[4096];
      const auto receive = [&] {
        pollfd readable{connection, POLLIN, 0};
        if (::poll(&readable, 1, 2000) <= 0) return false;
        const ssize_t count = ::recv(connection, buffer, sizeof buffer, 0);
        if (count <= 0) return false;
        request.append(buffer, static_cast<std::size_t>(count));
        return true;
      };
      while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536 && receive()) {
      }
      // The content the head announces comes with the request (up to 1 MB).
      const auto headEnd = request.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        const std::size_t wanted = headEnd + 4 + std::min<std::size_t>(contentLength(request.substr(0, headEnd)), 1 << 20);
        while (request.size() < wanted && receive()) {
        }
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
      }
      const std::string reply = handler_(request);
      std::size_t sent = 0;
      while (sent < reply.size()) {
        const ssize_t count = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) break;
        sent += static_cast<std::size_t>(count);
      }
      ::shutdown(connection, SHUT_WR);
      ::close(connection);
    }
  }

  /// The value of the head's "Content-Length" field (any letter case), 0 without one.
  static std::size_t contentLength(std::string head) {
    for (auto& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto field = head.find("\r\ncontent-length:");
    return field == std::string::npos ? 0 : std::strtoul(head.c_str() + field + 17, nullptr, 10);
  }

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
};

/// A loopback server that holds every answer until `release()` (or `longest` has passed), as a
/// server that has gone quiet. Releases itself when it goes, so that its thread can end.
class HeldLoopbackServer {
 public:
  explicit HeldLoopbackServer(std::chrono::seconds longest)
      : server_([this, longest](const std::string&) {
          std::unique_lock<std::mutex> lock(mutex_);
          released_.wait_for(lock, longest, [&] { return release_; });
          return LoopbackServer::response(200, "OK", {}, "late");
        }) {}
  ~HeldLoopbackServer() { release(); }

  void release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      release_ = true;
    }
    released_.notify_all();
  }
  LoopbackServer& server() { return server_; }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool release_ = false;
  LoopbackServer server_;
};

}  // namespace OperationsTestSupport
