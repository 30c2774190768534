// SPDX-License-Identifier: GPL-3.0-or-later
// The socket shim on POSIX sockets: errno becomes the WinSock number with the same meaning.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "net/socket_shim.h"

namespace lumora::net {
namespace {

thread_local int lastError = 0;

// Connect outcomes the system knew at once, held for the connect event; keyed by descriptor.
std::mutex outcomesMutex;
std::unordered_map<int, int> pendingOutcomes;

int Fd(Socket socket) {
  return static_cast<int>(socket);
}

// WinSock numbers its errors after the BSD ones, 10000 higher; the names match, the numbers do not always.
int FromErrno(int error) {
  switch (error) {
    case 0:
      return 0;
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
    case EPERM:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
    case ENFILE:
      return 10024;
    case EAGAIN:
      return kWsaEWouldBlock;
    case EINPROGRESS:
      return kWsaEInProgress;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return kWsaEMessageSize;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
      return kWsaEConnReset;
    case ENOBUFS:
    case ENOMEM:
      return kWsaENoBufs;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return kWsaENotConn;
    case ESHUTDOWN:
      return 10058;
    case ETOOMANYREFS:
      return 10059;
    case ETIMEDOUT:
      return kWsaETimedOut;
    case ECONNREFUSED:
      return kWsaEConnRefused;
    case ELOOP:
      return 10062;
    case ENAMETOOLONG:
      return 10063;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    case ENOTEMPTY:
      return 10066;
    case EUSERS:
      return 10068;
    case EDQUOT:
      return 10069;
    case ESTALE:
      return 10070;
    case EREMOTE:
      return 10071;
    default:
      return 10000 + error;  // no WinSock counterpart: ErrorMessage calls it unknown
  }
}

void Fail(int error) {
  lastError = FromErrno(error);
}

}  // namespace

StartupData Startup() {
  StartupData data;
  data.version = 0x0101;
  data.highVersion = 0x0202;
  data.description = "POSIX sockets";
  data.systemStatus = "Running";
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0)
    data.maxSockets = static_cast<unsigned>(std::min<rlim_t>(files.rlim_cur, UINT_MAX));
  data.maxUdpDatagram = 65507;  // the largest IPv4 datagram payload
  lastError = 0;
  return data;
}

void Cleanup() {}

int LastError() {
  return lastError;
}

Socket OpenStream(int protocol) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    Fail(errno);
    return kInvalidSocket;
  }
  return static_cast<Socket>(fd);
}

int SetAbortiveClose(Socket socket) {
  const linger option{1, 0};
  if (::setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &option, sizeof option) != 0) {
    Fail(errno);
    return -1;
  }
  return 0;
}

int Close(Socket socket) {
  {
    const std::lock_guard lock(outcomesMutex);
    pendingOutcomes.erase(Fd(socket));
  }
  // The descriptor is gone after close whatever it answers; EINTR must not lead to a second close.
  if (::close(Fd(socket)) != 0 && errno != EINTR) {
    Fail(errno);
    return -1;
  }
  return 0;
}

int Connect(Socket socket, const SockAddrIn& address) {
  sockaddr_in target{};
  target.sin_family = address.family;
  target.sin_port = address.port;
  target.sin_addr.s_addr = address.address;
  if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) return 0;
  const int error = errno;
  switch (error) {
    case EINPROGRESS:
    case EINTR:  // the connection goes on being made
      lastError = kWsaEWouldBlock;
      return -1;
    case ECONNREFUSED:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ETIMEDOUT:
    case ECONNRESET: {
      const std::lock_guard lock(outcomesMutex);
      pendingOutcomes[Fd(socket)] = FromErrno(error);
      lastError = kWsaEWouldBlock;
      return -1;
    }
    default:
      Fail(error);
      return -1;
  }
}

int ConnectOutcome(Socket socket) {
  {
    const std::lock_guard lock(outcomesMutex);
    const auto held = pendingOutcomes.find(Fd(socket));
    if (held != pendingOutcomes.end()) {
      const int outcome = held->second;
      pendingOutcomes.erase(held);
      return outcome;
    }
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return FromErrno(errno);
  if (error != 0) return FromErrno(error);
  // Writable without an error can also mean the attempt is over without a connection (a hang-up).
  sockaddr_in peer{};
  socklen_t peerLength = sizeof peer;
  if (::getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
    return FromErrno(errno == ENOTCONN ? ECONNREFUSED : errno);
  return 0;
}

long Send(Socket socket, const void* data, std::size_t length) {
  for (;;) {
    const ssize_t sent = ::send(Fd(socket), data, length, MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno == EINTR) continue;
    if (errno == EPIPE) {
      // POSIX says EPIPE both for a reset connection and for one that never was; WinSock tells them apart.
      int pending = 0;
      socklen_t pendingLength = sizeof pending;
      ::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &pending, &pendingLength);
      Fail(pending != 0 ? pending : ENOTCONN);
      return -1;
    }
    Fail(errno);
    return -1;
  }
}

long Recv(Socket socket, void* buffer, std::size_t length, bool peek) {
  for (;;) {
    const ssize_t received = ::recv(Fd(socket), buffer, length, peek ? MSG_PEEK : 0);
    if (received >= 0) return static_cast<long>(received);
    if (errno == EINTR) continue;
    Fail(errno);
    return -1;
  }
}

Socket Accept(Socket socket, SockAddrIn& peer) {
  sockaddr_in from{};
  socklen_t length = sizeof from;
  for (;;) {
    const int fd =
        ::accept4(Fd(socket), reinterpret_cast<sockaddr*>(&from), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      peer = SockAddrIn{};
      peer.family = from.sin_family;
      peer.port = from.sin_port;
      peer.address = from.sin_addr.s_addr;
      return static_cast<Socket>(fd);
    }
    if (errno == EINTR) continue;
    Fail(errno);
    return kInvalidSocket;
  }
}

bool IsListening(Socket socket) {
  int listening = 0;
  socklen_t length = sizeof listening;
  return ::getsockopt(Fd(socket), SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) == 0 && listening != 0;
}

std::uint32_t InetAddr(const std::string& text) {
  return ::inet_addr(text.c_str());
}

std::uint16_t HostToNetwork16(std::uint16_t value) {
  return htons(value);
}

int LookupHost(const std::string& name, std::uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (result == 0 && found != nullptr && found->ai_addr != nullptr) {
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return 0;
  }
  if (found != nullptr) ::freeaddrinfo(found);
  switch (result) {
    case EAI_AGAIN:
      return kWsaTryAgain;
    case EAI_FAIL:
      return kWsaNoRecovery;
#ifdef EAI_NODATA
    // Not one label with the next: either may be missing on a system.
    case EAI_NODATA:  // NOLINT(bugprone-branch-clone)
      return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
      return kWsaNoData;
#endif
    case EAI_NONAME:
      return kWsaHostNotFound;
    default:
      return result == 0 ? kWsaNoData : kWsaNoRecovery;
  }
}

Readiness WaitReady(Socket socket, bool forRead, bool forWrite, int timeoutMs) {
  Readiness readiness;
  if (socket == kInvalidSocket || (!forRead && !forWrite)) {
    Sleep(timeoutMs);
    return readiness;
  }
  pollfd watch{};
  watch.fd = Fd(socket);
  watch.events = static_cast<short>((forRead ? POLLIN | POLLPRI : 0) | (forWrite ? POLLOUT : 0));
  const int ready = ::poll(&watch, 1, std::max(timeoutMs, 0));
  if (ready <= 0) return readiness;  // the time passed, or a signal cut the sleep short
  readiness.readable = (watch.revents & (POLLIN | POLLPRI)) != 0;
  readiness.writable = (watch.revents & POLLOUT) != 0;
  readiness.failed = (watch.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
  return readiness;
}

void Sleep(int timeoutMs) {
  if (timeoutMs > 0) ::poll(nullptr, 0, timeoutMs);
}

}  // namespace lumora::net
