// The two services other applications call with selected SVG text: one opens it as a new
// document, the other replaces it by its SwiftUI source. They are offered on the session bus
// as the methods OpenSVG(s) and SvgToView(s) → s of the application's services object. Calls on
// the bus are taken, kept waiting and answered on a thread of their own, and convert on a queue of
// their own (a small drawing on that thread, at its turn), one at a time, programs (processes, however many connections they call through) in
// turn, and each connection gets its answers in the order of its calls; the windows stay
// responsive meanwhile, and a busy main loop holds up only the windows of OpenSVG. What may wait
// is bounded, per program and in all; the calls of a connection that leaves the bus are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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

  /// Most calls on the bus one program may have waiting (the one converting included), and most
  /// bytes of SVG text they may hold: two of the largest drawings. Past either, a call is refused
  /// at once as busy ("org.freedesktop.DBus.Error.LimitsExceeded").
  static constexpr std::size_t maximumWaitingCallsPerCaller = 16;
  static constexpr std::size_t maximumWaitingBytesPerCaller = std::size_t{32} << 20;
  /// The same bounds for the calls of all callers together.
  static constexpr std::size_t maximumWaitingCalls = 64;
  static constexpr std::size_t maximumWaitingBytes = std::size_t{128} << 20;
  /// Most windows the open service has open at a time, seen as each of them is about to open: as
  /// many as one launch opens. Past it, OpenSVG is refused (code 32424) until one is closed.
  static constexpr std::size_t maximumServiceWindows = 32;
  /// Most refusals kept back so that they follow their caller's earlier calls; past it a refusal
  /// is answered at once.
  static constexpr std::size_t maximumHeldRefusals = 1024;
  /// A SvgToView call on the bus of at most this much SVG text, without a document type (whose
  /// entities may expand a few hundred bytes into megabytes before the code is bounded), is
  /// converted and answered on the thread that takes the calls, at its turn, as long as its code
  /// stays within `maximumInlineSwiftBytes`: a small drawing's answer does not wait for another
  /// thread to pick it up. Past that bound it converts on the services' queue as larger calls do.
  static constexpr std::size_t maximumInlineSVGBytes = std::size_t{16} << 10;
  static constexpr std::size_t maximumInlineSwiftBytes = std::size_t{512} << 10;
  /// Most connections without calls waiting whose process is remembered for their next calls (those
  /// that called last, of the connections that had a call taken); each is forgotten as it leaves
  /// the bus. A connection whose calls are all refused as busy is not remembered.
  static constexpr std::size_t maximumRememberedCallers = 32;
  /// The bus error of a busy refusal.
  static constexpr const char* busyErrorName = "org.freedesktop.DBus.Error.LimitsExceeded";

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
  /// Text of more than 16 MB, and code of more than `maximumReplyBytes` or than the generator
  /// makes of a drawing of that size (`SVGQuarvelDocument::maximumGeneratedSwiftBytes`), are refused.
  void svgToView(NSPasteboard& pb, const std::string& userData, NSError* errorp);
  /// Puts the generated source on the pasteboard in place of what it held.
  void paste(const std::string& generatedSwift, NSPasteboard& into);

  /// Called on the main thread when a call on the bus arrives and once it has been answered, so
  /// that the application keeps running while it converts. Set on the main thread.
  void setActivityHooks(std::function<void()> begin, std::function<void()> end);
  /// The windows the application has in use, this service's own among them: past
  /// `AppDelegate::refusedWindow`'s bound OpenSVG is refused too (code 32424), whichever requests
  /// opened them. Seen as each window is about to open. Set and called on the main thread.
  void setApplicationWindowsInUse(std::function<std::size_t()> windowsInUse) {
    applicationWindowsInUse_ = std::move(windowsInUse);
  }
  /// Those windows, as set (none when not set). Main thread.
  const std::function<std::size_t()>& applicationWindowsInUse() const { return applicationWindowsInUse_; }

  std::string description() const { return "<SVGConverterService>"; }

  // The steps of the two services, shared by the calls made here and those on the bus.

  /// The pasteboard's text, or (logged) the error of missing (`missingCode`) or too large text
  /// (`invalidCode`).
  static std::variant<std::string, NSError> acceptedText(const NSPasteboard& pb, std::int64_t missingCode,
                                                         std::int64_t invalidCode);
  /// The (logged) error of missing (`missingCode`) or too large text (`invalidCode`); none when
  /// the text goes on to conversion.
  static std::optional<NSError> refusedText(std::string_view svg, std::int64_t missingCode, std::int64_t invalidCode);
  /// The code of the SVG-to-view service for `svg`, or its (logged) error. Any thread.
  static std::variant<std::string, NSError> viewSource(std::string_view svg, const SVGQuarvelConfiguration& config);
  /// The same for a drawing converted where its call is taken: none, without a log line, when its
  /// code would pass `maximumInlineSwiftBytes` (it is then converted as `viewSource` does). Any thread.
  static std::optional<std::variant<std::string, NSError>> smallViewSource(std::string_view svg,
                                                                           const SVGQuarvelConfiguration& config);
  /// Whether a SvgToView call of `svg` is converted where it is taken (see `maximumInlineSVGBytes`).
  static bool convertsWhereTaken(std::string_view svg);
  /// The converted document of the open service, or its (logged) error. Any thread.
  static std::variant<SVGQuarvelDocument::Snapshot, NSError> documentSnapshot(std::string_view svg,
                                                                              const SVGQuarvelConfiguration& config);
  /// Opens a window on `snapshot`; the (logged) error when none could be made. Main thread.
  static std::optional<NSError> openWindow(SVGQuarvelDocument::Snapshot snapshot);

  /// Takes a call on the bus (on the thread the services' calls arrive on, never the main thread):
  /// refuses it at once, or queues it behind the caller's earlier calls and answers `invocation`
  /// once it is done, converting on the services' queue and opening windows on the main thread.
  /// The text stays in the call's message: no copy of it waits.
  void handleBusCall(bool openDocument, const std::string& caller, GDBusMethodInvocation* invocation);

 private:
  SVGConverterService() = default;

  std::function<void()> beginActivity_;
  std::function<void()> endActivity_;
  /// The activities begun through `beginActivity_` and not yet ended. Main thread.
  std::size_t activities_ = 0;
  std::function<std::size_t()> applicationWindowsInUse_;
};
