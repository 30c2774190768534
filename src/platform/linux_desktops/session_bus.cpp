#include "platform/linux_desktops/session_bus.h"

namespace lumora::platform::desktops {

SessionBus::~SessionBus() {
  if (connection_ != nullptr) g_object_unref(connection_);
}

GDBusConnection* SessionBus::Connection(std::string& error) {
  if (connection_ != nullptr && !g_dbus_connection_is_closed(connection_)) return connection_;
  if (connection_ != nullptr) g_clear_object(&connection_);
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
    error = failure != nullptr ? failure->message : "no session bus";
    g_clear_error(&failure);
  }
  return connection_;
}

GVariant* SessionBus::Call(const char* service, const char* path, const char* interface, const char* method,
                           GVariant* parameters, const GVariantType* replyType, int timeoutMs,
                           std::string& error) {
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
    error = failure != nullptr ? failure->message : "no reply";
    g_clear_error(&failure);
    return nullptr;
  }
  return reply;
}

}  // namespace lumora::platform::desktops
