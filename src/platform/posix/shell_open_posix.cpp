// SPDX-License-Identifier: GPL-3.0-or-later
// xdg-open is the desktop-neutral opener of freedesktop.org: it asks the running desktop (or the MIME
// database) which application takes the address. It is started directly with the target as its one
// argument, never through a shell, so no character of a file name or address can become a command.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

#include "platform/shell_open.h"

extern char** environ;

namespace lumora::platform {

bool ShellOpen(const std::string& target) {
  std::string program = "xdg-open";
  // "--" would be taken as the target by xdg-open; a target that starts with '-' is made a path instead.
  std::string argument = target.starts_with('-') ? "./" + target : target;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  // The opener may stay as long as the browser it started; it is collected in the background so that it
  // neither blocks the window nor lingers as a zombie.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace lumora::platform
