// TNMHTTP against a real lighttpd on loopback, checked by what the server logged.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "net/nm_http.h"
#include "support/process.h"

namespace lumora {
namespace {

// Debian puts lighttpd in sbin, which an ordinary user's PATH often lacks.
std::string LighttpdProgram() {
  for (const std::string candidate : {"/usr/sbin/lighttpd", "/usr/local/sbin/lighttpd", "lighttpd"}) {
    if (test::ProgramAvailable(candidate)) return candidate;
  }
  return "";
}

// connect() to a loopback port; port 0 binds instead and answers the port the system handed out.
int Loopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t length = sizeof address;
  int answer = 0;
  if (port == 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    answer = ntohs(address.sin_port);
  } else if (port != 0) {
    answer = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 ? port : 0;
  }
  ::close(fd);
  return answer;
}

TEST(TNMHTTPWithLighttpd, VersionFileRedirectMissingPageLargeBodyAndPost) {
  const std::string program = LighttpdProgram();
  if (program.empty()) GTEST_SKIP() << "lighttpd is not installed (scripts/setup-debian.sh installs it)";
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
  const int port = Loopback(0);
  test::WriteWholeFile(
      dir / "lighttpd.conf",
      "server.document-root = \"" + root + "\"\nserver.bind = \"127.0.0.1\"\n" +
          "server.port = " + std::to_string(port) + "\nserver.errorlog = \"" + (dir / "error.log") +
          "\"\nserver.modules = (\"mod_redirect\", \"mod_cgi\", \"mod_accesslog\")\n" +
          "accesslog.filename = \"" + (dir / "access.log") + "\"\n" +
          "accesslog.format = \"%r|%>s|%b|%{Cookie}i\"\n" +
          "url.redirect = (\"^/old$\" => \"/version/zodeveda.txt\")\nurl.redirect-code = 302\n" +
          "cgi.assign = (\".sh\" => \"/bin/sh\")\nmimetype.assign = (\"\" => \"text/plain\")\n");
  test::ProcessOptions options;
  options.outputFile = dir / "lighttpd.out";
  test::ChildProcess server({program, "-D", "-f", dir / "lighttpd.conf"}, options);
  for (int i = 0; i < 500 && Loopback(port) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(Loopback(port), port) << test::ReadWholeFile(dir / "lighttpd.out");
  const std::string url = "http://127.0.0.1:" + std::to_string(port);

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

  server.Terminate();  // its log is complete once it has stopped
  EXPECT_EQ(test::ReadWholeFile(dir / "access.log"),
            "GET /version/zodeveda.txt HTTP/1.0|200|3|-\nGET /old HTTP/1.0|302|0|k=v\n"
            "GET /version/zodeveda.txt HTTP/1.0|200|3|k=v\nGET /missing HTTP/1.0|404|" +
                std::to_string(missingPage) +
                "|k=v\nGET /large.bin HTTP/1.0|200|8388608|k=v\nPOST /echo.sh HTTP/1.0|200|7|k=v\n");
}

}  // namespace
}  // namespace lumora
