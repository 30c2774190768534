#pragma once

#include <memory>
#include <string>

#include "support/process.h"

namespace lumora::test {

// lighttpd on a free loopback port with its own configuration, serving a scratch document root (and *.sh
// files there as CGI scripts). Each request goes to the access log as "request line|status|body
// bytes|Cookie".
class Lighttpd {
 public:
  // The installed server's path, or "" when it is not installed.
  static std::string Program();

  // Starts the server and waits until it accepts connections; Running() tells whether it came up.
  explicit Lighttpd(const std::string& program);
  bool Running() const { return running_; }
  const std::string& Root() const { return root_; }
  std::string Url(const std::string& path) const;
  // Stops the server (so its log is complete) and answers the access log's lines.
  std::string StopAndReadAccessLog();

 private:
  ScratchDirectory dir_;
  std::string root_;
  int port_ = 0;
  bool running_ = false;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace lumora::test
