// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in, on a private session bus, for the services that hold the session's idle watch off: owns the
// names given (org.freedesktop.ScreenSaver, org.gnome.SessionManager, org.freedesktop.portal.Desktop, and
// org.freedesktop.login1 for xscreensaver-systemd, which wants logind's sleep lock before it starts) and
// appends one line to RECORD_FILE for each call it answers:
//   ScreenSaver Inhibit APPLICATION COOKIE       ScreenSaver UnInhibit COOKIE
//   SessionManager Inhibit APPLICATION FLAGS COOKIE   SessionManager Uninhibit COOKIE
//   Portal Inhibit FLAGS HANDLE                  Request Close HANDLE
// Cookies and handles are numbered from 1 across all services.
// Usage: screen_saver_stand_in RECORD_FILE NAME...; it writes RECORD_FILE.ready once every name is its own.
#include <gio/gio.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

const char* kIntrospection =
    "<node>"
    "<interface name='org.freedesktop.ScreenSaver'>"
    "<method name='Inhibit'><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='u' direction='out'/></method>"
    "<method name='UnInhibit'><arg type='u' direction='in'/></method></interface>"
    "<interface name='org.gnome.SessionManager'>"
    "<method name='Inhibit'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='u' direction='in'/><arg type='u' direction='out'/></method>"
    "<method name='Uninhibit'><arg type='u' direction='in'/></method></interface>"
    "<interface name='org.freedesktop.portal.Inhibit'>"
    "<method name='Inhibit'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "<arg type='a{sv}' direction='in'/><arg type='o' direction='out'/></method></interface>"
    "<interface name='org.freedesktop.portal.Request'><method name='Close'/></interface>"
    "<interface name='org.freedesktop.login1.Manager'>"
    "<method name='Inhibit'><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='h' direction='out'/></method>"
    "</interface>"
    "</node>";

std::string recordFile;
GDBusNodeInfo* node = nullptr;
guint32 issued = 0;
int owned = 0;
int wanted = 0;

void Record(const std::string& line) {
  FILE* file = std::fopen(recordFile.c_str(), "a");
  if (file == nullptr) return;
  std::fprintf(file, "%s\n", line.c_str());
  std::fclose(file);
}

void HandleCall(GDBusConnection* connection, const gchar*, const gchar* path, const gchar* interface,
                const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer);

const GDBusInterfaceVTable kVtable = {HandleCall, nullptr, nullptr, {}};

void Register(GDBusConnection* connection, const char* path, int interface) {
  g_dbus_connection_register_object(connection, path, node->interfaces[interface], &kVtable, nullptr, nullptr,
                                    nullptr);
}

void HandleCall(GDBusConnection* connection, const gchar*, const gchar* path, const gchar* interface,
                const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
  const std::string name = method;
  const std::string tail = g_strrstr(interface, ".") + 1;
  guint32 number = 0;
  if (tail == "ScreenSaver" && name == "Inhibit") {
    const gchar* application = nullptr;
    g_variant_get(parameters, "(&s&s)", &application, nullptr);
    number = ++issued;
    Record("ScreenSaver Inhibit " + std::string(application) + " " + std::to_string(number));
  } else if (tail == "SessionManager" && name == "Inhibit") {
    const gchar* application = nullptr;
    guint32 flags = 0;
    g_variant_get(parameters, "(&su&su)", &application, nullptr, nullptr, &flags);
    number = ++issued;
    Record("SessionManager Inhibit " + std::string(application) + " " + std::to_string(flags) + " " +
           std::to_string(number));
  } else if (tail == "Inhibit") {
    guint32 flags = 0;
    g_variant_get(parameters, "(&su@a{sv})", nullptr, &flags, nullptr);
    const std::string handle = "/org/freedesktop/portal/desktop/request/" + std::to_string(++issued);
    Register(connection, handle.c_str(), 3);
    Record("Portal Inhibit " + std::to_string(flags) + " " + handle);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", handle.c_str()));
    return;
  } else if (tail == "Manager") {
    // logind's delay lock, which xscreensaver-systemd takes before it offers its services: a descriptor
    // held open for as long as the lock lasts.
    int ends[2];
    if (pipe(ends) != 0) return;
    GUnixFDList* descriptors = g_unix_fd_list_new_from_array(ends, 1);
    g_dbus_method_invocation_return_value_with_unix_fd_list(invocation, g_variant_new("(h)", 0), descriptors);
    g_object_unref(descriptors);
    return;
  } else if (tail == "Request") {
    Record(std::string("Request Close ") + path);
  } else {
    g_variant_get(parameters, "(u)", &number);
    Record(tail + " " + name + " " + std::to_string(number));
  }
  g_dbus_method_invocation_return_value(invocation,
                                        name == "Inhibit" ? g_variant_new("(u)", number) : nullptr);
}

void NameAcquired(GDBusConnection*, const gchar*, gpointer) {
  if (++owned == wanted) g_file_set_contents((recordFile + ".ready").c_str(), "", 0, nullptr);
}

void NameLost(GDBusConnection*, const gchar*, gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s RECORD_FILE NAME...\n", argv[0]);
    return 2;
  }
  recordFile = argv[1];
  wanted = argc - 2;
  GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (connection == nullptr) return 1;
  node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  Register(connection, "/org/freedesktop/ScreenSaver", 0);
  Register(connection, "/org/gnome/SessionManager", 1);
  Register(connection, "/org/freedesktop/portal/desktop", 2);
  Register(connection, "/org/freedesktop/login1", 4);
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  for (int i = 2; i < argc; ++i) {
    g_bus_own_name_on_connection(connection, argv[i], G_BUS_NAME_OWNER_FLAGS_NONE, NameAcquired, NameLost,
                                 loop, nullptr);
  }
  g_main_loop_run(loop);
  return 1;
}
