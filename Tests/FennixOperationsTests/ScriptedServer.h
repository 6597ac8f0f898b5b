// A loopback server on 127.0.0.1 whose test writes what each connection gets byte by byte: the
// script is handed the connection and the request read from it, and may send, pause, keep the
// connection for more requests, close or reset it at any point. Connections are served one at a time on
// one thread, up to a number of them and at most 60 seconds; every wait is bounded.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "LoopbackServer.h"

namespace OperationsTestSupport {

class ScriptedServer {
 public:
  class Connection {
   public:
    Connection(int socket, const std::atomic<bool>& stopping) : socket_(socket), stopping_(stopping) {}
    /// Sends all of `bytes`; false once the peer has gone (or the server stops).
    bool send(const std::string& bytes) {
      std::size_t sent = 0;
      while (sent < bytes.size() && !stopping_) {
        pollfd writable{socket_, POLLOUT, 0};
        if (::poll(&writable, 1, 100) < 0) return false;
        if ((writable.revents & (POLLERR | POLLHUP)) != 0) return false;
        if ((writable.revents & POLLOUT) == 0) continue;
        const ssize_t count = ::send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (count <= 0) return false;
        sent += static_cast<std::size_t>(count);
      }
      return sent == bytes.size();
    }
    /// Waits up to `duration`, returning early (false) when the server stops or the peer closes.
    bool pause(std::chrono::milliseconds duration) {
      const auto due = std::chrono::steady_clock::now() + duration;
      while (std::chrono::steady_clock::now() < due) {
        if (stopping_) return false;
        pollfd readable{socket_, POLLRDHUP, 0};
        if (::poll(&readable, 1, 10) > 0 && (readable.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) return false;
      }
      return true;
    }
    /// Ends the connection with a reset rather than a close once the script returns.
    void reset() {
      linger abort{1, 0};
      ::setsockopt(socket_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      reset_ = true;
    }
    bool wasReset() const { return reset_; }
    /// The next request's head (and nothing after it), empty when none comes within 5 seconds.
    std::string readHead() {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (pending_.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline &&
             !stopping_ && pending_.size() < (1u << 22)) {
        pollfd readable{socket_, POLLIN, 0};
        if (::poll(&readable, 1, 20) <= 0) continue;
        char buffer[4096];
        const ssize_t count = ::recv(socket_, buffer, sizeof buffer, 0);
        if (count <= 0) break;
        pending_.append(buffer, static_cast<std::size_t>(count));
      }
      const auto end = pending_.find("\r\n\r\n");
      if (end == std::string::npos) return std::string();
      std::string head = pending_.substr(0, end + 4);
      pending_.erase(0, end + 4);
      return head;
    }

   private:
    int socket_;
    const std::atomic<bool>& stopping_;
    std::string pending_;
    bool reset_ = false;
  };

  /// Runs for each connection, with its first request's head already read.
  using Script = std::function<void(Connection& connection, const std::string& head)>;

  explicit ScriptedServer(Script script, int maximumConnections = 8) : script_(std::move(script)) {
    listener_ = listenOnLoopback(64, port_);
    thread_ = std::thread([this, maximumConnections] { serve(maximumConnections); });
  }
  ~ScriptedServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  int connections() const { return connections_.load(); }

 private:
  void serve(int maximumConnections) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!stopping_ && connections_ < maximumConnections && std::chrono::steady_clock::now() < deadline) {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, 20) <= 0) continue;
      const int socket = ::accept(listener_, nullptr, nullptr);
      if (socket < 0) continue;
      ++connections_;
      Connection connection(socket, stopping_);
      const std::string head = connection.readHead();
      if (!head.empty()) script_(connection, head);
      if (!connection.wasReset()) ::shutdown(socket, SHUT_WR);
      ::close(socket);
    }
  }

  Script script_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

}  // namespace OperationsTestSupport
