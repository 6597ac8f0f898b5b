// Requests, responses, cookies and the cookie store of the HTTP layer, with the helpers a client
// asks of a response: success, redirects, headers regardless of letter case, retry times, cookies.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Fennix/Foundation/BaseTypes/AnyValue.h"
#include "Fennix/Foundation/BaseTypes/TimedValue.h"
#include "Fennix/Foundation/HTTP/URL.h"
#include "Fennix/Foundation/Error.h"

namespace Fennix {
using Data = std::vector<std::uint8_t>;
}  // namespace Fennix

/// An error with a domain and a numeric code (URL loading errors use "NSURLErrorDomain").
class NSError : public Fennix::Error {
 public:
  static inline const std::string urlErrorDomain = "NSURLErrorDomain";

  NSError(std::string domain, long code, std::string localizedDescription = "")
      : domain_(std::move(domain)), code_(code), localizedDescription_(std::move(localizedDescription)) {}

  const std::string& domain() const { return domain_; }
  long code() const { return code_; }
  const std::string& localizedDescription() const { return localizedDescription_; }
  std::string description() const override;

 private:
  std::string domain_;
  long code_;
  std::string localizedDescription_;
};

/// The date format of HTTP dates.
inline const std::string HTTPDateFormat = "%a, %d %b %Y %H:%M:%S GMT";

namespace Fennix {
/// The moment an HTTP date names ("Sun, 06 Nov 1994 08:49:37 GMT" and the other forms servers
/// send for cookies), none when it names none.
std::optional<Date> parseHTTPDate(const std::string& text);
/// The header name in Title-Case: "content-type" gives "Content-Type".
std::string canonicalHeaderName(const std::string& name);
}  // namespace Fennix

class URLRequest {
 public:
  explicit URLRequest(URL address) : url(std::move(address)) {}

  std::optional<std::string> value(const std::string& forHTTPHeaderField) const;
  /// Sets a field, replacing one of the same name (any letter case); none removes it.
  void setValue(const std::optional<std::string>& value, const std::string& forHTTPHeaderField);
  const std::vector<std::pair<std::string, std::string>>& allHTTPHeaderFields() const { return headers_; }

  /// Puts the cookies into the "Cookie" field; with `replace`, an existing field goes first.
  void setCookies(const std::vector<class HTTPCookie>& cookies, bool replace);

  std::optional<URL> url;
  std::string httpMethod = "GET";
  std::optional<Fennix::Data> httpBody;
  /// Seconds without progress before the request fails: infinity waits for ever, other values
  /// wait at least 1 s and at most a day; a request with NaN or a negative value is refused.
  double timeoutInterval = 60.0;

 private:
  std::vector<std::pair<std::string, std::string>> headers_;
};

class URLResponse {
 public:
  explicit URLResponse(std::optional<URL> url) : url_(std::move(url)) {}
  virtual ~URLResponse() = default;
  const std::optional<URL>& url() const { return url_; }
  virtual std::string description() const;

 private:
  std::optional<URL> url_;
};

enum class HTTPRedirectType { multipleChoices = 300, movedPermanently = 301, found = 302, seeOther = 303, temporary = 307 };

namespace Fennix {
/// The redirect type of a status code; none for every other code (304 to 306 and 308 included).
std::optional<HTTPRedirectType> redirectTypeFromRawValue(long statusCode);
}  // namespace Fennix

class HTTPCookie;

class HTTPURLResponse : public URLResponse {
 public:
  /// The header fields, keys and values untyped (usually text; a field sent more than once, such
  /// as "Set-Cookie", may hold a list of texts), in the order received.
  using HeaderFields = Fennix::AnyValue::Dictionary;

  HTTPURLResponse(std::optional<URL> url, long statusCode, HeaderFields allHeaderFields)
      : URLResponse(std::move(url)), statusCode_(statusCode), headers_(std::move(allHeaderFields)) {}

  long statusCode() const { return statusCode_; }
  const HeaderFields& allHeaderFields() const { return headers_; }

  /// 200 to 299.
  bool isOK() const { return statusCode_ >= 200 && statusCode_ <= 299; }
  /// 300, 301, 302, 303 or 307.
  bool isRedirect() const { return redirectType().has_value(); }
  std::optional<HTTPRedirectType> redirectType() const { return Fennix::redirectTypeFromRawValue(statusCode_); }
  /// The "Location" field (exactly that name) of a redirect, as a URL of its own; none otherwise.
  std::optional<URL> redirectURL() const;

  /// Every value of the fields named `name` in any letter case (non-text values as their
  /// description).
  std::vector<std::string> header(const std::string& name) const;
  std::optional<std::string> firstHeader(const std::string& name) const;

  /// Now plus the seconds the "Retry-After" field gives; none without the field, for blank text,
  /// and (with a warning) for anything but a whole number of seconds that a date can hold.
  std::optional<Fennix::Date> retryAfter() const;

  /// The cookies the "Set-Cookie" field (exactly that name; a text or a list of texts) sets for `url`.
  std::vector<HTTPCookie> setCookiesUsingURL(const URL& url) const;

  std::string description() const override;

 private:
  long statusCode_;
  HeaderFields headers_;
};

class HTTPCookie {
 public:
  std::string name;
  std::string value;
  /// The host of a host-only cookie, or "." and the domain of a domain cookie.
  std::string domain;
  /// A cookie set without a domain attribute goes back to exactly the host that set it, whatever
  /// its domain text says; only a cookie without this flag whose domain starts with "." is sent to
  /// the names under that domain.
  bool isHostOnly = false;
  std::string path = "/";
  std::optional<Fennix::Date> expiresDate;
  bool isSecure = false;
  bool isHTTPOnly = false;

  bool isSessionOnly() const { return !expiresDate.has_value(); }
  bool isExpired(Fennix::Date now) const { return expiresDate && *expiresDate <= now; }
  /// Whether a request to `url` carries this cookie.
  bool matches(const URL& url) const;
  std::string description() const;

  /// The cookies of "Set-Cookie" fields of a response from `url`; malformed cookies, cookies for
  /// another domain and (with a log line) cookies for a domain above the host's registrable
  /// domain (a public suffix, or a name above the suffix the host is registered under, as
  /// "nordland.no" is for "shop.heroy.nordland.no"), cookies whose name is not a token or whose
  /// value holds other than cookie octets, fields holding a control character, names and values
  /// of more than 4096 bytes together, and names starting with "__Secure-" or "__Host-" (in any
  /// letter case) without the Secure attribute from an https URL (for "__Host-" also without
  /// "Path=/" or with a "Domain") are left out. An attribute value of more than 1024 bytes is
  /// ignored; of an attribute given twice the last counts; a negative "Max-Age" of any size
  /// expires the cookie.
  static std::vector<HTTPCookie> cookiesWithResponseHeaderFields(
      const std::vector<std::pair<std::string, std::string>>& headerFields, const URL& url);
  /// The request fields that carry the cookies: "Cookie" with "name=value" pairs joined by "; ";
  /// no field for no cookies. A cookie the store would refuse is left out, with a log line.
  static std::vector<std::pair<std::string, std::string>> requestHeaderFieldsWithCookies(
      const std::vector<HTTPCookie>& cookies);
};

/// The cookies kept between requests. A cookie replaces one of the same name, domain and path;
/// an expired one removes it, and a cookie that has expired is no longer in the store for any of
/// its questions. The store is bounded as the cookie rules say: a site (a registrable domain with
/// the names under it) keeps 50 cookies and the store 3000; past a bound, expired cookies go
/// first, then cookies that are not secure, then secure ones, each the least recently used first
/// (used: set, or handed out for a request by `cookies(forURL)`). A cookie that is not secure
/// therefore never pushes out a secure one: where its site or the store holds only secure cookies
/// beside it, it is the one that goes, with a log line.
class HTTPCookieStorage {
 public:
  static constexpr std::size_t maximumCookiesPerSite = 50;
  static constexpr std::size_t maximumCookies = 3000;

  static const std::shared_ptr<HTTPCookieStorage>& shared();

  /// Every cookie, in the order they were set (a replaced cookie counts as set anew).
  std::vector<HTTPCookie> cookies() const;
  /// The cookies a request to `url` carries, longer paths first, and of paths of one length the
  /// one created first (a cookie that replaced another keeps that one's creation). Each counts as
  /// used now.
  std::vector<HTTPCookie> cookies(const URL& forURL) const;
  /// The cookies whose domain matches `host`, whatever their path, in the order set; found
  /// without looking at the cookies of other sites.
  std::vector<HTTPCookie> cookiesForHost(const std::string& host) const;
  /// Stores the cookie; one whose name is not an HTTP token, or whose value holds other than the
  /// visible ASCII a cookie value may (none of `"`, `,`, `;`, `\`; the whole value may stand in
  /// double quotes), is refused with a log line, as it would break the "Cookie" field it goes in.
  void setCookie(const HTTPCookie& cookie);
  /// Stores the cookies a response from `url` set, as a response may: a secure cookie only from
  /// a secure (https) URL; from any other URL, no cookie that would replace, delete or stand in
  /// front of a secure cookie of the same name (one whose domain matches the new cookie's, either
  /// way round, and whose path the new cookie's path lies under). Each refusal is logged.
  void setCookies(const std::vector<HTTPCookie>& cookies, const URL& url);
  void deleteCookie(const HTTPCookie& cookie);

  /// The first stored cookie named exactly `name`.
  std::optional<HTTPCookie> cookie(const std::string& name) const;
  /// Deletes every cookie named exactly `name` and returns them.
  std::vector<HTTPCookie> deleteCookiesWithName(const std::string& name);

 private:
  using Key = std::tuple<std::string, std::string, std::string>;  // name, domain, path
  /// A stored cookie with its sequence number and when it was created.
  struct Found {
    std::uint64_t sequence;
    std::uint64_t created;
    HTTPCookie cookie;
  };
  void removeLocked(std::uint64_t sequence);
  void removeExpiredLocked(Fennix::Date now);
  void storeLocked(const HTTPCookie& cookie);
  /// Removes cookies of the site (or of the whole store, with none) until it is within `bound`.
  void evictLocked(const std::string* site, std::size_t bound, std::uint64_t newest);
  void touchLocked(std::uint64_t sequence) const;
  bool shadowsSecureCookieLocked(const HTTPCookie& cookie) const;
  /// The unexpired cookies whose domain matches `host`, in the order set.
  std::vector<Found> foundForHostLocked(const std::string& site, const std::string& host, Fennix::Date now) const;

  mutable std::mutex mutex_;
  std::uint64_t nextSequence_ = 0;
  /// The cookies by the order they were set in.
  std::map<std::uint64_t, HTTPCookie> cookies_;
  std::map<Key, std::uint64_t> byKey_;
  std::map<std::string, std::set<std::uint64_t>> bySite_;
  std::set<std::pair<Fennix::Date, std::uint64_t>> byExpiry_;
  /// For each cookie, the sequence number of the first cookie of its name, domain and path that
  /// it replaced (or its own): when it was created, for the order of the "Cookie" field.
  std::map<std::uint64_t, std::uint64_t> createdAs_;
  /// When each cookie was last used, by a count that grows with every use; and the cookies by
  /// that count, those that are not secure and the secure ones apart, the least recently used
  /// first. A request that carries a cookie uses it, hence mutable.
  mutable std::uint64_t nextUse_ = 0;
  mutable std::map<std::uint64_t, std::uint64_t> lastUse_;
  mutable std::set<std::pair<std::uint64_t, std::uint64_t>> byUse_[2];
};
