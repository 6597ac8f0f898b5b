#include "SVGQuarvel/App/SVGConverterService.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <mutex>

#include "Fennix/Foundation/BaseTypes/FatalError.h"
#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/console/Console.h"
#include "Platform/Dispatch.h"
#include "SVGQuarvel/App/DocumentController.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

namespace SVGQuarvel {

std::string NSError::description() const {
  return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription + "\"";
}

}  // namespace SVGQuarvel

namespace {

/// The refusal's log line: the SVG text's first line (at most 200 bytes) and its size, not the
/// whole text, which may have megabytes.
std::string couldNotShape(const std::string& svg) {
  constexpr std::size_t shown = 200;
  const std::size_t lineEnd = std::min(svg.find_first_of("\r\n"), svg.size());
  std::size_t end = std::min(lineEnd, shown);
  // Not inside a character.
  while (end > 0 && end < lineEnd && (static_cast<unsigned char>(svg[end]) & 0xC0) == 0x80) --end;
  return "could not shape SVG:\n---\n" + svg.substr(0, end) + (end < lineEnd ? "\u2026" : "") + "\n---\n(" +
         std::to_string(svg.size()) + " bytes)";
}

// ---- the bus object ---------------------------------------------------------------------

constexpr const char* introspection =
    "<node>"
    "  <interface name='org.quarvel.SVGQuarvel.Services'>"
    "    <method name='OpenSVG'>"
    "      <arg type='s' name='svg' direction='in'/>"
    "    </method>"
    "    <method name='SvgToView'>"
    "      <arg type='s' name='svg' direction='in'/>"
    "      <arg type='s' name='swift' direction='out'/>"
    "    </method>"
    "  </interface>"
    "</node>";

/// The bus error name of a service error: the domain and "Code" with the number of the code.
std::string busErrorName(const SVGQuarvel::NSError& error) {
  return error.domain + ".Code" + std::to_string(error.code < 0 ? -error.code : error.code);
}

/// Registers the services' domain with GLib's bus errors, so that a GLib caller gets the domain
/// and code back.
GQuark errorQuark() {
  static const GQuark quark = [] {
    const std::string domain = SVGConverterService::errorDomain();
    const GQuark registered = g_quark_from_string(domain.c_str());
    for (const auto code : {32423, 32424, 32425, 22423, 22425}) {
      const auto error = SVGConverterService::error(code, "");
      g_dbus_error_register_error(registered, static_cast<gint>(error.code), busErrorName(error).c_str());
    }
    return registered;
  }();
  return quark;
}

void returnError(GDBusMethodInvocation* invocation, const SVGQuarvel::NSError& error) {
  g_dbus_method_invocation_return_dbus_error(invocation, busErrorName(error).c_str(),
                                             error.localizedDescription.c_str());
}

void handleMethodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                      GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
  const std::string name(method);
  if (name != "OpenSVG" && name != "SvgToView") {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                          "No such method: %s", method);
    return;
  }
  GVariant* argument = g_variant_get_child_value(parameters, 0);
  gsize length = 0;
  const gchar* text = g_variant_get_string(argument, &length);
  std::string svg(text, length);
  g_variant_unref(argument);
  SVGConverterService::serviceProvider().handleBusCall(name == "OpenSVG", sender != nullptr ? sender : "",
                                                       std::move(svg), invocation);
}

/// Answers the calls of each caller in the order they came, whichever thread finishes them: an
/// answer waits until the caller's earlier calls are answered.
class ReplyOrder {
 public:
  struct Ticket {
    std::string caller;
    std::uint64_t number = 0;
  };

  /// The place of a new call of `caller`.
  Ticket take(const std::string& caller) {
    std::lock_guard<std::mutex> lock(mutex_);
    return {caller, ++callers_[caller].taken};
  }

  /// Gives the answer of `ticket`; runs, on this thread, every answer of the caller that is due.
  void settle(const Ticket& ticket, std::function<void()> answer) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto& caller = callers_[ticket.caller];
    caller.ready.emplace(ticket.number, std::move(answer));
    if (caller.answering) return;  // the thread answering now takes this one too
    caller.answering = true;
    for (auto due = caller.ready.find(caller.next); due != caller.ready.end(); due = caller.ready.find(caller.next)) {
      auto call = std::move(due->second);
      caller.ready.erase(due);
      ++caller.next;
      lock.unlock();
      call();
      lock.lock();
    }
    caller.answering = false;
    if (caller.next > caller.taken) callers_.erase(ticket.caller);
  }

 private:
  struct Caller {
    std::uint64_t taken = 0;
    std::uint64_t next = 1;
    std::map<std::uint64_t, std::function<void()>> ready;
    bool answering = false;
  };
  std::mutex mutex_;
  std::map<std::string, Caller> callers_;
};

ReplyOrder& replyOrder() {
  static auto* order = new ReplyOrder();  // lives for the whole process
  return *order;
}

/// The queue the calls on the bus convert on, one at a time.
const DispatchQueue& convertingQueue() {
  static const DispatchQueue queue("org.quarvel.SVGQuarvel.services", DispatchQoS::userInitiated);
  return queue;
}

const GDBusInterfaceVTable vtable = {handleMethodCall, nullptr, nullptr, {nullptr}};

/// Where the services are offered: the connection and the registration's id.
struct Registration {
  GDBusConnection* connection = nullptr;
  guint id = 0;
};
Registration& registration() {
  static Registration current;
  return current;
}

}  // namespace

std::string SVGConverterService::errorDomain() { return NSBundle::reverseDNSPrefix() + ".errors.quarvel.svg.errors"; }

SVGConverterService& SVGConverterService::serviceProvider() {
  static auto* provider = new SVGConverterService();  // lives for the whole process
  return *provider;
}

SVGConverterService::NSError SVGConverterService::error(std::int64_t code, const std::string& message) {
  if (code == std::numeric_limits<std::int64_t>::min()) {
    Fennix::fatalError("service error code " + std::to_string(code) + " cannot be negated");
  }
  return NSError{errorDomain(), -code, message};
}

void SVGConverterService::activate(GDBusConnection* connection) {
  if (connection == nullptr || registration().id != 0) return;
  (void)errorQuark();
  GError* failure = nullptr;
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, &failure);
  if (node == nullptr) {
    console::error("could not describe the services:", std::string(failure->message));
    g_error_free(failure);
    return;
  }
  const guint id = g_dbus_connection_register_object(connection, objectPath, node->interfaces[0], &vtable, nullptr,
                                                     nullptr, &failure);
  g_dbus_node_info_unref(node);
  if (id == 0) {
    console::error("could not register services:", std::string(failure->message));
    g_error_free(failure);
    return;
  }
  registration() = {connection, id};
  console::log("did register service:", serviceProvider());
}

void SVGConverterService::deactivate(GDBusConnection* connection) {
  auto& current = registration();
  if (connection == nullptr || current.id == 0 || current.connection != connection) return;
  g_dbus_connection_unregister_object(connection, current.id);
  current = {};
}

std::variant<std::string, SVGConverterService::NSError> SVGConverterService::acceptedText(
    const NSPasteboard& pb, std::int64_t missingCode, std::int64_t invalidCode) {
  const auto& svg = pb.string();
  if (!svg || svg->empty()) {
    console::error("got no SVG string from pasteboard!");
    return error(missingCode, "Missing SVG text?");
  }
  if (svg->size() > SVGQuarvelDocument::maximumOpenedSVGBytes) {
    // The same refusal as for a file of that size; the text itself is not worth a log line.
    const auto message = SVGQuarvelDocument::tooLargeToOpenMessage(std::nullopt, svg->size());
    console::error(message);
    return error(invalidCode, message);
  }
  return *svg;
}

std::variant<std::string, SVGConverterService::NSError> SVGConverterService::viewSource(
    const std::string& svg, const SVGQuarvelConfiguration& config) {
  auto result = SVGQuarvelDocument::export_(svg, config, maximumReplyBytes);
  if (!result) {
    char limit[64];
    std::snprintf(limit, sizeof limit, "%zu MB (%zu bytes)", maximumReplyBytes >> 20, maximumReplyBytes);
    const std::string message =
        std::string("The Swift source of the drawing is too large to hand back: an answer holds at most ") + limit +
        ".";
    console::error(message);
    return error(22425, message);
  }
  // The bus carries UTF-8 only; code of text that came as UTF-8 is, but it is not taken on trust.
  if (result->code.empty() || result->failed ||
      !g_utf8_validate(result->code.data(), gssize(result->code.size()), nullptr)) {
    console::error(couldNotShape(svg));
    return error(22425, "Invalid SVG?");
  }
  return std::move(result->code);
}

std::variant<SVGQuarvelDocument::Snapshot, SVGConverterService::NSError> SVGConverterService::documentSnapshot(
    const std::string& svg, const SVGQuarvelConfiguration& config) {
  try {
    return SVGQuarvelDocument::Snapshot::fromSVGString(svg, std::nullopt, config);
  } catch (const CocoaError& refusal) {
    // Code past what a document may hold: the refusal says so.
    console::error(refusal.localizedDescription());
    return error(32425, refusal.localizedDescription());
  } catch (const std::exception&) {
    console::error(couldNotShape(svg));
    return error(32425, "Invalid SVG?");
  }
}

std::optional<SVGConverterService::NSError> SVGConverterService::openWindow(SVGQuarvelDocument::Snapshot snapshot) {
  std::optional<std::string> openFailure;
  SVGQuarvelDocument::openConverted(std::move(snapshot), [&] {
    try {
      SVGQuarvel::DocumentController::shared().openUntitledDocumentAndDisplay(true);
    } catch (const std::exception& error) {
      openFailure = error.what();
    } catch (...) {
      openFailure = "unknown error";
    }
  });
  if (!openFailure) return std::nullopt;
  console::error("could not open new document:", *openFailure);
  return error(32424, "Could not create new document?");
}

void SVGConverterService::openSVG(NSPasteboard& pb, const std::string&, NSError* errorp) {
  auto failure = [errorp](const NSError& error) {
    if (errorp != nullptr) *errorp = error;
  };
  auto text = acceptedText(pb, 32423, 32425);
  if (auto* refused = std::get_if<NSError>(&text)) return failure(*refused);
  auto snapshot = documentSnapshot(std::get<std::string>(text), SVGQuarvelConfiguration::defaultConfig());
  if (auto* refused = std::get_if<NSError>(&snapshot)) return failure(*refused);
  if (auto refused = openWindow(std::move(std::get<SVGQuarvelDocument::Snapshot>(snapshot)))) failure(*refused);
}

void SVGConverterService::svgToView(NSPasteboard& pb, const std::string&, NSError* errorp) {
  auto text = acceptedText(pb, 22423, 22425);
  auto code = std::holds_alternative<std::string>(text)
                  ? viewSource(std::get<std::string>(text), SVGQuarvelConfiguration::defaultConfig())
                  : std::variant<std::string, NSError>(std::get<NSError>(text));
  if (auto* refused = std::get_if<NSError>(&code)) {
    if (errorp != nullptr) *errorp = *refused;
    return;
  }
  paste(std::get<std::string>(code), pb);
}

void SVGConverterService::paste(const std::string& generatedSwift, NSPasteboard& into) {
  into.clearContents();
  into.setString(generatedSwift);
}

void SVGConverterService::setActivityHooks(std::function<void()> begin, std::function<void()> end) {
  beginActivity_ = std::move(begin);
  endActivity_ = std::move(end);
}

void SVGConverterService::handleBusCall(bool openDocument, const std::string& caller, std::string svg,
                                        GDBusMethodInvocation* invocation) {
  const auto ticket = replyOrder().take(caller);
  if (beginActivity_) beginActivity_();
  // Answers in the caller's order; the activity ends on the main thread once the answer is out.
  auto answer = [ticket, invocation, end = endActivity_](std::variant<GVariant*, NSError> reply) {
    replyOrder().settle(ticket, [invocation, reply] {
      if (const auto* refused = std::get_if<NSError>(&reply)) {
        returnError(invocation, *refused);
      } else {
        g_dbus_method_invocation_return_value(invocation, std::get<GVariant*>(reply));
      }
    });
    if (end) DispatchQueue::main().async(end);
  };
  NSPasteboard pasteboard(std::move(svg));
  auto text = acceptedText(pasteboard, openDocument ? 32423 : 22423, openDocument ? 32425 : 22425);
  if (auto* refused = std::get_if<NSError>(&text)) return answer(*refused);
  const auto config = SVGQuarvelConfiguration::defaultConfig();
  convertingQueue().async([openDocument, text = std::move(std::get<std::string>(text)), config, answer] {
    if (!openDocument) {
      auto code = viewSource(text, config);
      if (auto* refused = std::get_if<NSError>(&code)) return answer(*refused);
      return answer(g_variant_new("(s)", std::get<std::string>(code).c_str()));
    }
    auto snapshot = std::make_shared<std::variant<SVGQuarvelDocument::Snapshot, NSError>>(documentSnapshot(text, config));
    DispatchQueue::main().async([snapshot, answer] {
      if (auto* refused = std::get_if<NSError>(&*snapshot)) return answer(*refused);
      auto failure = openWindow(std::move(std::get<SVGQuarvelDocument::Snapshot>(*snapshot)));
      if (failure) return answer(*failure);
      answer(g_variant_new("()"));
    });
  });
}
