// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few socket calls the session makes, with WinSock's contract: error numbers are WinSock's (10000 and up,
// 11001 to 11004 for lookups), every socket is non-blocking, and a connection's outcome arrives as an event
// rather than as connect's result. This header includes no system header; the POSIX backend is the only file
// that talks to the system, so a WinSock backend can sit beside it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumora::net {

// A socket as the system names it (a file descriptor here, a SOCKET under WinSock).
using Socket = std::uintptr_t;
inline constexpr Socket kInvalidSocket = ~Socket{0};

// WinSock error numbers the session itself looks at.
inline constexpr int kWsaEInterrupted = 10004;
inline constexpr int kWsaEInvalid = 10022;
inline constexpr int kWsaEWouldBlock = 10035;
inline constexpr int kWsaEInProgress = 10036;
inline constexpr int kWsaEMessageSize = 10040;
inline constexpr int kWsaEConnReset = 10054;
inline constexpr int kWsaENoBufs = 10055;
inline constexpr int kWsaENotConn = 10057;
inline constexpr int kWsaETimedOut = 10060;
inline constexpr int kWsaEConnRefused = 10061;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;
inline constexpr int kWsaNoData = 11004;

// The socket events a subscribed WinSock socket is told about (FD_READ … FD_CLOSE), as bits.
inline constexpr unsigned kFdRead = 1;
inline constexpr unsigned kFdWrite = 2;
inline constexpr unsigned kFdOob = 4;
inline constexpr unsigned kFdAccept = 8;
inline constexpr unsigned kFdConnect = 16;
inline constexpr unsigned kFdClose = 32;

// An IPv4 socket address the way WinSock lays it out: port and address in network byte order, address 0
// meaning "not resolved".
struct SockAddrIn {
  std::uint16_t family = 0;
  std::uint16_t port = 0;
  std::uint32_t address = 0;
  std::uint8_t zero[8] = {};
};
inline constexpr std::uint16_t kAfInet = 2;
inline constexpr std::uint32_t kInAddrNone = 0xFFFFFFFFu;

// What starting the socket library reports (WSADATA).
struct StartupData {
  std::uint16_t version = 0;      // granted; high byte minor, low byte major, as WinSock packs it
  std::uint16_t highVersion = 0;  // highest supported, same packing
  std::string description;        // at most 256 characters
  std::string systemStatus;       // at most 128 characters
  unsigned maxSockets = 0;
  unsigned maxUdpDatagram = 0;
};

// Starts the library for one user; every successful Startup needs one Cleanup.
StartupData Startup();
void Cleanup();

// The WinSock number of the calling thread's last failed call of this interface (0 when none failed).
int LastError();

// A non-blocking stream socket (protocol 6 = TCP, 0 = the family's default); kInvalidSocket on failure.
Socket OpenStream(int protocol);
// Makes closing the socket abort the connection (linger on, 0 seconds). 0 or −1.
int SetAbortiveClose(Socket socket);
// 0 or −1.
int Close(Socket socket);

// Starts connecting; −1 with LastError 10035 while the connection is being made. As under WinSock, a refusal
// or an unreachable peer is never returned here, even when the system knows it at once: it is kept for the
// connect event (ConnectOutcome). Other errors (a bad address, a socket already connected) are returned.
int Connect(Socket socket, const SockAddrIn& address);
// The error the connect event carries: 0 when the connection came up. Asked once the socket is writable.
int ConnectOutcome(Socket socket);

// Bytes sent (0 to length) or −1. A send on a connection the peer has gone from fails; it never signals.
long Send(Socket socket, const void* data, std::size_t length);
// Bytes received, 0 when the peer has closed, or −1 (10035 when nothing is there yet). peek leaves them in
// the socket.
long Recv(Socket socket, void* buffer, std::size_t length, bool peek);
// A pending connection of a listening socket, non-blocking, with the peer's address; kInvalidSocket on
// failure (10035 when none is pending).
Socket Accept(Socket socket, SockAddrIn& peer);
// True while the socket listens for connections.
bool IsListening(Socket socket);

// inet_addr: the address of a dotted text in network byte order, kInAddrNone for any other text.
std::uint32_t InetAddr(const std::string& text);
std::uint16_t HostToNetwork16(std::uint16_t value);

// Looks a host name up (IPv4 only) and blocks until the answer is there; run it off the waiting thread.
// Returns 0 and the first address (network byte order), or 11001 to 11004.
int LookupHost(const std::string& name, std::uint32_t& address);

// What a wait on one socket saw.
struct Readiness {
  bool readable = false;  // data, a pending connection, or the peer's close
  bool writable = false;  // room to send, or a connection attempt that ended
  bool failed = false;    // an error or a hang-up is pending
};
// Sleeps until the socket is ready for what is asked or timeoutMs have passed (0 = just look); errors and
// hang-ups end the sleep too. The thread sleeps: nothing spins. Asking for nothing just sleeps.
Readiness WaitReady(Socket socket, bool forRead, bool forWrite, int timeoutMs);
// Sleeps timeoutMs milliseconds.
void Sleep(int timeoutMs);

}  // namespace lumora::net
