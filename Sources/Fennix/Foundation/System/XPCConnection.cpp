#include "Fennix/Foundation/System/XPCConnection.h"

#include <cstdlib>

#include <gio/gio.h>

#include "Fennix/console/Console.h"

namespace {

constexpr const char* callErrorName = "org.quarvel.Fennix.XPC.Error";

struct PendingCall {
  std::function<void(GVariant*)> reply;
  std::function<void(const NSXPCError&)> errorHandler;
};

void callFinished(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<PendingCall> call(static_cast<PendingCall*>(data));
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (reply == nullptr) {
    const NSXPCError failure(error != nullptr ? error->message : "call failed");
    if (error != nullptr) g_error_free(error);
    if (call->errorHandler) call->errorHandler(failure);
    return;
  }
  if (call->reply) call->reply(reply);
  g_variant_unref(reply);
}

std::string objectPathFor(const std::string& name) {
  std::string path = "/";
  for (char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (c == '.') {
      if (path.back() != '/') path += '/';
    } else {
      path += allowed ? c : '_';
    }
  }
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

// ---- Proxy ---------------------------------------------------------------------------------------

NSXPCProxy::NSXPCProxy(Binding binding) : binding_(std::move(binding)) {
  if (binding_.connection != nullptr) g_object_ref(binding_.connection);
}

NSXPCProxy::~NSXPCProxy() {
  if (binding_.connection != nullptr) g_object_unref(binding_.connection);
}

std::string NSXPCProxy::description() const {
  return "<NSXPCProxy " + binding_.serviceName + " " + binding_.objectPath + " " + binding_.interfaceName + ">";
}

void NSXPCProxy::call(const std::string& method, GVariant* parameters, std::function<void(GVariant*)> reply) const {
  if (parameters != nullptr) g_variant_ref_sink(parameters);
  const bool usable = binding_.connection != nullptr && !g_dbus_connection_is_closed(binding_.connection) &&
                      g_dbus_is_name(binding_.serviceName.c_str()) &&
                      g_variant_is_object_path(binding_.objectPath.c_str()) &&
                      g_dbus_is_interface_name(binding_.interfaceName.c_str()) &&
                      g_dbus_is_member_name(method.c_str());
  if (!usable) {
    if (parameters != nullptr) g_variant_unref(parameters);
    if (binding_.errorHandler) binding_.errorHandler(NSXPCError("cannot call " + method + " of " + description()));
    return;
  }
  auto* pending = new PendingCall{std::move(reply), binding_.errorHandler};
  g_dbus_connection_call(binding_.connection, binding_.serviceName.c_str(), binding_.objectPath.c_str(),
                         binding_.interfaceName.c_str(), method.c_str(), parameters, nullptr,
                         G_DBUS_CALL_FLAGS_NONE, -1, nullptr, callFinished, pending);
  if (parameters != nullptr) g_variant_unref(parameters);
}

NSXPCInterface NSXPCInterface::withProtocol(std::string name, std::string introspectionXML,
                                            std::function<std::shared_ptr<NSXPCProxy>(NSXPCProxy::Binding)> makeProxy) {
  std::string path = objectPathFor(name);
  return {std::move(name), std::move(path), std::move(introspectionXML), std::move(makeProxy)};
}

// ---- Connection ----------------------------------------------------------------------------------

struct NSXPCConnection::State {
  GDBusConnection* connection = nullptr;
  gulong closedHandler = 0;
  guint watch = 0;
  guint registration = 0;
  GDBusNodeInfo* node = nullptr;
  bool resumed = false;
  bool serviceSeen = false;
  bool serviceRunning = false;
  bool invalidated = false;

  // Ends every subscription without calling any handler.
  void tearDown() {
    if (watch != 0) g_bus_unwatch_name(watch);
    watch = 0;
    if (connection != nullptr) {
      if (registration != 0) g_dbus_connection_unregister_object(connection, registration);
      if (closedHandler != 0) g_signal_handler_disconnect(connection, closedHandler);
      g_dbus_connection_close_sync(connection, nullptr, nullptr);
      g_object_unref(connection);
    }
    registration = 0;
    closedHandler = 0;
    connection = nullptr;
    if (node != nullptr) g_dbus_node_info_unref(node);
    node = nullptr;
  }
};

namespace {

void serviceAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data);
void serviceVanished(GDBusConnection*, const gchar*, gpointer data);
void connectionClosed(GDBusConnection*, gboolean, GError*, gpointer data);
void methodCalled(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data);

const GDBusInterfaceVTable dispatchTable = {methodCalled, nullptr, nullptr, {nullptr}};

}  // namespace

std::shared_ptr<NSXPCConnection> NSXPCConnection::make(const std::string& serviceName, NSXPCInterface outbound,
                                                       NSXPCInterface inbound,
                                                       std::shared_ptr<NSXPCDispatcher> dispatcher) {
  auto connection = std::make_shared<NSXPCConnection>(serviceName);
  connection->remoteObjectInterface = std::move(outbound);
  connection->exportedInterface = std::move(inbound);
  connection->exportedObject = std::move(dispatcher);
  const std::string name = serviceName;
  connection->interruptionHandler = [name](NSXPCConnection& self) {
    console::log("XPC connection got interrupted:", name, self);
  };
  connection->invalidationHandler = [name](NSXPCConnection& self) {
    console::error("XPC connection was invalidated:", name, self);
  };
  return connection;
}

NSXPCConnection::NSXPCConnection(std::string serviceName)
    : serviceName_(std::move(serviceName)), state_(std::make_unique<State>()) {}

NSXPCConnection::~NSXPCConnection() { state_->tearDown(); }

std::string NSXPCConnection::description() const { return "<NSXPCConnection " + serviceName_ + ">"; }

bool NSXPCConnection::isValid() const { return !state_->invalidated; }
bool NSXPCConnection::isServiceRunning() const { return state_->serviceRunning; }

void NSXPCConnection::resume() {
  if (state_->resumed || state_->invalidated) return;
  state_->resumed = true;
  if (!g_dbus_is_name(serviceName_.c_str()) || g_dbus_is_unique_name(serviceName_.c_str())) {
    console::error("XPC service name is not a bus name:", serviceName_);
    invalidated();
    return;
  }
  GError* error = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (address != nullptr) {
    state_->connection = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    g_free(address);
  }
  if (state_->connection == nullptr) {
    console::error("XPC connection could not reach the session bus:", error != nullptr ? error->message : "");
    if (error != nullptr) g_error_free(error);
    invalidated();
    return;
  }
  g_dbus_connection_set_exit_on_close(state_->connection, FALSE);
  state_->closedHandler = g_signal_connect(state_->connection, "closed", G_CALLBACK(connectionClosed), this);

  if (exportedInterface && exportedObject) {
    state_->node = g_dbus_node_info_new_for_xml(exportedInterface->introspectionXML.c_str(), &error);
    GDBusInterfaceInfo* info =
        state_->node != nullptr ? g_dbus_node_info_lookup_interface(state_->node, exportedInterface->name.c_str())
                                : nullptr;
    if (info != nullptr && g_variant_is_object_path(exportedInterface->objectPath.c_str())) {
      state_->registration = g_dbus_connection_register_object(
          state_->connection, exportedInterface->objectPath.c_str(), info, &dispatchTable, this, nullptr, &error);
    }
    if (state_->registration == 0) {
      console::error("XPC connection could not offer its interface:", exportedInterface->name,
                     error != nullptr ? error->message : "no description of the interface");
    }
    if (error != nullptr) g_error_free(error);
  }
  state_->watch = g_bus_watch_name_on_connection(state_->connection, serviceName_.c_str(),
                                                 G_BUS_NAME_WATCHER_FLAGS_NONE, serviceAppeared, serviceVanished,
                                                 this, nullptr);
}

void NSXPCConnection::invalidate() { invalidated(); }

void NSXPCConnection::interrupted() {
  const auto keep = weak_from_this().lock();  // a handler may drop the last reference
  if (Handler handler = interruptionHandler) handler(*this);
}

void NSXPCConnection::invalidated() {
  if (state_->invalidated) return;
  state_->invalidated = true;
  state_->serviceRunning = false;
  state_->tearDown();
  const auto keep = weak_from_this().lock();
  if (Handler handler = invalidationHandler) handler(*this);
}

std::shared_ptr<NSXPCProxy> NSXPCConnection::remoteObjectProxy(std::function<void(const NSXPCError&)> errorHandler) {
  NSXPCProxy::Binding binding;
  binding.connection = state_->connection;
  binding.serviceName = serviceName_;
  if (remoteObjectInterface) {
    binding.objectPath = remoteObjectInterface->objectPath;
    binding.interfaceName = remoteObjectInterface->name;
  }
  binding.errorHandler = std::move(errorHandler);
  if (remoteObjectInterface && remoteObjectInterface->makeProxy) {
    if (auto made = remoteObjectInterface->makeProxy(binding)) return made;
  }
  return std::make_shared<NSXPCProxy>(std::move(binding));
}

namespace {

NSXPCConnection* connectionOf(gpointer data) { return static_cast<NSXPCConnection*>(data); }

}  // namespace

// The callbacks reach the connection's private members through these friends of the file.
struct NSXPCConnectionEvents {
  static void appeared(NSXPCConnection& connection) {
    connection.state_->serviceSeen = true;
    connection.state_->serviceRunning = true;
  }
  static void vanished(NSXPCConnection& connection) {
    NSXPCConnection::State& state = *connection.state_;
    state.serviceRunning = false;
    if (state.connection == nullptr || g_dbus_connection_is_closed(state.connection)) {
      connection.invalidated();
    } else if (state.serviceSeen) {
      state.serviceSeen = false;
      connection.interrupted();
    }
  }
  static void closed(NSXPCConnection& connection) { connection.invalidated(); }
  static NSXPCDispatcher* dispatcher(NSXPCConnection& connection) { return connection.exportedObject.get(); }
};

namespace {

void serviceAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data) {
  NSXPCConnectionEvents::appeared(*connectionOf(data));
}

void serviceVanished(GDBusConnection*, const gchar*, gpointer data) {
  NSXPCConnectionEvents::vanished(*connectionOf(data));
}

void connectionClosed(GDBusConnection*, gboolean, GError*, gpointer data) {
  NSXPCConnectionEvents::closed(*connectionOf(data));
}

void methodCalled(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
  NSXPCDispatcher* dispatcher = NSXPCConnectionEvents::dispatcher(*connectionOf(data));
  if (dispatcher == nullptr) {
    g_dbus_method_invocation_return_dbus_error(invocation, callErrorName, "nothing answers calls here");
    return;
  }
  try {
    g_dbus_method_invocation_return_value(invocation, dispatcher->handleMethodCall(method, parameters));
  } catch (const std::exception& failure) {
    g_dbus_method_invocation_return_dbus_error(invocation, callErrorName, failure.what());
  }
}

}  // namespace
