// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/web_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace lumora::test {

namespace {

sockaddr_in LoopbackAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

// A socket bound to a loopback port of the system's choice, and that port.
int BindLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

int FreeLoopbackPort() {
  int port = 0;
  const int fd = BindLoopback(port);
  if (fd >= 0) ::close(fd);
  return port;
}

bool LoopbackAnswers(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = LoopbackAddress(port);
  const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return answers;
}

std::string LoopbackWebServer::Program() {
  for (const std::string candidate : {"/usr/sbin/lighttpd", "/usr/local/sbin/lighttpd", "lighttpd"}) {
    if (ProgramAvailable(candidate)) return candidate;
  }
  return "";
}

LoopbackWebServer::LoopbackWebServer(const std::string& documentRoot, const std::string& folder,
                                     const std::string& config)
    : folder_(folder), port_(FreeLoopbackPort()) {
  WriteWholeFile(folder_ + "/lighttpd.conf",
                 "server.document-root = \"" + documentRoot + "\"\n" +
                     "server.bind = \"127.0.0.1\"\nserver.port = " + std::to_string(port_) +
                     "\nserver.errorlog = \"" + folder_ +
                     "/error.log\"\nmimetype.assign = (\"\" => \"text/plain\")\n" + config);
  ProcessOptions options;
  options.outputFile = folder_ + "/lighttpd.out";
  server_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{Program(), "-D", "-f", folder_ + "/lighttpd.conf"}, options);
  for (int i = 0; i < 500 && !LoopbackAnswers(port_); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

bool LoopbackWebServer::Running() const {
  return LoopbackAnswers(port_);
}

std::string LoopbackWebServer::Output() const {
  return ReadWholeFile(folder_ + "/lighttpd.out") + ReadWholeFile(folder_ + "/error.log");
}

// In the body, not the initialiser list: port_ is initialised after fd_ and would overwrite what the bind
// found.
SilentServer::SilentServer() {
  fd_ = BindLoopback(port_);
  if (fd_ >= 0) ::listen(fd_, 16);
}

SilentServer::~SilentServer() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace lumora::test
