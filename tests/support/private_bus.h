// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "support/process.h"

namespace lumora::test {

// A dbus-daemon of our own, as a session bus nobody else uses; the services it starts share its process
// group and its environment, the test's own changed as environment says. The address file goes into folder.
class PrivateBus {
 public:
  // Throws when the daemon gives no address.
  explicit PrivateBus(const std::string& folder, const ProcessOptions& environment = {});
  const std::string& Address() const { return address_; }
  pid_t Pid() const { return daemon_->Pid(); }

 private:
  std::unique_ptr<ChildProcess> daemon_;
  std::string address_;
};

}  // namespace lumora::test
