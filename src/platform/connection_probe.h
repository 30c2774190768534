// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lumora::platform {

// Whether the server of an http:// address can be reached now: a real connection to its host and port,
// no request sent. Gives up within a few seconds; false for an address it cannot make sense of.
bool ConnectionAvailable(const std::string& url);

}  // namespace lumora::platform
