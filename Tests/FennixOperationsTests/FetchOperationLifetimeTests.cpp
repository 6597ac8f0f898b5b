// When a fetch operation ends: not while its work still adds requests, and promptly once it is
// cancelled, also while a transfer waits on a server that does not answer.
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>

#include "Fennix/Operations/HTTP/HTTPFetchOperation.h"
#include "Fennix/Operations/HTTP/URLSession.h"
#include "LoopbackServer.h"
#include "OperationsTestSupport.h"

using namespace OperationsTestSupport;

namespace {

/// A fetch operation whose work is a closure; it records every handler call and whether the
/// operation had finished by then.
class ScriptedFetch : public QvHTTPFetchOperation {
 public:
  using QvHTTPFetchOperation::QvHTTPFetchOperation;

  struct Call {
    std::string kind;
    Fennix::ErrorRef error;
    bool finishedBefore = false;
  };

  std::function<void(ScriptedFetch&)> script;
  /// Runs inside `handleResult`, with the path of the request.
  std::function<void(const std::string& path)> onResult;
  std::atomic<bool> finishedWhenWorkReturned{false};
  std::atomic<int> mainCalls{0};

  std::vector<Call> calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::shared_ptr<QvResumable> request(const std::string& address) {
    return enqueue(URLRequest(*URL::fromString(address)));
  }

  /// The transaction of each path, once it completed.
  std::optional<std::weak_ptr<HTTPTransaction>> transaction(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = transactions_.find(path);
    if (found == transactions_.end()) return std::nullopt;
    return found->second;
  }

  void asyncMain(std::function<void()>) override {
    ++mainCalls;
    if (script) script(*this);
    finishedWhenWorkReturned = isFinished();
  }
  void handleDataTaskResult(const std::optional<Fennix::Data>& data, const std::shared_ptr<URLResponse>& response,
                            const Fennix::ErrorRef& error, const std::shared_ptr<HTTPTransaction>& transaction) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      transactions_[transaction->request.url->path()] = transaction;
    }
    QvHTTPFetchOperation::handleDataTaskResult(data, response, error, transaction);
  }
  void handleResult(const std::optional<Fennix::Data>&, const std::shared_ptr<HTTPURLResponse>& response) override {
    if (onResult) onResult(response->url() ? response->url()->path() : std::string());
    record({"result", nullptr, isFinished()});
  }
  void handleError(const HTTPTransactionError& error) override { record({"error", error.error, isFinished()}); }

 private:
  void record(Call call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
  std::map<std::string, std::weak_ptr<HTTPTransaction>> transactions_;
};

std::shared_ptr<URLSession> plainSession() {
  URLSession::Configuration configuration;
  configuration.followRedirects = false;
  configuration.cookieStorage = std::make_shared<HTTPCookieStorage>();
  return std::make_shared<URLSession>(configuration);
}

long errorCode(const Fennix::ErrorRef& error) {
  auto* platform = Fennix::errorAs<NSError>(error);
  return platform != nullptr ? platform->code() : 0;
}

TEST(HTTPFetchOperation, KeepsRunningWhileItsWorkStillAddsRequests) {
  LoopbackServer server([](const std::string&) { return LoopbackServer::response(200, "OK", {}, "x"); });
  auto session = plainSession();
  auto operation = std::make_shared<ScriptedFetch>(*URL::fromString(server.url("/")), session);
  // The first request completes, handler and all, before the work adds the second.
  operation->script = [&](ScriptedFetch& fetch) {
    fetch.request(server.url("/first"))->resume();
    EXPECT_TRUE(waitUntil([&] { return fetch.calls().size() == 1; }));
    session->delegateQueue().sync([] {});  // the completion has returned
    EXPECT_FALSE(fetch.isFinished());
    fetch.request(server.url("/second"))->resume();
  };
  operation->start();
  EXPECT_FALSE(operation->finishedWhenWorkReturned);
  ASSERT_TRUE(waitUntil([&] { return operation->isFinished(); }));
  const auto calls = operation->calls();
  ASSERT_EQ(calls.size(), 2u);
  for (const auto& call : calls) {
    EXPECT_EQ(call.kind, "result");
    EXPECT_FALSE(call.finishedBefore);
  }
  EXPECT_TRUE(operation->endDate());

  // Work whose requests all complete before it returns ends the operation when it returns.
  auto quick = std::make_shared<ScriptedFetch>(*URL::fromString(server.url("/")), session);
  quick->script = [&](ScriptedFetch& fetch) {
    fetch.request(server.url("/only"))->resume();
    EXPECT_TRUE(waitUntil([&] { return fetch.calls().size() == 1; }));
    session->delegateQueue().sync([] {});
  };
  quick->start();
  EXPECT_TRUE(quick->isFinished());
  EXPECT_FALSE(quick->finishedWhenWorkReturned);
}

TEST(HTTPFetchOperation, CancelledOperationFinishes) {
  auto session = plainSession();
  const URL nowhere = *URL::fromString("http://127.0.0.1:1/");

  // Cancelled while its work runs: the requests it then makes are refused and it ends with it.
  auto during = std::make_shared<ScriptedFetch>(nowhere, session);
  during->script = [](ScriptedFetch& fetch) {
    fetch.cancel();
    fetch.request("http://127.0.0.1:1/a")->resume();
    EXPECT_EQ(fetch.activeRequestCount(), 0u);
  };
  during->start();
  EXPECT_TRUE(during->isFinished());
  EXPECT_TRUE(during->calls().empty());
  EXPECT_TRUE(during->endDate());

  // Cancelled from another thread while its work waits; it ends when the work returns.
  std::atomic<bool> proceed{false};
  auto waiting = std::make_shared<ScriptedFetch>(nowhere, session);
  waiting->script = [&](ScriptedFetch& fetch) {
    EXPECT_TRUE(waitUntil([&] { return proceed.load(); }));
    fetch.request("http://127.0.0.1:1/a")->resume();
  };
  std::thread canceller([&] {
    EXPECT_TRUE(waitUntil([&] { return waiting->isExecuting(); }));
    waiting->cancel();
    proceed = true;
  });
  waiting->start();
  canceller.join();
  EXPECT_TRUE(waiting->isFinished());

  // Cancelled with nothing in flight after its work returned: it ends at once.
  auto idle = std::make_shared<ScriptedFetch>(nowhere, session);
  idle->start();
  EXPECT_TRUE(idle->isExecuting());
  idle->cancel();
  EXPECT_TRUE(idle->isFinished());
}

TEST(HTTPFetchOperation, CancelStopsTransfersToASilentServer) {
  HeldLoopbackServer held(std::chrono::seconds(60));
  auto& server = held.server();
  auto operation = std::make_shared<ScriptedFetch>(*URL::fromString(server.url("/")), plainSession());
  operation->script = [&](ScriptedFetch& fetch) { fetch.request(server.url("/silent"))->resume(); };
  operation->start();
  ASSERT_TRUE(waitUntil([&] { return !server.requests().empty(); }));
  operation->cancel();
  const bool finished = waitUntil([&] { return operation->isFinished(); });
  held.release();
  ASSERT_TRUE(finished);
  const auto calls = operation->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, "error");
  EXPECT_EQ(errorCode(calls[0].error), URLErrorCode::cancelled);
  EXPECT_EQ(operation->activeRequestCount(), 0u);
}

TEST(HTTPFetchOperation, CancelledBeforeItsStartEndsAfterRequestsEnqueuedBefore) {
  HeldLoopbackServer held(std::chrono::seconds(60));
  auto& server = held.server();
  auto operation = std::make_shared<ScriptedFetch>(*URL::fromString(server.url("/")), plainSession());
  auto dependent = std::make_shared<NSBlockOperation>();
  dependent->addDependency(operation);
  operation->request(server.url("/early"))->resume();
  ASSERT_TRUE(waitUntil([&] { return !server.requests().empty(); }));
  operation->cancel();
  operation->start();
  EXPECT_EQ(operation->mainCalls, 0);
  // Its transfer is cancelled, and the operation ends when its handler has returned.
  const bool finished = waitUntil([&] { return operation->isFinished(); });
  const auto calls = operation->calls();
  held.release();
  ASSERT_TRUE(finished);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, "error");
  EXPECT_EQ(errorCode(calls[0].error), URLErrorCode::cancelled);
  EXPECT_FALSE(calls[0].finishedBefore);
  EXPECT_TRUE(waitUntil([&] { return dependent->isReady(); }));
  EXPECT_TRUE(operation->endDate());
}

TEST(HTTPFetchOperation, CancelledWithARequestNeverResumedStillEnds) {
  const URL nowhere = *URL::fromString("http://127.0.0.1:1/");
  // Enqueued, never resumed, then cancelled and started: the task completes as cancelled by
  // itself, the operation ends and its dependent may go.
  {
    auto operation = std::make_shared<ScriptedFetch>(nowhere, plainSession());
    auto dependent = std::make_shared<NSBlockOperation>();
    dependent->addDependency(operation);
    auto task = operation->request("http://127.0.0.1:1/never");
    operation->cancel();
    operation->start();
    EXPECT_EQ(operation->mainCalls, 0);
    ASSERT_TRUE(waitUntil([&] { return operation->isFinished(); }, 30.0));
    const auto calls = operation->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, "error");
    EXPECT_EQ(errorCode(calls[0].error), URLErrorCode::cancelled);
    EXPECT_FALSE(calls[0].finishedBefore);
    EXPECT_TRUE(waitUntil([&] { return dependent->isReady(); }));
    EXPECT_EQ(operation->activeRequestCount(), 0u);
    // Resumed after all, the completed task does nothing more.
    auto dataTask = std::dynamic_pointer_cast<URLSessionDataTask>(task);
    ASSERT_NE(dataTask, nullptr);
    EXPECT_EQ(dataTask->state(), URLSessionDataTask::State::completed);
    task->resume();
    operation->session->delegateQueue().sync([] {});
    EXPECT_EQ(dataTask->state(), URLSessionDataTask::State::completed);
    EXPECT_EQ(operation->calls().size(), 1u);
  }

  // The same while it executes: cancelled after its work returned, and cancelled inside its
  // work (whose end the completion may come before or after).
  for (const bool insideWork : {false, true}) {
    auto operation = std::make_shared<ScriptedFetch>(nowhere, plainSession());
    auto dependent = std::make_shared<NSBlockOperation>();
    dependent->addDependency(operation);
    std::shared_ptr<QvResumable> task;
    operation->script = [&](ScriptedFetch& fetch) {
      task = fetch.request("http://127.0.0.1:1/never");
      if (insideWork) fetch.cancel();
    };
    operation->start();
    if (!insideWork) {
      EXPECT_TRUE(operation->isExecuting());
      EXPECT_EQ(operation->activeRequestCount(), 1u);
      operation->cancel();
    }
    ASSERT_TRUE(waitUntil([&] { return operation->isFinished(); }, 30.0)) << insideWork;
    const auto calls = operation->calls();
    ASSERT_EQ(calls.size(), 1u) << insideWork;
    EXPECT_EQ(errorCode(calls[0].error), URLErrorCode::cancelled) << insideWork;
    EXPECT_FALSE(calls[0].finishedBefore) << insideWork;
    EXPECT_TRUE(waitUntil([&] { return dependent->isReady(); })) << insideWork;
    task->resume();
    operation->session->delegateQueue().sync([] {});
    EXPECT_EQ(operation->calls().size(), 1u) << insideWork;
  }
}

TEST(HTTPFetchOperation, RunsUntilTheLastHandlerHasReturned) {
  LoopbackServer server([](const std::string&) { return LoopbackServer::response(200, "OK", {}, "x"); });

  // Cancelled while the handler of its last request runs: it ends, and lets its dependents go,
  // only when the handler has returned.
  {
    auto operation = std::make_shared<ScriptedFetch>(*URL::fromString(server.url("/")), plainSession());
    auto dependent = std::make_shared<NSBlockOperation>();
    dependent->addDependency(operation);
    std::atomic<bool> entered{false};
    std::atomic<bool> proceed{false};
    operation->script = [&](ScriptedFetch& fetch) { fetch.request(server.url("/last"))->resume(); };
    operation->onResult = [&](const std::string&) {
      entered = true;
      EXPECT_TRUE(waitUntil([&] { return proceed.load(); }));
    };
    operation->start();
    ASSERT_TRUE(waitUntil([&] { return entered.load(); }));
    operation->cancel();
    EXPECT_FALSE(operation->isFinished());
    EXPECT_FALSE(dependent->isReady());
    proceed = true;
    ASSERT_TRUE(waitUntil([&] { return operation->isFinished(); }));
    EXPECT_TRUE(waitUntil([&] { return dependent->isReady(); }));
    ASSERT_TRUE(waitUntil([&] { return operation->calls().size() == 1; }));
    EXPECT_FALSE(operation->calls()[0].finishedBefore);
  }

  // Handlers delivered side by side: the one that completes last does not end the operation
  // while the other still runs.
  {
    URLSession::Configuration configuration;
    configuration.cookieStorage = std::make_shared<HTTPCookieStorage>();
    auto session = std::make_shared<URLSession>(configuration, DispatchQueue::global());
    auto operation = std::make_shared<ScriptedFetch>(*URL::fromString(server.url("/")), session);
    std::atomic<bool> firstEntered{false};
    std::atomic<bool> finishedInFirst{true};
    operation->script = [&](ScriptedFetch& fetch) {
      fetch.request(server.url("/first"))->resume();
      EXPECT_TRUE(waitUntil([&] { return firstEntered.load(); }));
      fetch.request(server.url("/second"))->resume();
    };
    operation->onResult = [&](const std::string& path) {
      if (path != "/first") return;
      firstEntered = true;
      // Until the second completion has run to its end, its transaction let go of.
      EXPECT_TRUE(waitUntil([&] {
        auto second = operation->transaction("/second");
        return second && second->expired();
      }));
      finishedInFirst = operation->isFinished();
    };
    operation->start();
    ASSERT_TRUE(waitUntil([&] { return operation->isFinished(); }));
    EXPECT_FALSE(finishedInFirst);
    EXPECT_EQ(operation->calls().size(), 2u);
  }
}

TEST(HTTPFetchOperation, HandlersSideBySideAndACancelNeverSeeItFinished) {
  // Eight requests whose handlers run side by side, cancelled after none, some or all of them
  // began: every handler runs before the operation ends, and it ends once.
  URLSession::Configuration configuration;
  configuration.cookieStorage = std::make_shared<HTTPCookieStorage>();
  auto session = std::make_shared<URLSession>(configuration, DispatchQueue::global());
  constexpr int requests = 8;
  for (int cancelAfter = 0; cancelAfter <= requests; ++cancelAfter) {
    LoopbackServer server([](const std::string&) { return LoopbackServer::response(200, "OK", {}, "x"); }, requests);
    auto operation = std::make_shared<ScriptedFetch>(*URL::fromString(server.url("/")), session);
    std::atomic<int> entered{0};
    std::atomic<int> finishNotices{0};
    operation->addObserver([&](const std::string& key, KeyValueChange change) {
      if (key == "isFinished" && change == KeyValueChange::did) ++finishNotices;
    });
    operation->script = [&](ScriptedFetch& fetch) {
      for (int i = 0; i < requests; ++i) fetch.request(server.url("/" + std::to_string(i)))->resume();
    };
    operation->onResult = [&](const std::string&) {
      ++entered;
      std::this_thread::yield();
    };
    operation->start();
    if (cancelAfter < requests) {
      ASSERT_TRUE(waitUntil([&] { return entered >= cancelAfter; }));
      operation->cancel();
    }
    // The state is stored before its notice is sent: wait for the notice.
    ASSERT_TRUE(waitUntil([&] { return finishNotices > 0; }));
    const auto calls = operation->calls();
    EXPECT_EQ(calls.size(), static_cast<std::size_t>(requests)) << cancelAfter;
    for (const auto& call : calls) EXPECT_FALSE(call.finishedBefore) << cancelAfter;
    EXPECT_EQ(finishNotices.load(), 1);
    EXPECT_EQ(operation->activeRequestCount(), 0u);
  }
}

TEST(HTTPFetchOperation, StartsOnceWhenStartedOnTwoThreads) {
  ConsoleCapture capture;
  const URL nowhere = *URL::fromString("http://127.0.0.1:1/");
  auto session = plainSession();
  // Started on two threads at the same moment, round after round: one start runs the work, the
  // other only warns.
  const int rounds = sanitizedBuild ? 1000 : 3000;
  int warnings = 0;
  int doubleStarts = 0;
  for (int round = 0; round < rounds; ++round) {
    auto operation = std::make_shared<ScriptedFetch>(nowhere, session);
    runTogether([&] { operation->start(); }, [&] { operation->start(); });
    if (operation->mainCalls != 1) ++doubleStarts;
    const auto warned = capture.logger->matching("operation already started at:").size();
    if (warned == 1) ++warnings;
    capture.logger->clear();
    operation->cancel();
    EXPECT_TRUE(operation->isFinished());
  }
  EXPECT_EQ(warnings, rounds);
  EXPECT_EQ(doubleStarts, 0);
}
}  // namespace
