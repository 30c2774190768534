// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/private_bus.h"
#include "support/process.h"

namespace lumora::test {

// A session of our own for the whole test program: HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR and
// XDG_CACHE_HOME in a scratch folder, GSettings on dconf, and a private session bus whose address is put
// into this process's environment. dconf-service and xfconfd are started by the bus when first asked for.
// One per process: GIO and dconf keep their first bus connection for the life of the process.
class PrivateSession {
 public:
  // Started on first use; nullptr (with the reason in SkipReason) when dbus-daemon is not installed.
  static PrivateSession* Get();
  static const std::string& SkipReason();
  // Ends the bus (and with it the services it started) and removes the folder; main calls it last.
  static void Stop();

  const std::string& Home() const { return scratch_.Path(); }
  const std::string& BusAddress() const { return bus_->Address(); }

  // A fresh folder under the session's home for one test's files.
  std::string NewFolder(const std::string& name) const;

 private:
  PrivateSession();
  friend struct std::default_delete<PrivateSession>;
  ~PrivateSession();

  ScratchDirectory scratch_;
  std::unique_ptr<PrivateBus> bus_;
};

// A program run to its end in the session's environment.
RunResult RunInSession(const std::vector<std::string>& argv);
std::string Chomp(std::string text);                      // without its last line end
std::vector<std::string> Lines(const std::string& text);  // complete lines only

// file:// URIs as GLib makes and reads them; "" when there is none.
std::string FileUri(const std::string& path);
std::string PathOfUri(const std::string& uri);

// A small file, with a name that needs escaping in a URI and quoting in most languages, in folder.
std::string WritePicture(const std::string& folder);

// Sets (or, with nullptr, unsets) one environment variable for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace lumora::test
