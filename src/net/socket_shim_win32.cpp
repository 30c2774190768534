// SPDX-License-Identifier: GPL-3.0-or-later
// The socket shim on WinSock itself: its numbers are already the ones the session speaks, so they pass
// through unchanged.

#include <winsock2.h>

#include <algorithm>

#include "net/socket_shim.h"

namespace lumora::net {
namespace {

thread_local int lastError = 0;

SOCKET Handle(Socket socket) {
  return static_cast<SOCKET>(socket);
}

void Fail() {
  lastError = ::WSAGetLastError();
}

}  // namespace

StartupData Startup() {
  StartupData data;
  WSADATA granted{};
  // The library counts its users, so each Startup is matched by the Cleanup of the same session.
  const int result = ::WSAStartup(MAKEWORD(1, 1), &granted);
  if (result != 0) {
    lastError = result;
    return data;
  }
  data.version = granted.wVersion;
  data.highVersion = granted.wHighVersion;
  data.description = granted.szDescription;
  data.systemStatus = granted.szSystemStatus;
  data.maxSockets = granted.iMaxSockets;
  data.maxUdpDatagram = granted.iMaxUdpDg;
  lastError = 0;
  return data;
}

void Cleanup() {
  ::WSACleanup();
}

int LastError() {
  return lastError;
}

Socket OpenStream(int protocol) {
  const SOCKET handle = ::socket(AF_INET, SOCK_STREAM, protocol);
  if (handle == INVALID_SOCKET) {
    Fail();
    return kInvalidSocket;
  }
  u_long nonBlocking = 1;
  if (::ioctlsocket(handle, FIONBIO, &nonBlocking) != 0) {
    Fail();
    ::closesocket(handle);
    return kInvalidSocket;
  }
  return static_cast<Socket>(handle);
}

int SetAbortiveClose(Socket socket) {
  const linger option{1, 0};
  if (::setsockopt(Handle(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
                   sizeof option) != 0) {
    Fail();
    return -1;
  }
  return 0;
}

int Close(Socket socket) {
  if (::closesocket(Handle(socket)) != 0) {
    Fail();
    return -1;
  }
  return 0;
}

int Connect(Socket socket, const SockAddrIn& address) {
  sockaddr_in target{};
  target.sin_family = address.family;
  target.sin_port = address.port;
  target.sin_addr.s_addr = address.address;
  if (::connect(Handle(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) return 0;
  Fail();
  return -1;
}

int ConnectOutcome(Socket socket) {
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(Handle(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
    return ::WSAGetLastError();
  return error;
}

long Send(Socket socket, const void* data, std::size_t length) {
  const int chunk = static_cast<int>(std::min<std::size_t>(length, 0x7FFFFFFF));
  const int sent = ::send(Handle(socket), static_cast<const char*>(data), chunk, 0);
  if (sent == SOCKET_ERROR) {
    Fail();
    return -1;
  }
  return sent;
}

long Recv(Socket socket, void* buffer, std::size_t length, bool peek) {
  const int chunk = static_cast<int>(std::min<std::size_t>(length, 0x7FFFFFFF));
  const int received = ::recv(Handle(socket), static_cast<char*>(buffer), chunk, peek ? MSG_PEEK : 0);
  if (received == SOCKET_ERROR) {
    Fail();
    return -1;
  }
  return received;
}

Socket Accept(Socket socket, SockAddrIn& peer) {
  sockaddr_in from{};
  int length = sizeof from;
  const SOCKET handle = ::accept(Handle(socket), reinterpret_cast<sockaddr*>(&from), &length);
  if (handle == INVALID_SOCKET) {
    Fail();
    return kInvalidSocket;
  }
  // An accepted socket inherits the listener's non-blocking mode under WinSock; say so anyway, the shim
  // promises it whatever the listener was.
  u_long nonBlocking = 1;
  ::ioctlsocket(handle, FIONBIO, &nonBlocking);
  peer = SockAddrIn{};
  peer.family = from.sin_family;
  peer.port = from.sin_port;
  peer.address = from.sin_addr.s_addr;
  return static_cast<Socket>(handle);
}

bool IsListening(Socket socket) {
  BOOL listening = FALSE;
  int length = sizeof listening;
  return ::getsockopt(Handle(socket), SOL_SOCKET, SO_ACCEPTCONN, reinterpret_cast<char*>(&listening),
                      &length) == 0 &&
         listening != FALSE;
}

std::uint32_t InetAddr(const std::string& text) {
  return ::inet_addr(text.c_str());
}

std::uint16_t HostToNetwork16(std::uint16_t value) {
  return ::htons(value);
}

int LookupHost(const std::string& name, std::uint32_t& address) {
  // gethostbyname answers per thread, so the result is read before this thread asks anything else.
  const hostent* found = ::gethostbyname(name.c_str());
  if (found == nullptr) return ::WSAGetLastError();
  if (found->h_addrtype != AF_INET || found->h_addr_list == nullptr || found->h_addr_list[0] == nullptr)
    return WSANO_DATA;
  address = reinterpret_cast<const in_addr*>(found->h_addr_list[0])->s_addr;
  return 0;
}

Readiness WaitReady(Socket socket, bool forRead, bool forWrite, int timeoutMs) {
  Readiness readiness;
  if (socket == kInvalidSocket || (!forRead && !forWrite)) {
    Sleep(timeoutMs);
    return readiness;
  }
  // select reports a failed connection attempt in the exception set, not the write set.
  fd_set readSet;
  fd_set writeSet;
  fd_set failSet;
  FD_ZERO(&readSet);
  FD_ZERO(&writeSet);
  FD_ZERO(&failSet);
  if (forRead) FD_SET(Handle(socket), &readSet);
  if (forWrite) FD_SET(Handle(socket), &writeSet);
  FD_SET(Handle(socket), &failSet);
  const int wait = std::max(timeoutMs, 0);
  timeval timeout{wait / 1000, (wait % 1000) * 1000};
  if (::select(0, &readSet, &writeSet, &failSet, &timeout) <= 0) return readiness;
  readiness.readable = FD_ISSET(Handle(socket), &readSet) != 0;
  readiness.failed = FD_ISSET(Handle(socket), &failSet) != 0;
  // A connection attempt that ended in failure counts as "ended", as poll's POLLOUT|POLLERR does.
  readiness.writable = FD_ISSET(Handle(socket), &writeSet) != 0 || (forWrite && readiness.failed);
  return readiness;
}

void Sleep(int timeoutMs) {
  if (timeoutMs > 0) ::Sleep(static_cast<DWORD>(timeoutMs));
}

}  // namespace lumora::net
