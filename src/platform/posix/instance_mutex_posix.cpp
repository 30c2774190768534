// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/instance_mutex.h"

namespace lumora::platform {

namespace {

// The per-user directory for run-time objects: $XDG_RUNTIME_DIR, or a private folder under /tmp when the
// session has none (a bare X session started by hand).
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

class FileLockMutex final : public InstanceMutex {
 public:
  explicit FileLockMutex(int fd) : fd_(fd) {}
  ~FileLockMutex() override { Release(); }
  void Release() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

}  // namespace

MutexResult CreateInstanceMutex(const std::string& name) {
  MutexResult result;
  const std::string dir = RuntimeDirectory(result.error);
  if (dir.empty()) return result;
  const std::string path = dir + "/" + name + ".lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    result.error = path + ": " + std::strerror(errno);
    return result;
  }
  result.handle = std::make_unique<FileLockMutex>(fd);
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    result.status = MutexCreation::Created;
  } else if (errno == EWOULDBLOCK) {
    result.status = MutexCreation::AlreadyExists;
  } else {
    result.error = path + ": " + std::strerror(errno);
    result.handle.reset();
  }
  return result;
}

}  // namespace lumora::platform
