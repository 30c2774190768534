// SPDX-License-Identifier: GPL-3.0-or-later
// The file functions on the Win32 "A" calls: names are the ANSI code page's bytes, as everywhere else in
// the program on Windows.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "toolkit/exceptions.h"
#include "toolkit/file_system.h"
#include "toolkit/files.h"
#include "toolkit/win32/windows_error.h"

namespace lumora {

namespace {

// Closes the handle on every way out, exceptions included.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  // 0, or the error a delayed write reported when closing.
  DWORD Close() {
    const DWORD error = ::CloseHandle(handle_) ? 0 : ::GetLastError();
    handle_ = INVALID_HANDLE_VALUE;
    return error;
  }

 private:
  HANDLE handle_;
};

int WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD wrote = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &wrote, nullptr)) return static_cast<int>(::GetLastError());
    if (wrote == 0) return ERROR_DISK_FULL;
    bytes.remove_prefix(wrote);
  }
  return 0;
}

file_system::ByteSink SinkOf(HANDLE file) {
  return [file](std::string_view bytes) { return WriteAll(file, bytes); };
}

HANDLE Create(const std::string& fileName, DWORD disposition) {
  return ::CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// A name no other writer (thread or process) is using; CREATE_NEW settles the rare collision.
std::string TemporaryNameFor(const std::string& fileName) {
  static std::atomic<unsigned> counter{0};
  return fileName + ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++) +
         "-" + std::to_string(::GetTickCount() % 1000000);
}

bool MayNotWriteHere(DWORD error) {
  return error == ERROR_ACCESS_DENIED;
}

// Folds ASCII letters only, as the file name masks of the program do.
char Folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// '*' any run of characters, '?' any one, ignoring ASCII letter case. FindFirstFileA's own matching is
// not used: it also matches the short 8.3 names and treats "*.*" and a trailing '.' in its own ways.
bool Matches(std::string_view mask, std::string_view name) {
  std::size_t m = 0, n = 0, starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Folded(mask[m]) == Folded(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

namespace file_system {

void WriteFileWith(const std::string& fileName, const ContentWriter& write) {
  FileHandle file(Create(fileName, CREATE_ALWAYS));
  if (!file.Valid()) throw EFCreateError(CreateErrorText(fileName, WindowsErrorText(::GetLastError())));
  if (const int error = write(SinkOf(file.Get())); error != 0)
    throw EWriteError(WriteErrorText(fileName, WindowsErrorText(static_cast<DWORD>(error))));
  if (const DWORD error = file.Close(); error != 0)
    throw EWriteError(WriteErrorText(fileName, WindowsErrorText(error)));
}

// Windows keeps no permission bits of the POSIX kind, so newFileMode has nothing to say here; there are no
// symbolic links to follow in the files this program writes either.
void ReplaceFileWith(const std::string& fileName, const ContentWriter& write, unsigned /*newFileMode*/) {
  const DWORD attributes = ::GetFileAttributesA(fileName.c_str());
  const bool replacing =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;

  std::string temporary;
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD error = 0;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = TemporaryNameFor(fileName);
    handle = Create(temporary, CREATE_NEW);
    error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    if (error != 0 && error != ERROR_FILE_EXISTS) break;
  }
  if (handle == INVALID_HANDLE_VALUE) {
    if (replacing && MayNotWriteHere(error)) return WriteFileWith(fileName, write);
    throw EFCreateError(CreateErrorText(fileName, WindowsErrorText(error)));
  }
  FileHandle file(handle);

  try {
    error = static_cast<DWORD>(write(SinkOf(file.Get())));
  } catch (...) {
    file.Close();
    ::DeleteFileA(temporary.c_str());
    throw;
  }
  // Without the flush a crash soon after the rename can leave the new name pointing at an empty file.
  if (error == 0 && !::FlushFileBuffers(file.Get())) error = ::GetLastError();
  if (const DWORD closed = file.Close(); closed != 0 && error == 0) error = closed;
  if (error == 0 &&
      !::MoveFileExA(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = ::GetLastError();
  if (error != 0) {
    ::DeleteFileA(temporary.c_str());
    if (replacing && MayNotWriteHere(error)) return WriteFileWith(fileName, write);
    throw EWriteError(WriteErrorText(fileName, WindowsErrorText(error)));
  }
}

std::vector<std::string> NamesMatching(const std::string& folder, const std::string& mask) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry{};
  const HANDLE search = ::FindFirstFileA((IncludeTrailingPathDelimiter(folder) + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != ".." && Matches(mask, name)) names.push_back(name);
  } while (::FindNextFileA(search, &entry));
  ::FindClose(search);
  return names;
}

}  // namespace file_system

bool PathExists(const std::string& fileName) {
  return !fileName.empty() && ::GetFileAttributesA(fileName.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::string& fileName) {
  if (fileName.empty()) return false;
  const DWORD attributes = ::GetFileAttributesA(fileName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string GetCurrentDir() {
  const DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return {};
  std::vector<char> buffer(needed);
  const DWORD length = ::GetCurrentDirectoryA(needed, buffer.data());
  if (length == 0 || length >= needed) return {};
  return std::string(buffer.data(), length);
}

}  // namespace lumora
