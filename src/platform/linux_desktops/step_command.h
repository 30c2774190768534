// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lumora::platform::desktops {

// The shell command that makes the running Lumora take one rotation step, as a desktop's key binding runs
// it: "lumora --next" when that name on PATH is this program's command, else this program by its full path,
// quoted for a POSIX shell where it needs it.
std::string StepCommand();

// text quoted for a POSIX shell (and for GLib's g_shell_parse_argv); text without special characters stays
// as it is.
std::string ShellQuoted(const std::string& text);

}  // namespace lumora::platform::desktops
