// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace lumora::test_support {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int BoundPort(int fd) {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
  return ntohs(bound.sin_port);
}

// Waits up to timeoutMs for the descriptor to become readable.
bool Readable(int fd, int timeoutMs) {
  pollfd watch{fd, POLLIN, 0};
  return ::poll(&watch, 1, timeoutMs) > 0;
}

}  // namespace

void ScriptedPeer::Send(std::string_view bytes) {
  ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void ScriptedPeer::Drip(std::string_view bytes, int pauseMs) {
  for (const char byte : bytes) {
    Send(std::string_view(&byte, 1));
    Pause(pauseMs);
  }
}

void ScriptedPeer::Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string ScriptedPeer::ReceiveUntil(std::string_view terminator) {
  std::string received;
  while (!received.ends_with(terminator) && Readable(fd_, 10000)) {
    char byte = 0;
    if (::recv(fd_, &byte, 1, 0) != 1) break;
    received += byte;
  }
  return received;
}

std::string ScriptedPeer::Receive(std::size_t count) {
  std::string received;
  char chunk[4096];
  while (received.size() < count && Readable(fd_, 10000)) {
    const ssize_t n = ::recv(fd_, chunk, std::min(sizeof chunk, count - received.size()), 0);
    if (n <= 0) break;
    received.append(chunk, static_cast<std::size_t>(n));
  }
  return received;
}

void ScriptedPeer::AwaitClose() {
  char byte = 0;
  for (int waited = 0; waited < 30000; waited += 100) {
    if (Readable(fd_, 100) && ::recv(fd_, &byte, 1, MSG_PEEK) <= 0) return;
  }
}

void ScriptedPeer::Reset() {
  const linger abortive{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  ::close(fd_);
  reset_ = true;
}

ScriptedServer::ScriptedServer(Script script) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(0);
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 1) != 0)
    throw std::runtime_error("scripted server cannot listen");
  port_ = BoundPort(listener_);
  thread_ = std::thread([this, script = std::move(script)] {
    if (!Readable(listener_, 30000)) return;
    const int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ScriptedPeer peer(fd);
    script(peer);
    if (!peer.reset_) ::close(fd);
  });
}

ScriptedServer::~ScriptedServer() {
  // A client that never came must not hold the test for the accept's whole wait.
  ::shutdown(listener_, SHUT_RDWR);
  thread_.join();
  ::close(listener_);
}

int ScriptedServer::RefusingPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(0);
  static_cast<void>(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
  const int port = BoundPort(fd);
  ::close(fd);
  return port;
}

}  // namespace lumora::test_support
