// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "platform/hot_keys.h"

namespace lumora::platform {

// Compositors whose key bindings live only in their own configuration file.
enum class ConfiguredCompositor { Sway, Hyprland, Other };

// GNOME: the GlobalShortcuts portal where it binds keys, else a custom keybinding of the settings daemon
// that runs a rotation step; nullptr when the session has neither.
std::unique_ptr<GlobalHotKeys> CreateGnomeHotKeys(GlobalHotKeys::PressHandler pressed);
// Each way on its own; nullptr where the session lacks it.
std::unique_ptr<GlobalHotKeys> CreateGnomePortalHotKeys(GlobalHotKeys::PressHandler pressed);
std::unique_ptr<GlobalHotKeys> CreateGnomeCustomHotKeys();

// A session that gives programs no global keys: every combination is NotOffered, and ManualBinding gives the
// line for the compositor's configuration that runs a rotation step of the running Lumora.
std::unique_ptr<GlobalHotKeys> CreateManualHotKeys(ConfiguredCompositor compositor);

// Plasma's key daemon, kglobalaccel, under X11 and Wayland alike: presses come as its signals on the session
// bus. nullptr when it neither runs nor can be started on the session bus.
std::unique_ptr<GlobalHotKeys> CreateKGlobalAccelHotKeys(GlobalHotKeys::PressHandler pressed);

}  // namespace lumora::platform
