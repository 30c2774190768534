// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>
// wininet.h needs windows.h first.
#include <wininet.h>

#include "platform/connection_probe.h"

namespace lumora::platform {

// FLAG_ICC_FORCE_CONNECTION makes WinINet connect to the address's host and port, rather than only ask
// whether the computer thinks it is online.
bool ConnectionAvailable(const std::string& url) {
  return ::InternetCheckConnectionA(url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
}

}  // namespace lumora::platform
