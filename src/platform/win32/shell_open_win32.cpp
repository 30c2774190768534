// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdint>

#include "platform/shell_open.h"

namespace lumora::platform {

// The shell picks the program for an address or a file by its kind, as Explorer would. Its result is an
// instance handle that is really a number: above 32 means the target was opened.
bool ShellOpen(const std::string& target) {
  const HINSTANCE result = ::ShellExecuteA(nullptr, "Open", target.c_str(), nullptr, nullptr, SW_SHOW);
  return reinterpret_cast<std::intptr_t>(result) > 32;
}

}  // namespace lumora::platform
