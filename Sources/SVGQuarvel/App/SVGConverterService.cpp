#include "SVGQuarvel/App/SVGConverterService.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <limits>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Fennix/Foundation/BaseTypes/FatalError.h"
#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/console/Console.h"
#include "Platform/Dispatch.h"
#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvel/App/CallerQueues.h"
#include "SVGQuarvel/App/DocumentController.h"
#include "SVGQuarvel/Model/DocumentFile.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

namespace SVGQuarvel {

std::string NSError::description() const {
  return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription + "\"";
}

}  // namespace SVGQuarvel

namespace {

/// The refusal's log line: the SVG text's first line (at most 200 bytes) and its size, not the
/// whole text, which may have megabytes.
std::string couldNotShape(std::string_view svg) {
  constexpr std::size_t shown = 200;
  const std::size_t lineEnd = std::min(svg.find_first_of("\r\n"), svg.size());
  std::size_t end = std::min(lineEnd, shown);
  // Not inside a character.
  while (end > 0 && end < lineEnd && (static_cast<unsigned char>(svg[end]) & 0xC0) == 0x80) --end;
  return "could not shape SVG:\n---\n" + std::string(svg.substr(0, end)) + (end < lineEnd ? "\u2026" : "") +
         "\n---\n(" + std::to_string(svg.size()) + " bytes)";
}

/// The code of a conversion of `svg`, or the (logged) error of a drawing that did not convert.
std::variant<std::string, SVGQuarvel::NSError> shapedCode(std::string_view svg,
                                                          SVGQuarvelDocument::ExportResult result) {
  // The bus carries UTF-8 only; code of text that came as UTF-8 is, but it is not taken on trust.
  if (result.code.empty() || result.failed ||
      !g_utf8_validate(result.code.data(), gssize(result.code.size()), nullptr)) {
    console::error(couldNotShape(svg));
    return SVGConverterService::error(22425, "Invalid SVG?");
  }
  return std::move(result.code);
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

void handleMethodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                      GVariant*, GDBusMethodInvocation* invocation, gpointer) {
  const std::string name(method);
  if (name != "OpenSVG" && name != "SvgToView") {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                          "No such method: %s", method);
    return;
  }
  SVGConverterService::serviceProvider().handleBusCall(name == "OpenSVG", sender != nullptr ? sender : "", invocation);
}

/// The queue the calls on the bus convert on, one at a time. Lives for the whole process, as the
/// calls thread does: that thread may still start a conversion while the process exits.
const DispatchQueue& convertingQueue() {
  static const auto* queue = new DispatchQueue("org.quarvel.SVGQuarvel.services", DispatchQoS::userInitiated);
  return *queue;
}

/// The thread that takes the calls on the bus, keeps them waiting in turn and answers them: the
/// services' object is registered from it, so that the bus delivers the calls there and not to the
/// main loop, which may be busy for a long while (generating the code of a large drawing on each
/// keystroke, laying out a long text). Only the open service goes to the main loop, for its window.
const DispatchQueue& callsQueue() {
  // Lives for the whole process: calls may be answered while it exits.
  static const auto* queue = new DispatchQueue(
      DispatchQueue::withOwnThread("org.quarvel.SVGQuarvel.services.calls", DispatchQoS::userInitiated));
  return *queue;
}

/// The windows of the open service. Main thread only. A window is counted from the moment it
/// opens: whether it may open is seen in the same block of the main loop.
struct ServiceWindows {
  std::vector<std::weak_ptr<SVGQuarvel::DocumentRecord>> open;

  static ServiceWindows& shared() {
    static auto* windows = new ServiceWindows();  // lives for the whole process
    return *windows;
  }
  /// The windows still open.
  std::size_t inUse() {
    const auto& documents = SVGQuarvel::DocumentController::shared().documents();
    std::erase_if(open, [&](const std::weak_ptr<SVGQuarvel::DocumentRecord>& window) {
      const auto record = window.lock();
      return !record || std::find(documents.begin(), documents.end(), record) == documents.end();
    });
    return open.size();
  }
};

/// Where the services are offered: the connection and the registration's id. The calls' thread only.
struct Registration {
  GDBusConnection* connection = nullptr;
  guint id = 0;
};
Registration& registration() {
  static Registration current;
  return current;
}

/// A call on the bus until it is answered, or a refusal that waits for the caller's earlier calls
/// to be answered. Made, kept and let go on the calls' thread; while it lives, the application stays.
class Waiting {
 public:
  /// A call to convert (`invocation` is taken over).
  Waiting(GDBusMethodInvocation* invocation, bool openDocument, std::function<void()> end)
      : invocation_(invocation), openDocument_(openDocument), end_(std::move(end)) {}
  /// The refusal `name`, `message` of the call `call`, made now to be sent later: it holds neither
  /// the call nor its text. None when the caller expects no answer.
  static std::optional<Waiting> refusal(const Waiting& call, const char* name, const std::string& message) {
    GDBusMessage* request = g_dbus_method_invocation_get_message(call.invocation_);
    if ((g_dbus_message_get_flags(request) & G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED) != 0) return std::nullopt;
    Waiting held(nullptr, false, nullptr);
    held.answer_ = g_dbus_message_new_method_error_literal(request, name, message.c_str());
    held.connection_ = G_DBUS_CONNECTION(g_object_ref(g_dbus_method_invocation_get_connection(call.invocation_)));
    return held;
  }
  Waiting(Waiting&& other) noexcept
      : invocation_(std::exchange(other.invocation_, nullptr)),
        answer_(std::exchange(other.answer_, nullptr)),
        connection_(std::exchange(other.connection_, nullptr)),
        openDocument_(other.openDocument_),
        end_(std::exchange(other.end_, nullptr)) {}
  Waiting& operator=(Waiting&& other) noexcept {
    if (this != &other) {
      release();
      invocation_ = std::exchange(other.invocation_, nullptr);
      answer_ = std::exchange(other.answer_, nullptr);
      connection_ = std::exchange(other.connection_, nullptr);
      openDocument_ = other.openDocument_;
      end_ = std::exchange(other.end_, nullptr);
    }
    return *this;
  }
  Waiting(const Waiting&) = delete;
  Waiting& operator=(const Waiting&) = delete;
  ~Waiting() { release(); }

  bool isCall() const { return invocation_ != nullptr; }
  bool openDocument() const { return openDocument_; }
  /// The call's SVG text, where the call's message holds it.
  std::string_view text() const {
    const gchar* svg = nullptr;
    g_variant_get(g_dbus_method_invocation_get_parameters(invocation_), "(&s)", &svg);
    return svg;
  }
  /// The bytes the call's text takes; its string is checked by the bus and holds no NUL.
  std::size_t bytes() const { return text().size(); }

  void reply(GVariant* value) {
    if (auto* invocation = std::exchange(invocation_, nullptr)) g_dbus_method_invocation_return_value(invocation, value);
  }
  /// Hands the call over to be answered elsewhere (on any thread); the item no longer holds it.
  GDBusMethodInvocation* takeInvocation() { return std::exchange(invocation_, nullptr); }
  void reply(const char* name, const std::string& message) {
    if (auto* invocation = std::exchange(invocation_, nullptr)) {
      g_dbus_method_invocation_return_dbus_error(invocation, name, message.c_str());
    }
  }
  /// Sends a held refusal.
  void send() {
    if (answer_ == nullptr) return;
    g_dbus_connection_send_message(connection_, answer_, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
    release();
  }

 private:
  void release() {
    // A call let go unanswered (its caller has left) is only dropped.
    if (invocation_ != nullptr) g_object_unref(std::exchange(invocation_, nullptr));
    if (answer_ != nullptr) g_object_unref(std::exchange(answer_, nullptr));
    if (connection_ != nullptr) g_object_unref(std::exchange(connection_, nullptr));
    if (auto end = std::exchange(end_, nullptr)) end();
  }

  GDBusMethodInvocation* invocation_ = nullptr;
  GDBusMessage* answer_ = nullptr;
  GDBusConnection* connection_ = nullptr;
  bool openDocument_ = false;
  std::function<void()> end_;
};

std::string megabytes(std::size_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

/// Answers of this size pass any bus (a bus daemon takes at least 32 MB).
constexpr std::size_t alwaysPassed = std::size_t{1} << 20;
static_assert(SVGConverterService::maximumInlineSwiftBytes + 1024 < alwaysPassed,
              "an answer made where its call is taken passes the bus unasked");

/// Whether the session bus passes on an answer of `body`, or why it was not learnt. A bus ends the
/// connection of a program that sends it a message larger than it takes (its own setting: a bus
/// daemon without one takes 32 MB, none more than 128 MB), and with it the application's
/// registration; a large answer is therefore first sent to the bus itself on a connection of its
/// own. That message's header (path, interface, member, the bus's name) is longer than an answer's
/// (the caller's short unique name, a serial), so what it passes, the answer passes.
/// The sizes learnt are kept. The services' queue only.
std::optional<std::string> busRefusal(GVariant* body) {
  static std::size_t passed = alwaysPassed;
  static std::size_t refused = std::numeric_limits<std::size_t>::max();
  const std::size_t bytes = g_variant_get_size(body);
  const std::string tooLarge = "The Swift source of the drawing (" + megabytes(bytes) +
                               ") is too large for the session bus to pass on; it takes smaller answers only.";
  if (bytes <= passed) return std::nullopt;
  if (bytes >= refused) return tooLarge;
  GError* error = nullptr;
  GDBusConnection* probe = nullptr;
  if (gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error)) {
    probe = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    g_free(address);
  }
  std::optional<std::string> refusal;
  if (probe != nullptr) {
    // The bus answers (an error: the text is no bus name) once it has taken the whole message.
    GVariant* answer = g_dbus_connection_call_sync(probe, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                   "org.freedesktop.DBus", "NameHasOwner", body, nullptr,
                                                   G_DBUS_CALL_FLAGS_NONE, 120000, nullptr, &error);
    if (answer != nullptr) g_variant_unref(answer);
    if (answer != nullptr || g_dbus_error_is_remote_error(error)) {
      passed = std::max(passed, bytes);
    } else if (g_dbus_connection_is_closed(probe)) {
      refused = std::min(refused, bytes);
      refusal = tooLarge;
    }
    if (!g_dbus_connection_is_closed(probe)) g_dbus_connection_close_sync(probe, nullptr, nullptr);
    g_object_unref(probe);
  }
  if (error != nullptr && !refusal && bytes > passed) {
    refusal = "The Swift source of the drawing (" + megabytes(bytes) +
              ") was not handed back: the session bus could not be asked whether it passes on an answer that "
              "large (" + std::string(error->message) + ").";
  }
  if (error != nullptr) g_error_free(error);
  if (refusal) console::error(*refusal);
  return refusal;
}

/// The calls on the bus: which waits and which converts now. The calls' thread only.
class BusCalls {
 public:
  static BusCalls& shared() {
    static auto* calls = new BusCalls();  // lives for the whole process
    return *calls;
  }

  /// Queues `call` of `caller`, or refuses it as busy.
  void admit(const std::string& caller, Waiting call) {
    const std::size_t bytes = call.bytes();
    const std::string program = programOf(caller);
    if (const auto full = queues_.refusal(program, bytes)) {
      const std::string message =
          *full == Queues::Refusal::callerFull
              ? "The services are busy: one program may have at most " +
                    std::to_string(SVGConverterService::maximumWaitingCallsPerCaller) + " calls with " +
                    megabytes(SVGConverterService::maximumWaitingBytesPerCaller) +
                    " of SVG text waiting; try again once its calls are answered."
              : "The services are busy: at most " + std::to_string(SVGConverterService::maximumWaitingCalls) +
                    " calls with " + megabytes(SVGConverterService::maximumWaitingBytes) +
                    " of SVG text may wait; try again later.";
      console::error(message);
      refuse(caller, std::move(call), SVGConverterService::busyErrorName, message);
      return rested(caller);
    }
    remember(caller, program);
    queues_.pushCall(caller, program, std::move(call), bytes);
    pump();
  }

  /// Answers `call` with a refusal: at once, or after the caller's earlier calls when it has any.
  void refuse(const std::string& caller, Waiting call, const char* name, const std::string& message) {
    if (!queues_.has(caller) || queues_.answers() >= SVGConverterService::maximumHeldRefusals) {
      return call.reply(name, message);
    }
    if (auto held = Waiting::refusal(call, name, message)) queues_.pushAnswer(caller, std::move(*held));
  }

 private:
  using Queues = SVGQuarvel::CallerQueues<Waiting>;

  /// The program of the connection `caller`: its process, as the bus knows it (never as the caller
  /// says), so that a program gets one turn and one share of what may wait however many connections
  /// it calls through. A connection whose process the bus does not tell (it has left, or the bus is
  /// no bus daemon) is a program of its own. Once a call of the connection is taken, its process is
  /// kept, and the connection watched, while it has calls here and then while it is among the
  /// `maximumRememberedCallers` idle ones that called last, until it leaves the bus (see
  /// `remember`). A connection whose calls are refused is asked about at each call, and neither
  /// kept nor watched: a flood of refused calls costs the bus one question each, no watches.
  std::string programOf(const std::string& caller) {
    if (caller.empty() || registration().connection == nullptr) return caller;
    if (const auto known = programs_.find(caller); known != programs_.end()) {
      std::erase(idle_, caller);
      return known->second;
    }
    std::string program = caller;
    GVariant* reply = g_dbus_connection_call_sync(
        registration().connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetConnectionUnixProcessID", g_variant_new("(s)", caller.c_str()), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    if (reply != nullptr) {
      guint32 process = 0;
      g_variant_get(reply, "(u)", &process);
      g_variant_unref(reply);
      program = "process " + std::to_string(process);
    }
    return program;
  }

  BusCalls()
      : queues_({SVGConverterService::maximumWaitingCallsPerCaller, SVGConverterService::maximumWaitingBytesPerCaller,
                 SVGConverterService::maximumWaitingCalls, SVGConverterService::maximumWaitingBytes}) {}

  /// Starts the next call in turn unless one converts; sends the refusals that are due (a caller
  /// may have nothing left here then).
  void pump() {
    if (running_) return;
    for (auto& [caller, answer] : queues_.takeDueAnswers()) {
      answer.send();
      rested(caller);
    }
    if (opening_.empty() && !heldOpenings_.empty()) {
      running_.emplace(std::move(heldOpenings_.front()));
      heldOpenings_.pop_front();
      return start();
    }
    while (auto taken = queues_.next()) {
      if (!taken->isCall) {
        taken->item.send();
        rested(taken->caller);
        continue;
      }
      running_.emplace(std::move(*taken));
      return start();
    }
  }
  /// The next call starts in a later turn of this thread's main context: a call answered where it
  /// is taken hands the thread back first, so that the calls and other sources that came meanwhile
  /// (refusals, callers that left) are seen between two conversions, not once all waiting ones
  /// are done. At most one such turn is pending.
  void pumpLater() {
    if (std::exchange(pumpPending_, true)) return;
    callsQueue().async([] {
      shared().pumpPending_ = false;
      shared().pump();
    });
  }

  void start() {
    const bool openDocument = running_->item.openDocument();
    // One converted drawing at a time waits for the main loop (its code may take hundreds of
    // megabytes): the next OpenSVG call converts once that one's window is answered. It waits
    // aside, so that the calls of other programs go on meanwhile instead of waiting for the main
    // loop too; its own program's next calls wait behind it.
    if (openDocument && !opening_.empty()) {
      heldOpenings_.push_back(std::move(*running_));
      running_.reset();
      return pump();
    }
    // The text stays where the call's message holds it: the running call is kept until it is done.
    const std::string_view text = running_->item.text();
    const auto config = SVGQuarvelConfiguration::defaultConfig();
    // A conversion is answered on the converting thread, and the next call starts on this thread
    // once the answer has gone out; an OpenSVG call lets the next one start once its drawing is
    // converted (see `startOpening`). The call's message, which holds the text, lives until then.
    GDBusMethodInvocation* invocation = running_->item.takeInvocation();
    g_object_ref(invocation);
    auto done = [invocation] {
      callsQueue().async([invocation] {
        g_object_unref(invocation);
        shared().finish();
      });
    };
    if (openDocument) return startOpening(invocation, text, config);
    if (SVGConverterService::convertsWhereTaken(text)) {
      if (auto code = SVGConverterService::smallViewSource(text, config)) {
        if (const auto* refused = std::get_if<SVGQuarvel::NSError>(&*code)) {
          g_dbus_method_invocation_return_dbus_error(invocation, busErrorName(*refused).c_str(),
                                                     refused->localizedDescription.c_str());
        } else {
          g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", std::get<std::string>(*code).c_str()));
        }
        g_object_unref(invocation);
        finished();
        return pumpLater();
      }
    }
    convertingQueue().async([text, config, invocation, done] {
      auto code = SVGConverterService::viewSource(text, config);
      std::shared_ptr<GVariant> reply;
      if (const auto* swift = std::get_if<std::string>(&code)) {
        reply.reset(g_variant_ref_sink(g_variant_new("(s)", swift->c_str())), g_variant_unref);
        code = std::string();  // one copy of the code at a time
        if (auto refusal = busRefusal(reply.get())) {
          reply.reset();
          code = SVGConverterService::error(22425, *refusal);
        }
      }
      if (const auto* refused = std::get_if<SVGQuarvel::NSError>(&code)) {
        g_dbus_method_invocation_return_dbus_error(invocation, busErrorName(*refused).c_str(),
                                                   refused->localizedDescription.c_str());
      } else {
        g_dbus_method_invocation_return_value(invocation, reply.get());
      }
      done();
    });
  }

  /// The open service's turn: the text converts on the converting queue; then the converter is
  /// free for the next call while the window waits for the main loop, which may be busy for long.
  /// The call still counts, and keeps its program's next calls back, until it is answered.
  void startOpening(GDBusMethodInvocation* invocation, std::string_view text, const SVGQuarvelConfiguration& config) {
    const std::uint64_t id = nextOpening_++;
    convertingQueue().async([invocation, text, config, id] {
      auto snapshot = std::make_shared<std::variant<SVGQuarvelDocument::Snapshot, SVGQuarvel::NSError>>(
          SVGConverterService::documentSnapshot(text, config));
      // Posted before the window's turn on the main loop, so that it comes before its answer.
      callsQueue().async([id] { shared().converted(id); });
      DispatchQueue::main().async([invocation, snapshot, id] {
        openDocumentWindow(invocation, std::move(*snapshot));
        callsQueue().async([invocation, id] {
          g_object_unref(invocation);
          shared().answered(id);
        });
      });
    });
  }

  /// The window of an OpenSVG call, on the main loop: past the bound the call is refused;
  /// otherwise its window opens. Answers `invocation`.
  static void openDocumentWindow(GDBusMethodInvocation* invocation,
                                 std::variant<SVGQuarvelDocument::Snapshot, SVGQuarvel::NSError> snapshot) {
    auto& windows = ServiceWindows::shared();
    auto full = AppDelegate::refusedWindow(windows.inUse(), "the service");
    // The application's windows, the service's among them, keep within the same bound.
    const auto& inApplication = SVGConverterService::serviceProvider().applicationWindowsInUse();
    if (!full && inApplication) full = AppDelegate::refusedWindow(inApplication(), "the application");
    std::optional<SVGQuarvel::NSError> failure;
    if (full) {
      failure = SVGConverterService::error(32424, "Could not create new document: " + *full);
      console::error(failure->localizedDescription);
    } else if (auto* refused = std::get_if<SVGQuarvel::NSError>(&snapshot)) {
      failure = std::move(*refused);
    } else {
      const auto& documents = SVGQuarvel::DocumentController::shared().documents();
      const auto before = documents.size();
      failure = SVGConverterService::openWindow(std::move(std::get<SVGQuarvelDocument::Snapshot>(snapshot)));
      if (!failure && documents.size() > before) windows.open.push_back(documents.back());
    }
    if (failure) {
      g_dbus_method_invocation_return_dbus_error(invocation, busErrorName(*failure).c_str(),
                                                 failure->localizedDescription.c_str());
    } else {
      g_dbus_method_invocation_return_value(invocation, g_variant_new("()"));
    }
  }

  /// The running OpenSVG call `id` has its drawing converted: it waits for its window, and the
  /// next call starts.
  void converted(std::uint64_t id) {
    opening_.emplace(id, std::move(*running_));
    running_.reset();
    pump();
  }
  /// The OpenSVG call `id` has been answered.
  void answered(std::uint64_t id) {
    const auto found = opening_.find(id);
    if (found == opening_.end()) return;
    const std::string caller = found->second.caller;
    queues_.done(caller, found->second.bytes);
    opening_.erase(found);
    rested(caller);
    pump();
  }

  /// The running call has been answered: the next one starts.
  void finish() {
    finished();
    pump();
  }
  /// The running call has been answered: it no longer counts.
  void finished() {
    auto done = std::move(*running_);
    running_.reset();
    queues_.done(done.caller, done.bytes);
    rested(done.caller);
  }

  /// Drops what `caller`, which has left the bus, has queued.
  void left(const std::string& caller) {
    auto dropped = queues_.remove(caller);
    std::size_t calls = 0;
    for (const auto& item : dropped) {
      if (item.isCall()) ++calls;
    }
    if (calls > 0) {
      console::error("dropped " + std::to_string(calls) + (calls == 1 ? " call" : " calls") + " of " + caller +
                     ", which has left the bus");
    }
    dropped.clear();
    // Its process is forgotten with it: nothing of it is looked up again.
    forget(caller);
  }

  /// Keeps the process of `caller`, whose call is taken, and learns when the connection leaves the
  /// bus, which forgets it. The bus reports a connection that has already left as it watches it. A
  /// connection without a name (no bus daemon) is not kept.
  void remember(const std::string& caller, const std::string& program) {
    if (caller.empty() || registration().connection == nullptr) return;
    programs_[caller] = program;
    if (watches_.count(caller) != 0) return;
    watches_[caller] = g_bus_watch_name_on_connection(
        registration().connection, caller.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
        [](GDBusConnection*, const gchar* name, gpointer) { shared().left(name); }, nullptr, nullptr);
  }
  /// `caller` may have no calls here any more: then it is the idle connection that called last, and
  /// the idle connections past the bound are forgotten, those that called longest ago first. So the
  /// bound holds at every step, also while calls never stop coming.
  void rested(const std::string& caller) {
    if (programs_.count(caller) == 0 || queues_.has(caller)) return;
    std::erase(idle_, caller);
    idle_.push_back(caller);
    while (idle_.size() > SVGConverterService::maximumRememberedCallers) forget(std::string(idle_.front()));
  }
  void forget(const std::string& caller) {
    if (const auto watched = watches_.find(caller); watched != watches_.end()) {
      g_bus_unwatch_name(watched->second);
      watches_.erase(watched);
    }
    programs_.erase(caller);
    std::erase(idle_, caller);
  }

  Queues queues_;
  std::optional<Queues::Taken> running_;
  /// The OpenSVG calls whose windows wait for the main loop, by the number of their turn.
  std::map<std::uint64_t, Queues::Taken> opening_;
  std::uint64_t nextOpening_ = 0;
  /// The OpenSVG calls taken while a window in `opening_` waits, in the order they were taken: the
  /// first converts once that window is answered (and no other call runs).
  std::deque<Queues::Taken> heldOpenings_;
  /// The watch of each connection in `programs_`.
  std::map<std::string, guint> watches_;
  /// The program of each connection that has calls here or is remembered (see `programOf`).
  std::map<std::string, std::string> programs_;
  /// The remembered connections without calls here, the one that called last at the back.
  std::deque<std::string> idle_;
  /// Whether a turn of `pump` is already posted (see `pumpLater`).
  bool pumpPending_ = false;
};

const GDBusInterfaceVTable vtable = {handleMethodCall, nullptr, nullptr, {nullptr}};


}  // namespace

static_assert(SVGConverterService::maximumServiceWindows == AppDelegate::maximumWindowsPerRequest,
              "the open service opens as many windows at a time as a launch");

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
  if (connection == nullptr) return;
  bool registered = false;
  callsQueue().sync([&] { registered = registration().id != 0; });
  if (registered) return;
  (void)errorQuark();
  GError* failure = nullptr;
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, &failure);
  if (node == nullptr) {
    console::error("could not describe the services:", std::string(failure->message));
    g_error_free(failure);
    return;
  }
  // Registered from the calls' thread, which the bus then delivers the calls to.
  guint id = 0;
  callsQueue().sync([&] {
    id = g_dbus_connection_register_object(connection, objectPath, node->interfaces[0], &vtable, nullptr, nullptr,
                                           &failure);
    if (id != 0) registration() = {connection, id};
  });
  g_dbus_node_info_unref(node);
  if (id == 0) {
    console::error("could not register services:", std::string(failure->message));
    g_error_free(failure);
    return;
  }
  console::log("did register service:", serviceProvider());
}

void SVGConverterService::deactivate(GDBusConnection* connection) {
  if (connection == nullptr) return;
  callsQueue().sync([connection] {
    auto& current = registration();
    if (current.id == 0 || current.connection != connection) return;
    g_dbus_connection_unregister_object(connection, current.id);
    current = {};
  });
}

std::optional<SVGConverterService::NSError> SVGConverterService::refusedText(std::string_view svg,
                                                                           std::int64_t missingCode,
                                                                           std::int64_t invalidCode) {
  if (svg.empty()) {
    console::error("got no SVG string from pasteboard!");
    return error(missingCode, "Missing SVG text?");
  }
  if (svg.size() > SVGQuarvelDocument::maximumOpenedSVGBytes) {
    // The same refusal as for a file of that size; the text itself is not worth a log line.
    const auto message = SVGQuarvelDocument::tooLargeToOpenMessage(std::nullopt, svg.size());
    console::error(message);
    return error(invalidCode, message);
  }
  return std::nullopt;
}

std::variant<std::string, SVGConverterService::NSError> SVGConverterService::acceptedText(
    const NSPasteboard& pb, std::int64_t missingCode, std::int64_t invalidCode) {
  const auto& svg = pb.string();
  if (auto refused = refusedText(svg ? std::string_view(*svg) : std::string_view(), missingCode, invalidCode)) {
    return *refused;
  }
  return *svg;
}

std::variant<std::string, SVGConverterService::NSError> SVGConverterService::viewSource(
    std::string_view svg, const SVGQuarvelConfiguration& config) {
  // The code is bounded by what one answer holds and by what the generator makes of a drawing
  // of this size; a refusal names the bound that was met.
  const std::size_t generationLimit = SVGQuarvelDocument::maximumGeneratedSwiftBytes(svg.size());
  auto result = SVGQuarvelDocument::export_(svg, config, std::min(maximumReplyBytes, generationLimit));
  if (!result) {
    std::string message;
    if (generationLimit < maximumReplyBytes) {
      message = "The drawing is too large to convert: its Swift code would have more than " +
                SVGQuarvel::byteSizeText(generationLimit) + ".";
    } else {
      char limit[64];
      std::snprintf(limit, sizeof limit, "%zu MB (%zu bytes)", maximumReplyBytes >> 20, maximumReplyBytes);
      message = std::string("The Swift source of the drawing is too large to hand back: an answer holds at most ") +
                limit + ".";
    }
    console::error(message);
    return error(22425, message);
  }
  return shapedCode(svg, std::move(*result));
}

std::optional<std::variant<std::string, SVGConverterService::NSError>> SVGConverterService::smallViewSource(
    std::string_view svg, const SVGQuarvelConfiguration& config) {
  auto result = SVGQuarvelDocument::export_(
      svg, config, std::min(maximumInlineSwiftBytes, SVGQuarvelDocument::maximumGeneratedSwiftBytes(svg.size())));
  if (!result) return std::nullopt;
  return shapedCode(svg, std::move(*result));
}

bool SVGConverterService::convertsWhereTaken(std::string_view svg) {
  // Expat reads a document type only in capitals; the bus passes no other encoding of it.
  return svg.size() <= maximumInlineSVGBytes && svg.find("<!DOCTYPE") == std::string_view::npos;
}

std::variant<SVGQuarvelDocument::Snapshot, SVGConverterService::NSError> SVGConverterService::documentSnapshot(
    std::string_view svg, const SVGQuarvelConfiguration& config) {
  try {
    return SVGQuarvelDocument::Snapshot::fromSVGString(std::string(svg), std::nullopt, config);
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

void SVGConverterService::handleBusCall(bool openDocument, const std::string& caller,
                                        GDBusMethodInvocation* invocation) {
  // The application's activity begins and ends on the main loop, where its hooks run; an end lets
  // go only of an activity that began there.
  DispatchQueue::main().async([this] {
    if (!beginActivity_) return;
    beginActivity_();
    ++activities_;
  });
  Waiting call(invocation, openDocument, [this] {
    DispatchQueue::main().async([this] {
      if (activities_ == 0 || !endActivity_) return;
      --activities_;
      endActivity_();
    });
  });
  auto& calls = BusCalls::shared();
  // Whether an OpenSVG call may open one more window is seen at its turn, on the main loop.
  auto refused = refusedText(call.text(), openDocument ? 32423 : 22423, openDocument ? 32425 : 22425);
  if (refused) return calls.refuse(caller, std::move(call), busErrorName(*refused).c_str(), refused->localizedDescription);
  calls.admit(caller, std::move(call));
}
