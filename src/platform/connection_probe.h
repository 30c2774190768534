#pragma once

#include <string>

namespace lumora::platform {

// Whether the server of an "http://host[:port]/path" address can be reached now: a real TCP connection to
// its host and port (80 when none is named), closed again at once. Gives up after timeoutMs of connecting
// (the name lookup has the resolver's own limits). Blocks the caller: meant for a worker thread.
bool CheckConnection(const std::string& url, int timeoutMs);

}  // namespace lumora::platform
