// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace lumora {

namespace registry_store {
struct KeyName;
}

// The hives a key can live under. Unscoped so that code reads as it did on Windows:
// reg.RootKey = HKEY_LOCAL_MACHINE.
enum TRootKey { HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG };

// Where TRegistry objects created without a file name keep their values, on the systems whose registry is
// a file of ours (all but Windows, where the values live in the registry itself and the file name is not
// used): a process-wide choice so that tests and alternative installs can move the store. Empty text
// restores the default.
void SetRegistryStorePath(std::string fileName);
std::string RegistryStorePath();

// $XDG_CONFIG_HOME/lumora/registry.ini, or $HOME/.config/lumora/registry.ini when XDG_CONFIG_HOME is
// unset, empty or relative.
std::string DefaultRegistryStorePath();

// The Windows registry as far as the program uses it. On Windows it is the registry; elsewhere it is kept
// in one UTF-8 text file per user. Every hive, HKEY_LOCAL_MACHINE included, is stored there: on Linux there
// is no machine-wide store a user may write.
//
// Key names use Windows notation ("\SOFTWARE\Vendor\Product") and, like value names, compare without
// regard to ASCII case. Nothing is cached: every read looks at the file and every change re-reads it,
// changes the one value and replaces the whole file atomically, under a lock, so several Lumora
// processes can share the store without losing each other's values. A damaged or unreadable store reads
// as empty; the next change rewrites it with whatever could still be read.
class TRegistry {
 public:
  // Uses RegistryStorePath() as it is at construction.
  TRegistry();
  explicit TRegistry(std::string storeFileName);

  // The hive that absolute key names start from. Changing it closes the open key, as on Windows.
  TRootKey RootKey = HKEY_CURRENT_USER;

  // Makes key the current key. A name starting with '\' starts from RootKey; any other name continues
  // from the current key if one is open, and from RootKey otherwise. A missing key is created when
  // canCreate is set; otherwise, or when creating fails, the answer is false and the current key stays.
  bool OpenKey(const std::string& key, bool canCreate);
  void CloseKey();

  // The value of the current key (of RootKey itself when no key is open). A missing key or value reads
  // as empty text.
  std::string ReadString(const std::string& name);
  bool ValueExists(const std::string& name);

  // Raises ERegistryException "Failed to set data for '<name>'" when the store cannot be written.
  void WriteString(const std::string& name, const std::string& value);

  // The current key without its hive, as Windows shows it ("SOFTWARE\Vendor"); empty when none is open.
  std::string CurrentPath() const;

  const std::string& StoreFileName() const { return storeFileName_; }

 private:
  void CloseIfRootChanged();
  // The open key, else RootKey itself.
  registry_store::KeyName CurrentKey() const;

  std::string storeFileName_;
  bool keyOpen_ = false;
  TRootKey openRoot_ = HKEY_CURRENT_USER;
  std::vector<std::string> openPath_;  // below openRoot_: {"SOFTWARE", "Vendor"}
};

}  // namespace lumora
