// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_desktops/linux_hot_keys.h"
#include "platform/linux_desktops/step_command.h"

namespace lumora::platform {

namespace {

std::string KeyName(unsigned virtualKey, bool upperCase) {
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    return std::string(1, static_cast<char>(upperCase ? virtualKey : virtualKey - 'A' + 'a'));
  }
  if (virtualKey >= '0' && virtualKey <= '9') return std::string(1, static_cast<char>(virtualKey));
  return {};
}

class ManualHotKeys final : public GlobalHotKeys {
 public:
  explicit ManualHotKeys(ConfiguredCompositor compositor) : compositor_(compositor) {}

  HotKeyResult Register(int, unsigned, unsigned) override { return HotKeyResult::NotOffered; }
  void Unregister(int) override {}

  ManualHotKey ManualBinding(unsigned modifiers, unsigned virtualKey) const override {
    const std::string command = desktops::StepCommand();
    switch (compositor_) {
      case ConfiguredCompositor::Sway: {
        const std::string key = KeyName(virtualKey, false);
        if (key.empty()) break;
        std::string combination;
        if ((modifiers & kModControl) != 0) combination += "Ctrl+";
        if ((modifiers & kModAlt) != 0) combination += "Mod1+";
        if ((modifiers & kModShift) != 0) combination += "Shift+";
        return {"bindsym " + combination + key + " exec " + command, "~/.config/sway/config"};
      }
      case ConfiguredCompositor::Hyprland: {
        const std::string key = KeyName(virtualKey, true);
        if (key.empty()) break;
        std::string mods;
        for (const auto& [bit, name] :
             {std::pair{kModControl, "CTRL"}, {kModAlt, "ALT"}, {kModShift, "SHIFT"}}) {
          if ((modifiers & bit) == 0) continue;
          if (!mods.empty()) mods += ' ';
          mods += name;
        }
        return {"bind = " + mods + ", " + key + ", exec, " + command, "~/.config/hypr/hyprland.conf"};
      }
      case ConfiguredCompositor::Other:
        break;
    }
    return {command, {}};
  }

 private:
  ConfiguredCompositor compositor_;
};

}  // namespace

std::unique_ptr<GlobalHotKeys> CreateManualHotKeys(ConfiguredCompositor compositor) {
  return std::make_unique<ManualHotKeys>(compositor);
}

}  // namespace lumora::platform
