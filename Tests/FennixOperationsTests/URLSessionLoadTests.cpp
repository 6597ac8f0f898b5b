// Transfers of the URL session against servers that are slow or silent: the time-out counts the
// seconds without a byte, and many stalled transfers hold up neither other transfers nor the
// global queues.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Fennix/Operations/HTTP/HTTPWire.h"
#include "Fennix/Operations/HTTP/URLSession.h"
#include "LoopbackServer.h"
#include "OperationsTestSupport.h"
#include "URLSessionTestSupport.h"

using namespace OperationsTestSupport;

namespace {

/// A listening socket on 127.0.0.1 that takes connections and reads requests but never answers.
/// With `trickle`, it answers the first connection with a head announcing `bytes` bytes of content
/// and then sends them one at a time, `gap` apart. Its thread ends when it goes.
class SlowServer {
 public:
  SlowServer(int bytes, std::chrono::milliseconds gap) : bytes_(bytes), gap_(gap) {
    listener_ = listenOnLoopback(128, port_);
    thread_ = std::thread([this] { serve(); });
  }
  ~SlowServer() {
    stopping_ = true;
    thread_.join();
    for (const int connection : connections_) ::close(connection);
    ::close(listener_);
  }

  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  int accepted() const { return accepted_.load(); }

 private:
  void serve() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, 20) <= 0) continue;
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0) continue;
      connections_.push_back(connection);
      if (accepted_++ == 0 && bytes_ > 0) trickle(connection);
    }
  }

  void trickle(int connection) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && !stopping_) {
      pollfd readable{connection, POLLIN, 0};
      if (::poll(&readable, 1, 2000) <= 0) return;
      const ssize_t count = ::recv(connection, buffer, sizeof buffer, 0);
      if (count <= 0) return;
      request.append(buffer, static_cast<std::size_t>(count));
    }
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bytes_) + "\r\n\r\n";
    if (::send(connection, head.data(), head.size(), MSG_NOSIGNAL) <= 0) return;
    for (int i = 0; i < bytes_; ++i) {
      const auto due = std::chrono::steady_clock::now() + gap_;
      while (std::chrono::steady_clock::now() < due) {
        if (stopping_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      if (::send(connection, "x", 1, MSG_NOSIGNAL) <= 0) return;
    }
  }

  const int bytes_;
  const std::chrono::milliseconds gap_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::vector<int> connections_;
  std::thread thread_;
};

struct Outcome {
  std::atomic<bool> done{false};
  std::optional<Fennix::Data> data;
  Fennix::ErrorRef error;
  std::chrono::steady_clock::time_point at;

  long code() const {
    auto* platform = Fennix::errorAs<NSError>(error);
    return platform != nullptr ? platform->code() : 0;
  }
};

std::shared_ptr<URLSessionDataTask> start(const std::shared_ptr<URLSession>& session, const std::string& address,
                                          double timeout, const std::shared_ptr<Outcome>& outcome) {
  URLRequest request(*URL::fromString(address));
  request.timeoutInterval = timeout;
  auto task = session->dataTask(request, [outcome](std::optional<Fennix::Data> data, std::shared_ptr<URLResponse>,
                                                   Fennix::ErrorRef error) {
    outcome->data = std::move(data);
    outcome->error = std::move(error);
    outcome->at = std::chrono::steady_clock::now();
    outcome->done = true;
  });
  task->resume();
  return task;
}

TEST(URLSessionLoad, TheTimeOutCountsSecondsWithoutAByte) {
  auto session = newSession();
  // A byte every 1.5 s, slower than a byte a second but never 3 s apart: the transfer lives.
  {
    SlowServer server(3, std::chrono::milliseconds(1500));
    auto outcome = std::make_shared<Outcome>();
    start(session, server.url("/"), 3, outcome);
    ASSERT_TRUE(waitUntil([&] { return outcome->done.load(); }, 30));
    EXPECT_EQ(outcome->error, nullptr);
    EXPECT_EQ(outcome->data, Fennix::Data({'x', 'x', 'x'}));
  }
  // The head, then silence: the transfer fails a second after the last byte, not later.
  {
    SlowServer server(3, std::chrono::seconds(20));
    auto outcome = std::make_shared<Outcome>();
    const auto started = std::chrono::steady_clock::now();
    start(session, server.url("/"), 1, outcome);
    ASSERT_TRUE(waitUntil([&] { return outcome->done.load(); }, 30));
    EXPECT_EQ(outcome->code(), URLErrorCode::timedOut);
    EXPECT_TRUE(URLSession::QvError::classify(outcome->error).is<URLSession::QvError::Timeout>());
    EXPECT_GE(outcome->at - started, std::chrono::milliseconds(1000));
    EXPECT_LT(outcome->at - started, std::chrono::seconds(10));
  }
}

TEST(URLSessionLoad, StalledTransfersHoldUpNothingElse) {
  SlowServer silent(0, std::chrono::milliseconds(0));
  auto session = newSession();
  std::vector<std::shared_ptr<URLSessionDataTask>> stalled;
  std::vector<std::shared_ptr<Outcome>> outcomes;
  for (int i = 0; i < 64; ++i) {
    outcomes.push_back(std::make_shared<Outcome>());
    stalled.push_back(start(session, silent.url("/" + std::to_string(i)), 60, outcomes.back()));
  }
  ASSERT_TRUE(waitUntil([&] { return silent.accepted() == 64; }, 30));

  // Work on the global queues runs at once, and a live server's answer arrives on the same session.
  std::atomic<bool> ran{false};
  DispatchQueue::global().async([&ran] { ran = true; });
  EXPECT_TRUE(waitUntil([&] { return ran.load(); }, 5));
  LoopbackServer live([](const std::string&) { return LoopbackServer::response(200, "OK", {}, "live"); });
  auto answer = std::make_shared<Outcome>();
  start(session, live.url("/"), 5, answer);
  ASSERT_TRUE(waitUntil([&] { return answer->done.load(); }, 5));
  EXPECT_EQ(answer->error, nullptr);
  EXPECT_EQ(answer->data, Fennix::Data({'l', 'i', 'v', 'e'}));

  // Every stalled transfer still ends when cancelled, as cancelled.
  for (const auto& task : stalled) task->cancel();
  ASSERT_TRUE(waitUntil([&] { return std::all_of(outcomes.begin(), outcomes.end(), [](const auto& o) { return o->done.load(); }); }, 10));
  for (const auto& outcome : outcomes) EXPECT_EQ(outcome->code(), URLErrorCode::cancelled);
  EXPECT_TRUE(waitUntil([&] { return ran.load(); }, 60));  // lets the block end before `ran` goes
}

TEST(URLSessionLoad, TransfersStartedWhileTheThreadWindsDownAllRun) {
  LoopbackServer server([](const std::string&) { return LoopbackServer::response(200, "OK", {}, "ok"); }, 38);
  auto session = newSession();
  // Each transfer starts from the completion of the one before, as the session's thread finds
  // itself without work and ends; then several start at once, from two threads (as many as the
  // server's backlog takes).
  std::atomic<int> chained{0};
  std::function<void()> next = [&] {
    URLRequest request(*URL::fromString(server.url("/chain")));
    session->dataTask(request, [&](std::optional<Fennix::Data> data, std::shared_ptr<URLResponse>, Fennix::ErrorRef error) {
      EXPECT_EQ(error, nullptr);
      EXPECT_TRUE(data.has_value());
      if (++chained < 30) next();
    })->resume();
  };
  next();
  ASSERT_TRUE(waitUntil([&] { return chained.load() == 30; }, 60));

  std::atomic<int> together{0};
  const auto startMany = [&] {
    for (int i = 0; i < 4; ++i) {
      URLRequest request(*URL::fromString(server.url("/together")));
      session->dataTask(request, [&](std::optional<Fennix::Data>, std::shared_ptr<URLResponse>, Fennix::ErrorRef error) {
        EXPECT_EQ(error, nullptr);
        ++together;
      })->resume();
    }
  };
  std::thread other(startMany);
  startMany();
  other.join();
  ASSERT_TRUE(waitUntil([&] { return together.load() == 8; }, 60));
}

TEST(URLSessionLoad, JSONOfTooManyValuesIsRefusedBeforeItIsBuilt) {
  const auto parse = [](const std::string& json, std::size_t bound) {
    return Fennix::HTTPWire::parseJSON(Fennix::Data(json.begin(), json.end()), bound);
  };
  // Every value counts, containers, members and elements alike; names do not.
  const std::string text = R"([0, "s", null, true, {"a": [], "b": {}}, [1.5, -2]])";  // 11 values
  EXPECT_TRUE(std::holds_alternative<nlohmann::json>(parse(text, 11)));
  EXPECT_EQ(std::get<std::string>(parse(text, 10)), "the data holds more than 10 values");
  // A nest too deep within the count is still refused as such; bad text first seen as bad.
  EXPECT_EQ(std::get<std::string>(parse(std::string(600, '[') + std::string(600, ']'), 1000)),
            "the data nests arrays or objects more than 512 deep");
  EXPECT_EQ(std::get<std::string>(parse("[0, 0, x", 5)), "the data is not valid JSON");

  // The bound a reply meets: empty arrays, the text that grows most once built, past ten million.
  std::string arrays = "[";
  arrays.reserve(3 * Fennix::HTTPWire::maximumJSONValues + 2);
  for (std::size_t i = 0; i < Fennix::HTTPWire::maximumJSONValues; ++i) arrays += "[],";
  arrays.back() = ']';
  EXPECT_EQ(std::get<std::string>(Fennix::HTTPWire::parseJSON(Fennix::Data(arrays.begin(), arrays.end()))),
            "the data holds more than 10000000 values");
}

}  // namespace
