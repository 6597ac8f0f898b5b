#include <gtest/gtest.h>

#include "Fennix/Operations/HTTP/HTTPFetchOperation.h"
#include "Fennix/Operations/HTTP/URLSession.h"
#include "OperationsTestSupport.h"

using namespace OperationsTestSupport;
using Fennix::AnyValue;

namespace {

URL url(const std::string& text) { return *URL::fromString(text); }

HTTPURLResponse responseWith(long status, HTTPURLResponse::HeaderFields fields) {
  return HTTPURLResponse(url("http://example.com/a/b"), status, std::move(fields));
}

TEST(HTTPResponse, HeaderLookupAndRedirects) {
  auto response = responseWith(302, {{AnyValue("location"), AnyValue("/next")},
                                     {AnyValue("x-count"), AnyValue(3)},
                                     {AnyValue(7), AnyValue("not a name")}});
  EXPECT_EQ(response.header("Location"), (std::vector<std::string>{"/next"}));
  EXPECT_EQ(response.firstHeader("LOCATION"), "/next");
  EXPECT_EQ(response.firstHeader("X-Count"), "3");
  EXPECT_TRUE(response.header("Missing").empty());
  EXPECT_EQ(response.firstHeader("Missing"), std::nullopt);
  // The redirect target is read under "Location" exactly.
  EXPECT_EQ(response.redirectURL(), std::nullopt);
  auto exact = responseWith(301, {{AnyValue("Location"), AnyValue("/next")}});
  ASSERT_TRUE(exact.redirectURL());
  EXPECT_EQ(exact.redirectURL()->absoluteString(), "/next");

  for (long status : {300, 301, 302, 303, 304, 305, 306, 307, 308}) {
    auto sample = responseWith(status, {});
    const bool redirect = status <= 303 || status == 307;
    EXPECT_EQ(sample.isRedirect(), redirect) << status;
    EXPECT_EQ(sample.redirectType().has_value(), redirect) << status;
  }
  EXPECT_TRUE(responseWith(299, {}).isOK());
  EXPECT_FALSE(responseWith(300, {}).isOK());
}

TEST(HTTPResponse, RetryAfter) {
  ConsoleCapture capture;
  auto retry = [](const std::string& value) {
    return responseWith(503, {{AnyValue("retry-after"), AnyValue(value)}}).retryAfter();
  };
  const auto before = Fennix::DateClock::now();
  auto seconds = retry(" 120 ");
  ASSERT_TRUE(seconds);
  EXPECT_GE(*seconds, before + std::chrono::seconds(120));
  EXPECT_LE(*seconds, Fennix::DateClock::now() + std::chrono::seconds(120));
  EXPECT_TRUE(capture.logger->lines().empty());

  EXPECT_EQ(retry(""), std::nullopt);
  EXPECT_EQ(retry(" \t"), std::nullopt);
  EXPECT_TRUE(capture.logger->lines().empty());

  EXPECT_EQ(retry("Wed, 21 Oct 2015 07:28:00 GMT"), std::nullopt);
  EXPECT_EQ(retry("99999999999999999999999999"), std::nullopt);
  EXPECT_EQ(retry("9223372036854775807"), std::nullopt);
  EXPECT_EQ(retry("1.5"), std::nullopt);
  EXPECT_EQ(retry("+-5"), std::nullopt);
  EXPECT_EQ(capture.logger->matching("could not parse retry-after header:").size(), 5u);
  auto past = retry("-5");
  ASSERT_TRUE(past);
  EXPECT_LT(*past, Fennix::DateClock::now());
  EXPECT_EQ(capture.logger->matching("could not parse retry-after header: 99999999999999999999999999").size(), 1u);
  EXPECT_EQ(responseWith(503, {}).retryAfter(), std::nullopt);
}

TEST(HTTPResponse, CookiesOfResponsesAndRequests) {
  auto response = responseWith(
      200, {{AnyValue("Set-Cookie"),
             AnyValue::array({AnyValue("a=1; Path=/; Expires=Wed, 21 Oct 2037 07:28:00 GMT; HttpOnly"),
                              AnyValue("b=2; Domain=.example.com; Secure; Max-Age=60")})}});
  auto cookies = response.setCookiesUsingURL(url("http://www.example.com/a/b"));
  ASSERT_EQ(cookies.size(), 2u);
  EXPECT_EQ(cookies[0].name, "a");
  EXPECT_EQ(cookies[0].domain, "www.example.com");
  EXPECT_TRUE(cookies[0].isHTTPOnly);
  ASSERT_TRUE(cookies[0].expiresDate);
  EXPECT_EQ(Fennix::iso8601String(*cookies[0].expiresDate), "2037-10-21T07:28:00Z");
  EXPECT_EQ(cookies[1].domain, ".example.com");
  EXPECT_EQ(cookies[1].path, "/a");
  EXPECT_TRUE(cookies[1].isSecure);
  EXPECT_FALSE(cookies[1].isSessionOnly());

  // A cookie for another domain, and malformed ones, are left out; a lower-case field is not read.
  EXPECT_TRUE(HTTPCookie::cookiesWithResponseHeaderFields(
                  {{"Set-Cookie", "c=3; Domain=other.org"}, {"Set-Cookie", "novalue"}, {"Set-Cookie", "=x"}},
                  url("http://example.com/"))
                  .empty());
  EXPECT_TRUE(responseWith(200, {{AnyValue("set-cookie"), AnyValue("a=1")}})
                  .setCookiesUsingURL(url("http://example.com/"))
                  .empty());

  URLRequest request(url("http://example.com/"));
  request.setValue("old=1", "Cookie");
  request.setValue("x", "Accept");
  request.setCookies({}, true);
  EXPECT_EQ(request.value("cookie"), std::nullopt);
  request.setValue("old=1", "Cookie");
  request.setCookies(cookies, false);
  EXPECT_EQ(request.value("Cookie"), "a=1; b=2");
  EXPECT_EQ(request.value("Accept"), "x");

  // Dates beyond the clock's range stay on their side of now: a cookie "until 9999" is kept, one
  // that expired in 1601 removes its name.
  auto far = responseWith(200, {{AnyValue("Set-Cookie"),
                                 AnyValue::array({AnyValue("keep=1; Expires=Fri, 31 Dec 9999 23:59:59 GMT"),
                                                  AnyValue("gone=1; Expires=Mon, 01 Jan 1601 00:00:00 GMT")})}})
                 .setCookiesUsingURL(url("http://example.com/"));
  ASSERT_EQ(far.size(), 2u);
  EXPECT_GT(*far[0].expiresDate, Fennix::DateClock::now() + std::chrono::hours(24 * 365 * 200));
  EXPECT_TRUE(far[1].isExpired(Fennix::DateClock::now()));
  HTTPCookieStorage farStorage;
  for (const auto& cookie : far) farStorage.setCookie(cookie);
  EXPECT_EQ(farStorage.cookie("keep")->value, "1");
  EXPECT_EQ(farStorage.cookie("gone"), std::nullopt);

  HTTPCookieStorage storage;
  for (const auto& cookie : cookies) storage.setCookie(cookie);
  EXPECT_EQ(storage.cookie("b")->value, "2");
  EXPECT_EQ(storage.cookies(url("http://www.example.com/a/b")).size(), 1u);  // "b" is secure
  EXPECT_EQ(storage.cookies(url("https://www.example.com/a/b")).size(), 2u);
  EXPECT_EQ(storage.deleteCookiesWithName("a").size(), 1u);
  EXPECT_EQ(storage.cookie("a"), std::nullopt);
  EXPECT_TRUE(storage.deleteCookiesWithName("a").empty());
}

TEST(HTTPResponse, CookiesStayWithTheirSite) {
  const auto parse = [](const std::string& text, const std::string& from) {
    return HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", text}}, url(from));
  };
  // A public suffix as the domain would reach every site under it: refused, with or without the
  // dot, for top-level and for multi-label suffixes.
  EXPECT_TRUE(parse("s=1; Domain=com", "https://evil.com/").empty());
  EXPECT_TRUE(parse("s=1; Domain=.COM", "https://evil.com/").empty());
  EXPECT_TRUE(parse("s=1; Domain=co.uk", "https://evil.co.uk/").empty());
  EXPECT_TRUE(parse("s=1; Domain=github.io", "https://evil.github.io/").empty());
  HTTPCookieStorage storage;
  for (const auto& cookie : parse("s=1; Domain=com", "https://evil.com/")) storage.setCookie(cookie);
  EXPECT_TRUE(storage.cookies(url("https://bank.com/")).empty());

  // A registrable domain is still fine.
  auto good = parse("s=1; Domain=example.co.uk", "https://www.example.co.uk/");
  ASSERT_EQ(good.size(), 1u);
  EXPECT_EQ(good[0].domain, ".example.co.uk");

  // A host that is a public suffix itself may set a cookie for itself only.
  auto own = parse("s=1; Domain=.github.io", "https://github.io/");
  ASSERT_EQ(own.size(), 1u);
  EXPECT_EQ(own[0].domain, "github.io");
  EXPECT_FALSE(own[0].matches(url("https://evil.github.io/")));
  EXPECT_TRUE(own[0].matches(url("https://github.io/")));

  // IP addresses match exactly, never as a domain.
  EXPECT_TRUE(parse("s=1; Domain=3.4", "http://1.2.3.4/").empty());
  EXPECT_TRUE(parse("s=1; Domain=0.1", "http://10.0.0.1/").empty());
  auto ip = parse("s=1; Domain=.10.0.0.1", "http://10.0.0.1/");
  ASSERT_EQ(ip.size(), 1u);
  EXPECT_EQ(ip[0].domain, "10.0.0.1");
  EXPECT_FALSE(ip[0].matches(url("http://5.10.0.0.1/")));
  HTTPCookie stored;
  stored.name = "s";
  stored.domain = ".0.0.1";
  EXPECT_FALSE(stored.matches(url("http://10.0.0.1/")));
  stored.domain = ".com";
  EXPECT_FALSE(stored.matches(url("https://bank.com/")));
  EXPECT_EQ(parse("s=1; Domain=::1", "http://[::1]:8080/").size(), 1u);
}

TEST(HTTPResponse, MalformedHostsSetNoCookiesAndHostOnlyCookiesStayHostOnly) {
  // Authorities that are no host name: an unclosed bracket, a leading or trailing dot, an empty
  // label, characters a name cannot hold, a port that is no number. None has a host, and no
  // cookie from them reaches bank.com.
  const auto bank = url("https://bank.com/");
  for (const std::string address :
       {"http://[.bank.com", "htsechttp://.bank.com", "//.bank.com/#d15/.;:", "ttp://.bank.com/",
        "h://.bank.com:368a)r8", "http://bank.com./", "http://a..bank.com/", "http://b%61nk.com/", "http://[::1]x/",
        "http://bank.com:8x/", "http://[.c::1]/", "http://[ad.be]/", "http://[::1::2]/"}) {
    SCOPED_TRACE(address);
    const auto from = URL::fromString(address);
    if (!from) continue;
    EXPECT_EQ(from->host(), std::nullopt);
    for (const std::string text : {"mp=19 /oh1", "v6=1; Duro", "s=1; Domain=bank.com"}) {
      EXPECT_TRUE(HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", text}}, *from).empty());
    }
  }
  EXPECT_EQ(url("http://User@WWW.Bank.COM:8080/x").host(), "www.bank.com");
  EXPECT_EQ(url("http://[::1]:8080/").host(), "::1");
  EXPECT_EQ(url("http://[::ffff:10.0.0.1]/").host(), std::nullopt);
  EXPECT_EQ(url("file:///tmp/x").host(), "");

  // Whatever text a host-only cookie's domain holds, it goes to that host alone.
  auto cookies = HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", "s=1"}}, url("https://www.bank.com/"));
  ASSERT_EQ(cookies.size(), 1u);
  EXPECT_TRUE(cookies[0].isHostOnly);
  HTTPCookie hostOnly = cookies[0];
  hostOnly.domain = ".bank.com";
  EXPECT_FALSE(hostOnly.matches(bank));
  EXPECT_FALSE(hostOnly.matches(url("https://www.bank.com/")));
  // A domain attribute with the dot still makes a domain cookie.
  auto domain = HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", "s=1; Domain=.bank.com"}},
                                                            url("https://www.bank.com/"));
  ASSERT_EQ(domain.size(), 1u);
  EXPECT_FALSE(domain[0].isHostOnly);
  EXPECT_TRUE(domain[0].matches(bank));
}

TEST(HTTPResponse, PrefixedNamesKeepTheirPromise) {
  ConsoleCapture capture;
  const auto accepted = [](const std::string& text, const std::string& from) {
    return HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", text}}, url(from)).size() == 1;
  };
  // "__Host-" is for the host alone, on every path, over https: a sibling cannot plant one for
  // the domain above it. The prefix is matched in any letter case.
  EXPECT_TRUE(accepted("__Host-id=1; Secure; Path=/", "https://www.example.com/a/b"));
  for (const std::string text : {"__Host-id=1; Secure; Path=/; Domain=example.com", "__Host-id=1; Secure",
                                 "__Host-id=1; Secure; Path=/a", "__Host-id=1; Path=/", "__HOST-id=1; Path=/",
                                 "__Host-id=1; Secure; Path=/; Domain=www.example.com"}) {
    EXPECT_FALSE(accepted(text, "https://www.example.com/a/b")) << text;
  }
  EXPECT_FALSE(accepted("__Host-id=1; Secure; Path=/", "http://www.example.com/"));
  // "__Secure-" needs the attribute and a secure origin, and may name a domain.
  EXPECT_TRUE(accepted("__Secure-id=1; Secure; Domain=example.com", "https://www.example.com/"));
  EXPECT_FALSE(accepted("__secure-id=1", "https://www.example.com/"));
  EXPECT_FALSE(accepted("__Secure-id=1; Secure", "http://www.example.com/"));
  EXPECT_EQ(capture.logger->matching("refused a cookie a response set for www.example.com").size(), 9u);
  // Names that only resemble a prefix are plain names.
  EXPECT_TRUE(accepted("__Hostid=1", "http://www.example.com/"));
  EXPECT_TRUE(accepted("x__Secure-id=1", "http://www.example.com/"));
}

TEST(HTTPResponse, CookieAttributesAsServersWriteThem) {
  ConsoleCapture capture;
  const auto parse = [](const std::string& text) {
    auto cookies = HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", text}}, url("http://www.example.com/a/b"));
    return cookies.empty() ? std::nullopt : std::optional<HTTPCookie>(cookies[0]);
  };
  const auto now = Fennix::DateClock::now();
  // Max-Age: a sign of minus and digits of any count; zero and below expire at once, anything
  // else that is not a number is ignored.
  for (const std::string age : {"0", "-0", "-1", "-99999999999999999999", "-9223372036854775809"}) {
    EXPECT_TRUE(parse("a=1; Max-Age=" + age)->isExpired(now)) << age;
  }
  for (const std::string age : {"+5", "5x", "-", "", "1.5", " - 5"}) {
    EXPECT_TRUE(parse("a=1; Max-Age=" + age)->isSessionOnly()) << age;
  }
  EXPECT_GT(*parse("a=1; Max-Age=18446744073709551616")->expiresDate, now + std::chrono::hours(24 * 365 * 100));
  EXPECT_TRUE(parse("a=1; Max-Age=-1; Expires=Fri, 31 Dec 9999 23:59:59 GMT")->isExpired(now));

  // Dates as the cookie date algorithm reads them: a day of one or two digits may run on into
  // letters, a year has two to four digits, and a day the month lacks is no date.
  const auto date = [](const std::string& text) {
    const auto parsed = Fennix::parseHTTPDate(text);
    return parsed ? Fennix::iso8601String(*parsed) : std::string("none");
  };
  EXPECT_EQ(date("Wed, 21 Oct 2037 07:28:00 GMT"), "2037-10-21T07:28:00Z");
  EXPECT_EQ(date("21st October 2037 7:28:0"), "2037-10-21T07:28:00Z");
  EXPECT_EQ(date("Wed, 21-Oct-099 07:28:00 GMT"), "1999-10-21T07:28:00Z");
  EXPECT_EQ(date("29 Feb 2036 00:00:00"), "2036-02-29T00:00:00Z");
  EXPECT_EQ(date("29 Feb 2037 00:00:00"), "none");
  EXPECT_EQ(date("31 Apr 2037 00:00:00"), "none");
  EXPECT_EQ(date("21 Oct 20370 07:28:00"), "none");
  EXPECT_EQ(date("21 Oct 2037 07:28:000"), "none");

  // Of an attribute given twice the last counts; a path that is no path falls back to the default.
  EXPECT_EQ(parse("a=1; Domain=other.org; Domain=example.com")->domain, ".example.com");
  EXPECT_EQ(parse("a=1; Domain=example.com; Domain=other.org"), std::nullopt);
  EXPECT_EQ(parse("a=1; Path=/x; Path=y")->path, "/a");
  EXPECT_EQ(parse("a=1; Path=/x; Path=/y")->path, "/y");

  // Control characters anywhere refuse the cookie; a tab is a blank.
  for (const std::string& text : std::vector<std::string>{"a=1; Path=/\x01x", "a=1; Domain=example.com\x7f",
                                                         std::string("a=1; Path=/\0x", 13), "a=1\r\nX: y", "a=1; \x1b"}) {
    EXPECT_EQ(parse(text), std::nullopt);
  }
  EXPECT_EQ(parse("a=1;\tPath=/t\t")->path, "/t");

  // Sizes: a name and value of more than 4096 bytes refuse the cookie, an attribute value of more
  // than 1024 bytes is ignored.
  EXPECT_TRUE(parse("n=" + std::string(4095, 'v')));
  EXPECT_EQ(parse("n=" + std::string(4096, 'v')), std::nullopt);
  EXPECT_EQ(parse("a=1; Path=/" + std::string(1024, 'p'))->path, "/a");
  EXPECT_EQ(parse("a=1; Path=/" + std::string(1023, 'p'))->path.size(), 1024u);
  EXPECT_EQ(parse("a=1; Domain=" + std::string(1020, 'x') + ".example.com")->domain, "www.example.com");
}

TEST(HTTPCookieStorage, RefusesCookiesThatWouldBreakTheCookieField) {
  ConsoleCapture capture;
  const auto withText = [](const std::string& name, const std::string& value) {
    HTTPCookie cookie;
    cookie.name = name;
    cookie.value = value;
    cookie.domain = "example.com";
    return cookie;
  };
  HTTPCookieStorage storage;
  // Names that are no token, values with separators, quotes inside, spaces or control bytes.
  const std::vector<std::pair<std::string, std::string>> broken = {
      {"x;y", "1"}, {"a=b", "1"}, {"", "1"}, {"sp ace", "1"}, {"n\x01", "1"}, {"tab\t", "1"},
      {"pref", "dark; session=attacker"}, {"v", "a,b"}, {"v", "a b"}, {"v", "a\\b"}, {"v", "\"open"},
      {"v", "in\"side"}, {"v", std::string("nul\0", 4)}, {"v", "del\x7f"}, {"v", "\xc3\xa9"}, {"v", "cr\r"}};
  for (const auto& [name, value] : broken) storage.setCookie(withText(name, value));
  EXPECT_TRUE(storage.cookies().empty());
  EXPECT_EQ(capture.logger->matching("refused a cookie given to the store for example.com").size(), broken.size());

  // Cookie octets, optionally in double quotes, and the empty value are fine.
  for (const std::string value : {"", "\"\"", "\"quoted\"", "!#$%&'()*+-./:<=>?@[]^_`{|}~09azAZ"}) {
    storage.setCookie(withText("ok" + std::to_string(storage.cookies().size()), value));
  }
  EXPECT_EQ(storage.cookies().size(), 4u);

  // The same from a response: each refusal logged, the sound cookie kept.
  const auto parsed = HTTPCookie::cookiesWithResponseHeaderFields(
      {{"Set-Cookie", "theme=dark, session=attacker"}, {"Set-Cookie", "x y=1"}, {"Set-Cookie", "bad=a\x02" "b"},
       {"Set-Cookie", "good=\"1\"; Path=/"}},
      url("http://example.com/"));
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0].value, "\"1\"");
  EXPECT_EQ(capture.logger->matching("refused a cookie a response set for example.com").size(), 3u);

  // Nor do such cookies reach a request's field when handed to it directly.
  URLRequest request(url("http://example.com/"));
  request.setCookies({withText("pref", "dark; session=attacker"), withText("ok", "1")}, true);
  EXPECT_EQ(request.value("Cookie"), "ok=1");
  request.setCookies({withText("x;y", "1")}, true);
  EXPECT_EQ(request.value("Cookie"), std::nullopt);
}

TEST(URLQuery, AppendsItemsAfterExistingOnes) {
  auto base = url("http://example.com/p?a=1#top");
  EXPECT_EQ(base.urlByAddingQueryParameters({{"q", "x y&z"}})->absoluteString(), "http://example.com/p?a=1&q=x%20y%26z#top");
  EXPECT_EQ(base.urlByAddingQueryParameters({{"a", "2"}})->absoluteString(), "http://example.com/p?a=1&a=2#top");
  EXPECT_EQ(base.urlByAddingQueryParameters({})->absoluteString(), base.absoluteString());
  EXPECT_EQ(url("http://example.com/p").urlByAddingQueryParameters({{"q", std::nullopt}})->absoluteString(),
            "http://example.com/p?q");

  auto plain = url("http://example.com/p");
  EXPECT_EQ(plain.urlByAddingQueryParameters(true, {"a", std::nullopt, "b", "2"})->absoluteString(),
            "http://example.com/p?b=2");
  EXPECT_EQ(plain.urlByAddingQueryParameters(false, {"a", std::nullopt, "b", "2"})->absoluteString(),
            "http://example.com/p?a&b=2");
  EXPECT_EQ(plain.urlByAddingQueryParameters(false, {std::nullopt, "1", "c"})->absoluteString(),
            "http://example.com/p?c");
  EXPECT_EQ(plain.urlByAddingQueryParameters(true, {"c"})->absoluteString(), "http://example.com/p");

  auto relative = URL::fromString("q?x=1", url("http://example.com/dir/page"));
  EXPECT_EQ(relative->urlByAddingQueryParameters({{"y", "2"}})->absoluteString(), "http://example.com/dir/q?x=1&y=2");
  EXPECT_EQ(URL::fromString("not a url"), std::nullopt);
  EXPECT_EQ(URL::fromString("%zz"), std::nullopt);
  EXPECT_EQ(URL::fromString("../up", url("http://h/a/b/c"))->absoluteString(), "http://h/a/up");
}

TEST(URLQuery, EscapesWhatFormDecodersReadOtherwise) {
  auto plain = url("http://example.com/p");
  // "+" reads as a space and ";" as a separator: both are escaped, in names and values alike.
  EXPECT_EQ(plain.urlByAddingQueryParameters({{"sum", "1+1=2"}, {"list", "a;b&c"}})->absoluteString(),
            "http://example.com/p?sum=1%2B1%3D2&list=a%3Bb%26c");
  EXPECT_EQ(plain.urlByAddingQueryParameters({{"a+b;c", std::nullopt}})->absoluteString(), "http://example.com/p?a%2Bb%3Bc");
  // What stays readable stays as it is.
  EXPECT_EQ(plain.urlByAddingQueryParameters({{"q", "-._~!$'()*,:@/?"}})->absoluteString(),
            "http://example.com/p?q=-._~!$'()*,:@/?");
}

HTTPCookie cookieFor(const std::string& name, const std::string& domain) {
  HTTPCookie cookie;
  cookie.name = name;
  cookie.value = "1";
  cookie.domain = domain;
  return cookie;
}

std::vector<std::string> namesOf(const std::vector<HTTPCookie>& cookies) {
  std::vector<std::string> names;
  for (const auto& cookie : cookies) names.push_back(cookie.name);
  return names;
}

TEST(HTTPCookieStorage, KeepsTheCookiesSetLastPerSiteAndInAll) {
  HTTPCookieStorage storage;
  // One site, whatever names under it set its cookies: 50 kept, the ones set first go.
  const std::vector<std::string> domains = {".example.com", "a.example.com", "b.example.com"};
  for (int i = 0; i < 60; ++i) storage.setCookie(cookieFor("c" + std::to_string(i), domains[i % 3]));
  storage.setCookie(cookieFor("other", "example.org"));
  auto names = namesOf(storage.cookies());
  ASSERT_EQ(names.size(), 51u);
  EXPECT_EQ(names.front(), "c10");
  EXPECT_EQ(names[49], "c59");
  EXPECT_EQ(names.back(), "other");
  // Setting a cookie again renews it; the next one pushes out the oldest after it.
  storage.setCookie(cookieFor("c10", domains[1]));
  storage.setCookie(cookieFor("c60", domains[0]));
  EXPECT_EQ(storage.cookie("c11"), std::nullopt);
  ASSERT_TRUE(storage.cookie("c10"));
  EXPECT_EQ(storage.cookies().size(), 51u);
  // Sites under a public suffix are sites of their own.
  for (int i = 0; i < 60; ++i) storage.setCookie(cookieFor("p" + std::to_string(i), (i % 2 ? "a" : "b") + std::string(".github.io")));
  EXPECT_EQ(storage.cookies().size(), 111u);

  // An expired cookie makes room before any live one.
  HTTPCookie brief = cookieFor("brief", "example.com");
  brief.expiresDate = Fennix::DateClock::now() + std::chrono::milliseconds(300);
  storage.setCookie(brief);
  // An expired cookie is gone: asked before it expires, it is there and took the place of the
  // oldest one (a machine slow enough to let it expire first may have stored nothing).
  const auto held = storage.cookie("brief");
  const auto oldest = storage.cookie("c12");
  if (Fennix::DateClock::now() < *brief.expiresDate) {
    ASSERT_TRUE(held);
    EXPECT_EQ(oldest, std::nullopt);
  }
  ASSERT_TRUE(waitUntil([&] { return Fennix::DateClock::now() > *brief.expiresDate; }));
  storage.setCookie(cookieFor("c61", domains[2]));
  EXPECT_EQ(storage.cookie("brief"), std::nullopt);
  ASSERT_TRUE(storage.cookie("c13"));

  // In all, 3000: the cookies set longest ago go, whichever site they are of.
  HTTPCookieStorage full;
  for (int site = 0; site < 70; ++site) {
    for (int i = 0; i < 50; ++i) full.setCookie(cookieFor("n" + std::to_string(i), "s" + std::to_string(site) + ".org"));
  }
  const auto all = full.cookies();
  ASSERT_EQ(all.size(), HTTPCookieStorage::maximumCookies);
  EXPECT_EQ(all.front().domain, "s10.org");
  EXPECT_EQ(all.back().domain, "s69.org");
  EXPECT_TRUE(full.cookiesForHost("s9.org").empty());
}

TEST(HTTPCookieStorage, FindsTheCookiesOfAHost) {
  HTTPCookieStorage storage;
  for (const auto& [name, domain] : std::vector<std::pair<std::string, std::string>>{
           {"wide", ".example.com"}, {"www", "www.example.com"}, {"api", "api.example.com"}, {"apex", "example.com"},
           {"deep", ".x.www.example.com"}, {"elsewhere", "example.org"}, {"ip", "127.0.0.1"}, {"suffix", ".com"}}) {
    storage.setCookie(cookieFor(name, domain));
  }
  EXPECT_EQ(namesOf(storage.cookiesForHost("www.example.com")), (std::vector<std::string>{"wide", "www"}));
  EXPECT_EQ(namesOf(storage.cookiesForHost("example.com")), (std::vector<std::string>{"wide", "apex"}));
  EXPECT_EQ(namesOf(storage.cookiesForHost("a.x.www.example.com")), (std::vector<std::string>{"wide", "deep"}));
  EXPECT_EQ(namesOf(storage.cookiesForHost("127.0.0.1")), std::vector<std::string>{"ip"});
  EXPECT_TRUE(storage.cookiesForHost("0.0.1").empty());
  EXPECT_TRUE(storage.cookiesForHost("bank.com").empty());
  EXPECT_TRUE(storage.cookiesForHost("notexample.com").empty());
  // The cookies of a URL come from the same selection, then by path and scheme.
  EXPECT_EQ(namesOf(storage.cookies(url("https://www.example.com/"))), (std::vector<std::string>{"wide", "www"}));
  storage.deleteCookie(cookieFor("wide", ".example.com"));
  EXPECT_EQ(namesOf(storage.cookiesForHost("www.example.com")), std::vector<std::string>{"www"});
}

TEST(URLSessionError, ClassifiesByCode) {
  using QvError = URLSession::QvError;
  auto classify = [](long code) { return QvError::classify(std::make_shared<NSError>("AnyDomain", code)); };
  auto notConnected = classify(-1009);
  ASSERT_TRUE(notConnected.is<QvError::CannotConnect>());
  EXPECT_EQ(std::get<QvError::CannotConnect>(notConnected.value()).reason,
            QvError::ConnectErrorReason::notConnectedToInternet);
  EXPECT_EQ(classify(-1003).description(), "cannotConnect(cannotFindHost)");
  EXPECT_EQ(classify(-1019).description(), "cannotConnect(callIsActive)");
  EXPECT_EQ(classify(-1018).description(), "cannotConnect(roamingOff)");
  EXPECT_EQ(classify(-1200).description(), "cannotConnect(secureConnectionFailed)");
  EXPECT_EQ(classify(-1022).description(), "cannotConnect(appTransportSecurity)");
  EXPECT_EQ(classify(-1011).description(), "serverError(code: -1011)");
  EXPECT_EQ(classify(-1017).description(), "serverError(code: -1017)");
  EXPECT_TRUE(classify(-1001).is<QvError::Timeout>());
  EXPECT_TRUE(classify(-999).is<QvError::Cancelled>());
  auto unknown = std::make_shared<NSError>("AnyDomain", -1);
  EXPECT_EQ(std::get<QvError::Other>(QvError::classify(unknown).value()).error, unknown);
  EXPECT_EQ(std::get<QvError::Other>(QvError::classify(nullptr).value()).error, nullptr);
  auto already = std::make_shared<QvError>(QvError::Timeout{});
  EXPECT_TRUE(QvError::classify(already).is<QvError::Timeout>());
}

TEST(HTTPFetchOperation, StatusErrorClasses) {
  using Kind = QvHTTPFetchOperation::HTTPStatusError::Kind;
  auto kind = [](long status) { return QvHTTPFetchOperation::HTTPStatusError(status).kind(); };
  EXPECT_EQ(kind(99), Kind::other);
  EXPECT_EQ(kind(100), Kind::informational);
  EXPECT_EQ(kind(199), Kind::informational);
  EXPECT_EQ(kind(200), Kind::other);
  EXPECT_EQ(kind(304), Kind::redirect);
  EXPECT_EQ(kind(404), Kind::client);
  EXPECT_EQ(kind(599), Kind::server);
  EXPECT_EQ(kind(600), Kind::other);
}

}  // namespace
