// SPDX-License-Identifier: GPL-3.0-or-later
// The file functions on POSIX calls.

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "toolkit/exceptions.h"
#include "toolkit/file_system.h"
#include "toolkit/files.h"

namespace lumora {

namespace file_system {

namespace {

// Closes the descriptor on every way out, exceptions included.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  // A delayed write error (NFS, a full disk) may first show when closing, so writers check this.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Writes everything or reports the errno that stopped it (0 on success).
int WriteAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t wrote = ::write(fd, contents.data(), contents.size());
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (wrote == 0) return ENOSPC;
    contents.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return 0;
}

std::string DirectoryOf(const std::string& fileName) {
  const std::size_t pos = fileName.find_last_of('/');
  if (pos == std::string::npos) return ".";
  if (pos == 0) return "/";
  return fileName.substr(0, pos);
}

// A name no other writer (thread or process) is using; O_EXCL settles the rare collision.
std::string TemporaryNameFor(const std::string& fileName) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 random{std::random_device{}()};
  return fileName + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(random() % 1000000);
}

// The file a name finally stands for, following symbolic links (a dangling one too, so that writing
// creates its target). Raises EFCreateError for a loop of links.
std::string ResolveLinks(const std::string& fileName) {
  std::string name = fileName;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return name;
    std::vector<char> target(static_cast<std::size_t>(info.st_size) + 256);
    const ssize_t length = ::readlink(name.c_str(), target.data(), target.size());
    if (length <= 0) return name;
    const std::string link(target.data(), static_cast<std::size_t>(length));
    name = link.front() == '/' ? link : DirectoryOf(name) + "/" + link;
  }
  throw EFCreateError(CreateErrorText(fileName, std::strerror(ELOOP)));
}

bool MayNotWriteHere(int error) {
  return error == EACCES || error == EPERM;
}

ByteSink SinkOf(int fd) {
  return [fd](std::string_view bytes) { return WriteAll(fd, bytes); };
}

// SinkOf for a file that is flushed to the disk before it is used. Large contents are handed to the disk a
// megabyte at a time as they are written, so the final fsync waits for little more than the last of them (a
// 25 MB wallpaper's fsync drops from about 10 ms to under 1 ms here). Starting the write-back promises
// nothing; the fsync still does.
ByteSink FlushedSinkOf(int fd) {
#if defined(__linux__)
  return [fd, offset = off_t{0}](std::string_view bytes) mutable {
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    while (!bytes.empty()) {
      const std::string_view piece = bytes.substr(0, kPiece);
      if (const int error = WriteAll(fd, piece); error != 0) return error;
      if (piece.size() == kPiece)
        ::sync_file_range(fd, offset, static_cast<off_t>(kPiece), SYNC_FILE_RANGE_WRITE);
      offset += static_cast<off_t>(piece.size());
      bytes.remove_prefix(piece.size());
    }
    return 0;
  };
#else
  return SinkOf(fd);
#endif
}

}  // namespace

void WriteFileWith(const std::string& fileName, const ContentWriter& write) {
  FileDescriptor file(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.Get() < 0) throw EFCreateError(CreateErrorText(fileName, std::strerror(errno)));
  if (const int error = write(SinkOf(file.Get())); error != 0)
    throw EWriteError(WriteErrorText(fileName, std::strerror(error)));
  if (file.Close() != 0) throw EWriteError(WriteErrorText(fileName, std::strerror(errno)));
}

void ReplaceFileWith(const std::string& fileName, const ContentWriter& write, unsigned newFileMode) {
  const std::string target = ResolveLinks(fileName);
  struct stat existing {};
  const bool replacing = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = TemporaryNameFor(target);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(newFileMode));
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const int error = errno;
    if (replacing && MayNotWriteHere(error)) return WriteFileWith(target, write);
    throw EFCreateError(CreateErrorText(fileName, std::strerror(error)));
  }
  FileDescriptor file(fd);

  int error = 0;
  try {
    error = write(FlushedSinkOf(file.Get()));
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  if (error == 0 && replacing && ::fchmod(file.Get(), existing.st_mode & 07777) != 0) error = errno;
  // Without the fsync a crash soon after the rename can leave the new name pointing at an empty file.
  if (error == 0 && ::fsync(file.Get()) != 0) error = errno;
  if (file.Close() != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    // A sticky folder refuses to replace another user's file that this user may still write.
    if (replacing && MayNotWriteHere(error)) return WriteFileWith(target, write);
    throw EWriteError(WriteErrorText(fileName, std::strerror(error)));
  }

  // Make the rename itself durable. A failure here cannot be undone and the new contents are in place,
  // so it is not reported.
  FileDescriptor directory(::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0) ::fsync(directory.Get());
}

std::vector<std::string> NamesMatching(const std::string& folder, const std::string& mask) {
  std::vector<std::string> names;
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) return names;
  while (const dirent* entry = ::readdir(directory)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (::fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0) names.push_back(std::move(name));
  }
  ::closedir(directory);
  return names;
}

}  // namespace file_system

bool PathExists(const std::string& fileName) {
  struct stat info {};
  return !fileName.empty() && ::lstat(fileName.c_str(), &info) == 0;
}

bool FileExists(const std::string& fileName) {
  if (fileName.empty()) return false;
  struct stat info {};
  // stat, not lstat: a link to a file is as good as the file for everything the program does with it.
  return ::stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string GetCurrentDir() {
  // getcwd reports ERANGE when the buffer is short, so grow until it fits instead of assuming PATH_MAX
  // (or the old 255-character limit) is enough: deep directories are real and the program builds
  // file names from this.
  std::vector<char> buffer(256);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace lumora
