// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "platform/hot_keys.h"

namespace lumora::platform {

// Hot keys where the session cannot have any: every registration fails.
std::unique_ptr<GlobalHotKeys> CreateNullHotKeys();

}  // namespace lumora::platform
