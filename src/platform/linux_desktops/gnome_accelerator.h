// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumora::platform::desktops {

// A key combination as GNOME's settings spell it ("<Control><Alt>Delete", "<Primary>q"), reduced to what
// makes two spellings the same combination: the modifiers whatever their names and order, and the key
// name with letters in lower case (GTK and Mutter look up the lower-case key of a letter).
struct Accelerator {
  unsigned modifiers = 0;  // the bits below
  std::string key;

  bool operator==(const Accelerator&) const = default;
};

inline constexpr unsigned kAccelShift = 1, kAccelControl = 2, kAccelAlt = 4, kAccelSuper = 8,
                          kAccelHyper = 16, kAccelMeta = 32, kAccelMod2 = 64, kAccelMod3 = 128,
                          kAccelMod4 = 256, kAccelMod5 = 512, kAccelRelease = 1024;

// nullopt for text that names no key: "", "disabled", an unknown modifier, a modifier with no key.
std::optional<Accelerator> ParseAccelerator(std::string_view text);

// How a combination of the hot-key modifier bits (platform/hot_keys.h) and a key ('A'–'Z', '0'–'9') is
// written: each modifier's name, then the key's in lower case; "" for any other key.
struct ModifierNames {
  const char* control;
  const char* alt;
  const char* shift;
};
inline constexpr ModifierNames kGnomeModifiers{"<Control>", "<Alt>", "<Shift>"};  // "<Control>q"
inline constexpr ModifierNames kPortalModifiers{"CTRL+", "ALT+", "SHIFT+"};       // "CTRL+q"
std::string CombinationText(unsigned modifiers, unsigned virtualKey, const ModifierNames& names);

}  // namespace lumora::platform::desktops
