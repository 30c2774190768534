// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_desktops/gsettings.h"

namespace lumora::platform::desktops {

Settings::Settings(const char* schemaId, const std::string& path) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (source == nullptr) return;
  schema_ = g_settings_schema_source_lookup(source, schemaId, TRUE);
  if (schema_ == nullptr) return;
  // A relocatable schema without a path, or a fixed one given another path, would abort the process too.
  const gchar* fixedPath = g_settings_schema_get_path(schema_);
  if (fixedPath == nullptr ? path.empty() : !path.empty() && path != fixedPath) return;
  settings_ = g_settings_new_full(schema_, nullptr, path.empty() ? nullptr : path.c_str());
}

Settings::~Settings() {
  if (settings_ != nullptr) g_object_unref(settings_);
  if (schema_ != nullptr) g_settings_schema_unref(schema_);
}

std::vector<std::string> Settings::Keys() const {
  std::vector<std::string> keys;
  if (settings_ == nullptr) return keys;
  gchar** names = g_settings_schema_list_keys(schema_);
  for (gchar** name = names; *name != nullptr; ++name) keys.emplace_back(*name);
  g_strfreev(names);
  return keys;
}

GVariant* Settings::Value(const char* key) const {
  return settings_ != nullptr && HasKey(key) ? g_settings_get_value(settings_, key) : nullptr;
}

std::string Settings::GetString(const char* key) const {
  GVariant* value = Value(key);
  std::string text;
  if (value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    text = g_variant_get_string(value, nullptr);
  }
  if (value != nullptr) g_variant_unref(value);
  return text;
}

std::vector<std::string> Settings::GetStrings(const char* key) const {
  GVariant* value = Value(key);
  std::vector<std::string> texts;
  if (value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) {
    const gchar** items = g_variant_get_strv(value, nullptr);
    for (const gchar** item = items; *item != nullptr; ++item) texts.emplace_back(*item);
    g_free(items);
  }
  if (value != nullptr) g_variant_unref(value);
  return texts;
}

bool Settings::SetValue(const char* key, GVariant* value) {
  g_variant_ref_sink(value);
  bool written = false;
  if (settings_ != nullptr && HasKey(key)) {
    GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema_, key);
    written = g_variant_is_of_type(value, g_settings_schema_key_get_value_type(schemaKey)) &&
              g_settings_schema_key_range_check(schemaKey, value) &&
              g_settings_set_value(settings_, key, value);
    g_settings_schema_key_unref(schemaKey);
  }
  g_variant_unref(value);
  return written;
}

bool Settings::SetString(const char* key, const std::string& value) {
  return SetValue(key, g_variant_new_string(value.c_str()));
}

bool Settings::SetStrings(const char* key, const std::vector<std::string>& values) {
  std::vector<const gchar*> items;
  items.reserve(values.size());
  for (const std::string& value : values) items.push_back(value.c_str());
  return SetValue(key, g_variant_new_strv(items.data(), static_cast<gssize>(items.size())));
}

void Settings::Reset(const char* key) {
  if (settings_ != nullptr && HasKey(key)) g_settings_reset(settings_, key);
}

}  // namespace lumora::platform::desktops
