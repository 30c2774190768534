#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>

#include "platform/connection_probe.h"

namespace lumora::platform {

namespace {

struct HostAndPort {
  std::string host;
  std::string port = "80";
};

HostAndPort ServerOf(const std::string& url) {
  std::string rest = url;
  if (const auto scheme = rest.find("://"); scheme != std::string::npos) rest.erase(0, scheme + 3);
  rest = rest.substr(0, rest.find('/'));
  HostAndPort server{rest};
  if (const auto colon = rest.rfind(':'); colon != std::string::npos) {
    server.host = rest.substr(0, colon);
    server.port = rest.substr(colon + 1);
  }
  return server;
}

bool ConnectWithin(const addrinfo& address, std::chrono::steady_clock::time_point deadline) {
  const int fd =
      ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
  if (fd < 0) return false;
  bool connected = ::connect(fd, address.ai_addr, address.ai_addrlen) == 0;
  if (!connected && errno == EINPROGRESS) {
    pollfd watch{fd, POLLOUT, 0};
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 1) {
        int error = 0;
        socklen_t length = sizeof error;
        connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
      }
      break;
    }
  }
  ::close(fd);
  return connected;
}

}  // namespace

bool CheckConnection(const std::string& url, int timeoutMs) {
  const HostAndPort server = ServerOf(url);
  if (server.host.empty()) return false;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(server.host.c_str(), server.port.c_str(), &hints, &found) != 0) return false;
  const std::unique_ptr<addrinfo, void (*)(addrinfo*)> addresses(found, ::freeaddrinfo);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
    if (ConnectWithin(*address, deadline)) return true;
  }
  return false;
}

}  // namespace lumora::platform
