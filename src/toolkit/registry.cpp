// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/registry.h"

#include <mutex>
#include <string_view>
#include <utility>

#include "toolkit/exceptions.h"
#include "toolkit/registry_store.h"

namespace lumora {

namespace {

std::mutex& StorePathMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& StorePathOverride() {
  static std::string path;
  return path;
}

}  // namespace

void SetRegistryStorePath(std::string fileName) {
  std::lock_guard<std::mutex> guard(StorePathMutex());
  StorePathOverride() = std::move(fileName);
}

std::string RegistryStorePath() {
  {
    std::lock_guard<std::mutex> guard(StorePathMutex());
    if (!StorePathOverride().empty()) return StorePathOverride();
  }
  return DefaultRegistryStorePath();
}

namespace registry_store {

std::vector<std::string> SplitKeyName(std::string_view name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('\\', start);
    if (end == std::string_view::npos) end = name.size();
    if (end > start) parts.emplace_back(name.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace registry_store

TRegistry::TRegistry() : storeFileName_(RegistryStorePath()) {}

TRegistry::TRegistry(std::string storeFileName) : storeFileName_(std::move(storeFileName)) {}

void TRegistry::CloseIfRootChanged() {
  if (keyOpen_ && RootKey != openRoot_) CloseKey();
}

registry_store::KeyName TRegistry::CurrentKey() const {
  if (keyOpen_) return {openRoot_, openPath_};
  return {RootKey, {}};
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  CloseIfRootChanged();
  const bool relative = key.empty() || key.front() != '\\';
  const std::vector<std::string> parts = registry_store::SplitKeyName(key);
  registry_store::KeyName full{RootKey, (relative && keyOpen_) ? openPath_ : std::vector<std::string>()};
  full.path.insert(full.path.end(), parts.begin(), parts.end());
  if (!parts.empty() && !registry_store::KeyExists(storeFileName_, full)) {
    if (!canCreate || !registry_store::CreateKey(storeFileName_, full)) return false;
  }
  keyOpen_ = true;
  openRoot_ = RootKey;
  openPath_ = std::move(full.path);
  return true;
}

void TRegistry::CloseKey() {
  keyOpen_ = false;
  openPath_.clear();
}

std::string TRegistry::ReadString(const std::string& name) {
  CloseIfRootChanged();
  return registry_store::ReadString(storeFileName_, CurrentKey(), name).value_or(std::string());
}

bool TRegistry::ValueExists(const std::string& name) {
  CloseIfRootChanged();
  return registry_store::ReadString(storeFileName_, CurrentKey(), name).has_value();
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  CloseIfRootChanged();
  if (!registry_store::WriteString(storeFileName_, CurrentKey(), name, value)) {
    throw ERegistryException("Failed to set data for '" + name + "'");
  }
}

std::string TRegistry::CurrentPath() const {
  if (!keyOpen_ || RootKey != openRoot_) return {};
  std::string path;
  for (const std::string& part : openPath_) {
    if (!path.empty()) path += '\\';
    path += part;
  }
  return path;
}

}  // namespace lumora
