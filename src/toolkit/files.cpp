// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <ostream>
#include <random>
#include <streambuf>
#include <vector>

#include "toolkit/exceptions.h"
#include "toolkit/regular_file.h"

namespace lumora {

namespace {

std::size_t LastSeparator(const std::string& fileName) {
  return fileName.find_last_of(kPathSeparators);
}

std::string Quoted(const std::string& fileName) {
  return "\"" + fileName + "\"";
}

std::string ReadErrorText(const std::string& fileName, int error) {
  return "Error reading file " + Quoted(fileName) + ". " + std::strerror(error);
}

std::string CreateErrorText(const std::string& fileName, int error) {
  return "Cannot create file " + Quoted(fileName) + ". " + std::strerror(error);
}

std::string WriteErrorText(const std::string& fileName, int error) {
  return "Error writing file " + Quoted(fileName) + ". " + std::strerror(error);
}

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
  throw EFCreateError(CreateErrorText(fileName, ELOOP));
}

bool MayNotWriteHere(int error) {
  return error == EACCES || error == EPERM;
}

// Folds ASCII letters only, as the file name masks of the program do.
std::string FoldCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

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

std::string ExtractFileExt(const std::string& fileName) {
  std::string delimiters(kPathSeparators);
  delimiters += '.';
  const std::size_t pos = fileName.find_last_of(delimiters);
  if (pos == std::string::npos || fileName[pos] != '.') return {};
  return fileName.substr(pos);
}

std::string ExtractFileName(const std::string& fileName) {
  const std::size_t pos = LastSeparator(fileName);
  return pos == std::string::npos ? fileName : fileName.substr(pos + 1);
}

std::string ExtractFilePath(const std::string& fileName) {
  const std::size_t pos = LastSeparator(fileName);
  return pos == std::string::npos ? std::string() : fileName.substr(0, pos + 1);
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (path.empty() || kPathSeparators.find(path.back()) != std::string_view::npos) return path;
  return path + kPathDelimiter;
}

std::string ReadFileText(const std::string& fileName) {
  const RegularFile file(fileName);
  struct stat info {};
  if (::fstat(file.Descriptor(), &info) != 0) throw EReadError(ReadErrorText(fileName, errno));

  std::string text;
  if (info.st_size > 0) text.reserve(static_cast<std::size_t>(info.st_size));
  std::vector<char> buffer(65536);
  for (;;) {
    const ssize_t got = ::read(file.Descriptor(), buffer.data(), buffer.size());
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EReadError(ReadErrorText(fileName, errno));
    }
    text.append(buffer.data(), static_cast<std::size_t>(got));
  }
  return text;
}

namespace {

// Writes a whole file's contents into an open descriptor; returns the errno that stopped it, 0 when done.
using ContentWriter = std::function<int(int fd)>;

void WriteFileWith(const std::string& fileName, const ContentWriter& write) {
  FileDescriptor file(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.Get() < 0) throw EFCreateError(CreateErrorText(fileName, errno));
  if (const int error = write(file.Get()); error != 0) throw EWriteError(WriteErrorText(fileName, error));
  if (file.Close() != 0) throw EWriteError(WriteErrorText(fileName, errno));
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
    throw EFCreateError(CreateErrorText(fileName, error));
  }
  FileDescriptor file(fd);

  int error = 0;
  try {
    error = write(file.Get());
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
    throw EWriteError(WriteErrorText(fileName, error));
  }

  // Make the rename itself durable. A failure here cannot be undone and the new contents are in place,
  // so it is not reported.
  FileDescriptor directory(::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0) ::fsync(directory.Get());
}

// An output stream's buffer over a file descriptor, keeping the first error the system reported.
class DescriptorBuffer : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd) : fd_(fd) { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
  // Writes what is buffered; the first error met, 0 when none.
  int Finish() {
    Drain();
    return error_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (Drain() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    // Large blocks (a picture's rows) go straight to the file instead of through the buffer.
    if (size < static_cast<std::streamsize>(buffer_.size())) return std::streambuf::xsputn(data, size);
    if (Drain() != 0) return 0;
    error_ = WriteAll(fd_, std::string_view(data, static_cast<std::size_t>(size)));
    return error_ == 0 ? size : 0;
  }
  int sync() override { return Drain() == 0 ? 0 : -1; }

 private:
  int Drain() {
    if (error_ == 0 && pptr() > pbase()) {
      error_ = WriteAll(fd_, std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return error_;
  }

  int fd_;
  int error_ = 0;
  std::array<char, 65536> buffer_{};
};

ContentWriter WriterOf(std::string_view contents) {
  return [contents](int fd) { return WriteAll(fd, contents); };
}

}  // namespace

void WriteFileText(const std::string& fileName, std::string_view contents) {
  WriteFileWith(fileName, WriterOf(contents));
}

void WriteFileAtomically(const std::string& fileName, std::string_view contents, unsigned newFileMode) {
  ReplaceFileWith(fileName, WriterOf(contents), newFileMode);
}

void WriteFileAtomically(const std::string& fileName, const std::function<void(std::ostream&)>& write,
                         unsigned newFileMode) {
  ReplaceFileWith(
      fileName,
      [&write](int fd) {
        DescriptorBuffer buffer(fd);
        std::ostream out(&buffer);
        write(out);
        return buffer.Finish();
      },
      newFileMode);
}

std::vector<std::string> FindFileNames(const std::string& folder, const std::string& mask) {
  std::vector<std::pair<std::string, std::string>> found;  // folded name, name
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) return {};
  while (const dirent* entry = ::readdir(directory)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (::fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0) found.emplace_back(FoldCase(name), name);
  }
  ::closedir(directory);
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  names.reserve(found.size());
  for (auto& [folded, name] : found) names.push_back(std::move(name));
  return names;
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
