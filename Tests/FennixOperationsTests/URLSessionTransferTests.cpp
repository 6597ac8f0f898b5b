// Transfers of the URL session against a loopback server that answers as a hostile or careless
// server might: redirects of every kind, replies that are not HTTP, over-long lines, slow answers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Fennix/Operations/HTTP/URLSession.h"
#include "LoopbackServer.h"
#include "OperationsTestSupport.h"
#include "URLSessionTestSupport.h"

using namespace OperationsTestSupport;

namespace {

URLRequest requestTo(const std::string& address, const std::string& method = "GET",
                     std::optional<std::string> body = std::nullopt) {
  URLRequest request(*URL::fromString(address));
  request.httpMethod = method;
  if (body) request.httpBody = Fennix::Data(body->begin(), body->end());
  return request;
}

std::string methodOf(const std::string& request) { return request.substr(0, request.find(' ')); }
std::string pathOf(const std::string& request) {
  const auto start = request.find(' ') + 1;
  return request.substr(start, request.find(' ', start) - start);
}
std::string contentOf(const std::string& request) {
  const auto end = request.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : request.substr(end + 4);
}
/// Whether the request's head holds a field of that name (any letter case).
bool hasField(std::string request, std::string name) {
  request = request.substr(0, request.find("\r\n\r\n"));
  for (auto* text : {&request, &name}) {
    for (auto& c : *text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return request.find("\r\n" + name + ":") != std::string::npos;
}

/// Every path "/<status>" redirects to "/target" with that status; "/target" answers 200.
LoopbackServer::Handler redirecting() {
  return [](const std::string& request) {
    const std::string path = pathOf(request);
    if (path == "/target") return LoopbackServer::response(200, "OK", {}, "arrived");
    return LoopbackServer::response(std::stoi(path.substr(1)), "Redirect", {"Location: /target"}, "");
  };
}

TEST(URLSessionTransfer, RedirectsChangeTheMethodOnlyAsHTTPSays) {
  struct Case {
    std::string method;
    int status;
    std::string arrives;  // the method the target receives
    bool keepsContent;
  };
  const std::vector<Case> cases = {
      {"PUT", 301, "PUT", true},     {"PATCH", 302, "PATCH", true}, {"DELETE", 301, "DELETE", true},
      {"POST", 301, "GET", false},   {"POST", 302, "GET", false},   {"PUT", 303, "GET", false},
      {"DELETE", 303, "GET", false}, {"POST", 303, "GET", false},   {"HEAD", 303, "HEAD", false},
      {"POST", 307, "POST", true},   {"PUT", 308, "PUT", true},     {"PATCH", 300, "PATCH", true},
  };
  auto session = newSession();
  for (const auto& test : cases) {
    SCOPED_TRACE(test.method + " " + std::to_string(test.status));
    LoopbackServer server(redirecting());
    auto request = requestTo(server.url("/" + std::to_string(test.status)), test.method,
                             test.method == "HEAD" ? std::nullopt : std::optional<std::string>("payload"));
    if (test.method != "HEAD") request.setValue("text/plain", "Content-Type");
    const auto fetched = fetch(session, request);
    ASSERT_EQ(fetched.error, nullptr);
    EXPECT_EQ(fetched.response->statusCode(), 200);
    EXPECT_EQ(fetched.response->url()->path(), "/target");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(methodOf(requests[1]), test.arrives);
    // What becomes a GET loses its content and the fields about it; what keeps its method keeps
    // its content whole.
    EXPECT_EQ(contentOf(requests[1]), test.keepsContent ? "payload" : "");
    EXPECT_EQ(hasField(requests[1], "Content-Type"), test.keepsContent);
    EXPECT_EQ(hasField(requests[1], "Content-Length"), test.keepsContent);
  }
}

TEST(URLSessionTransfer, RedirectsKeepTheirLimits) {
  auto session = newSession();
  // A loop stops after 16 redirects, with the last response kept.
  LoopbackServer loop([](const std::string&) { return LoopbackServer::response(302, "Found", {"Location: /again"}, ""); },
                      32);
  auto looped = fetch(session, requestTo(loop.url("/again")));
  EXPECT_EQ(looped.code(), URLErrorCode::httpTooManyRedirects);
  EXPECT_EQ(loop.requests().size(), 17u);
  ASSERT_NE(looped.response, nullptr);
  EXPECT_EQ(looped.response->statusCode(), 302);

  // Redirects to other schemes are refused.
  for (const std::string target : {"file:///etc/passwd", "ftp://127.0.0.1/x"}) {
    LoopbackServer server([&](const std::string&) { return LoopbackServer::response(301, "Moved", {"Location: " + target}, ""); });
    auto refused = fetch(session, requestTo(server.url("/")));
    EXPECT_EQ(refused.code(), URLErrorCode::unsupportedURL) << target;
    EXPECT_EQ(refused.data, std::nullopt);
  }

  // The request's own credentials (and its own "Host") go to its own origin only: kept on the
  // same server, dropped on another port.
  LoopbackServer other([](const std::string& request) {
    return pathOf(request) == "/back" ? LoopbackServer::response(200, "OK", {}, "other")
                                      : LoopbackServer::response(307, "Temporary", {"Location: /back"}, "");
  });
  LoopbackServer first([&](const std::string& request) {
    if (pathOf(request) == "/start") return LoopbackServer::response(307, "Temporary", {"Location: /same"}, "");
    if (pathOf(request) == "/same") return LoopbackServer::response(307, "Temporary", {"Location: " + other.url("/away")}, "");
    return LoopbackServer::response(200, "OK", {}, "home");
  });
  auto request = requestTo(first.url("/start"), "POST", "secret payload");
  request.setValue("Bearer secret", "Authorization");
  request.setValue("session=secret", "Cookie");
  request.setValue(first.url("").substr(7), "Host");
  auto fetched = fetch(session, request);
  ASSERT_EQ(fetched.error, nullptr);
  EXPECT_EQ(fetched.body(), "other");
  const auto here = first.requests();
  ASSERT_EQ(here.size(), 2u);
  for (const auto& seen : here) {
    EXPECT_TRUE(hasField(seen, "Authorization"));
    EXPECT_TRUE(hasField(seen, "Cookie"));
  }
  const auto there = other.requests();
  ASSERT_EQ(there.size(), 2u);
  for (const auto& seen : there) {
    EXPECT_FALSE(hasField(seen, "Authorization"));
    EXPECT_FALSE(hasField(seen, "Cookie"));
    EXPECT_NE(seen.find("\r\nHost: " + other.url("").substr(7) + "\r\n"), std::string::npos);
    EXPECT_EQ(methodOf(seen), "POST");  // 307 keeps method and content across servers too
    EXPECT_EQ(contentOf(seen), "secret payload");
  }

  // Without following, a redirect is the response.
  URLSession::Configuration configuration;
  configuration.followRedirects = false;
  LoopbackServer server(redirecting());
  auto kept = fetch(std::make_shared<URLSession>(configuration), requestTo(server.url("/303"), "PUT", "x"));
  ASSERT_EQ(kept.error, nullptr);
  EXPECT_EQ(kept.response->statusCode(), 303);
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(URLSessionTransfer, RequestsThatWouldBreakTheirLinesAreNeverSent) {
  LoopbackServer server([](const std::string&) { return LoopbackServer::response(200, "OK", {}, "ok"); });
  auto session = newSession();
  const auto refused = [&](const URLRequest& request) {
    const auto fetched = fetch(session, request);
    EXPECT_EQ(fetched.code(), URLErrorCode::unknown);
    EXPECT_EQ(fetched.data, std::nullopt);
    EXPECT_EQ(fetched.response, nullptr);
    auto* platform = Fennix::errorAs<NSError>(fetched.error);
    return platform != nullptr ? platform->localizedDescription() : std::string();
  };
  for (const std::string& method : std::vector<std::string>{"GET / HTTP/1.1\r\nX-Injected: 1\r\n\r\nGET", "PU T", "GET\n", "", std::string("P\0T", 3)}) {
    EXPECT_NE(refused(requestTo(server.url("/"), method)).find("method"), std::string::npos);
  }
  for (const std::string& name : std::vector<std::string>{"X-A\r\nX-Injected", "Bad Name", "A:b", "", std::string("N\0", 2), "X\n"}) {
    auto request = requestTo(server.url("/"));
    request.setValue("1", name);
    EXPECT_NE(refused(request).find("name"), std::string::npos);
  }
  for (const std::string& value : std::vector<std::string>{"v\r\nX-Injected: 1", "v\nGET / HTTP/1.1", "v\r", std::string("v\0w", 3)}) {
    auto request = requestTo(server.url("/"));
    request.setValue(value, "X-Value");
    EXPECT_EQ(refused(request), "the value of the header field X-Value holds a line break or NUL");
  }
  EXPECT_TRUE(server.requests().empty());

  // Fields with tabs, marks and an empty value go out as they are; the empty one as "Name:".
  auto request = requestTo(server.url("/"), "M-SEARCH");
  request.setValue("a\tb \"c\" ;d", "X-Marks_1.0~");
  request.setValue("", "X-Empty");
  ASSERT_EQ(fetch(session, request).error, nullptr);
  ASSERT_EQ(server.requests().size(), 1u);
  const std::string sent = server.requests()[0];
  EXPECT_EQ(methodOf(sent), "M-SEARCH");
  EXPECT_NE(sent.find("\r\nX-Marks_1.0~: a\tb \"c\" ;d\r\n"), std::string::npos);
  EXPECT_NE(sent.find("\r\nX-Empty:\r\n"), std::string::npos);
}

TEST(URLSessionTransfer, TimeoutIntervalsOfAnySize) {
  // The server answers after 1.5 s, later than the shortest time-out of 1 s.
  LoopbackServer server([](const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return LoopbackServer::response(200, "OK", {}, "late");
  });
  auto session = newSession();
  for (const double interval : {std::numeric_limits<double>::infinity(), 1e19}) {
    auto request = requestTo(server.url("/"));
    request.timeoutInterval = interval;
    const auto fetched = fetch(session, request);
    EXPECT_EQ(fetched.error, nullptr) << interval;
    EXPECT_EQ(fetched.body(), "late");
  }
  EXPECT_EQ(server.requests().size(), 2u);
  // Not a number, or less than nothing: refused before anything is sent.
  for (const double interval : {std::nan(""), -1.0, -std::numeric_limits<double>::infinity()}) {
    auto request = requestTo(server.url("/"));
    request.timeoutInterval = interval;
    const auto fetched = fetch(session, request);
    EXPECT_EQ(fetched.code(), URLErrorCode::unknown) << interval;
  }
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST(URLSessionTransfer, FailuresCarryTheirOwnCodes) {
  auto session = newSession();
  // A reply that is not HTTP is a bad server response, not an unsupported URL.
  LoopbackServer garbage([](const std::string&) { return std::string("SSH-2.0-OpenSSH\r\nnot http at all\r\n\r\n"); });
  auto notHTTP = fetch(session, requestTo(garbage.url("/")));
  EXPECT_EQ(notHTTP.code(), URLErrorCode::badServerResponse);
  EXPECT_TRUE(URLSession::QvError::classify(notHTTP.error).is<URLSession::QvError::ServerError>());

  // A header line longer than libcurl takes, and a header of more than 200 KB in all: the
  // server's fault, not a lack of memory nor a lost connection.
  LoopbackServer longLine([](const std::string&) {
    return LoopbackServer::response(200, "OK", {"X-Long: " + std::string(300 * 1024, 'a')}, "body");
  });
  EXPECT_EQ(fetch(session, requestTo(longLine.url("/"))).code(), URLErrorCode::badServerResponse);
  LoopbackServer manyLines([](const std::string&) {
    std::vector<std::string> fields(10000, "X-Many: " + std::string(30, 'b'));
    return LoopbackServer::response(200, "OK", fields, "body");
  });
  EXPECT_EQ(fetch(session, requestTo(manyLines.url("/"))).code(), URLErrorCode::badServerResponse);

  // A URL or header fields longer than libcurl sends: refused before sending, as what they are.
  LoopbackServer quiet([](const std::string&) { return LoopbackServer::response(200, "OK", {}, ""); });
  auto longURL = fetch(session, requestTo(quiet.url("/" + std::string(2 * 1024 * 1024, 'p'))));
  EXPECT_EQ(longURL.code(), URLErrorCode::badURL);
  auto longField = requestTo(quiet.url("/"));
  longField.setValue(std::string(2 * 1024 * 1024, 'v'), "X-Big");
  auto tooLong = fetch(session, longField);
  EXPECT_EQ(tooLong.code(), URLErrorCode::unknown);
  EXPECT_EQ(Fennix::errorAs<NSError>(tooLong.error)->localizedDescription(), "the request's header fields are too long");
  for (const auto& request : quiet.requests()) EXPECT_EQ(request, "");  // connected, nothing sent
}

/// The request's "Cookie" field, empty without one.
std::string cookieField(const std::string& request) {
  const auto start = request.find("\r\nCookie: ");
  return start == std::string::npos ? std::string() : request.substr(start + 10, request.find("\r\n", start + 2) - start - 10);
}

TEST(URLSessionTransfer, EachHostGetsItsOwnCookiesFromAFullStore) {
  URLSession::Configuration configuration;
  configuration.cookieStorage = std::make_shared<HTTPCookieStorage>();
  auto& storage = *configuration.cookieStorage;
  const auto cookie = [](const std::string& name, const std::string& domain) {
    HTTPCookie made;
    made.name = name;
    made.value = "1";
    made.domain = domain;
    return made;
  };
  for (int site = 0; site < 60; ++site) {
    for (int i = 0; i < 50; ++i) storage.setCookie(cookie("n" + std::to_string(i), "s" + std::to_string(site) + ".org"));
  }
  storage.setCookie(cookie("mine", "127.0.0.1"));
  storage.setCookie(cookie("local", "localhost"));
  LoopbackServer server([&](const std::string& request) {
    if (pathOf(request) == "/start") {
      return LoopbackServer::response(302, "Found", {"Location: http://localhost:" + server.url("").substr(17) + "/next",
                                                     "Set-Cookie: fresh=2"}, "");
    }
    return LoopbackServer::response(200, "OK", {}, "done");
  });
  auto fetched = fetch(std::make_shared<URLSession>(configuration), requestTo(server.url("/start")));
  ASSERT_EQ(fetched.error, nullptr);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  // Each hop carries the cookies of its host only: the store's, and none of the other host's.
  EXPECT_EQ(cookieField(requests[0]), "mine=1");
  EXPECT_EQ(cookieField(requests[1]), "local=1");
  EXPECT_EQ(storage.cookie("fresh")->domain, "127.0.0.1");
  EXPECT_EQ(storage.cookies().size(), HTTPCookieStorage::maximumCookies);
}

/// A session-only cookie for a host, with the default path.
HTTPCookie storedCookie(const std::string& name, const std::string& value, const std::string& domain = "127.0.0.1") {
  HTTPCookie cookie;
  cookie.name = name;
  cookie.value = value;
  cookie.domain = domain;
  return cookie;
}

std::string cookieNames(const std::string& field) {
  std::string names;
  std::size_t start = 0;
  while (start < field.size()) {
    auto end = field.find("; ", start);
    if (end == std::string::npos) end = field.size();
    const std::string pair = field.substr(start, end - start);
    names += (names.empty() ? "" : ",") + pair.substr(0, pair.find('='));
    start = end + 2;
  }
  return names;
}

TEST(URLSessionTransfer, EveryHopCarriesAWholeCookieFieldOrNothingIsSent) {
  // The first path redirects to the second, whatever its length; every request is answered.
  LoopbackServer server([](const std::string& request) {
    const std::string path = pathOf(request);
    if (path.rfind("/start", 0) == 0) {
      return LoopbackServer::response(302, "Found", {"Location: /long" + path.substr(6)}, "");
    }
    return LoopbackServer::response(200, "OK", {}, "done");
  });
  auto session = newSession();
  auto& storage = *session->configuration().cookieStorage;
  for (int i = 0; i < 5; ++i) storage.setCookie(storedCookie("c" + std::to_string(i), "v" + std::to_string(i)));
  const auto longRequest = [&](const std::string& path) {
    auto request = requestTo(server.url(path));
    request.timeoutInterval = 5;
    return request;
  };

  // URLs that leave the rest of the head less than a cookie field would need, first hand and
  // after a redirect: every hop goes out whole, with all its cookies.
  for (const std::size_t length : {7000u, 8150u, 8190u, 12000u}) {
    SCOPED_TRACE(length);
    const std::size_t before = server.requests().size();
    const std::string tail(length, 'p');
    ASSERT_EQ(fetch(session, longRequest("/" + tail)).error, nullptr);
    ASSERT_EQ(fetch(session, longRequest("/start" + tail)).error, nullptr);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), before + 3);
    for (std::size_t i = before; i < requests.size(); ++i) {
      EXPECT_EQ(requests[i].size() - 4, requests[i].find("\r\n\r\n"));
      EXPECT_EQ(cookieNames(cookieField(requests[i])), "c0,c1,c2,c3,c4");
    }
  }

  // One large cookie among many: all of them go.
  storage.setCookie(storedCookie("large", std::string(5000, 'L')));
  for (int i = 5; i < 13; ++i) storage.setCookie(storedCookie("c" + std::to_string(i), "v"));
  ASSERT_EQ(fetch(session, longRequest("/" + std::string(3000, 'q'))).error, nullptr);
  EXPECT_EQ(cookieNames(cookieField(server.requests().back())), "c0,c1,c2,c3,c4,large,c5,c6,c7,c8,c9,c10,c11,c12");
  EXPECT_EQ(storage.cookies().size(), 14u);

  // Cookies beyond what a request's head can carry: the request fails as such, and is not sent.
  const std::size_t sent = server.requests().size();
  for (int i = 0; i < 30; ++i) storage.setCookie(storedCookie("big" + std::to_string(i), std::string(40000, 'B')));
  const auto refused = fetch(session, longRequest("/"));
  EXPECT_EQ(refused.code(), URLErrorCode::unknown);
  ASSERT_NE(Fennix::errorAs<NSError>(refused.error), nullptr);
  EXPECT_EQ(Fennix::errorAs<NSError>(refused.error)->localizedDescription(),
            "the cookies stored for 127.0.0.1 make the request's head too long");
  EXPECT_EQ(server.requests().size(), sent);
}

TEST(URLSessionTransfer, CookiesThatWouldBreakTheirFieldNeverGoOut) {
  LoopbackServer server([](const std::string& request) {
    if (pathOf(request) == "/set") {
      return LoopbackServer::response(200, "OK",
                                      {"Set-Cookie: theme=dark, session=attacker", "Set-Cookie: x y=1",
                                       "Set-Cookie: ok=\"quoted\"", "Set-Cookie: bad=a\x01" "b"},
                                      "");
    }
    return LoopbackServer::response(200, "OK", {}, "");
  });
  auto session = newSession();
  auto& storage = *session->configuration().cookieStorage;
  storage.setCookie(storedCookie("pref", "dark; session=attacker"));
  storage.setCookie(storedCookie("x;y", "1"));
  storage.setCookie(storedCookie("ctl", "a\x7f"));
  storage.setCookie(storedCookie("fine", "1"));
  ASSERT_EQ(fetch(session, requestTo(server.url("/set"))).error, nullptr);
  ASSERT_EQ(fetch(session, requestTo(server.url("/next"))).error, nullptr);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(cookieField(requests[0]), "fine=1");
  EXPECT_EQ(cookieField(requests[1]), "fine=1; ok=\"quoted\"");
}

TEST(URLSessionTransfer, AOneLabelHostKeepsTheCookiesItSetsForItself) {
  LoopbackServer server([](const std::string& request) {
    if (pathOf(request) == "/login") {
      return LoopbackServer::response(200, "OK", {"Set-Cookie: login=1; Domain=localhost; Path=/",
                                                  "Set-Cookie: dotted=2; Domain=.LOCALHOST; Path=/"}, "");
    }
    return LoopbackServer::response(200, "OK", {}, "");
  });
  auto session = newSession();
  const std::string local = "http://localhost:" + server.url("").substr(17);
  ASSERT_EQ(fetch(session, requestTo(local + "/login")).error, nullptr);
  ASSERT_EQ(fetch(session, requestTo(local + "/account")).error, nullptr);
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_EQ(cookieField(server.requests()[1]), "login=1; dotted=2");
  auto& storage = *session->configuration().cookieStorage;
  ASSERT_TRUE(storage.cookie("login"));
  EXPECT_EQ(storage.cookie("login")->domain, "localhost");
  EXPECT_TRUE(storage.cookie("login")->isHostOnly);
  // Host-only: another one-label name never gets it.
  EXPECT_TRUE(storage.cookies(*URL::fromString("http://intranet/")).empty());
}

}  // namespace
