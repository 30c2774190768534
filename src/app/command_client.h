// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/command_line.h"

namespace lumora {

// The name of the instance mutex and of the channel beside it.
inline constexpr const char* kInstanceName = "Lumora v2.0";

// Sends a request of the command line (--next, --set, --show, --quit) to the running Lumora and waits
// until it has been done. Without a running Lumora, --set sets the picture once itself and the others
// say so. Returns the exit code: 0 done, 1 not done (said on stderr).
int RunCommandRequest(int argc, char** argv, CommandLine command);

}  // namespace lumora
