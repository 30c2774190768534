// SPDX-License-Identifier: GPL-3.0-or-later
// The accelerator syntax of gtk_accelerator_parse, which GNOME Shell, Mutter and the settings daemon all
// read their bindings with: modifiers in angle brackets, named case-insensitively, in any order, then the
// key's name. GTK itself is not linked for this.
#include "platform/linux_desktops/gnome_accelerator.h"

#include <array>
#include <cctype>
#include <utility>

#include "platform/hot_keys.h"

namespace lumora::platform::desktops {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::optional<unsigned> ModifierNamed(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, unsigned>, 16> kNames{{
      {"Shift", kAccelShift},
      {"Shft", kAccelShift},
      {"Control", kAccelControl},
      {"Ctrl", kAccelControl},
      {"Ctl", kAccelControl},
      {"Primary", kAccelControl},
      {"Alt", kAccelAlt},
      {"Mod1", kAccelAlt},
      {"Super", kAccelSuper},
      {"Hyper", kAccelHyper},
      {"Meta", kAccelMeta},
      {"Mod2", kAccelMod2},
      {"Mod3", kAccelMod3},
      {"Mod4", kAccelMod4},
      {"Mod5", kAccelMod5},
      {"Release", kAccelRelease},
  }};
  for (const auto& [known, bit] : kNames) {
    if (SameName(name, known)) return bit;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Accelerator> ParseAccelerator(std::string_view text) {
  Accelerator accelerator;
  while (!text.empty() && text.front() == '<') {
    const auto end = text.find('>');
    if (end == std::string_view::npos) return std::nullopt;
    const auto bit = ModifierNamed(text.substr(1, end - 1));
    if (!bit) return std::nullopt;
    accelerator.modifiers |= *bit;
    text.remove_prefix(end + 1);
  }
  if (text.empty() || (accelerator.modifiers == 0 && text == "disabled")) return std::nullopt;
  // A one-character name is the key of that character: its letter in lower case.
  accelerator.key = text;
  if (accelerator.key.size() == 1) {
    accelerator.key[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(accelerator.key[0])));
  }
  return accelerator;
}

std::string CombinationText(unsigned modifiers, unsigned virtualKey, const ModifierNames& names) {
  const bool letter = virtualKey >= 'A' && virtualKey <= 'Z';
  if (!letter && !(virtualKey >= '0' && virtualKey <= '9')) return {};
  std::string text;
  if ((modifiers & kModControl) != 0) text += names.control;
  if ((modifiers & kModAlt) != 0) text += names.alt;
  if ((modifiers & kModShift) != 0) text += names.shift;
  return text + static_cast<char>(letter ? virtualKey - 'A' + 'a' : virtualKey);
}

}  // namespace lumora::platform::desktops
