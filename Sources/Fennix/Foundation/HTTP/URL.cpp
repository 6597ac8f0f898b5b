#include "Fennix/Foundation/HTTP/URL.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

/// Whether the text may stand as a URL reference: printable ASCII without the characters that
/// must always be escaped, and complete percent escapes.
bool isValidReference(std::string_view text) {
  if (text.empty()) return false;
  static const std::string_view forbidden = " \"<>\\^`{|}";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c <= 0x20 || c >= 0x7f) return false;
    if (forbidden.find(static_cast<char>(c)) != std::string_view::npos) return false;
    if (c == '%') {
      if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) return false;
    }
  }
  // A scheme, when there is one, is a letter followed by letters, digits, "+", "-" or ".".
  const auto colon = text.find(':');
  const auto delimiter = text.find_first_of("/?#");
  if (colon != std::string_view::npos && (delimiter == std::string_view::npos || colon < delimiter)) {
    if (colon == 0 || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    for (std::size_t i = 1; i < colon; ++i) {
      const char c = text[i];
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    }
  }
  return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// Whether the name's last label is a number, decimal or "0x" and hex digits: resolvers and
/// libcurl read such a name as an IPv4 address, in any of its spellings ("127.1", "0x7f.0.0.1",
/// "127.0.0.01", "2130706433").
bool endsInANumber(std::string_view host) {
  const auto dot = host.rfind('.');
  const std::string_view last = dot == std::string_view::npos ? host : host.substr(dot + 1);
  if (last.size() >= 2 && last[0] == '0' && (last[1] == 'x' || last[1] == 'X')) {
    return std::all_of(last.begin() + 2, last.end(), isHex);
  }
  return !last.empty() && std::all_of(last.begin(), last.end(), isDigit);
}

/// Whether the name is an IPv4 address in the one spelling kept: four decimal numbers of 0 to
/// 255 without leading zeros, as the system writes it.
bool isCanonicalIPv4(const std::string& host) {
  in_addr address{};
  char written[INET_ADDRSTRLEN] = "";
  return ::inet_pton(AF_INET, host.c_str(), &address) == 1 &&
         ::inet_ntop(AF_INET, &address, written, sizeof written) != nullptr && host == written;
}

/// The host of an authority ("user@host:port"), lowercased, an IPv6 address in the system's
/// canonical form ("0:0::1" is "::1"); none when the authority is malformed: an unclosed or
/// misplaced bracket, an IP literal that is no IPv6 address or one that maps an IPv4 address, an
/// empty label, a leading or trailing dot, a character a host name cannot hold, a name read as an
/// IPv4 address that is not spelt as four decimal numbers of 0 to 255 without leading zeros, or a
/// port that is not a number. One address is thus one host, whichever spelling reached the
/// parser: the cookies of a host and the connection to it agree. An empty authority has the empty
/// host.
std::optional<std::string> hostOfAuthority(std::string_view authority) {
  if (auto at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);
  std::string_view host = authority;
  std::string_view port;
  std::string canonical;
  if (!authority.empty() && authority[0] == '[') {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
    const auto rest = authority.substr(close + 1);
    if (!rest.empty() && rest[0] != ':') return std::nullopt;
    if (!rest.empty()) port = rest.substr(1);
    // Between the brackets stands an IPv6 address and nothing else (not a name that happens to
    // be spelt with hex digits and dots).
    in6_addr address{};
    char written[INET6_ADDRSTRLEN] = "";
    if (host.empty() || host.size() >= INET6_ADDRSTRLEN ||
        ::inet_pton(AF_INET6, std::string(host).c_str(), &address) != 1 ||
        ::inet_ntop(AF_INET6, &address, written, sizeof written) == nullptr) {
      return std::nullopt;
    }
    // One that maps an IPv4 address ("::ffff:7f00:1") is another spelling of that address,
    // which libcurl reaches through it.
    if (IN6_IS_ADDR_V4MAPPED(&address)) return std::nullopt;
    canonical = written;
  } else {
    if (auto colon = authority.rfind(':'); colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
    if (!host.empty()) {
      if (host.front() == '.' || host.back() == '.' || host.find("..") != std::string_view::npos) return std::nullopt;
      const bool nameCharacters = std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
      });
      if (!nameCharacters) return std::nullopt;
    }
    canonical = host;
    for (auto& c : canonical) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (endsInANumber(canonical) && !isCanonicalIPv4(canonical)) return std::nullopt;
  }
  if (!std::all_of(port.begin(), port.end(), isDigit)) return std::nullopt;
  return canonical;
}

struct Parts {
  std::optional<std::string> scheme;
  std::optional<std::string> authority;
  std::string path;
  std::optional<std::string> query;
  std::optional<std::string> fragment;
};

Parts split(std::string_view text) {
  Parts parts;
  if (auto hash = text.find('#'); hash != std::string_view::npos) {
    parts.fragment = std::string(text.substr(hash + 1));
    text = text.substr(0, hash);
  }
  if (auto question = text.find('?'); question != std::string_view::npos) {
    parts.query = std::string(text.substr(question + 1));
    text = text.substr(0, question);
  }
  const auto colon = text.find(':');
  const auto slash = text.find('/');
  if (colon != std::string_view::npos && (slash == std::string_view::npos || colon < slash)) {
    parts.scheme = std::string(text.substr(0, colon));
    text = text.substr(colon + 1);
  }
  if (text.substr(0, 2) == "//") {
    text = text.substr(2);
    const auto end = text.find('/');
    parts.authority = std::string(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end);
  }
  parts.path = std::string(text);
  return parts;
}

std::string join(const Parts& parts) {
  std::string text;
  if (parts.scheme) text += *parts.scheme + ":";
  if (parts.authority) text += "//" + *parts.authority;
  text += parts.path;
  if (parts.query) text += "?" + *parts.query;
  if (parts.fragment) text += "#" + *parts.fragment;
  return text;
}

/// Removes "." and ".." segments.
std::string removeDotSegments(const std::string& path) {
  std::vector<std::string> output;
  std::size_t position = 0;
  const bool absolute = !path.empty() && path[0] == '/';
  if (absolute) position = 1;
  bool trailingSlash = false;
  while (position <= path.size()) {
    auto end = path.find('/', position);
    if (end == std::string::npos) end = path.size();
    std::string segment = path.substr(position, end - position);
    const bool last = end == path.size();
    if (segment == ".") {
      trailingSlash = last;
    } else if (segment == "..") {
      if (!output.empty()) output.pop_back();
      trailingSlash = last;
    } else {
      output.push_back(segment);
      trailingSlash = false;
    }
    position = end + 1;
  }
  std::string result = absolute ? "/" : "";
  for (std::size_t i = 0; i < output.size(); ++i) {
    if (i > 0) result += "/";
    result += output[i];
  }
  if (trailingSlash && (result.empty() || result.back() != '/')) result += "/";
  return result;
}

/// Resolves a reference against an absolute base.
std::string resolve(const std::string& baseText, const std::string& reference) {
  const Parts base = split(baseText);
  const Parts relative = split(reference);
  Parts target;
  if (relative.scheme) {
    target = relative;
    target.path = removeDotSegments(relative.path);
    return join(target);
  }
  target.scheme = base.scheme;
  if (relative.authority) {
    target.authority = relative.authority;
    target.path = removeDotSegments(relative.path);
    target.query = relative.query;
  } else {
    target.authority = base.authority;
    if (relative.path.empty()) {
      target.path = base.path;
      target.query = relative.query ? relative.query : base.query;
    } else {
      if (relative.path[0] == '/') {
        target.path = removeDotSegments(relative.path);
      } else {
        std::string merged;
        if (base.authority && base.path.empty()) {
          merged = "/" + relative.path;
        } else {
          const auto slash = base.path.rfind('/');
          merged = (slash == std::string::npos ? std::string() : base.path.substr(0, slash + 1)) + relative.path;
        }
        target.path = removeDotSegments(merged);
      }
      target.query = relative.query;
    }
  }
  target.fragment = relative.fragment;
  return join(target);
}

}  // namespace

std::optional<URL> URL::fromString(const std::string& text, const std::optional<URL>& relativeTo) {
  if (!isValidReference(text)) return std::nullopt;
  std::shared_ptr<const URL> base;
  if (relativeTo) base = std::make_shared<const URL>(relativeTo->absoluteURL());
  return URL(text, std::move(base));
}

std::string URL::absoluteString() const {
  if (!base_) return text_;
  return resolve(base_->absoluteString(), text_);
}

URL URL::absoluteURL() const { return URL(absoluteString(), nullptr); }

std::optional<std::string> URL::scheme() const {
  auto scheme = split(absoluteString()).scheme;
  if (scheme) {
    for (auto& c : *scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return scheme;
}

std::optional<std::string> URL::host() const {
  auto authority = split(absoluteString()).authority;
  if (!authority) return std::nullopt;
  return hostOfAuthority(*authority);
}

std::optional<int> URL::port() const {
  auto authority = split(absoluteString()).authority;
  if (!authority) return std::nullopt;
  std::string rest = *authority;
  if (auto close = rest.rfind(']'); close != std::string::npos) rest = rest.substr(close + 1);
  auto colon = rest.rfind(':');
  if (colon == std::string::npos || colon + 1 >= rest.size()) return std::nullopt;
  const std::string digits = rest.substr(colon + 1);
  if (digits.size() > 5) return std::nullopt;
  int port = 0;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    port = port * 10 + (c - '0');
  }
  return port;
}

std::string URL::path() const { return split(absoluteString()).path; }

std::optional<std::string> URL::query() const { return split(absoluteString()).query; }

std::string URL::percentEncodeQueryComponent(const std::string& text) {
  // Characters a query allows, less the ones that separate items and the ones form decoders
  // read otherwise: "+" as a space, ";" as another separator.
  static const std::string_view allowed = "-._~!$'()*,:@/?";
  static const char digits[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : text) {
    if (std::isalnum(c) && c < 0x80) {
      encoded += static_cast<char>(c);
    } else if (allowed.find(static_cast<char>(c)) != std::string_view::npos) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += digits[c >> 4];
      encoded += digits[c & 0xf];
    }
  }
  return encoded;
}

std::optional<URL> URL::urlByAddingQueryParameters(const std::vector<URLQueryItem>& items) const {
  if (items.empty()) return *this;
  Parts parts = split(absoluteString());
  std::string added;
  for (const auto& item : items) {
    if (!added.empty()) added += "&";
    added += percentEncodeQueryComponent(item.name);
    if (item.value) added += "=" + percentEncodeQueryComponent(*item.value);
  }
  parts.query = (parts.query && !parts.query->empty()) ? *parts.query + "&" + added : added;
  return fromString(join(parts));
}

std::optional<URL> URL::urlByAddingQueryParameters(bool omitNilValues,
                                                   const std::vector<std::optional<std::string>>& namesAndValues) const {
  std::vector<URLQueryItem> items;
  for (std::size_t i = 0; i < namesAndValues.size(); i += 2) {
    const auto& name = namesAndValues[i];
    const std::optional<std::string> value = i + 1 < namesAndValues.size() ? namesAndValues[i + 1] : std::nullopt;
    if (!name) continue;
    if (!value && omitNilValues) continue;
    items.push_back({*name, value});
  }
  return urlByAddingQueryParameters(items);
}
