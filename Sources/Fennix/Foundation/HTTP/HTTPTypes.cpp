#include "Fennix/Foundation/HTTP/HTTPTypes.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <ctime>
#include <libpsl.h>
#include <limits>
#include <string_view>
#include <tuple>

#include "Fennix/console/Console.h"

namespace {

std::string lowercased(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) { return lowercased(a) == lowercased(b); }

std::string trimmed(const std::string& text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isSpace(text[begin])) ++begin;
  while (end > begin && isSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

/// Seconds a date can be moved by without leaving the clock's range (about 200 years).
constexpr long long maximumOffsetSeconds = 200LL * 366 * 24 * 3600;

}  // namespace

std::string NSError::description() const {
  std::string text = "Error Domain=" + domain_ + " Code=" + std::to_string(code_);
  if (!localizedDescription_.empty()) text += " \"" + localizedDescription_ + "\"";
  return text;
}

// ---------------------------------------------------------------------------
// Dates and names

namespace Fennix {

namespace {

/// The bytes that separate the tokens of a cookie date: tab, space, and the marks other than ":".
bool isDateDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2f) || (c >= 0x3b && c <= 0x40) || (c >= 0x5b && c <= 0x60) ||
         (c >= 0x7b && c <= 0x7e);
}

/// The number the token starts with when it starts with `least` to `most` digits (and whatever
/// follows is no digit), from `position` on; `position` moves past the digits.
std::optional<int> leadingNumber(const std::string& token, std::size_t& position, std::size_t least, std::size_t most) {
  std::size_t end = position;
  while (end < token.size() && std::isdigit(static_cast<unsigned char>(token[end]))) ++end;
  if (end - position < least || end - position > most) return std::nullopt;
  const int number = std::stoi(token.substr(position, end - position));
  position = end;
  return number;
}

/// "h:m:s" with one or two digits each, followed by nothing or by anything but a digit.
std::optional<std::tuple<int, int, int>> timeOfToken(const std::string& token) {
  std::size_t position = 0;
  int fields[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (position >= token.size() || token[position] != ':') return std::nullopt;
      ++position;
    }
    const auto number = leadingNumber(token, position, 1, 2);
    if (!number) return std::nullopt;
    fields[i] = *number;
  }
  return std::make_tuple(fields[0], fields[1], fields[2]);
}

}  // namespace

std::optional<Date> parseHTTPDate(const std::string& text) {
  // The cookie date algorithm: tokens between delimiters; the first time, day of month, month
  // and year found are used, each token counting for the first of them it can be.
  std::optional<int> hour, minute, second, day, month, year;
  static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  std::size_t position = 0;
  while (position < text.size()) {
    while (position < text.size() && isDateDelimiter(static_cast<unsigned char>(text[position]))) ++position;
    std::size_t end = position;
    while (end < text.size() && !isDateDelimiter(static_cast<unsigned char>(text[end]))) ++end;
    const std::string token = text.substr(position, end - position);
    position = end;
    if (token.empty()) continue;
    if (!hour) {
      if (const auto time = timeOfToken(token)) {
        std::tie(hour, minute, second) = *time;
        continue;
      }
    }
    std::size_t digits = 0;
    if (!day) {
      if (const auto number = leadingNumber(token, digits, 1, 2)) {
        day = number;
        continue;
      }
    }
    if (!month && token.size() >= 3) {
      const std::string prefix = lowercased(token.substr(0, 3));
      for (int i = 0; i < 12; ++i) {
        if (prefix == months[i]) month = i + 1;
      }
      if (month) continue;
    }
    digits = 0;
    if (!year) {
      if (const auto number = leadingNumber(token, digits, 2, 4)) {
        year = number;
        continue;
      }
    }
  }
  if (!hour || !day || !month || !year) return std::nullopt;
  int fullYear = *year;
  if (fullYear >= 70 && fullYear <= 99) fullYear += 1900;
  if (fullYear >= 0 && fullYear <= 69) fullYear += 2000;
  if (*day < 1 || *day > 31 || fullYear < 1601 || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
  // A day the month does not have names no day ("31 Apr", "29 Feb" outside leap years).
  static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (fullYear % 4 == 0 && fullYear % 100 != 0) || fullYear % 400 == 0;
  if (*day > monthDays[*month - 1] + (*month == 2 && leap ? 1 : 0)) return std::nullopt;
  std::tm parts{};
  parts.tm_year = fullYear - 1900;
  parts.tm_mon = *month - 1;
  parts.tm_mday = *day;
  parts.tm_hour = *hour;
  parts.tm_min = *minute;
  parts.tm_sec = *second;
  // Servers write far dates such as the year 9999 for cookies that should not expire; dates are
  // kept within about ±285 years of 1970, so such dates are brought to those ends.
  const long long seconds = std::clamp<long long>(timegm(&parts), -dateLimitUnixSeconds, dateLimitUnixSeconds);
  return DateClock::fromUnixSeconds(seconds);
}

std::string canonicalHeaderName(const std::string& name) {
  std::string result = name;
  bool upper = true;
  for (auto& c : result) {
    c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c)) : std::tolower(static_cast<unsigned char>(c)));
    upper = c == '-';
  }
  return result;
}

std::optional<HTTPRedirectType> redirectTypeFromRawValue(long statusCode) {
  switch (statusCode) {
    case 300: return HTTPRedirectType::multipleChoices;
    case 301: return HTTPRedirectType::movedPermanently;
    case 302: return HTTPRedirectType::found;
    case 303: return HTTPRedirectType::seeOther;
    case 307: return HTTPRedirectType::temporary;
    default: return std::nullopt;
  }
}

}  // namespace Fennix

// ---------------------------------------------------------------------------
// URLRequest

std::optional<std::string> URLRequest::value(const std::string& forHTTPHeaderField) const {
  for (const auto& [name, text] : headers_) {
    if (equalsIgnoringCase(name, forHTTPHeaderField)) return text;
  }
  return std::nullopt;
}

void URLRequest::setValue(const std::optional<std::string>& value, const std::string& forHTTPHeaderField) {
  auto found = std::find_if(headers_.begin(), headers_.end(),
                            [&](const auto& field) { return equalsIgnoringCase(field.first, forHTTPHeaderField); });
  if (!value) {
    if (found != headers_.end()) headers_.erase(found);
    return;
  }
  if (found != headers_.end()) {
    found->second = *value;
  } else {
    headers_.emplace_back(forHTTPHeaderField, *value);
  }
}

void URLRequest::setCookies(const std::vector<HTTPCookie>& cookies, bool replace) {
  if (replace) setValue(std::nullopt, "Cookie");
  for (const auto& [name, text] : HTTPCookie::requestHeaderFieldsWithCookies(cookies)) setValue(text, name);
}

// ---------------------------------------------------------------------------
// Responses

std::string URLResponse::description() const {
  return "<URLResponse " + (url_ ? url_->absoluteString() : std::string("<nil>")) + ">";
}

std::string HTTPURLResponse::description() const {
  return "<HTTPURLResponse " + (url() ? url()->absoluteString() : std::string("<nil>")) + " " +
         std::to_string(statusCode_) + ">";
}

std::optional<URL> HTTPURLResponse::redirectURL() const {
  if (!isRedirect()) return std::nullopt;
  for (const auto& [key, value] : headers_) {
    if (key.kind() == Fennix::AnyKind::string && key.text() == "Location") {
      if (value.kind() != Fennix::AnyKind::string) return std::nullopt;
      return URL::fromString(value.text());
    }
  }
  return std::nullopt;
}

std::vector<std::string> HTTPURLResponse::header(const std::string& name) const {
  const std::string wanted = lowercased(name);
  std::vector<std::string> values;
  for (const auto& [key, value] : headers_) {
    if (key.kind() != Fennix::AnyKind::string || lowercased(key.text()) != wanted) continue;
    values.push_back(value.kind() == Fennix::AnyKind::string ? value.text() : value.description());
  }
  return values;
}

std::optional<std::string> HTTPURLResponse::firstHeader(const std::string& name) const {
  const std::string wanted = lowercased(name);
  for (const auto& [key, value] : headers_) {
    if (key.kind() != Fennix::AnyKind::string || lowercased(key.text()) != wanted) continue;
    return value.kind() == Fennix::AnyKind::string ? value.text() : value.description();
  }
  return std::nullopt;
}

std::optional<Fennix::Date> HTTPURLResponse::retryAfter() const {
  auto field = firstHeader("Retry-After");
  if (!field) return std::nullopt;
  const std::string text = trimmed(*field);
  if (text.empty()) return std::nullopt;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (*begin == '+') ++begin;
  if (begin != end && *begin == '-' && begin != text.data()) begin = end;  // "+-5" has two signs
  long long seconds = 0;
  auto [next, failure] = std::from_chars(begin, end, seconds);
  // Too many digits for an integer, or more seconds than a date can be moved by, is unreadable.
  if (begin == end || failure != std::errc() || next != end || seconds > maximumOffsetSeconds ||
      seconds < -maximumOffsetSeconds) {
    console::warn("could not parse retry-after header:", text);
    return std::nullopt;
  }
  return Fennix::DateClock::now() + std::chrono::seconds(seconds);
}

std::vector<HTTPCookie> HTTPURLResponse::setCookiesUsingURL(const URL& url) const {
  std::vector<std::string> texts;
  for (const auto& [key, value] : headers_) {
    if (key.kind() != Fennix::AnyKind::string || key.text() != "Set-Cookie") continue;
    if (value.kind() == Fennix::AnyKind::string) {
      texts.push_back(value.text());
    } else if (value.kind() == Fennix::AnyKind::array) {
      for (const auto& element : value.elements()) {
        if (element.kind() != Fennix::AnyKind::string) return {};
        texts.push_back(element.text());
      }
    }
    break;
  }
  std::vector<HTTPCookie> cookies;
  for (const auto& text : texts) {
    auto found = HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", text}}, url);
    cookies.insert(cookies.end(), found.begin(), found.end());
  }
  return cookies;
}

// ---------------------------------------------------------------------------
// Cookies

namespace {

/// Whether a host is an IP address rather than a domain name: an IPv6 literal (the URL gives it
/// without brackets) or a name whose last label is a number, as resolvers read "127.1" or "0x7f.1".
bool isIPAddress(std::string_view host) {
  if (host.find(':') != std::string_view::npos) return true;
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  const auto dot = host.rfind('.');
  std::string_view last = dot == std::string_view::npos ? host : host.substr(dot + 1);
  if (last.empty()) return false;
  if (last.size() >= 2 && last[0] == '0' && (last[1] == 'x' || last[1] == 'X')) {
    return std::all_of(last.begin() + 2, last.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
  }
  return std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// Whether `domain` is a public suffix ("com", "co.uk", "github.io"), under which anyone may
/// register a name, by the public suffix list built into libpsl. A name of a top-level domain the
/// list does not know counts as one.
bool isPublicSuffix(std::string domain) {
  if (!domain.empty() && domain.back() == '.') domain.pop_back();
  if (domain.empty()) return true;
  const psl_ctx_t* list = psl_builtin();
  if (!list) return true;  // without the list no domain is known to be safe
  return psl_is_public_suffix(list, domain.c_str()) != 0;
}

/// Whether a response from `host` may set a cookie for `domain` (a name the host is or lies under):
/// the domain must lie at or below the host's registrable domain, by libpsl's rule. Neither a
/// public suffix ("co.uk") nor a name above the suffix the host is registered under
/// ("nordland.no" above "heroy.nordland.no" for "shop.heroy.nordland.no") is one site.
bool isCookieDomainAcceptable(const std::string& host, const std::string& domain) {
  const psl_ctx_t* list = psl_builtin();
  if (!list) return false;  // without the list no domain is known to be safe
  return psl_is_cookie_domain_acceptable(list, host.c_str(), domain.c_str()) != 0;
}

/// A host matches a domain when it is the domain or a name under it; an IP address only matches
/// itself.
bool domainMatches(const std::string& host, const std::string& domain) {
  if (host == domain) return true;
  if (isIPAddress(host)) return false;
  return host.size() > domain.size() && host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
         host[host.size() - domain.size() - 1] == '.';
}

bool pathMatches(const std::string& requestPath, const std::string& cookiePath) {
  if (requestPath == cookiePath) return true;
  if (requestPath.compare(0, cookiePath.size(), cookiePath) != 0) return false;
  return (!cookiePath.empty() && cookiePath.back() == '/') ||
         (requestPath.size() > cookiePath.size() && requestPath[cookiePath.size()] == '/');
}

std::string defaultPath(const URL& url) {
  const std::string path = url.path();
  if (path.empty() || path[0] != '/') return "/";
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool isTokenCharacter(char c) {
  static constexpr std::string_view marks = "!#$%&'*+-.^_`|~";
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         marks.find(c) != std::string_view::npos;
}

/// Whether a byte may stand in a cookie's value (RFC 6265 §4.1.1): visible ASCII but for the
/// double quote, comma, semicolon and backslash.
bool isCookieOctet(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x21 && byte <= 0x7e && c != '"' && c != ',' && c != ';' && c != '\\';
}

/// Why the cookie cannot go into a "Cookie" field as one "name=value" pair, none when it can: a
/// name that is not a token, or a value other than cookie octets (optionally in double quotes).
/// Anything else would let the value end the pair and start another, or break the line.
std::optional<std::string> cookieFault(const HTTPCookie& cookie) {
  if (cookie.name.empty() || !std::all_of(cookie.name.begin(), cookie.name.end(), isTokenCharacter)) {
    return "its name is not a token";
  }
  std::string_view value = cookie.value;
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  if (!std::all_of(value.begin(), value.end(), isCookieOctet)) return "its value holds a byte a cookie value cannot";
  return std::nullopt;
}

/// Logs the refusal of a cookie; none when it is sound.
bool refusedCookie(const HTTPCookie& cookie, const char* from) {
  const auto fault = cookieFault(cookie);
  if (!fault) return false;
  console::warn(std::string("refused a cookie ") + from + " for " + cookie.domain + ":", *fault);
  return true;
}

/// The most bytes of a cookie's name and value together: a longer cookie is refused whole. An
/// attribute whose value is longer than `maximumAttributeBytes` is ignored.
constexpr std::size_t maximumNameAndValueBytes = 4096;
constexpr std::size_t maximumAttributeBytes = 1024;

/// Control characters but for the tab: text holding one is no cookie at all.
bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && c != '\t') || byte == 0x7f;
}

std::string trimmedOfBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool startsWithIgnoringCase(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), std::string(prefix));
}

/// The seconds of a "Max-Age" value: an optional "-" and digits only, none otherwise. Values past
/// what a date can be moved by are brought to that bound on their side of zero.
std::optional<long long> maxAgeSeconds(const std::string& value) {
  const bool negative = !value.empty() && value[0] == '-';
  const std::string digits = negative ? value.substr(1) : value;
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  unsigned long long magnitude = 0;
  const auto [next, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
  const auto bound = static_cast<unsigned long long>(maximumOffsetSeconds);
  if (failure != std::errc() || magnitude > bound) magnitude = bound;
  const auto seconds = static_cast<long long>(magnitude);
  return negative ? -seconds : seconds;
}

void logRefusal(const std::string& host, const std::string& reason) {
  console::warn("refused a cookie a response set for " + host + ":", reason);
}

std::optional<HTTPCookie> parseCookie(const std::string& text, const URL& url) {
  const auto host = url.host();
  if (!host || host->empty()) return std::nullopt;
  if (std::any_of(text.begin(), text.end(), isControl)) {
    logRefusal(*host, "it holds a control character");
    return std::nullopt;
  }
  std::vector<std::string> parts;
  std::size_t position = 0;
  while (position <= text.size()) {
    auto end = text.find(';', position);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(position, end - position));
    position = end + 1;
  }
  const auto equals = parts[0].find('=');
  if (equals == std::string::npos) return std::nullopt;
  HTTPCookie cookie;
  cookie.name = trimmedOfBlanks(parts[0].substr(0, equals));
  cookie.value = trimmedOfBlanks(parts[0].substr(equals + 1));
  if (cookie.name.empty()) return std::nullopt;
  if (cookie.name.size() + cookie.value.size() > maximumNameAndValueBytes) {
    logRefusal(*host, "its name and value are longer than " + std::to_string(maximumNameAndValueBytes) + " bytes");
    return std::nullopt;
  }
  cookie.domain = *host;
  cookie.isHostOnly = true;
  cookie.path = defaultPath(url);
  // Of attributes given more than once, the last one counts.
  std::optional<std::string> domainAttribute;
  bool pathGiven = false;
  std::optional<Fennix::Date> expires;
  std::optional<Fennix::Date> maxAge;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const auto attributeEquals = parts[i].find('=');
    const std::string attribute = lowercased(trimmedOfBlanks(parts[i].substr(0, attributeEquals)));
    const std::string value = attributeEquals == std::string::npos ? "" : trimmedOfBlanks(parts[i].substr(attributeEquals + 1));
    if (value.size() > maximumAttributeBytes) continue;
    if (attribute == "domain" && !value.empty()) {
      domainAttribute = value;
    } else if (attribute == "path") {
      pathGiven = true;
      cookie.path = !value.empty() && value[0] == '/' ? value : defaultPath(url);
    } else if (attribute == "expires") {
      if (auto date = Fennix::parseHTTPDate(value)) expires = date;
    } else if (attribute == "max-age") {
      // No time at all, or less, expires the cookie at once: at the earliest date there is.
      if (const auto seconds = maxAgeSeconds(value)) {
        maxAge = *seconds <= 0 ? Fennix::DateClock::fromUnixSeconds(-Fennix::dateLimitUnixSeconds)
                               : Fennix::DateClock::now() + std::chrono::seconds(*seconds);
      }
    } else if (attribute == "secure") {
      cookie.isSecure = true;
    } else if (attribute == "httponly") {
      cookie.isHTTPOnly = true;
    }
  }
  // "Domain=." names no domain once its dot is gone: the cookie stays with the host.
  const std::string domain =
      domainAttribute ? lowercased((*domainAttribute)[0] == '.' ? domainAttribute->substr(1) : *domainAttribute) : "";
  if (!domain.empty()) {
    if (!domainMatches(*host, domain)) return std::nullopt;
    if (domain == *host && (isIPAddress(domain) || isPublicSuffix(domain))) {
      // A site whose host is itself an IP address or a public suffix may only set cookies for
      // that host.
      cookie.domain = domain;
    } else {
      // A public suffix would send the cookie to every site registered under it, and a name
      // above the host's registrable domain to sites other than the host's.
      if (isPublicSuffix(domain) || !isCookieDomainAcceptable(*host, domain)) {
        logRefusal(*host, "its domain " + domain + " lies above the site of the host");
        return std::nullopt;
      }
      // A domain attribute, with or without its leading dot, and even when it names the host
      // itself, shares the cookie with every name under that domain.
      cookie.isHostOnly = false;
      cookie.domain = "." + domain;
    }
  }
  cookie.expiresDate = maxAge ? maxAge : expires;
  // A name with one of these prefixes promises the cookie came over a secure connection and is
  // marked secure; "__Host-" also that it belongs to the host alone, for all of its paths.
  const bool secureOrigin = url.scheme() == "https";
  if (startsWithIgnoringCase(cookie.name, "__Secure-") && !(cookie.isSecure && secureOrigin)) {
    logRefusal(*host, "a name starting with __Secure- needs the Secure attribute and a secure connection");
    return std::nullopt;
  }
  if (startsWithIgnoringCase(cookie.name, "__Host-") &&
      !(cookie.isSecure && secureOrigin && !domainAttribute && pathGiven && cookie.path == "/")) {
    logRefusal(*host, "a name starting with __Host- needs the Secure attribute, a secure connection, Path=/ and no Domain");
    return std::nullopt;
  }
  if (refusedCookie(cookie, "a response set")) return std::nullopt;
  return cookie;
}

/// Whether a request to `host` carries the cookie, path and scheme aside.
bool cookieMatchesHost(const HTTPCookie& cookie, const std::string& host) {
  const std::string& domain = cookie.domain;
  const bool domainCookie = !cookie.isHostOnly && !domain.empty() && domain[0] == '.';
  if (domainCookie ? !domainMatches(host, domain.substr(1)) : host != domain) return false;
  return !(domainCookie && isPublicSuffix(domain.substr(1)));
}

/// The site a cookie's domain or a host belongs to: its registrable domain ("example.co.uk" for
/// "www.example.co.uk"), or the name itself for an IP address, a public suffix or a name the
/// suffix list cannot place. Every host a cookie matches belongs to the cookie's site.
std::string siteOf(const std::string& name) {
  std::string domain = lowercased(name);
  while (!domain.empty() && domain[0] == '.') domain.erase(0, 1);
  if (domain.empty() || isIPAddress(domain)) return domain;
  if (const psl_ctx_t* list = psl_builtin()) {
    if (const char* registrable = psl_registrable_domain(list, domain.c_str())) return registrable;
  }
  return domain;
}

}  // namespace

bool HTTPCookie::matches(const URL& url) const {
  const auto host = url.host();
  if (!host || !cookieMatchesHost(*this, *host)) return false;
  std::string requestPath = url.path();
  if (requestPath.empty()) requestPath = "/";
  if (!pathMatches(requestPath, path)) return false;
  return !isSecure || url.scheme() == "https";
}

std::string HTTPCookie::description() const {
  return "<HTTPCookie " + name + "=" + value + "; domain=" + domain + "; path=" + path + ">";
}

std::vector<HTTPCookie> HTTPCookie::cookiesWithResponseHeaderFields(
    const std::vector<std::pair<std::string, std::string>>& headerFields, const URL& url) {
  std::vector<HTTPCookie> cookies;
  for (const auto& [name, text] : headerFields) {
    if (!equalsIgnoringCase(name, "Set-Cookie")) continue;
    if (auto cookie = parseCookie(text, url)) cookies.push_back(std::move(*cookie));
  }
  return cookies;
}

std::vector<std::pair<std::string, std::string>> HTTPCookie::requestHeaderFieldsWithCookies(
    const std::vector<HTTPCookie>& cookies) {
  std::string text;
  for (const auto& cookie : cookies) {
    if (refusedCookie(cookie, "for a request")) continue;
    if (!text.empty()) text += "; ";
    text += cookie.name + "=" + cookie.value;
  }
  if (text.empty()) return {};
  return {{"Cookie", text}};
}

const std::shared_ptr<HTTPCookieStorage>& HTTPCookieStorage::shared() {
  // Never destroyed: transfers on threads that outlive main() may still store cookies.
  static const auto& storage = *new const std::shared_ptr<HTTPCookieStorage>(std::make_shared<HTTPCookieStorage>());
  return storage;
}

std::vector<HTTPCookie> HTTPCookieStorage::cookies() const {
  const auto now = Fennix::DateClock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<HTTPCookie> all;
  all.reserve(cookies_.size());
  for (const auto& [sequence, cookie] : cookies_) {
    if (!cookie.isExpired(now)) all.push_back(cookie);
  }
  return all;
}

std::vector<HTTPCookie> HTTPCookieStorage::cookies(const URL& forURL) const {
  const auto host = forURL.host();
  if (!host) return {};
  const std::string site = siteOf(*host);
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = foundForHostLocked(site, *host, Fennix::DateClock::now());
  std::erase_if(found, [&](const Found& entry) { return !entry.cookie.matches(forURL); });
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.cookie.path.size() != b.cookie.path.size() ? a.cookie.path.size() > b.cookie.path.size() : a.created < b.created;
  });
  std::vector<HTTPCookie> matching;
  matching.reserve(found.size());
  for (auto& entry : found) {
    touchLocked(entry.sequence);
    matching.push_back(std::move(entry.cookie));
  }
  return matching;
}

std::vector<HTTPCookie> HTTPCookieStorage::cookiesForHost(const std::string& host) const {
  const std::string site = siteOf(host);
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<HTTPCookie> matching;
  for (auto& entry : foundForHostLocked(site, host, Fennix::DateClock::now())) matching.push_back(std::move(entry.cookie));
  return matching;
}

std::vector<HTTPCookieStorage::Found> HTTPCookieStorage::foundForHostLocked(const std::string& site, const std::string& host,
                                                                           Fennix::Date now) const {
  std::vector<Found> matching;
  const auto found = bySite_.find(site);
  if (found == bySite_.end()) return matching;
  for (const auto sequence : found->second) {
    const auto& cookie = cookies_.at(sequence);
    if (!cookie.isExpired(now) && cookieMatchesHost(cookie, host)) matching.push_back({sequence, createdAs_.at(sequence), cookie});
  }
  return matching;
}

void HTTPCookieStorage::touchLocked(std::uint64_t sequence) const {
  const auto last = lastUse_.find(sequence);
  if (last == lastUse_.end()) return;
  auto& byUse = byUse_[cookies_.at(sequence).isSecure ? 1 : 0];
  byUse.erase({last->second, sequence});
  last->second = nextUse_++;
  byUse.emplace(last->second, sequence);
}

void HTTPCookieStorage::removeLocked(std::uint64_t sequence) {
  const auto found = cookies_.find(sequence);
  if (found == cookies_.end()) return;
  const HTTPCookie& cookie = found->second;
  byKey_.erase({cookie.name, cookie.domain, cookie.path});
  const auto site = bySite_.find(siteOf(cookie.domain));
  if (site != bySite_.end()) {
    site->second.erase(sequence);
    if (site->second.empty()) bySite_.erase(site);
  }
  if (cookie.expiresDate) byExpiry_.erase({*cookie.expiresDate, sequence});
  createdAs_.erase(sequence);
  if (const auto last = lastUse_.find(sequence); last != lastUse_.end()) {
    byUse_[cookie.isSecure ? 1 : 0].erase({last->second, sequence});
    lastUse_.erase(last);
  }
  cookies_.erase(found);
}

void HTTPCookieStorage::removeExpiredLocked(Fennix::Date now) {
  while (!byExpiry_.empty() && byExpiry_.begin()->first <= now) removeLocked(byExpiry_.begin()->second);
}

void HTTPCookieStorage::setCookie(const HTTPCookie& cookie) {
  if (refusedCookie(cookie, "given to the store")) return;
  std::lock_guard<std::mutex> lock(mutex_);
  storeLocked(cookie);
}

void HTTPCookieStorage::setCookies(const std::vector<HTTPCookie>& cookies, const URL& url) {
  const bool secureOrigin = url.scheme() == "https";
  for (const auto& cookie : cookies) {
    if (refusedCookie(cookie, "given to the store")) continue;
    const std::string host = url.host().value_or("");
    if (cookie.isSecure && !secureOrigin) {
      console::warn("refused a cookie a response set for " + host + ":", "a secure cookie needs a secure connection");
      continue;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // A secure cookie that has expired is gone, and guards its name no longer.
    removeExpiredLocked(Fennix::DateClock::now());
    if (!secureOrigin && shadowsSecureCookieLocked(cookie)) {
      console::warn("refused a cookie a response set for " + host + ":",
                    "a connection that is not secure cannot replace a secure cookie named " + cookie.name);
      continue;
    }
    storeLocked(cookie);
  }
}

bool HTTPCookieStorage::shadowsSecureCookieLocked(const HTTPCookie& cookie) const {
  const auto bare = [](const std::string& domain) { return !domain.empty() && domain[0] == '.' ? domain.substr(1) : domain; };
  const std::string domain = bare(cookie.domain);
  for (const auto& [sequence, stored] : cookies_) {
    if (!stored.isSecure || stored.name != cookie.name) continue;
    const std::string storedDomain = bare(stored.domain);
    if (!domainMatches(domain, storedDomain) && !domainMatches(storedDomain, domain)) continue;
    if (pathMatches(cookie.path, stored.path)) return true;
  }
  return false;
}

void HTTPCookieStorage::storeLocked(const HTTPCookie& cookie) {
  const auto now = Fennix::DateClock::now();
  const std::string site = siteOf(cookie.domain);
  std::optional<std::uint64_t> created;
  if (const auto same = byKey_.find({cookie.name, cookie.domain, cookie.path}); same != byKey_.end()) {
    created = createdAs_.at(same->second);
    removeLocked(same->second);
  }
  removeExpiredLocked(now);
  if (cookie.isExpired(now)) return;

  const std::uint64_t sequence = nextSequence_++;
  cookies_.emplace(sequence, cookie);
  byKey_.emplace(Key{cookie.name, cookie.domain, cookie.path}, sequence);
  createdAs_.emplace(sequence, created.value_or(sequence));
  bySite_[site].insert(sequence);
  if (cookie.expiresDate) byExpiry_.emplace(*cookie.expiresDate, sequence);
  lastUse_.emplace(sequence, nextUse_);
  byUse_[cookie.isSecure ? 1 : 0].emplace(nextUse_++, sequence);
  evictLocked(&site, maximumCookiesPerSite, sequence);
  evictLocked(nullptr, maximumCookies, sequence);
}

void HTTPCookieStorage::evictLocked(const std::string* site, std::size_t bound, std::uint64_t newest) {
  for (;;) {
    const auto ofSite = site != nullptr ? bySite_.find(*site) : bySite_.end();
    const std::size_t count = site != nullptr ? (ofSite != bySite_.end() ? ofSite->second.size() : 0) : cookies_.size();
    if (count <= bound) return;
    // Expired cookies are gone already: cookies that are not secure go before secure ones, each
    // the least recently used first.
    std::optional<std::pair<int, std::uint64_t>> least;  // secure, last use
    std::uint64_t victim = 0;
    if (site != nullptr) {
      for (const auto sequence : ofSite->second) {
        const std::pair<int, std::uint64_t> rank{cookies_.at(sequence).isSecure ? 1 : 0, lastUse_.at(sequence)};
        if (!least || rank < *least) {
          least = rank;
          victim = sequence;
        }
      }
    } else {
      victim = (!byUse_[0].empty() ? byUse_[0] : byUse_[1]).begin()->second;
    }
    if (victim == newest) {
      const auto& cookie = cookies_.at(victim);
      console::warn("no room for the cookie " + cookie.name + " of " + cookie.domain + ":",
                    site != nullptr ? "the other cookies of its site are secure" : "the other cookies of the store are secure");
    }
    removeLocked(victim);
  }
}

void HTTPCookieStorage::deleteCookie(const HTTPCookie& cookie) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (const auto found = byKey_.find({cookie.name, cookie.domain, cookie.path}); found != byKey_.end()) {
    removeLocked(found->second);
  }
}

std::optional<HTTPCookie> HTTPCookieStorage::cookie(const std::string& name) const {
  const auto now = Fennix::DateClock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& [sequence, stored] : cookies_) {
    if (stored.name == name && !stored.isExpired(now)) return stored;
  }
  return std::nullopt;
}

std::vector<HTTPCookie> HTTPCookieStorage::deleteCookiesWithName(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  removeExpiredLocked(Fennix::DateClock::now());
  std::vector<HTTPCookie> named;
  std::vector<std::uint64_t> sequences;
  for (const auto& [sequence, stored] : cookies_) {
    if (stored.name != name) continue;
    named.push_back(stored);
    sequences.push_back(sequence);
  }
  for (const auto sequence : sequences) removeLocked(sequence);
  return named;
}
