#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <functional>

#include <gio/gio.h>

#include "Fennix/Foundation/System/XPCConnection.h"
#include "BusTestSupport.h"
#include "LogTestSupport.h"

namespace {

constexpr const char* serviceName = "org.quarvel.Test.Echo";

constexpr const char* echoXML =
    "<node><interface name='org.quarvel.Test.Echo'>"
    "<method name='Echo'><arg type='s' direction='in'/><arg type='s' direction='out'/></method>"
    "</interface></node>";
constexpr const char* clientXML =
    "<node><interface name='org.quarvel.Test.Client'>"
    "<method name='Notify'><arg type='s' direction='in'/><arg type='s' direction='out'/></method>"
    "</interface></node>";

// The typed proxy of the echo service.
class EchoProxy : public NSXPCProxy {
 public:
  using NSXPCProxy::NSXPCProxy;
  void echo(const std::string& text, std::function<void(std::string)> reply) const {
    call("Echo", g_variant_new("(s)", text.c_str()), [reply](GVariant* result) {
      const gchar* answer = nullptr;
      g_variant_get(result, "(&s)", &answer);
      reply(answer);
    });
  }
};
class OtherProxy : public NSXPCProxy {
 public:
  using NSXPCProxy::NSXPCProxy;
};

NSXPCInterface echoInterface() {
  return NSXPCInterface::withProtocol("org.quarvel.Test.Echo", echoXML, [](NSXPCProxy::Binding binding) {
    return std::make_shared<EchoProxy>(std::move(binding));
  });
}

// What this side offers the service: it answers "Notify" and remembers what it was told.
class ClientDispatcher : public NSXPCDispatcher {
 public:
  std::vector<std::string> notes;
  GVariant* handleMethodCall(const std::string& method, GVariant* parameters) override {
    if (method != "Notify") throw NSXPCError("unknown method " + method);
    const gchar* note = nullptr;
    g_variant_get(parameters, "(&s)", &note);
    notes.push_back(note);
    return g_variant_new("(s)", "noted");
  }
};

// Runs the main context until `done` holds or five seconds passed.
bool runUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  return true;
}

// The service: a second connection to the private bus that owns the service name and echoes.
struct EchoService {
  GDBusConnection* connection = nullptr;
  GDBusNodeInfo* node = nullptr;
  guint registration = 0;
  guint ownership = 0;
  bool owned = false;
  std::string lastSender;

  explicit EchoService(const char* address) {
    connection = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    node = g_dbus_node_info_new_for_xml(echoXML, nullptr);
    static const GDBusInterfaceVTable table = {
        [](GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar*, GVariant* parameters,
           GDBusMethodInvocation* invocation, gpointer data) {
          static_cast<EchoService*>(data)->lastSender = sender;
          const gchar* text = nullptr;
          g_variant_get(parameters, "(&s)", &text);
          g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", text));
        },
        nullptr, nullptr, {nullptr}};
    registration = g_dbus_connection_register_object(connection, "/org/quarvel/Test/Echo", node->interfaces[0],
                                                     &table, this, nullptr, nullptr);
    ownership = g_bus_own_name_on_connection(
        connection, serviceName, G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, gpointer data) { static_cast<EchoService*>(data)->owned = true; },
        nullptr, this, nullptr);
  }
  void stop() {
    if (connection == nullptr) return;
    g_bus_unown_name(ownership);
    g_dbus_connection_unregister_object(connection, registration);
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    g_dbus_node_info_unref(node);
    connection = nullptr;
  }
  ~EchoService() { stop(); }
};

TEST(XPCConnectionTests, CallsBothWaysAndReportsTheServiceGoingAway) {
  BusTestSupport::PrivateBus bus;
  ASSERT_FALSE(bus.address().empty()) << bus.log();
  // The bus the connections take as the session's.
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
  LogTestSupport::FileConsole logs(LogLevel::log);
  console::setDefaultConsole(logs.console);

  EchoService service(bus.address().c_str());
  ASSERT_TRUE(runUntil([&] { return service.owned; }));

  auto dispatcher = std::make_shared<ClientDispatcher>();
  auto connection = NSXPCConnection::make(
      serviceName, echoInterface(), NSXPCInterface::withProtocol("org.quarvel.Test.Client", clientXML), dispatcher);
  // A second connection whose interruption handler is replaced: it does not log.
  auto quiet = NSXPCConnection::make(serviceName, echoInterface(),
                                     NSXPCInterface::withProtocol("org.quarvel.Test.Client", clientXML), nullptr);
  int quietInterruptions = 0;
  quiet->onInterruption([&](NSXPCConnection&) { ++quietInterruptions; });
  connection->resume();
  quiet->resume();
  ASSERT_TRUE(runUntil([&] { return connection->isServiceRunning() && quiet->isServiceRunning(); }));

  std::vector<std::string> errors;
  auto echo = connection->proxy<EchoProxy>([&](const NSXPCError& error) { errors.push_back(error.what()); });
  std::string answer;
  echo->echo("héllo 😀", [&](std::string reply) { answer = std::move(reply); });
  ASSERT_TRUE(runUntil([&] { return !answer.empty(); }));
  EXPECT_EQ(answer, "héllo 😀");

  // The service calls back the object this side offers.
  std::string callback;
  g_dbus_connection_call(
      service.connection, service.lastSender.c_str(), "/org/quarvel/Test/Client", "org.quarvel.Test.Client",
      "Notify", g_variant_new("(s)", "ping"), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
        if (reply == nullptr) {
          *static_cast<std::string*>(data) = "failed";
          return;
        }
        const gchar* text = nullptr;
        g_variant_get(reply, "(&s)", &text);
        *static_cast<std::string*>(data) = text;
        g_variant_unref(reply);
      },
      &callback);
  ASSERT_TRUE(runUntil([&] { return !callback.empty(); }));
  EXPECT_EQ(callback, "noted");
  EXPECT_EQ(dispatcher->notes, std::vector<std::string>{"ping"});

  service.stop();
  ASSERT_TRUE(runUntil([&] { return !connection->isServiceRunning() && quietInterruptions == 1; }));
  EXPECT_TRUE(connection->isValid());
  EXPECT_EQ(logs.out.text(),
            "XPC connection got interrupted: org.quarvel.Test.Echo <NSXPCConnection org.quarvel.Test.Echo>\n");

  echo->echo("nobody", [&](std::string reply) { answer = std::move(reply); });
  ASSERT_TRUE(runUntil([&] { return !errors.empty(); }));

  bus.stop();
  ASSERT_TRUE(runUntil([&] { return !connection->isValid() && !quiet->isValid(); }));
  const std::string invalidation =
      "ERROR: XPC connection was invalidated: org.quarvel.Test.Echo <NSXPCConnection org.quarvel.Test.Echo>\n";
  EXPECT_EQ(logs.err.text(), invalidation + invalidation);
  quiet->invalidate();  // once only
  EXPECT_EQ(logs.err.text(), invalidation + invalidation);
  EXPECT_EQ(quietInterruptions, 1);

  console::setDefaultConsole(nullptr);
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST(XPCConnectionDeathTest, AProxyOfTheWrongTypeStopsTheProcess) {
  auto connection = NSXPCConnection::make(serviceName, echoInterface(),
                                          NSXPCInterface::withProtocol("org.quarvel.Test.Client", clientXML), nullptr);
  EXPECT_NE(connection->proxy<EchoProxy>({}), nullptr);
  EXPECT_DEATH(connection->proxy<OtherProxy>({}),
               "could not type service <NSXPCProxy org.quarvel.Test.Echo /org/quarvel/Test/Echo "
               "org.quarvel.Test.Echo> as OtherProxy");
}

}  // namespace
