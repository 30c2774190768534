// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/instance_channel.h"
#include "platform/posix/runtime_directory.h"

namespace lumora::platform {

std::string InstanceChannel(const std::string& name, std::string& error) {
  const std::string dir = RuntimeDirectory(error);
  return dir.empty() ? std::string() : dir + "/" + name + ".socket";
}

ChannelCheck CheckChannel(const std::string& channel, std::string& why) {
  struct stat st {};
  if (::lstat(channel.c_str(), &st) != 0) {
    if (errno == ENOENT) return ChannelCheck::Absent;
    why = channel + ": " + std::strerror(errno);
    return ChannelCheck::Untrusted;
  }
  if (!S_ISSOCK(st.st_mode)) {
    why = channel + ": not a socket";
  } else if (st.st_uid != ::geteuid()) {
    why = channel + ": belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  } else if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    why = channel + ": other users may use it";
  } else {
    return ChannelCheck::Trusted;
  }
  return ChannelCheck::Untrusted;
}

}  // namespace lumora::platform
