// SPDX-License-Identifier: GPL-3.0-or-later
// TNMHTTP against a real lighttpd on loopback, checked by what the server logged.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "net/nm_http.h"
#include "support/process.h"
#include "support/web_server.h"

namespace lumora {
namespace {

TEST(TNMHTTPWithLighttpd, VersionFileRedirectMissingPageLargeBodyAndPost) {
  if (test::LoopbackWebServer::Program().empty()) {
    GTEST_SKIP() << "lighttpd is not installed (scripts/setup-debian.sh installs it)";
  }
  test::ScratchDirectory dir;
  const std::string root = dir / "www";
  std::filesystem::create_directories(root + "/version");
  test::WriteWholeFile(root + "/version/zodeveda.txt", "3.2");
  std::string large(8 << 20, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 2654435761u) >> 13);
  test::WriteWholeFile(root + "/large.bin", large);
  // The POST target echoes what it was sent.
  test::WriteWholeFile(root + "/echo.sh",
                       "printf 'Content-Type: text/plain\\r\\n\\r\\n'\nhead -c \"$CONTENT_LENGTH\"\n");
  test::LoopbackWebServer server(
      root, dir.Path(),
      "server.modules = (\"mod_redirect\", \"mod_cgi\", \"mod_accesslog\")\n"
      "accesslog.filename = \"" +
          (dir / "access.log") + "\"\n" + "accesslog.format = \"%r|%>s|%b|%{Cookie}i\"\n" +
          "url.redirect = (\"^/old$\" => \"/version/zodeveda.txt\")\nurl.redirect-code = 302\n" +
          "cgi.assign = (\".sh\" => \"/bin/sh\")\n");
  ASSERT_TRUE(server.Running()) << server.Output();
  const std::string url = server.Url();

  TNMHTTP http;
  std::vector<int> failures;
  http.OnFailure = [&](THttpRequestKind cmd) { failures.push_back(cmd); };
  http.Get(url + "/version/zodeveda.txt");
  EXPECT_EQ(http.GetReplyCode(), 200);
  EXPECT_EQ(http.GetBody(), "3.2");
  http.GetHeaderInfo().SetCookie("k=v");
  http.Get(url + "/old");
  EXPECT_EQ(http.GetBody(), "3.2");
  http.Get(url + "/missing");
  EXPECT_EQ(http.GetReplyCode(), 404);
  EXPECT_EQ(failures, std::vector<int>{hkGet});
  const std::size_t missingPage = http.GetBody().size();
  http.Get(url + "/large.bin");
  EXPECT_TRUE(http.GetBody() == large);
  http.Post(url + "/echo.sh", "a b&c");
  EXPECT_EQ(http.GetBody(), "a+b%26c");

  server.Stop();  // its log is complete once it has stopped
  EXPECT_EQ(test::ReadWholeFile(dir / "access.log"),
            "GET /version/zodeveda.txt HTTP/1.0|200|3|-\nGET /old HTTP/1.0|302|0|k=v\n"
            "GET /version/zodeveda.txt HTTP/1.0|200|3|k=v\nGET /missing HTTP/1.0|404|" +
                std::to_string(missingPage) +
                "|k=v\nGET /large.bin HTTP/1.0|200|8388608|k=v\nPOST /echo.sh HTTP/1.0|200|7|k=v\n");
}

}  // namespace
}  // namespace lumora
