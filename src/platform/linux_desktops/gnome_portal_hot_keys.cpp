// SPDX-License-Identifier: GPL-3.0-or-later
// The GlobalShortcuts portal (GNOME 48 and later, KDE, Hyprland): each registered combination gets a portal
// session of its own holding one shortcut, so that releasing it is closing that session. The portal may ask
// the user first and may bind another trigger than the one we prefer; it never says that a trigger is used
// elsewhere, so whatever it does not bind is reported as not offered, never as taken.
#include <gio/gio.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <map>
#include <string>
#include <vector>

#include "platform/linux_desktops/gnome_accelerator.h"
#include "platform/linux_desktops/linux_hot_keys.h"
#include "platform/linux_desktops/session_bus.h"
#include "platform/linux_desktops/step_command.h"

namespace lumora::platform {

namespace {

constexpr const char* kService = "org.freedesktop.portal.Desktop";
constexpr const char* kPath = "/org/freedesktop/portal/desktop";
constexpr const char* kInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* kShortcut = "next-wallpaper";
// The portal may show the user a dialog before it answers.
constexpr int kAnswerTimeoutMs = 120000;

std::string NewToken() {
  static unsigned issued = 0;
  return "lumora" + std::to_string(::getpid()) + "_" + std::to_string(++issued);
}

// What the portal answered to one request through its Request object.
struct Answer {
  guint32 response = 2;  // 0 done, 1 cancelled by the user, 2 anything else (and no answer at all)
  GVariant* results = nullptr;
  QEventLoop* loop = nullptr;

  Answer() = default;
  Answer(const Answer&) = delete;
  Answer& operator=(const Answer&) = delete;
  ~Answer() {
    if (results != nullptr) g_variant_unref(results);
  }
  // A string (or object path) among the results; "" when there is none.
  std::string Text(const char* key) const {
    GVariant* value = results != nullptr ? g_variant_lookup_value(results, key, nullptr) : nullptr;
    std::string text;
    if (value != nullptr && (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
                             g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH))) {
      text = g_variant_get_string(value, nullptr);
    }
    if (value != nullptr) g_variant_unref(value);
    return text;
  }
};

void Responded(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
               gpointer data) {
  auto* answer = static_cast<Answer*>(data);
  if (answer->results != nullptr || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) return;
  g_variant_get(parameters, "(u@a{sv})", &answer->response, &answer->results);
  answer->loop->quit();
}

// Calls a portal method that answers through a Request object, made with handle token, and waits for the
// answer with the user interface running but taking no input.
void Ask(GDBusConnection* connection, const char* method, GVariant* parameters, const std::string& token,
         Answer& answer) {
  // The Request's path is known before the call, so no answer can come before we listen for it.
  std::string sender = g_dbus_connection_get_unique_name(connection) + 1;
  for (char& c : sender) c = c == '.' ? '_' : c;
  const std::string request = std::string(kPath) + "/request/" + sender + "/" + token;
  QEventLoop loop;
  answer.loop = &loop;
  const guint subscription = g_dbus_connection_signal_subscribe(
      connection, kService, "org.freedesktop.portal.Request", "Response", request.c_str(), nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, Responded, &answer, nullptr);
  GVariant* reply =
      g_dbus_connection_call_sync(connection, kService, kPath, kInterface, method, parameters,
                                  G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
  if (reply != nullptr) {
    g_variant_unref(reply);
    QTimer::singleShot(kAnswerTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  g_dbus_connection_signal_unsubscribe(connection, subscription);
}

bool BindsOurShortcut(const Answer& answer) {
  GVariant* shortcuts = answer.results != nullptr
                            ? g_variant_lookup_value(answer.results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})"))
                            : nullptr;
  if (shortcuts == nullptr) return false;
  bool found = false;
  GVariantIter iter;
  g_variant_iter_init(&iter, shortcuts);
  const gchar* id = nullptr;
  while (!found && g_variant_iter_next(&iter, "(&s@a{sv})", &id, nullptr)) {
    found = std::string(id) == kShortcut;
  }
  g_variant_unref(shortcuts);
  return found;
}

class PortalHotKeys final : public GlobalHotKeys {
 public:
  PortalHotKeys(PressHandler pressed, GDBusConnection* connection)
      : pressed_(std::move(pressed)), connection_(G_DBUS_CONNECTION(g_object_ref(connection))) {
    // Delivered through the main context that the user interface runs.
    activated_ =
        g_dbus_connection_signal_subscribe(connection_, kService, kInterface, "Activated", kPath, nullptr,
                                           G_DBUS_SIGNAL_FLAGS_NONE, Activated, this, nullptr);
  }
  ~PortalHotKeys() override {
    while (!held_.empty()) Unregister(held_.begin()->first);
    g_dbus_connection_signal_unsubscribe(connection_, activated_);
    g_object_unref(connection_);
  }
  PortalHotKeys(const PortalHotKeys&) = delete;
  PortalHotKeys& operator=(const PortalHotKeys&) = delete;

  HotKeyResult Register(int id, unsigned modifiers, unsigned virtualKey) override {
    const std::string trigger = desktops::CombinationText(modifiers, virtualKey, desktops::kPortalModifiers);
    if (trigger.empty()) return HotKeyResult::Taken;
    for (const auto& [holder, sessions] : held_) {
      for (const Session& session : sessions) {
        if (session.trigger == trigger) return holder == id ? HotKeyResult::Registered : HotKeyResult::Taken;
      }
    }
    std::string token = NewToken();
    Answer created;
    Ask(connection_, "CreateSession",
        g_variant_new_parsed("({'handle_token': <%s>, 'session_handle_token': <%s>},)", token.c_str(),
                             token.c_str()),
        token, created);
    const std::string session = created.Text("session_handle");
    if (created.response != 0 || session.empty()) return HotKeyResult::NotOffered;

    token = NewToken();
    Answer bound;
    GVariantBuilder shortcuts;
    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
    g_variant_builder_add_parsed(&shortcuts, "(%s, {'description': <%s>, 'preferred_trigger': <%s>})",
                                 kShortcut, "更换墙纸", trigger.c_str());
    Ask(connection_, "BindShortcuts",
        g_variant_new("(oa(sa{sv})s@a{sv})", session.c_str(), &shortcuts, "",
                      g_variant_new_parsed("{'handle_token': <%s>}", token.c_str())),
        token, bound);
    if (bound.response != 0 || !BindsOurShortcut(bound)) {
      Close(session);
      return HotKeyResult::NotOffered;
    }
    held_[id].push_back({session, trigger});
    return HotKeyResult::Registered;
  }

  void Unregister(int id) override {
    const auto found = held_.find(id);
    if (found == held_.end()) return;
    for (const Session& session : found->second) Close(session.path);
    held_.erase(found);
  }

  ManualHotKey ManualBinding(unsigned, unsigned) const override { return {desktops::StepCommand(), {}}; }

 private:
  struct Session {
    std::string path;
    std::string trigger;
  };

  void Close(const std::string& session) {
    g_dbus_connection_call_sync(connection_, kService, session.c_str(), "org.freedesktop.portal.Session",
                                "Close", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  }

  static void Activated(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                        GVariant* parameters, gpointer data) {
    auto* self = static_cast<PortalHotKeys*>(data);
    const gchar* session = nullptr;
    const gchar* shortcut = nullptr;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) return;
    g_variant_get(parameters, "(&o&sta{sv})", &session, &shortcut, nullptr, nullptr);
    if (std::string(shortcut) != kShortcut) return;
    for (const auto& [id, sessions] : self->held_) {
      for (const Session& held : sessions) {
        if (held.path == session) {
          self->pressed_(id);
          return;
        }
      }
    }
  }

  PressHandler pressed_;
  GDBusConnection* connection_;
  guint activated_ = 0;
  std::map<int, std::vector<Session>> held_;
};

}  // namespace

std::unique_ptr<GlobalHotKeys> CreateGnomePortalHotKeys(GlobalHotKeys::PressHandler pressed) {
  // Older portals have no such interface: reading its version fails.
  desktops::SessionBus bus;
  desktops::BusError error;
  GVariant* version =
      bus.Call(kService, kPath, "org.freedesktop.DBus.Properties", "Get",
               g_variant_new("(ss)", kInterface, "version"), G_VARIANT_TYPE("(v)"), 5000, error);
  if (version == nullptr) return nullptr;
  g_variant_unref(version);
  GDBusConnection* connection = bus.Connection(error);
  if (connection == nullptr) return nullptr;
  return std::make_unique<PortalHotKeys>(std::move(pressed), connection);
}

}  // namespace lumora::platform
