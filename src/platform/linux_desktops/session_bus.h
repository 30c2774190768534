// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gio/gio.h>

#include <string>
#include <vector>

namespace lumora::platform::desktops {

// Why a call failed.
struct BusError {
  std::string message;      // GIO's own words
  bool unanswered = false;  // nobody answered: no bus, nobody owns the name, no reply in time

  bool empty() const { return message.empty(); }
};

// A connection of our own to the session bus, opened on first use and again after the bus went away.
// Not GIO's shared connection: that one ends the whole process when the bus closes.
class SessionBus {
 public:
  SessionBus() = default;
  ~SessionBus();
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;

  // The connection itself, for signals; nullptr with the reason in error when the bus cannot be reached.
  GDBusConnection* Connection(BusError& error);

  // Calls a method and returns its reply, or nullptr with the reason in error (a bus that cannot be
  // reached, a name nobody owns, the peer's own error). The reply is owned by the caller.
  GVariant* Call(const char* service, const char* path, const char* interface, const char* method,
                 GVariant* parameters, const GVariantType* replyType, int timeoutMs, BusError& error);

  // Whether someone owns the name now; asking a service that only the bus could start would start it.
  bool Owned(const char* service);
  // Whether the bus would start the service when asked for it.
  bool Startable(const char* service);

  // Calls callback with each signal named member of interface that service sends, from any object, whose
  // first argument is arg0, until Unsubscribe. The callbacks run in the subscribing thread's GLib main
  // context: on the user-interface thread, Qt's event loop runs them. 0 when the bus cannot be reached.
  guint Subscribe(const char* service, const char* interface, const char* member, const char* arg0,
                  GDBusSignalCallback callback, gpointer data);
  void Unsubscribe(guint subscription);

 private:
  GDBusConnection* connection_ = nullptr;
  std::vector<guint> subscriptions_;  // on connection_
};

}  // namespace lumora::platform::desktops
