// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/runtime_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lumora::platform {

std::string RuntimeDirectory(std::string& error) {
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr && *xdg == '/') {
    struct stat st {};
    if (::stat(xdg, &st) == 0 && S_ISDIR(st.st_mode)) return xdg;
  }
  std::string dir = "/tmp/lumora-" + std::to_string(::getuid());
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    error = dir + ": " + std::strerror(errno);
    return {};
  }
  struct stat st {};
  // Someone else's folder of that name must not decide whether we run.
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
    error = dir + ": not a private directory of this user";
    return {};
  }
  return dir;
}

}  // namespace lumora::platform
