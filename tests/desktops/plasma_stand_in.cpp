// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for plasmashell on a private session bus: owns org.kde.plasmashell, answers
// org.kde.PlasmaShell.evaluateScript on /PlasmaShell, saves every script it gets as RECORD_DIR/NNN.js
// (numbered from 001) and replies with the content of REPLY_FILE (empty when there is none). A reply that
// begins with "error " is sent as the error plasmashell gives for a script that failed, with the rest as
// its message.
// Usage: plasma_stand_in RECORD_DIR REPLY_FILE; it writes RECORD_DIR/ready once the name is its own.
#include <gio/gio.h>

#include <cstdio>
#include <string>

namespace {

const char* kIntrospection =
    "<node><interface name='org.kde.PlasmaShell'>"
    "<method name='evaluateScript'><arg type='s' name='script' direction='in'/>"
    "<arg type='s' direction='out'/></method>"
    "</interface></node>";

std::string recordDir;
std::string replyFile;
int received = 0;

void HandleCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
  if (g_strcmp0(method, "evaluateScript") != 0) {
    g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod",
                                               method);
    return;
  }
  const gchar* script = nullptr;
  g_variant_get(parameters, "(&s)", &script);
  char name[32];
  std::snprintf(name, sizeof name, "/%03d.js", ++received);
  g_file_set_contents((recordDir + name).c_str(), script, -1, nullptr);
  gchar* reply = nullptr;
  if (!g_file_get_contents(replyFile.c_str(), &reply, nullptr, nullptr)) reply = g_strdup("");
  if (g_str_has_prefix(reply, "error ")) {
    g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.Failed", reply + 6);
  } else {
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", reply));
  }
  g_free(reply);
}

void NameAcquired(GDBusConnection*, const gchar*, gpointer) {
  g_file_set_contents((recordDir + "/ready").c_str(), "", 0, nullptr);
}

void NameLost(GDBusConnection*, const gchar*, gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
}

void BusAcquired(GDBusConnection* connection, const gchar*, gpointer) {
  static const GDBusInterfaceVTable vtable = {HandleCall, nullptr, nullptr, {}};
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  g_dbus_connection_register_object(connection, "/PlasmaShell", node->interfaces[0], &vtable, nullptr,
                                    nullptr, nullptr);
  g_dbus_node_info_unref(node);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s RECORD_DIR REPLY_FILE\n", argv[0]);
    return 2;
  }
  recordDir = argv[1];
  replyFile = argv[2];
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_bus_own_name(G_BUS_TYPE_SESSION, "org.kde.plasmashell", G_BUS_NAME_OWNER_FLAGS_NONE, BusAcquired,
                 NameAcquired, NameLost, loop, nullptr);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  return 1;
}
