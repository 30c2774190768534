// SPDX-License-Identifier: GPL-3.0-or-later
// TRegistry on Windows: the registry itself, through the ANSI calls, so names and values are the bytes of
// the system's code page as the program hands them over.
#include <windows.h>

namespace {

// <windows.h> makes the hive names macros, which would rewrite TRegistry's enumerators of the same names.
// The handles are taken here, in the enumerators' order, and the macros go before TRegistry's header.
const HKEY kWindowsHives[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                              HKEY_CURRENT_CONFIG};

}  // namespace

#undef HKEY_CLASSES_ROOT
#undef HKEY_CURRENT_USER
#undef HKEY_LOCAL_MACHINE
#undef HKEY_USERS
#undef HKEY_CURRENT_CONFIG

#include <optional>
#include <string>
#include <vector>

#include "toolkit/registry_store.h"

namespace lumora {

// The values live in the registry; there is no file of ours.
std::string DefaultRegistryStorePath() {
  return {};
}

namespace registry_store {

namespace {

static_assert(HKEY_CLASSES_ROOT == 0 && HKEY_CURRENT_USER == 1 && HKEY_LOCAL_MACHINE == 2 &&
              HKEY_USERS == 3 && HKEY_CURRENT_CONFIG == 4);

HKEY HiveOf(TRootKey root) {
  return kWindowsHives[static_cast<std::size_t>(root)];
}

std::string PathOf(const KeyName& key) {
  std::string path;
  for (const std::string& part : key.path) {
    if (!path.empty()) path += '\\';
    path += part;
  }
  return path;
}

// A key handle that is closed when it goes.
class OpenedKey {
 public:
  OpenedKey() = default;
  ~OpenedKey() {
    if (handle_ != nullptr) RegCloseKey(handle_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;

  HKEY* Receive() { return &handle_; }
  HKEY Get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

bool ExistsIn(HKEY hive, const std::string& path) {
  OpenedKey key;
  return RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

// Opens the key for setting values, creating it and the keys above it when missing.
bool CreateIn(HKEY hive, const std::string& path, OpenedKey& key) {
  return RegCreateKeyExA(hive, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, key.Receive(), nullptr) == ERROR_SUCCESS;
}

std::optional<std::string> ReadIn(HKEY hive, const std::string& path, const std::string& name) {
  OpenedKey key;
  if (RegOpenKeyExA(hive, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // Only strings are read as strings; a number or binary value under the name is not one.
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::vector<BYTE> data(size + 1);
  if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // The stored bytes need not end with the terminating zero the writer should have put there.
  std::string value(reinterpret_cast<const char*>(data.data()), size);
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

bool WriteIn(HKEY hive, const std::string& path, const std::string& name, const std::string& value) {
  OpenedKey key;
  if (!CreateIn(hive, path, key)) return false;
  return RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

// A standard user may not write under HKEY_LOCAL_MACHINE. What the program keeps there (its first-run
// mark) then goes under the same path in HKEY_CURRENT_USER, and is read from either, so such a user gets
// past the first start like anyone else.
bool UserStandsInFor(const KeyName& key) {
  return key.root == HKEY_LOCAL_MACHINE;
}

const HKEY kUserHive = kWindowsHives[HKEY_CURRENT_USER];

}  // namespace

bool KeyExists(const std::string&, const KeyName& key) {
  const std::string path = PathOf(key);
  return ExistsIn(HiveOf(key.root), path) || (UserStandsInFor(key) && ExistsIn(kUserHive, path));
}

bool CreateKey(const std::string&, const KeyName& key) {
  const std::string path = PathOf(key);
  OpenedKey inHive;
  if (CreateIn(HiveOf(key.root), path, inHive)) return true;
  OpenedKey inUserHive;
  return UserStandsInFor(key) && CreateIn(kUserHive, path, inUserHive);
}

std::optional<std::string> ReadString(const std::string&, const KeyName& key, const std::string& name) {
  const std::string path = PathOf(key);
  if (auto value = ReadIn(HiveOf(key.root), path, name)) return value;
  if (UserStandsInFor(key)) return ReadIn(kUserHive, path, name);
  return std::nullopt;
}

bool WriteString(const std::string&, const KeyName& key, const std::string& name, const std::string& value) {
  const std::string path = PathOf(key);
  return WriteIn(HiveOf(key.root), path, name, value) ||
         (UserStandsInFor(key) && WriteIn(kUserHive, path, name, value));
}

}  // namespace registry_store

}  // namespace lumora
