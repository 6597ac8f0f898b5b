// Cookies from untrusted responses: the first line is the URL that answered, the rest one
// "Set-Cookie" value. Every cookie accepted is held to the rules of cookies, checked here on
// their own terms rather than through the code under test: it stays with the site that set it
// (the host, or a domain above it that is no public suffix and lies at or below the host's
// registrable domain), and a host that ends in a number is an IPv4 address in its one spelling
// (and no IPv6 address maps one), so that no server poses as many sites; it keeps what its
// name's prefix promises, is secure only from a secure origin, holds no control character and
// stays within the sizes a cookie may have, and goes back as one "name=value" pair that no byte
// of it can break. Stored as a response stores it, it never replaces or hides a secure cookie
// when it came over plain HTTP.
#include <arpa/inet.h>
#include <libpsl.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Fennix/Foundation/HTTP/HTTPTypes.h"
#include "Fennix/Foundation/HTTP/URL.h"
#include "FuzzChecks.h"

namespace {

using FuzzChecks::check;
using FuzzChecks::lowercased;

bool hasControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7f;
  });
}

/// The host is the domain or a name under it.
bool underDomain(const std::string& host, const std::string& domain) {
  return host == domain ||
         (host.size() > domain.size() && host.ends_with(domain) && host[host.size() - domain.size() - 1] == '.');
}

std::string bare(const std::string& domain) { return !domain.empty() && domain[0] == '.' ? domain.substr(1) : domain; }

bool isPublicSuffix(const std::string& domain) {
  const psl_ctx_t* list = psl_builtin();
  return list == nullptr || psl_is_public_suffix(list, domain.c_str()) != 0;
}

/// The domain lies at or below the host's registrable domain, as libpsl judges a cookie's domain.
bool isAcceptableDomain(const std::string& host, const std::string& domain) {
  const psl_ctx_t* list = psl_builtin();
  return list != nullptr && psl_is_cookie_domain_acceptable(list, host.c_str(), domain.c_str()) != 0;
}

bool isDecimal(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// A host whose last label is a number (decimal, or "0x" and hex digits) is four decimal
/// numbers of 0 to 255 without leading zeros; an IPv6 address is in the system's form and maps
/// no IPv4 address (another spelling of that address); any other host passes.
bool isOneSpellingOfItsAddress(const std::string& host) {
  if (host.find(':') != std::string::npos) {
    in6_addr address{};
    char written[INET6_ADDRSTRLEN] = "";
    return ::inet_pton(AF_INET6, host.c_str(), &address) == 1 && !IN6_IS_ADDR_V4MAPPED(&address) &&
           ::inet_ntop(AF_INET6, &address, written, sizeof written) != nullptr && host == written;
  }
  std::vector<std::string> labels(1);
  for (const char c : host) {
    if (c == '.') {
      labels.emplace_back();
    } else {
      labels.back() += c;
    }
  }
  const std::string& last = labels.back();
  const bool hex = last.size() >= 2 && last[0] == '0' && (last[1] == 'x' || last[1] == 'X') &&
                   std::all_of(last.begin() + 2, last.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
  if (!hex && !isDecimal(last)) return true;
  return labels.size() == 4 && std::all_of(labels.begin(), labels.end(), [](const std::string& label) {
           return isDecimal(label) && label.size() <= 3 && (label.size() == 1 || label[0] != '0') && std::stoi(label) <= 255;
         });
}

/// `text`: the "Set-Cookie" value it came from; `stored`: the cookie is in a store as a response put it there, which takes a secure cookie
/// only from a secure origin (what a response sets is read as it is).
void checkCookie(const HTTPCookie& cookie, const std::string& text, const URL& url, const std::string& host,
                 bool stored) {
  const bool secureOrigin = url.scheme() == "https";
  // Nothing that could break a line or a field, and sizes a cookie may have.
  for (const auto* part : {&cookie.name, &cookie.value, &cookie.domain, &cookie.path}) check(!hasControl(*part));
  check(!cookie.name.empty() && cookie.name.size() + cookie.value.size() <= 4096);
  check(cookie.path.size() <= std::max<std::size_t>(1024, url.path().size()));
  check(!cookie.path.empty() && cookie.path[0] == '/');
  // Without a path attribute the path is the directory of the URL's path.
  if (lowercased(text).find("path") == std::string::npos) {
    const std::string path = url.path();
    const auto slash = path.rfind('/');
    check(cookie.path == (path.empty() || path[0] != '/' || slash == 0 ? std::string("/") : path.substr(0, slash)));
  }
  // The site that set it: a host-only cookie names the host; a domain cookie a domain above the
  // host (or the host) that is no public suffix.
  if (cookie.isHostOnly) {
    check(cookie.domain == host);
  } else {
    check(cookie.domain.size() > 1 && cookie.domain[0] == '.');
    check(underDomain(host, bare(cookie.domain)));
    check(!isPublicSuffix(bare(cookie.domain)));
    check(isAcceptableDomain(host, bare(cookie.domain)));
  }
  // Whatever reaches bank.com came from bank.com or a name under it.
  if (!underDomain(host, "bank.com")) check(!cookie.matches(*URL::fromString("https://bank.com/")));
  // Secure only from a secure origin; prefixes keep their promise, in any letter case.
  if (stored && cookie.isSecure) check(secureOrigin);
  const std::string name = lowercased(cookie.name);
  if (name.starts_with("__secure-")) check(cookie.isSecure && secureOrigin);
  if (name.starts_with("__host-")) check(cookie.isSecure && secureOrigin && cookie.isHostOnly && cookie.path == "/");
  // It goes into a "Cookie" field as one pair of its own, on one line.
  const auto fields = HTTPCookie::requestHeaderFieldsWithCookies({cookie});
  check(fields.size() == 1 && fields[0].second == cookie.name + "=" + cookie.value);
  for (const char c : fields[0].second) {
    check(c != ';' && c != ',' && static_cast<unsigned char>(c) >= 0x21 && static_cast<unsigned char>(c) <= 0x7e);
  }
  check(fields[0].second.find('=') == cookie.name.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const auto newline = input.find('\n');
  const std::string address = newline == std::string::npos ? "https://www.example.com/a/b" : input.substr(0, newline);
  const std::string text = newline == std::string::npos ? input : input.substr(newline + 1);
  const auto url = URL::fromString(address);
  if (!url) return 0;
  (void)Fennix::parseHTTPDate(text);
  const auto cookies = HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", text}}, *url);
  const std::string host = url->host().value_or("");
  // Only a well-formed host sets cookies: no empty label, no brackets, no port or user in it.
  if (!cookies.empty()) {
    check(!host.empty() && host.front() != '.' && host.back() != '.' && host.find("..") == std::string::npos);
    check(host.find_first_of("[]@/") == std::string::npos);
    check(isOneSpellingOfItsAddress(host));
  }
  for (const auto& cookie : cookies) {
    (void)cookie.description();
    checkCookie(cookie, text, *url, host, false);
  }

  // A store that already holds, for each cookie's name, a secure cookie of the host for every
  // path, as an https response of the host would have set it.
  HTTPCookieStorage storage;
  std::vector<HTTPCookie> secure;
  for (const auto& cookie : cookies) {
    HTTPCookie twin;
    twin.name = cookie.name;
    twin.value = "secure";
    twin.domain = host;
    twin.isHostOnly = true;
    twin.isSecure = true;
    storage.setCookie(twin);
    secure.push_back(twin);
  }
  storage.setCookies(cookies, *url);
  const bool secureOrigin = url->scheme() == "https";
  const auto now = Fennix::DateClock::now();
  const auto stored = storage.cookies();
  for (const auto& cookie : stored) {
    check(!cookie.isExpired(now));
    if (cookie.value != "secure" || !cookie.isSecure) checkCookie(cookie, text, *url, host, true);
  }
  if (!secureOrigin) {
    // Over plain HTTP the secure cookies stay as they were, and nothing of the response stands
    // in front of them.
    for (const auto& twin : secure) {
      check(std::any_of(stored.begin(), stored.end(), [&](const HTTPCookie& cookie) {
        return cookie.name == twin.name && cookie.domain == twin.domain && cookie.path == "/" && cookie.isSecure &&
               cookie.value == "secure";
      }));
      for (const auto& cookie : stored) check(cookie.name != twin.name || cookie.isSecure);
    }
  }
  (void)storage.cookies(*url);
  (void)HTTPCookie::requestHeaderFieldsWithCookies(storage.cookies());
  return 0;
}
