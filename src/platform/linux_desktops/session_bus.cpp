// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_desktops/session_bus.h"

#include <algorithm>

namespace lumora::platform::desktops {

namespace {

// For the bus daemon's own questions.
constexpr int kTimeoutMs = 5000;

// The failures that mean nobody was there to answer, as opposed to a peer that answered with an error.
bool Unanswered(const GError* failure) {
  if (g_error_matches(failure, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
      g_error_matches(failure, G_IO_ERROR, G_IO_ERROR_CLOSED)) {
    return true;
  }
  if (failure->domain != G_DBUS_ERROR) return false;
  switch (failure->code) {
    case G_DBUS_ERROR_SERVICE_UNKNOWN:
    case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
    case G_DBUS_ERROR_NO_REPLY:
    case G_DBUS_ERROR_TIMEOUT:
    case G_DBUS_ERROR_TIMED_OUT:
    case G_DBUS_ERROR_NO_SERVER:
    case G_DBUS_ERROR_DISCONNECTED:
    case G_DBUS_ERROR_SPAWN_FAILED:
    case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
    case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
      return true;
    default:
      return false;
  }
}

}  // namespace

SessionBus::~SessionBus() {
  if (connection_ != nullptr) g_object_unref(connection_);
}

GDBusConnection* SessionBus::Connection(BusError& error) {
  if (connection_ != nullptr && !g_dbus_connection_is_closed(connection_)) return connection_;
  if (connection_ != nullptr) {
    g_clear_object(&connection_);
    subscriptions_.clear();
  }
  GError* failure = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &failure);
  if (address != nullptr) {
    connection_ = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &failure);
    g_free(address);
  }
  if (connection_ == nullptr) {
    error = {failure != nullptr ? failure->message : "no session bus", true};
    g_clear_error(&failure);
  }
  return connection_;
}

GVariant* SessionBus::Call(const char* service, const char* path, const char* interface, const char* method,
                           GVariant* parameters, const GVariantType* replyType, int timeoutMs,
                           BusError& error) {
  // A floating parameter tuple must be consumed even when the call cannot be made.
  if (parameters != nullptr) g_variant_ref_sink(parameters);
  GDBusConnection* connection = Connection(error);
  if (connection == nullptr) {
    if (parameters != nullptr) g_variant_unref(parameters);
    return nullptr;
  }
  GError* failure = nullptr;
  GVariant* reply =
      g_dbus_connection_call_sync(connection, service, path, interface, method, parameters, replyType,
                                  G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, &failure);
  if (parameters != nullptr) g_variant_unref(parameters);
  if (reply == nullptr) {
    error = failure != nullptr ? BusError{failure->message, Unanswered(failure)} : BusError{"no reply", true};
    g_clear_error(&failure);
    return nullptr;
  }
  return reply;
}

bool SessionBus::Owned(const char* service) {
  BusError error;
  GVariant* reply =
      Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
           g_variant_new("(s)", service), G_VARIANT_TYPE("(b)"), kTimeoutMs, error);
  if (reply == nullptr) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned != FALSE;
}

bool SessionBus::Startable(const char* service) {
  BusError error;
  GVariant* reply = Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                         "ListActivatableNames", nullptr, G_VARIANT_TYPE("(as)"), kTimeoutMs, error);
  if (reply == nullptr) return false;
  GVariant* names = g_variant_get_child_value(reply, 0);
  gsize count = 0;
  const gchar** list = g_variant_get_strv(names, &count);
  bool found = false;
  for (gsize i = 0; i < count && !found; ++i) found = g_strcmp0(list[i], service) == 0;
  g_free(list);
  g_variant_unref(names);
  g_variant_unref(reply);
  return found;
}

guint SessionBus::Subscribe(const char* service, const char* interface, const char* member, const char* arg0,
                            GDBusSignalCallback callback, gpointer data) {
  BusError error;
  GDBusConnection* connection = Connection(error);
  if (connection == nullptr) return 0;
  const guint subscription =
      g_dbus_connection_signal_subscribe(connection, service, interface, member, nullptr, arg0,
                                         G_DBUS_SIGNAL_FLAGS_NONE, callback, data, nullptr);
  subscriptions_.push_back(subscription);
  return subscription;
}

void SessionBus::Unsubscribe(guint subscription) {
  // A subscription went with the connection it was made on, when the bus closed that.
  const auto it = std::find(subscriptions_.begin(), subscriptions_.end(), subscription);
  if (it == subscriptions_.end()) return;
  subscriptions_.erase(it);
  g_dbus_connection_signal_unsubscribe(connection_, subscription);
}

}  // namespace lumora::platform::desktops
