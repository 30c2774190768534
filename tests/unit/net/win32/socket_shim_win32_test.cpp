// SPDX-License-Identifier: GPL-3.0-or-later
// The socket shim on WinSock against a listener of the test's own on loopback.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <string>

#include "net/socket_shim.h"

namespace lumora::net {
namespace {

class SocketShimWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Startup().version, 0x0101);
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(listener_, INVALID_SOCKET);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = InetAddr("127.0.0.1");
    ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(::listen(listener_, 4), 0);
    int length = sizeof any;
    ASSERT_EQ(::getsockname(listener_, reinterpret_cast<sockaddr*>(&any), &length), 0);
    address_.family = kAfInet;
    address_.port = any.sin_port;
    address_.address = any.sin_addr.s_addr;
  }
  void TearDown() override {
    ::closesocket(listener_);
    Cleanup();
  }

  SOCKET listener_ = INVALID_SOCKET;
  SockAddrIn address_;
};

TEST_F(SocketShimWin32Test, AConnectionComesUpAsAnEventAndCarriesBytesBothWays) {
  const Socket client = OpenStream(6);
  ASSERT_NE(client, kInvalidSocket);
  if (Connect(client, address_) != 0) {
    EXPECT_EQ(LastError(), kWsaEWouldBlock);
  }
  const Readiness connected = WaitReady(client, false, true, 5000);
  ASSERT_TRUE(connected.writable);
  EXPECT_FALSE(connected.failed);
  EXPECT_EQ(ConnectOutcome(client), 0);

  SockAddrIn peer;
  const Socket server = Accept(static_cast<Socket>(listener_), peer);
  ASSERT_NE(server, kInvalidSocket);
  EXPECT_EQ(peer.address, InetAddr("127.0.0.1"));
  EXPECT_TRUE(IsListening(static_cast<Socket>(listener_)));
  EXPECT_FALSE(IsListening(server));

  char buffer[16] = {};
  EXPECT_EQ(Recv(server, buffer, sizeof buffer, false), -1);
  EXPECT_EQ(LastError(), kWsaEWouldBlock);  // the accepted socket does not block either
  ASSERT_EQ(Send(client, "GET /", 5), 5);
  ASSERT_TRUE(WaitReady(server, true, false, 5000).readable);
  EXPECT_EQ(Recv(server, buffer, sizeof buffer, true), 5);
  EXPECT_EQ(Recv(server, buffer, sizeof buffer, false), 5);
  EXPECT_EQ(std::string(buffer, 5), "GET /");

  EXPECT_EQ(Close(server), 0);
  ASSERT_TRUE(WaitReady(client, true, false, 5000).readable);
  EXPECT_EQ(Recv(client, buffer, sizeof buffer, false), 0);
  EXPECT_EQ(Close(client), 0);
  EXPECT_EQ(Close(client), -1);
  EXPECT_EQ(LastError(), 10038);  // WSAENOTSOCK, passed through as the system said it
}

TEST_F(SocketShimWin32Test, ARefusedConnectionIsToldByTheConnectEvent) {
  ::closesocket(listener_);
  listener_ = INVALID_SOCKET;
  const Socket client = OpenStream(6);
  ASSERT_NE(client, kInvalidSocket);
  ASSERT_EQ(Connect(client, address_), -1);
  EXPECT_EQ(LastError(), kWsaEWouldBlock);
  const Readiness ended = WaitReady(client, false, true, 10000);
  EXPECT_TRUE(ended.writable);
  EXPECT_EQ(ConnectOutcome(client), kWsaEConnRefused);
  Close(client);
}

TEST_F(SocketShimWin32Test, LookupsAnswerWithWinSockNumbers) {
  std::uint32_t address = 0;
  EXPECT_EQ(LookupHost("localhost", address), 0);
  EXPECT_EQ(address, InetAddr("127.0.0.1"));
  EXPECT_EQ(InetAddr("not an address"), kInAddrNone);
  EXPECT_EQ(LookupHost("no-such-host.invalid", address), kWsaHostNotFound);
}

}  // namespace
}  // namespace lumora::net
