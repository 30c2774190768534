// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "platform/instance_channel.h"
#include "toolkit/win32/windows_error.h"

namespace lumora::platform {

// Pipe names are seen by every session of the machine: the user's name keeps two users' copies apart,
// and the pipe's access list (made by the listening side for its own user only) keeps others out.
std::string InstanceChannel(const std::string& name, std::string& error) {
  char user[256 + 1] = {};
  DWORD length = sizeof user;
  if (!::GetUserNameA(user, &length)) {
    error = name + ": " + WindowsErrorText(::GetLastError());
    return {};
  }
  return name + " " + user;
}

ChannelCheck CheckChannel(const std::string&, std::string&) {
  return ChannelCheck::Trusted;
}

}  // namespace lumora::platform
