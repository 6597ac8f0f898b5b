#include "SVGQuarvel/App/SVGConverterService.h"

#include <gio/gio.h>

#include <algorithm>
#include <limits>

#include "Fennix/Foundation/BaseTypes/FatalError.h"
#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/console/Console.h"
#include "SVGQuarvel/App/DocumentController.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

namespace SVGQuarvel {

std::string NSError::description() const {
  return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription + "\"";
}

}  // namespace SVGQuarvel

namespace {

void fail(SVGQuarvel::NSError* errorp, std::int64_t code, const std::string& message) {
  if (errorp != nullptr) *errorp = SVGConverterService::error(code, message);
}

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

void handleMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                      GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
  const gchar* text = nullptr;
  g_variant_get(parameters, "(&s)", &text);
  SVGQuarvel::NSPasteboard pasteboard(std::string(text != nullptr ? text : ""));
  std::optional<SVGQuarvel::NSError> error;
  SVGQuarvel::NSError failure;
  auto& provider = SVGConverterService::serviceProvider();
  const std::string name(method);
  if (name == "OpenSVG") {
    failure.code = 0;
    provider.openSVG(pasteboard, "", &failure);
    if (failure.code != 0) return returnError(invocation, failure);
    g_dbus_method_invocation_return_value(invocation, nullptr);
  } else if (name == "SvgToView") {
    provider.svgToView(pasteboard, "", &failure);
    if (failure.code != 0) return returnError(invocation, failure);
    g_dbus_method_invocation_return_value(invocation,
                                          g_variant_new("(s)", pasteboard.string().value_or("").c_str()));
  } else {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                          "No such method: %s", method);
  }
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

void SVGConverterService::openSVG(NSPasteboard& pb, const std::string&, NSError* errorp) {
  const auto& svg = pb.string();
  if (!svg || svg->empty()) {
    console::error("got no SVG string from pasteboard!");
    return fail(errorp, 32423, "Missing SVG text?");
  }
  std::optional<std::string> openFailure;
  try {
    SVGQuarvelDocument::openSVG(*svg, SVGQuarvelConfiguration::defaultConfig(), [&] {
      try {
        SVGQuarvel::DocumentController::shared().openUntitledDocumentAndDisplay(true);
      } catch (const std::exception& error) {
        openFailure = error.what();
      } catch (...) {
        openFailure = "unknown error";
      }
    });
  } catch (const std::exception&) {
    // Only the conversion throws here: the opening's failures were caught above.
    console::error(couldNotShape(*svg));
    return fail(errorp, 32425, "Invalid SVG?");
  }
  if (openFailure) {
    console::error("could not open new document:", *openFailure);
    return fail(errorp, 32424, "Could not create new document?");
  }
}

void SVGConverterService::svgToView(NSPasteboard& pb, const std::string&, NSError* errorp) {
  const auto svg = pb.string();
  if (!svg || svg->empty()) {
    console::error("got no SVG string from pasteboard!");
    return fail(errorp, 22423, "Missing SVG text?");
  }
  const auto result = SVGQuarvelDocument::export_(*svg, SVGQuarvelConfiguration::defaultConfig());
  if (result.code.empty() || result.failed) {
    console::error(couldNotShape(*svg));
    return fail(errorp, 22425, "Invalid SVG?");
  }
  paste(result.code, pb);
}

void SVGConverterService::paste(const std::string& generatedSwift, NSPasteboard& into) {
  into.clearContents();
  into.setString(generatedSwift);
}
