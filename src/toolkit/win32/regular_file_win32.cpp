// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "toolkit/exceptions.h"
#include "toolkit/file_system.h"
#include "toolkit/regular_file.h"
#include "toolkit/win32/windows_error.h"

namespace lumora {

namespace {

[[noreturn]] void CannotOpen(const std::string& fileName, const std::string& reason) {
  throw EFOpenError(file_system::OpenErrorText(fileName, reason));
}

HANDLE HandleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

RegularFile::RegularFile(const std::string& fileName) {
  // A folder is refused by name: opening one for reading needs a flag this never passes, and the system's
  // "access denied" would send the user looking for a permission problem.
  const DWORD attributes = ::GetFileAttributesA(fileName.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    CannotOpen(fileName, "Is a directory");
  const HANDLE handle = ::CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) CannotOpen(fileName, WindowsErrorText(::GetLastError()));
  // Device names (CON, NUL, COM1 …, with any extension) and pipes open without waiting; what they are
  // shows only now.
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    CannotOpen(fileName, "Not a regular file");
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
}

RegularFile::~RegularFile() {
  ::CloseHandle(HandleOf(handle_));
}

std::int64_t RegularFile::Read(char* buffer, std::size_t size) {
  const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  DWORD got = 0;
  if (!::ReadFile(HandleOf(handle_), buffer, chunk, &got, nullptr)) {
    lastError_ = static_cast<int>(::GetLastError());
    return -1;
  }
  return got;
}

std::int64_t RegularFile::SeekTo(std::int64_t position) {
  LARGE_INTEGER target{};
  target.QuadPart = position;
  LARGE_INTEGER now{};
  if (!::SetFilePointerEx(HandleOf(handle_), target, &now, FILE_BEGIN)) {
    lastError_ = static_cast<int>(::GetLastError());
    return -1;
  }
  return now.QuadPart;
}

std::int64_t RegularFile::Position() {
  LARGE_INTEGER now{};
  if (!::SetFilePointerEx(HandleOf(handle_), LARGE_INTEGER{}, &now, FILE_CURRENT)) {
    lastError_ = static_cast<int>(::GetLastError());
    return -1;
  }
  return now.QuadPart;
}

std::int64_t RegularFile::Size() {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(HandleOf(handle_), &size)) {
    lastError_ = static_cast<int>(::GetLastError());
    return -1;
  }
  return size.QuadPart;
}

std::string RegularFile::FailureReason() const {
  return WindowsErrorText(static_cast<unsigned long>(lastError_));
}

bool IsFolderPipeOrDevice(const std::string& fileName) {
  const DWORD attributes = ::GetFileAttributesA(fileName.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
  // Devices and pipes are found out by opening them, which for them never waits.
  const HANDLE handle = ::CreateFileA(fileName.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool regular = ::GetFileType(handle) == FILE_TYPE_DISK;
  ::CloseHandle(handle);
  return !regular;
}

}  // namespace lumora
