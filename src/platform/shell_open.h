// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lumora::platform {

// Hands a web address or a file to the user's preferred application, as a double click in the file
// manager would. Returns at once without waiting for that application; whether it managed is not known
// here (its failures are its own to report). False only when the opener itself could not be started.
bool ShellOpen(const std::string& target);

}  // namespace lumora::platform
