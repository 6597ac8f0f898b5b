// The two services other applications call with selected SVG text: one opens it as a new
// document, the other replaces it by its SwiftUI source. They are offered on the session bus
// as the methods OpenSVG(s) and SvgToView(s) → s of the application's services object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

typedef struct _GDBusConnection GDBusConnection;

namespace SVGQuarvel {

/// An error handed back to the caller of a service: a domain, a negative code and a message.
struct NSError {
  std::string domain;
  std::int64_t code = 0;
  std::string localizedDescription;

  std::string description() const;
  bool operator==(const NSError&) const = default;
};

/// The text a service works on: the caller's selection, and the result written back.
class NSPasteboard {
 public:
  NSPasteboard() = default;
  explicit NSPasteboard(std::optional<std::string> string) : string_(std::move(string)) {}

  /// The plain text on the pasteboard; none when it holds no text.
  const std::optional<std::string>& string() const { return string_; }
  void clearContents() { string_.reset(); }
  void setString(std::string string) { string_ = std::move(string); }

 private:
  std::optional<std::string> string_;
};

}  // namespace SVGQuarvel

class SVGConverterService {
 public:
  using NSError = SVGQuarvel::NSError;
  using NSPasteboard = SVGQuarvel::NSPasteboard;

  /// The services' error domain: the reverse-DNS prefix and ".errors.quarvel.svg.errors".
  static std::string errorDomain();
  /// The bus interface and object path of the services.
  static constexpr const char* interfaceName = "org.quarvel.SVGQuarvel.Services";
  static constexpr const char* objectPath = "/org/quarvel/SVGQuarvel/Services";

  /// The one provider of the process.
  static SVGConverterService& serviceProvider();

  /// Offers the services on `connection` (the application's session bus connection) and logs
  /// "did register service:". Without a connection nothing is offered. Only the first call with a
  /// connection registers.
  static void activate(GDBusConnection* connection);
  /// Withdraws the services from `connection` (a launch that found the application running).
  static void deactivate(GDBusConnection* connection);

  /// An error of the services' domain with the code `-code` and `message` as description.
  static NSError error(std::int64_t code, const std::string& message);

  /// Opens the pasteboard's SVG text as a new document. Failures are logged and, when `errorp`
  /// is given, stored there.
  void openSVG(NSPasteboard& pb, const std::string& userData, NSError* errorp);
  /// Replaces the pasteboard's SVG text by its SwiftUI source, made with the default settings.
  void svgToView(NSPasteboard& pb, const std::string& userData, NSError* errorp);
  /// Puts the generated source on the pasteboard in place of what it held.
  void paste(const std::string& generatedSwift, NSPasteboard& into);

  std::string description() const { return "<SVGConverterService>"; }

 private:
  SVGConverterService() = default;
};
