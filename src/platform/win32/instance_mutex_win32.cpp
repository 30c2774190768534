// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "platform/instance_mutex.h"
#include "toolkit/win32/windows_error.h"

namespace lumora::platform {

namespace {

// A named kernel mutex, which the system lets go of when the process ends however it ends.
class KernelMutex final : public InstanceMutex {
 public:
  explicit KernelMutex(HANDLE handle) : handle_(handle) {}
  ~KernelMutex() override { Release(); }
  KernelMutex(const KernelMutex&) = delete;
  KernelMutex& operator=(const KernelMutex&) = delete;
  // Releasing a mutex this thread does not own fails harmlessly; the handle goes either way, so the name
  // is free as soon as the owner has let go.
  void Release() override {
    if (handle_ == nullptr) return;
    ::ReleaseMutex(handle_);
    ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

}  // namespace

MutexResult CreateInstanceMutex(const std::string& name) {
  MutexResult result;
  // Asking for ownership: the first copy holds the mutex for its whole life.
  const HANDLE handle = ::CreateMutexA(nullptr, TRUE, name.c_str());
  const DWORD error = ::GetLastError();
  if (handle == nullptr) {
    result.error = name + ": " + WindowsErrorText(error);
    return result;
  }
  result.handle = std::make_unique<KernelMutex>(handle);
  result.status = error == ERROR_ALREADY_EXISTS ? MutexCreation::AlreadyExists : MutexCreation::Created;
  return result;
}

}  // namespace lumora::platform
