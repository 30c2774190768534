// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lumora::platform {

// The per-user directory for run-time objects: $XDG_RUNTIME_DIR, or a private folder under /tmp when the
// session has none (a bare X session started by hand). Empty, with the reason in error, when neither can
// be had.
std::string RuntimeDirectory(std::string& error);

}  // namespace lumora::platform
