// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in, on a private session bus, for the GlobalShortcuts portal of org.freedesktop.portal.Desktop and
// appends a line to RECORD_FILE for each shortcut asked for and each session closed:
//   BindShortcuts SESSION ID PREFERRED_TRIGGER        Close SESSION
// It answers the first BindShortcuts as a user who cancels the portal's dialog would, and binds the later
// ones. org.lumora.Test.Press(s session) sends Activated of "next-wallpaper" in that session.
// Usage: shortcuts_portal_stand_in RECORD_FILE; it writes RECORD_FILE.ready once the name is its own.
#include <gio/gio.h>

#include <cstdio>
#include <string>

namespace {

const char* kIntrospection =
    "<node><interface name='org.freedesktop.portal.GlobalShortcuts'>"
    "<method name='CreateSession'><arg type='a{sv}' direction='in'/><arg type='o' direction='out'/></method>"
    "<method name='BindShortcuts'><arg type='o' direction='in'/><arg type='a(sa{sv})' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='a{sv}' direction='in'/><arg type='o' direction='out'/></method>"
    "<property name='version' type='u' access='read'/></interface>"
    "<interface name='org.lumora.Test'><method name='Press'><arg type='s' "
    "direction='in'/></method></interface>"
    "<interface name='org.freedesktop.portal.Session'><method name='Close'/></interface></node>";

constexpr const char* kPath = "/org/freedesktop/portal/desktop";
std::string recordFile;
GDBusNodeInfo* node = nullptr;
int binds = 0;

void Record(const std::string& line) {
  if (FILE* file = std::fopen(recordFile.c_str(), "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

// The path of an object made for the caller with the token given under key in options.
std::string PathFor(GDBusMethodInvocation* invocation, const char* kind, GVariant* options, const char* key) {
  const gchar* token = "";
  g_variant_lookup(options, key, "&s", &token);
  std::string sender = g_dbus_method_invocation_get_sender(invocation) + 1;
  for (char& c : sender) c = c == '.' ? '_' : c;
  return std::string(kPath) + "/" + kind + "/" + sender + "/" + token;
}

GVariant* Version(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**,
                  gpointer) {
  return g_variant_new_uint32(1);
}

void HandleCall(GDBusConnection* connection, const gchar*, const gchar* path, const gchar*,
                const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
  const std::string name = method;
  const gchar* session = nullptr;
  GVariant* options = nullptr;  // of a call answered through a Request
  guint32 response = 0;
  GVariant* results = nullptr;
  if (name == "CreateSession") {
    options = g_variant_get_child_value(parameters, 0);
    const std::string made = PathFor(invocation, "session", options, "session_handle_token");
    static const GDBusInterfaceVTable vtable = {HandleCall, nullptr, nullptr, {}};
    g_dbus_connection_register_object(connection, made.c_str(), node->interfaces[2], &vtable, nullptr,
                                      nullptr, nullptr);
    results = g_variant_new_parsed("{'session_handle': <%s>}", made.c_str());
  } else if (name == "BindShortcuts") {
    const gchar *id = nullptr, *trigger = "";
    GVariant *shortcuts = nullptr, *details = nullptr;
    g_variant_get(parameters, "(&o@a(sa{sv})&s@a{sv})", &session, &shortcuts, nullptr, &options);
    g_variant_get_child(shortcuts, 0, "(&s@a{sv})", &id, &details);
    g_variant_lookup(details, "preferred_trigger", "&s", &trigger);
    Record("BindShortcuts " + std::string(session) + " " + id + " " + trigger);
    response = ++binds == 1 ? 1 : 0;
    results = response != 0 ? g_variant_new_parsed("@a{sv} {}")
                            : g_variant_new_parsed("{'shortcuts': <[(%s, @a{sv} {})]>}", id);
    g_variant_unref(details);
    g_variant_unref(shortcuts);
  } else if (name == "Press") {
    g_variant_get(parameters, "(&s)", &session);
    g_dbus_connection_emit_signal(
        connection, nullptr, kPath, "org.freedesktop.portal.GlobalShortcuts", "Activated",
        g_variant_new_parsed("(%o, 'next-wallpaper', @t 0, @a{sv} {})", session), nullptr);
  } else {
    Record(std::string("Close ") + path);
  }
  if (options == nullptr) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
    return;
  }
  // The call is answered with its Request's path, then the Request answers.
  const std::string request = PathFor(invocation, "request", options, "handle_token");
  const std::string caller = g_dbus_method_invocation_get_sender(invocation);
  g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", request.c_str()));
  g_dbus_connection_emit_signal(connection, caller.c_str(), request.c_str(), "org.freedesktop.portal.Request",
                                "Response", g_variant_new("(u@a{sv})", response, results), nullptr);
  g_variant_unref(options);
}

void NameAcquired(GDBusConnection*, const gchar*, gpointer) {
  g_file_set_contents((recordFile + ".ready").c_str(), "", 0, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s RECORD_FILE\n", argv[0]);
    return 2;
  }
  recordFile = argv[1];
  GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (connection == nullptr) return 1;
  node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  static const GDBusInterfaceVTable vtable = {HandleCall, Version, nullptr, {}};
  for (int i = 0; i < 2; ++i) {
    g_dbus_connection_register_object(connection, kPath, node->interfaces[i], &vtable, nullptr, nullptr,
                                      nullptr);
  }
  g_bus_own_name_on_connection(connection, "org.freedesktop.portal.Desktop", G_BUS_NAME_OWNER_FLAGS_NONE,
                               NameAcquired, nullptr, nullptr, nullptr);
  g_main_loop_run(g_main_loop_new(nullptr, FALSE));
  return 1;
}
