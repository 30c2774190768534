// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gio/gio.h>

#include <string>
#include <vector>

namespace lumora::platform::desktops {

// One schema's settings, looked up anew for each operation so that a schema installed while we run is
// found. Empty when the schema is not installed: GSettings would abort the process on an unknown schema.
// A relocatable schema is opened at path.
class Settings {
 public:
  explicit Settings(const char* schemaId, const std::string& path = {});
  ~Settings();
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  explicit operator bool() const { return settings_ != nullptr; }
  bool HasKey(const char* key) const { return schema_ != nullptr && g_settings_schema_has_key(schema_, key); }
  std::vector<std::string> Keys() const;

  // The value of a key the schema has, owned by the caller; nullptr when it has no such key.
  GVariant* Value(const char* key) const;
  // "" when the key is missing or holds no string; an empty list when it holds no string array.
  std::string GetString(const char* key) const;
  std::vector<std::string> GetStrings(const char* key) const;

  // False when the key is missing, of another type, locked, or the value is out of its range.
  bool SetString(const char* key, const std::string& value);
  bool SetStrings(const char* key, const std::vector<std::string>& values);
  void Reset(const char* key);

  // Waits until the backend has taken every write, so that the next one is seen as a change of its own.
  void Sync() { g_settings_sync(); }

 private:
  bool SetValue(const char* key, GVariant* value);  // consumes a floating value

  GSettingsSchema* schema_ = nullptr;
  GSettings* settings_ = nullptr;
};

}  // namespace lumora::platform::desktops
