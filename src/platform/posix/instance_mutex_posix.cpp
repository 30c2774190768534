// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/instance_mutex.h"
#include "platform/posix/runtime_directory.h"

namespace lumora::platform {

namespace {

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
