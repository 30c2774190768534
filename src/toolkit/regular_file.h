// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <string>

namespace lumora {

// A file opened for reading that is known to be a regular file, closed when it goes.
//
// A name in the wallpaper list can lead to a folder, a named pipe or a device as easily as to a picture.
// Opening a pipe waits until something writes into it, and a device may never answer; a folder opens but
// reads as nothing sensible. So every reader of the program's files opens them here: the name is looked at
// first and only a regular file (or a link to one) is opened, without waiting, and what was opened is
// checked again, so a name swapped for a pipe in between is caught too.
//
// The opening and the reads are the system's (posix/, win32/); the stream below is the same everywhere.
class RegularFile {
 public:
  // Raises EFOpenError when the file cannot be opened or is anything but a regular file.
  explicit RegularFile(const std::string& fileName);
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  // Up to size bytes into buffer: how many came, 0 at the end of the file, -1 when reading failed.
  std::int64_t Read(char* buffer, std::size_t size);
  // Moves to an absolute position; the position, or -1 when the system refused.
  std::int64_t SeekTo(std::int64_t position);
  // Where the next read starts, and the file's length; -1 when the system cannot tell.
  std::int64_t Position();
  std::int64_t Size();
  // The system's words for the last failure of the calls above.
  std::string FailureReason() const;

 private:
  std::intptr_t handle_;  // a descriptor on POSIX, a HANDLE on Windows
  int lastError_ = 0;
};

// True when the name leads, through any links, to something that is not a regular file: a folder, a named
// pipe, a device or a socket, none of which RegularFile opens. False for a regular file and for a name
// where nothing stands.
bool IsFolderPipeOrDevice(const std::string& fileName);

// A regular file as a seekable input stream, for the picture readers.
class RegularFileStream : public std::istream {
 public:
  // Raises EFOpenError as RegularFile does.
  explicit RegularFileStream(const std::string& fileName);
  ~RegularFileStream() override;

 private:
  class Buffer;
  std::unique_ptr<Buffer> buffer_;
};

}  // namespace lumora
