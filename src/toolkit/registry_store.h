// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/registry.h"

// Where TRegistry's keys and values are kept: the one part of it that differs from system to system. On
// Windows it is the registry itself; elsewhere a per-user INI file, storeFileName, which the Windows
// registry has no use for. TRegistry resolves key names and keeps the open key; these calls only look up
// and store.
namespace lumora::registry_store {

// A key: its hive and the names of the keys on the way down to it, none of them empty.
struct KeyName {
  TRootKey root = HKEY_CURRENT_USER;
  std::vector<std::string> path;
};

// The names of a key given in Windows notation ("\\SOFTWARE\\Vendor"); empty ones, from doubled or
// trailing backslashes, are dropped.
std::vector<std::string> SplitKeyName(std::string_view name);

// Whether the key (which has at least one name below its hive) exists.
bool KeyExists(const std::string& storeFileName, const KeyName& key);

// Creates the key and every missing key above it. False when it could not be created (a name the store
// cannot hold, a store that cannot be written); true when it exists afterwards.
bool CreateKey(const std::string& storeFileName, const KeyName& key);

// The string value of that name in the key (of the hive itself when the path is empty); nullopt when the
// key or the value is missing or cannot be read.
std::optional<std::string> ReadString(const std::string& storeFileName, const KeyName& key,
                                      const std::string& name);

// Stores the value under that name, creating the key when it is missing. False when it could not be stored.
bool WriteString(const std::string& storeFileName, const KeyName& key, const std::string& name,
                 const std::string& value);

}  // namespace lumora::registry_store
