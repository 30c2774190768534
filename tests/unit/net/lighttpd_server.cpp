#include "unit/net/lighttpd_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace lumora::test {

namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

// A port the system just handed out and took back; nothing else asks for it within the next moment.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  const bool up = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return up;
}

}  // namespace

std::string Lighttpd::Program() {
  // Debian puts it in sbin, which an ordinary user's PATH often lacks.
  for (const std::string candidate : {"/usr/sbin/lighttpd", "/usr/local/sbin/lighttpd"}) {
    if (ProgramAvailable(candidate)) return candidate;
  }
  return ProgramAvailable("lighttpd") ? "lighttpd" : "";
}

Lighttpd::Lighttpd(const std::string& program) : root_(dir_ / "www"), port_(FreePort()) {
  std::filesystem::create_directory(root_);
  const std::string config = dir_ / "lighttpd.conf";
  WriteWholeFile(
      config, "server.document-root = \"" + root_ +
                  "\"\n"
                  "server.bind = \"127.0.0.1\"\n"
                  "server.port = " +
                  std::to_string(port_) +
                  "\n"
                  "server.errorlog = \"" +
                  (dir_ / "error.log") +
                  "\"\n"
                  "server.modules = (\"mod_redirect\", \"mod_cgi\", \"mod_accesslog\")\n"
                  "accesslog.filename = \"" +
                  (dir_ / "access.log") +
                  "\"\n"
                  "accesslog.format = \"%r|%>s|%b|%{Cookie}i\"\n"
                  "url.redirect = (\"^/old$\" => \"/version/zodeveda.txt\")\n"
                  "url.redirect-code = 302\n"
                  "cgi.assign = (\".sh\" => \"/bin/sh\")\n"
                  "mimetype.assign = (\".txt\" => \"text/plain\", \"\" => \"application/octet-stream\")\n");
  ProcessOptions options;
  options.outputFile = dir_ / "lighttpd.out";
  process_ = std::make_unique<ChildProcess>(std::vector<std::string>{program, "-D", "-f", config}, options);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!(running_ = Accepts(port_)) && process_->Running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string Lighttpd::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string Lighttpd::StopAndReadAccessLog() {
  process_->Terminate();
  process_->Wait(std::chrono::seconds(10));
  return ReadWholeFile(dir_ / "access.log");
}

}  // namespace lumora::test
