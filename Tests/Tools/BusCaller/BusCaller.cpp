// A program of its own that calls the application's services on a bus, for tests that need
// callers in more than one process:
//   quarvel-bus-caller <bus address> <method> <file of the SVG text> <calls>
// It sends the calls at once, without waiting for their answers, makes sure the bus has passed
// them on, and writes "sent"; then, as each answer comes, a line
//   answer <number> <1 when it is a value, else 0> <serial of the answer> <error name>\t<message>
// and ends once every call is answered.
#include <gio/gio.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int unanswered = 0;

struct Call {
  int number;
};

void answered(GObject* source, GAsyncResult* result, gpointer data) {
  const int number = static_cast<Call*>(data)->number;
  delete static_cast<Call*>(data);
  GError* error = nullptr;
  GDBusMessage* reply = g_dbus_connection_send_message_with_reply_finish(G_DBUS_CONNECTION(source), result, &error);
  std::string name, message;
  unsigned serial = 0;
  bool ok = false;
  if (reply == nullptr) {
    name = "(no answer)";
    message = error->message;
    g_error_free(error);
  } else {
    serial = g_dbus_message_get_serial(reply);
    ok = g_dbus_message_get_message_type(reply) == G_DBUS_MESSAGE_TYPE_METHOD_RETURN;
    if (!ok) {
      const char* errorName = g_dbus_message_get_error_name(reply);
      name = errorName != nullptr ? errorName : "";
      GVariant* body = g_dbus_message_get_body(reply);
      if (body != nullptr && g_variant_is_of_type(body, G_VARIANT_TYPE("(s)"))) {
        const gchar* text = nullptr;
        g_variant_get(body, "(&s)", &text);
        message = text;
      }
    }
    g_object_unref(reply);
  }
  std::printf("answer %d %d %u %s\t%s\n", number, ok ? 1 : 0, serial, name.c_str(), message.c_str());
  std::fflush(stdout);
  --unanswered;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <bus address> <method> <file of the SVG text> <calls>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[3], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string svg = text.str();
  const int calls = std::atoi(argv[4]);
  GError* error = nullptr;
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      argv[1],
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (connection == nullptr) {
    std::fprintf(stderr, "no bus: %s\n", error->message);
    return 1;
  }
  for (int number = 0; number < calls; ++number) {
    GDBusMessage* message = g_dbus_message_new_method_call("org.quarvel.SVGQuarvel", "/org/quarvel/SVGQuarvel/Services",
                                                           "org.quarvel.SVGQuarvel.Services", argv[2]);
    g_dbus_message_set_body(message, g_variant_new("(s)", svg.c_str()));
    ++unanswered;
    g_dbus_connection_send_message_with_reply(connection, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE, 600000, nullptr,
                                              nullptr, answered, new Call{number});
    g_object_unref(message);
  }
  // The bus answers a call to itself after it has handled the caller's earlier messages.
  GVariant* id = g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                             "org.freedesktop.DBus", "GetId", nullptr, G_VARIANT_TYPE("(s)"),
                                             G_DBUS_CALL_FLAGS_NONE, 120000, nullptr, nullptr);
  if (id != nullptr) g_variant_unref(id);
  std::printf("sent\n");
  std::fflush(stdout);
  while (unanswered > 0) g_main_context_iteration(nullptr, TRUE);
  g_dbus_connection_close_sync(connection, nullptr, nullptr);
  g_object_unref(connection);
  return 0;
}
