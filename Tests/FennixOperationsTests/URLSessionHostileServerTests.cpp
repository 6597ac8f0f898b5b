// Transfers of the URL session against loopback servers that lie about their content, never end
// their head, trickle it, or close half way.
#include <gtest/gtest.h>

#include <zlib.h>

#include "Fennix/Operations/HTTP/URLSession.h"
#include "OperationsTestSupport.h"
#include "ScriptedServer.h"
#include "URLSessionTestSupport.h"

using namespace OperationsTestSupport;

namespace {

/// A transfer under way; `wait()` gives its outcome.
struct Pending {
  std::shared_ptr<Fetched> result = std::make_shared<Fetched>();
  std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

  Fetched wait() const {
    EXPECT_TRUE(waitUntil([&] { return done->load(); }, 90.0));
    result->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return *result;
  }
};

Pending begin(const std::shared_ptr<URLSession>& session, const std::string& address, double timeout = 60) {
  Pending pending;
  URLRequest request(*URL::fromString(address));
  request.timeoutInterval = timeout;
  session
      ->dataTask(request,
                 [result = pending.result, done = pending.done](std::optional<Fennix::Data> data,
                                                                std::shared_ptr<URLResponse> response, Fennix::ErrorRef error) {
                   result->data = std::move(data);
                   result->response = std::dynamic_pointer_cast<HTTPURLResponse>(response);
                   result->error = std::move(error);
                   done->store(true);
                 })
      ->resume();
  return pending;
}

Fetched fetch(const std::shared_ptr<URLSession>& session, const std::string& address, double timeout = 60) {
  return begin(session, address, timeout).wait();
}

std::string gzipOf(const std::string& text) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

/// The store's cookies for the URL, as "name=value" texts.
std::vector<std::string> storedFor(const std::shared_ptr<URLSession>& session, const std::string& address) {
  std::vector<std::string> pairs;
  for (const auto& cookie : session->configuration().cookieStorage->cookies(*URL::fromString(address))) {
    pairs.push_back(cookie.name + "=" + cookie.value);
  }
  return pairs;
}

/// A server whose every connection gets `reply` and is closed.
ScriptedServer::Script replying(std::string reply) {
  return [reply](ScriptedServer::Connection& connection, const std::string&) { connection.send(reply); };
}

TEST(URLSessionHostileServer, TrailerFieldsAreNoHeaderFields) {
  // Interim heads come first, then the final head; the fields after a chunked body are trailers.
  ScriptedServer server(replying(
      "HTTP/1.1 100 Continue\r\n\r\n"
      "HTTP/1.1 103 Early Hints\r\nLink: </style.css>\r\n\r\n"
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nSet-Cookie: head=1\r\nTransfer-Encoding: chunked\r\n\r\n"
      "3\r\nabc\r\n0\r\nSet-Cookie: trailer=1\r\nContent-Type: text/forged\r\nX-Trailer: yes\r\n\r\n"));
  auto session = newSession();
  auto fetched = fetch(session, server.url("/"));
  ASSERT_EQ(fetched.error, nullptr) << fetched.describe();
  EXPECT_EQ(fetched.body(), "abc");
  ASSERT_NE(fetched.response, nullptr);
  EXPECT_EQ(fetched.response->firstHeader("Content-Type"), "text/plain");
  EXPECT_EQ(fetched.response->firstHeader("X-Trailer"), std::nullopt);
  EXPECT_EQ(fetched.response->firstHeader("Link"), std::nullopt);
  EXPECT_EQ(storedFor(session, server.url("/")), std::vector<std::string>{"head=1"});
}

TEST(URLSessionHostileServer, ContentOfNoOneLengthIsRefused) {
  auto session = newSession();
  // Lengths that disagree, or that are no length at all: the content cannot be told apart from
  // what follows it, and nothing of it is handed on.
  for (const std::string lengths : {"Content-Length: 5\r\nContent-Length: 7", "Content-Length: 5, 7",
                                    "Content-Length: 7\r\ncontent-length: 07, 6", "Content-Length: seven",
                                    "Content-Length: 99999999999999999999999", "Content-Length: 7,",
                                    "Content-Length: +7"}) {
    ScriptedServer server(
        replying("HTTP/1.1 200 OK\r\n" + lengths + "\r\nSet-Cookie: framed=no\r\nConnection: close\r\n\r\nabcdefg"));
    auto fetched = fetch(session, server.url("/"));
    EXPECT_EQ(fetched.code(), URLErrorCode::badServerResponse) << lengths << ": " << fetched.describe();
    EXPECT_EQ(fetched.data, std::nullopt) << lengths;
    EXPECT_TRUE(storedFor(session, server.url("/")).empty()) << lengths;
  }
  // The same length repeated is one length; with "Transfer-Encoding" the chunks tell the length.
  for (const std::string lengths : {"Content-Length: 7\r\nContent-Length: 7", "Content-Length: 7, 007",
                                    "Content-Length: 7\t"}) {
    ScriptedServer server(replying("HTTP/1.1 200 OK\r\n" + lengths + "\r\nConnection: close\r\n\r\nabcdefg"));
    auto fetched = fetch(session, server.url("/"));
    EXPECT_EQ(fetched.error, nullptr) << lengths << ": " << fetched.describe();
    EXPECT_EQ(fetched.body(), "abcdefg") << lengths;
  }
  ScriptedServer chunked(replying(
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 5, 9\r\n\r\n7\r\nabcdefg\r\n0\r\n\r\n"));
  EXPECT_EQ(fetch(session, chunked.url("/")).body(), "abcdefg");
}

TEST(URLSessionHostileServer, RepliesThatLieOrNeverEndFailAsTheServersFault) {
  auto session = newSession(1 << 20);
  // A head that never ends, and content that inflates far past the largest body allowed: both
  // stop at their bounds, long before the server would.
  ScriptedServer endless([](ScriptedServer::Connection& connection, const std::string&) {
    connection.send("HTTP/1.1 200 OK\r\n");
    for (int i = 0; i < 100000 && connection.send("X-Endless: " + std::string(100, 'e') + "\r\n"); ++i) {
    }
  });
  EXPECT_EQ(fetch(session, endless.url("/")).code(), URLErrorCode::badServerResponse);
  // A first field line that continues the status line is the server's fault too.
  ScriptedServer folded(replying("HTTP/1.1 200 OK\r\n Folded: x\r\nContent-Length: 2\r\n\r\nok"));
  EXPECT_EQ(fetch(session, folded.url("/")).code(), URLErrorCode::badServerResponse);
  // The bytes after a switch to another protocol are no content, and never pass for JSON.
  ScriptedServer switching(replying("HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\nConnection: Upgrade\r\n\r\n{}"), 2);
  const auto switched = fetch(session, switching.url("/"));
  ASSERT_EQ(switched.error, nullptr);
  EXPECT_EQ(switched.response->statusCode(), 101);
  EXPECT_EQ(switched.body(), "");
  std::atomic<bool> parsed{false};
  Fennix::ErrorRef jsonError;
  session
      ->jsonTask(URLRequest(*URL::fromString(switching.url("/"))), std::nullopt,
                 [&](Fennix::ErrorRef error, std::optional<nlohmann::json>) {
                   jsonError = error;
                   parsed = true;
                 })
      ->resume();
  ASSERT_TRUE(waitUntil([&] { return parsed.load(); }));
  auto* noContent = Fennix::errorAs<URLSession::QvJSONError>(jsonError);
  ASSERT_NE(noContent, nullptr);
  EXPECT_TRUE(noContent->is<URLSession::QvJSONError::NoContent>());
  const std::string bomb = gzipOf(std::string(64u << 20, '\0'));
  ScriptedServer inflating(replying("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                                    std::to_string(bomb.size()) + "\r\n\r\n" + bomb));
  EXPECT_EQ(fetch(session, inflating.url("/")).code(), URLErrorCode::dataLengthExceedsMaximum);

  // Content cut short, however it was framed, is a lost connection and nothing of it is kept.
  for (const std::string& cut : {"Content-Length: 1000\r\n\r\n" + std::string(500, 'm'),
                                std::string("Transfer-Encoding: chunked\r\n\r\n10\r\nabc"),
                                std::string("Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n"),
                                std::string("Transfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n")}) {
    ScriptedServer server(replying("HTTP/1.1 200 OK\r\n" + cut));
    auto fetched = fetch(session, server.url("/"));
    EXPECT_EQ(fetched.code(), URLErrorCode::networkConnectionLost) << cut.substr(0, 40) << ": " << fetched.describe();
    EXPECT_EQ(fetched.data, std::nullopt);
  }
}

/// What a JSON task delivered for the address.
Fennix::ErrorRef jsonErrorOf(const std::shared_ptr<URLSession>& session, const std::string& address) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  auto delivered = std::make_shared<Fennix::ErrorRef>();
  session
      ->jsonTask(URLRequest(*URL::fromString(address)), std::nullopt,
                 [done, delivered](Fennix::ErrorRef error, std::optional<nlohmann::json>) {
                   *delivered = error;
                   done->store(true);
                 })
      ->resume();
  EXPECT_TRUE(waitUntil([&] { return done->load(); }));
  return *delivered;
}

TEST(URLSessionHostileServer, AHeadCutOffIsNoResponse) {
  auto session = newSession();
  // A status line, with or without fields, then the connection closes before the blank line: no
  // response at all, whatever its status would have been, and none of its cookies is kept.
  for (const std::string head :
       {"HTTP/1.1 200 OK\r\n", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nSet-Cookie: cut=1\r\n",
        "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic\r\nSet-Cookie: cut=2\r\n",
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nSet-Cookie: cut=3\r\n",
        "HTTP/1.1 103 Early Hints\r\nSet-Cookie: early=1\r\n\r\n"}) {
    ScriptedServer server(replying(head));
    const auto fetched = fetch(session, server.url("/"));
    EXPECT_EQ(fetched.code(), URLErrorCode::networkConnectionLost) << head << fetched.describe();
    EXPECT_EQ(fetched.data, std::nullopt) << head;
    EXPECT_EQ(fetched.response, nullptr) << head;
    auto* platform = Fennix::errorAs<NSError>(fetched.error);
    ASSERT_NE(platform, nullptr) << head;
    // (libcurl itself tells of an interim response with nothing after it.)
    if (!head.ends_with("\r\n\r\n")) {
      EXPECT_NE(platform->localizedDescription().find("head was cut off"), std::string::npos) << platform->description();
    }
    EXPECT_TRUE(storedFor(session, server.url("/")).empty()) << head;
    // The JSON task reports the lost connection, not a reply without content.
    const auto jsonError = jsonErrorOf(session, server.url("/"));
    auto* lost = Fennix::errorAs<NSError>(jsonError);
    ASSERT_NE(lost, nullptr) << head;
    EXPECT_EQ(lost->code(), URLErrorCode::networkConnectionLost) << head;
  }
  // A redirect cut the same way is not followed.
  ScriptedServer redirecting([](ScriptedServer::Connection& connection, const std::string& request) {
    if (request.rfind("GET /start ", 0) == 0) {
      connection.send("HTTP/1.1 302 Found\r\nLocation: /next\r\n");
    } else {
      connection.send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nnext");
    }
  });
  const auto redirected = fetch(session, redirecting.url("/start"));
  EXPECT_EQ(redirected.code(), URLErrorCode::networkConnectionLost) << redirected.describe();
  EXPECT_EQ(redirecting.connections(), 1);
  // The whole empty reply is still one.
  ScriptedServer whole(replying("HTTP/1.1 200 OK\r\n\r\n"));
  const auto empty = fetch(session, whole.url("/"));
  ASSERT_EQ(empty.error, nullptr) << empty.describe();
  EXPECT_EQ(empty.response->statusCode(), 200);
  EXPECT_EQ(empty.body(), "");
}

TEST(URLSessionHostileServer, OnlyWholeFinalResponsesSetCookies) {
  auto session = newSession();
  // A head cut by a reset or by the time-out, content cut short, and an interim response: the
  // request fails, or the interim response is passed over, and the store stays as it was.
  ScriptedServer reset([](ScriptedServer::Connection& connection, const std::string&) {
    connection.send("HTTP/1.1 200 OK\r\nSet-Cookie: reset=1\r\n");
    connection.pause(std::chrono::milliseconds(200));
    connection.reset();
  });
  EXPECT_NE(fetch(session, reset.url("/")).error, nullptr);
  ScriptedServer quiet([](ScriptedServer::Connection& connection, const std::string&) {
    connection.send("HTTP/1.1 200 OK\r\nSet-Cookie: quiet=1\r\n");
    connection.pause(std::chrono::seconds(30));
  });
  EXPECT_EQ(fetch(session, quiet.url("/"), 1.0).code(), URLErrorCode::timedOut);
  ScriptedServer shortContent(replying("HTTP/1.1 200 OK\r\nSet-Cookie: short=1\r\nContent-Length: 10\r\n\r\nabc"));
  EXPECT_EQ(fetch(session, shortContent.url("/")).code(), URLErrorCode::networkConnectionLost);
  ScriptedServer interim(replying(
      "HTTP/1.1 103 Early Hints\r\nSet-Cookie: early=1\r\n\r\n"
      "HTTP/1.1 200 OK\r\nSet-Cookie: final=1\r\nContent-Length: 2\r\n\r\nok"));
  const auto fetched = fetch(session, interim.url("/"));
  ASSERT_EQ(fetched.error, nullptr) << fetched.describe();
  EXPECT_EQ(storedFor(session, interim.url("/")), std::vector<std::string>{"final=1"});
}

/// A session whose store holds the secure cookie "sid=good" for 127.0.0.1, as an https reply of
/// that host would have set it.
std::shared_ptr<URLSession> sessionWithSecureCookie() {
  auto session = newSession();
  HTTPCookie secure;
  secure.name = "sid";
  secure.value = "good";
  secure.domain = "127.0.0.1";
  secure.isHostOnly = true;
  secure.isSecure = true;
  session->configuration().cookieStorage->setCookie(secure);
  return session;
}

TEST(URLSessionHostileServer, PlainHTTPLeavesSecureCookiesAlone) {
  // Plain HTTP tries to replace the secure cookie, to delete it, and to stand in front of it on
  // a longer path; a cookie of another name is taken as usual.
  for (const std::string attack : {"sid=evil; Path=/", "sid=; Max-Age=0; Path=/", "sid=shadow; Path=/account", "sid=shadow",
                                  "SID=other; Path=/"}) {
    auto session = sessionWithSecureCookie();
    ScriptedServer server(replying("HTTP/1.1 200 OK\r\nSet-Cookie: " + attack +
                                   "\r\nSet-Cookie: plain=1; Path=/\r\nContent-Length: 0\r\n\r\n"));
    ASSERT_EQ(fetch(session, server.url("/account/")).error, nullptr) << attack;
    std::vector<std::string> secure;
    for (const auto& cookie : session->configuration().cookieStorage->cookies(*URL::fromString("https://127.0.0.1/account/x"))) {
      secure.push_back(cookie.name + "=" + cookie.value);
    }
    if (attack.rfind("SID", 0) == 0) {
      EXPECT_EQ(secure, (std::vector<std::string>{"sid=good", "SID=other", "plain=1"})) << attack;
    } else {
      EXPECT_EQ(secure, (std::vector<std::string>{"sid=good", "plain=1"})) << attack;
    }
  }
  // Prefixed names promise a secure origin, which plain HTTP is not.
  auto session = newSession();
  ScriptedServer prefixed(replying(
      "HTTP/1.1 200 OK\r\nSet-Cookie: __Secure-a=1; Secure\r\nSet-Cookie: __Secure-b=1\r\n"
      "Set-Cookie: __Host-c=1; Secure; Path=/\r\nSet-Cookie: __host-d=1; Path=/\r\nSet-Cookie: __SECURE-e=1\r\n"
      "Set-Cookie: plain=1\r\nContent-Length: 0\r\n\r\n"));
  ASSERT_EQ(fetch(session, prefixed.url("/")).error, nullptr);
  EXPECT_EQ(session->configuration().cookieStorage->cookies().size(), 1u);
  EXPECT_EQ(storedFor(session, prefixed.url("/")), std::vector<std::string>{"plain=1"});
}

TEST(URLSessionHostileServer, MaxAgeOfAnySizeExpiresOrKeeps) {
  auto session = newSession();
  ScriptedServer server([](ScriptedServer::Connection& connection, const std::string& request) {
    const bool first = request.rfind("GET /set ", 0) == 0;
    connection.send(first ? "HTTP/1.1 200 OK\r\nSet-Cookie: gone=1\r\nSet-Cookie: kept=1\r\nContent-Length: 0\r\n\r\n"
                          : "HTTP/1.1 200 OK\r\nSet-Cookie: gone=1; Max-Age=-99999999999999999999\r\n"
                            "Set-Cookie: kept=2; Max-Age=99999999999999999999\r\nContent-Length: 0\r\n\r\n");
  });
  ASSERT_EQ(fetch(session, server.url("/set")).error, nullptr);
  ASSERT_EQ(fetch(session, server.url("/change")).error, nullptr);
  EXPECT_EQ(storedFor(session, server.url("/")), std::vector<std::string>{"kept=2"});
  const auto kept = session->configuration().cookieStorage->cookie("kept");
  ASSERT_TRUE(kept && kept->expiresDate);
  EXPECT_GT(*kept->expiresDate, Fennix::DateClock::now() + std::chrono::hours(24 * 365 * 100));
}

/// Sends `text` a byte at a time, `gap` apart; false once the client has gone.
bool trickle(ScriptedServer::Connection& connection, const std::string& text, std::chrono::milliseconds gap) {
  for (const char byte : text) {
    if (!connection.pause(gap) || !connection.send(std::string(1, byte))) return false;
  }
  return true;
}

TEST(URLSessionHostileServer, HeadsAndChunkLinesSentByteByByteAreNoSilence) {
  // Each byte comes half a second after the one before, for four seconds in all, against a limit
  // of two seconds without a byte: on a fresh connection within a chunk-size line, and on a
  // kept connection within the status line of the second reply.
  const auto gap = std::chrono::milliseconds(500);
  ScriptedServer chunked([&](ScriptedServer::Connection& connection, const std::string&) {
    connection.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    if (trickle(connection, "00000001", gap)) connection.send("\r\na\r\n0\r\n\r\n");
  });
  ScriptedServer kept([&](ScriptedServer::Connection& connection, const std::string&) {
    connection.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfirst");
    if (connection.readHead().empty()) return;
    connection.send("HTTP/1.1 2");
    if (trickle(connection, "00 OK\r\nX", gap)) connection.send(": y\r\nContent-Length: 6\r\n\r\nsecond");
  });
  auto session = newSession();
  ASSERT_EQ(fetch(session, kept.url("/")).body(), "first");
  const auto slowChunk = begin(session, chunked.url("/"), 2.0);
  const auto slowHead = begin(session, kept.url("/"), 2.0);
  const auto chunkFetched = slowChunk.wait();
  EXPECT_EQ(chunkFetched.body(), "a") << chunkFetched.describe();
  const auto headFetched = slowHead.wait();
  EXPECT_EQ(headFetched.body(), "second") << headFetched.describe();
  EXPECT_EQ(kept.connections(), 1);

  // Bytes of a head that then stops: the transfer fails two seconds after the last of them.
  ScriptedServer stopping([&](ScriptedServer::Connection& connection, const std::string&) {
    if (trickle(connection, "HTTP/1.1", gap)) connection.pause(std::chrono::seconds(30));
  });
  const auto stopped = fetch(session, stopping.url("/"), 2.0);
  EXPECT_EQ(stopped.code(), URLErrorCode::timedOut) << stopped.describe();
  EXPECT_GE(stopped.seconds, 5.5);
  EXPECT_LT(stopped.seconds, 20);
}

}  // namespace
