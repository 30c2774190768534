// SPDX-License-Identifier: GPL-3.0-or-later
#include "unit/toolkit/registry_probe_win32.h"

#include <windows.h>

#include <vector>

namespace lumora::test_support {

std::optional<std::string> ReadUserString(const std::string& key, const std::string& name) {
  DWORD size = 0;
  if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<char> data(size);
  if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data.data(),
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(data.data());
}

bool WriteUserString(const std::string& key, const std::string& name, const std::string& value) {
  return RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_SZ, value.c_str(),
                         static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool UserKeyExists(const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

void DeleteUserKeyTree(const std::string& key) {
  RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace lumora::test_support
