// SPDX-License-Identifier: GPL-3.0-or-later
// Plasma's hot keys: kglobalaccel holds every global shortcut of the session (it grabs the keys itself
// under X11; under Wayland KWin hands them to it) and tells each program over the session bus when one of
// its own is pressed. An X grab of ours would only fight it for the key.
#include "platform/linux_desktops/linux_hot_keys.h"
#include "platform/linux_desktops/session_bus.h"

// GIO before Qt: a GIO structure has a member called signals, which is a macro of Qt's.
#include <QAbstractEventDispatcher>
#include <QKeyCombination>
#include <QTimer>
#include <chrono>
#include <string>
#include <vector>

namespace lumora::platform {

namespace {

using desktops::BusError;
using desktops::SessionBus;

constexpr const char* kService = "org.kde.kglobalaccel";
constexpr const char* kComponentInterface = "org.kde.kglobalaccel.Component";
// Our entry in the desktop's shortcut settings: the component and the name each action is shown under.
constexpr const char* kComponent = "lumora";
constexpr const char* kComponentName = "Lumora";
constexpr const char* kActionName = "更换墙纸";
constexpr int kTimeoutMs = 5000;
// setShortcut's flags: the action is in use now (SetPresent), with the keys given rather than those
// stored for it in an earlier session (NoAutoloading).
constexpr guint32 kSetPresentWithoutAutoloading = 2 | 4;
// kglobalaccel repeats the press of a held key at the keyboard's repeat rate and sends one release at the
// end. A press within this time of the one before, with no release between, is such a repeat; a release
// that never came blocks the key no longer than this.
constexpr auto kRepeatGap = std::chrono::seconds(1);

// The combination as Qt codes keys, which is kglobalaccel's code too; 0 when a hot key cannot have it.
int QtKey(unsigned modifiers, unsigned virtualKey) {
  const bool letter = virtualKey >= 'A' && virtualKey <= 'Z', digit = virtualKey >= '0' && virtualKey <= '9';
  if ((!letter && !digit) || (modifiers & ~(kModAlt | kModControl | kModShift)) != 0) return 0;
  Qt::KeyboardModifiers qtModifiers;
  if ((modifiers & kModControl) != 0) qtModifiers |= Qt::ControlModifier;
  if ((modifiers & kModAlt) != 0) qtModifiers |= Qt::AltModifier;
  if ((modifiers & kModShift) != 0) qtModifiers |= Qt::ShiftModifier;
  return QKeyCombination(qtModifiers, static_cast<Qt::Key>(virtualKey)).toCombined();
}

// kglobalaccel names an action by its component's and its own unique and friendly names.
GVariant* ActionId(const std::string& action) {
  const gchar* const names[] = {kComponent, action.c_str(), kComponentName, kActionName};
  return g_variant_new_strv(names, 4);
}

class KGlobalAccelHotKeys final : public GlobalHotKeys {
 public:
  KGlobalAccelHotKeys(std::unique_ptr<SessionBus> bus, PressHandler pressed)
      : bus_(std::move(bus)), pressed_(std::move(pressed)) {
    subscriptions_[0] =
        bus_->Subscribe(kService, kComponentInterface, "globalShortcutPressed", kComponent, &OnPress, this);
    subscriptions_[1] = bus_->Subscribe(kService, kComponentInterface, "globalShortcutReleased", kComponent,
                                        &OnRelease, this);
    // Qt runs GLib's main context in its event loop unless told not to (QT_NO_GLIB); then a timer does.
    auto* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher != nullptr && !dispatcher->inherits("QEventDispatcherGlib")) {
      QObject::connect(&glibPump_, &QTimer::timeout, [] {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
      });
      glibPump_.start(50);
    }
  }
  ~KGlobalAccelHotKeys() override {
    for (guint subscription : subscriptions_) bus_->Unsubscribe(subscription);
    for (const Shortcut& shortcut : shortcuts_) Release(shortcut.action);
  }
  KGlobalAccelHotKeys(const KGlobalAccelHotKeys&) = delete;
  KGlobalAccelHotKeys& operator=(const KGlobalAccelHotKeys&) = delete;

  HotKeyResult Register(int id, unsigned modifiers, unsigned virtualKey) override {
    const int key = QtKey(modifiers, virtualKey);
    if (key == 0) return HotKeyResult::Taken;
    for (const Shortcut& shortcut : shortcuts_) {
      if (shortcut.key == key) return shortcut.id == id ? HotKeyResult::Registered : HotKeyResult::Taken;
    }
    // One action for each combination: the same combination under the same identifier has the same name
    // in every run, so one that a crashed run left bound is ours again.
    Shortcut shortcut{id, key, "hot-key-" + std::to_string(id) + "-" + std::to_string(key), {}};
    if (GVariant* reply = Call("doRegister", g_variant_new("(@as)", ActionId(shortcut.action)), nullptr)) {
      g_variant_unref(reply);
    }
    const gint32 keys[] = {key};
    GVariant* reply =
        Call("setShortcut",
             g_variant_new("(@as@aiu)", ActionId(shortcut.action),
                           g_variant_new_fixed_array(G_VARIANT_TYPE_INT32, keys, 1, sizeof(gint32)),
                           kSetPresentWithoutAutoloading),
             "(ai)");
    // kglobalaccel leaves out a key that another action holds: a 0 stands in its place.
    bool granted = false;
    if (reply != nullptr) {
      GVariant* given = g_variant_get_child_value(reply, 0);
      gsize count = 0;
      const auto* codes =
          static_cast<const gint32*>(g_variant_get_fixed_array(given, &count, sizeof(gint32)));
      for (gsize i = 0; i < count; ++i) granted = granted || codes[i] == key;
      g_variant_unref(given);
      g_variant_unref(reply);
    }
    if (!granted) {
      Release(shortcut.action);
      return HotKeyResult::Taken;
    }
    shortcuts_.push_back(std::move(shortcut));
    return HotKeyResult::Registered;
  }

  void Unregister(int id) override {
    std::erase_if(shortcuts_, [&](const Shortcut& shortcut) {
      if (shortcut.id != id) return false;
      Release(shortcut.action);
      return true;
    });
  }

 private:
  struct Shortcut {
    int id;
    int key;
    std::string action;
    std::chrono::steady_clock::time_point held;  // when its last press came while the key was down
  };

  GVariant* Call(const char* method, GVariant* parameters, const char* replyType) {
    BusError error;
    return bus_->Call(kService, "/kglobalaccel", "org.kde.KGlobalAccel", method, parameters,
                      replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr, kTimeoutMs, error);
  }

  // Takes the action out of kglobalaccel and out of the shortcuts it stores for the user, and with it
  // the key, which another program may then have.
  void Release(const std::string& action) {
    if (GVariant* reply = Call("unregister", g_variant_new("(ss)", kComponent, action.c_str()), "(b)")) {
      g_variant_unref(reply);
    }
  }

  Shortcut* Find(GVariant* parameters) {
    const gchar* action = nullptr;
    g_variant_get_child(parameters, 1, "&s", &action);
    for (Shortcut& shortcut : shortcuts_) {
      if (shortcut.action == action) return &shortcut;
    }
    return nullptr;
  }

  static void OnPress(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                      GVariant* parameters, gpointer self) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssx)"))) return;
    auto* hotKeys = static_cast<KGlobalAccelHotKeys*>(self);
    Shortcut* shortcut = hotKeys->Find(parameters);
    if (shortcut == nullptr) return;
    const auto now = std::chrono::steady_clock::now();
    const bool repeat = now - shortcut->held < kRepeatGap;
    shortcut->held = now;
    if (!repeat) hotKeys->pressed_(shortcut->id);
  }

  static void OnRelease(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                        GVariant* parameters, gpointer self) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssx)"))) return;
    if (Shortcut* shortcut = static_cast<KGlobalAccelHotKeys*>(self)->Find(parameters)) shortcut->held = {};
  }

  std::unique_ptr<SessionBus> bus_;
  PressHandler pressed_;
  guint subscriptions_[2] = {};
  std::vector<Shortcut> shortcuts_;
  QTimer glibPump_;
};

}  // namespace

std::unique_ptr<GlobalHotKeys> CreateKGlobalAccelHotKeys(GlobalHotKeys::PressHandler pressed) {
  auto bus = std::make_unique<desktops::SessionBus>();
  if (!bus->Owned(kService) && !bus->Startable(kService)) return nullptr;
  return std::make_unique<KGlobalAccelHotKeys>(std::move(bus), std::move(pressed));
}

}  // namespace lumora::platform
