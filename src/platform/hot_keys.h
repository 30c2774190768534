// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace lumora::platform {

// Modifier bits of a hot key, with the values Windows gives them.
inline constexpr unsigned kModAlt = 1;
inline constexpr unsigned kModControl = 2;
inline constexpr unsigned kModShift = 4;

// What became of a request for a combination.
enum class HotKeyResult {
  Registered,  // its presses reach this program from now on
  Taken,       // another program holds it, or this one under another identifier, or the key has no code
  NotOffered,  // the session lets no program bind keys: the user binds them in the desktop's own settings
};

// How a user binds a combination by hand where the session takes bindings only from its own settings.
struct ManualHotKey {
  std::string line;   // what to add ("bindsym Ctrl+q exec lumora --next"), or only the command to bind
  std::string where;  // the file it goes into ("~/.config/sway/config"); empty when no file is known
};

// System-wide hot keys: a key combination that reaches this program whatever window has the focus,
// identified by the caller's number.
class GlobalHotKeys {
 public:
  // Called on the user-interface thread with the identifier, once per press of a registered combination.
  using PressHandler = std::function<void(int id)>;
  virtual ~GlobalHotKeys() = default;
  // Registers the combination of virtualKey (a letter is its upper-case ASCII code, 'A' to 'Z') and the
  // modifier bits under id. Anything but Registered leaves nothing registered. Registering under an
  // identifier that already has a combination keeps the old one as well.
  virtual HotKeyResult Register(int id, unsigned modifiers, unsigned virtualKey) = 0;
  // Releases every combination registered under id; nothing happens when there is none.
  virtual void Unregister(int id) = 0;
  // Where Register answers NotOffered: how the user binds the combination to a rotation step by hand.
  // Empty when the session offers no way at all.
  virtual ManualHotKey ManualBinding(unsigned /*modifiers*/, unsigned /*virtualKey*/) const { return {}; }
};

std::unique_ptr<GlobalHotKeys> CreateGlobalHotKeys(GlobalHotKeys::PressHandler pressed);

}  // namespace lumora::platform
