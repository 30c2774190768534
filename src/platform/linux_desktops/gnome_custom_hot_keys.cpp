// SPDX-License-Identifier: GPL-3.0-or-later
// GNOME without the GlobalShortcuts portal (GNOME 43 and older): the settings daemon runs the command of a
// custom keybinding, so a registered combination becomes one of those running `lumora --next`, and the
// running Lumora takes the step. The user's own custom keybindings stay as they are, in their order; ours
// live under paths of their own, and one left behind by a run that was killed is taken over.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/linux_desktops/gnome_accelerator.h"
#include "platform/linux_desktops/gsettings.h"
#include "platform/linux_desktops/linux_hot_keys.h"
#include "platform/linux_desktops/step_command.h"

namespace lumora::platform {

namespace {

using desktops::Accelerator;
using desktops::Settings;

constexpr const char* kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* kCustomKeybinding = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr const char* kListKey = "custom-keybindings";
constexpr const char* kOurFolder =
    "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/lumora-next";

// Where GNOME keeps the combinations it binds itself: the window manager's, the shell's and the settings
// daemon's. Each is looked at only where installed.
constexpr const char* kBindingSchemas[] = {"org.gnome.desktop.wm.keybindings", "org.gnome.shell.keybindings",
                                           "org.gnome.mutter.keybindings",
                                           "org.gnome.mutter.wayland.keybindings", kMediaKeys};

bool Ours(const std::string& path) {
  return path.starts_with(kOurFolder);
}

// One path per combination, so that an identifier may hold several: ".../lumora-next-control-q/".
std::string PathOf(const std::string& accelerator) {
  std::string path = std::string(kOurFolder) + "-";
  for (const char c : accelerator) {
    if (c == '>') {
      path += '-';
    } else if (c != '<') {
      path += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
  }
  return path + "/";
}

bool Binds(GVariant* value, const Accelerator& wanted) {
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    return desktops::ParseAccelerator(g_variant_get_string(value, nullptr)) == wanted;
  }
  if (!g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) return false;
  const gchar** items = g_variant_get_strv(value, nullptr);
  bool found = false;
  for (const gchar** item = items; *item != nullptr && !found; ++item) {
    found = desktops::ParseAccelerator(*item) == wanted;
  }
  g_free(items);
  return found;
}

// GNOME's own bindings and the user's custom ones; ours are not counted.
bool BoundByTheDesktop(const Accelerator& wanted) {
  for (const char* schema : kBindingSchemas) {
    Settings settings(schema);
    for (const std::string& key : settings.Keys()) {
      GVariant* value = settings.Value(key.c_str());
      const bool bound = value != nullptr && Binds(value, wanted);
      if (value != nullptr) g_variant_unref(value);
      if (bound) return true;
    }
  }
  for (const std::string& path : Settings(kMediaKeys).GetStrings(kListKey)) {
    if (Ours(path)) continue;
    if (desktops::ParseAccelerator(Settings(kCustomKeybinding, path).GetString("binding")) == wanted) {
      return true;
    }
  }
  return false;
}

void Forget(const std::string& path) {
  Settings entry(kCustomKeybinding, path);
  for (const char* key : {"name", "command", "binding"}) entry.Reset(key);
}

class GnomeCustomHotKeys final : public GlobalHotKeys {
 public:
  ~GnomeCustomHotKeys() override {
    while (!held_.empty()) Unregister(held_.begin()->first);
  }

  HotKeyResult Register(int id, unsigned modifiers, unsigned virtualKey) override {
    const std::string accelerator =
        desktops::CombinationText(modifiers, virtualKey, desktops::kGnomeModifiers);
    if (accelerator.empty()) return HotKeyResult::Taken;
    const std::string path = PathOf(accelerator);
    for (const auto& [holder, paths] : held_) {
      for (const std::string& held : paths) {
        if (held == path) return holder == id ? HotKeyResult::Registered : HotKeyResult::Taken;
      }
    }
    if (BoundByTheDesktop(*desktops::ParseAccelerator(accelerator))) return HotKeyResult::Taken;

    Settings entry(kCustomKeybinding, path);
    held_[id].push_back(path);
    if (!entry || !entry.SetString("name", "Lumora 更换墙纸") ||
        !entry.SetString("command", desktops::StepCommand()) || !entry.SetString("binding", accelerator) ||
        !Rewrite()) {
      // Locked down or gone: the user is told to bind it by hand rather than that it is taken.
      held_[id].pop_back();
      if (held_[id].empty()) held_.erase(id);
      Rewrite();
      Forget(path);
      entry.Sync();
      return HotKeyResult::NotOffered;
    }
    entry.Sync();
    return HotKeyResult::Registered;
  }

  void Unregister(int id) override {
    const auto found = held_.find(id);
    if (found == held_.end()) return;
    const std::vector<std::string> paths = found->second;
    held_.erase(found);
    Rewrite();
    for (const std::string& path : paths) Forget(path);
    Settings(kMediaKeys).Sync();
  }

  ManualHotKey ManualBinding(unsigned, unsigned) const override { return {desktops::StepCommand(), {}}; }

 private:
  bool Held(const std::string& path) const {
    for (const auto& [id, paths] : held_) {
      for (const std::string& held : paths) {
        if (held == path) return true;
      }
    }
    return false;
  }

  // Writes the list back with the user's entries in their order and ours reduced to those held now, new
  // ones last; those of a killed run are dropped.
  bool Rewrite() {
    Settings media(kMediaKeys);
    std::vector<std::string> list;
    std::vector<std::string> stale;
    for (const std::string& path : media.GetStrings(kListKey)) {
      (!Ours(path) || Held(path) ? list : stale).push_back(path);
    }
    for (const auto& [id, paths] : held_) {
      for (const std::string& path : paths) {
        if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(path);
      }
    }
    if (!media.SetStrings(kListKey, list)) return false;
    for (const std::string& path : stale) Forget(path);
    return true;
  }

  std::map<int, std::vector<std::string>> held_;
};

}  // namespace

std::unique_ptr<GlobalHotKeys> CreateGnomeCustomHotKeys() {
  if (!Settings(kMediaKeys).HasKey(kListKey) || !Settings(kCustomKeybinding, std::string(kOurFolder) + "/")) {
    return nullptr;
  }
  return std::make_unique<GnomeCustomHotKeys>();
}

}  // namespace lumora::platform
