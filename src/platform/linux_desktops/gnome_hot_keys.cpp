// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_desktops/linux_hot_keys.h"

namespace lumora::platform {

std::unique_ptr<GlobalHotKeys> CreateGnomeHotKeys(GlobalHotKeys::PressHandler pressed) {
  if (auto portal = CreateGnomePortalHotKeys(std::move(pressed))) return portal;
  return CreateGnomeCustomHotKeys();
}

}  // namespace lumora::platform
