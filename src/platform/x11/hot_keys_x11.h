// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "platform/hot_keys.h"

namespace lumora::platform {

// Passive key grabs on the X server's root window; the null backend when Qt is not on an X display.
std::unique_ptr<GlobalHotKeys> CreateX11HotKeys(GlobalHotKeys::PressHandler pressed);

}  // namespace lumora::platform
