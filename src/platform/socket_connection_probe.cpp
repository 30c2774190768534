// SPDX-License-Identifier: GPL-3.0-or-later
// The probe on the program's own socket session, for systems without a probe of their own.
#include "net/http_message.h"
#include "net/powersock.h"
#include "platform/connection_probe.h"

namespace lumora::platform {

namespace {

constexpr int kProbeTimeoutMs = 5000;

}  // namespace

bool ConnectionAvailable(const std::string& url) {
  TPowersock probe;
  try {
    std::string host;
    int port = 0;
    std::string address = url;  // made whole ("/" added) as it is read
    ParseHttpUrl(address, host, port);
    probe.SetHost(host);
    probe.SetPort(port);
    probe.SetTimeOut(kProbeTimeoutMs);
    probe.Connect();
  } catch (...) {
    return false;
  }
  try {
    probe.Disconnect();
  } catch (...) {
  }
  return true;
}

}  // namespace lumora::platform
