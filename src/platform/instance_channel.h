// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lumora::platform {

// Where the process that owns the instance mutex of that name listens for the command line, as a name for
// a local socket: a socket beside the mutex's lock in the user's run-time directory on POSIX, a pipe name
// of this user on Windows. Empty, with the reason in error, when the system offers no such place.
std::string InstanceChannel(const std::string& name, std::string& error);

enum class ChannelCheck {
  Absent,     // nothing listens there
  Trusted,    // this user's own, and no one else's to use
  Untrusted,  // something else: another user's, or open to others (why says which)
};

// What lies at the channel, checked before a request is sent to it: a socket that another user owns or
// may write to is never this user's Lumora.
ChannelCheck CheckChannel(const std::string& channel, std::string& why);

}  // namespace lumora::platform
