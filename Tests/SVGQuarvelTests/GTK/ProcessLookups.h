// What the bus is asked about its connections' processes: a monitor on a session bus that counts
// the calls asking the bus for a connection's process (GetConnectionUnixProcessID and
// GetConnectionCredentials), by the connection that asked and the connection asked about.
#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "XDriver/XDriver.h"

class ProcessLookups {
 public:
  /// Monitors the bus at `address`; `ok()` tells whether the bus took the monitor.
  explicit ProcessLookups(const std::string& address) {
    GError* error = nullptr;
    monitor_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (monitor_ == nullptr) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
      return;
    }
    // A monitor sends nothing once it monitors: what it is handed is kept from the connection's
    // own handling, which would answer the calls it sees.
    filter_ = g_dbus_connection_add_filter(monitor_, &ProcessLookups::filter, this, nullptr);
    GVariantBuilder rules;
    g_variant_builder_init(&rules, G_VARIANT_TYPE("as"));
    for (const char* member : {"GetConnectionUnixProcessID", "GetConnectionCredentials", "GetNameOwner"}) {
      const std::string rule =
          std::string("type='method_call',interface='org.freedesktop.DBus',member='") + member + "'";
      g_variant_builder_add(&rules, "s", rule.c_str());
    }
    GVariant* reply = g_dbus_connection_call_sync(
        monitor_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.Monitoring", "BecomeMonitor",
        g_variant_new("(asu)", &rules, 0u), nullptr, G_DBUS_CALL_FLAGS_NONE, 30000, nullptr, &error);
    if (reply == nullptr) {
      ADD_FAILURE() << "the bus took no monitor: " << error->message;
      g_error_free(error);
      return;
    }
    g_variant_unref(reply);
    monitoring_ = true;
  }
  ~ProcessLookups() {
    if (monitor_ == nullptr) return;
    g_dbus_connection_remove_filter(monitor_, filter_);
    g_dbus_connection_close_sync(monitor_, nullptr, nullptr);
    g_object_unref(monitor_);
  }
  ProcessLookups(const ProcessLookups&) = delete;
  ProcessLookups& operator=(const ProcessLookups&) = delete;

  bool ok() const { return monitoring_; }

  /// How often `asker` has asked for the process of `asked` until now: the asks made before a
  /// call on the bus from `marker` (a connection to the same bus) are all counted once it returns.
  int count(GDBusConnection* marker, const std::string& asker, const std::string& asked) {
    // A question the monitor sees after every message the bus had taken before it.
    const std::string token = std::string(markerPrefix) + std::to_string(++markers_);
    GVariant* owner = g_dbus_connection_call_sync(marker, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "GetNameOwner",
                                                  g_variant_new("(s)", token.c_str()), nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 30000, nullptr, nullptr);
    if (owner != nullptr) g_variant_unref(owner);  // no connection owns it: an error comes back
    const bool seen = XDriver::waitUntil([&] { return seenMarker() == token; }, 60);
    EXPECT_TRUE(seen) << "the monitor did not see the marker";
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = asks_.find({asker, asked});
    return found == asks_.end() ? 0 : found->second;
  }

 private:
  /// The names the markers ask about, which no connection owns.
  static constexpr const char* markerPrefix = "org.quarvel.Tests.Marker.m";

  std::string seenMarker() {
    std::lock_guard<std::mutex> lock(mutex_);
    return marker_;
  }

  /// Runs on the connection's own thread.
  static GDBusMessage* filter(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer data) {
    if (!incoming) return message;
    auto* self = static_cast<ProcessLookups*>(data);
    if (g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_RETURN && !self->monitoring_) {
      return message;  // the answer to BecomeMonitor
    }
    if (g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_CALL) {
      const char* member = g_dbus_message_get_member(message);
      const char* sender = g_dbus_message_get_sender(message);
      GVariant* body = g_dbus_message_get_body(message);
      if (member != nullptr && sender != nullptr && body != nullptr && g_variant_is_of_type(body, G_VARIANT_TYPE("(s)"))) {
        const gchar* name = nullptr;
        g_variant_get(body, "(&s)", &name);
        std::lock_guard<std::mutex> lock(self->mutex_);
        if (std::string(member) == "GetNameOwner") {
          if (std::string(name).rfind(markerPrefix, 0) == 0) self->marker_ = name;
        } else {
          self->asks_[{sender, name}] += 1;
        }
      }
    }
    g_object_unref(message);
    return nullptr;
  }

  GDBusConnection* monitor_ = nullptr;
  guint filter_ = 0;
  std::atomic<bool> monitoring_ = false;
  std::mutex mutex_;
  std::map<std::pair<std::string, std::string>, int> asks_;
  std::string marker_;
  int markers_ = 0;
};
