// Cookies on their way through redirects, hosts and paths, and through replies whose heads are
// odd, against loopback servers; and what plain HTTP and other sites cannot do to them. Names
// under "localhost" all reach 127.0.0.1, so one server stands for a domain and the hosts under
// it; names under real public suffixes reach it as a proxy.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "Fennix/Operations/HTTP/URLSession.h"
#include "OperationsTestSupport.h"
#include "ScriptedServer.h"
#include "URLSessionTestSupport.h"

using namespace OperationsTestSupport;

namespace {

using OperationsTestSupport::fetch;

Fetched fetch(const std::shared_ptr<URLSession>& session, const std::string& address) {
  return fetch(session, URLRequest(*URL::fromString(address)));
}

/// The value of the head's field (first of that name, any letter case), empty when it has none.
std::string fieldOf(const std::string& head, const std::string& name) {
  std::string lower = head;
  for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string wanted = "\r\n" + name + ":";
  for (auto& c : wanted) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto at = lower.find(wanted);
  if (at == std::string::npos) return std::string();
  const auto start = head.find_first_not_of(' ', at + wanted.size());
  return head.substr(start, head.find("\r\n", start) - start);
}

/// The path of the request line, also where a proxy is asked for a whole URL.
std::string targetOf(const std::string& head) {
  const auto space = head.find(' ');
  std::string target = head.substr(space + 1, head.find(' ', space + 1) - space - 1);
  if (target.rfind("http://", 0) == 0) {
    const auto path = target.find('/', 7);
    target = path == std::string::npos ? "/" : target.substr(path);
  }
  return target;
}

/// A server that answers each request by its host and path, and keeps every request's
/// "host path" and "Cookie" field.
class Site {
 public:
  using Answer = std::function<std::string(const std::string& host, const std::string& path, int port)>;
  explicit Site(Answer answer, int connections = 16)
      : server_([this, answer](ScriptedServer::Connection& connection, const std::string& head) {
          std::string host = fieldOf(head, "Host");
          host = host.substr(0, host.rfind(':'));
          for (auto& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(host + " " + targetOf(head) + " [" + fieldOf(head, "Cookie") + "]");
          }
          connection.send(answer(host, targetOf(head), port()));
        }, connections) {}

  int port() const { return std::stoi(server_.url("").substr(17)); }
  std::string at(const std::string& host, const std::string& path) const {
    return "http://" + host + ":" + std::to_string(port()) + path;
  }
  std::vector<std::string> seen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> seen_;
  ScriptedServer server_;
};

std::string reply(int status, const std::vector<std::string>& fields, const std::string& body = "") {
  std::string text = "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n";
  for (const auto& field : fields) text += field + "\r\n";
  return text + "\r\n" + body;
}

std::vector<std::string> namesIn(const std::shared_ptr<URLSession>& session) {
  std::vector<std::string> names;
  for (const auto& cookie : session->configuration().cookieStorage->cookies()) names.push_back(cookie.name + "=" + cookie.value);
  return names;
}

TEST(URLSessionCookieRoute, DomainAttributeReachesTheNamesUnderIt) {
  // app.localhost sets a host-only cookie and two domain cookies, one written with the dot and
  // one without, then sends the client to www.app.localhost: only the domain cookies go along.
  Site site([](const std::string& host, const std::string& path, int port) {
    if (host == "app.localhost" && path == "/login") {
      return reply(302, {"Set-Cookie: own=1; Path=/", "Set-Cookie: plain=2; Domain=app.localhost; Path=/",
                         "Set-Cookie: dotted=3; Domain=.app.localhost; Path=/", "Set-Cookie: dot=4; Domain=.; Path=/",
                         "Location: http://www.app.localhost:" + std::to_string(port) + "/home"});
    }
    return reply(200, {});
  });
  auto session = newSession();
  const auto fetched = fetch(session, site.at("app.localhost", "/login"));
  ASSERT_EQ(fetched.error, nullptr) << fetched.describe();
  EXPECT_EQ(site.seen(), (std::vector<std::string>{"app.localhost /login []", "www.app.localhost /home [plain=2; dotted=3]"}));
  // "Domain=." names no domain: that cookie stays with the host. Back on the host itself all
  // four go; a sibling of the domain gets none.
  ASSERT_EQ(fetch(session, site.at("APP.localhost", "/x")).error, nullptr);
  ASSERT_EQ(fetch(session, site.at("other.localhost", "/x")).error, nullptr);
  const auto seen = site.seen();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[2], "app.localhost /x [own=1; plain=2; dotted=3; dot=4]");
  EXPECT_EQ(seen[3], "other.localhost /x []");
}


TEST(URLSessionCookieRoute, PathsIPHostsAndTheOrderOfTheCookieField) {
  Site site([](const std::string&, const std::string& path, int) {
    if (path == "/set") {
      return reply(200, {"Set-Cookie: a=1; Path=/a", "Set-Cookie: deep=1; Path=/a/b", "Set-Cookie: ip=1; Domain=127.0.0.1",
                         "Set-Cookie: part=1; Domain=0.0.1", "Set-Cookie: sec=1; Secure", "Set-Cookie: x=1",
                         "Set-Cookie: y=1"});
    }
    if (path == "/replace") return reply(200, {"Set-Cookie: x=2"});
    return reply(200, {});
  });
  auto session = newSession();
  for (const std::string path : {"/set", "/replace", "/ab", "/a", "/a/b/c", "/A/b"}) {
    ASSERT_EQ(fetch(session, site.at("127.0.0.1", path)).error, nullptr) << path;
  }
  // An IP address takes a Domain attribute naming itself only, and plain HTTP no secure cookie.
  // "/a" is no prefix of "/ab"; longer paths go first, and of one length the cookie created
  // first, even when it was replaced since.
  EXPECT_EQ(site.seen(), (std::vector<std::string>{"127.0.0.1 /set []", "127.0.0.1 /replace [ip=1; x=1; y=1]",
                                                   "127.0.0.1 /ab [ip=1; x=2; y=1]", "127.0.0.1 /a [a=1; ip=1; x=2; y=1]",
                                                   "127.0.0.1 /a/b/c [deep=1; a=1; ip=1; x=2; y=1]",
                                                   "127.0.0.1 /A/b [ip=1; x=2; y=1]"}));
}

TEST(URLSessionCookieRoute, OnlyWholeHeadsOfAChainSetCookies) {
  const std::string big(250 * 1024, 'x');
  struct Case {
    std::string first, second, method;
    long code;
    std::vector<std::string> stored;
  };
  const std::string redirect = "HTTP/1.1 302 Found\r\nLocation: /next\r\nSet-Cookie: hop=1\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  const std::vector<Case> cases = {
      // A redirect taken whole keeps its cookie when the next hop's head or chunks are cut.
      {redirect, "HTTP/1.1 200 OK\r\nSet-Cookie: cut=1\r\n", "GET", URLErrorCode::networkConnectionLost, {"hop=1"}},
      {redirect, "HTTP/1.1 200 OK\r\nSet-Cookie: cut=1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabc", "GET",
       URLErrorCode::networkConnectionLost, {"hop=1"}},
      // Interim responses of every kind set nothing; the final one does.
      {"HTTP/1.1 100 Continue\r\nSet-Cookie: a=1\r\n\r\nHTTP/1.1 102 Processing\r\nSet-Cookie: b=1\r\n\r\n"
       "HTTP/1.1 199 Odd\r\nSet-Cookie: c=1\r\n\r\nHTTP/1.1 200 OK\r\nSet-Cookie: d=1\r\nContent-Length: 0\r\n\r\n",
       "", "GET", 0, {"d=1"}},
      // A HEAD reply's head ends at its blank line, whatever length it names; cut, it is none.
      {"HTTP/1.1 200 OK\r\nSet-Cookie: h=1\r\nContent-Length: 1000\r\n\r\n", "", "HEAD", 0, {"h=1"}},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: h=1\r\nContent-Length: 1000\r\n", "", "HEAD", URLErrorCode::networkConnectionLost, {}},
      // A head too large sets nothing.
      {"HTTP/1.1 200 OK\r\nSet-Cookie: c=1\r\nX-Big: " + big + "\r\nContent-Length: 0\r\n\r\n", "", "GET",
       URLErrorCode::badServerResponse, {}},
  };
  for (const auto& item : cases) {
    ScriptedServer server([&item](ScriptedServer::Connection& connection, const std::string& head) {
      connection.send(head.find(" /next ") != std::string::npos ? item.second : item.first);
    });
    auto session = newSession();
    URLRequest request(*URL::fromString(server.url("/start")));
    request.httpMethod = item.method;
    const auto fetched = fetch(session, request);
    EXPECT_EQ(fetched.code(), item.code) << item.first.substr(0, 40) << fetched.describe();
    EXPECT_EQ(namesIn(session), item.stored) << item.first.substr(0, 40);
  }
  // A folded field line continues the field: its attributes count. Plain HTTP takes no secure
  // cookie, and the folded path keeps the other from "/".
  Site folded([](const std::string&, const std::string& path, int) {
    if (path != "/set") return reply(200, {});
    return reply(200, {"Set-Cookie: sid=1", " ; Secure", "Set-Cookie: f=1", "\t; Path=/x", "X-Note: one", "  two "});
  });
  auto foldedSession = newSession();
  const auto set = fetch(foldedSession, folded.at("127.0.0.1", "/set"));
  ASSERT_EQ(set.error, nullptr) << set.describe();
  EXPECT_EQ(set.response->firstHeader("x-note"), "one two");
  ASSERT_EQ(fetch(foldedSession, folded.at("127.0.0.1", "/")).error, nullptr);
  ASSERT_EQ(fetch(foldedSession, folded.at("127.0.0.1", "/x/y")).error, nullptr);
  EXPECT_EQ(folded.seen(), (std::vector<std::string>{"127.0.0.1 /set []", "127.0.0.1 / []", "127.0.0.1 /x/y [f=1]"}));
  // A second head after a whole reply is no reply to the next request on that connection.
  ScriptedServer twice([](ScriptedServer::Connection& connection, const std::string&) {
    connection.send("HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Length: 0\r\n\r\n"
                    "HTTP/1.1 200 OK\r\nSet-Cookie: stale=1\r\nContent-Length: 5\r\n\r\nstale");
    if (!connection.readHead().empty()) connection.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfresh");
  });
  auto session = newSession();
  ASSERT_EQ(fetch(session, twice.url("/1")).error, nullptr);
  const auto second = fetch(session, twice.url("/2"));
  ASSERT_EQ(second.error, nullptr) << second.describe();
  EXPECT_EQ(second.body(), "fresh");
  EXPECT_EQ(namesIn(session), std::vector<std::string>{"a=1"});
}

/// The store's cookies for `address` as "name=value".
std::vector<std::string> pairsFor(const std::shared_ptr<URLSession>& session, const std::string& address) {
  std::vector<std::string> pairs;
  for (const auto& cookie : session->configuration().cookieStorage->cookies(*URL::fromString(address))) {
    pairs.push_back(cookie.name + "=" + cookie.value);
  }
  return pairs;
}

/// Stores what an https response from `address` with these "Set-Cookie" fields would store.
void setOverHTTPS(const std::shared_ptr<URLSession>& session, const std::string& address,
                  const std::vector<std::string>& texts) {
  std::vector<std::pair<std::string, std::string>> fields;
  for (const auto& text : texts) fields.emplace_back("Set-Cookie", text);
  const auto url = *URL::fromString(address);
  session->configuration().cookieStorage->setCookies(HTTPCookie::cookiesWithResponseHeaderFields(fields, url), url);
}

/// "Set-Cookie" fields of `count` throw-away cookies named by `prefix`, with `attributes`.
std::vector<std::string> throwAway(const std::string& prefix, int count, const std::string& attributes = "") {
  std::vector<std::string> fields;
  for (int i = 0; i < count; ++i) fields.push_back("Set-Cookie: " + prefix + std::to_string(i) + "=1" + attributes);
  return fields;
}

bool holds(const std::vector<std::string>& pairs, const std::string& pair) {
  return std::find(pairs.begin(), pairs.end(), pair) != pairs.end();
}

TEST(URLSessionCookieRoute, PlainHTTPPushesNoSecureCookieOutToPlantItsOwn) {
  // The site of 127.0.0.1: the secure "sid" set over https, then two plain cookies on paths of
  // their own; a request to /a carries "a", which makes "b" the cookie used longest ago. A plain
  // reply with 48 more and "sid=attacker" overfills the site by one.
  Site site([](const std::string&, const std::string& path, int) {
    if (path == "/set") return reply(200, {"Set-Cookie: a=1; Path=/a", "Set-Cookie: b=1; Path=/b"});
    if (path == "/fill") {
      auto fields = throwAway("t", 48);
      fields.push_back("Set-Cookie: sid=attacker; Path=/");
      return reply(200, fields);
    }
    return reply(200, {});
  });
  auto session = newSession();
  setOverHTTPS(session, "https://127.0.0.1/login", {"sid=good; Secure; Path=/"});
  for (const std::string path : {"/set", "/a/x", "/fill"}) ASSERT_EQ(fetch(session, site.at("127.0.0.1", path)).error, nullptr) << path;
  // What makes room is the plain cookie used longest ago; the secure one stays and keeps its name.
  const auto secure = pairsFor(session, "https://127.0.0.1/a/x");
  EXPECT_EQ(secure.size(), 50u);
  EXPECT_EQ(secure.front(), "a=1");  // the longer path first
  EXPECT_TRUE(holds(secure, "sid=good"));
  EXPECT_FALSE(holds(secure, "sid=attacker"));
  const auto onB = pairsFor(session, "https://127.0.0.1/b");
  EXPECT_EQ(onB.size(), 49u);
  EXPECT_FALSE(holds(onB, "b=1"));

  // A sibling name fills the site from below with Domain=, then plants its own "sid" there.
  auto sibling = newSession();
  setOverHTTPS(sibling, "https://www.app.localhost/login", {"sid=good; Secure; Path=/"});
  Site evil([](const std::string&, const std::string&, int) {
    auto fields = throwAway("t", 50, "; Domain=app.localhost; Path=/");
    fields.push_back("Set-Cookie: sid=attacker; Domain=app.localhost; Path=/");
    return reply(200, fields);
  });
  ASSERT_EQ(fetch(sibling, evil.at("evil.app.localhost", "/")).error, nullptr);
  const auto www = pairsFor(sibling, "https://www.app.localhost/");
  EXPECT_EQ(www.size(), 50u);
  EXPECT_EQ(www.front(), "sid=good");
  EXPECT_FALSE(holds(www, "sid=attacker"));

  // Other sites fill the whole store: 59 of them already hold 50 cookies each, a 60th sends 50
  // over plain HTTP, and 127.0.0.1 then plants its "sid".
  auto full = newSession();
  auto& storage = *full->configuration().cookieStorage;
  setOverHTTPS(full, "https://127.0.0.1/login", {"sid=good; Secure; Path=/"});
  for (int other = 0; other < 59; ++other) {
    for (int i = 0; i < 50; ++i) {
      HTTPCookie cookie;
      cookie.name = "n" + std::to_string(i);
      cookie.value = "1";
      cookie.domain = "s" + std::to_string(other) + ".localhost";
      cookie.isHostOnly = true;
      storage.setCookie(cookie);
    }
  }
  Site many([](const std::string& host, const std::string&, int) {
    return reply(200, host == "127.0.0.1" ? std::vector<std::string>{"Set-Cookie: sid=attacker; Path=/"} : throwAway("m", 50));
  });
  ASSERT_EQ(fetch(full, many.at("s59.localhost", "/")).error, nullptr);
  ASSERT_EQ(fetch(full, many.at("127.0.0.1", "/")).error, nullptr);
  EXPECT_EQ(storage.cookies().size(), HTTPCookieStorage::maximumCookies);
  EXPECT_EQ(pairsFor(full, "https://127.0.0.1/"), std::vector<std::string>{"sid=good"});
  EXPECT_EQ(pairsFor(full, "http://s59.localhost/").size(), 50u);
}

TEST(URLSessionCookieRoute, OneAddressIsOneHostWhateverItsSpelling) {
  // Spellings of 127.0.0.1 (and of another loopback address) that libcurl connects to as such,
  // IPv6 addresses that map it among them: each would be a site of its own. None is sent, nor
  // taken as a host, nor sets a cookie; the one spelling of the address works.
  Site site([](const std::string&, const std::string& path, int port) {
    if (path == "/hop") return reply(302, {"Location: http://127.0.0.01:" + std::to_string(port) + "/set"});
    return reply(200, {"Set-Cookie: s=1"});
  });
  auto session = newSession();
  for (const std::string host : {"127.0.0.01", "127.0.0.001", "127.1", "0x7f.0.0.1", "0177.0.0.1", "2130706433", "127.0.0.010",
                                   "[::ffff:127.0.0.1]", "[::FFFF:7f00:1]"}) {
    const std::string address = site.at(host, "/set");
    EXPECT_EQ(URL::fromString(address)->host(), std::nullopt) << host;
    EXPECT_EQ(fetch(session, address).code(), URLErrorCode::unsupportedURL) << host;
    EXPECT_TRUE(HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", "s=1"}}, *URL::fromString(address)).empty()) << host;
  }
  // Nor is a URL without a host, whose path libcurl would read as one.
  EXPECT_EQ(fetch(session, "http:///127.0.0.01:" + std::to_string(site.port()) + "/set").code(), URLErrorCode::unsupportedURL);
  EXPECT_TRUE(site.seen().empty());
  // Names that end in a number but are no address libcurl reads are no hosts either (they are
  // not fetched here: libcurl would look them up by name).
  for (const std::string host : {"127.0.0.08", "127.0.0.1.5", "256.0.0.1", "example.0x1f", "0x"}) {
    EXPECT_EQ(URL::fromString("http://" + host + "/")->host(), std::nullopt) << host;
  }
  EXPECT_EQ(URL::fromString("http://10.0.0.255/")->host(), "10.0.0.255");
  EXPECT_EQ(URL::fromString("http://0.example/")->host(), "0.example");
  // libcurl writes the target of a redirect in the one spelling: it is followed to the same host.
  ASSERT_EQ(fetch(session, site.at("127.0.0.1", "/hop")).error, nullptr);
  ASSERT_EQ(fetch(session, site.at("127.0.0.1", "/set")).error, nullptr);
  EXPECT_EQ(site.seen(), (std::vector<std::string>{"127.0.0.1 /hop []", "127.0.0.1 /set []", "127.0.0.1 /set [s=1]"}));
  EXPECT_EQ(namesIn(session), std::vector<std::string>{"s=1"});
  // An IPv6 address is kept in one form, whichever the URL wrote.
  EXPECT_EQ(URL::fromString("http://[0:0:0:0:0:0:0:1]:8080/")->host(), "::1");
  const auto cookies =
      HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", "v6=1"}}, *URL::fromString("http://[0::0:1]/"));
  ASSERT_EQ(cookies.size(), 1u);
  EXPECT_TRUE(cookies[0].matches(*URL::fromString("http://[::1]/")));
}

TEST(URLSessionCookieRoute, ADomainAboveTheSuffixOfTheHostIsRefused) {
  // Hosts under real public suffixes, reached through the loopback server as their proxy: a
  // host registered under "heroy.nordland.no" (or "s3.amazonaws.com") names the domain above
  // that suffix, which is no suffix itself but belongs to other sites.
  Site site([](const std::string& host, const std::string& path, int) {
    if (path != "/set") return reply(200, {});
    if (host == "bucket.s3.amazonaws.com") return reply(200, {"Set-Cookie: up=1; Domain=amazonaws.com"});
    return reply(200, {"Set-Cookie: above=1; Domain=nordland.no", "Set-Cookie: dotted=1; Domain=.NORDLAND.no",
                       "Set-Cookie: suffix=1; Domain=heroy.nordland.no", "Set-Cookie: own=1",
                       "Set-Cookie: mine=1; Domain=a.heroy.nordland.no"});
  });
  EnvironmentSetting proxy("http_proxy", ("http://127.0.0.1:" + std::to_string(site.port())).c_str());
  auto session = newSession();
  for (const std::string address :
       {"http://a.heroy.nordland.no/set", "http://bucket.s3.amazonaws.com/set", "http://nordland.no/",
        "http://www.nordland.no/", "http://b.heroy.nordland.no/", "http://x.a.heroy.nordland.no/", "http://amazonaws.com/"}) {
    ASSERT_EQ(fetch(session, address).error, nullptr) << address;
  }
  EXPECT_EQ(site.seen(), (std::vector<std::string>{"a.heroy.nordland.no /set []", "bucket.s3.amazonaws.com /set []",
                                                   "nordland.no / []", "www.nordland.no / []", "b.heroy.nordland.no / []",
                                                   "x.a.heroy.nordland.no / [mine=1]", "amazonaws.com / []"}));
  EXPECT_EQ(namesIn(session), (std::vector<std::string>{"own=1", "mine=1"}));
}

TEST(URLSessionCookieRoute, AnExpiredCookieIsGone) {
  // A secure "sid" and a plain cookie that expire in half a second: once they have, the store
  // holds neither, and plain HTTP may set a "sid" of its own.
  auto session = newSession();
  auto& storage = *session->configuration().cookieStorage;
  const auto expiry = Fennix::DateClock::now() + std::chrono::milliseconds(500);
  setOverHTTPS(session, "https://127.0.0.1/login", {"sid=good; Secure; Path=/", "note=1; Path=/"});
  for (const std::string name : {"sid", "note"}) {
    auto cookie = *storage.cookie(name);
    cookie.expiresDate = expiry;
    storage.setCookie(cookie);
  }
  const auto held = storage.cookies();
  if (Fennix::DateClock::now() < expiry) {
    ASSERT_EQ(held.size(), 2u);  // else they have expired already
  }
  ASSERT_TRUE(waitUntil([&] { return Fennix::DateClock::now() > expiry; }));
  EXPECT_EQ(storage.cookie("sid"), std::nullopt);
  EXPECT_EQ(storage.cookie("note"), std::nullopt);
  EXPECT_TRUE(storage.cookies().empty());
  EXPECT_TRUE(storage.cookiesForHost("127.0.0.1").empty());
  Site site([](const std::string&, const std::string& path, int) {
    return reply(200, path == "/set" ? std::vector<std::string>{"Set-Cookie: sid=plain; Path=/"} : std::vector<std::string>{});
  });
  ASSERT_EQ(fetch(session, site.at("127.0.0.1", "/set")).error, nullptr);
  ASSERT_EQ(fetch(session, site.at("127.0.0.1", "/next")).error, nullptr);
  EXPECT_EQ(site.seen().back(), "127.0.0.1 /next [sid=plain]");
  EXPECT_EQ(namesIn(session), std::vector<std::string>{"sid=plain"});
}

}  // namespace
