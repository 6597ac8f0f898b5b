#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>

#include "Fennix/Operations/HTTP/HTTPFetchOperation.h"
#include "Fennix/Operations/HTTP/URLSession.h"
#include "LoopbackServer.h"
#include "OperationsTestSupport.h"

using namespace OperationsTestSupport;

namespace {

/// A path's reply: the handler answers by the request line.
LoopbackServer::Handler routes(std::map<std::string, std::string> replies) {
  return [replies](const std::string& request) {
    const auto start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    auto found = replies.find(path);
    return found != replies.end() ? found->second : LoopbackServer::response(404, "Not Found", {}, "");
  };
}

std::shared_ptr<URLSession> sessionWithoutRedirects() {
  URLSession::Configuration configuration;
  configuration.followRedirects = false;
  configuration.cookieStorage = std::make_shared<HTTPCookieStorage>();
  return std::make_shared<URLSession>(configuration);
}

struct JSONResult {
  std::mutex mutex;
  bool done = false;
  Fennix::ErrorRef error;
  std::optional<nlohmann::json> object;
};

std::shared_ptr<JSONResult> fetchJSON(const std::shared_ptr<URLSession>& session, const std::string& address) {
  auto result = std::make_shared<JSONResult>();
  DispatchQueue delivery("json delivery");
  auto task = session->jsonTask(URLRequest(*URL::fromString(address)), delivery,
                                [result, delivery](Fennix::ErrorRef error, std::optional<nlohmann::json> object) {
                                  EXPECT_TRUE(delivery.isCurrent());
                                  std::lock_guard<std::mutex> lock(result->mutex);
                                  result->error = error;
                                  result->object = std::move(object);
                                  result->done = true;
                                });
  task->resume();
  EXPECT_TRUE(waitUntil([&] {
    std::lock_guard<std::mutex> lock(result->mutex);
    return result->done;
  }));
  return result;
}

TEST(JSONTask, DeliversObjectsErrorsAndEmptyBodies) {
  ConsoleCapture capture;
  LoopbackServer server(routes({
      {"/missing", LoopbackServer::response(404, "Not Found", {"Content-Type: application/json"}, R"({"error":"gone"})")},
      {"/empty", "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n"},
      {"/text", LoopbackServer::response(200, "OK", {}, "not json")},
      {"/scalar", LoopbackServer::response(200, "OK", {}, "42")},
  }));
  auto session = sessionWithoutRedirects();

  auto missing = fetchJSON(session, server.url("/missing"));
  EXPECT_EQ(missing->error, nullptr);
  EXPECT_EQ(missing->object, nlohmann::json::parse(R"({"error":"gone"})"));
  EXPECT_EQ(capture.logger->matching("response not OK:").size(), 1u);

  auto empty = fetchJSON(session, server.url("/empty"));
  auto* noContent = Fennix::errorAs<URLSession::QvJSONError>(empty->error);
  ASSERT_NE(noContent, nullptr);
  ASSERT_TRUE(noContent->is<URLSession::QvJSONError::NoContent>());
  auto response = std::get<URLSession::QvJSONError::NoContent>(noContent->value()).response;
  ASSERT_NE(std::dynamic_pointer_cast<HTTPURLResponse>(response), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<HTTPURLResponse>(response)->statusCode(), 204);
  EXPECT_EQ(empty->object, std::nullopt);

  auto text = fetchJSON(session, server.url("/text"));
  auto* parse = Fennix::errorAs<URLSession::QvJSONError>(text->error);
  ASSERT_NE(parse, nullptr);
  EXPECT_TRUE(parse->is<URLSession::QvJSONError::ParseError>());
  EXPECT_EQ(capture.logger->matching("could not parse JSON data (#8: 8 bytes").size(), 1u);
  EXPECT_TRUE(Fennix::errorAs<URLSession::QvJSONError>(fetchJSON(session, server.url("/scalar"))->error));

  // A transport error comes through as the session's error.
  auto refused = fetchJSON(session, "http://127.0.0.1:1/");
  auto* platform = Fennix::errorAs<NSError>(refused->error);
  ASSERT_NE(platform, nullptr);
  EXPECT_EQ(platform->code(), URLErrorCode::cannotConnectToHost);
}

TEST(JSONTask, BodiesAreCompleteAndShallow) {
  ConsoleCapture capture;  // the refusals log
  const auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  const auto ok = [](const std::string& body) { return LoopbackServer::response(200, "OK", {}, body); };
  LoopbackServer server(routes({
      {"/deep", ok(nested(100000))},
      {"/limit", ok(nested(512))},
      {"/over", ok(nested(513))},
      {"/objects", ok("{\"a\":" + nested(600) + "}")},
      {"/nul", ok(std::string("{\"ok\":true}\0garbage", 19))},
      {"/trailing", ok("[1] x")},
      {"/spaces", ok("[1] \r\n\t ")},
  }));
  auto session = sessionWithoutRedirects();
  const auto isParseError = [](const std::shared_ptr<JSONResult>& result) {
    auto* json = Fennix::errorAs<URLSession::QvJSONError>(result->error);
    return json != nullptr && json->is<URLSession::QvJSONError::ParseError>() && !result->object;
  };
  // Deep nesting is refused while parsing: nothing deep is built, copied onto the queue or
  // delivered.
  for (const std::string path : {"/deep", "/over", "/objects"}) EXPECT_TRUE(isParseError(fetchJSON(session, server.url(path)))) << path;
  auto limit = fetchJSON(session, server.url("/limit"));
  EXPECT_EQ(limit->error, nullptr);
  ASSERT_TRUE(limit->object);
  EXPECT_EQ(limit->object->dump(), nested(512));
  // After the value only white space may follow.
  EXPECT_TRUE(isParseError(fetchJSON(session, server.url("/nul"))));
  EXPECT_TRUE(isParseError(fetchJSON(session, server.url("/trailing"))));
  EXPECT_EQ(fetchJSON(session, server.url("/spaces"))->object, nlohmann::json::array({1}));
  EXPECT_EQ(capture.logger->matching("could not parse JSON data (#19: 19 bytes").size(), 1u);
}

/// A fetch operation that records what its handlers were given and can enqueue from a handler.
class RecordingFetch : public QvHTTPFetchOperation {
 public:
  using QvHTTPFetchOperation::QvHTTPFetchOperation;

  struct Record {
    std::string kind;
    std::optional<Fennix::Data> data;
    std::shared_ptr<HTTPURLResponse> response;
    std::optional<URL> target;
    Fennix::ErrorRef error;
  };

  std::vector<std::string> paths;
  std::function<void(RecordingFetch&, const Record&)> onRecord;

  std::vector<Record> records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
  }

  void asyncMain(std::function<void()>) override {
    for (const auto& path : paths) enqueue(URLRequest(*URL::fromString(path)))->resume();
  }
  void handleResult(const std::optional<Fennix::Data>& data, const std::shared_ptr<HTTPURLResponse>& response) override {
    add({"result", data, response, std::nullopt, nullptr});
  }
  void handleRedirect(const URLRequest& request, const URL& to) override {
    add({"redirect " + request.url->absoluteString(), std::nullopt, nullptr, to, nullptr});
  }
  void handleError(const HTTPTransactionError& error) override {
    // The transaction's response, kept also when the transfer failed.
    add({"error", std::nullopt, error.transaction->response, std::nullopt, error.error});
  }

 private:
  void add(Record record) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      records_.push_back(record);
    }
    if (onRecord) onRecord(*this, record);
  }
  mutable std::mutex mutex_;
  std::vector<Record> records_;
};

long statusOf(const Fennix::ErrorRef& error) {
  auto* status = Fennix::errorAs<QvHTTPFetchOperation::HTTPStatusError>(error);
  return status != nullptr && status->kind() == QvHTTPFetchOperation::HTTPStatusError::Kind::redirect
             ? status->statusCode()
             : -1;
}

TEST(HTTPFetchOperation, SortsResponsesIntoHandlers) {
  LoopbackServer server(routes({
      {"/dir/moved", "HTTP/1.1 302 Found\r\nlocation: next?x=1\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"/nolocation", LoopbackServer::response(301, "Moved", {}, "")},
      {"/unchanged", "HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n"},
      {"/empty", LoopbackServer::response(200, "OK", {}, "")},
      {"/truncated", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nshort"},
  }));
  auto operation = std::make_shared<RecordingFetch>(*URL::fromString(server.url("/")), sessionWithoutRedirects());
  operation->paths = {server.url("/dir/moved"), server.url("/nolocation"), server.url("/unchanged"),
                      server.url("/empty"), server.url("/truncated")};
  EXPECT_EQ(operation->duration(), std::nullopt);
  operation->start();
  operation->waitUntilFinished();
  ASSERT_TRUE(operation->duration());
  EXPECT_GE(*operation->duration(), 0.0);
  EXPECT_EQ(*operation->duration(),
            std::chrono::duration<double>(*operation->endDate() - *operation->startDate).count());

  auto records = operation->records();
  ASSERT_EQ(records.size(), 5u);
  int redirects = 0, statusErrors = 0, results = 0, transportErrors = 0;
  for (const auto& record : records) {
    if (record.kind.rfind("redirect ", 0) == 0) {
      ++redirects;
      EXPECT_EQ(record.kind, "redirect " + server.url("/dir/moved"));
      EXPECT_EQ(record.target->absoluteString(), server.url("/dir/next?x=1"));
    } else if (record.kind == "result") {
      ++results;
      ASSERT_TRUE(record.data);
      EXPECT_TRUE(record.data->empty());
      EXPECT_EQ(record.response->statusCode(), 200);
    } else if (statusOf(record.error) > 0) {
      ++statusErrors;
      EXPECT_TRUE(statusOf(record.error) == 301 || statusOf(record.error) == 304);
    } else {
      // The truncated body fails the transfer: an error that keeps the response, never a result.
      ++transportErrors;
      auto* platform = Fennix::errorAs<NSError>(record.error);
      ASSERT_NE(platform, nullptr);
      EXPECT_EQ(platform->code(), URLErrorCode::networkConnectionLost);
      ASSERT_NE(record.response, nullptr);
      EXPECT_EQ(record.response->statusCode(), 200);
    }
  }
  EXPECT_EQ(redirects, 1);
  EXPECT_EQ(statusErrors, 2);
  EXPECT_EQ(results, 1);
  EXPECT_EQ(transportErrors, 1);

  // Starting again only warns.
  ConsoleCapture capture;
  operation->log = std::make_shared<ModuleLogger>(capture.logger, "HTTP", LogLevel::trace);
  operation->start();
  EXPECT_EQ(capture.logger->matching("operation already started at:").size(), 1u);
}

TEST(HTTPFetchOperation, TheThreadThatFinishesItTouchesNothingOfItAfterTheFinishNotice) {
  // An owner may change or free the operation as soon as it is told that it finished; here it
  // swaps the logger at that notice, and the "finished" line must already be in the first one.
  LoopbackServer server(routes({{"/empty", LoopbackServer::response(200, "OK", {}, "")}}));
  auto operation = std::make_shared<RecordingFetch>(*URL::fromString(server.url("/")), sessionWithoutRedirects());
  operation->paths = {server.url("/empty")};
  auto before = std::make_shared<RecordingLogger>();
  auto after = std::make_shared<RecordingLogger>();
  operation->log = std::make_shared<ModuleLogger>(before, "HTTP", LogLevel::trace);
  std::atomic<std::size_t> finishedLinesAtNotice{99};
  auto token = operation->addObserver([&](const std::string& key, KeyValueChange change) {
    if (key != "isFinished" || change != KeyValueChange::did) return;
    finishedLinesAtNotice = before->matching("finished operation:").size();
    operation->log = std::make_shared<ModuleLogger>(after, "HTTP", LogLevel::trace);
  });
  operation->start();
  operation->waitUntilFinished();
  ASSERT_EQ(operation->records().size(), 1u);
  EXPECT_EQ(finishedLinesAtNotice, 1u);
  operation->removeObserver(token);
  EXPECT_TRUE(after->matching("finished operation:").empty());
}

TEST(HTTPFetchOperation, AHeadCutOffIsALostConnection) {
  // Heads that end with the connection before their blank line: neither the redirect is handed
  // on nor the status, but the lost connection, without a response.
  LoopbackServer server(routes({{"/moved", "HTTP/1.1 302 Found\r\nLocation: /next\r\n"},
                                {"/denied", "HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n"}}));
  auto operation = std::make_shared<RecordingFetch>(*URL::fromString(server.url("/")), sessionWithoutRedirects());
  operation->paths = {server.url("/moved"), server.url("/denied")};
  operation->start();
  operation->waitUntilFinished();
  const auto records = operation->records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& record : records) {
    EXPECT_EQ(record.kind, "error");
    auto* platform = Fennix::errorAs<NSError>(record.error);
    ASSERT_NE(platform, nullptr) << (record.error ? record.error->description() : "no error");
    EXPECT_EQ(platform->code(), URLErrorCode::networkConnectionLost);
    EXPECT_EQ(record.response, nullptr);
  }
}

TEST(HTTPFetchOperation, FinishesAfterTheLastHandler) {
  LoopbackServer server(routes({
      {"/one", LoopbackServer::response(200, "OK", {"Set-Cookie: s=1"}, "1")},
      {"/two", LoopbackServer::response(200, "OK", {}, "22")},
      {"/three", LoopbackServer::response(200, "OK", {}, "333")},
  }));
  auto session = sessionWithoutRedirects();
  auto operation = std::make_shared<RecordingFetch>(*URL::fromString(server.url("/")), session);
  operation->paths = {server.url("/one"), server.url("/two")};
  std::atomic<bool> enqueued{false};
  operation->onRecord = [&](RecordingFetch& fetch, const RecordingFetch::Record& record) {
    EXPECT_FALSE(fetch.isFinished());
    // The handler of the first request enqueues a third, which carries the first one's cookie.
    const bool first = record.response && record.response->url() && record.response->url()->path() == "/one";
    if (first && !enqueued.exchange(true)) fetch.enqueue(URLRequest(*URL::fromString(server.url("/three"))))->resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(fetch.isFinished());  // not even while the last handler is still running
  };
  operation->start();
  operation->waitUntilFinished();
  EXPECT_EQ(operation->records().size(), 3u);
  EXPECT_EQ(operation->activeRequestCount(), 0u);
  // The session kept the cookie and sent it with the later requests.
  EXPECT_EQ(session->configuration().cookieStorage->cookie("s")->value, "1");
  EXPECT_NE(server.requests().back().find("Cookie: s=1"), std::string::npos);

  // A cancelled operation starts no new transaction.
  operation->onRecord = nullptr;
  operation->cancel();
  auto nothing = operation->enqueue(URLRequest(*URL::fromString(server.url("/one"))));
  EXPECT_NE(std::dynamic_pointer_cast<EmptyResumable>(nothing), nullptr);
  nothing->resume();
  EXPECT_EQ(operation->activeRequestCount(), 0u);

  // A response that is not an HTTP response is an error of its own.
  auto other = std::make_shared<URLResponse>(URL::fromString("ftp://example.com/"));
  auto transaction = std::make_shared<QvHTTPFetchOperation::HTTPTransaction>(
      URLRequest(*URL::fromString(server.url("/one"))), nullptr);
  operation->handleDataTaskResult(Fennix::Data{}, other, nullptr, transaction);
  auto* unexpected = Fennix::errorAs<QvHTTPFetchOperation::HTTPOtherError>(operation->records().back().error);
  ASSERT_NE(unexpected, nullptr);
  EXPECT_EQ(unexpected->response, other);
}

TEST(HTTPFetchOperation, UnresumedTaskKeepsTheOperationRunning) {
  LoopbackServer server(routes({{"/one", LoopbackServer::response(200, "OK", {}, "1")}}));
  auto operation = std::make_shared<RecordingFetch>(*URL::fromString(server.url("/")), sessionWithoutRedirects());
  operation->start();
  auto task = operation->enqueue(URLRequest(*URL::fromString(server.url("/one"))));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(operation->activeRequestCount(), 1u);
  EXPECT_TRUE(operation->isExecuting());
  EXPECT_TRUE(operation->records().empty());
  // Resuming it lets the transaction complete, which ends the operation.
  task->resume();
  operation->waitUntilFinished();
  EXPECT_EQ(operation->activeRequestCount(), 0u);
  EXPECT_EQ(operation->records().size(), 1u);
}

/// A fetch operation that keeps the base handlers: it only sends its requests.
class BaseHandlersFetch : public QvHTTPFetchOperation {
 public:
  using QvHTTPFetchOperation::QvHTTPFetchOperation;
  std::vector<std::string> paths;
  void asyncMain(std::function<void()>) override {
    for (const auto& path : paths) enqueue(URLRequest(*URL::fromString(path)))->resume();
  }
};

TEST(HTTPFetchOperation, BaseHandlersAndItsCourseAreLogged) {
  ConsoleCapture capture;
  LoopbackServer server(routes({
      {"/ok", LoopbackServer::response(200, "OK", {}, "abc")},
      {"/moved", "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"/missing", LoopbackServer::response(404, "Not Found", {}, "")},
  }));
  // Lines of the "HTTP" logger, whose prefix is padded to the widest registered one.
  const auto lines = [&](const std::string& text) {
    auto found = capture.logger->matching(text);
    std::erase_if(found, [](const std::string& line) { return line.find("|HTTP: ") == std::string::npos; });
    return found;
  };
  const auto all = [&] { return ::testing::PrintToString(capture.logger->lines()); };

  // Without a level of its own the operation's logger follows its parent, here at trace.
  {
    EnvironmentSetting unset("LOGLEVEL_HTTP", nullptr);
    auto operation = std::make_shared<BaseHandlersFetch>(*URL::fromString(server.url("/")), sessionWithoutRedirects());
    operation->paths = {server.url("/ok"), server.url("/moved"), server.url("/missing")};
    EXPECT_EQ(operation->log->parent(), capture.logger);
    EXPECT_EQ(operation->log->logLevel(), LogLevel::trace);
    operation->start();
    // The operation is finished before it logs so: wait for the line, not only the state.
    ASSERT_TRUE(waitUntil([&] { return operation->isFinished() && !lines("finished operation:").empty(); }, 30.0))
        << all();
    const std::string self = operation->description();

    const auto starting = lines("starting operation:");
    ASSERT_EQ(starting.size(), 1u) << all();
    EXPECT_NE(starting[0].find("starting operation: " + self + " at: "), std::string::npos) << starting[0];
    const auto transactions = lines("start tx:");
    ASSERT_EQ(transactions.size(), 3u) << all();
    for (const char* path : {"/ok", "/moved", "/missing"}) {
      const std::string expected = "start tx: <HTTPTransaction GET " + server.url(path) + ">";
      EXPECT_EQ(std::count_if(transactions.begin(), transactions.end(),
                              [&](const std::string& line) { return line.find(expected) != std::string::npos; }),
                1)
          << expected << " in " << all();
    }
    const auto results = lines("subclass needs to override handleResult(_:response:)");
    ASSERT_EQ(results.size(), 1u) << all();
    EXPECT_NE(results[0].find("handleResult(_:response:) 3 bytes"), std::string::npos) << results[0];
    const auto redirects = lines("supposed to handle redirect:");
    ASSERT_EQ(redirects.size(), 1u) << all();
    EXPECT_NE(redirects[0].find("redirect: " + server.url("/moved") + " to: " + server.url("/elsewhere")), std::string::npos)
        << redirects[0];
    const auto errors = lines("subclass needs to override handleError(_:)");
    ASSERT_EQ(errors.size(), 1u) << all();
    EXPECT_NE(errors[0].find("handleError(_:) client(404)"), std::string::npos) << errors[0];
    const auto finished = lines("finished operation:");
    ASSERT_EQ(finished.size(), 1u) << all();
    EXPECT_NE(finished[0].find("finished operation: " + self + " at: "), std::string::npos) << finished[0];
    EXPECT_NE(finished[0].find(" took: "), std::string::npos) << finished[0];
  }

  // The environment sets the level of the "HTTP" logger: at warn, the trace lines are dropped
  // and the handlers' error lines still go out.
  capture.logger->clear();
  {
    EnvironmentSetting warn("LOGLEVEL_HTTP", "Warn");
    auto operation = std::make_shared<BaseHandlersFetch>(*URL::fromString(server.url("/")), sessionWithoutRedirects());
    operation->paths = {server.url("/missing")};
    EXPECT_EQ(operation->log->logLevel(), LogLevel::warn);
    operation->start();
    ASSERT_TRUE(waitUntil([&] { return operation->isFinished(); }, 30.0));
    EXPECT_TRUE(lines("starting operation:").empty()) << all();
    EXPECT_TRUE(lines("start tx:").empty()) << all();
    EXPECT_TRUE(lines("finished operation:").empty()) << all();
    EXPECT_EQ(lines("subclass needs to override handleError(_:)").size(), 1u) << all();
  }
}

TEST(URLSession, FollowedRedirectsKeepTheirCookies) {
  LoopbackServer server(routes({
      {"/login", "HTTP/1.1 302 Found\r\nLocation: /home\r\nSet-Cookie: token=abc; Path=/\r\n"
                 "Content-Length: 0\r\nConnection: close\r\n\r\n"},
      {"/home", LoopbackServer::response(200, "OK", {"Set-Cookie: seen=1"}, "welcome")},
  }));
  URLSession::Configuration configuration;
  configuration.cookieStorage = std::make_shared<HTTPCookieStorage>();
  auto session = std::make_shared<URLSession>(configuration);
  std::atomic<bool> completed{false};
  std::shared_ptr<URLResponse> response;
  auto task = session->dataTask(URLRequest(*URL::fromString(server.url("/login"))),
                                [&](std::optional<Fennix::Data>, std::shared_ptr<URLResponse> received, Fennix::ErrorRef) {
                                  response = std::move(received);
                                  completed = true;
                                });
  task->resume();
  ASSERT_TRUE(waitUntil([&] { return completed.load(); }));
  auto http = std::dynamic_pointer_cast<HTTPURLResponse>(response);
  ASSERT_NE(http, nullptr);
  EXPECT_EQ(http->statusCode(), 200);
  ASSERT_TRUE(configuration.cookieStorage->cookie("token"));
  EXPECT_EQ(configuration.cookieStorage->cookie("token")->value, "abc");
  EXPECT_EQ(configuration.cookieStorage->cookie("seen")->value, "1");
}

TEST(URLSession, EachRedirectHopCarriesTheCookiesThatMatchIt) {
  LoopbackServer server(routes({
      {"/app/start", "HTTP/1.1 302 Found\r\nLocation: /other/page\r\nSet-Cookie: fresh=1; Path=/\r\n"
                     "Set-Cookie: old=; Path=/; Max-Age=0\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"/other/page", LoopbackServer::response(200, "OK", {"Set-Cookie: last=3; Path=/other"}, "done")},
  }));
  URLSession::Configuration configuration;
  configuration.cookieStorage = std::make_shared<HTTPCookieStorage>();
  const auto stored = [](const std::string& name, const std::string& value, const std::string& path) {
    HTTPCookie cookie;
    cookie.name = name;
    cookie.value = value;
    cookie.domain = "127.0.0.1";
    cookie.path = path;
    return cookie;
  };
  configuration.cookieStorage->setCookie(stored("app", "1", "/app"));
  configuration.cookieStorage->setCookie(stored("old", "2", "/"));
  HTTPCookie elsewhere = stored("other", "x", "/");
  elsewhere.domain = "example.com";
  configuration.cookieStorage->setCookie(elsewhere);
  auto session = std::make_shared<URLSession>(configuration);
  std::atomic<bool> completed{false};
  auto task = session->dataTask(URLRequest(*URL::fromString(server.url("/app/start"))),
                                [&](std::optional<Fennix::Data>, std::shared_ptr<URLResponse>, Fennix::ErrorRef) {
                                  completed = true;
                                });
  task->resume();
  ASSERT_TRUE(waitUntil([&] { return completed.load(); }));
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  const auto cookieLine = [](const std::string& request) {
    const auto start = request.find("\r\nCookie: ");
    if (start == std::string::npos) return std::string();
    return request.substr(start + 10, request.find("\r\n", start + 2) - start - 10);
  };
  // The first hop gets the store's cookies for its path; the second gets the cookie the redirect
  // set, not the one of the first path nor the one the redirect removed.
  EXPECT_EQ(cookieLine(requests[0]), "app=1; old=2");
  EXPECT_EQ(cookieLine(requests[1]), "fresh=1");
  EXPECT_EQ(requests[1].find("Cookie: ", requests[1].find("Cookie: ") + 1), std::string::npos);

  // What the responses set and removed is in the store afterwards; the rest is untouched.
  auto& storage = *configuration.cookieStorage;
  EXPECT_EQ(storage.cookie("fresh")->value, "1");
  EXPECT_EQ(storage.cookie("fresh")->domain, "127.0.0.1");
  EXPECT_EQ(storage.cookie("last")->path, "/other");
  EXPECT_EQ(storage.cookie("old"), std::nullopt);
  EXPECT_EQ(storage.cookie("app")->value, "1");
  EXPECT_EQ(storage.cookie("other")->domain, "example.com");
  EXPECT_EQ(storage.cookies().size(), 4u);
}

TEST(HTTPFetchOperation, CancelledTransferIsNeverAResult) {
  HeldLoopbackServer held(std::chrono::seconds(5));
  auto& server = held.server();
  auto session = sessionWithoutRedirects();
  std::atomic<bool> completed{false};
  Fennix::ErrorRef error;
  std::optional<Fennix::Data> data;
  auto task = session->dataTask(URLRequest(*URL::fromString(server.url("/slow"))),
                                [&](std::optional<Fennix::Data> body, std::shared_ptr<URLResponse>, Fennix::ErrorRef failure) {
                                  data = std::move(body);
                                  error = failure;
                                  completed = true;
                                });
  task->resume();
  ASSERT_TRUE(waitUntil([&] { return !server.requests().empty(); }));
  task->cancel();
  ASSERT_TRUE(waitUntil([&] { return completed.load(); }));
  held.release();
  EXPECT_EQ(data, std::nullopt);
  ASSERT_NE(Fennix::errorAs<NSError>(error), nullptr);
  EXPECT_EQ(Fennix::errorAs<NSError>(error)->code(), URLErrorCode::cancelled);
  EXPECT_TRUE(URLSession::QvError::classify(error).is<URLSession::QvError::Cancelled>());
}

}  // namespace
