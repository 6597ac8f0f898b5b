// The two services other applications call with selected SVG text: one opens it as a new
// document, the other replaces it by its SwiftUI source. They are offered on the session bus
// as the methods OpenSVG(s) and SvgToView(s) → s of the application's services object. Calls on
// the bus convert on a queue of their own, one at a time, and each caller gets its answers in
// the order of its calls; the windows stay responsive meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GDBusMethodInvocation GDBusMethodInvocation;

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

  /// Most bytes of generated source one answer carries: below the largest message the bus passes
  /// on (128 MiB), past which the bus would drop the application's connection. Larger code is
  /// refused with the service's error.
  static constexpr std::size_t maximumReplyBytes = std::size_t{120} << 20;

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
  /// is given, stored there. Text of more than 16 MB is refused as a file of that size is.
  void openSVG(NSPasteboard& pb, const std::string& userData, NSError* errorp);
  /// Replaces the pasteboard's SVG text by its SwiftUI source, made with the default settings.
  /// Text of more than 16 MB, and code of more than `maximumReplyBytes`, are refused.
  void svgToView(NSPasteboard& pb, const std::string& userData, NSError* errorp);
  /// Puts the generated source on the pasteboard in place of what it held.
  void paste(const std::string& generatedSwift, NSPasteboard& into);

  /// Called on the main thread when a call on the bus arrives and once it has been answered, so
  /// that the application keeps running while it converts.
  void setActivityHooks(std::function<void()> begin, std::function<void()> end);

  std::string description() const { return "<SVGConverterService>"; }

  // The steps of the two services, shared by the calls made here and those on the bus.

  /// The pasteboard's text, or (logged) the error of missing (`missingCode`) or too large text
  /// (`invalidCode`).
  static std::variant<std::string, NSError> acceptedText(const NSPasteboard& pb, std::int64_t missingCode,
                                                         std::int64_t invalidCode);
  /// The code of the SVG-to-view service for `svg`, or its (logged) error. Any thread.
  static std::variant<std::string, NSError> viewSource(const std::string& svg, const SVGQuarvelConfiguration& config);
  /// The converted document of the open service, or its (logged) error. Any thread.
  static std::variant<SVGQuarvelDocument::Snapshot, NSError> documentSnapshot(const std::string& svg,
                                                                              const SVGQuarvelConfiguration& config);
  /// Opens a window on `snapshot`; the (logged) error when none could be made. Main thread.
  static std::optional<NSError> openWindow(SVGQuarvelDocument::Snapshot snapshot);

  /// Starts the work of a call on the bus and answers `invocation`
  /// once it is done: converting on the services' queue, opening windows on the main thread.
  void handleBusCall(bool openDocument, const std::string& caller, std::string svg,
                     GDBusMethodInvocation* invocation);

 private:
  SVGConverterService() = default;

  std::function<void()> beginActivity_;
  std::function<void()> endActivity_;
};
