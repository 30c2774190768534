// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP client on WinSock against a real web server: scripts/test-windows.sh starts lighttpd on
// loopback and names it in LUMORA_TEST_WEB_SERVER (Wine's sockets are the host's).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "net/nm_http.h"

namespace lumora {
namespace {

TEST(TNMHTTPWin32, FetchesTheVersionFileAndAMissingPageFromARealServer) {
  const char* server = std::getenv("LUMORA_TEST_WEB_SERVER");
  if (server == nullptr)
    GTEST_SKIP() << "LUMORA_TEST_WEB_SERVER names no server (scripts/test-windows.sh does)";
  TNMHTTP http;
  http.Get(std::string(server) + "/version/zodeveda.txt");
  EXPECT_EQ(http.GetReplyCode(), 200);
  EXPECT_EQ(http.GetBody(), "3.2");
  http.Get(std::string(server) + "/missing");
  EXPECT_EQ(http.GetReplyCode(), 404);
}

}  // namespace
}  // namespace lumora
