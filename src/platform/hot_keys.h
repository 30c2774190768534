// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

namespace lumora::platform {

// Modifier bits of a hot key, with the values Windows gives them.
inline constexpr unsigned kModAlt = 1;
inline constexpr unsigned kModControl = 2;
inline constexpr unsigned kModShift = 4;

// System-wide hot keys: a key combination that reaches this program whatever window has the focus,
// identified by the caller's number.
class GlobalHotKeys {
 public:
  // Called on the user-interface thread with the identifier, once per press of a registered combination.
  using PressHandler = std::function<void(int id)>;
  virtual ~GlobalHotKeys() = default;
  // Registers the combination of virtualKey (a letter is its upper-case ASCII code, 'A' to 'Z') and the
  // modifier bits under id. False, with nothing registered, when another program holds the combination,
  // when this program holds it under another identifier, or when the session cannot have hot keys.
  // Registering under an identifier that already has a combination keeps the old one as well.
  virtual bool Register(int id, unsigned modifiers, unsigned virtualKey) = 0;
  // Releases every combination registered under id; nothing happens when there is none.
  virtual void Unregister(int id) = 0;
};

std::unique_ptr<GlobalHotKeys> CreateGlobalHotKeys(GlobalHotKeys::PressHandler pressed);

}  // namespace lumora::platform
