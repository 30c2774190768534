// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "toolkit/exceptions.h"
#include "toolkit/file_system.h"
#include "toolkit/regular_file.h"

namespace lumora {

namespace {

[[noreturn]] void CannotOpen(const std::string& fileName, const std::string& reason) {
  throw EFOpenError(file_system::OpenErrorText(fileName, reason));
}

void RequireRegular(const std::string& fileName, const struct stat& info) {
  if (S_ISDIR(info.st_mode)) CannotOpen(fileName, std::strerror(EISDIR));
  if (!S_ISREG(info.st_mode)) CannotOpen(fileName, "Not a regular file");
}

}  // namespace

RegularFile::RegularFile(const std::string& fileName) {
  // Looked at before opening: opening a device can have effects of its own, such as rewinding a tape.
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0) CannotOpen(fileName, std::strerror(errno));
  RequireRegular(fileName, info);
  // O_NONBLOCK keeps a pipe put in the file's place since the look from holding the open.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) CannotOpen(fileName, std::strerror(errno));
  try {
    if (::fstat(fd, &info) != 0) CannotOpen(fileName, std::strerror(errno));
    RequireRegular(fileName, info);
  } catch (...) {
    ::close(fd);
    throw;
  }
  // A regular file ignores the flag; reads are ordinary blocking reads all the same.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  handle_ = fd;
}

RegularFile::~RegularFile() {
  ::close(static_cast<int>(handle_));
}

std::int64_t RegularFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
    if (got >= 0) return got;
    if (errno != EINTR) {
      lastError_ = errno;
      return -1;
    }
  }
}

std::int64_t RegularFile::SeekTo(std::int64_t position) {
  const off_t now = ::lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET);
  if (now < 0) lastError_ = errno;
  return now;
}

std::int64_t RegularFile::Position() {
  const off_t now = ::lseek(static_cast<int>(handle_), 0, SEEK_CUR);
  if (now < 0) lastError_ = errno;
  return now;
}

std::int64_t RegularFile::Size() {
  struct stat info {};
  if (::fstat(static_cast<int>(handle_), &info) != 0) {
    lastError_ = errno;
    return -1;
  }
  return info.st_size;
}

std::string RegularFile::FailureReason() const {
  return std::strerror(lastError_);
}

bool IsFolderPipeOrDevice(const std::string& fileName) {
  struct stat info {};
  return ::stat(fileName.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace lumora
