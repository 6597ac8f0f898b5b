// The heads of responses as loopback servers write them byte by byte: each status is read once,
// as libcurl reads it, and a head that libcurl could take otherwise is refused as the server's
// fault.
#include <gtest/gtest.h>

#include "Fennix/Operations/HTTP/URLSession.h"
#include "OperationsTestSupport.h"
#include "ScriptedServer.h"
#include "URLSessionTestSupport.h"

using namespace OperationsTestSupport;

namespace {

/// A reply written in parts, the server pausing between them (so that they arrive in reads of
/// their own).
using Parts = std::vector<std::string>;

ScriptedServer::Script writing(Parts parts) {
  return [parts](ScriptedServer::Connection& connection, const std::string&) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (i > 0 && !connection.pause(std::chrono::milliseconds(30))) return;
      if (!connection.send(parts[i])) return;
    }
  };
}

Fetched fetchFrom(const std::shared_ptr<URLSession>& session, const std::string& address) {
  return fetch(session, URLRequest(*URL::fromString(address)));
}

/// The store's cookies, as "name=value" texts.
std::vector<std::string> stored(const std::shared_ptr<URLSession>& session) {
  std::vector<std::string> pairs;
  for (const auto& cookie : session->configuration().cookieStorage->cookies()) pairs.push_back(cookie.name + "=" + cookie.value);
  return pairs;
}

std::string messageOf(const Fetched& fetched) {
  auto* platform = Fennix::errorAs<NSError>(fetched.error);
  return platform != nullptr ? platform->localizedDescription() : std::string();
}

/// Expects the reply refused as a malformed head whose message names `what`, with nothing of it
/// handed on or kept.
void expectRefused(const Parts& reply, const std::string& what) {
  SCOPED_TRACE(testing::PrintToString(reply));
  auto session = newSession();
  ScriptedServer server(writing(reply), 2);
  URLRequest request(*URL::fromString(server.url("/")));
  request.timeoutInterval = 20;  // should a redirect be followed to a server that no longer answers
  const auto fetched = fetch(session, request);
  EXPECT_EQ(fetched.code(), URLErrorCode::badServerResponse) << fetched.describe();
  EXPECT_NE(messageOf(fetched).find(what), std::string::npos) << messageOf(fetched);
  EXPECT_EQ(fetched.response, nullptr);
  EXPECT_EQ(fetched.data, std::nullopt);
  EXPECT_TRUE(stored(session).empty()) << testing::PrintToString(stored(session));
}

TEST(URLSessionResponseHead, EachStatusIsReadOnceAsLibcurlReadsIt) {
  // Status lines as HTTP writes them, with or without a reason, some of them in pieces or ended by
  // a bare line feed: the status written, and the cookies of the final head alone.
  struct Taken {
    Parts reply;
    long status;
  };
  const std::string rest = "\r\nSet-Cookie: final=1\r\nContent-Length: 2\r\n\r\nok";
  for (const auto& [reply, status] : std::vector<Taken>{
           {{"HTTP/1.1 404" + rest}, 404},
           {{"HTTP/1.1 404 " + rest}, 404},
           {{"HTTP/1.0 200 OK" + rest}, 200},
           {{"HTTP/1.1 200 OK\nSet-Cookie: final=1\nContent-Length: 2\n\nok"}, 200},
           {{"HTTP/1.1 599 Reason\twith a tab, caf\xC3\xA9" + rest}, 599},
           {{"HTTP/1.1 999 X" + rest}, 999},
           {{"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 199 Odd\r\nSet-Cookie: early=1\r\n\r\nHTTP/1.1 201 Created" + rest}, 201},
           {{"HT", "TP/1.1 1", "03 Early\r\nSet-Cookie: early=1\r\n\r\nHTTP/1.1 2", "02 Accepted" + rest}, 202}}) {
    SCOPED_TRACE(testing::PrintToString(reply));
    auto session = newSession();
    ScriptedServer server(writing(reply), 2);
    const auto fetched = fetchFrom(session, server.url("/"));
    ASSERT_EQ(fetched.error, nullptr) << fetched.describe();
    ASSERT_NE(fetched.response, nullptr);
    EXPECT_EQ(fetched.response->statusCode(), status);
    EXPECT_EQ(fetched.body(), "ok");
    EXPECT_EQ(stored(session), std::vector<std::string>{"final=1"});
  }

  // Lines that libcurl reads as another status than written (a lower-case name as 200), or as
  // the same one although they are not as HTTP writes them; an HTTP/2 line from a server spoken
  // to over HTTP/1.1; an interim head taken for the final one or the other way round; a status
  // line in pieces. None is a response.
  const std::string cookie = "\r\nSet-Cookie: c=1\r\nContent-Length: 2\r\n\r\nok";
  for (const std::string line :
       {"http/1.1 404 Not Found", "Http/1.1 404 Not Found", "HTTP/1.1  404 Not Found", "HTTP/1.1 \t404 Not Found",
        "HTTP/1.1 404\tNot Found", "HTTP/1.1 200a", "HTTP/1.1 200OK", "HTTP/1.1 200.5 OK", "HTTP/1.1 200 O\x01K",
        "HTTP/2 200", "HTTP/2.0 200 OK", "HTTP/2 2000", "HTTP/2 20", "HTTP/2 -200"}) {
    expectRefused({line + cookie}, "status line");
  }
  expectRefused({"HTTP/1.1  103\r\nSet-Cookie: early=1\r\n\r\nhttp/1.1 200 OK\r\nSet-Cookie: final=1" + cookie}, "status line");
  expectRefused({"HTTP/1.1  103\r\nSet-Cookie: early=1\r\n\r\nHTTP/1.1 200 OK\r\nSet-Cookie: final=1" + cookie}, "status line");
  expectRefused({"HTTP/1.1 103 Early Hints\r\nSet-Cookie: early=1\r\n\r\nhttp/1.1 404 Not Found" + cookie}, "status line");
  expectRefused({"HTTP/1.1 ", " 404 Not Found" + cookie}, "status line");
}

TEST(URLSessionResponseHead, AFieldThatLibcurlReadsItselfIsNeverFolded) {
  // libcurl reads such a field's first line alone: the content's framing and coding, the
  // connection and the redirect's target would be other than the fields handed on say.
  for (const std::string fields :
       {"Transfer-Encoding:\r\n chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n", "Content-Encoding:\r\n gzip\r\nContent-Length: 2\r\n\r\nok",
        "Connection:\r\n close\r\nContent-Length: 2\r\n\r\nok", "Content-Length: 2\r\n 2\r\n\r\nok"}) {
    expectRefused({"HTTP/1.1 200 OK\r\nSet-Cookie: c=1\r\n" + fields}, "folds its field");
  }
  for (const std::string location : {"Location:\r\n /next", "Location: /a\r\n b"}) {
    expectRefused({"HTTP/1.1 302 Found\r\nSet-Cookie: c=1\r\n" + location + "\r\nContent-Length: 0\r\n\r\n"},
                  "folds its field Location");
  }

  // Any other field folded goes on as one line, and so does a fold of nothing but blanks.
  auto session = newSession();
  ScriptedServer server(writing({"HTTP/1.1 200 OK\r\nX-Note: a\r\n\tb\r\n c\r\nContent-Length: 2\r\n \r\n\r\nok"}), 2);
  const auto fetched = fetchFrom(session, server.url("/"));
  ASSERT_EQ(fetched.error, nullptr) << fetched.describe();
  EXPECT_EQ(fetched.response->firstHeader("X-Note"), "a b c");
  EXPECT_EQ(fetched.body(), "ok");
}

TEST(URLSessionResponseHead, AHeadThatLibcurlEndsOrFollowsOtherwiseIsRefused) {
  // libcurl ends a head at a line that starts with a carriage return, whatever follows it there:
  // the fields after it, an interim head's end and trailer fields would be taken otherwise.
  const std::string rest = "\r\nContent-Length: 2\r\n\r\nok";
  expectRefused({"HTTP/1.1 200 OK\r\nSet-Cookie: c=1\r\n\rX-Note: a" + rest}, "carriage return");
  expectRefused({"HTTP/1.1 103 Early\r\nSet-Cookie: e=1\r\n\r \r\nHTTP/1.1 200 OK\r\nSet-Cookie: c=1" + rest}, "carriage return");
  expectRefused({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nSet-Cookie: c=1\r\n\rX\r\n2\r\nok\r\n0\r\nSet-Cookie: t=1\r\n\r\n"},
                "carriage return");

  // libcurl follows the first of two targets that differ, while the fields handed on would join them.
  expectRefused({"HTTP/1.1 302 Found\r\nSet-Cookie: c=1\r\nLocation: /a\r\nlocation: /b\r\nContent-Length: 0\r\n\r\n"},
                "more than one Location");
  expectRefused({"HTTP/1.1 200 OK\r\nSet-Cookie: c=1\r\nLocation: /a\r\nX-Note: a\r\nLOCATION: /a/" + rest}, "more than one Location");

  // The same target given twice is one target; an interim head's are none of the final head's.
  URLSession::Configuration configuration;
  configuration.cookieStorage = std::make_shared<HTTPCookieStorage>();
  configuration.followRedirects = false;
  auto session = std::make_shared<URLSession>(configuration);
  ScriptedServer server(writing({"HTTP/1.1 103 Early\r\nLocation: /x\r\n\r\nHTTP/1.1 302 Found\r\nLocation: /a\r\nX-Note: n\r\n"
                                 "Location:  /a\r\nContent-Length: 0\r\n\r\n"}),
                        2);
  const auto fetched = fetchFrom(session, server.url("/"));
  ASSERT_EQ(fetched.error, nullptr) << fetched.describe();
  ASSERT_NE(fetched.response, nullptr);
  EXPECT_EQ(fetched.response->statusCode(), 302);
  EXPECT_EQ(fetched.response->firstHeader("Location"), "/a");
  EXPECT_EQ(fetched.response->header("Location"), std::vector<std::string>{"/a"});
}

}  // namespace
