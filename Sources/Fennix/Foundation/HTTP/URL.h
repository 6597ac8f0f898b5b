// URLs: absolute or relative references (resolved against an optional base), their parts, and
// query items.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

/// One item of a query: a name and an optional value (without one, the query holds the bare name).
struct URLQueryItem {
  std::string name;
  std::optional<std::string> value;
  bool operator==(const URLQueryItem&) const = default;
};

class URL {
 public:
  /// A URL from text, relative to `base` when one is given; none for text that is not a URL
  /// reference (empty, white space or control characters, characters that must be escaped, a
  /// broken percent escape, a malformed scheme).
  static std::optional<URL> fromString(const std::string& text, const std::optional<URL>& relativeTo = std::nullopt);

  /// The text the URL was made from.
  const std::string& relativeString() const { return text_; }
  /// The text resolved against the base (the text itself without a base).
  std::string absoluteString() const;
  /// The absolute URL (itself without a base).
  URL absoluteURL() const;
  const std::shared_ptr<const URL>& baseURL() const { return base_; }

  std::optional<std::string> scheme() const;
  std::optional<std::string> host() const;
  std::optional<int> port() const;
  /// The path, percent escapes kept ("" when there is none).
  std::string path() const;
  /// The query without "?", escapes kept; none without "?".
  std::optional<std::string> query() const;

  /// This URL with the items appended after the query items it already has; the same URL for an
  /// empty list; none when the result is not a URL.
  std::optional<URL> urlByAddingQueryParameters(const std::vector<URLQueryItem>& items) const;
  /// The same from alternating names and values: a missing name skips its pair; a missing value
  /// skips it when `omitNilValues`, else adds the bare name. A trailing name without a value is
  /// treated as a name with a missing value.
  std::optional<URL> urlByAddingQueryParameters(bool omitNilValues,
                                                const std::vector<std::optional<std::string>>& namesAndValues) const;

  bool operator==(const URL& other) const { return absoluteString() == other.absoluteString(); }
  std::string description() const { return absoluteString(); }

  /// Percent-encodes text for a query item's name or value.
  static std::string percentEncodeQueryComponent(const std::string& text);

 private:
  URL(std::string text, std::shared_ptr<const URL> base) : text_(std::move(text)), base_(std::move(base)) {}
  std::string text_;
  std::shared_ptr<const URL> base_;
};
