// TNMHTTP against a real lighttpd on loopback, checked by what the server logged.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "net/nm_http.h"
#include "unit/net/lighttpd_server.h"

namespace lumora {
namespace {

TEST(TNMHTTPWithLighttpd, VersionFileRedirectMissingPageLargeBodyAndPost) {
  const std::string program = test::Lighttpd::Program();
  if (program.empty()) GTEST_SKIP() << "lighttpd is not installed (scripts/setup-debian.sh installs it)";
  test::Lighttpd server(program);
  ASSERT_TRUE(server.Running());
  std::filesystem::create_directory(server.Root() + "/version");
  test::WriteWholeFile(server.Root() + "/version/zodeveda.txt", "3.2");
  std::string large(8 << 20, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 2654435761u) >> 13);
  test::WriteWholeFile(server.Root() + "/large.bin", large);
  test::WriteWholeFile(server.Root() + "/echo.sh",
                       "printf 'Content-Type: text/plain\\r\\n\\r\\n'\nhead -c \"$CONTENT_LENGTH\"\n");

  TNMHTTP http;
  std::vector<int> failures;
  http.OnFailure = [&](THttpRequestKind cmd) { failures.push_back(cmd); };
  http.Get(server.Url("/version/zodeveda.txt"));
  EXPECT_EQ(http.GetReplyCode(), 200);
  EXPECT_EQ(http.GetBody(), "3.2");
  http.GetHeaderInfo().SetCookie("k=v");
  http.Get(server.Url("/old"));
  EXPECT_EQ(http.GetBody(), "3.2");
  EXPECT_EQ(http.GetReplyCode(), 200);
  http.Get(server.Url("/missing"));
  EXPECT_EQ(http.GetReplyCode(), 404);
  EXPECT_EQ(failures, std::vector<int>{hkGet});
  const std::size_t missingPage = http.GetBody().size();
  http.Get(server.Url("/large.bin"));
  EXPECT_TRUE(http.GetBody() == large);
  http.Post(server.Url("/echo.sh"), "a b&c");
  EXPECT_EQ(http.GetBody(), "a+b%26c");

  EXPECT_EQ(server.StopAndReadAccessLog(),
            "GET /version/zodeveda.txt HTTP/1.0|200|3|-\n"
            "GET /old HTTP/1.0|302|0|k=v\n"
            "GET /version/zodeveda.txt HTTP/1.0|200|3|k=v\n"
            "GET /missing HTTP/1.0|404|" +
                std::to_string(missingPage) +
                "|k=v\n"
                "GET /large.bin HTTP/1.0|200|8388608|k=v\n"
                "POST /echo.sh HTTP/1.0|200|7|k=v\n");
}

}  // namespace
}  // namespace lumora
