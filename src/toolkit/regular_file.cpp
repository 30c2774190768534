// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <streambuf>

#include "toolkit/exceptions.h"

namespace lumora {

namespace {

[[noreturn]] void CannotOpen(const std::string& fileName, const char* reason) {
  throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
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
  fd_ = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) CannotOpen(fileName, std::strerror(errno));
  try {
    if (::fstat(fd_, &info) != 0) CannotOpen(fileName, std::strerror(errno));
    RequireRegular(fileName, info);
  } catch (...) {
    ::close(fd_);
    throw;
  }
  // A regular file ignores the flag; reads are ordinary blocking reads all the same.
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
}

RegularFile::~RegularFile() {
  ::close(fd_);
}

bool IsFolderPipeOrDevice(const std::string& fileName) {
  struct stat info {};
  return ::stat(fileName.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// Reads through a buffer; seeking drops what is buffered, except for asking where it stands.
class RegularFileStream::Buffer : public std::streambuf {
 public:
  explicit Buffer(const std::string& fileName) : file_(fileName) { Empty(); }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    ssize_t got = 0;
    do {
      got = ::read(file_.Descriptor(), buffer_.data(), buffer_.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      Empty();
      return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode which) override {
    if ((which & std::ios_base::in) == 0) return Failed();
    const off_t filePosition = ::lseek(file_.Descriptor(), 0, SEEK_CUR);
    if (filePosition < 0) return Failed();
    // The descriptor stands past what is still buffered.
    const off_type here = filePosition - (egptr() - gptr());
    if (direction == std::ios_base::cur && offset == 0) return pos_type(here);
    off_t target = 0;
    if (direction == std::ios_base::beg) {
      target = static_cast<off_t>(offset);
    } else if (direction == std::ios_base::cur) {
      target = static_cast<off_t>(here + offset);
    } else {
      struct stat info {};
      if (::fstat(file_.Descriptor(), &info) != 0) return Failed();
      target = static_cast<off_t>(info.st_size + offset);
    }
    if (target < 0) return Failed();
    const off_t now = ::lseek(file_.Descriptor(), target, SEEK_SET);
    if (now < 0) return Failed();
    Empty();
    return pos_type(now);
  }

  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return seekoff(off_type(position), std::ios_base::beg, which);
  }

 private:
  static pos_type Failed() { return pos_type(off_type(-1)); }
  void Empty() { setg(buffer_.data(), buffer_.data(), buffer_.data()); }

  RegularFile file_;
  std::array<char, 65536> buffer_{};
};

RegularFileStream::RegularFileStream(const std::string& fileName)
    : std::istream(nullptr), buffer_(std::make_unique<Buffer>(fileName)) {
  rdbuf(buffer_.get());
}

RegularFileStream::~RegularFileStream() = default;

}  // namespace lumora
