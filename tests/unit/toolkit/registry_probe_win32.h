// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

// The Windows registry under HKEY_CURRENT_USER read and written with the system's own calls, past TRegistry,
// to see what TRegistry really leaves there. Kept out of the tests' file: <windows.h> turns the hive names
// that TRegistry's header declares into macros.
namespace lumora::test_support {

std::optional<std::string> ReadUserString(const std::string& key, const std::string& name);
bool WriteUserString(const std::string& key, const std::string& name, const std::string& value);
bool UserKeyExists(const std::string& key);
void DeleteUserKeyTree(const std::string& key);

}  // namespace lumora::test_support
